// Removing a directory the launcher made, with everything in it. Links inside (symbolic links,
// junctions, mount points) are removed as links: what they point to is never entered, so a
// link planted or unpacked inside cannot make the clean-up delete files elsewhere.
#pragma once

#include <string>

// Deletes everything inside `directory` (narrow path), depth first; failures are skipped.
// Leaves alone an empty path and one starting with ".".
void removeDirectoryTreeContents(const std::string& directory);
// removeDirectoryTreeContents, then the directory itself. The process's current directory
// moves to the parent first when it is `directory`: no system removes a current directory.
void removeDirectoryTree(const std::string& directory);
// Moves the current directory to the parent of `directory` when it is `directory`.
void leaveDirectory(const std::string& directory);
