// The media file as the launcher reads it: the PE fields that locate the payload, the header,
// the configuration records, the integrity check and the included files the records name.
#include <cstdint>
#include <string>

#include "base/config_table.h"
#include "fuzz_support.h"
#include "payload/extract.h"
#include "payload/payload_reader.h"
#include "payload/verify.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  ConfigTable table;
  int64_t configEnd = -1;
  try {
    MemorySource memory;
    memory.data = data;
    memory.length = static_cast<int64_t>(size);
    ByteSource in = memory.source();
    configEnd = readConfiguration(in, table);
    fuzzCheck(configEnd >= 0 && configEnd <= static_cast<int64_t>(size),
              "configuration ends outside the file");
  } catch (const FuzzExit&) {
  }

  if (configEnd >= 0) {
    for (const auto& record : table.narrow) parseConfigInt(record.second);
    try {
      MemorySource memory;
      memory.data = data;
      memory.length = static_cast<int64_t>(size);
      ByteSource in = memory.source();
      seekPayloadStart(in);
      checkPayload(in, true, nullptr, nullptr);
    } catch (const FuzzExit&) {
    }

    // The included files the records name, extracted into memory.
    const auto names = table.narrow.find(CFG_INCLUDED_FILE_NAMES);
    const auto count = table.narrow.find(CFG_INCLUDED_FILE_COUNT);
    if (names != table.narrow.end() && count != table.narrow.end()) {
      try {
        MemorySource memory;
        memory.data = data;
        memory.length = static_cast<int64_t>(size);
        ByteSource in = memory.source();
        MemoryFiles files("T:\\tmp\\qlz1.tmp_dir");
        int64_t end = 0;
        const int result =
            extractEntries(in, configEnd, "T:\\tmp\\qlz1.tmp_dir",
                           includedFileNames(names->second, parseConfigInt(count->second)),
                           files.target(), &end);
        if (result == kExtractOk) {
          fuzzCheck(end >= configEnd && end <= static_cast<int64_t>(size),
                    "included files end outside the file");
        }
      } catch (const FuzzExit&) {
      }
    }
  }
  fuzzInputDone();
  return 0;
}
