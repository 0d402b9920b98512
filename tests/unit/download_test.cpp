#include "runtime/download.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

TEST(DownloadTextTest, NoRuntimeTextNamesTheWordSizeAndTheBounds) {
  const std::u16string message = u"No %S-bit runtime (100%%).";
  EXPECT_EQ(composeNoJreText(message, "", "", u"Min:", u"Max:"), u"No 32-bit runtime (100%).");
  EXPECT_EQ(composeNoJreText(message, "1.6", "", u"Min:", u"Max:"), u"No 32-bit runtime (100%). (Min: 1.6)");
  EXPECT_EQ(composeNoJreText(message, "", "1.8", u"Min:", u"Max:"), u"No 32-bit runtime (100%). (Max: 1.8)");
  EXPECT_EQ(composeNoJreText(message, "1.6", "1.8", u"Min:", u"Max:"),
            u"No 32-bit runtime (100%). (Min: 1.6, Max: 1.8)");
  // Other sequences are text, not directions to read arguments that are not there.
  EXPECT_EQ(composeNoJreText(u"%s %d %", "", "", u"", u""), u"%s %d %");
}

TEST(DownloadTextTest, ProgressLineFillsTheFourNumbersInOrder) {
  const std::u16string format = u"%.2f MB of %.2f MB (%.1f%%), %.1f kb/s";
  EXPECT_EQ(formatDownloadProgress(format, 1048576, 4 * 1048576, 2000), u"1.00 MB of 4.00 MB (25.0%), 524.3 kb/s");
  // Before the first millisecond the speed is 0, not a division by zero.
  EXPECT_EQ(formatDownloadProgress(format, 16384, 1048576, 0), u"0.02 MB of 1.00 MB (1.6%), 0.0 kb/s");
  EXPECT_EQ(formatDownloadProgress(format, 0, 0, 0), u"0.00 MB of 0.00 MB (0.0%), 0.0 kb/s");
}

TEST(DownloadTextTest, ProgressFormatFromTheInstallerCannotReadWhatItWasNotGiven) {
  EXPECT_EQ(formatDownloadProgress(u"%s %n %d %x", 1, 2, 3), u"%s %n %d %x");
  EXPECT_EQ(formatDownloadProgress(u"%f %f %f %f %f", 0, 0, 0), u"0.000000 0.000000 0.000000 0.000000 %f");
  EXPECT_EQ(formatDownloadProgress(u"[%8.1f][%-6.0lf]", 1048576, 1048576, 1), u"[     1.0][1     ]");
  // Width and precision are capped, so the text stays bounded.
  EXPECT_LE(formatDownloadProgress(u"%99999999.99999999f", 1, 1, 1).size(), 200u);
  EXPECT_EQ(formatDownloadProgress(u"100%", 1, 1, 1), u"100%");
}

TEST(DownloadTextTest, BarPositionIsTheWholePercentage) {
  EXPECT_EQ(downloadBarPosition(0, 0), 0);
  EXPECT_EQ(downloadBarPosition(999, 1000), 99);
  EXPECT_EQ(downloadBarPosition(1000, 1000), 100);
  EXPECT_EQ(downloadBarPosition(0xFFFFFFFFull, 0xFFFFFFFFull), 100);
}

// A server and a file in memory; every call is recorded.
class FakeChannel : public DownloadChannel {
 public:
  std::vector<std::string> calls;
  bool internetOk = true;
  std::vector<bool> openResults;  // consumed per openUrl; true when empty
  int lengthFailures = 0;         // queries that fail before the length is known
  uint32_t length = 0;
  bool hasStatus = false;
  uint32_t status = 200;
  std::string body;
  size_t cutAt = std::string::npos;  // the body ends here (a read of 0 bytes)
  bool readFails = false;
  size_t position = 0;
  std::vector<uint32_t> readSizes;

  uint32_t attemptConnect() override { return 0; }
  bool openInternet() override { return record("openInternet", internetOk); }
  bool openUrl() override {
    bool ok = true;
    if (!openResults.empty()) {
      ok = openResults.front();
      openResults.erase(openResults.begin());
    }
    return record("openUrl", ok);
  }
  void closeRequest() override { calls.push_back("closeRequest"); }
  void closeInternet() override { calls.push_back("closeInternet"); }
  bool queryContentLength(uint32_t& value) override {
    if (lengthFailures > 0) {
      --lengthFailures;
      return record("length", false);
    }
    value = length;
    return record("length", true);
  }
  bool queryStatusCode(uint32_t& value) override {
    value = status;
    return hasStatus;
  }
  bool read(void* buffer, uint32_t size, uint32_t& got) override {
    readSizes.push_back(size);
    if (readFails) return false;
    const size_t end = std::min(body.size(), cutAt);
    got = static_cast<uint32_t>(std::min<size_t>(size, end - std::min(end, position)));
    std::memcpy(buffer, body.data() + position, got);
    position += got;
    return true;
  }
  uint32_t lastError() override { return 12029; }
  void sleepMs(int ms) override { calls.push_back("sleep " + std::to_string(ms)); }
  const void* requestHandle() override { return this; }

