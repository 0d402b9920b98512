#include "payload/payload_reader.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <string>

#include "base/config_table.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"
#include "support/media_files.h"
#include "support/observed_source.h"
#include "support/payload_bytes.h"
#include "support/quiet_log.h"
#include "support/test_exit.h"

namespace {

struct FatalOutcome {
  int code;
  std::string firstLine;  // the message without the log path under it
};

class PayloadReaderTest : public QuietLogTest {
 protected:

  // Runs `body`, which must end the process, and returns the code and the message shown.
  static FatalOutcome fatalOf(const std::function<void()>& body) {
    ::testing::internal::CaptureStderr();
    const int code = exitCodeOf(body);
    const std::string err = ::testing::internal::GetCapturedStderr();
    return {code, err.substr(0, err.find('\n'))};
  }

  std::string logText() const {
    const Bytes bytes = readFileBytes(logPathForTesting());
    std::string text(bytes.begin(), bytes.end());
    // The log is a text-mode file: line ends are CR LF on Windows.
    std::string lines;
    for (char c : text) {
      if (c != '\r') lines.push_back(c);
    }
    return lines;
  }
};

Bytes bytesOf(const PayloadBytes& p) { return p.bytes(); }

TEST_F(PayloadReaderTest, ReadersDecodeLittleEndianAndWidenShortsWithTheirSign) {
  const Bytes bytes = bytesOf(PayloadBytes()
                                  .i64(-2)
                                  .u32(0xE8E413D5u)
                                  .i16(-1)
                                  .i16(-32768)
                                  .i16(32767)
                                  .i32(3)
                                  .raw(std::string("abc"))
                                  .i32(0)
                                  .i32(4)
                                  .raw(Bytes{'h', 0, 0xe9, 0}));
  MemorySource m{bytes.data(), static_cast<int64_t>(bytes.size())};
  ByteSource in = m.source();
  EXPECT_EQ(readLong(in), -2);
  EXPECT_EQ(static_cast<uint32_t>(readInt(in)), 0xE8E413D5u);
  EXPECT_EQ(readShort(in), -1);
  EXPECT_EQ(readShort(in), -32768);
  EXPECT_EQ(readShort(in), 32767);
  EXPECT_EQ(readString(in), "abc");
  EXPECT_EQ(readString(in), "");
  EXPECT_EQ(readWString(in), u"h\u00e9");
  EXPECT_EQ(in.tell(in.context), static_cast<int64_t>(bytes.size()));
}

TEST_F(PayloadReaderTest, OddWideLengthDropsTheHalfUnitAndKeepsReadingInStep) {
  const Bytes bytes = bytesOf(PayloadBytes().i32(3).raw(Bytes{'a', 0, 'b'}).i32(77));
  MemorySource m{bytes.data(), static_cast<int64_t>(bytes.size())};
  ByteSource in = m.source();
  EXPECT_EQ(readWString(in), u"a");
  EXPECT_EQ(readInt(in), 77);
}

TEST_F(PayloadReaderTest, EveryShortReadIsFatalWithItsOwnMessage) {
  using Reader = std::function<void(ByteSource&)>;
  struct Row {
    const char* name;
    Bytes bytes;
    Reader read;
    const char* message;
  };
  const Row rows[] = {
      {"readLong, 7 of 8 bytes", Bytes(7, 1), [](ByteSource& in) { readLong(in); }, messages::kReadLong},
      {"readInt, 3 of 4 bytes", Bytes(3, 1), [](ByteSource& in) { readInt(in); }, messages::kReadInt},
      {"readInt, empty", Bytes(), [](ByteSource& in) { readInt(in); }, messages::kReadInt},
      {"readShort, 1 of 2 bytes", Bytes(1, 1), [](ByteSource& in) { readShort(in); }, messages::kReadShort},
      {"readString, length cut", Bytes(2, 0), [](ByteSource& in) { readString(in); }, messages::kReadInt},
      {"readWString, length cut", Bytes(2, 0), [](ByteSource& in) { readWString(in); }, messages::kReadInt},
      {"readString, body cut", bytesOf(PayloadBytes().i32(5).raw(std::string("abc"))),
       [](ByteSource& in) { readString(in); }, messages::kReadString},
      {"readWString, body cut", bytesOf(PayloadBytes().i32(4).raw(Bytes{'a', 0})),
       [](ByteSource& in) { readWString(in); }, messages::kReadWString},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemorySource m{row.bytes.data(), static_cast<int64_t>(row.bytes.size())};
    ByteSource in = m.source();
    const FatalOutcome outcome = fatalOf([&] { row.read(in); });
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.firstLine, row.message);
  }
}

