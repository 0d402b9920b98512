// The runtime download on Linux: libcurl, opened at run time like WinINet on Windows, drives
// the same transfer rules (attempts, status check, exact length, clean-up) through a channel
// over its multi interface, so the body is read in chunks as WinINet's is. Without
// libcurl.so.4 the run ends with a message saying so.
#include <dlfcn.h>
#include <fcntl.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string>

#include "base/config_table.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"
#include "runtime/download.h"

namespace {
constexpr char kArchiveName[] = "jre.tar.gz";
constexpr char kCurlLibrary[] = "libcurl.so.4";

// The few parts of libcurl's interface used here; their numbers are part of its stable ABI.
using CurlCode = int;
struct CurlMessage {
  int message;  // 1: CURLMSG_DONE
  void* easy;
  union {
    void* whatever;
    CurlCode result;
  } data;
};
constexpr long kOptWriteData = 10001;
constexpr long kOptUrl = 10002;
constexpr long kOptWriteFunction = 20011;
constexpr long kOptHeaderData = 10029;
constexpr long kOptHeaderFunction = 20079;
constexpr long kOptFollowLocation = 52;
constexpr long kOptMaxRedirects = 68;
constexpr long kOptNoSignal = 99;
constexpr long kOptConnectTimeout = 78;
constexpr long kOptLowSpeedLimit = 19;
constexpr long kOptLowSpeedTime = 20;
constexpr long kOptProtocols = 181;
constexpr long kOptRedirectProtocols = 182;
constexpr long kProtocolsHttp = 1 | 2;  // HTTP, HTTPS
constexpr int kInfoResponseCode = 0x200000 + 2;
constexpr int kInfoContentLength = 0x600000 + 15;
constexpr long kGlobalDefault = 3;
constexpr int kMessageDone = 1;

struct Curl {
  CurlCode (*globalInit)(long);
  void* (*easyInit)();
  CurlCode (*easySetopt)(void*, long, ...);
  CurlCode (*easyGetinfo)(void*, int, ...);
  void (*easyCleanup)(void*);
  const char* (*easyStrerror)(CurlCode);
  void* (*multiInit)();
  int (*multiAddHandle)(void*, void*);
  int (*multiRemoveHandle)(void*, void*);
  int (*multiPerform)(void*, int*);
  int (*multiPoll)(void*, void*, unsigned, int, int*);
  CurlMessage* (*multiInfoRead)(void*, int*);
  int (*multiCleanup)(void*);
};

template <typename Fn>
bool lookUp(void* library, const char* name, Fn& function) {
  function = reinterpret_cast<Fn>(dlsym(library, name));
  return function != nullptr;
}

// libcurl's functions, or false (logged) when the library or one of them is missing.
bool loadCurl(Curl& curl) {
  void* library = dlopen(kCurlLibrary, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) {
    logError("Could not load %s", kCurlLibrary);
    return false;
  }
  const bool all = lookUp(library, "curl_global_init", curl.globalInit) &&
                   lookUp(library, "curl_easy_init", curl.easyInit) &&
                   lookUp(library, "curl_easy_setopt", curl.easySetopt) &&
                   lookUp(library, "curl_easy_getinfo", curl.easyGetinfo) &&
                   lookUp(library, "curl_easy_cleanup", curl.easyCleanup) &&
                   lookUp(library, "curl_easy_strerror", curl.easyStrerror) &&
                   lookUp(library, "curl_multi_init", curl.multiInit) &&
                   lookUp(library, "curl_multi_add_handle", curl.multiAddHandle) &&
                   lookUp(library, "curl_multi_remove_handle", curl.multiRemoveHandle) &&
                   lookUp(library, "curl_multi_perform", curl.multiPerform) &&
                   lookUp(library, "curl_multi_poll", curl.multiPoll) &&
                   lookUp(library, "curl_multi_info_read", curl.multiInfoRead) &&
                   lookUp(library, "curl_multi_cleanup", curl.multiCleanup);
  if (!all) {
    logError("Could not load the functions of %s", kCurlLibrary);
    return false;
  }
  return curl.globalInit(kGlobalDefault) == 0;
}

class CurlChannel : public DownloadChannel {
 public:
  CurlChannel(const Curl& curl, std::string url) : curl_(curl), url_(std::move(url)) {}
  ~CurlChannel() override {
    closeRequest();
    closeInternet();
  }

