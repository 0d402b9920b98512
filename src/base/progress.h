// What a long step shows while it runs: a bar (range and position), a main line of text and
// a detail line under it. The progress dialog implements it; SilentProgress, for runs
// without a window, shows nothing. The checksum, the runtime's unpacking, the download and
// the wait for the Java window all report through it, from whichever thread they run on.
#pragma once

#include <string>

class Progress {
 public:
  virtual ~Progress() = default;
  // The bar runs from `low` to `high`; positions outside are shown at the nearer end.
  virtual void setRange(int low, int high) = 0;
  virtual void setPosition(int position) = 0;
  // The main line.
  virtual void setText(const std::u16string& text) = 0;
  // The detail line (the transfer figures of a download): its text, and whether it shows.
  virtual void setDetail(const std::u16string& text) = 0;
  virtual void showDetail(bool shown) = 0;
  // Takes the display off the screen: the Java program's own window has taken over.
  virtual void hide() = 0;
  // Whether any of this reaches a screen. Work done only for the display (a ticker thread,
  // the creeping bar of the wait for the Java window) is left out when it does not.
  virtual bool shown() const = 0;
};

// A run without a window: every report is dropped.
class SilentProgress final : public Progress {
 public:
  void setRange(int, int) override {}
  void setPosition(int) override {}
  void setText(const std::u16string&) override {}
  void setDetail(const std::u16string&) override {}
  void showDetail(bool) override {}
  void hide() override {}
  bool shown() const override { return false; }
};
