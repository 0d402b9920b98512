// The version rules: the bounds test of a runtime's version (prefix comparison, beta rule),
// the range test of registry key names and the order in which version keys are tried, and
// the search sequence that names the places to look. Input lines: version, lower bound,
// upper bound, search sequence, then registry key names.
#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "fuzz_support.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/search_sequence.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines = splitInput(data, size, "\n", 128);
  lines.resize(std::max<size_t>(lines.size(), 4));
  const std::string& version = lines[0];
  const std::string& minVersion = lines[1];
  const std::string& maxVersion = lines[2];

  configTable().narrow.erase(CFG_ALLOW_BETA_JRE);
  const bool strict = isVersionAccepted(version, minVersion, maxVersion, false);
  const bool lenient = isVersionAccepted(version, minVersion, maxVersion, true);
  fuzzCheck(!strict || lenient, "allowing betas refused a version");
  fuzzCheck(strict == (lenient && !isBetaVersion(version)), "beta rule inconsistent");
  fuzzCheck(isVersionAccepted(version, "", "", true), "no bounds refused a version");
  fuzzCheck(!lenient || isVersionAccepted(version, minVersion, "", true), "upper bound alone");
  // Bounds compare on the bound's length: the version itself is always within [v, v].
  fuzzCheck(isVersionAccepted(version, version, version, true), "a version outside [v, v]");

  const std::vector<std::string> names(lines.begin() + 4, lines.end());
  const std::vector<std::string> keys = versionKeysToTry(names, minVersion, maxVersion);
  fuzzCheck(keys.size() <= names.size(), "more keys than names");
  fuzzCheck(std::is_sorted(keys.rbegin(), keys.rend()), "keys not greatest first");
  for (const std::string& key : keys) {
    fuzzCheck(isKeyVersionInRange(key, minVersion, maxVersion), "key out of range kept");
    fuzzCheck(std::find(names.begin(), names.end(), key) != names.end(), "key not among names");
  }
  defaultVersionKey(minVersion, maxVersion);

  for (const SearchEntry& entry : parseSearchSequence(lines[3])) {
    isTriedInRelativePass(entry);
    isAbsoluteLocation(entry.argument);
  }
  fuzzInputDone();
  return 0;
}