  uint32_t attemptConnect() override { return 0; }
  bool openInternet() override {
    multi_ = curl_.multiInit();
    return multi_ != nullptr;
  }
  bool openUrl() override {
    easy_ = curl_.easyInit();
    if (easy_ == nullptr || multi_ == nullptr) return false;
    body_.clear();
    taken_ = 0;
    headersDone_ = false;
    done_ = false;
    result_ = 0;
    curl_.easySetopt(easy_, kOptUrl, url_.c_str());
    curl_.easySetopt(easy_, kOptWriteFunction, &CurlChannel::onBody);
    curl_.easySetopt(easy_, kOptWriteData, this);
    curl_.easySetopt(easy_, kOptHeaderFunction, &CurlChannel::onHeader);
    curl_.easySetopt(easy_, kOptHeaderData, this);
    curl_.easySetopt(easy_, kOptFollowLocation, 1L);
    curl_.easySetopt(easy_, kOptMaxRedirects, 10L);
    curl_.easySetopt(easy_, kOptProtocols, kProtocolsHttp);
    curl_.easySetopt(easy_, kOptRedirectProtocols, kProtocolsHttp);
    curl_.easySetopt(easy_, kOptNoSignal, 1L);
    curl_.easySetopt(easy_, kOptConnectTimeout, 60L);
    // A server that stops sending for a minute is taken as gone.
    curl_.easySetopt(easy_, kOptLowSpeedLimit, 1L);
    curl_.easySetopt(easy_, kOptLowSpeedTime, 60L);
    curl_.multiAddHandle(multi_, easy_);
    // Like InternetOpenUrl: returns once the response's headers are in.
    while (!headersDone_ && !done_ && body_.empty()) step();
    if (done_ && result_ != 0) return false;
    return true;
  }
  void closeRequest() override {
    if (easy_ == nullptr) return;
    if (multi_ != nullptr) curl_.multiRemoveHandle(multi_, easy_);
    curl_.easyCleanup(easy_);
    easy_ = nullptr;
  }
  void closeInternet() override {
    if (multi_ != nullptr) curl_.multiCleanup(multi_);
    multi_ = nullptr;
  }
  bool queryContentLength(uint32_t& length) override {
    long long value = -1;
    if (easy_ == nullptr || curl_.easyGetinfo(easy_, kInfoContentLength, &value) != 0 || value < 0 ||
        value > 0xFFFFFFFFLL) {
      return false;
    }
    length = static_cast<uint32_t>(value);
    return true;
  }
  bool queryStatusCode(uint32_t& status) override {
    long code = 0;
    if (easy_ == nullptr || curl_.easyGetinfo(easy_, kInfoResponseCode, &code) != 0 || code <= 0) return false;
    status = static_cast<uint32_t>(code);
    return true;
  }
  bool read(void* buffer, uint32_t size, uint32_t& got) override {
    got = 0;
    while (taken_ == body_.size() && !done_) step();
    if (taken_ == body_.size()) {
      body_.clear();
      taken_ = 0;
      return result_ == 0;
    }
    const size_t n = std::min<size_t>(size, body_.size() - taken_);
    std::memcpy(buffer, body_.data() + taken_, n);
    taken_ += n;
    if (taken_ == body_.size()) {
      body_.clear();
      taken_ = 0;
    }
    got = static_cast<uint32_t>(n);
    return true;
  }
  uint32_t lastError() override { return static_cast<uint32_t>(result_); }
  void sleepMs(int ms) override { usleep(static_cast<useconds_t>(ms) * 1000); }
  const void* requestHandle() override { return easy_; }

