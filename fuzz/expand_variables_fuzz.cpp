// Variable expansion: the launcher variables and ${NAME} references over an environment.
// Input lines: the text, the launcher directory, the temporary directory, the JVM home,
// then "NAME=value" environment entries.
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "platform/expand_variables.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<std::string> lines = splitInput(data, size, "\n", 64);
  lines.resize(std::max<size_t>(lines.size(), 4));
  VariableValues values;
  values.launcherDirectory = lines[1];
  values.tempDirectory = lines[2];
  values.jvmHome = lines[3];
  const std::vector<std::string> environment(lines.begin() + 4, lines.end());

  const std::string before = lines[0];
  std::string text = before;
  try {
    if (expandVariablesWith(text, values, environment)) {
      fuzzCheck(text.size() <= kMaxExpandedText || text == before, "expansion beyond the limit");
    } else {
      fuzzCheck(text == before, "a failed expansion changed the text");
    }
  } catch (const FuzzExit&) {
    fuzzCheck(false, "expansion is never fatal");
  }
  fuzzInputDone();
  return 0;
}
