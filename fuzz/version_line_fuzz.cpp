// The first line a runtime's "java -version" writes to standard error, from which the
// launcher takes the version between the quotes.
#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "runtime_search/java_exe.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string line(reinterpret_cast<const char*>(data), size);
  std::string version = "stale";
  if (parseVersionLine(line, version)) {
    fuzzCheck(!version.empty() && version.find('"') == std::string::npos,
              "version empty or with a quote");
    fuzzCheck(version.size() < kVersionLineLimit, "version from beyond the looked-at part");
    fuzzCheck(line.find(version) != std::string::npos, "version not taken from the line");
  } else {
    fuzzCheck(version.empty(), "refused line left a version");
  }
  fuzzInputDone();
  return 0;
}
