// The version rules and the composition of a Java executable from a runtime home.
#include "runtime_search/java_exe.h"

#include <algorithm>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"

namespace {
// Negative when the first `count` bytes of `text` sort below `bound`'s, as strncmp compares
// (unsigned bytes; a shorter text sorts below a longer one with the same beginning).
int comparePrefix(const std::string& text, const std::string& bound, size_t count) {
  return text.substr(0, std::min(count, text.size()))
      .compare(bound.substr(0, std::min(count, bound.size())));
}
}  // namespace

bool parseVersionLine(const std::string& line, std::string& version) {
  version.clear();
  const std::string text = line.substr(0, std::min(line.size(), kVersionLineLimit));
  static const char* const prefixes[] = {"java version \"", "openjdk version \""};
  for (const char* prefix : prefixes) {
    const std::string p(prefix);
    if (text.compare(0, p.size(), p) != 0) continue;
    // Newer runtimes print a date after the closing quote, so the version ends at that
    // quote rather than at the end of the line.
    const size_t close = text.find('"', p.size());
    if (close == std::string::npos || close == p.size()) return false;
    version = text.substr(p.size(), close - p.size());
    return true;
  }
  return false;
}

bool isBetaVersion(const std::string& version) {
  return version.find("beta") != std::string::npos || version.find("ea") != std::string::npos ||
         version.find("rc") != std::string::npos;
}

bool isVersionAccepted(const std::string& version, const std::string& minVersion,
                       const std::string& maxVersion, bool allowBeta) {
  if (!allowBeta && getConfigInt(CFG_ALLOW_BETA_JRE) == 0 && isBetaVersion(version)) {
    logMessage("beta vm not allowed");
    return false;
  }
  if (comparePrefix(version, minVersion, minVersion.size()) < 0) return false;
  if (comparePrefix(version, maxVersion, maxVersion.size()) > 0) return false;
  return true;
}

bool isKeyVersionInRange(const std::string& keyName, const std::string& minVersion,
                         const std::string& maxVersion) {
  if (comparePrefix(keyName, minVersion, std::min(keyName.size(), minVersion.size())) < 0) {
    return false;
  }
  if (comparePrefix(keyName, maxVersion, std::min(keyName.size(), maxVersion.size())) > 0) {
    return false;
  }
  return true;
}

std::string javawPathFor(const std::string& javaExe) {
  if (javaExe.size() < 4) return javaExe;
  std::string out = javaExe;
  out.insert(out.size() - 4, "w");
  return out;
}

std::string javaVersionCommandLine(const std::string& shortPath) {
  // Where no short name exists the path may hold blanks; unquoted, the system would try
  // each blank-separated beginning of it as a program of its own.
  const bool quote = shortPath.find(' ') != std::string::npos;
  return (quote ? "\"" + shortPath + "\"" : shortPath) + " -version";
}

bool composeJavaExe(std::string& javaExe, const std::string& home) {
  javaExe = home + "\\jre\\bin\\java.exe";
  // A JDK is recognised by its tools; its own runtime below jre is what gets run.
  if (getConfigInt(CFG_REQUIRE_JDK) != 0) return fileExists(home + "\\lib\\tools.jar");
  if (fileExists(javaExe)) return true;
  javaExe = home + "\\bin\\java.exe";
  return true;
}
