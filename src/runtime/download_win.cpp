// The no-runtime flow on Windows: the no-runtime dialog, the choice of a java.exe by hand,
// and the download of a runtime archive through the system's WinINet.
#include <windows.h>
#include <commctrl.h>
#include <commdlg.h>
#include <wininet.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/system_library.h"
#include "runtime/download.h"
#include "ui/dialogs.h"
#include "ui/dialogs_win.h"

namespace {
constexpr size_t kFileNameBuffer = 8192;
const char kArchiveName[] = "jre.tar.gz";
const char kAgentName[] = "vantrel download agent";
// INTERNET_FLAG_PASSIVE | INTERNET_FLAG_NO_CACHE_WRITE
constexpr DWORD kOpenUrlFlags = 0x0C000000;

using InternetOpenUrlAFn = HINTERNET(WINAPI*)(HINTERNET, LPCSTR, LPCSTR, DWORD, DWORD, DWORD_PTR);
using InternetOpenAFn = HINTERNET(WINAPI*)(LPCSTR, DWORD, LPCSTR, LPCSTR, DWORD);
using HttpQueryInfoAFn = BOOL(WINAPI*)(HINTERNET, DWORD, LPVOID, LPDWORD, LPDWORD);
using InternetAttemptConnectFn = DWORD(WINAPI*)(DWORD);
using InternetCloseHandleFn = BOOL(WINAPI*)(HINTERNET);
using InternetReadFileFn = BOOL(WINAPI*)(HINTERNET, LPVOID, DWORD, LPDWORD);

struct WinInet {
  InternetOpenUrlAFn openUrl = nullptr;
  InternetOpenAFn open = nullptr;
  HttpQueryInfoAFn queryInfo = nullptr;
  InternetAttemptConnectFn attemptConnect = nullptr;
  InternetCloseHandleFn closeHandle = nullptr;
  InternetReadFileFn readFile = nullptr;
};
WinInet winInet;

template <typename Fn>
bool lookUp(HMODULE module, const char* name, Fn& function) {
  function = reinterpret_cast<Fn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
  return function != nullptr;
}

class WinInetChannel : public DownloadChannel {
 public:
  WinInetChannel(const std::string& url, DownloadCancel* cancel) : url_(url), cancel_(cancel) {}

  uint32_t attemptConnect() override { return winInet.attemptConnect(0); }
  bool openInternet() override {
    internet_ = winInet.open(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return internet_ != nullptr;
  }
  bool openUrl() override {
    request_ = winInet.openUrl(internet_, url_.c_str(), nullptr, 0, kOpenUrlFlags, 0);
    if (request_ != nullptr && cancel_ != nullptr) cancel_->hold(request_, &closeByCancel);
    return request_ != nullptr;
  }
  void closeRequest() override {
    if (request_ != nullptr && cancel_ != nullptr && !cancel_->release()) request_ = nullptr;
    close(request_);
  }
  void closeInternet() override { close(internet_); }
  bool queryContentLength(uint32_t& length) override { return queryNumber(HTTP_QUERY_CONTENT_LENGTH, length); }
  bool queryStatusCode(uint32_t& status) override { return queryNumber(HTTP_QUERY_STATUS_CODE, status); }
  bool read(void* buffer, uint32_t size, uint32_t& got) override {
    DWORD count = 0;
    const BOOL ok = winInet.readFile(request_, buffer, size, &count);
    got = count;
    return ok != FALSE;
  }
  uint32_t lastError() override { return GetLastError(); }
  void sleepMs(int ms) override { Sleep(static_cast<DWORD>(ms)); }
  const void* requestHandle() override { return request_; }

 private:
  bool queryNumber(DWORD query, uint32_t& value) {
    DWORD number = 0;
    DWORD size = sizeof number;
    if (!winInet.queryInfo(request_, query | HTTP_QUERY_FLAG_NUMBER, &number, &size, nullptr)) return false;
    value = number;
    return true;
  }
  void close(HINTERNET& handle) {
    if (handle != nullptr) winInet.closeHandle(handle);
    handle = nullptr;
  }
  static void closeByCancel(void* request) { winInet.closeHandle(static_cast<HINTERNET>(request)); }

  std::string url_;
  DownloadCancel* cancel_;
  HINTERNET internet_ = nullptr;
  HINTERNET request_ = nullptr;
};

class FileSink : public DownloadSink {
 public:
  explicit FileSink(const std::string& path) : path_(path) {}
  ~FileSink() override { close(); }

