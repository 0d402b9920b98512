// The naming and ranking rules of the registry sources.
#include "runtime_search/registry_sources.h"

#include <algorithm>

#include "platform/paths.h"
#include "runtime_search/java_exe.h"

std::string defaultVersionKey(const std::string& jdkVersion, const std::string& jreVersion) {
  if (jdkVersion > jreVersion) return std::string(kJdkKey) + "\\" + jdkVersion;
  return std::string(kJreKey) + "\\" + jreVersion;
}

std::vector<std::string> versionKeysToTry(const std::vector<std::string>& names,
                                          const std::string& minVersion,
                                          const std::string& maxVersion) {
  std::vector<std::string> kept;
  for (const std::string& name : names) {
    if (isKeyVersionInRange(name, minVersion, maxVersion)) kept.push_back(name);
  }
  std::sort(kept.begin(), kept.end());
  std::reverse(kept.begin(), kept.end());
  return kept;
}

std::string locatedJvmKey(const std::string& javaExe) {
  std::string name = javaExe;
  std::replace(name.begin(), name.end(), '\\', '/');
  return kLocatedJvmsKey + name;
}

std::string locatedJvmPath(const std::string& entryName) {
  std::string path = entryName;
  std::replace(path.begin(), path.end(), '/', '\\');
  return path;
}

std::vector<std::string> installationHomes(const std::string& value) {
  std::vector<std::string> homes = splitList(value);
  for (std::string& home : homes) home += "\\jre";
  return homes;
}
