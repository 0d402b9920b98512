// Outcome of a builder operation: an exit code and, on failure, one message for the user.
#pragma once

#include <string>
#include <utility>

// Exit codes of mediapack.
enum : int {
  kExitOk = 0,
  kExitFailure = 1,   // reading or writing failed, or `inspect` found the file damaged
  kExitBadInput = 2,  // bad build description, bad stub, bad usage
};

struct Status {
  int code = kExitOk;
  std::string message;  // one line, no trailing newline; empty when ok

  bool ok() const { return code == kExitOk; }
  static Status success() { return Status(); }
  static Status failure(int code, std::string message) { return Status{code, std::move(message)}; }
};
