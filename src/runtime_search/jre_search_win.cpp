// The runtime search: the location files, the configured sequence, the relative pass,
// earlier installations and the fallback variables, in that order. The first candidate that
// passes ends the search; nothing is ranked across steps.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "runtime/pack200.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/jre_search.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/search_sequence.h"

namespace {
// A location file names a home to try with the version test; true when it passed.
bool tryLocationFile(bool preferred, std::string& javaExe, std::string& label,
                     const std::string& minVersion, const std::string& maxVersion) {
  std::string line;
  if (!readLocationFile(line, preferred ? kPreferredLocationFile : kInstallerLocationFile)) {
    return false;
  }
  logMessage(preferred ? "Has preferred location %s" : "Has installer location %s", line.c_str());
  if (!checkLocation(javaExe, line, minVersion, maxVersion, false)) return false;
  logMessage(preferred ? "Using preferred location" : "Using installer location");
  label = line;
  return true;
}
}  // namespace

bool readLocationFile(std::string& line, const char* fileSuffix) {
  const std::string root = normalizePath(getConfigText(CFG_APP_HOME_DIRECTORY), true);
  FILE* file = fopen((root + fileSuffix).c_str(), "r");
  if (file == nullptr) return false;
  std::vector<char> buffer(kLocationLineLimit + 1, '\0');
  const bool read = fgets(buffer.data(), static_cast<int>(buffer.size()), file) != nullptr;
  fclose(file);
  if (read) line = stripLineEnd(buffer.data());
  return read;
}

bool checkLocation(std::string& javaExe, const std::string& location, const std::string& minVersion,
                   const std::string& maxVersion, bool skipVersionTest) {
  const std::string home = normalizePath(location, false);
  // A packed runtime found anywhere is restored before it is looked at.
  prepareJre(home);
  const bool composed = composeJavaExe(javaExe, home);
  if (skipVersionTest) return true;
  if (!composed) return false;
  std::string version;
  return checkJavaExe(javaExe, version, minVersion, maxVersion, true, true);
}

JreSourceKind searchJvm(std::string& javaExe, std::string& label) {
  logMessage("Searching for a JVM");
  const std::string sequence = getConfigText(CFG_JRE_SEARCH_SEQUENCE);
  const std::string minVersion = getConfigText(CFG_MIN_JAVA_VERSION);
  const std::string maxVersion = getConfigText(CFG_MAX_JAVA_VERSION);

  if (tryLocationFile(true, javaExe, label, minVersion, maxVersion)) {
    return FOUND_AT_LOCATION;
  }

  const std::vector<SearchEntry> entries = parseSearchSequence(sequence);
  EntrySources sources;
  sources.directory = [&](std::string& exe, const std::string& location) {
    return checkLocation(exe, location, minVersion, maxVersion, false);
  };
  sources.path = [&](std::string& exe) { return findPathJvm(exe, minVersion, maxVersion); };
  sources.environment = [&](std::string& exe, const std::string& variable) {
    return findEnvJvm(exe, variable, minVersion, maxVersion);
  };
  sources.registry = [&](std::string& exe) { return findRegistryJvm(exe, minVersion, maxVersion); };
  const JreSourceKind found = searchEntries(entries, sources, javaExe, label);
  if (found != NOT_FOUND) return found;

  if (tryLocationFile(false, javaExe, label, minVersion, maxVersion)) {
    return FOUND_AT_LOCATION;
  }

  // Relative locations again, as written and without the version test: a runtime shipped
  // beside the launcher is used even when its version is unknown.
  for (const SearchEntry& entry : entries) {
    if (!isTriedInRelativePass(entry)) continue;
    logMessage("Testing relative location %s", entry.argument.c_str());
    if (checkLocation(javaExe, entry.argument, minVersion, maxVersion, true) &&
        fileExists(javaExe)) {
      logMessage("%s exists", javaExe.c_str());
      label = entry.argument;
      return FOUND_AT_LOCATION;
    }
  }

  if (findPreviousInstallationJvm(RegistryHive::CurrentUser, javaExe, minVersion, maxVersion)) {
    logMessage("found JRE from previous installation (user) %s", javaExe.c_str());
    return FOUND_IN_REGISTRY;
  }
  if (findPreviousInstallationJvm(RegistryHive::LocalMachine, javaExe, minVersion, maxVersion)) {
    logMessage("found JRE from previous installation (machine) %s", javaExe.c_str());
    return FOUND_IN_REGISTRY;
  }
  logMessage("Search sequence finished");

  for (const char* variable : {"QUOLL_JAVA_HOME", "VANTREL_JAVA_HOME"}) {
    if (findEnvJvm(javaExe, variable, minVersion, maxVersion)) {
      label = variable;
      return FOUND_BY_ENV_VAR;
    }
  }
  return NOT_FOUND;
}
