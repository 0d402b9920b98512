// The work sequence: verify the media file, extract the included files into a fresh
// temporary directory, decide the runtime, prepare it and run the Java side.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/run_context.h"
#include "base/config_table.h"
#include "base/progress.h"

// ---- Pure rules ----

// The wide message shown when extraction fails with `code`: the disk-full text for a write
// failure, the corrupt-media text otherwise.
ConfigId extractionFailureMessage(int code);

// How the runtime is chosen once the included files are out.
enum class RuntimeChoice {
  UseIncluded,             // the included runtime, nothing to decide
  SearchThenIncluded,      // an installed one is preferred; the included one if none is found
  SearchThenObtain,        // search; without a result the user obtains one
  ObtainWithoutSearch,     // manual selection: no search, the user obtains one
};
// The decision for an included runtime (or none), the manual switch and
// CFG_PREFER_INSTALLED_JRE. The manual switch drops an included runtime.
RuntimeChoice chooseRuntime(bool included, bool manualSelection, bool preferInstalled);
// Whether the choice runs the search (the runtime loader without a location).
bool searchesInstalled(RuntimeChoice choice);

// What happens when no runtime was found (or the search was skipped) and none is included.
enum class MissingRuntimeAction {
  Abort,                 // quiet without automatic download: "No JRE found. Aborting.", exit 83
  DownloadQuietly,       // quiet with automatic download: the download without a window
  ObtainInDialog,        // the no-runtime flow owned by the progress dialog
  ObtainInOwnDialog,     // no progress dialog (it is hidden): one is opened just for the flow
};
MissingRuntimeAction missingRuntimeAction(bool quiet, int autoDownloadJre, bool hasDialog);

// progressStart for the runtime in use: 100 without an included runtime, 200 with one, 300
// when its jars are Pack200-packed (CFG_INCLUDED_JRE_PACKED nonzero).
int progressStartFor(bool included, int includedJrePacked);

// Whether an included file is Pack200-packed: its name ends in ".pack" (case-sensitive) and
// something precedes that, since the file is restored under the name without it.
bool isPackedIncludedFile(const std::string& name);
// The packed files among the included ones, in payload order: the names extraction takes
// from CFG_INCLUDED_FILE_NAMES (at most CFG_INCLUDED_FILE_COUNT of them) that are packed.
std::vector<std::string> packedIncludedFiles(const std::string& names, int count);

// ---- Decisions over the run context ----

// What settling the included runtime asks of the system (the current directory's files).
struct IncludedRuntimeProbe {
  // `name` resolved against the current directory; empty when it cannot be.
  std::function<std::string(const char* name)> fullPathOf;
  std::function<bool(const std::string& path)> exists;
};
// Sets run.jreIncluded once the included files are out: "jre.tar.gz" in the current
// directory, or on a language restart an extracted "jre" directory; the manual switch drops
// it. Logs "Full JRE path: %s", "Checking extracted JRE: %s" (restart only), "JRE included"
// or "No JRE included", and "Included JRE not used because of manual switch".
void settleIncludedRuntime(RunContext& run, const IncludedRuntimeProbe& probe);

// What choosing and loading the runtime asks of the system. The work sequence fills it with
// the runtime loader, the no-runtime flow and the start markers; tests with fakes.
struct RuntimeSteps {
  std::function<bool()> loadInstalled;  // search and load an installed runtime; true on success
  std::function<bool()> obtainRuntime;  // the no-runtime flow; true when it downloaded an archive
  std::function<void()> setMarkers;     // a start is under way
  std::function<void()> clearMarkers;   // it ended before the Java side
};
// Settles the runtime from run.jreIncluded, run.manualJreSelection and `preferInstalled`
// (CFG_PREFER_INSTALLED_JRE): an included runtime alone is used as it is; preferring an
// installed one sets the markers and searches, and a found one drops the included runtime
// (its archive stays packed) while none clears the markers again; without an included
// runtime the markers are set, the search runs (unless manual) and, when it finds nothing,
// the no-runtime flow, whose downloaded archive then counts as included.
void chooseAndLoadRuntime(RunContext& run, bool preferInstalled, const RuntimeSteps& steps);

// ---- The sequence ----

// Runs the sequence for `run`, reporting through `progress` (the progress dialog, whose
// window `dialogWindow` is, or a silent one with none). Returns 0 after the Java program has
// ended; every failure ends the process (exit code 1, or 83 in quiet mode without a
// runtime, through the C library's exit where the log's exit handler must run).
int runWork(RunContext& run, Progress& progress, void* dialogWindow);
