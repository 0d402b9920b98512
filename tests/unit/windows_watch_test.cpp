#include "session/windows_watch.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

// A scripted system for the wait: windows appear and the marker changes at given rounds.
struct FakeSystem {
  int windowsFromRound = -1;  // from this round on two windows are visible; -1: never
  int markerTwoFromRound = -1;
  unsigned long marker = 1;
  int round = 0;  // rounds slept so far
  std::vector<int> positions;
  int timeouts = 0;
  int timeoutAtRound = -1;

  JavaWindowWait wait(int progressStart, bool noStartupTimeout) {
    JavaWindowWait w;
    w.progressStart = progressStart;
    w.noStartupTimeout = noStartupTimeout;
    w.countWindows = [this] { return windowsFromRound >= 0 && round >= windowsFromRound ? 2 : 1; };
    w.readMarker = [this] {
      return markerTwoFromRound >= 0 && round >= markerTwoFromRound ? 2ul : marker;
    };
    w.setPosition = [this](int p) { positions.push_back(p); };
    w.sleepRound = [this] { ++round; };
    w.timeout = [this] {
      ++timeouts;
      timeoutAtRound = round;
    };
    return w;
  }
};

TEST(WindowsWatchTest, BarCreepsByAQuarterOfWhatIsLeftAndStopsAt390) {
  struct Row {
    int progressStart;
    std::vector<int> positions;  // every fifth round, for 30 rounds
  };
  const Row rows[] = {
      {100, {175, 250, 325, 390, 390, 390}},
      {200, {250, 300, 350, 390, 390, 390}},
      {300, {325, 350, 375, 390, 390, 390}},
      {0, {100, 200, 300, 390, 390, 390}},
  };
  for (const Row& row : rows) {
    FakeSystem system;
    system.windowsFromRound = 30;
    EXPECT_EQ(waitForJavaWindow(system.wait(row.progressStart, false)), 30) << row.progressStart;
    EXPECT_EQ(system.positions, row.positions) << row.progressStart;
  }
  // A start already beyond the cap moves straight to it.
  EXPECT_EQ(advanceWatchPosition(395, 395), 390);
}

TEST(WindowsWatchTest, WaitEndsOnTheJavaWindowOrTheMarkerTwo) {
  FakeSystem window;
  window.windowsFromRound = 0;
  EXPECT_EQ(waitForJavaWindow(window.wait(100, false)), 0);
  EXPECT_TRUE(window.positions.empty());

  FakeSystem answered;
  answered.markerTwoFromRound = 7;
  EXPECT_EQ(waitForJavaWindow(answered.wait(200, false)), 7);
  EXPECT_EQ(answered.positions, std::vector<int>{250});
  EXPECT_EQ(answered.timeouts, 0);
}

TEST(WindowsWatchTest, TimeoutOnlyForAStartThatNeverAnswered) {
  struct Row {
    const char* name;
    unsigned long marker;
    bool noStartupTimeout;
    int timeouts;
  };
  const Row rows[] = {
      {"marker still 1", 1, false, 1},
      {"time-out switched off", 1, true, 0},
      {"marker cleared by the Java side", 0, false, 0},
  };
  for (const Row& row : rows) {
    FakeSystem system;
    system.marker = row.marker;
    system.windowsFromRound = 3000;  // the wait goes on past the limit when not ended
    EXPECT_EQ(waitForJavaWindow(system.wait(100, row.noStartupTimeout)), 3000) << row.name;
    EXPECT_EQ(system.timeouts, row.timeouts) << row.name;
    if (row.timeouts == 1) {
      // Checked after the 2400th round is counted, before its pause.
      EXPECT_EQ(system.timeoutAtRound, kWatchTimeoutRound - 1) << row.name;
    }
  }
}

}  // namespace
