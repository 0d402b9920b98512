// Finding a Java runtime: the configured search sequence and the acceptance tests for a
// runtime home and a Java executable. Paths are narrow (ANSI code page), at most 8191
// characters.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "runtime_search/search_sequence.h"

// What identified the runtime the search found; chooses the message when its JVM library
// later fails to load.
enum JreSourceKind {
  NOT_FOUND = 0,
  FOUND_ON_PATH = 1,
  FOUND_AT_LOCATION = 2,
  FOUND_BY_ENV_VAR = 3,  // label: the variable's name
  FOUND_IN_REGISTRY = 4,
};

// How each kind of search entry is tried on this platform; each fills `javaExe` and says
// whether the runtime there is accepted.
struct EntrySources {
  std::function<bool(std::string& javaExe, const std::string& location)> directory;  // A, B, R
  std::function<bool(std::string& javaExe)> path;                                    // S
  std::function<bool(std::string& javaExe, const std::string& variable)> environment;  // E
  std::function<bool(std::string& javaExe)> registry;                                // Y
};
// Walks the configured entries in order, each argument with its variables expanded, and ends
// at the first that yields a runtime: its kind, with `label` set to the argument (left as
// passed for the registry). NOT_FOUND when none does.
JreSourceKind searchEntries(const std::vector<SearchEntry>& entries, const EntrySources& sources,
                            std::string& javaExe, std::string& label);

// Runs the whole search. On success `javaExe` holds the full, lower-cased path of the
// accepted java.exe (javaw.exe for windowed applications) and `label` what identified it
// (left as passed for FOUND_IN_REGISTRY). Outputs are unspecified on NOT_FOUND.
JreSourceKind searchJvm(std::string& javaExe, std::string& label);

// The acceptance test for a runtime home directory (relative to the launcher's directory
// when relative): prepares Pack200-packed jars, composes the Java executable into `javaExe`
// and, unless skipVersionTest, checks its version against the bounds (beta allowed, cache on).
bool checkLocation(std::string& javaExe, const std::string& location, const std::string& minVersion,
                   const std::string& maxVersion, bool skipVersionTest);

// The Java executable of a runtime home: home\jre\bin\java.exe when that exists (a JDK's
// own runtime), else home\bin\java.exe, which is not tested here. With CFG_REQUIRE_JDK set
// `javaExe` is always the jre\bin path and the result is whether home\lib\tools.jar exists.
bool composeJavaExe(std::string& javaExe, const std::string& home);

// Resolves `javaExe` (in/out; javaw.exe for windowed applications on success), runs
// "java -version" or uses the per-user version cache, and accepts the version when it lies
// within the bounds (empty bound: none) and the beta rule allows it. `version` receives the
// version text, empty when none was found.
bool checkJavaExe(std::string& javaExe, std::string& version, const std::string& minVersion,
                  const std::string& maxVersion, bool allowBeta, bool useVersionCache);
