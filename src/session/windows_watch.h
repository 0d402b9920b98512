// Windows of processes: counting the Java side's visible windows, bringing another
// instance's windows forward, and the watcher that waits for the Java window.
#pragma once

#include <functional>

#include "base/progress.h"
#include "session/install_markers.h"

// ---- Pure rules ----

// Rounds of the watcher: the bar moves every kWatchAdvanceEvery rounds; at round
// kWatchTimeoutRound (about four minutes of 100 ms rounds) the start may be given up.
constexpr int kWatchAdvanceEvery = 5;
constexpr int kWatchTimeoutRound = 2400;
// The bar never passes this position while the watcher waits.
constexpr int kWatchMaxPosition = 390;

// One step of the creeping bar: a quarter of what is left of 400 after `progressStart`
// (integer division), never beyond kWatchMaxPosition.
int advanceWatchPosition(int position, int progressStart);

// What the wait needs from the system; every member must be set.
struct JavaWindowWait {
  int progressStart = 0;
  bool noStartupTimeout = false;              // CFG_NO_STARTUP_TIMEOUT non-zero
  std::function<int()> countWindows;          // visible windows of this process
  std::function<unsigned long()> readMarker;  // the per-process install marker
  std::function<void(int)> setPosition;       // moves the progress bar
  std::function<void()> sleepRound;           // pauses one round
  std::function<void()> timeout;              // gives up the start; normally does not return
};
// Waits until a second visible window exists (the first is the progress dialog) or the
// per-process marker reads 2. Calls `timeout` once, at round kWatchTimeoutRound, when the
// marker still reads 1 and the time-out is not switched off; if it returns, the wait goes on
// without limit. Returns the number of rounds waited.
int waitForJavaWindow(const JavaWindowWait& wait);

// ---- System-bound operations ----

// Visible top-level windows of `processId`, not counting the launcher's own console window.
int countVisibleProcessWindows(unsigned long processId);
// Brings every visible window of `processId` forward, in enumeration order, restoring
// minimised ones when `restore`; logs "found window %p", "restore", "foreground", "popup",
// "done" per window.
void activateProcessWindows(unsigned long processId, bool restore);
// Determines the launcher's console window once (none for windowed applications): a unique
// console title is set for 40 ms and the top-level window with that title is taken.
void findConsoleWindow();
// The watcher: creeps the bar of `progress` (the progress dialog) from `progressStart`,
// hides the dialog once the Java window is visible or the per-process marker reads 2
// (clearing that marker through `markers`, logging "Java window visible"), and ends the run
// with CFG_WMSG_JVM_START_TIMEOUT after 2400 rounds while the marker still reads 1 (unless
// CFG_NO_STARTUP_TIMEOUT).
void watchJavaWindow(Progress& progress, int progressStart, const InstallMarkers& markers);
// Starts watchJavaWindow on a new thread at THREAD_PRIORITY_ABOVE_NORMAL; does nothing when
// `progress` is not shown. `progress` must outlive the thread.
void startJavaWindowWatcher(Progress& progress, int progressStart, const InstallMarkers& markers);
// Test seam: the pause between rounds in milliseconds (100 in production).
void setWatchRoundMsForTesting(unsigned ms);
