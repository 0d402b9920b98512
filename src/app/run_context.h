// The state of one launcher run. The start-up sequence builds it once per process and hands
// it down; every subsystem receives only the fields it needs, as arguments.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "payload/media_file.h"
#include "session/install_markers.h"

// What the launcher's own options ask for; every element, element 0 included, is examined
// with exact comparison. Unknown arguments are left for the Java side.
struct LauncherOptions {
  bool quiet = false;         // "-q" or "-c"
  bool console = false;       // "-console"
  bool needConsole = false;   // "-c": a console must be attached or allocated
  bool splash = false;        // "-splash"
  bool noCheck = false;       // "-nocheck"
  bool manual = false;        // "-manual" or "/manual"
};

struct RunContext {
  void* instanceHandle = nullptr;   // HINSTANCE of the module
  LauncherOptions options;
  bool quietMode = false;           // "-q", "-c" or a language restart: no boxes, no questions
  bool restartMode = false;         // a language restart inside an earlier run's directory
  bool manualJreSelection = false;  // the user picks the runtime ("-manual", or after a failed run)
  bool verifyIntegrity = true;      // the checksum runs (off with "-nocheck")
  bool consoleAttached = false;
  bool splashRequested = false;
  std::string productWord = "vantrel";  // "quoll" or "vantrel"
  std::string semaphoreName;        // the single-instance semaphore; empty on a restart

  // The launcher's own file, open from the configuration to the end of the extraction.
  std::unique_ptr<MediaFile> media;
  // The payload: where the included files start and where the unextracted block begins.
  int64_t configEndPosition = 0;
  int64_t unextractedPosition = 0;
  // This run's own temporary directory, without trailing backslash; empty until made.
  std::string launcherTempDir;
  // The run made launcherTempDir and the Java side has not taken it over yet: an exit now
  // removes it, with its placeholder file.
  bool ownsTempDir = false;
  // The runtime to use is the included one: "jre.tar.gz" was extracted (or downloaded), or on
  // a language restart a "jre" directory exists.
  bool jreIncluded = false;
  // Progress bar position (of 400) reached when the runtime is ready: 100, 200 or 300.
  int progressStart = 0;
  // The Linux launcher: the program as invoked and its arguments, from argv (UTF-8) as the
  // Java side receives them. (On Windows the command line is split when the VM starts.)
  std::vector<std::u16string> arguments;

  // The start markers as this run writes them (a language restart writes none).
  InstallMarkers markers() const { return InstallMarkers(restartMode); }
};
