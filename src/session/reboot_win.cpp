// The reboot command line: the restart is asked for with the shutdown privilege enabled.
#include "session/reboot.h"

#include <windows.h>

#include "platform/paths.h"

namespace {
constexpr DWORD kPauseBeforeRebootMs = 5000;

class TokenHandle {
 public:
  TokenHandle() = default;
  TokenHandle(const TokenHandle&) = delete;
  TokenHandle& operator=(const TokenHandle&) = delete;
  ~TokenHandle() {
    if (handle_ != nullptr) CloseHandle(handle_);
  }
  HANDLE* receive() { return &handle_; }
  HANDLE get() const { return handle_; }

 private:
  HANDLE handle_ = nullptr;
};

bool enableShutdownPrivilege() {
  TokenHandle token;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, token.receive())) {
    return false;
  }
  TOKEN_PRIVILEGES privileges = {};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  // Without the privilege's id there is nothing meaningful to enable.
  if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
  SetLastError(0);
  AdjustTokenPrivileges(token.get(), FALSE, &privileges, 0, nullptr, nullptr);
  // ERROR_NOT_ALL_ASSIGNED arrives with a successful return: the user lacks the right.
  return GetLastError() == 0;
}
}  // namespace

void rebootSystem() {
  Sleep(kPauseBeforeRebootMs);
  if (isNT() && !enableShutdownPrivilege()) return;
  ExitWindowsEx(EWX_REBOOT, 0);
}
