// The outside sources of installed runtimes: the system search path, environment variables
// naming a home, the JavaSoft keys that runtime installers write, the launcher's own list of
// hand-chosen executables (the LocatedJvmList) and the directories of earlier installations.
// Every finder fills `javaExe` with an accepted executable and returns whether it found one;
// nothing here is fatal or shown to the user.
#pragma once

#include <string>
#include <vector>

// The two hives the launcher's lists live in.
enum class RegistryHive { CurrentUser, LocalMachine };

// ---- Pure rules ----

constexpr const char kJreKey[] = "SOFTWARE\\JavaSoft\\Java Runtime Environment";
constexpr const char kJdkKey[] = "SOFTWARE\\JavaSoft\\Java Development Kit";
constexpr const char kLocatedJvmsKey[] = "SOFTWARE\\northgale\\quoll\\locatedjvms\\";
constexpr const char kInstallationsKey[] = "SOFTWARE\\northgale\\vantrel\\installations";

// The key whose "JavaHome" the default-version way reads: the JDK key and its value when
// that value sorts above the runtime's (byte-wise), else the runtime key and its value
// (also on equality, and with both empty, which gives the runtime key and a backslash).
std::string defaultVersionKey(const std::string& jdkVersion, const std::string& jreVersion);
// The version subkey names worth trying, in the order they are tried: those within the
// bounds (by key-version range), greatest first in byte-wise order.
std::vector<std::string> versionKeysToTry(const std::vector<std::string>& names,
                                          const std::string& minVersion,
                                          const std::string& maxVersion);
// The LocatedJvmList entry of an executable: the key above plus the path with "\" as "/";
// and back from an entry name to the path.
std::string locatedJvmKey(const std::string& javaExe);
std::string locatedJvmPath(const std::string& entryName);
// The runtime homes an installations value names: each ";"-separated directory (empty items
// skipped) followed by "\jre".
std::vector<std::string> installationHomes(const std::string& value);

// ---- System-bound operations ----

// The first java.exe on the system search path (beta by CFG_ALLOW_BETA_JRE only).
bool findPathJvm(std::string& javaExe, const std::string& minVersion,
                 const std::string& maxVersion);
// The home the variable names ("/" read as "\"); unset or empty fails.
bool findEnvJvm(std::string& javaExe, const std::string& variableName,
                const std::string& minVersion, const std::string& maxVersion);
// The better of findJavaSoftJvm and findLocatedJvm (logged "found sun %s %s" and "found
// located %s %s"); the JavaSoft one only when its version sorts above the located one's.
bool findRegistryJvm(std::string& javaExe, const std::string& minVersion,
                     const std::string& maxVersion);
// The JavaSoft keys: the default versions, then every runtime version (unless
// CFG_REQUIRE_JDK), then every JDK version, greatest first. Beta by CFG_ALLOW_BETA_JRE only.
bool findJavaSoftJvm(std::string& javaExe, std::string& version, const std::string& minVersion,
                     const std::string& maxVersion);
// The greatest passing entry of the LocatedJvmList, the user's hive against the machine's
// (the machine's wins ties). Beta versions allowed.
bool findLocatedJvm(std::string& javaExe, std::string& version, const std::string& minVersion,
                    const std::string& maxVersion);
// The first passing "<directory>\jre" of the installations value named by
// CFG_INSTALLATIONS_KEY in `hive`; an empty record skips the source without opening it.
bool findPreviousInstallationJvm(RegistryHive hive, std::string& javaExe,
                                 const std::string& minVersion, const std::string& maxVersion);
// Adds the executable the user chose (as chosen) to the LocatedJvmList of the machine, or
// of the user when the machine's cannot be written; silent when neither can.
void rememberLocatedJvm(const std::string& javaExe);
