// The tests applied to one candidate Java executable: composing it from a runtime home,
// learning its version (by running "java -version" or from the per-user version cache),
// and comparing that version with the configured bounds. Versions are never parsed into
// numbers: every comparison is byte-wise on prefixes, so "1.6" matches 1.6.0_20 and 1.10
// sorts below 1.6. composeJavaExe and checkJavaExe are declared in jre/jre_search.h.
#pragma once

#include <cstdint>
#include <string>

#include "runtime_search/jre_search.h"

// The version recorded for an executable that started but ended with a non-zero exit code.
constexpr const char kFailedRunVersion[] = "1.0.0";
// How long "java -version" may run before it is terminated, in milliseconds.
constexpr uint32_t kJavaVersionTimeoutMs = 60000;
// The longest first line of "java -version" output that is looked at, in characters.
constexpr size_t kVersionLineLimit = 99;

// ---- Pure rules ----

// The version in the first line that "java -version" writes to standard error: the text
// between the quotes after "java version " or "openjdk version ". False (version empty)
// for any other line, such as a notice printed before the version line, for a line whose
// closing quote is missing, and for an empty version. Only the first kVersionLineLimit
// characters of `line` are looked at.
bool parseVersionLine(const std::string& line, std::string& version);
// Pre-release versions: "beta", "ea" or "rc" anywhere in the text (case-sensitive).
bool isBetaVersion(const std::string& version);
// Within the bounds when each bound (empty: none) compares equal or in the right direction
// with the version's first strlen(bound) bytes, as strncmp does. A beta version is refused
// (logged "beta vm not allowed") unless `allowBeta` or CFG_ALLOW_BETA_JRE is set.
bool isVersionAccepted(const std::string& version, const std::string& minVersion,
                       const std::string& maxVersion, bool allowBeta);
// The range test for registry key names that hold versions: each comparison covers only as
// many bytes as the shorter of the two texts, so the key 1.6 passes the lower bound
// 1.6.0_10. No beta rule.
bool isKeyVersionInRange(const std::string& keyName, const std::string& minVersion,
                         const std::string& maxVersion);
// The windowed twin of an executable path: "w" inserted before the last four characters
// (...\java.exe -> ...\javaw.exe). Paths shorter than four characters come back unchanged.
std::string javawPathFor(const std::string& javaExe);
// The command line that asks for the version: the (short) executable path, quoted only when
// it holds a blank, followed by " -version".
std::string javaVersionCommandLine(const std::string& shortPath);

// ---- System-bound operations ----

// Runs `javaExe` with "-version", standard error into a temporary file, for at most the
// version time-out. A run that ends with a non-zero code is cached as kFailedRunVersion
// under `lastWriteTime` (FILETIME halves, low first); one still running is terminated and
// not cached. True, with `version` filled, only for exit code 0 and a parsable first line.
bool runJavaVersion(const std::string& javaExe, const uint32_t lastWriteTime[2],
                    std::string& version);

// Test seam: the time-out of runJavaVersion in milliseconds; 0 restores kJavaVersionTimeoutMs.
void setJavaVersionTimeoutForTesting(uint32_t milliseconds);
