// The runtime the payload carries (or that was downloaded) as "jre.tar.gz": unpacked into
// "jre" under the current directory, its Pack200 jars restored, and loaded.
#pragma once

// Unpacks "jre.tar.gz" into "jre" with progress on the dialog (an HWND, or none), restores
// packed jars and loads the runtime. Returns only on success; every failure is fatal.
void extractIncludedJre(void* progressDialog);
// Loads the already extracted "jre" (falling back to the search when it cannot be used).
// Returns only on success.
void loadIncludedJre();
