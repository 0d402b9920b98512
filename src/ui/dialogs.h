// The launcher's dialogs: the window class of the progress dialog (template 103), the
// progress dialog itself, centring, wide text setters and the Pack200 progress ticker.
#pragma once

#include <atomic>
#include <functional>
#include <string>

// Resources and controls of the dialog templates (the progress bar is kProgressBarId).
constexpr int kProgressDialogTemplate = 103;
constexpr int kNoJreDialogTemplate = 104;
constexpr int kInstallerIconId = 1001;
constexpr int kStatusTextId = 1002;
constexpr int kMessageTextId = 1003;
constexpr int kDownloadButtonId = 1004;
constexpr int kLocateButtonId = 1005;

// Written before the ticker starts (milliseconds the runtime's tar extraction took) / set
// when Pack200 unpacking is done, which stops the ticker.
extern int untarDurationMs;
extern std::atomic<bool> unpackDone;

// ---- Pure rules ----

// Top-left corner that centres a window on its parent; rectangles as left, top, right,
// bottom. Each halving truncates toward zero (a window larger than its parent sticks out
// equally on both sides, rounded toward the parent's edge).
struct ScreenPoint {
  int x;
  int y;
};
ScreenPoint centeredOrigin(int parentLeft, int parentTop, int parentRight, int parentBottom,
                           int windowLeft, int windowTop, int windowRight, int windowBottom);

// The ticker's loop: unless `done` already holds, repeatedly pauses untarDurationMs / 10
// milliseconds (none for a negative duration) and moves the bar 10 further from 200, until
// it has passed 299 or `done`.
struct TickerSteps {
  int untarDurationMs = 0;
  std::function<bool()> done;
  std::function<void(int ms)> sleep;
  std::function<void(int position)> setPosition;
};
void runUnpackTicker(const TickerSteps& steps);

// ---- System-bound operations ----

// Registers "MyDialogClass" (a dialog class with the installer's icon 1001).
void registerDialogClass();
// Shows the progress dialog (template 103, no owner) modally; it starts the work sequence
// (or, with CFG_HIDE_PROGRESS_DIALOG, the runtime download flow) on a thread of its own.
// Returns when the dialog ends: cancelled (IDCANCEL or IDOK, after "Canceled installer" and
// the removal of both start markers) or closed because that thread has finished (0); -1
// when the dialog could not be created, in which case no thread was started.
long long showProgressDialog();
// Centres a window (HWND) on its parent, or on the desktop when it has none.
void centerWindow(void* window);
// Set texts with the wide window functions where the system has them; otherwise the text
// is converted to the ANSI code page ("?" for what it cannot hold, at most 8191 bytes).
void setWindowTextWide(void* window, const std::u16string& text);
void setDlgItemTextWide(void* dialog, int controlId, const std::u16string& text);
// The ticker (argument: the dialog HWND): moves the bar from 200 towards 300 while
// Pack200 unpacking runs.
void unpackProgressTicker(void* dialog);
// Starts unpackProgressTicker on a new thread at THREAD_PRIORITY_ABOVE_NORMAL.
void startUnpackProgressTicker(void* dialog);
// The runtime download flow that the progress dialog runs instead of the work sequence when
// CFG_HIDE_PROGRESS_DIALOG is set (argument: the dialog HWND). The dialog ends when it
// returns.
void runDownloadFlow(void* dialog);

// Test seam: behave as on a system without SetWindowTextW / SetDlgItemTextW.
void setWideTextFunctionsMissingForTesting(bool missing);
