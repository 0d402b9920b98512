// Turns a build plan's "runtime" into its included archive: makes the runtime with jlink when
// asked, reads and checks the directory against the stub it goes into, packs "jre.tar.gz"
// into a scratch directory, and fills in the archive's file entry and the included-runtime
// records (size for the progress bar, not Pack200-packed).
#pragma once

#include <functional>
#include <ostream>
#include <string>

#include "description.h"
#include "runtime_archive.h"
#include "status.h"

struct BundleOptions {
  unsigned threads = 0;  // compression threads, 0: one per processor
  // Where a progress line goes while the runtime is packed (a terminal); null: none.
  std::ostream* progress = nullptr;
};

// Does all of the above for `plan` (which must have a runtime) and `stubPath`. The archive is
// written below `scratchDir`, which must outlive the media file's writing. Every refusal
// (exit code 2) happens before the archive is written; messages name the file concerned.
Status bundleRuntime(BuildPlan& plan, const std::string& stubPath, const std::string& scratchDir,
                     const BundleOptions& options);

// The progress line for `p`: "packing the runtime: 42% (1200 of 2900 entries, 51.2 of 121.9 MiB)".
std::string progressLine(const PackProgress& p);
