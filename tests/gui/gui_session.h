// A virtual display and a Wine prefix of the GUI tests' own: Xvfb on a free display number,
// a persistent wineserver for the prefix, programs started in the background or run to
// their end, the test helper wintool, the registry and screenshots. Everything started is
// ended when the session goes.
#pragma once

#include <sys/types.h>

#include <map>
#include <string>
#include <utility>
#include <vector>

#include "support/wine_run.h"

// One window as wintool describes it.
struct WindowInfo {
  struct Child {
    int id = 0;
    std::string className;
    bool visible = false;
    std::vector<int> rect;  // left, top, right, bottom from the window's top-left corner
    std::string text;
  };
  bool found = false;
  std::map<std::string, std::string> fields;  // window, pid, class, title, rect, screen, ...
  std::vector<Child> children;

  const std::string& field(const std::string& name) const;
  // "rect" or "desktop" as left, top, right, bottom.
  std::vector<int> numbers(const std::string& name) const;
  const Child* child(int id) const;
};
// Parses wintool's output (one description).
WindowInfo parseWindowInfo(const std::string& output);

// A Windows program running in the background; killed with its process group when the
// object goes and it is still running.
class BackgroundRun {
 public:
  BackgroundRun() = default;
  BackgroundRun(pid_t pid, std::string outputDir) : pid_(pid), outputDir_(std::move(outputDir)) {}
  BackgroundRun(BackgroundRun&& other) noexcept;
  BackgroundRun& operator=(BackgroundRun&& other) noexcept;
  ~BackgroundRun();
  // The Windows exit code once the program has ended within `timeoutMs`; -1 after the time
  // (the program is then killed) or when it could not start.
  int wait(int timeoutMs);
  bool running();
  // Stops / resumes the whole program (every thread at once, so no lock is left half
  // taken): while it is stopped its windows keep their place and texts, and what is posted
  // to them waits in their queue.
  void freeze();
  void thaw();
  std::string out() const;
  std::string err() const;

 private:
  void finish();
  pid_t pid_ = -1;
  std::string outputDir_;
  int exitCode_ = -1;
  bool done_ = false;
};

// Waits up to `timeoutMs` until the program's standard output contains `text`; false when
// it does not (or the program ended without it).
bool waitForOutput(BackgroundRun& run, const std::string& text, int timeoutMs);

class GuiSession {
 public:
  // Starts Xvfb, creates the prefix if needed and starts its wineserver; ready() tells
  // whether that worked, skipReason() why not.
  GuiSession();
  ~GuiSession();
  GuiSession(const GuiSession&) = delete;
  GuiSession& operator=(const GuiSession&) = delete;

  bool ready() const { return ready_; }
  const std::string& skipReason() const { return skipReason_; }
  const std::string& display() const { return display_; }

  // `command` with the session's display and prefix; runs to its end / in the background.
  WineResult run(WineCommand command);
  BackgroundRun start(WineCommand command);

  // wintool ACTION with the given options; waits up to `timeoutMs` for the window.
  WindowInfo wintool(const std::string& action, const std::vector<std::string>& options, int timeoutMs = 20000);
  // The same in the background: its output shows "looking" once the search has begun and
  // "window=" once it found the window (see waitForOutput).
  BackgroundRun startWintool(const std::string& action, const std::vector<std::string>& options, int timeoutMs);
  // Every visible window of `className`.
  std::vector<WindowInfo> windowsOfClass(const std::string& className);

  // HKEY_CURRENT_USER values through reg.exe; keyPath below HKCU.
  void setDword(const std::string& keyPath, const std::string& name, unsigned long value);
  bool valueExists(const std::string& keyPath, const std::string& name);
  void deleteValue(const std::string& keyPath, const std::string& name);

  // The whole screen (or the X window `window`, see wintool's "xwindow") as
  // build/screenshots/<name>.png; false when import failed.
  bool screenshot(const std::string& name, const std::string& window = "root");
  std::string screenshotPath(const std::string& name) const;
  // Removes what runs left in the prefix's temporary directories (extracted files, logs).
  void cleanTemporaryFiles();

 private:
  bool startXvfb();
  bool preparePrefix();
  void stopWine();

  bool ready_ = false;
  std::string skipReason_;
  std::string display_;
  pid_t xvfb_ = -1;
  std::string stateDir_;
};
