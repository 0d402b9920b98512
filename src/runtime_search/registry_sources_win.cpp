// Reading the runtime sources from the system search path, the environment and the
// registry, and writing the LocatedJvmList.
#include <windows.h>

#include <algorithm>
#include <vector>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/registry_win.h"

namespace {
// The default versions are short texts such as 1.6.
constexpr DWORD kCurrentVersionBuffer = 100;

HKEY hiveKey(RegistryHive hive) {
  return hive == RegistryHive::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
}

// "CurrentVersion" of a JavaSoft key when it can be read and names a version in range;
// else the empty text.
std::string defaultVersionOf(const char* keyPath, const std::string& minVersion,
                             const std::string& maxVersion) {
  RegKey key;
  std::string value;
  if (!openRuntimeKey(key, HKEY_LOCAL_MACHINE, keyPath) ||
      !key.readString("CurrentVersion", kCurrentVersionBuffer, value) ||
      !isKeyVersionInRange(value, minVersion, maxVersion)) {
    return std::string();
  }
  return value;
}

// The runtime whose home is "JavaHome" of `versionKey` (an open key), if it passes.
bool checkJavaHome(const RegKey& versionKey, std::string& javaExe, std::string& version,
                   const std::string& minVersion, const std::string& maxVersion) {
  std::string home;
  if (!versionKey.readString("JavaHome", kRegistryTextBuffer, home)) return false;
  if (!composeJavaExe(javaExe, home)) return false;
  return checkJavaExe(javaExe, version, minVersion, maxVersion, false, true);
}

bool findDefaultJavaSoftJvm(std::string& javaExe, std::string& version,
                            const std::string& minVersion, const std::string& maxVersion) {
  const std::string jdk = defaultVersionOf(kJdkKey, minVersion, maxVersion);
  const std::string jre = getConfigInt(CFG_REQUIRE_JDK) != 0
                              ? std::string()
                              : defaultVersionOf(kJreKey, minVersion, maxVersion);
  RegKey key;
  if (!openRuntimeKey(key, HKEY_LOCAL_MACHINE, defaultVersionKey(jdk, jre))) return false;
  return checkJavaHome(key, javaExe, version, minVersion, maxVersion);
}

bool enumerateJavaSoftKey(const char* keyPath, std::string& javaExe, std::string& version,
                          const std::string& minVersion, const std::string& maxVersion) {
  RegKey key;
  if (!openRuntimeKey(key, HKEY_LOCAL_MACHINE, keyPath)) return false;
  for (const std::string& name : versionKeysToTry(key.subkeyNames(), minVersion, maxVersion)) {
    RegKey versionKey;
    if (!openRuntimeKey(versionKey, HKEY_LOCAL_MACHINE, std::string(keyPath) + "\\" + name)) continue;
    if (checkJavaHome(versionKey, javaExe, version, minVersion, maxVersion)) return true;
  }
  return false;
}

// The best passing entry of one hive's LocatedJvmList; the earlier entry wins ties.
bool bestLocatedJvm(HKEY hive, std::string& javaExe, std::string& version,
                    const std::string& minVersion, const std::string& maxVersion) {
  RegKey key;
  if (!openRuntimeKey(key, hive, kLocatedJvmsKey)) return false;
  bool found = false;
  for (const std::string& name : key.subkeyNames()) {
    std::string candidate = locatedJvmPath(name);
    std::string candidateVersion;
    if (!checkJavaExe(candidate, candidateVersion, minVersion, maxVersion, true, true)) continue;
    if (candidateVersion > version) {
      javaExe = candidate;
      version = candidateVersion;
      found = true;
    }
  }
  return found;
}
}  // namespace

bool findPathJvm(std::string& javaExe, const std::string& minVersion,
                 const std::string& maxVersion) {
  // Only the directories of PATH, walked here: the system's own search would look in the
  // installer's folder first, where a java.exe that nobody checked may lie beside it.
  const DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  if (size == 0) return false;
  std::vector<char> buffer(size);
  const DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), size);
  if (n == 0 || n >= size) return false;
  for (const std::string& candidate :
       pathCandidates(std::string(buffer.data(), n), "java.exe", kRegistryTextBuffer - 1)) {
    const DWORD attributes = GetFileAttributesA(candidate.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) continue;
    javaExe = candidate;
    std::string version;
    return checkJavaExe(javaExe, version, minVersion, maxVersion, false, true);
  }
  return false;
}

