// The single-instance rule on Windows: a named semaphore and the first instance's process id
// in the current user's registry.
#include <windows.h>

#include "coord/single_instance.h"
#include "coord/windows_watch.h"
#include "core/error_report.h"
#include "media/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"

namespace {
constexpr const char kPidKey[] = "SOFTWARE\\northgale\\quoll\\pids\\";

// Held until the process ends: while it exists, later starts of this installer step aside.
HANDLE instanceSemaphore = nullptr;

const std::string& instanceIdentity() {
  static const std::string identity = instanceIdentityFor(getModulePath());
  return identity;
}

class PidKey {
 public:
  PidKey() = default;
  PidKey(const PidKey&) = delete;
  PidKey& operator=(const PidKey&) = delete;
  ~PidKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool create() {
    return RegCreateKeyExA(HKEY_CURRENT_USER, kPidKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  bool open() { return RegOpenKeyExA(HKEY_CURRENT_USER, kPidKey, 0, KEY_READ, &key_) == ERROR_SUCCESS; }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
}  // namespace

std::string instanceIdentityFor(const std::string& modulePath) { return normalizePath(modulePath, false); }

void enforceSingleInstance() {
  semaphoreName = composeSemaphoreName(instanceIdentity(), getConfigInt(CFG_GLOBAL_INSTANCE_NAME) != 0);
  logMessage("single instance mode");
  HANDLE semaphore = CreateSemaphoreA(nullptr, 1, 1, semaphoreName.c_str());
  const DWORD error = GetLastError();
  logMessage("semaphore name %s, code %d, value %p", semaphoreName.c_str(), static_cast<int>(error),
             static_cast<void*>(semaphore));
  if (error != ERROR_ALREADY_EXISTS) {
    instanceSemaphore = semaphore;
    registerInstancePid();
    return;
  }
  CloseHandle(semaphore);
  const unsigned long pid = readInstancePid();
  logMessage("other pid %d", static_cast<int>(pid));
  // Without a recorded process there is nothing to bring forward.
  if (pid != 0) activateProcessWindows(pid, true);
  logMessage("exiting");
  // Nothing else runs yet, so the log's exit handler may run: a handed-over start leaves
  // no log behind unless one was asked for.
  exitRunningHandlers(0);
}

void registerInstancePid() {
  PidKey key;
  if (!key.create()) return;
  const DWORD pid = GetCurrentProcessId();
  RegSetValueExA(key.get(), instanceIdentity().c_str(), 0, REG_DWORD,
                 reinterpret_cast<const BYTE*>(&pid), sizeof pid);
}

unsigned long readInstancePid() {
  PidKey key;
  if (!key.open()) return 0;
  DWORD pid = 0;
  DWORD size = sizeof pid;
  if (RegQueryValueExA(key.get(), instanceIdentity().c_str(), nullptr, nullptr,
                       reinterpret_cast<BYTE*>(&pid), &size) != ERROR_SUCCESS ||
      size != sizeof pid) {
    return 0;
  }
  return pid;
}
