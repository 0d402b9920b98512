// The runtime the payload carries (or that was downloaded) as "jre.tar.gz": unpacked into
// "jre" under the current directory, its Pack200 jars restored, and loaded.
#pragma once

// Unpacks "jre.tar.gz" into "jre" (created here; an existing one is logged as "Could not
// create JRE dir" and used) with the bar of the progress dialog (an HWND, or none) moving
// from 100 towards 200, deletes the archive, stores the time taken in untarDurationMs, and,
// when CFG_INCLUDED_JRE_PACKED is set, restores the packed jars of "jre" and "jre\jre" while
// the unpack ticker runs, setting unpackDone afterwards. Then loadIncludedJre. Returns only
// on success: an archive that cannot be read or is corrupt ends the process (exit code 1)
// with "The bundled JRE is corrupted. If you downloaded the setup file please download it
// again."
void extractIncludedJre(void* progressDialog);
// Loads the already extracted "jre" through LoadDLL (no messages); when that fails, logs
// "Could not load bundled JRE. Trying to find another JRE." and lets LoadDLL search. Returns
// only on success; without any runtime the process ends (exit code 1) with "Could not use
// bundled JRE. Please send this log file to your software vendor:" and the log's path.
void loadIncludedJre();
