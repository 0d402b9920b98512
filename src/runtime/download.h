// Obtaining a runtime when none is included and none was found: the no-runtime dialog, in
// which the user locates a java.exe by hand or has a runtime archive downloaded.
#pragma once

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>

#include "base/progress.h"
#include "platform/sha256.h"

// ---- Pure rules ----

// Attempts to learn the content length before the download is given up, and the pause
// between two attempts.
constexpr int kContentLengthAttempts = 20;
constexpr int kContentLengthRetryPauseMs = 300;
// The body is read in chunks of at most this many bytes, written as they arrive.
constexpr uint32_t kDownloadChunkBytes = 16384;
// The status line and the bar are refreshed when more than this has passed since the last time.
constexpr uint32_t kProgressRefreshMs = 500;

// The no-runtime dialog's text: `message` (the download-or-locate text, or the locate-only
// one) with "32" for its "%S" ("%%" gives "%"; any other "%" sequence stays as it stands),
// then the version bounds that are not empty: " (" min-label " " min [", " or " ("] max-label
// " " max ")".
std::u16string composeNoJreText(const std::u16string& message, const std::string& minVersion,
                                const std::string& maxVersion, const std::u16string& minLabel,
                                const std::u16string& maxLabel);

// The status line during the transfer: `format` with its floating-point conversions ("%f" with
// optional flags, width and precision, as in "%.2f") filled with megabytes received, megabytes
// in total, the percentage and the speed, in that order. "%%" gives "%"; conversions other than
// "f", and "f" conversions beyond the fourth, stay as they stand, so no installer text can make
// the formatting read what it was not given. Widths and precisions are capped at 64.
std::u16string formatDownloadProgress(const std::u16string& format, uint64_t received, uint64_t length,
                                      uint32_t elapsedMs);
// Speed in bytes per millisecond (kilobytes of 1000 bytes per second); 0 before the first
// millisecond has passed.
double downloadSpeed(uint64_t received, uint32_t elapsedMs);
// The bar's position: the whole percentage received (0 for an empty body).
int downloadBarPosition(uint64_t received, uint64_t length);

// The transfer, with its system calls behind an interface so that the retry and chunking
// rules can be driven without a network. Errors are system error codes.
class DownloadChannel {
 public:
  virtual ~DownloadChannel() = default;
  // InternetAttemptConnect(0): 0 when a connection can be attempted.
  virtual uint32_t attemptConnect() = 0;
  virtual bool openInternet() = 0;
  virtual bool openUrl() = 0;
  virtual void closeRequest() = 0;
  virtual void closeInternet() = 0;
  // The content length from the response headers; false when it is not known.
  virtual bool queryContentLength(uint32_t& length) = 0;
  // The response's status code; false when the address has none (not HTTP).
  virtual bool queryStatusCode(uint32_t& status) = 0;
  // Reads at most `size` bytes; false on a read error. A successful read of 0 bytes is the
  // end of the body.
  virtual bool read(void* buffer, uint32_t size, uint32_t& got) = 0;
  virtual uint32_t lastError() = 0;
  virtual void sleepMs(int ms) = 0;
  // The request handle, for the log only.
  virtual const void* requestHandle() = 0;
};

class DownloadSink {
 public:
  virtual ~DownloadSink() = default;
  virtual bool open() = 0;
  // Writes all of `size` bytes; false when fewer were written.
  virtual bool write(const void* data, uint32_t size) = 0;
  // Closes the file; false when what was buffered could not be written (a full disk shows
  // here first), which makes the file unusable.
  virtual bool close() = 0;
  // Closes the file (if open) and deletes it.
  virtual void discard() = 0;
  virtual uint32_t lastError() = 0;
  // The destination's path, for the log.
  virtual const std::string& path() = 0;
};

// What the progress dialog shows; absent when the transfer runs without a window.
class DownloadProgress {
 public:
  virtual ~DownloadProgress() = default;
  virtual uint32_t nowMs() = 0;
  virtual void showConnecting() = 0;
  virtual void showProgress(uint64_t received, uint64_t length, uint32_t elapsedMs) = 0;
};

