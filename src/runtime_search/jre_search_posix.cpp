// The runtime search of the Linux launcher: the configured sequence with Linux meanings
// (a runtime home holds bin/java; PATH is ":"-separated; the registry does not exist and is
// skipped with a log line), then what a Linux user expects: JAVA_HOME and /usr/lib/jvm.
#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/jre_search.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/search_sequence.h"
#include "runtime_search/version_cache.h"

namespace {
constexpr char kSystemRuntimes[] = "/usr/lib/jvm";

std::string realPathOf(const std::string& path) {
  char* resolved = realpath(path.c_str(), nullptr);
  if (resolved == nullptr) return std::string();
  std::string out(resolved);
  free(resolved);
  return out;
}

bool isExecutableFile(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode) && access(path.c_str(), X_OK) == 0;
}

// A home as the system takes it, without trailing slashes ("/" itself stays).
std::string homeOf(const std::string& location) {
  std::string home = systemPath(makeAbsolute(location));
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return home;
}

bool tryLocationFile(bool preferred, std::string& javaExe, std::string& label,
                     const std::string& minVersion, const std::string& maxVersion) {
  std::string line;
  if (!readLocationFile(line, preferred ? kPreferredLocationFile : kInstallerLocationFile)) return false;
  logMessage(preferred ? "Has preferred location %s" : "Has installer location %s", line.c_str());
  if (!checkLocation(javaExe, line, minVersion, maxVersion, false)) return false;
  logMessage(preferred ? "Using preferred location" : "Using installer location");
  label = line;
  return true;
}

bool tryNamedHome(std::string& javaExe, std::string& label, const std::string& variable,
                  const std::string& minVersion, const std::string& maxVersion) {
  if (!findEnvJvm(javaExe, variable, minVersion, maxVersion)) return false;
  label = variable;
  return true;
}
}  // namespace

bool readLocationFile(std::string& line, const char* fileSuffix) {
  const std::string root = systemPath(normalizePath(getConfigText(CFG_APP_HOME_DIRECTORY), true));
  FILE* file = fopen(systemPath(root + fileSuffix).c_str(), "r");
  if (file == nullptr) return false;
  std::vector<char> buffer(kLocationLineLimit + 1, '\0');
  const bool read = fgets(buffer.data(), static_cast<int>(buffer.size()), file) != nullptr;
  fclose(file);
  if (read) line = stripLineEnd(buffer.data());
  return read;
}

bool checkJavaExe(std::string& javaExe, std::string& version, const std::string& minVersion,
                  const std::string& maxVersion, bool allowBeta, bool useVersionCache) {
  version.clear();
  const std::string resolved = realPathOf(systemPath(javaExe));
  struct stat info;
  if (resolved.empty() || !isExecutableFile(resolved) || stat(resolved.c_str(), &info) != 0) {
    logMessage("%s is no executable", javaExe.c_str());
    return false;
  }
  // The cache trusts an entry while the executable's modification time is unchanged.
  const uint64_t stamp = uint64_t(info.st_mtim.tv_sec) * 1000000000ULL + uint64_t(info.st_mtim.tv_nsec);
  const uint32_t modified[2] = {static_cast<uint32_t>(stamp), static_cast<uint32_t>(stamp >> 32)};
  if (useVersionCache && readVersionCache(resolved, modified, version)) {
    logMessage("version of %s from the cache", resolved.c_str());
  } else if (!runJavaVersion(resolved, modified, version)) {
    return false;
  } else if (useVersionCache) {
    writeVersionCache(resolved, modified, version);
  }
  logMessage("%s has version %s", resolved.c_str(), version.c_str());
  if (!isVersionAccepted(version, minVersion, maxVersion, allowBeta)) return false;
  javaExe = resolved;
  return true;
}

bool checkLocation(std::string& javaExe, const std::string& location, const std::string& minVersion,
                   const std::string& maxVersion, bool skipVersionTest) {
  const std::string home = homeOf(location);
  // A JDK of Java 8 keeps its own runtime in jre.
  javaExe = isExecutableFile(home + "/jre/bin/java") ? home + "/jre/bin/java" : home + "/bin/java";
  if (skipVersionTest) return true;
  std::string version;
  return checkJavaExe(javaExe, version, minVersion, maxVersion, true, true);
}

