// The runtime the payload carries (or that was downloaded) as "jre.tar.gz": unpacked into
// "jre" under the current directory, its Pack200 jars restored, and loaded.
#pragma once

#include "base/progress.h"

// How the preparation went: the milliseconds the tar extraction took (which pace the unpack
// ticker) and whether Pack200 unpacking ran to its end (which stops the ticker).
struct IncludedJrePreparation {
  int untarDurationMs = 0;
  bool unpackDone = false;
};

// Unpacks "jre.tar.gz" into "jre" (created here; an existing one is logged as "Could not
// create JRE dir" and used) with the bar of `progress` moving from 100 towards 200, deletes
// the archive, and, when CFG_INCLUDED_JRE_PACKED is set, restores the packed jars of "jre"
// and "jre\jre" while the unpack ticker runs. Then loadIncludedJre. Returns only on success:
// an archive that cannot be read or is corrupt ends the process (exit code 1) with "The
// bundled JRE is corrupted. If you downloaded the setup file please download it again."
IncludedJrePreparation extractIncludedJre(Progress& progress);
// Loads the already extracted "jre" through the runtime loader (no messages); when that
// fails, logs "Could not load bundled JRE. Trying to find another JRE." and lets the loader
// search. Returns
// only on success; without any runtime the process ends (exit code 1) with "Could not use
// bundled JRE. Please send this log file to your software vendor:" and the log's path.
void loadIncludedJre();
