// The install-started markers in the current user's registry.
#include <windows.h>

#include "coord/install_markers.h"
#include "core/startup.h"

namespace {
constexpr const char kMarkerKey[] = "SOFTWARE\\northgale\\quoll\\";
std::string markerKeyOverride;

const char* markerKey() { return markerKeyOverride.empty() ? kMarkerKey : markerKeyOverride.c_str(); }

// An open key of HKEY_CURRENT_USER, closed when it goes.
class MarkerKey {
 public:
  MarkerKey() = default;
  MarkerKey(const MarkerKey&) = delete;
  MarkerKey& operator=(const MarkerKey&) = delete;
  ~MarkerKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  bool create() {
    return RegCreateKeyExA(HKEY_CURRENT_USER, markerKey(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                           KEY_ALL_ACCESS, nullptr, &key_, nullptr) == ERROR_SUCCESS;
  }
  bool open() {
    return RegOpenKeyExA(HKEY_CURRENT_USER, markerKey(), 0, KEY_ALL_ACCESS, &key_) == ERROR_SUCCESS;
  }
  HKEY get() const { return key_; }

 private:
  HKEY key_ = nullptr;
};
}  // namespace

void writeInstallFlag(bool set, const std::string& name) {
  MarkerKey key;
  if (set) {
    if (!key.create()) return;
    const DWORD one = 1;
    RegSetValueExA(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&one),
                   sizeof one);
  } else {
    if (!key.open()) return;
    RegDeleteValueA(key.get(), name.c_str());
  }
}

void setInstallStarted(bool set, bool perProcess, bool global) {
  // A language restart continues a start that the first process already marked.
  if (restartMode) return;
  if (perProcess) writeInstallFlag(set, perProcessMarkerName(GetCurrentProcessId()));
  if (global) writeInstallFlag(set, kGlobalMarkerName);
}

unsigned long readInstallStarted(bool perProcess) {
  MarkerKey key;
  if (!key.open()) return 0;
  const std::string name =
      perProcess ? perProcessMarkerName(GetCurrentProcessId()) : std::string(kGlobalMarkerName);
  // The type is not checked; a value longer than four bytes does not fit and reads as 0.
  DWORD value = 0;
  DWORD size = sizeof value;
  if (RegQueryValueExA(key.get(), name.c_str(), nullptr, nullptr, reinterpret_cast<BYTE*>(&value),
                       &size) != ERROR_SUCCESS) {
    return 0;
  }
  return value;
}

void setMarkerKeyForTesting(const std::string& key) { markerKeyOverride = key; }
