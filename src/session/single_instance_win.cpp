// The single-instance rule on Windows: a named semaphore and the first instance's process id
// in the current user's registry.
#include <windows.h>

#include "base/config_table.h"
#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/registry_key_win.h"
#include "session/single_instance.h"
#include "session/windows_watch.h"

namespace {
constexpr const char kPidKey[] = "SOFTWARE\\northgale\\quoll\\pids\\";

// Held until the process ends: while it exists, later starts of this installer step aside.
HANDLE instanceSemaphore = nullptr;

const std::string& instanceIdentity() {
  static const std::string identity = instanceIdentityFor(getModulePath());
  return identity;
}

}  // namespace

std::string instanceIdentityFor(const std::string& modulePath) { return normalizePath(modulePath, false); }

std::string enforceSingleInstance() {
  const std::string semaphoreName = composeSemaphoreName(instanceIdentity(), getConfigInt(CFG_GLOBAL_INSTANCE_NAME) != 0);
  logMessage("single instance mode");
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, semaphoreName.c_str());
  const DWORD error = GetLastError();
  logMessage("semaphore name %s, code %d, value %p", semaphoreName.c_str(), static_cast<int>(error),
             static_cast<void*>(semaphore));
  if (error != ERROR_ALREADY_EXISTS) {
    instanceSemaphore = semaphore;
    registerInstancePid();
    return semaphoreName;
  }
  CloseHandle(semaphore);
  const unsigned long pid = readInstancePid();
  logMessage("other pid %d", static_cast<int>(pid));
  // Without a recorded process there is nothing to bring forward.
  if (pid != 0) activateProcessWindows(pid, true);
  logMessage("exiting");
  // Nothing else runs yet, so the log's exit handler may run: a handed-over start leaves
  // no log behind unless one was asked for.
  exitRunningHandlers(ExitCode::Success);
}

void registerInstancePid() {
  RegKey key;
  if (!key.create(HKEY_CURRENT_USER, kPidKey, KEY_ALL_ACCESS)) return;
  key.writeDword(instanceIdentity().c_str(), GetCurrentProcessId());
}

unsigned long readInstancePid() {
  RegKey key;
  if (!key.open(HKEY_CURRENT_USER, kPidKey, KEY_READ)) return 0;
  DWORD pid = 0;
  return key.readDword(instanceIdentity().c_str(), pid) ? pid : 0;
}
