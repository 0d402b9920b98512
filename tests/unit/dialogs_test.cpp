#include "ui/dialogs.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(DialogsTest, CenteredOriginTruncatesTowardZero) {
  struct Row {
    int parent[4];
    int window[4];
    int x, y;
  };
  const Row rows[] = {
      {{0, 0, 1024, 768}, {22, 17, 372, 152}, 337, 316},      // 350 x 135 on a 1024 x 768 desktop
      {{0, 0, 1024, 768}, {0, 0, 351, 136}, 336, 316},        // odd remainders drop the half
      {{100, 50, 500, 350}, {0, 0, 200, 100}, 200, 150},      // offset parent
      {{0, 0, 100, 100}, {0, 0, 205, 103}, -52, -1},          // larger than the parent: -52.5, -1.5
      {{-1280, 0, 0, 1024}, {10, 10, 110, 60}, -690, 487},    // a monitor left of the primary
  };
  for (const Row& row : rows) {
    const ScreenPoint p = centeredOrigin(row.parent[0], row.parent[1], row.parent[2], row.parent[3],
                                         row.window[0], row.window[1], row.window[2], row.window[3]);
    EXPECT_EQ(p.x, row.x) << row.parent[0] << "," << row.parent[2] << " / " << row.window[2];
    EXPECT_EQ(p.y, row.y) << row.parent[1] << "," << row.parent[3] << " / " << row.window[3];
  }
}

struct TickerRun {
  std::vector<int> sleeps;
  std::vector<int> positions;
};

// Runs the ticker with `doneAfter` positions set before unpacking reports done (-1: never).
TickerRun runTicker(int durationMs, int doneAfter) {
  TickerRun run;
  TickerSteps steps;
  steps.untarDurationMs = durationMs;
  steps.done = [&] { return doneAfter >= 0 && static_cast<int>(run.positions.size()) >= doneAfter; };
  steps.sleep = [&](int ms) { run.sleeps.push_back(ms); };
  steps.setPosition = [&](int p) { run.positions.push_back(p); };
  runUnpackTicker(steps);
  return run;
}

TEST(DialogsTest, UnpackTickerPacesByTheExtractionAndStopsWhenUnpackingEnds) {
  const std::vector<int> all = {210, 220, 230, 240, 250, 260, 270, 280, 290, 300};

  const TickerRun full = runTicker(1234, -1);
  EXPECT_EQ(full.positions, all);
  EXPECT_EQ(full.sleeps, std::vector<int>(10, 123));

  const TickerRun instant = runTicker(0, -1);
  EXPECT_EQ(instant.positions, all);
  EXPECT_EQ(instant.sleeps, std::vector<int>(10, 0));

  // A clock that went backwards must not turn into an endless pause.
  EXPECT_EQ(runTicker(-50, -1).sleeps, std::vector<int>(10, 0));

  const TickerRun early = runTicker(1000, 3);
  EXPECT_EQ(early.positions, (std::vector<int>{210, 220, 230}));

  const TickerRun already = runTicker(1000, 0);
  EXPECT_TRUE(already.positions.empty());
  EXPECT_TRUE(already.sleeps.empty());
}

}  // namespace
