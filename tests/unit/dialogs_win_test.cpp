#include "ui/dialogs.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "app/startup.h"
#include "session/install_markers.h"
#include "ui/dialogs_win.h"

namespace {

std::u16string textOf(HWND window) {
  wchar_t buffer[512] = {};
  const int n = GetWindowTextW(window, buffer, 512);
  return std::u16string(reinterpret_cast<const char16_t*>(buffer), n > 0 ? static_cast<size_t>(n) : 0);
}

class DialogsWinTest : public ::testing::Test {
 protected:
  void SetUp() override {
    window_ = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 300, 120, nullptr, nullptr,
                              GetModuleHandleA(nullptr), nullptr);
    child_ = CreateWindowExA(0, "STATIC", "", WS_CHILD, 0, 0, 100, 20, window_,
                             reinterpret_cast<HMENU>(static_cast<INT_PTR>(1003)), GetModuleHandleA(nullptr),
                             nullptr);
    if (window_ == nullptr) GTEST_SKIP() << "no windows without a display";
  }
  void TearDown() override {
    setWideTextFunctionsMissingForTesting(false);
    if (window_ != nullptr) DestroyWindow(window_);
  }
  HWND window_ = nullptr;
  HWND child_ = nullptr;
};

TEST_F(DialogsWinTest, WideSettersKeepTextOutsideTheAnsiCodePage) {
  const std::u16string greek = u"Προετοιμασία του οδηγού εγκατάστασης";
  setWindowTextWide(window_, greek);
  setDlgItemTextWide(window_, 1003, u"Άκυρο");
  EXPECT_EQ(textOf(window_), greek);
  EXPECT_EQ(textOf(child_), u"Άκυρο");
}

TEST_F(DialogsWinTest, NarrowFallbackWithoutTheWideFunctions) {
  setWideTextFunctionsMissingForTesting(true);
  setWindowTextWide(window_, u"Setup");
  setDlgItemTextWide(window_, 1003, u"Cancel");
  EXPECT_EQ(textOf(window_), u"Setup");
  EXPECT_EQ(textOf(child_), u"Cancel");
  // Longer than the narrow functions' buffer: cut, never overrun.
  setWindowTextWide(window_, std::u16string(20000, u'x'));
  EXPECT_EQ(GetWindowTextLengthA(window_), 8191);
}

TEST_F(DialogsWinTest, CentresOnTheDesktopOrTheOwner) {
  RECT desktop = {};
  GetWindowRect(GetDesktopWindow(), &desktop);
  centerWindow(window_);
  RECT placed = {};
  GetWindowRect(window_, &placed);
  EXPECT_EQ(placed.left, desktop.left + (desktop.right - desktop.left - 300) / 2);
  EXPECT_EQ(placed.top, desktop.top + (desktop.bottom - desktop.top - 120) / 2);
  EXPECT_EQ(placed.right - placed.left, 300) << "size unchanged";

  // An owned popup centres on its owner; a child control on its parent's window.
  HWND owned = CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 100, 40, window_, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
  centerWindow(owned);
  RECT ownedRect = {};
  GetWindowRect(owned, &ownedRect);
  EXPECT_EQ(ownedRect.left, placed.left + 100);
  EXPECT_EQ(ownedRect.top, placed.top + 40);
  DestroyWindow(owned);

  centerWindow(child_);
  RECT childRect = {};
  GetWindowRect(child_, &childRect);
  EXPECT_EQ(childRect.left, placed.left + 100);
  EXPECT_EQ(childRect.top, placed.top + 50);
}

// Enter arrives as IDOK, Escape, the button and the close box as IDCANCEL: each cancels.
TEST(ProgressDialogProcTest, OkAndCancelBothEndTheRunAndClearTheMarkers) {
  const std::string key = "SOFTWARE\\northgale\\quoll-dialog-test-" + std::to_string(GetCurrentProcessId()) + "\\";
  setMarkerKeyForTesting(key);
  RunContext run;
  run.restartMode = false;
  const std::function<void()> cancel = progressDialogCancelAction(run);
  const InstallMarkers markers = run.markers();
  for (const WPARAM id : {WPARAM(IDOK), WPARAM(IDCANCEL)}) {
    markers.setInstallStarted(true, true, true);
    EXPECT_EQ(handleProgressDialogCommand(nullptr, static_cast<int>(id), cancel), true) << id;
    EXPECT_EQ(readInstallStarted(false), 0u) << id;
    EXPECT_EQ(readInstallStarted(true), 0u) << id;
  }
  // Other commands are left to the default handling and cancel nothing.
  markers.setInstallStarted(true, false, true);
  EXPECT_EQ(handleProgressDialogCommand(nullptr, 1003, cancel), false);
  EXPECT_EQ(progressDialogProc(nullptr, WM_COMMAND, MAKEWPARAM(1003, 0), 0), FALSE);
  EXPECT_EQ(readInstallStarted(false), 1u);
  RegDeleteTreeA(HKEY_CURRENT_USER, key.c_str());
  RegDeleteKeyA(HKEY_CURRENT_USER, key.c_str());
  setMarkerKeyForTesting("");
}

}  // namespace
