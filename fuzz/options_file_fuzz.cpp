// The VM option list: CFG_VM_OPTIONS, "-J" arguments and the options file beside the
// executable, whose lines may include further files and set the class path overrides.
// Input parts, separated by "\n%%\n": CFG_VM_OPTIONS, the "-J" arguments (one a line), the
// default options file, then files "a", "b" and "c" that includes may name. Includes are
// opened relative to the scratch directory, which is the current directory here.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "base/text.h"
#include "fuzz_support.h"
#include "jvm/vm_options.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  // A small, fixed environment for ${NAME} references, so a run does not depend on the
  // caller's and no reference expands to a path outside the scratch directory.
  const char* tmp = getenv("TMP");
  const std::string keepTmp = tmp != nullptr ? tmp : "";
  clearenv();
  if (!keepTmp.empty()) setenv("TMP", keepTmp.c_str(), 1);
  setenv("OPTS", "a", 1);
  setenv("LOOP", "-include-options ${LOOP}", 1);
  setenv("CP", "lib\\x.jar", 1);
  if (chdir(fuzzScratchDirectory().c_str()) != 0) abort();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // Absolute paths could name devices that never end (/dev/zero) or block (/dev/stdin); the
  // harness keeps includes to its own files.
  for (size_t i = 0; i < size; ++i) {
    if (data[i] == '/') return -1;
  }
  std::vector<std::string> parts = splitInput(data, size, "\n%%\n", 6);
  parts.resize(6);
  configTable().narrow[CFG_VM_OPTIONS] = parts[0];
  configTable().narrow[CFG_ACCEPT_J_ARGUMENTS] = "1";
  std::vector<std::u16string> arguments;
  for (const std::string& line : splitInput(reinterpret_cast<const uint8_t*>(parts[1].data()),
                                            parts[1].size(), "\n", 64)) {
    arguments.push_back(narrowToWide(line));
  }
  writeScratchFile("x.vmoptions", parts[2]);
  writeScratchFile("a", parts[3]);
  writeScratchFile("b", parts[4]);
  writeScratchFile("c", parts[5]);

  try {
    const std::vector<std::string> options =
        collectVmOptionList({"-Dquoll.jev=true"}, arguments, fuzzScratchDirectory() + "/x.exe", std::string());
    fuzzCheck(!options.empty() && options.front() == "-Dquoll.jev=true" &&
                  options.back().compare(0, 18, "-Djava.class.path=") == 0,
              "option list out of order");
  } catch (const FuzzExit&) {
  }
  fuzzInputDone();
  return 0;
}
