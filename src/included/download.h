// Obtaining a runtime when none is included and none was found: the no-runtime dialog, in
// which the user locates a java.exe by hand or has a runtime archive downloaded.
#pragma once

// Runs the no-runtime flow, with the progress dialog (an HWND) or none. Either a runtime the
// user located is loaded, or "jre.tar.gz" is downloaded into the working directory and
// jreIncluded is set, so that it is prepared like an included runtime. Giving up ends the
// process (exit code 1) after clearing the start markers. Returns 0.
int downloadJre(void* progressDialog);
