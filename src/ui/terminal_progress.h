// Progress on a terminal: the Linux launcher's stand-in for the progress dialog. One line on
// standard error, redrawn in place ("\r") when its whole percentage changes, and wiped when the
// Java program takes over. Used only when standard error is a terminal and not in quiet mode.
#pragma once

#include <cstdio>
#include <mutex>
#include <string>

#include "base/progress.h"

// The line for `position` within `low`..`high` (clamped): a 30-character bar and the
// percentage, e.g. "[#########.....................]  30%".
std::string terminalProgressLine(int low, int high, int position);

class TerminalProgress final : public Progress {
 public:
  explicit TerminalProgress(FILE* out) : out_(out) {}
  void setRange(int low, int high) override;
  void setPosition(int position) override;
  void setText(const std::u16string&) override {}
  void setDetail(const std::u16string&) override {}
  void showDetail(bool) override {}
  void hide() override;
  bool shown() const override { return true; }

 private:
  void draw();
  FILE* out_;
  std::mutex lock_;
  int low_ = 0;
  int high_ = 100;
  int position_ = 0;
  std::string lastLine_;
};