bool findPathJvm(std::string& javaExe, const std::string& minVersion, const std::string& maxVersion) {
  const char* path = getenv("PATH");
  if (path == nullptr) return false;
  for (const std::string& directory : splitList(path, ':')) {
    if (directory[0] != '/') continue;  // relative items depend on where the process is
    std::string candidate = directory + "/java";
    if (!isExecutableFile(candidate)) continue;
    std::string version;
    if (checkJavaExe(candidate, version, minVersion, maxVersion, false, true)) {
      javaExe = candidate;
      return true;
    }
  }
  return false;
}

bool findEnvJvm(std::string& javaExe, const std::string& variableName, const std::string& minVersion,
                const std::string& maxVersion) {
  const char* value = getenv(variableName.c_str());
  if (value == nullptr || *value == '\0') return false;
  logMessage("%s is %s", variableName.c_str(), value);
  return checkLocation(javaExe, value, minVersion, maxVersion, false);
}

JreSourceKind searchJvm(std::string& javaExe, std::string& label) {
  logMessage("Searching for a JVM");
  const std::string sequence = getConfigText(CFG_JRE_SEARCH_SEQUENCE);
  const std::string minVersion = getConfigText(CFG_MIN_JAVA_VERSION);
  const std::string maxVersion = getConfigText(CFG_MAX_JAVA_VERSION);

  if (tryLocationFile(true, javaExe, label, minVersion, maxVersion)) return FOUND_AT_LOCATION;

  const std::vector<SearchEntry> entries = parseSearchSequence(sequence);
  EntrySources sources;
  sources.directory = [&](std::string& exe, const std::string& location) {
    return checkLocation(exe, location, minVersion, maxVersion, false);
  };
  sources.path = [&](std::string& exe) { return findPathJvm(exe, minVersion, maxVersion); };
  sources.environment = [&](std::string& exe, const std::string& variable) {
    return findEnvJvm(exe, variable, minVersion, maxVersion);
  };
  sources.registry = [](std::string&) {
    logMessage("registry search skipped: there is no registry on Linux");
    return false;
  };
  const JreSourceKind found = searchEntries(entries, sources, javaExe, label);
  if (found != NOT_FOUND) return found;

  if (tryLocationFile(false, javaExe, label, minVersion, maxVersion)) return FOUND_AT_LOCATION;

  // Relative locations again, without the version test: a runtime shipped beside the
  // installer is used even when its version is unknown.
  for (const SearchEntry& entry : entries) {
    if (!isTriedInRelativePass(entry) || isSystemRootedPath(entry.argument)) continue;
    logMessage("Testing relative location %s", entry.argument.c_str());
    if (checkLocation(javaExe, entry.argument, minVersion, maxVersion, true) && isExecutableFile(javaExe)) {
      logMessage("%s exists", javaExe.c_str());
      label = entry.argument;
      return FOUND_AT_LOCATION;
    }
  }
  logMessage("earlier installations skipped: they are recorded in the registry on Windows only");
  logMessage("Search sequence finished");

  for (const char* variable : {"QUOLL_JAVA_HOME", "VANTREL_JAVA_HOME", "JAVA_HOME"}) {
    if (tryNamedHome(javaExe, label, variable, minVersion, maxVersion)) return FOUND_BY_ENV_VAR;
  }
  std::vector<std::string> names;
  if (DIR* directory = opendir(kSystemRuntimes)) {
    while (const dirent* entry = readdir(directory)) names.emplace_back(entry->d_name);
    closedir(directory);
  }
  for (const std::string& home : systemRuntimeHomes(kSystemRuntimes, names)) {
    if (checkLocation(javaExe, home, minVersion, maxVersion, false)) {
      label = home;
      return FOUND_AT_LOCATION;
    }
  }
  return NOT_FOUND;
}