TEST_F(PayloadReaderTest, ImplausibleLengthsAreRefusedBeforeTheBodyIsRead) {
  struct Row {
    int32_t length;
    bool wide;
  };
  const Row rows[] = {{-1, false}, {-1, true}, {INT32_MIN, false}, {INT32_MAX, false},
                      {INT32_MAX, true}, {17, false}, {17, true}};
  for (const Row& row : rows) {
    SCOPED_TRACE(testing::Message() << "length " << row.length << (row.wide ? " wide" : " narrow"));
    const Bytes bytes = bytesOf(PayloadBytes().i32(row.length).raw(Bytes(16, 'x')));
    ObservedSource watched(bytes);
    const FatalOutcome outcome = fatalOf([&] {
      if (row.wide) {
        readWString(watched.source);
      } else {
        readString(watched.source);
      }
    });
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.firstLine, row.wide ? messages::kReadWString : messages::kReadString);
    EXPECT_LE(watched.largestRead, 4u) << "the body was read although it cannot be there";
  }
}

TEST_F(PayloadReaderTest, PayloadStartFollowsTheLastSectionAndIsLogged) {
  FakePe pe;
  pe.peHeaderOffset = 0x78;
  pe.sections = 4;
  pe.optionalHeaderSize = 240;
  pe.lastRawOffset = 0x600;
  pe.lastRawSize = 0x200;
  Bytes file = buildFakePe(pe);
  file.push_back(0x5a);
  MemorySource m{file.data(), static_cast<int64_t>(file.size())};
  ByteSource in = m.source();
  EXPECT_EQ(seekPayloadStart(in), 0x800);
  EXPECT_EQ(in.tell(in.context), 0x800);
  const std::string log = logText();
  EXPECT_NE(log.find("number of sections: 4\n"), std::string::npos) << log;
  EXPECT_NE(log.find("size of optional headers: 240\n"), std::string::npos) << log;
  EXPECT_NE(log.find("resSectionTableStart: " + std::to_string(0x78 + 24 + 240 + 40 * 3) + "\n"),
            std::string::npos)
      << log;
  EXPECT_NE(log.find("rawDataSize: 512, rawDataOffset: 1536\n"), std::string::npos) << log;
}

TEST_F(PayloadReaderTest, HeaderFieldsPointingOutsideTheFileAreFatal) {
  // A sound image whose fields are then overwritten, so they point where nothing was written.
  auto patched = [](size_t at, int64_t value, int width) {
    Bytes file = buildFakePe(FakePe());
    for (int i = 0; i < width; ++i) file[at + i] = static_cast<uint8_t>(value >> (8 * i));
    return file;
  };
  const size_t h = FakePe().peHeaderOffset;
  const size_t lastSection = h + 24 + FakePe().optionalHeaderSize + 40 * (FakePe().sections - 1);
  struct Row {
    const char* name;
    Bytes file;
    const char* message;
  };
  const Row rows[] = {
      {"PE header before the file start", patched(60, -100, 4), messages::kReadShort},
      {"PE header beyond the end", patched(60, 1 << 20, 4), messages::kReadShort},
      {"section table beyond the end", patched(h + 6, 32767, 2), messages::kReadInt},
      {"payload start before the file start", patched(lastSection + 20, -0x1000, 4), messages::kReadInt},
      {"file shorter than the PE header offset field", Bytes(62, 0), messages::kReadInt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    MemorySource m{row.file.data(), static_cast<int64_t>(row.file.size())};
    ByteSource in = m.source();
    const FatalOutcome outcome = fatalOf([&] {
      seekPayloadStart(in);
      readInt(in);  // the magic, as the loader reads it next
    });
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.firstLine, row.message);
  }
}

class ConfigurationTest : public PayloadReaderTest {
 protected:
  Bytes mediaWith(const Bytes& payload) const {
    Bytes file = buildFakePe(FakePe());
    file.insert(file.end(), payload.begin(), payload.end());
    return file;
  }
};

TEST_F(ConfigurationTest, RecordsLandInTwoMapsAndLaterDuplicatesWin) {
  PayloadBytes payload;
  payload.header(7, 0xdeadbeef, -1)  // integrity fields are not the loader's business
      .narrowRecords({{CFG_MAIN_CLASS, "first.Main"}, {CFG_EXECUTABLE_TYPE, "2"}, {CFG_MAIN_CLASS, "second.Main"}, {5, ""}})
      .wideRecords({{CFG_WMSG_CAPTION, u"Setup \u4e2d"}, {122, u"wide twin"}, {CFG_WMSG_CAPTION, u"Caption"}});
  const Bytes file = mediaWith(payload.bytes());
  Bytes withFiles = file;
  const Bytes extra = bytesOf(PayloadBytes().includedFile("data"));
  withFiles.insert(withFiles.end(), extra.begin(), extra.end());

  MemorySource m{withFiles.data(), static_cast<int64_t>(withFiles.size())};
  ByteSource in = m.source();
  ConfigTable table;
  EXPECT_EQ(readConfiguration(in, table), static_cast<int64_t>(file.size()));
  EXPECT_EQ(table.narrow.size(), 3u);
  EXPECT_EQ(table.narrow[CFG_MAIN_CLASS], "second.Main");
  EXPECT_EQ(table.narrow[CFG_EXECUTABLE_TYPE], "2");
  EXPECT_EQ(table.narrow.count(5), 1u);
  EXPECT_EQ(table.narrow[5], "");
  EXPECT_EQ(table.wide.size(), 2u);
  EXPECT_EQ(table.wide[CFG_WMSG_CAPTION], u"Caption");
  EXPECT_EQ(table.wide[122], u"wide twin");
}