  int count(const std::string& call) const { return static_cast<int>(std::count(calls.begin(), calls.end(), call)); }

 private:
  bool record(const std::string& call, bool ok) {
    calls.push_back(call + (ok ? "" : " failed"));
    return ok;
  }
};

class FakeSink : public DownloadSink {
 public:
  bool opens = true;
  size_t writeLimit = std::string::npos;
  std::string written;
  bool closed = false;
  bool discarded = false;

  bool opened = false;
  bool open() override {
    opened = true;
    return opens;
  }
  bool write(const void* data, uint32_t size) override {
    const size_t n = std::min<size_t>(size, writeLimit - std::min(writeLimit, written.size()));
    written.append(static_cast<const char*>(data), n);
    return n == size;
  }
  bool closes = true;
  bool close() override {
    closed = true;
    return closes;
  }
  void discard() override { discarded = true; }
  uint32_t lastError() override { return 112; }
  const std::string& path() override { return path_; }

 private:
  std::string path_ = "jre.tar.gz";
};

class FakeProgress : public DownloadProgress {
 public:
  uint32_t clock = 1000;
  uint32_t step = 200;  // milliseconds per chunk
  bool connecting = false;
  std::vector<uint64_t> shown;

  uint32_t nowMs() override {
    const uint32_t now = clock;
    clock += step;
    return now;
  }
  void showConnecting() override { connecting = true; }
  void showProgress(uint64_t received, uint64_t, uint32_t) override { shown.push_back(received); }
};

TEST(DownloadTransferTest, BodyArrivesInBoundedChunksWithThrottledProgress) {
  FakeChannel channel;
  channel.body = std::string(100000, 'x');
  channel.length = 100000;
  FakeSink sink;
  FakeProgress progress;
  ASSERT_TRUE(downloadFile(channel, sink, &progress));
  EXPECT_EQ(sink.written, channel.body);
  EXPECT_TRUE(sink.closed);
  EXPECT_FALSE(sink.discarded);
  EXPECT_TRUE(progress.connecting);
  EXPECT_EQ(*std::max_element(channel.readSizes.begin(), channel.readSizes.end()), kDownloadChunkBytes);
  EXPECT_EQ(channel.readSizes.back(), 100000 % kDownloadChunkBytes);
  // 200 ms a chunk: the first chunk shows, then only once more than 500 ms have passed.
  EXPECT_EQ(progress.shown, (std::vector<uint64_t>{16384, 65536, 100000}));
  EXPECT_EQ(channel.count("closeRequest"), 1);
  EXPECT_EQ(channel.count("closeInternet"), 1);
}

TEST(DownloadTransferTest, AnEmptyBodyIsNoRuntimeAndMakesNoFile) {
  FakeChannel channel;
  FakeSink sink;
  EXPECT_FALSE(downloadFile(channel, sink, nullptr));
  EXPECT_FALSE(sink.opened);
  EXPECT_TRUE(channel.readSizes.empty());
  EXPECT_EQ(channel.count("closeRequest"), 1);
  EXPECT_EQ(channel.count("closeInternet"), 1);
}

TEST(DownloadTransferTest, AFileThatCannotBeClosedIsAFailedWrite) {
  // A full disk often shows only when the buffered rest is flushed.
  FakeChannel channel;
  channel.body = std::string(1000, 'x');
  channel.length = 1000;
  FakeSink sink;
  sink.closes = false;
  EXPECT_FALSE(downloadFile(channel, sink, nullptr));
  EXPECT_TRUE(sink.discarded);
  EXPECT_EQ(channel.count("closeRequest"), 1);
  EXPECT_EQ(channel.count("closeInternet"), 1);
}

