#include "platform/process_win.h"

#include <vector>

ChildProcess::~ChildProcess() {
  if (process_.hThread != nullptr) CloseHandle(process_.hThread);
  if (process_.hProcess != nullptr) CloseHandle(process_.hProcess);
}

bool ChildProcess::start(const std::string& commandLine, const ProcessOptions& options) {
  STARTUPINFOA startup;
  ZeroMemory(&startup, sizeof startup);
  startup.cb = sizeof startup;
  if (options.hidden) {
    startup.dwFlags |= STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_HIDE;
  }
  if (options.standardError != nullptr) {
    startup.dwFlags |= STARTF_USESTDHANDLES;
    startup.hStdError = options.standardError;
  }
  // The system may write into the command line it is given.
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  PROCESS_INFORMATION started;
  ZeroMemory(&started, sizeof started);
  if (!CreateProcessA(options.program, mutableLine.data(), nullptr, nullptr, TRUE, NORMAL_PRIORITY_CLASS,
                      nullptr, nullptr, &startup, &started)) {
    return false;
  }
  process_ = started;
  return true;
}

bool ChildProcess::wait(DWORD timeoutMs) const {
  return process_.hProcess != nullptr && WaitForSingleObject(process_.hProcess, timeoutMs) == WAIT_OBJECT_0;
}

DWORD ChildProcess::exitCode() const {
  DWORD code = STILL_ACTIVE;
  if (process_.hProcess != nullptr) GetExitCodeProcess(process_.hProcess, &code);
  return code;
}

void ChildProcess::terminate(UINT code) const {
  if (process_.hProcess != nullptr) TerminateProcess(process_.hProcess, code);
}
