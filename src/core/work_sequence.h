// The work sequence: verify the media file, extract the included files into a fresh
// temporary directory, decide the runtime, prepare it and run the Java side.
#pragma once

#include <string>
#include <vector>

#include "media/config_table.h"

// The runtime to use is the included one: "jre.tar.gz" was extracted (or downloaded), or on a
// language restart a "jre" directory exists.
extern bool jreIncluded;
// Progress bar position (of 400) reached when the runtime is ready: 100, 200 or 300.
extern int progressStart;

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
// Whether the choice runs the search (LoadDLL without a location).
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

// ---- The sequence ----

// Runs the sequence with the progress dialog's window (an HWND) or none. Returns 0 after the
// Java program has ended; every failure ends the process (exit code 1, or 83 in quiet mode
// without a runtime, through the C library's exit where the log's exit handler must run).
int runWork(void* dialogWindow);