TEST(DownloadTransferTest, UnknownLengthIsAskedTwentyTimesThenGivenUp) {
  FakeChannel channel;
  channel.lengthFailures = 1000;
  FakeSink sink;
  EXPECT_FALSE(downloadFile(channel, sink, nullptr));
  EXPECT_EQ(channel.count("length failed"), kContentLengthAttempts);
  EXPECT_EQ(channel.count("sleep 300"), kContentLengthAttempts);
  EXPECT_EQ(channel.count("openUrl"), kContentLengthAttempts + 1);
  EXPECT_EQ(channel.count("closeRequest"), kContentLengthAttempts + 1);
  EXPECT_EQ(channel.count("closeInternet"), 1);
  EXPECT_TRUE(sink.written.empty());

  FakeChannel late;  // known at the last attempt
  late.lengthFailures = kContentLengthAttempts - 1;
  late.length = 3;
  late.body = "abc";
  EXPECT_TRUE(downloadFile(late, sink, nullptr));
  EXPECT_EQ(sink.written, "abc");
}

TEST(DownloadTransferTest, FailuresLeaveNothingBehindAndCloseEveryHandle) {
  struct Row {
    const char* name;
    void (*arrange)(FakeChannel&, FakeSink&);
    bool discarded;
  } rows[] = {
      {"internet handle", [](FakeChannel& c, FakeSink&) { c.internetOk = false; }, false},
      {"address", [](FakeChannel& c, FakeSink&) { c.openResults = {false}; }, false},
      {"reopening", [](FakeChannel& c, FakeSink&) { c.lengthFailures = 1, c.openResults = {true, false}; }, false},
      {"error page", [](FakeChannel& c, FakeSink&) { c.hasStatus = true, c.status = 404; }, false},
      {"destination", [](FakeChannel&, FakeSink& s) { s.opens = false; }, false},
      {"cut mid-body", [](FakeChannel& c, FakeSink&) { c.cutAt = 20000; }, true},
      {"read error", [](FakeChannel& c, FakeSink&) { c.readFails = true; }, true},
      {"disk full", [](FakeChannel&, FakeSink& s) { s.writeLimit = 30000; }, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    FakeChannel channel;
    channel.body = std::string(50000, 'y');
    channel.length = 50000;
    FakeSink sink;
    row.arrange(channel, sink);
    EXPECT_FALSE(downloadFile(channel, sink, nullptr));
    EXPECT_EQ(sink.discarded, row.discarded);
    EXPECT_EQ(channel.count("closeInternet"), channel.internetOk ? 1 : 0);
    const int opened = channel.count("openUrl");
    EXPECT_EQ(channel.count("closeRequest"), opened) << "every opened request is closed";
  }
}

// The digest and size an installer names: a body that differs or is larger never stays.
TEST(DownloadTransferTest, TheNamedDigestAndSizeDecideWhatIsKept) {
  const std::string body(50000, 'y');
  // sha256 of 50000 'y' bytes, worked out independently: `head -c 50000 /dev/zero | tr '\0' y | sha256sum`.
  const std::string digest = "b9e11990922adb72d60c1d50e12bc8f575f4e89dc1bfc8f2cca8e01fb747a7f2";
  std::string other = digest;
  other[0] = other[0] == '0' ? '1' : '0';
  struct Row {
    const char* name;
    std::string digest, maxSize;
    bool kept;
    bool opened;
  } rows[] = {
      {"nothing demanded", "", "", true, true},
      {"matching digest, either case", "B9E11990922ADB72D60C1D50E12BC8F575F4E89DC1BFC8F2CCA8E01FB747A7F2", "50000", true, true},
      {"another digest", other, "", false, true},
      {"larger than allowed", digest, "49999", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    DownloadCheck check;
    ASSERT_TRUE(makeDownloadCheck(row.digest, row.maxSize, check));
    FakeChannel channel;
    channel.body = body;
    channel.length = 50000;
    FakeSink sink;
    EXPECT_EQ(downloadFile(channel, sink, nullptr, check), row.kept);
    EXPECT_EQ(sink.opened, row.opened);
    EXPECT_EQ(sink.discarded, row.opened && !row.kept);
    EXPECT_EQ(channel.count("closeInternet"), 1);
  }
  DownloadCheck check;
  for (const char* bad : {"abc", " b9e11990922adb72d60c1d50e12bc8f575f4e89dc1bfc8f2cca8e01fb747a7f2", "zz"}) {
    EXPECT_FALSE(makeDownloadCheck(bad, "", check)) << bad;
  }
  EXPECT_FALSE(makeDownloadCheck("", "-1", check));
  EXPECT_FALSE(makeDownloadCheck("", "99999999999999999999999", check));
}

}  // namespace