// Cancelling a transfer from the thread that shows its dialog. The transfer checks the flag
// between chunks; a read that waits on the network is cut off by closing the request under
// it, which makes the read fail at once.
class DownloadCancel {
 public:
  void cancel();
  bool cancelled() const { return cancelled_.load(); }
  // From the transfer: the request a cancel may close (with `close`) until release. release
  // is false when the cancel closed it already, and the transfer must not close it again. A
  // request held after the cancel is closed at once.
  void hold(void* request, void (*close)(void*));
  bool release();

 private:
  std::mutex mutex_;
  std::atomic<bool> cancelled_{false};
  void* request_ = nullptr;
  void (*close_)(void*) = nullptr;
  bool closedByCancel_ = false;
};

// What an installer demands of a downloaded archive beyond a good transfer.
struct DownloadCheck {
  // The largest body accepted, in bytes; 0: no bound.
  uint64_t maxBytes = 0;
  bool hasDigest = false;
  Sha256Digest digest{};
  // Set from another thread when the user cancels: the transfer stops and keeps nothing.
  // Null: it cannot be cancelled.
  DownloadCancel* cancel = nullptr;
};
// The check from the texts of the digest and size records (empty: not demanded). False for a
// digest that is not 64 hexadecimal digits or a negative size: such an installer cannot be
// trusted to have named what it meant, so it downloads nothing.
bool makeDownloadCheck(const std::string& digestText, const std::string& maxSizeText, DownloadCheck& check);

// Connect, learn the content length (kContentLengthAttempts tries, reopening the address
// after each failure), then transferBody. False on any failure, every handle closed.
bool downloadFile(DownloadChannel& channel, DownloadSink& sink, DownloadProgress* progress,
                  const DownloadCheck& check = {});
// Reads exactly `length` bytes into the sink. An announced length of 0 is refused before
// the file is made ("Server sent an empty file"): no runtime archive is empty; so is one
// above check.maxBytes. With a digest, the body is hashed as it arrives and a body whose
// SHA-256 differs is discarded: nothing the network changed reaches the untar. On failure
// nothing is left behind: the file is discarded and the handles are closed.
bool transferBody(DownloadChannel& channel, DownloadSink& sink, DownloadProgress* progress, uint32_t length,
                  const DownloadCheck& check = {});

// ---- System-bound operations ----

// What the no-runtime flow works with, handed over by the work sequence.
struct RuntimeDownloadRun {
  // The module holding dialog template 104 (an HINSTANCE; null: the executable).
  void* instance = nullptr;
  // Owner of the no-runtime dialog: the progress dialog's window (an HWND), or none.
  void* ownerWindow = nullptr;
  // Where the transfer shows its progress (the progress dialog, or a silent one).
  Progress* progress = nullptr;
  // Loads a java.exe the user chose (the loader reports what fails) and remembers it for
  // later searches; true when it was loaded.
  std::function<bool(const std::string& javaExe)> useLocatedJavaExe;
  // Runs when the user gives up, before the process ends: clears the start markers.
  std::function<void()> giveUp;
  // Cancelled when the dialog the transfer runs in was (see DownloadCheck::cancel); the
  // transfer then ends without a message, since the cancel decides how the run ends.
  DownloadCancel* cancel = nullptr;
};
// Runs the no-runtime flow. Either a runtime the user located is loaded (false), or
// "jre.tar.gz" is downloaded into the working directory (true), to be prepared like an
// included runtime. Giving up ends the process (exit code 1) after run.giveUp.
bool downloadJre(const RuntimeDownloadRun& run);
// The file-open dialog for a java.exe (owner: an HWND); true when the chosen one was loaded
// through run.useLocatedJavaExe.
bool chooseJavaExeManually(void* owner, const RuntimeDownloadRun& run);
// Downloads `url` to "jre.tar.gz" in the working directory, or ends the process; returns
// false, having kept nothing, only when `cancelled` was set.
bool downloadArchive(Progress& progress, const std::string& url, DownloadCancel* cancel = nullptr);
// Loads "wininet.dll" from the system directory and looks up the functions the transfer
// uses; false (logged) when either fails.
bool loadWinInet();