  bool open() override {
    file_ = std::fopen(path_.c_str(), "wb");
    return file_ != nullptr;
  }
  bool write(const void* data, uint32_t size) override { return std::fwrite(data, 1, size, file_) == size; }
  bool close() override {
    const bool closed = file_ == nullptr || std::fclose(file_) == 0;
    file_ = nullptr;
    return closed;
  }
  void discard() override {
    close();
    DeleteFileA(path_.c_str());
  }
  uint32_t lastError() override { return GetLastError(); }
  const std::string& path() override { return path_; }

 private:
  std::string path_;
  FILE* file_ = nullptr;
};

// The transfer's figures on the run's progress display: the detail line and the bar.
class ShownDownloadProgress : public DownloadProgress {
 public:
  explicit ShownDownloadProgress(Progress& progress)
      : progress_(progress), format_(getConfigWideText(CFG_WMSG_DOWNLOAD_PROGRESS)) {}

  uint32_t nowMs() override { return GetTickCount(); }
  void showConnecting() override { progress_.setDetail(getConfigWideText(CFG_WMSG_CONNECTING)); }
  void showProgress(uint64_t received, uint64_t length, uint32_t elapsedMs) override {
    progress_.setDetail(formatDownloadProgress(format_, received, length, elapsedMs));
    progress_.setPosition(downloadBarPosition(received, length));
  }

 private:
  Progress& progress_;
  std::u16string format_;
};

const RuntimeDownloadRun* runOf(HWND dialog) {
  return reinterpret_cast<const RuntimeDownloadRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

bool downloadOffered() { return !getConfigText(CFG_JRE_DOWNLOAD_LOCATION).empty(); }

void initNoJreDialog(HWND dialog, const RuntimeDownloadRun* run) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
  centerWindow(dialog);
  setWindowTextWide(dialog, getConfigWideText(CFG_WMSG_CAPTION));
  setDlgItemTextWide(dialog, IDCANCEL, getConfigWideText(CFG_WMSG_CANCEL));
  setDlgItemTextWide(dialog, kLocateButtonId, getConfigWideText(CFG_WMSG_LOCATE));
  setDlgItemTextWide(dialog, kDownloadButtonId, getConfigWideText(CFG_WMSG_DOWNLOAD));
  const bool offered = downloadOffered();
  if (!offered) ShowWindow(GetDlgItem(dialog, kDownloadButtonId), SW_HIDE);
  const std::u16string message =
      getConfigWideText(offered ? CFG_WMSG_NO_JRE_DOWNLOAD_OR_LOCATE : CFG_WMSG_NO_JRE_LOCATE);
  setDlgItemTextWide(dialog, kMessageTextId,
                     composeNoJreText(message, getConfigText(CFG_MIN_JAVA_VERSION),
                                      getConfigText(CFG_MAX_JAVA_VERSION), getConfigWideText(CFG_WMSG_MIN_VERSION),
                                      getConfigWideText(CFG_WMSG_MAX_VERSION)));
}

INT_PTR CALLBACK noJreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      initNoJreDialog(dialog, reinterpret_cast<const RuntimeDownloadRun*>(lParam));
      return TRUE;
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      const int id = LOWORD(wParam);
      const RuntimeDownloadRun& run = *runOf(dialog);
      if (id == kLocateButtonId) {
        if (chooseJavaExeManually(dialog, run)) EndDialog(dialog, kLocateButtonId);
        return TRUE;
      }
      if (id == IDCANCEL) {
        if (run.giveUp) run.giveUp();
        exitRunningHandlers(ExitCode::Failure);
      }
      EndDialog(dialog, id);
      return TRUE;
    }
    default:
      return FALSE;
  }
}

