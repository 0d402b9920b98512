// The install-started markers in HKEY_CURRENT_USER "SOFTWARE\northgale\quoll\": the global
// "InstallStarted" (1 while a start is under way) and the per-process "InstallStarted_<pid>"
// (1 set by the launcher, 2 when the Java side reports its window is up). A missing value
// reads as 0; registry failures are ignored.
#pragma once

#include <string>

// The value name of the global marker.
inline constexpr const char kGlobalMarkerName[] = "InstallStarted";

// The per-process value name, "InstallStarted_<pid>".
std::string perProcessMarkerName(unsigned long processId);

// set: create the key and write REG_DWORD 1 under `name`; not set: delete the value.
void writeInstallFlag(bool set, const std::string& name);

// The markers as one run writes them. A language restart continues a start that the first
// process already marked, so there every write does nothing.
class InstallMarkers {
 public:
  explicit InstallMarkers(bool languageRestart) : languageRestart_(languageRestart) {}
  // Writes the per-process marker (when perProcess) and then the global one (when global).
  void setInstallStarted(bool set, bool perProcess, bool global) const;
  // Clears both: the run ends before the Java side took over.
  void clear() const { setInstallStarted(false, true, true); }

 private:
  bool languageRestart_;
};
// The per-process marker's value (perProcess) or the global one's; 0 when missing.
unsigned long readInstallStarted(bool perProcess);

// Test seam: the markers live under HKEY_CURRENT_USER `key` instead of the real key, so
// tests do not disturb other runs that share the registry; "" restores the real key.
void setMarkerKeyForTesting(const std::string& key);