bool findEnvJvm(std::string& javaExe, const std::string& variableName,
                const std::string& minVersion, const std::string& maxVersion) {
  std::vector<char> buffer(kRegistryTextBuffer);
  const DWORD n = GetEnvironmentVariableA(variableName.c_str(), buffer.data(), kRegistryTextBuffer);
  // A value that does not fit the buffer is refused rather than cut.
  if (n == 0 || n >= kRegistryTextBuffer) return false;
  std::string home(buffer.data(), n);
  std::replace(home.begin(), home.end(), '/', '\\');
  if (!composeJavaExe(javaExe, home)) return false;
  std::string version;
  return checkJavaExe(javaExe, version, minVersion, maxVersion, false, true);
}

bool findRegistryJvm(std::string& javaExe, const std::string& minVersion,
                     const std::string& maxVersion) {
  std::string sunExe, sunVersion, locatedExe, locatedVersion;
  const bool sun = findJavaSoftJvm(sunExe, sunVersion, minVersion, maxVersion);
  const bool located = findLocatedJvm(locatedExe, locatedVersion, minVersion, maxVersion);
  if (sun) logMessage("found sun %s %s", sunExe.c_str(), sunVersion.c_str());
  if (located) logMessage("found located %s %s", locatedExe.c_str(), locatedVersion.c_str());
  if (sun && (!located || sunVersion > locatedVersion)) {
    javaExe = sunExe;
    return true;
  }
  if (located) {
    javaExe = locatedExe;
    return true;
  }
  return false;
}

bool findJavaSoftJvm(std::string& javaExe, std::string& version, const std::string& minVersion,
                     const std::string& maxVersion) {
  if (findDefaultJavaSoftJvm(javaExe, version, minVersion, maxVersion)) return true;
  if (getConfigInt(CFG_REQUIRE_JDK) == 0 &&
      enumerateJavaSoftKey(kJreKey, javaExe, version, minVersion, maxVersion)) {
    return true;
  }
  return enumerateJavaSoftKey(kJdkKey, javaExe, version, minVersion, maxVersion);
}

bool findLocatedJvm(std::string& javaExe, std::string& version, const std::string& minVersion,
                    const std::string& maxVersion) {
  std::string userExe, userVersion, machineExe, machineVersion;
  const bool user = bestLocatedJvm(HKEY_CURRENT_USER, userExe, userVersion, minVersion, maxVersion);
  const bool machine =
      bestLocatedJvm(HKEY_LOCAL_MACHINE, machineExe, machineVersion, minVersion, maxVersion);
  if (user && (!machine || userVersion > machineVersion)) {
    javaExe = userExe;
    version = userVersion;
    return true;
  }
  if (machine) {
    javaExe = machineExe;
    version = machineVersion;
    return true;
  }
  return false;
}

bool findPreviousInstallationJvm(RegistryHive hive, std::string& javaExe,
                                 const std::string& minVersion, const std::string& maxVersion) {
  const std::string valueName = getConfigText(CFG_INSTALLATIONS_KEY);
  if (valueName.empty()) return false;
  RegKey key;
  if (!openRuntimeKey(key, hiveKey(hive), kInstallationsKey)) return false;
  std::string value;
  if (!key.readString(valueName.c_str(), kRegistryTextBuffer, value) || value.empty()) {
    return false;
  }
  logMessage("found installations: %s", value.c_str());
  for (const std::string& home : installationHomes(value)) {
    std::string version;
    if (composeJavaExe(javaExe, home) &&
        checkJavaExe(javaExe, version, minVersion, maxVersion, false, true)) {
      return true;
    }
  }
  return false;
}

void rememberLocatedJvm(const std::string& javaExe) {
  RegKey key;
  if (!createRuntimeKey(key, HKEY_LOCAL_MACHINE, locatedJvmKey(javaExe))) {
    createRuntimeKey(key, HKEY_CURRENT_USER, locatedJvmKey(javaExe));
  }
}
