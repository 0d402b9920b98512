// Running Windows programs under Wine from host tests. Output goes to files, never to pipes
// (Wine's daemons inherit descriptors and would hold a pipe open), and every run is bounded
// by a timeout after which its whole process group is killed.
#pragma once

#include <string>
#include <utility>
#include <vector>

// Tests that include this header read Wine's files with readTextFile from here.
#include "support/scratch_files.h"

struct WineCommand {
  std::string program;                  // host path of the .exe
  std::vector<std::string> args;        // each one argument as Wine receives it
  std::vector<std::pair<std::string, std::string>> environment;  // added or replaced
  std::vector<std::string> unset;       // removed from the inherited environment (before
                                        // `environment` is applied)
  std::string workingDirectory;         // host directory; "" keeps the current one
  int timeoutMs = 30000;
  // Record the program's message boxes (Wine's relay trace of MessageBoxA/W, limited to
  // those functions) into WineResult::boxes; trace lines are kept out of `err`. Without a
  // display a box returns at once, so this is how a headless test sees what it said.
  bool traceMessageBoxes = false;
};

// One MessageBoxA or MessageBoxW call. Texts are UTF-8; Wine shortens very long texts in
// its trace, so compare messages of ordinary length only.
struct MessageBoxCall {
  bool wide = false;
  std::string text;
  std::string caption;
  unsigned long flags = 0;
};

struct WineResult {
  int exitCode = -1;      // the Windows exit code (low 8 bits); -1 when killed or not started
  bool timedOut = false;
  std::string out;        // standard output
  std::string err;        // standard error
  std::vector<MessageBoxCall> boxes;  // with traceMessageBoxes, in call order
};

// Pure part of the box tracing: the calls named in relay trace text, and the text with
// the trace lines removed.
std::vector<MessageBoxCall> parseMessageBoxTrace(const std::string& trace);
std::string withoutTraceLines(const std::string& text);

// Runs `command` with $LAUNCHER_WINE (default: the project's scripts/wine); WINEPREFIX and
// WINEDEBUG default to the project's test prefix and "-all" when the caller has none.
WineResult runUnderWine(const WineCommand& command);

// The Wine prefix the runs use ($WINEPREFIX or the project's test prefix).
std::string winePrefix();
// "/a/b" -> "Z:\a\b" (the Z: drive maps the host root).
std::string winePathOf(const std::string& hostPath);
// A Windows path back to the host: through the prefix's dosdevices links for any drive
// ("C:\x" -> <prefix>/dosdevices/c:/x); "Z:\a" -> "/a".
std::string hostPathOf(const std::string& winePath);

// A fresh directory under $TMPDIR (or /tmp) whose name starts with `prefix`; removed with
// its contents by removeTree.
std::string makeTempDirectory(const std::string& prefix);
void removeTree(const std::string& path);
// The whole file as bytes, or "" when it cannot be read.
std::string readWholeFile(const std::string& path);
// Writes `bytes` to `path`, creating its missing parent directories.
void writeWholeFile(const std::string& path, const std::string& bytes);
// Creates `path` and its missing parents.
void makeDirectories(const std::string& path);
// `text` without its carriage returns (Windows programs end their lines with CR LF).
std::string withoutCarriageReturns(const std::string& text);
// Names (not paths) of the entries in `directory` that begin with `prefix`.
std::vector<std::string> filesStartingWith(const std::string& directory, const std::string& prefix);
// The diagnostic logs of runs of executables inside `hostDirectory`: the "vnq_nlog*" files
// in the prefix's temporary directories and C:\ whose header names such an executable.
// Wine sets TMP from its own registry, so a run's log cannot be steered into a test's
// directory; the header line tells the runs apart.
std::vector<std::string> logsOfRunsIn(const std::string& hostDirectory);
