// Paths and command lines. The launcher works with narrow paths (ANSI code page) because it
// hands them to narrow system calls and to the Java runtime; these operations produce safe
// narrow forms. Relative paths resolve against the launcher's own directory, never the
// current directory.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

// ---- Pure rules (no system calls) ----

// Runs of backslashes become one, except a leading pair (network path). Works through
// UTF-16; when the text has no narrow form afterwards the input stays unchanged.
void collapseBackslashes(std::string& path);
// true when the path is not absolute: at most 2 characters, a drive-relative path ("c:x"),
// or a rooted path without drive ("\x"). Also understands a path in double quotes.
bool isRelativePath(const std::string& path);
// Splits at ";" with strtok semantics: empty items vanish.
std::vector<std::string> splitList(const std::string& list, char separator = ';');
// Blank-separated arguments; double or single quotes group and are removed; text before an
// opening quote joins the quoted text; no escape character. Returns false on an unmatched
// quote (tokens found so far are left in `out`).
bool splitCommandLineChecked(const std::u16string& text, std::vector<std::u16string>& out);
// As above, but an unmatched quote is the fatal CFG_MSG_WRONG_PARAMETER (exit code 1).
void splitCommandLine(const std::u16string& text, std::vector<std::u16string>& out);
// The narrow form used for option lines: converted to UTF-16, split, converted back ("?"
// for a character without narrow form).
void splitNarrowCommandLine(const std::string& text, std::vector<std::string>& out);
// The pattern listDirectory searches: directory, "\*", "." unless the extension has one,
// and the extension ("lib" + "jar" -> "lib\*.jar").
std::string directoryPattern(const std::string& directory, const std::string& extension);
// true for "X:\", "X:\." and "X:\.\." (any first character): roots that always exist.
bool isDriveRoot(const std::string& path);
// The module-path test: a converted name is usable when it needed no default character,
// is longer than 3 characters and ends in ".exe" (any case).
bool isUsableModulePath(const std::string& narrow, bool converted);
// The directory part of a path: everything up to and including the last backslash
// ("" when there is none).
std::string directoryPart(const std::string& path);
// The candidates for `fileName` along a PATH value, in order: each absolute directory of the
// ";"-separated list (quotes around an item removed) joined with `fileName`. Relative items
// (".", "bin", "\x") are left out: they would resolve against whatever directory the process
// is in, and the installer's own folder, which may hold files nobody checked, is never
// searched. Candidates longer than `maxLength` bytes are left out too.
std::vector<std::string> pathCandidates(const std::string& pathValue, const std::string& fileName,
                                        size_t maxLength);
// What the long-path binder settles on after its first call: the system's GetLongPathNameA
// when it exists and either succeeded or failed for another reason than
// ERROR_CALL_NOT_IMPLEMENTED (120); the shell-based emulation otherwise.
enum class LongPathBinding { System, Emulation };
LongPathBinding chooseLongPathBinding(bool systemFunctionExists, uint32_t result,
                                      uint32_t lastError);

// ---- System-bound operations ----

// true when GetVersionExA reports an NT system.
bool isNT();
// The launcher's executable: the long name when the ANSI code page can hold it, else the
// 8.3 short name. Cached; backslashes collapsed.
const std::string& getModulePath();
// The executable's directory with a trailing backslash. Cached.
const std::string& getExeDir();
// GetLongPathNameA where it works, else the shell-based emulation. Returns the length
// written (without terminator), the size needed when `size` is too small, or 0 on failure.
// `size` counts bytes including the terminator.
// The binding is settled at the first call and kept for the process.
uint32_t resolveLongPathName(const char* path, char* buffer, uint32_t size);
// The shell-based long-path emulation for systems without GetLongPathNameA; sets the last
// error as GetLongPathNameA would. Public so tests can call it directly.
uint32_t emulateLongPathName(const char* path, char* buffer, uint32_t size);
// True when `path` is rooted in this system's own way beyond the rules above: on Linux a
// path beginning with "/" (never relative to the launcher). Always false on Windows.
bool isSystemRootedPath(const std::string& path);
// `path` as this system's calls take it: on Linux every backslash (the separator the
// launcher joins with, and that build descriptions shared with Windows use) becomes "/";
// unchanged on Windows.
std::string systemPath(const std::string& path);
// Convenience: the long form of `path` (at most 8191 bytes), or `path` itself when the
// resolver fails.
std::string longPathOf(const std::string& path);
// Lower case through UTF-16; unchanged when the result has no narrow form.
void lowercasePath(std::string& path);
// Relative paths (and not rooted by the system) are taken relative to getExeDir();
// backslashes collapsed.
std::string makeAbsolute(const std::string& path);
// makeAbsolute, GetFullPathNameA, lower-cased unless keepCase, backslashes collapsed.
std::string normalizePath(const std::string& path, bool keepCase);
// makeAbsolute applied to every non-empty element of a ";" list, joined by ";".
std::string absolutizePathList(const std::string& list);
// Drive roots exist without asking the system; everything else through FindFirstFileA,
// so wildcards match.
bool fileExists(const std::string& path);
// Existence plus last-write time (FILETIME halves, low half first) when `lastWrite` is given.
bool findFile(const std::string& path, uint32_t lastWrite[2] = nullptr);
// What names one open file whatever spelling, short name or link reached it: its volume and
// its index on that volume.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
  bool operator==(const FileIdentity& other) const { return volume == other.volume && index == other.index; }
};
// The identity of the open `file`; false when the system cannot tell.
bool fileIdentityOf(FILE* file, FileIdentity& identity);
// Bare names of the entries matching directoryPattern(directory, extension), in the order
// the system returns them (directories included); empty when nothing matches.
std::vector<std::string> listDirectory(const std::string& directory, const std::string& extension);
