// Extraction clean-up against the Windows file system (under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "base/error_report.h"
#include "payload/extract.h"
#include "platform/diagnostic_log.h"
#include "support/payload_bytes.h"
#include "support/scratch_files.h"

namespace {

std::string currentDirectory() {
  char buffer[MAX_PATH + 1] = {0};
  const DWORD n = GetCurrentDirectoryA(MAX_PATH, buffer);
  return std::string(buffer, n <= MAX_PATH ? n : 0);
}

TEST(ExtractWinTest, AFailedExtractionRemovesTheDirectoryItRunsIn) {
  resetLogForTesting();
  ScratchDir scratch;
  const std::string target = scratch.file("qlz1.tmp_dir");
  ASSERT_TRUE(CreateDirectoryA(target.c_str(), nullptr));
  const std::string previous = currentDirectory();
  ASSERT_TRUE(SetCurrentDirectoryA(target.c_str()));

  // The first file extracts, the second entry ends early.
  Bytes payload = PayloadBytes().includedFile("whole").includedFile(std::string(500, 'x')).bytes();
  payload.resize(payload.size() - 100);
  MemorySource m{payload.data(), static_cast<int64_t>(payload.size())};
  ByteSource in = m.source();
  int64_t end = 0;
  const int result = extractEntries(in, 0, target, {"a.txt", "b.txt"}, fileSystemTarget(), &end);
  const std::string after = currentDirectory();
  SetCurrentDirectoryA(previous.c_str());

  EXPECT_EQ(result, kExtractReadFailed);
  EXPECT_FALSE(pathExists(target)) << "the work directory must not keep itself alive";
  EXPECT_EQ(lstrcmpiA(after.c_str(), scratch.path().c_str()), 0) << after;

  const std::string log = logPathForTesting();
  if (!log.empty()) std::remove(log.c_str());
  resetLogForTesting();
}

}  // namespace
