// The launcher's dialogs: the window class of the progress dialog (template 103), the
// progress dialog itself, centring, wide text setters and the Pack200 progress ticker.
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>

#include "base/progress.h"

// Resources and controls of the dialog templates.
constexpr int kProgressDialogTemplate = 103;
constexpr int kProgressBarId = 1001;
constexpr int kNoJreDialogTemplate = 104;
constexpr int kInstallerIconId = 1001;
constexpr int kStatusTextId = 1002;
constexpr int kMessageTextId = 1003;
constexpr int kDownloadButtonId = 1004;
constexpr int kLocateButtonId = 1005;

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

// Registers "MyDialogClass" (a dialog class with the installer's icon 1001) of the module
// `instance` (an HINSTANCE; null: the executable).
void registerDialogClass(void* instance);
// The work the progress dialog runs on a thread of its own while it is up. It reports
// through `progress`, which stays valid until the process ends (threads the job starts may
// outlive the dialog), and gets the dialog's window (an HWND) as the owner of further
// dialogs. The dialog ends when the job returns.
using ProgressDialogJob = std::function<void(Progress& progress, void* dialogWindow)>;
// Shows the progress dialog (template 103 of `instance`, no owner) modally and starts `job`.
// Returns when the dialog ends: cancelled (IDCANCEL or IDOK: "Canceled installer" is logged
// and `onCancel` runs) or closed because the job has returned (0); -1 when the dialog could
// not be created, in which case the job was not started.
long long showProgressDialog(void* instance, ProgressDialogJob job, std::function<void()> onCancel);
// Centres a window (HWND) on its parent, or on the desktop when it has none.
void centerWindow(void* window);
// Set texts with the wide window functions where the system has them; otherwise the text
// is converted to the ANSI code page ("?" for what it cannot hold, at most 8191 bytes).
void setWindowTextWide(void* window, const std::u16string& text);
void setDlgItemTextWide(void* dialog, int controlId, const std::u16string& text);
// The ticker: moves the bar of `progress` from 200 towards 300, pausing a tenth of
// `untarDurationMs` (the milliseconds the runtime's tar extraction took) per step, until
// `done` holds (Pack200 unpacking has finished).
void unpackProgressTicker(Progress& progress, int untarDurationMs, const std::atomic<bool>& done);
// Starts unpackProgressTicker on a new thread at THREAD_PRIORITY_ABOVE_NORMAL; does nothing
// when `progress` is not shown. `progress` must outlive the thread.
void startUnpackProgressTicker(Progress& progress, int untarDurationMs,
                               std::shared_ptr<const std::atomic<bool>> done);

// Test seam: behave as on a system without SetWindowTextW / SetDlgItemTextW.
void setWideTextFunctionsMissingForTesting(bool missing);
