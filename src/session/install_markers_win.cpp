// The install-started markers in the current user's registry.
#include <windows.h>

#include "platform/registry_key_win.h"
#include "session/install_markers.h"

namespace {
constexpr const char kMarkerKey[] = "SOFTWARE\\northgale\\quoll\\";
std::string markerKeyOverride;

const char* markerKey() { return markerKeyOverride.empty() ? kMarkerKey : markerKeyOverride.c_str(); }

}  // namespace

void writeInstallFlag(bool set, const std::string& name) {
  RegKey key;
  if (set) {
    if (!key.create(HKEY_CURRENT_USER, markerKey(), KEY_ALL_ACCESS)) return;
    key.writeDword(name.c_str(), 1);
  } else {
    if (!key.open(HKEY_CURRENT_USER, markerKey(), KEY_ALL_ACCESS)) return;
    RegDeleteValueA(key.get(), name.c_str());
  }
}

void InstallMarkers::setInstallStarted(bool set, bool perProcess, bool global) const {
  if (languageRestart_) return;
  if (perProcess) writeInstallFlag(set, perProcessMarkerName(GetCurrentProcessId()));
  if (global) writeInstallFlag(set, kGlobalMarkerName);
}

unsigned long readInstallStarted(bool perProcess) {
  RegKey key;
  if (!key.open(HKEY_CURRENT_USER, markerKey(), KEY_ALL_ACCESS)) return 0;
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
