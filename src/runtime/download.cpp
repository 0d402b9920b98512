#include "runtime/download.h"

#include <algorithm>
#include <cstdio>
#include <vector>

#include "platform/diagnostic_log.h"

namespace {
constexpr int kFormatFieldLimit = 64;

std::u16string asciiToWide(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// One "%[flags][width][.precision]f" conversion starting at `at` (the "%"): its length, or 0
// when the sequence is not such a conversion.
size_t floatConversionLength(const std::u16string& format, size_t at, std::string& conversion) {
  size_t i = at + 1;
  conversion = "%";
  while (i < format.size() && std::u16string(u"-+ #0").find(format[i]) != std::u16string::npos) {
    conversion.push_back(static_cast<char>(format[i++]));
  }
  auto digits = [&](bool& any) {
    int value = 0;
    any = false;
    while (i < format.size() && format[i] >= u'0' && format[i] <= u'9') {
      value = std::min(kFormatFieldLimit, value * 10 + (format[i++] - u'0'));
      any = true;
    }
    return value;
  };
  bool hasWidth = false;
  const int width = digits(hasWidth);
  if (hasWidth) conversion += std::to_string(width);
  if (i < format.size() && format[i] == u'.') {
    ++i;
    bool hasPrecision = false;
    conversion += "." + std::to_string(digits(hasPrecision));
  }
  if (i < format.size() && format[i] == u'l') ++i;
  if (i >= format.size() || format[i] != u'f') return 0;
  conversion.push_back('f');
  return i + 1 - at;
}
}  // namespace

std::u16string composeNoJreText(const std::u16string& message, const std::string& minVersion,
                                const std::string& maxVersion, const std::u16string& minLabel,
                                const std::u16string& maxLabel) {
  std::u16string text;
  for (size_t i = 0; i < message.size(); ++i) {
    if (message[i] == u'%' && i + 1 < message.size() && (message[i + 1] == u'S' || message[i + 1] == u'%')) {
      text += message[i + 1] == u'S' ? u"32" : u"%";
      ++i;
    } else {
      text.push_back(message[i]);
    }
  }
  if (!minVersion.empty()) text += u" (" + minLabel + u" " + asciiToWide(minVersion);
  if (!maxVersion.empty()) {
    text += minVersion.empty() ? u" (" : u", ";
    text += maxLabel + u" " + asciiToWide(maxVersion);
  }
  if (!minVersion.empty() || !maxVersion.empty()) text += u")";
  return text;
}

double downloadSpeed(uint64_t received, uint32_t elapsedMs) {
  return elapsedMs == 0 ? 0.0 : static_cast<double>(received) / elapsedMs;
}

int downloadBarPosition(uint64_t received, uint64_t length) {
  if (length == 0) return 0;
  return static_cast<int>(std::min<uint64_t>(100, received * 100 / length));
}

std::u16string formatDownloadProgress(const std::u16string& format, uint64_t received, uint64_t length,
                                      uint32_t elapsedMs) {
  const double values[4] = {
      received / 1048576.0,
      length / 1048576.0,
      length == 0 ? 0.0 : received * 100.0 / length,
      downloadSpeed(received, elapsedMs),
  };
  std::u16string text;
  int used = 0;
  for (size_t i = 0; i < format.size();) {
    if (format[i] != u'%') {
      text.push_back(format[i++]);
      continue;
    }
    if (i + 1 < format.size() && format[i + 1] == u'%') {
      text.push_back(u'%');
      i += 2;
      continue;
    }
    std::string conversion;
    const size_t length = used < 4 ? floatConversionLength(format, i, conversion) : 0;
    if (length == 0) {
      text.push_back(format[i++]);
      continue;
    }
    // At most 64 digits of width and precision: the text fits with room to spare.
    char buffer[256];
    std::snprintf(buffer, sizeof buffer, conversion.c_str(), values[used++]);
    text += asciiToWide(buffer);
    i += length;
  }
  return text;
}

void DownloadCancel::cancel() {
  std::lock_guard<std::mutex> lock(mutex_);
  cancelled_ = true;
  if (request_ != nullptr && !closedByCancel_) {
    close_(request_);
    closedByCancel_ = true;
  }
}

void DownloadCancel::hold(void* request, void (*close)(void*)) {
  std::lock_guard<std::mutex> lock(mutex_);
  request_ = request;
  close_ = close;
  closedByCancel_ = false;
  if (cancelled_ && request_ != nullptr) {
    close_(request_);
    closedByCancel_ = true;
  }
}

bool DownloadCancel::release() {
  std::lock_guard<std::mutex> lock(mutex_);
  const bool mine = !closedByCancel_;
  request_ = nullptr;
  closedByCancel_ = false;
  return mine;
}

bool makeDownloadCheck(const std::string& digestText, const std::string& maxSizeText, DownloadCheck& check) {
  check = DownloadCheck();
  if (!digestText.empty()) {
    if (!parseSha256(digestText, check.digest)) {
      logError("The runtime archive's SHA-256 \"%s\" is not 64 hexadecimal digits", digestText.c_str());
      return false;
    }
    check.hasDigest = true;
  }
  if (!maxSizeText.empty()) {
    uint64_t value = 0;
    for (char c : maxSizeText) {
      if (c < '0' || c > '9' || value > (UINT64_MAX - 9) / 10) {
        logError("The runtime archive's largest size \"%s\" is not a byte count", maxSizeText.c_str());
        return false;
      }
      value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    check.maxBytes = value;
  }
  return true;
}

bool downloadFile(DownloadChannel& channel, DownloadSink& sink, DownloadProgress* progress,
                  const DownloadCheck& check) {
  if (progress) progress->showConnecting();
  const uint32_t connect = channel.attemptConnect();
  if (connect != 0) logError("InternetAttemptConnect returned %d", static_cast<int>(connect));
  if (!channel.openInternet()) {
    logError("InternetOpen failed with error code %d", static_cast<int>(channel.lastError()));
    return false;
  }
  if (!channel.openUrl()) {
    logError("InternetOpenUrl failed with error code %d", static_cast<int>(channel.lastError()));
    channel.closeInternet();
    return false;
  }
  // An error page is not the archive: what the server refuses is a failed download, not a
  // corrupt runtime found only when it is unpacked.
  uint32_t status = 0;
  if (channel.queryStatusCode(status) && (status < 200 || status > 299)) {
    logError("Server answered with status %d", static_cast<int>(status));
    channel.closeRequest();
    channel.closeInternet();
    return false;
  }
  uint32_t length = 0;
  for (int attempt = 1;; ++attempt) {
    if (channel.queryContentLength(length)) break;
    logError("HttpQueryInfo (try %d) failed with error code %d", attempt, static_cast<int>(channel.lastError()));
    channel.sleepMs(kContentLengthRetryPauseMs);
    channel.closeRequest();
    if (!channel.openUrl()) {
      logError("InternetOpenUrl 2 failed with error code %d", static_cast<int>(channel.lastError()));
      channel.closeInternet();
      return false;
    }
    if (attempt == kContentLengthAttempts) {
      logError("Giving up");
      channel.closeRequest();
      channel.closeInternet();
      return false;
    }
  }
  return transferBody(channel, sink, progress, length, check);
}

bool transferBody(DownloadChannel& channel, DownloadSink& sink, DownloadProgress* progress, uint32_t length,
                  const DownloadCheck& check) {
  logMessage("file size: %d, handle %p", static_cast<int>(length), channel.requestHandle());
  auto closeHandles = [&] {
    channel.closeRequest();
    channel.closeInternet();
  };
  // A write that fails - or a close, where a full disk often shows first - leaves nothing.
  auto failedWrite = [&] {
    const uint32_t error = sink.lastError();
    sink.discard();
    closeHandles();
    logError("writing the destination file %s failed with error code %d", sink.path().c_str(),
             static_cast<int>(error));
    return false;
  };
  if (length == 0) {
    logError("Server sent an empty file");
    closeHandles();
    return false;
  }
  if (check.maxBytes != 0 && length > check.maxBytes) {
    logError("Server announced %u bytes; this installer accepts at most %llu", length,
             static_cast<unsigned long long>(check.maxBytes));
    closeHandles();
    return false;
  }
  Sha256 hash;
  if (check.hasDigest && !hash.ok()) {
    logError("No SHA-256 to check the download with");
    closeHandles();
    return false;
  }
  if (!sink.open()) {
    logError("opening the destination file %s failed with error code %d", sink.path().c_str(),
             static_cast<int>(sink.lastError()));
    closeHandles();
    return false;
  }
  const uint32_t start = progress ? progress->nowMs() : 0;
  uint32_t lastUpdate = 0;
  bool shown = false;
  std::vector<char> chunk(kDownloadChunkBytes);
  uint64_t received = 0;
  auto cancelled = [&] { return check.cancel != nullptr && check.cancel->cancelled(); };
  while (received < length) {
    if (cancelled()) {
      logMessage("Download cancelled");
      sink.discard();
      closeHandles();
      return false;
    }
    const uint32_t wanted = static_cast<uint32_t>(std::min<uint64_t>(length - received, kDownloadChunkBytes));
    uint32_t got = 0;
    // A cancel closes the request under a waiting read, which then fails or ends early.
    const bool read = channel.read(chunk.data(), wanted, got);
    if (cancelled()) continue;
    if (!read) {
      logError("InternetReadFile failed with error code %d", static_cast<int>(channel.lastError()));
      // A partial archive would only fail later as a corrupt runtime.
      sink.discard();
      closeHandles();
      return false;
    }
    if (got == 0) {
      logError("Connection closed after %llu of %u bytes", static_cast<unsigned long long>(received), length);
      sink.discard();
      closeHandles();
      return false;
    }
    got = std::min(got, wanted);
    received += got;
    if (check.hasDigest) hash.update(chunk.data(), got);
    if (!sink.write(chunk.data(), got)) return failedWrite();
    if (progress) {
      const uint32_t now = progress->nowMs();
      // The first chunk always shows, then at most twice a second.
      if (!shown || now - lastUpdate > kProgressRefreshMs) {
        progress->showProgress(received, length, now - start);
        lastUpdate = now;
        shown = true;
      }
    }
  }
  if (!sink.close()) return failedWrite();
  closeHandles();
  if (check.hasDigest) {
    Sha256Digest got{};
    if (!hash.finish(got) || got != check.digest) {
      logError("The downloaded archive's SHA-256 %s differs from the expected %s", sha256Hex(got).c_str(),
               sha256Hex(check.digest).c_str());
      sink.discard();
      return false;
    }
    logMessage("SHA-256 matches");
  }
  logMessage("download successful");
  return true;
}
