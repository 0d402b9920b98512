// Loading the system's own DLLs by name.
#pragma once

// Loads `name` (for example "wininet.dll") from the system directory only, so that a DLL of
// the same name next to the launcher — a downloaded installer sits in the downloads folder
// with whatever else was downloaded — is never loaded instead. Returns the HMODULE or null.
void* loadSystemLibrary(const char* name);