 private:
  static size_t onBody(char* data, size_t size, size_t count, void* context) {
    auto* self = static_cast<CurlChannel*>(context);
    self->body_.append(data, size * count);
    return size * count;
  }
  static size_t onHeader(char* data, size_t size, size_t count, void* context) {
    auto* self = static_cast<CurlChannel*>(context);
    const size_t n = size * count;
    // The empty line ends one response's headers; a redirect's are followed by the next.
    if (n <= 2 && (n == 0 || data[0] == '\r' || data[0] == '\n')) {
      long code = 0;
      self->curl_.easyGetinfo(self->easy_, kInfoResponseCode, &code);
      if (code < 300 || code > 399) self->headersDone_ = true;
    }
    return n;
  }
  // One round of the transfer: waits up to 200 ms for the network, then lets libcurl work.
  void step() {
    int running = 0;
    curl_.multiPerform(multi_, &running);
    int left = 0;
    while (CurlMessage* message = curl_.multiInfoRead(multi_, &left)) {
      if (message->message == kMessageDone && message->easy == easy_) {
        done_ = true;
        result_ = message->data.result;
        if (result_ != 0) logError("download: %s", curl_.easyStrerror(result_));
      }
    }
    if (!done_ && running == 0) done_ = true;
    if (!done_) curl_.multiPoll(multi_, nullptr, 0, 200, nullptr);
  }

  const Curl& curl_;
  std::string url_;
  void* multi_ = nullptr;
  void* easy_ = nullptr;
  std::string body_;
  size_t taken_ = 0;
  bool headersDone_ = false;
  bool done_ = false;
  CurlCode result_ = 0;
};

class FileSink : public DownloadSink {
 public:
  explicit FileSink(const std::string& path) : path_(path) {}
  ~FileSink() override { close(); }
  bool open() override {
    file_ = std::fopen(path_.c_str(), "wbe");
    if (file_ == nullptr) error_ = static_cast<uint32_t>(errno);
    return file_ != nullptr;
  }
  bool write(const void* data, uint32_t size) override {
    if (std::fwrite(data, 1, size, file_) == size) return true;
    error_ = static_cast<uint32_t>(errno);
    return false;
  }
  bool close() override {
    const bool closed = file_ == nullptr || std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
  }
  void discard() override {
    close();
    unlink(path_.c_str());
  }
  uint32_t lastError() override { return error_; }
  const std::string& path() override { return path_; }

 private:
  std::string path_;
  FILE* file_ = nullptr;
  uint32_t error_ = 0;
};

// The transfer's percentage on the terminal's progress line.
class TerminalDownloadProgress : public DownloadProgress {
 public:
  explicit TerminalDownloadProgress(Progress& progress) : progress_(progress) { progress_.setRange(0, 100); }
  uint32_t nowMs() override {
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<uint32_t>(uint64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000);
  }
  void showConnecting() override {}
  void showProgress(uint64_t received, uint64_t length, uint32_t) override {
    progress_.setPosition(downloadBarPosition(received, length));
  }

 private:
  Progress& progress_;
};
}  // namespace

bool downloadArchive(Progress& progress, const std::string& url, DownloadCancel* cancel) {
  logMessage("downloading %s", url.c_str());
  DownloadCheck check;
  if (!makeDownloadCheck(getConfigText(CFG_JRE_DOWNLOAD_SHA256), getConfigText(CFG_JRE_DOWNLOAD_MAX_SIZE), check)) {
    fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  }
  check.cancel = cancel;
  static Curl curl;
  if (!loadCurl(curl)) {
    progress.hide();
    reportError(messages::kNoCurl);
    exitRunningHandlers(ExitCode::Failure);
  }
  CurlChannel channel(curl, url);
  FileSink sink(kArchiveName);
  bool downloaded;
  if (progress.shown()) {
    TerminalDownloadProgress shown(progress);
    downloaded = downloadFile(channel, sink, &shown, check);
  } else {
    downloaded = downloadFile(channel, sink, nullptr, check);
  }
  progress.hide();
  if (!downloaded) {
    if (cancel != nullptr && cancel->cancelled()) return false;
    fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  }
  return true;
}
