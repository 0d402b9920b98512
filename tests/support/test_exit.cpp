#include "support/test_exit.h"

#include "base/error_report.h"

namespace {
void throwExit(int code) { throw TestExit(code); }
}  // namespace

ScopedExitTrap::ScopedExitTrap() { setExitHookForTesting(&throwExit); }
ScopedExitTrap::~ScopedExitTrap() { setExitHookForTesting(nullptr); }