TEST_F(ConfigurationTest, CountsOfZeroOrLessMeanNoRecords) {
  const int32_t counts[] = {0, -1, -5, INT32_MIN};
  for (int32_t count : counts) {
    SCOPED_TRACE(testing::Message() << "narrow count " << count);
    PayloadBytes payload;
    payload.header().i32(count).wideRecords({{CFG_WMSG_DOWNLOADING, u"w"}});
    const Bytes file = mediaWith(payload.bytes());
    MemorySource m{file.data(), static_cast<int64_t>(file.size())};
    ByteSource in = m.source();
    ConfigTable table;
    EXPECT_EQ(readConfiguration(in, table), static_cast<int64_t>(file.size()));
    EXPECT_TRUE(table.narrow.empty());
    EXPECT_EQ(table.wide[CFG_WMSG_DOWNLOADING], u"w");
  }
  PayloadBytes payload;
  payload.header().narrowRecords({{1, "n"}}).i32(-3);
  const Bytes file = mediaWith(payload.bytes());
  MemorySource m{file.data(), static_cast<int64_t>(file.size())};
  ByteSource in = m.source();
  ConfigTable table;
  readConfiguration(in, table);
  EXPECT_EQ(table.narrow[1], "n");
  EXPECT_TRUE(table.wide.empty());
}

TEST_F(ConfigurationTest, DamagedPayloadsAreFatalWithTheMatchingMessage) {
  struct Row {
    const char* name;
    Bytes payload;
    const char* message;
  };
  const Row rows[] = {
      {"no payload at all", Bytes(), messages::kReadInt},
      {"wrong magic", bytesOf(PayloadBytes().u32(0xE8E413D4u).i32(0).u32(0).i64(0).i32(0).i32(0)),
       messages::kMagic},
      {"header cut in the checked length", Bytes{0xd5, 0x13, 0xe4, 0xe8, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3},
       messages::kReadLong},
      {"narrow count missing", bytesOf(PayloadBytes().header()), messages::kReadInt},
      {"more narrow records than bytes", bytesOf(PayloadBytes().header().i32(1000).raw(Bytes(64, 0))),
       messages::kReadInt},
      {"more wide records than bytes",
       bytesOf(PayloadBytes().header().i32(0).i32(3).i32(1).i32(0).i32(2).i32(0)), messages::kReadInt},
      {"narrow length beyond the file",
       bytesOf(PayloadBytes().header().i32(1).i32(122).i32(1 << 30).raw(std::string("x")).i32(0)),
       messages::kReadString},
      {"negative wide length",
       bytesOf(PayloadBytes().header().i32(0).i32(1).i32(20013).i32(-2).i32(0)), messages::kReadWString},
      {"wide count missing", bytesOf(PayloadBytes().header().narrowRecords({{1, "a"}})), messages::kReadInt},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const Bytes file = mediaWith(row.payload);
    ObservedSource watched(file);
    ConfigTable table;
    const FatalOutcome outcome = fatalOf([&] { readConfiguration(watched.source, table); });
    EXPECT_EQ(outcome.code, 1);
    EXPECT_EQ(outcome.firstLine, row.message);
    EXPECT_LE(watched.largestRead, 8u) << "a length or count from the file was trusted";
  }
}

TEST_F(ConfigurationTest, CountThatExactlyFitsIsAccepted) {
  // Two empty narrow records (8 bytes each) and the wide count: nothing to spare.
  PayloadBytes payload;
  payload.header().narrowRecords({{1, ""}, {2, ""}}).i32(0);
  const Bytes file = mediaWith(payload.bytes());
  MemorySource m{file.data(), static_cast<int64_t>(file.size())};
  ByteSource in = m.source();
  ConfigTable table;
  EXPECT_EQ(readConfiguration(in, table), static_cast<int64_t>(file.size()));
  EXPECT_EQ(table.narrow.size(), 2u);
}

}  // namespace
