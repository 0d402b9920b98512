// The work sequence: verify the media file, extract the included files into a fresh
// temporary directory, decide the runtime, prepare it and run the Java side.
#pragma once

#include "media/config_table.h"

// The runtime to use is the included one: "jre.tar.gz" was extracted (or downloaded), or on a
// language restart a "jre" directory exists.
extern bool jreIncluded;
// Progress bar position (of 400) reached when the runtime is ready: 100, 200 or 300.
extern int progressStart;

// The wide message shown when extraction fails with `code`: the disk-full text for a write
// failure, the corrupt-media text otherwise.
ConfigId extractionFailureMessage(int code);

// Runs the sequence with the progress dialog's window (an HWND) or none. Returns 0; every
// failure ends the process (exit code 1, through the C library's exit where the log's exit
// handler must run).
int runWork(void* dialogWindow);
