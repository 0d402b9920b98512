// Windows side of the diagnostic log, and the create-log prompt.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/messages.h"
#include "platform/diagnostic_log.h"
#include "platform/diagnostic_log_sys.h"
#include "platform/process_win.h"

namespace logsys {
std::string temporaryLogName() {
  // The rule of the runtime's _tempnam("c:\\", "vnq_nlog_"): the directory named by TMP
  // when that is an existing directory, else c:\, and a name that does not exist yet.
  // Made here because not every runtime keeps the whole prefix (some cut it to three
  // characters), and the log's name must start with "vnq_nlog_" wherever it runs.
  const char* tmp = getenv("TMP");
  std::string dir = "c:\\";
  if (tmp != nullptr && *tmp != '\0') {
    const DWORD attributes = GetFileAttributesA(tmp);
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
      dir = tmp;
    }
  }
  if (dir.back() != '\\' && dir.back() != '/') dir += '\\';
  static unsigned counter = 0;
  char suffix[32];
  for (int attempt = 0; attempt < 10000; ++attempt) {
    snprintf(suffix, sizeof suffix, "%lx_%u", static_cast<unsigned long>(GetCurrentProcessId()),
             ++counter);
    const std::string name = dir + "vnq_nlog_" + suffix;
    if (GetFileAttributesA(name.c_str()) == INVALID_FILE_ATTRIBUTES &&
        GetLastError() != ERROR_ACCESS_DENIED) {
      return name;
    }
  }
  return std::string();
}

const char* fallbackLogPath() { return "c:\\vnq_nlog"; }

std::string moduleFileName() {
  std::vector<char> buffer(8192);
  const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), 8192);
  return std::string(buffer.data(), n < 8192 ? n : 8191);
}

bool readEnvironment(const char* name, std::string& value) {
  std::vector<char> buffer(8192);
  const DWORD n = GetEnvironmentVariableA(name, buffer.data(), 8192);
  if (n == 0 && GetLastError() == ERROR_ENVVAR_NOT_FOUND) return false;
  // A value that does not fit the buffer is present but certainly not "yes".
  value = n < 8192 ? std::string(buffer.data(), n) : std::string();
  return true;
}

void deleteFile(const std::string& path) { DeleteFileA(path.c_str()); }
}  // namespace logsys

void showCreateLogPrompt(const std::string& productWord) {
  const char* path = getLogPathAndKeep();
  const std::string logPath = path ? path : "";
  const int n = snprintf(nullptr, 0, messages::kCreateLogPrompt, logPath.c_str());
  std::string text(n > 0 ? static_cast<size_t>(n) + 1 : 1, '\0');
  if (n > 0) snprintf(&text[0], text.size(), messages::kCreateLogPrompt, logPath.c_str());
  text.resize(n > 0 ? static_cast<size_t>(n) : 0);
  if (MessageBoxA(nullptr, text.c_str(), productWord.c_str(), MB_YESNO) != IDYES) return;

  char shortPath[MAX_PATH] = {0};
  const DWORD s = GetShortPathNameA(logPath.c_str(), shortPath, MAX_PATH);
  if (s == 0 || s >= MAX_PATH) lstrcpynA(shortPath, logPath.c_str(), MAX_PATH);
  char windowsDir[MAX_PATH] = {0};
  const UINT w = GetWindowsDirectoryA(windowsDir, MAX_PATH);
  if (w >= MAX_PATH) windowsDir[0] = '\0';
  std::string command = std::string(windowsDir) + "\\explorer.exe /select," + shortPath;
  logMessage("calling %s", command.c_str());

  ChildProcess explorer;
  if (!explorer.start(command, ProcessOptions())) {
    logMessage("could not open explorer window %d", static_cast<int>(GetLastError()));
  }
}
