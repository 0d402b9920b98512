// Windows of processes: counting the Java side's visible windows, bringing another
// instance's windows forward, and the watcher that waits for the Java window.
#pragma once

// Visible top-level windows of `processId`, not counting the launcher's own console window.
int countVisibleProcessWindows(unsigned long processId);
// Brings every visible window of `processId` forward (restoring minimised ones when asked).
void activateProcessWindows(unsigned long processId, bool restore);
// Determines the launcher's console window once (none for windowed applications).
void findConsoleWindow();
// The watcher (argument: the progress dialog's HWND): creeps the progress bar from
// progressStart, hides the dialog once the Java window is visible or the per-process marker
// reads 2, and ends the run with CFG_WMSG_JVM_START_TIMEOUT after 2400 rounds while the
// marker still reads 1 (unless CFG_NO_STARTUP_TIMEOUT).
void watchJavaWindow(void* dialog);
// Starts watchJavaWindow on a new thread at THREAD_PRIORITY_ABOVE_NORMAL.
void startJavaWindowWatcher(void* dialog);
// Test seam: the pause between rounds in milliseconds (100 in production).
void setWatchRoundMsForTesting(unsigned ms);
