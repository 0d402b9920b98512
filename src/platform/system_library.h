// Loading the system's own DLLs by name, and where the process looks for DLLs at all.
#pragma once

#include <cstdint>
#include <string>

// Loads `name` (for example "wininet.dll") from the system directory only, so that a DLL of
// the same name next to the launcher — a downloaded installer sits in the downloads folder
// with whatever else was downloaded — is never loaded instead. Returns the HMODULE or null.
void* loadSystemLibrary(const char* name);

// How far the process's DLL search could be narrowed at start-up.
enum class DllSearch {
  Restricted,   // the system directory and the directories added by addDllDirectory only
  CurrentDirectoryRemoved,  // an older system: only the current directory left the search
};
// Takes the installer's own folder (a downloads folder holds whatever else was downloaded)
// and the current directory out of the process's DLL search, at the very start of the
// process, before anything loads a library by name.
DllSearch restrictDllSearch();
// Adds `directory` to the DLLs' search where restrictDllSearch could narrow it (a runtime's
// bin directory, the installer's native-library directories); false where that is not
// possible or the system refused (the reason is logged).
bool addDllDirectory(const std::string& directory);
// Loads a library by full path, its imports searched in its own directory, the system
// directory and the added ones, never in the installer's folder. Null on failure, with the
// system's error code in *error.
void* loadLibraryBeside(const std::string& path, uint32_t* error);
