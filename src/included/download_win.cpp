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

#include "coord/install_markers.h"
#include "core/error_report.h"
#include "core/work_sequence.h"
#include "included/download.h"
#include "jre/registry_sources.h"
#include "jvm/jvm_library.h"
#include "media/config_table.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/system_library.h"
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
  explicit WinInetChannel(const std::string& url) : url_(url) {}

  uint32_t attemptConnect() override { return winInet.attemptConnect(0); }
  bool openInternet() override {
    internet_ = winInet.open(kAgentName, INTERNET_OPEN_TYPE_PRECONFIG, nullptr, nullptr, 0);
    return internet_ != nullptr;
  }
  bool openUrl() override {
    request_ = winInet.openUrl(internet_, url_.c_str(), nullptr, 0, kOpenUrlFlags, 0);
    return request_ != nullptr;
  }
  void closeRequest() override { close(request_); }
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

  std::string url_;
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

class DialogProgress : public DownloadProgress {
 public:
  explicit DialogProgress(HWND dialog)
      : dialog_(dialog), format_(getConfigWideText(CFG_WMSG_DOWNLOAD_PROGRESS)) {}

  uint32_t nowMs() override { return GetTickCount(); }
  void showConnecting() override {
    setDlgItemTextWide(dialog_, kStatusTextId, getConfigWideText(CFG_WMSG_CONNECTING));
  }
  void showProgress(uint64_t received, uint64_t length, uint32_t elapsedMs) override {
    setDlgItemTextWide(dialog_, kStatusTextId, formatDownloadProgress(format_, received, length, elapsedMs));
    SendDlgItemMessageA(dialog_, kProgressBarId, PBM_SETPOS,
                        static_cast<WPARAM>(downloadBarPosition(received, length)), 0);
  }

 private:
  HWND dialog_;
  std::u16string format_;
};

bool downloadOffered() { return !getConfigText(CFG_JRE_DOWNLOAD_LOCATION).empty(); }

void initNoJreDialog(HWND dialog) {
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

INT_PTR CALLBACK noJreDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initNoJreDialog(dialog);
      return TRUE;
    case WM_COMMAND: {
      if (HIWORD(wParam) != BN_CLICKED) return FALSE;
      const int id = LOWORD(wParam);
      if (id == kLocateButtonId) {
        if (chooseJavaExeManually(dialog)) EndDialog(dialog, kLocateButtonId);
        return TRUE;
      }
      if (id == IDCANCEL) {
        setInstallStarted(false, true, true);
        exitRunningHandlers(1);
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

void downloadArchive(void* progressDialog, const std::string& url) {
  HWND dialog = static_cast<HWND>(progressDialog);
  if (dialog) {
    setDlgItemTextWide(dialog, kMessageTextId, getConfigWideText(CFG_WMSG_DOWNLOADING));
    setDlgItemTextWide(dialog, IDCANCEL, getConfigWideText(CFG_WMSG_CANCEL));
    ShowWindow(GetDlgItem(dialog, kStatusTextId), SW_SHOW);
  }
  if (!loadWinInet()) fatalWideConfigError(CFG_WMSG_WININET_FAILED);
  WinInetChannel channel(url);
  FileSink sink(kArchiveName);
  if (dialog) {
    DialogProgress progress(dialog);
    if (!downloadFile(channel, sink, &progress)) fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  } else if (!downloadFile(channel, sink, nullptr)) {
    fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED);
  }
  if (dialog) ShowWindow(GetDlgItem(dialog, kStatusTextId), SW_HIDE);
}

bool useLocatedJavaExe(const std::string& javaExe) {
  if (!LoadDLL(true, javaExe.c_str(), true)) return false;
  rememberLocatedJvm(javaExe);
  return true;
}

bool chooseJavaExeManually(void* owner) {
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
  return useLocatedJavaExe(fileName.data());
}

int downloadJre(void* progressDialog) {
  HWND dialog = static_cast<HWND>(progressDialog);
  const std::string url = getConfigText(CFG_JRE_DOWNLOAD_LOCATION);
  logMessage("Download location: %s", url.c_str());
  bool download = getConfigInt(CFG_AUTO_DOWNLOAD_JRE) != 0;
  if (!download) {
    const INT_PTR choice = showLauncherDialog(kNoJreDialogTemplate, dialog, &noJreDialogProc);
    if (choice == -1) {
      // Without the dialog the user can neither locate nor download a runtime: end as after
      // Cancel, but say why.
      logError("Could not show the no-runtime dialog");
      setInstallStarted(false, true, true);
      fatalConfigError(CFG_MSG_NO_JVM_BITS, "32");
    }
    download = choice == kDownloadButtonId;
  }
  if (download) {
    logMessage("Downloading JRE");
    downloadArchive(dialog, url);
    logMessage("Done");
    jreIncluded = true;
  }
  if (dialog && getConfigInt(CFG_HIDE_PROGRESS_DIALOG) != 0) EndDialog(dialog, 0);
  return 0;
}
