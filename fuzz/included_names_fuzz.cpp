// The included-file names of the configuration: the ";" list cut to the count, the rule for
// a safe name, and the extraction that creates one directory level per name. Input: the
// count in the first line, the names list in the second, the entries' bytes after that.
#include <cstdint>
#include <string>

#include "base/config_table.h"
#include "fuzz_support.h"
#include "payload/extract.h"
#include "payload/payload_reader.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
const char kRoot[] = "C:\\Users\\me\\AppData\\Local\\Temp\\qlz1A2B.tmp_dir";

bool hasDotDotPart(const std::string& name) {
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '\\' && name[i] != '/') continue;
    if (name.compare(start, i - start, "..") == 0 && i - start == 2) return true;
    start = i + 1;
  }
  return false;
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> parts = splitInput(data, size, "\n", 3);
  const int count = parseConfigInt(parts[0]);
  const std::string list = parts.size() > 1 ? parts[1] : std::string();
  const std::string content = parts.size() > 2 ? parts[2] : std::string();

  const std::vector<std::string> names = includedFileNames(list, count);
  fuzzCheck(names.size() <= static_cast<size_t>(count > 0 ? count : 0), "more names than the count");
  for (const std::string& name : names) {
    fuzzCheck(!name.empty() && name.find(';') == std::string::npos, "empty or unsplit name");
    if (isSafeIncludedFileName(name)) {
      fuzzCheck(!hasDotDotPart(name) && name[0] != '\\' && name[0] != '/' &&
                    name.find(':') == std::string::npos,
                "a name leaving the directory passes as safe");
    }
  }

  try {
    MemorySource memory;
    memory.data = reinterpret_cast<const uint8_t*>(content.data());
    memory.length = static_cast<int64_t>(content.size());
    ByteSource in = memory.source();
    MemoryFiles files(kRoot);
    int64_t end = 0;
    if (extractEntries(in, 0, kRoot, names, files.target(), &end) == kExtractOk) {
      fuzzCheck(end <= static_cast<int64_t>(content.size()), "entries end past the data");
    }
  } catch (const FuzzExit&) {
  }
  fuzzInputDone();
  return 0;
}
