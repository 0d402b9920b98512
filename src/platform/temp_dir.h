// Temporary directories and file names. The launcher extracts into a directory of its own
// under the user's temporary root, and needs a few unique file names besides. All paths are
// narrow (ANSI code page).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// Longest narrow path the launcher's path buffers hold, in bytes, terminator excluded.
constexpr size_t kMaxNarrowPath = 8191;

// ---- Pure rules ----

// `directory` joined with `name`, a backslash between them only when `directory` does not
// already end with one.
std::string joinPath(const std::string& directory, const std::string& name);
// The writability probe: directory + "\qlz_w_testdir" (always adds the backslash, so a root
// ending in one gets a doubled backslash, which the system accepts).
std::string writableProbePath(const std::string& directory);
// HOMEDRIVE followed by HOMEPATH, cut to kMaxNarrowPath bytes; no trailing backslash added.
std::string homeTempRoot(const std::string& homeDrive, const std::string& homePath);
// The name used when the system cannot make a temporary file: root, "qlz", decimal number.
std::string fallbackTempFileName(const std::string& root, int number);
// The process communication file: root, "qlz_p", decimal number, ".tmp".
std::string processFileName(const std::string& root, uint32_t number);
// The launcher's directory beside its placeholder file: the placeholder's path + "_dir".
std::string launcherTempDirFor(const std::string& placeholderFile);
// The other way round; empty when `directory` does not end in "_dir".
std::string placeholderFileOf(const std::string& directory);
// A root the narrow file functions cannot use: its long form (or, when that cannot be
// obtained, the root itself) holds "?", the mark of a character without an ANSI form.
bool tempRootNeedsReplacement(const std::string& root, const std::string* longForm);
// The replacement roots in the order they are tried: Windows dir + "\temp", "c:\temp",
// "c:\tmp", the Windows dir itself. ("c:\tmp" is tried again after creating it; see below.)
std::vector<std::string> replacementTempRoots(const std::string& windowsDir);
// Picks the first writable replacement root; when none is, and "c:\" is writable, creates
// "c:\tmp" with `makeDir` and takes it if it is then writable. Empty when nothing is usable.
std::string chooseReplacementTempRoot(const std::string& windowsDir,
                                      const std::function<bool(const std::string&)>& isWritable,
                                      const std::function<void(const std::string&)>& makeDir);
// emptyDirectory leaves alone an empty path and one starting with "." (relative to
// wherever the process happens to be).
bool mayEmptyDirectory(const std::string& directory);

// ---- System-bound operations ----

// The temporary root, computed afresh (with its log lines) at every call. Never fails:
// without a usable root the process ends with CFG_MSG_POWERUSER_REQUIRED (exit code 1).
std::string getTempPath();
// true when a directory can be created inside `directory`; the probe never stays behind.
bool isWritableDir(const std::string& directory);
// A new unique file path under the temporary root; normally the system has just created it
// empty. When it cannot, the name is made from the system's random generator (which cannot be
// guessed) and nothing is created.
std::string makeTempFileName();
// The temporary root followed by "qlz_p", `number` and ".tmp". Creates nothing.
std::string makeProcessFileName(uint32_t number);
// Makes and creates this run's own temporary directory and returns it, without trailing
// backslash; ends the process with InternalError::TempDirectory when the directory cannot be
// created. The placeholder file stays beside it.
std::string createLauncherTempDir();
// Deletes the files directly inside `directory` and removes its empty subdirectories; one
// level only, failures ignored.
void emptyDirectory(const std::string& directory);

// The Linux launcher: `directory` is removed with removeDirectoryTree (platform/remove_tree.h)
// when the process ends: through exit (the end of main, the Java program's System.exit) and
// through the error family's ends (setExitCleanup: a fatal error).
void removeTempDirAtExit(const std::string& directory);

// Test seam: where the system's answers come from. A null member keeps the real call.
struct TempRootSources {
  // The system's temporary folder (GetTempPathW, taken in its exact narrow form or short
  // name): returns its length (0 on failure or without an exact form) and the path in `out`.
  uint32_t (*tempPath)(std::string& out) = nullptr;
  // GetWindowsDirectoryA.
  std::string (*windowsDirectory)() = nullptr;
};
// Replaces the sources until called again with nullptr.
void setTempRootSourcesForTesting(const TempRootSources* sources);
