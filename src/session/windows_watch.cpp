#include "session/windows_watch.h"

int advanceWatchPosition(int position, int progressStart) {
  const int next = position + (400 - progressStart) / 4;
  return next > kWatchMaxPosition ? kWatchMaxPosition : next;
}

int waitForJavaWindow(const JavaWindowWait& wait) {
  int position = wait.progressStart;
  int round = 0;
  for (;;) {
    // The progress dialog is one visible window; the Java side's frame is the second.
    if (wait.countWindows() > 1) break;
    if (wait.readMarker() == 2) break;
    ++round;
    if (round % kWatchAdvanceEvery == 0) {
      position = advanceWatchPosition(position, wait.progressStart);
      wait.setPosition(position);
    }
    // A Java side that already answered (marker no longer 1) is merely slow to show its
    // window, so only a start that never got that far is given up.
    if (round == kWatchTimeoutRound && wait.readMarker() == 1 && !wait.noStartupTimeout) {
      wait.timeout();
    }
    wait.sleepRound();
  }
  return round;
}
