// Native library directories in front of PATH, so that the Java program's native libraries
// (and those they depend on) are found when the virtual machine loads them.
#pragma once

#include <cstddef>
#include <string>

// The longest PATH value the launcher sets, in bytes (its buffer holds 16384 with the
// terminator).
constexpr size_t kMaxPathValue = 16383;

struct NativeLibraryPath {
  std::string value;             // the new PATH
  bool oldPathCut = false;       // some elements of the previous PATH did not fit
  bool directoriesCut = false;   // even the configured directories did not all fit
};

// The configured directories (already absolute, ";"-joined), a ";" unless empty or already
// ending with one, then the previous PATH. A result longer than kMaxPathValue drops whole
// elements from the end of the previous PATH (and, only if the directories alone are too
// long, from the end of the directories), never cutting an element in two.
NativeLibraryPath composeNativeLibraryPath(const std::string& directories,
                                           const std::string& oldPath);

// Reads CFG_NATIVE_LIBRARY_DIRECTORIES, expands and absolutizes it, and puts it in front of
// PATH both in the process environment and in the C runtime's copy. Logs
// "native lib dir is %s" and "Setting PATH (native libs) %s" (or its failure line).
void prependNativeLibraryPath();
