// Starting another program and waiting for it (Windows only): the one place that creates
// processes, so that every handle is closed on every way out.
#pragma once

#include <windows.h>

#include <string>

struct ProcessOptions {
  // The program file; null: the first word of the command line names it.
  const char* program = nullptr;
  // Started with its window hidden.
  bool hidden = false;
  // An inheritable handle the child gets as its standard error; null: none is handed over.
  HANDLE standardError = nullptr;
};

// A started child process; its handles are closed when the object goes (the process itself
// goes on running).
class ChildProcess {
 public:
  ChildProcess() = default;
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  // Starts `commandLine` at normal priority, handles inherited. False when the system refuses;
  // GetLastError() then still holds its reason.
  bool start(const std::string& commandLine, const ProcessOptions& options);
  // Waits at most `timeoutMs` (INFINITE: no limit); true when the process has ended.
  bool wait(DWORD timeoutMs) const;
  // The exit code; STILL_ACTIVE while it runs (a program may also end with that code, so
  // whether it runs is what wait says).
  DWORD exitCode() const;
  // Ends it with `code`.
  void terminate(UINT code) const;

 private:
  PROCESS_INFORMATION process_ = {};
};
