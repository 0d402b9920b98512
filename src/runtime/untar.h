// The reader of the included runtime's archive: a gzip-compressed tar stream, read through
// zlib's gz functions and written below a target directory. It knows directories and regular
// files (types '0', '7' and the old zero byte); a hard or symbolic link to a file written
// earlier becomes a copy of that file. Any other link or entry type (devices, FIFOs, sparse
// files, unknown types) makes the archive unusable rather than leave a hole in the runtime. Long names are taken from GNU long-name entries, pax "path" records and the POSIX
// ustar name prefix. The archive is untrusted: an entry that would land outside the target
// directory, a size that is not an octal number, a stream that ends before the end-of-archive
// block or fails its gzip check all make the archive corrupt. Memory stays bounded: data is
// streamed through one 32768-byte buffer (or, for an archive of sized gzip members, within the
// bound of parallel_inflate.h), and names are held up to kMaxTarEntryName bytes.
#pragma once

#include <zlib.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "payload/extract.h"

constexpr size_t kTarBlockSize = 512;
// Data is copied in chunks of at most this many bytes.
constexpr size_t kTarCopyChunk = 32768;
// Longest entry name accepted from any source (header, GNU long name, pax record), bytes.
constexpr size_t kMaxTarEntryName = 4096;
// Largest pax extended header read, bytes; a larger one marks a corrupt archive.
constexpr int32_t kMaxPaxHeaderSize = 65536;
// Within one file the bar moves at most this often, so a large runtime does not flood the
// dialog with messages.
constexpr uint64_t kTarProgressIntervalMs = 200;

// Progress of an extraction on the progress bar (positions of 400): the stream position
// scaled from 100 towards 200.
struct TarProgress {
  // Passed to setPosition (normally the run's Progress); none: no progress is shown.
  void* context = nullptr;
  // Size of the uncompressed tar stream in bytes (CFG_INCLUDED_JRE_SIZE).
  int64_t totalSize = 0;
  void (*setPosition)(void* context, int position) = nullptr;
  // A monotonic clock in milliseconds; null: the standard steady clock.
  uint64_t (*nowMs)() = nullptr;
};

// ---- Pure rules ----

// The numeric value of a tar number field of `width` bytes: leading blanks (and zeros), octal
// digits, then only NUL bytes or blanks. -1 for anything else: no digit at all, a character
// that is not an octal digit (8, 9, letters, GNU base-256 form), digits after the
// terminator, or a value above INT32_MAX.
int32_t parseOctal(const char* field, size_t width);

// The path of an entry below the target directory: "/" and "\" both separate; "." parts and
// empty parts are dropped; the parts are joined with "\" (bin/java.exe -> bin\java.exe).
// False for a name that could lead outside the directory or that Windows would take for
// something else: rooted, with a drive or stream (":"), a ".." part (any part ending in a
// dot or blank), control characters or <>"|?*, device names (CON, NUL, COM1 ...), or
// longer than kMaxTarEntryName. "./" gives an empty path (the directory itself).
bool tarEntryPath(const std::string& name, std::string& path);

// The path a symbolic link at `linkPath` (as tarEntryPath gives it) points to: `target` taken
// from the link's directory, "/" and "\" both separating, "." dropped and ".." climbing. False
// when it is absolute, climbs above the target directory, names the directory itself, or has
// a part tarEntryPath would refuse.
bool symbolicLinkTarget(const std::string& linkPath, const std::string& target, std::string& path);

// The text of a symbolic link at `linkPath` to `target` (both as tarEntryPath and
// symbolicLinkTarget give them, relative to the target directory): one "../" per directory
// above the link, then the target with "/" separators (bin\java -> lib\x gives "../lib/x").
std::string symbolicLinkText(const std::string& linkPath, const std::string& target);
// The bar position for the uncompressed stream position `streamPosition`:
// 100 + floor(100 * streamPosition / totalSize), kept within 100..200. 100 when either is
// not positive (nothing to scale by).
int tarProgressPosition(int64_t streamPosition, int64_t totalSize);

// ---- Reading and writing ----

// Writes the next `size` bytes of `stream` to targetDirectory\path (path as tarEntryPath
// gives it), logging "extracting %s (size %d)". True when all bytes were written. Fails
// with "stream error" on a write error and "sizes don't match: %d, %d" (written, size) when
// the stream ends early; the file is closed and left in place either way. A file that cannot
// be created logs "Could not open file %s" and ends the process (fatalError, exit code 1).
bool extractEntry(gzFile stream, const std::string& path, int32_t size, const TarProgress& progress,
                  const std::string& targetDirectory, const ExtractionTarget& files);

// The real file system of a Linux runtime: fileSystemTarget plus the permission bits of each
// file and symbolic links. Nothing is written through a symbolic link: a path whose
// directories include one (say a link made earlier in the archive) is refused.
const ExtractionTarget& runtimeTarget();

// Extracts the gzip-compressed tar archive at `archivePath` below `targetDirectory` (which
// must exist), in archive order. An archive of gzip members that carry their sizes (as the
// builder writes it; see gzip_members.h) is inflated on `inflateThreads` threads (0: one per
// processor, within the memory bound of parallel_inflate.h) while this thread writes the
// files; a member's bytes are written only once it has passed its checks, and a member that
// fails is the same corrupt archive as in one stream. Any other archive, or one whose member
// table does not hold up or whose first member does not inflate alone, is read as one
// stream; the choice is made before anything is written. a file whose directory the archive has not created before
// ends the process as extractEntry does. True when the archive ended with its end-of-archive
// block after at least one regular file. Each failure is logged as an error ("Could not open
// gz-file", "unexpected eof", "gzread failed", "no magic number", "invalid size field",
// "invalid entry name %s", "invalid extended header", "gzseek 2 failed", "gzseek 3 failed",
// "extract file failed"), then "untaring JRE was unsuccessful"; success logs
// "untaring JRE was successful". Files written before a failure stay.
bool untarGz(const std::string& archivePath, const std::string& targetDirectory,
             const TarProgress& progress, const ExtractionTarget& files, unsigned inflateThreads = 0);
