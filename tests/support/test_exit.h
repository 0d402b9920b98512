// Lets unit tests observe the launcher's fatal paths: while a ScopedExitTrap lives, ending
// the process throws TestExit instead, so a test can assert the exit code and what was
// reported before it.
#pragma once

#include <stdexcept>

struct TestExit : std::runtime_error {
  explicit TestExit(int c) : std::runtime_error("process exit"), code(c) {}
  int code;
};

class ScopedExitTrap {
 public:
  ScopedExitTrap();
  ~ScopedExitTrap();
  ScopedExitTrap(const ScopedExitTrap&) = delete;
  ScopedExitTrap& operator=(const ScopedExitTrap&) = delete;
};

// Runs `body` expecting it to end the process; returns the exit code, or -1 if it returned.
template <typename F>
int exitCodeOf(F&& body) {
  ScopedExitTrap trap;
  try {
    body();
  } catch (const TestExit& e) {
    return e.code;
  }
  return -1;
}
