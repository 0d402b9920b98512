#include "ui/terminal_progress.h"

#include <algorithm>

namespace {
constexpr int kBarWidth = 30;
}  // namespace

std::string terminalProgressLine(int low, int high, int position) {
  int percent = 0;
  if (high > low) {
    const long long clamped = std::min(std::max(position, low), high);
    percent = static_cast<int>((clamped - low) * 100 / (static_cast<long long>(high) - low));
  }
  const int filled = percent * kBarWidth / 100;
  std::string line = "[" + std::string(filled, '#') + std::string(kBarWidth - filled, '.') + "] ";
  const std::string number = std::to_string(percent);
  line += std::string(3 - std::min<size_t>(3, number.size()), ' ') + number + "%";
  return line;
}

void TerminalProgress::setRange(int low, int high) {
  std::lock_guard<std::mutex> hold(lock_);
  low_ = low;
  high_ = high;
  draw();
}

void TerminalProgress::setPosition(int position) {
  std::lock_guard<std::mutex> hold(lock_);
  position_ = position;
  draw();
}

void TerminalProgress::hide() {
  std::lock_guard<std::mutex> hold(lock_);
  if (lastLine_.empty()) return;
  fprintf(out_, "\r%s\r", std::string(lastLine_.size(), ' ').c_str());
  fflush(out_);
  lastLine_.clear();
}

void TerminalProgress::draw() {
  const std::string line = terminalProgressLine(low_, high_, position_);
  if (line == lastLine_) return;
  lastLine_ = line;
  fprintf(out_, "\r%s", line.c_str());
  fflush(out_);
}
