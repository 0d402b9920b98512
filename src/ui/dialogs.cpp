#include "ui/dialogs.h"

namespace {
constexpr int kTickerStart = 200;
constexpr int kTickerStep = 10;
constexpr int kTickerLast = 299;  // the ticker stops once the bar has passed this
}  // namespace

ScreenPoint centeredOrigin(int parentLeft, int parentTop, int parentRight, int parentBottom,
                           int windowLeft, int windowTop, int windowRight, int windowBottom) {
  const int parentWidth = parentRight - parentLeft;
  const int parentHeight = parentBottom - parentTop;
  const int width = windowRight - windowLeft;
  const int height = windowBottom - windowTop;
  return ScreenPoint{parentLeft + (parentWidth - width) / 2, parentTop + (parentHeight - height) / 2};
}

void runUnpackTicker(const TickerSteps& steps) {
  if (steps.done()) return;
  const int pause = steps.untarDurationMs > 0 ? steps.untarDurationMs / 10 : 0;
  int position = kTickerStart;
  do {
    steps.sleep(pause);
    position += kTickerStep;
    steps.setPosition(position);
  } while (position <= kTickerLast && !steps.done());
}