std::string narrowTitle(const std::u16string& title) {
  std::vector<char> buffer(kFileNameBuffer, '\0');
  const std::wstring wide(title.begin(), title.end());
  const size_t n = std::wcstombs(buffer.data(), wide.c_str(), kFileNameBuffer - 1);
  return n == static_cast<size_t>(-1) ? std::string() : std::string(buffer.data(), n);
}
}  // namespace

bool loadWinInet() {
  HMODULE module = static_cast<HMODULE>(loadSystemLibrary("wininet.dll"));
  if (module == nullptr) {
    logError("Could not load wininet.dll");
    return false;
  }
  WinInet found;
  const bool all = lookUp(module, "InternetOpenUrlA", found.openUrl) && lookUp(module, "InternetOpenA", found.open) &&
                   lookUp(module, "HttpQueryInfoA", found.queryInfo) &&
                   lookUp(module, "InternetAttemptConnect", found.attemptConnect) &&
                   lookUp(module, "InternetCloseHandle", found.closeHandle) &&
                   lookUp(module, "InternetReadFile", found.readFile);
  if (!all) {
    logError("Could not load wininet functions");
    return false;
  }
  winInet = found;
  return true;
}

bool downloadArchive(Progress& progress, const std::string& url, DownloadCancel* cancel) {
  progress.setText(getConfigWideText(CFG_WMSG_DOWNLOADING));
  progress.showDetail(true);
  DownloadCheck check;
  if (!makeDownloadCheck(getConfigText(CFG_JRE_DOWNLOAD_SHA256), getConfigText(CFG_JRE_DOWNLOAD_MAX_SIZE), check)) {
    fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  }
  check.cancel = cancel;
  if (!loadWinInet()) fatalWideConfigError(CFG_WMSG_WININET_FAILED);
  WinInetChannel channel(url, cancel);
  FileSink sink(kArchiveName);
  bool done = false;
  if (progress.shown()) {
    ShownDownloadProgress shown(progress);
    done = downloadFile(channel, sink, &shown, check);
  } else {
    done = downloadFile(channel, sink, nullptr, check);
  }
  if (!done) {
    if (cancel != nullptr && cancel->cancelled()) return false;
    fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  }
  progress.showDetail(false);
  return true;
}

bool chooseJavaExeManually(void* owner, const RuntimeDownloadRun& run) {
  std::vector<char> fileName(kFileNameBuffer, '\0');
  const std::string title = narrowTitle(getConfigWideText(CFG_WMSG_SELECT_JAVA_EXE));
  static const char kFilter[] = "Java EXE\0java.exe\0";
  OPENFILENAMEA dialog = {};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = kFilter;
  dialog.lpstrFile = fileName.data();
  dialog.nMaxFile = static_cast<DWORD>(kFileNameBuffer);
  dialog.lpstrTitle = title.c_str();
  dialog.Flags = OFN_FILEMUSTEXIST;
  if (!GetOpenFileNameA(&dialog)) return false;
  return run.useLocatedJavaExe && run.useLocatedJavaExe(fileName.data());
}

bool downloadJre(const RuntimeDownloadRun& run) {
  const std::string url = getConfigText(CFG_JRE_DOWNLOAD_LOCATION);
  logMessage("Download location: %s", url.c_str());
  bool download = getConfigInt(CFG_AUTO_DOWNLOAD_JRE) != 0;
  if (!download) {
    const INT_PTR choice = showLauncherDialog(run.instance, kNoJreDialogTemplate, static_cast<HWND>(run.ownerWindow),
                                              &noJreDialogProc, reinterpret_cast<LPARAM>(&run));
    if (choice == -1) {
      // Without the dialog the user can neither locate nor download a runtime: end as after
      // Cancel, but say why.
      logError("Could not show the no-runtime dialog");
      if (run.giveUp) run.giveUp();
      fatalConfigError(CFG_MSG_NO_JVM_BITS, "32");
    }
    download = choice == kDownloadButtonId;
  }
  if (download) {
    logMessage("Downloading JRE");
    if (!downloadArchive(*run.progress, url, run.cancel)) return false;
    logMessage("Done");
  }
  return download;
}
