#include "payload/verify.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "support/payload_bytes.h"
#include "support/quiet_log.h"
#include "support/test_exit.h"

namespace {

class VerifyTest : public QuietLogTest {};

void record(void* context, int percent) { static_cast<std::vector<int>*>(context)->push_back(percent); }

TEST(CheckProgressTest, SendsEachPercentageOnceAndNeverMoreThan101Times) {
  struct Row {
    int64_t total;
    int64_t step;
  } rows[] = {{1, 1}, {100, 1}, {1000, 7}, {16384 * 300 + 5, 16384}, {3, 16384}, {1000000, 1}};
  for (const Row& row : rows) {
    CheckProgress progress;
    std::vector<int> sent;
    for (int64_t done = 0; done < row.total;) {
      done = std::min(done + row.step, row.total);
      const int p = progress.advance(done, row.total);
      if (p >= 0) sent.push_back(p);
    }
    SCOPED_TRACE("total " + std::to_string(row.total) + " step " + std::to_string(row.step));
    ASSERT_FALSE(sent.empty());
    EXPECT_LE(sent.size(), 101u);
    EXPECT_EQ(sent.back(), 100);
    EXPECT_TRUE(std::is_sorted(sent.begin(), sent.end()));
    EXPECT_EQ(std::adjacent_find(sent.begin(), sent.end()), sent.end()) << "a percentage repeated";
  }
  // A source that over-reports still ends at 100, once; an empty range sends nothing.
  CheckProgress progress;
  EXPECT_EQ(progress.advance(1, 1000), 0);
  EXPECT_EQ(progress.advance(5000, 1000), 100);
  EXPECT_EQ(progress.advance(6000, 1000), -1);
  EXPECT_EQ(CheckProgress().advance(5, 0), -1);
}

TEST_F(VerifyTest, OutcomeOfEachHeaderAndRange) {
  const std::string body = "configuration, files and the unextracted rest";
  const uint32_t crc = referenceCrc32(reinterpret_cast<const uint8_t*>(body.data()), body.size());
  std::string flipped = body;
  flipped[10] ^= 0x01;
  struct Row {
    const char* name;
    Bytes bytes;
    bool verify;
    PayloadCheck check;
    bool intact;
    int64_t position;  // where reading stopped
  } rows[] = {
      {"intact", PayloadBytes().header(1, crc, body.size()).raw(body).bytes(), true,
       PayloadCheck::Checked, true, 20 + static_cast<int64_t>(body.size())},
      {"one byte changed", PayloadBytes().header(1, crc, body.size()).raw(flipped).bytes(), true,
       PayloadCheck::Checked, false, 20 + static_cast<int64_t>(body.size())},
      {"padding after the range changed",
       PayloadBytes().header(1, crc, body.size()).raw(body).raw(std::string("\x01\x02", 2)).bytes(),
       true, PayloadCheck::Checked, true, 20 + static_cast<int64_t>(body.size())},
      {"no integrity data", PayloadBytes().header(0, 0xDEADBEEF, 99999).bytes(), true,
       PayloadCheck::Skipped, true, 8},
      {"check switched off: only the magic is read", PayloadBytes().header(1, 5, 99999).bytes(),
       false, PayloadCheck::Skipped, true, 4},
      {"empty range, expected 0", PayloadBytes().header(1, 0, 0).bytes(), true,
       PayloadCheck::Checked, true, 20},
      {"empty range, expected nonzero", PayloadBytes().header(1, 7, 0).bytes(), true,
       PayloadCheck::Checked, false, 20},
      {"wrong magic", PayloadBytes().u32(0xE8E413D6u).i32(0).u32(0).i64(0).bytes(), true,
       PayloadCheck::WrongMagic, false, 4},
      {"wrong magic, check off", PayloadBytes().u32(0).bytes(), false, PayloadCheck::WrongMagic,
       false, 4},
  };
  for (const Row& row : rows) {
    MemorySource m{row.bytes.data(), static_cast<int64_t>(row.bytes.size())};
    ByteSource in = m.source();
    const IntegrityOutcome outcome = checkPayload(in, row.verify, nullptr, nullptr);
    EXPECT_EQ(outcome.check, row.check) << row.name;
    EXPECT_EQ(outcome.intact(), row.intact) << row.name;
    EXPECT_EQ(in.tell(in.context), row.position) << row.name;
  }
}

TEST_F(VerifyTest, ProgressIsReportedOnlyWhileTheChecksumRuns) {
  const Bytes body(16384 * 250 + 77, 0x5A);
  const uint32_t crc = referenceCrc32(body.data(), body.size());
  const Bytes bytes = PayloadBytes().header(1, crc, body.size()).raw(body).bytes();
  MemorySource m{bytes.data(), static_cast<int64_t>(bytes.size())};
  ByteSource in = m.source();
  std::vector<int> sent;
  EXPECT_TRUE(checkPayload(in, true, &record, &sent).intact());
  EXPECT_EQ(sent.size(), 101u);
  EXPECT_EQ(sent.front(), 0);
  EXPECT_EQ(sent.back(), 100);

  sent.clear();
  const Bytes skipped = PayloadBytes().header(0).bytes();
  MemorySource m2{skipped.data(), static_cast<int64_t>(skipped.size())};
  ByteSource in2 = m2.source();
  checkPayload(in2, true, &record, &sent);
  EXPECT_TRUE(sent.empty());
}

TEST_F(VerifyTest, AFileCutInsideTheRangeIsInternalError34) {
  configTable().narrow[CFG_MSG_INTERNAL_ERROR] = "An internal error occurred (error code: {0})";
  const std::string body(40000, 'x');
  const Bytes bytes = PayloadBytes().header(1, 0, 50000).raw(body).bytes();
  MemorySource m{bytes.data(), static_cast<int64_t>(bytes.size())};
  ByteSource in = m.source();
  ::testing::internal::CaptureStderr();
  const int code = exitCodeOf([&] { checkPayload(in, true, nullptr, nullptr); });
  const std::string err = ::testing::internal::GetCapturedStderr();
  configTable().narrow.erase(CFG_MSG_INTERNAL_ERROR);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err.substr(0, err.find('\n')), "An internal error occurred (error code: 34)");
}

}  // namespace
