#include "session/windows_watch.h"

#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <string>

#include "base/config_table.h"
#include "base/error_report.h"
#include "session/install_markers.h"
#include "support/test_exit.h"
#include "ui/dialogs_win.h"

namespace {

// Top-level windows owned by this test, destroyed at its end.
class Windows {
 public:
  ~Windows() {
    for (HWND w : made_) DestroyWindow(w);
  }
  HWND make(bool visible) {
    HWND w = CreateWindowExA(0, "STATIC", "watch test", WS_POPUP | (visible ? WS_VISIBLE : 0), 10, 10, 200,
                             80, nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
    made_.push_back(w);
    return w;
  }
  // A stand-in progress dialog: a visible window with the bar as control 1001.
  HWND makeDialog() {
    HWND dialog = make(true);
    CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD | WS_VISIBLE, 5, 40, 150, 10, dialog,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)), GetModuleHandleA(nullptr), nullptr);
    SendDlgItemMessageA(dialog, 1001, PBM_SETRANGE, 0, MAKELPARAM(0, 400));
    return dialog;
  }

 private:
  std::vector<HWND> made_;
};

class WindowsWatchWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    InitCommonControls();
    key_ = "SOFTWARE\\northgale\\quoll-watch-test-" + std::to_string(GetCurrentProcessId()) + "\\";
    setMarkerKeyForTesting(key_);
    // Wine makes no window without a display; the GUI suite runs these under one.
    HWND probe = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 1, 1, nullptr, nullptr,
                                 GetModuleHandleA(nullptr), nullptr);
    if (probe == nullptr) GTEST_SKIP() << "no windows without a display";
    DestroyWindow(probe);
    configTable() = ConfigTable();
    configTable().narrow[CFG_EXECUTABLE_TYPE] = "1";
    setWatchRoundMsForTesting(0);
  }
  void TearDown() override {
    // An empty name would mean the whole hive.
    if (!key_.empty()) {
      RegDeleteTreeA(HKEY_CURRENT_USER, key_.c_str());
      RegDeleteKeyA(HKEY_CURRENT_USER, key_.c_str());
    }
    setMarkerKeyForTesting("");
    setWatchRoundMsForTesting(100);
    configTable() = ConfigTable();
    setErrorsInMessageBoxes(true);
  }

  void writeOwnMarker(DWORD value) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, key_.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                              nullptr),
              ERROR_SUCCESS);
    const std::string name = perProcessMarkerName(GetCurrentProcessId());
    RegSetValueExA(key, name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof value);
    RegCloseKey(key);
  }

  std::string key_;
  // Not a language restart: the watcher clears its marker.
  InstallMarkers markers{false};
  int progressStart = 100;
};

TEST_F(WindowsWatchWinTest, CountsOnlyVisibleWindowsOfTheProcess) {
  const DWORD self = GetCurrentProcessId();
  const int before = countVisibleProcessWindows(self);
  Windows windows;
  windows.make(true);
  windows.make(true);
  windows.make(false);
  EXPECT_EQ(countVisibleProcessWindows(self), before + 2);
  EXPECT_EQ(countVisibleProcessWindows(0xFFFFFFF0u), 0) << "no such process";
}

TEST_F(WindowsWatchWinTest, ActivationRestoresEveryMinimisedWindow) {
  Windows windows;
  HWND first = windows.make(true);
  HWND second = windows.make(true);
  ShowWindow(first, SW_MINIMIZE);
  ShowWindow(second, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(first) && IsIconic(second));

  activateProcessWindows(GetCurrentProcessId(), false);
  EXPECT_TRUE(IsIconic(first) && IsIconic(second)) << "restore not asked for";

  activateProcessWindows(GetCurrentProcessId(), true);
  EXPECT_FALSE(IsIconic(first));
  EXPECT_FALSE(IsIconic(second));
}

TEST_F(WindowsWatchWinTest, MarkerTwoEndsTheWaitHidesTheDialogAndClearsTheMarker) {
  Windows windows;
  HWND dialog = windows.makeDialog();
  writeOwnMarker(2);
  watchJavaWindow(*makeDialogProgress(dialog), progressStart, markers);
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_EQ(readInstallStarted(true), 0u);
}

TEST_F(WindowsWatchWinTest, JavaWindowEndsTheWait) {
  Windows windows;
  HWND dialog = windows.makeDialog();
  writeOwnMarker(1);
  markers.setInstallStarted(true, false, true);
  setWatchRoundMsForTesting(5);  // no exit trap on the watcher's thread: keep far from the limit
  // The Java side's frame shows up while the watcher runs on its own thread.
  // The watcher's thread may still be on its way out when the test ends: its progress stays.
  static Progress* const progress = makeDialogProgress(dialog).release();
  startJavaWindowWatcher(*progress, progressStart, markers);
  Sleep(50);
  windows.make(true);
  for (int i = 0; i < 500 && IsWindowVisible(dialog); ++i) {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&message);
    Sleep(10);
  }
  EXPECT_FALSE(IsWindowVisible(dialog));
  EXPECT_EQ(readInstallStarted(true), 0u) << "per-process marker cleared";
  EXPECT_EQ(readInstallStarted(false), 1u) << "the global marker is not the watcher's";
  const LRESULT position = SendDlgItemMessageA(dialog, 1001, PBM_GETPOS, 0, 0);
  EXPECT_GE(position, 100);
  EXPECT_LE(position, 390);
}

TEST_F(WindowsWatchWinTest, StartThatNeverAnswersTimesOut) {
  Windows windows;
  HWND dialog = windows.makeDialog();
  writeOwnMarker(1);
  setErrorsInMessageBoxes(false);
  EXPECT_EQ(exitCodeOf([&] { watchJavaWindow(*makeDialogProgress(dialog), progressStart, markers); }), 1);
  EXPECT_TRUE(IsWindowVisible(dialog)) << "the run ends with the dialog up";
  EXPECT_EQ(SendDlgItemMessageA(dialog, 1001, PBM_GETPOS, 0, 0), 390);
}

}  // namespace
