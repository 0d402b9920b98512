// Extraction of the included files: the payload entries that follow the configuration
// records are written, unscrambled, into the run's temporary directory, at most one
// directory level deep. Files are streamed through one 8192-byte buffer, so memory stays
// constant.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "payload/payload_reader.h"

// Results of extraction: success, the media file could not be read (or ended early, or an
// entry is unacceptable), a target file could not be written.
constexpr int kExtractOk = 0;
constexpr int kExtractReadFailed = 1;
constexpr int kExtractWriteFailed = 2;

constexpr size_t kCopyBufferSize = 8192;

// Where copied bytes go.
struct ByteSink {
  void* context = nullptr;
  // Writes up to `count` bytes; stores the number written in *written. Returns false on a
  // system error and stores its code in *error.
  bool (*write)(void* context, const void* data, uint32_t count, uint32_t* written,
                uint32_t* error) = nullptr;
};

enum class DirectoryResult { Created, AlreadyExists, Failed };

// The file system side of extraction, so the same rules run over Win32 and test doubles.
struct ExtractionTarget {
  void* context = nullptr;
  // Creates one directory level.
  DirectoryResult (*createDirectory)(void* context, const std::string& path) = nullptr;
  // Creates (or truncates) a file for writing, unshared; false when it cannot.
  bool (*createFile)(void* context, const std::string& path, ByteSink* file) = nullptr;
  void (*closeFile)(void* context, ByteSink& file) = nullptr;
  // Copies the regular file `from` to `to` (created or truncated); false when `from` is not a
  // regular file or either side fails. Null: copies are not possible on this target.
  bool (*copyFile)(void* context, const std::string& from, const std::string& to) = nullptr;
  // Linux runtimes only (null elsewhere): the permission bits (0777 part) of a written file,
  // and a symbolic link at `path` holding `text`; false when it cannot be made.
  void (*setMode)(void* context, const std::string& path, uint32_t mode) = nullptr;
  bool (*createSymbolicLink)(void* context, const std::string& path, const std::string& text) = nullptr;
  // emptyDirectory and RemoveDirectoryA; failures ignored.
  void (*emptyDirectory)(void* context, const std::string& path) = nullptr;
  void (*removeDirectory)(void* context, const std::string& path) = nullptr;
};

// ---- Pure rules ----

// XORs every byte with kScrambleMask; the scrambling is its own inverse.
void unscrambleBytes(uint8_t* data, size_t count);
// Names that extraction takes: the ";"-separated list with empty items dropped, at most
// `count` of them.
std::vector<std::string> includedFileNames(const std::string& list, int count);
// Whether an included file lies in `directory` (its first level, compared without ASCII case),
// so that the extraction made it.
bool includedNamesUseDirectory(const std::vector<std::string>& names, const std::string& directory);
// The device a name part opens on Windows whatever its directory ("CON", "COM0", "CONIN$"
// ...; case, an extension and blanks before it do not matter), or "" for an ordinary name.
std::string windowsDeviceName(const std::string& part);
// Why one part of an included name (no separators in it) cannot name a file in the
// extraction directory, or "" when it can: empty, "." or "..", a character Windows does not
// allow, a trailing dot or blank, a device name. The builder refuses with the same rule, so
// a media file it writes is never refused here.
std::string includedNamePartProblem(const std::string& part);
// A name that stays inside the extraction directory: relative, no drive or stream, no "."
// or ".." (or other all-dot) part, at most one directory level, no character a Windows file
// name cannot hold, no device name. Anything else marks a corrupt media file.
bool isSafeIncludedFileName(const std::string& name);

// Copies `count` bytes (nothing when count <= 0) from `source` to `target`, unscrambling
// when asked. Returns kExtractOk, kExtractReadFailed (logs "ReadFile failed ...") or
// kExtractWriteFailed (logs "WriteFile failed ..."; a write that makes no progress counts).
int copyBlock(ByteSource& source, ByteSink& target, int64_t count, bool unscramble);
// Reads one entry's size (fatal "Internal Error: readLong" when it cannot) and writes its
// content to `path`; a size <= 0 creates nothing. A file that cannot be created is the
// fatal internal error "11". Returns copyBlock's result.
int extractFile(ByteSource& media, const std::string& path, const ExtractionTarget& target);
// Extracts the entries that start at `startPosition` under the names given, creating at
// most one directory level per name. On any failure (including an unsafe name, checked
// before anything is written) empties and removes `directory` and returns the code.
// On success stores the position after the last entry in *endPosition.
int extractEntries(ByteSource& media, int64_t startPosition, const std::string& directory,
                   const std::vector<std::string>& names, const ExtractionTarget& target,
                   int64_t* endPosition);

// ---- System-bound operations ----

// The real file system: Win32 calls on Windows; POSIX calls elsewhere, where backslashes in
// paths are taken as directory separators.
const ExtractionTarget& fileSystemTarget();

// Extracts the included files of the launcher's own media file, whose entries start at
// `configEnd`, into `directory` and stores the position after the last entry in
// *unextractedPosition. With no included files the media file is not touched and
// *unextractedPosition is left as it was. Returns 0, kExtractReadFailed or kExtractWriteFailed.
int extractIncludedFiles(const std::string& directory, int64_t configEnd, int64_t* unextractedPosition);
// The same through the run's open media file (a MediaFile's source).
int extractIncludedFiles(ByteSource& media, const std::string& directory, int64_t configEnd,
                         int64_t* unextractedPosition);
