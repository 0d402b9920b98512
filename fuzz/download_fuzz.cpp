// The runtime download's rules that see what the server and the installer's texts send: the
// content length and its retries, the body read in chunks, the status line's format with its
// "%f" conversions, and the no-runtime dialog's text. The channel, the file and the clock are
// played from the input.
#include <fuzzer/FuzzedDataProvider.h>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "runtime/download.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
std::u16string wideText(FuzzedDataProvider& in, size_t maxLength) {
  const std::string bytes = in.ConsumeRandomLengthString(maxLength);
  std::u16string text;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    text.push_back(static_cast<char16_t>(static_cast<uint8_t>(bytes[i]) |
                                         (static_cast<uint8_t>(bytes[i + 1]) << 8)));
  }
  return text;
}

class PlayedChannel : public DownloadChannel {
 public:
  explicit PlayedChannel(FuzzedDataProvider& in) : in_(in) {}
  uint32_t attemptConnect() override { return in_.ConsumeBool() ? 0 : 12029; }
  bool openInternet() override {
    fuzzCheck(!internet, "internet handle opened twice");
    internet = in_.ConsumeBool() || in_.remaining_bytes() == 0;
    return internet;
  }
  bool openUrl() override {
    fuzzCheck(internet && !request, "address opened without session or twice");
    request = in_.ConsumeIntegralInRange<int>(0, 7) != 0;
    return request;
  }
  void closeRequest() override {
    fuzzCheck(request, "request closed that is not open");
    request = false;
  }
  void closeInternet() override {
    fuzzCheck(internet && !request, "session closed before its request or twice");
    internet = false;
  }
  bool queryContentLength(uint32_t& length) override {
    fuzzCheck(request, "length asked without a request");
    if (in_.ConsumeIntegralInRange<int>(0, 3) == 0) return false;
    length = in_.ConsumeBool() ? in_.ConsumeIntegralInRange<uint32_t>(0, 70000)
                               : in_.ConsumeIntegral<uint32_t>();
    announced = length;
    return true;
  }
  bool queryStatusCode(uint32_t& status) override {
    if (in_.ConsumeBool()) return false;
    status = in_.ConsumeBool() ? 200 : in_.ConsumeIntegralInRange<uint32_t>(0, 999);
    return true;
  }
  bool read(void* buffer, uint32_t size, uint32_t& got) override {
    fuzzCheck(request && size > 0 && size <= kDownloadChunkBytes, "read outside a request");
    if (in_.remaining_bytes() == 0) {
      got = 0;
      return true;
    }
    if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) return false;
    // A server may claim more than was asked for; the reader must not believe it.
    got = in_.ConsumeIntegralInRange<uint32_t>(0, size + 16);
    const uint32_t fill = got < size ? got : size;
    for (uint32_t i = 0; i < fill; ++i) static_cast<uint8_t*>(buffer)[i] = static_cast<uint8_t>(i);
    return true;
  }
  uint32_t lastError() override { return 12002; }
  void sleepMs(int) override { ++sleeps; }
  const void* requestHandle() override { return this; }

  bool internet = false;
  bool request = false;
  int sleeps = 0;
  uint32_t announced = 0;

 private:
  FuzzedDataProvider& in_;
};

class CountingSink : public DownloadSink {
 public:
  explicit CountingSink(FuzzedDataProvider& in) : in_(in) {}
  bool open() override {
    fuzzCheck(state == State::New, "destination opened twice");
    if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) return false;
    state = State::Open;
    return true;
  }
  bool write(const void*, uint32_t size) override {
    fuzzCheck(state == State::Open && size <= kDownloadChunkBytes, "write to a closed destination");
    if (in_.ConsumeIntegralInRange<int>(0, 31) == 0) return false;
    written += size;
    return true;
  }
  bool close() override {
    fuzzCheck(state == State::Open, "destination closed that is not open");
    state = State::Closed;
    return in_.ConsumeIntegralInRange<int>(0, 31) != 0;
  }
  void discard() override { state = State::Discarded; }
  uint32_t lastError() override { return 112; }
  const std::string& path() override { return path_; }

  enum class State { New, Open, Closed, Discarded } state = State::New;
  uint64_t written = 0;

 private:
  FuzzedDataProvider& in_;
  std::string path_ = "jre.tar.gz";
};

class PlayedProgress : public DownloadProgress {
 public:
  PlayedProgress(FuzzedDataProvider& in, std::u16string format) : in_(in), format_(std::move(format)) {}
  uint32_t nowMs() override { return now_ += in_.ConsumeIntegralInRange<uint32_t>(0, 2000); }
  void showConnecting() override {}
  void showProgress(uint64_t received, uint64_t length, uint32_t elapsedMs) override {
    fuzzCheck(received <= length, "more shown as received than the length");
    const int bar = downloadBarPosition(received, length);
    fuzzCheck(bar >= 0 && bar <= 100, "bar outside 0..100");
    const std::u16string line = formatDownloadProgress(format_, received, length, elapsedMs);
    // Each of at most four conversions adds fewer than 256 characters.
    fuzzCheck(line.size() <= format_.size() + 4 * 256, "status line grew without bound");
  }

 private:
  FuzzedDataProvider& in_;
  std::u16string format_;
  uint32_t now_ = 0;
};
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  FuzzedDataProvider in(data, size);
  const std::u16string format = wideText(in, 256);
  const std::u16string message = wideText(in, 128);
  const std::string minVersion = in.ConsumeRandomLengthString(16);
  const std::string maxVersion = in.ConsumeRandomLengthString(16);
  composeNoJreText(message, minVersion, maxVersion, u"min", u"max");
  formatDownloadProgress(format, in.ConsumeIntegral<uint64_t>(), in.ConsumeIntegral<uint64_t>(),
                         in.ConsumeIntegral<uint32_t>());

  // The installer's demands: mostly well-formed, sometimes not.
  DownloadCheck check;
  const std::string digestText = in.ConsumeBool() ? in.ConsumeRandomLengthString(70) : std::string();
  const std::string sizeText = in.ConsumeBool() ? in.ConsumeRandomLengthString(24) : std::string();
  if (!makeDownloadCheck(digestText, sizeText, check)) check = DownloadCheck();
  fuzzCheck(!check.hasDigest || digestText.size() == 64, "a digest from other than 64 digits");

  PlayedChannel channel(in);
  CountingSink sink(in);
  PlayedProgress progress(in, format);
  const bool withProgress = in.ConsumeBool();
  bool ok = false;
  try {
    ok = downloadFile(channel, sink, withProgress ? &progress : nullptr, check);
  } catch (const FuzzExit&) {
    fuzzCheck(false, "the transfer is never fatal");
  }
  fuzzCheck(!channel.internet && !channel.request, "a handle left open");
  fuzzCheck(channel.sleeps <= kContentLengthAttempts, "more pauses than attempts");
  if (ok) {
    fuzzCheck(sink.state == CountingSink::State::Closed, "success without a closed file");
    fuzzCheck(sink.written == channel.announced, "success with other than the announced length");
    fuzzCheck(check.maxBytes == 0 || sink.written <= check.maxBytes, "success above the largest size");
  } else {
    fuzzCheck(sink.state != CountingSink::State::Open && sink.state != CountingSink::State::Closed,
              "a failed download left its file");
  }
  fuzzInputDone();
  return 0;
}
