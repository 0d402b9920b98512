// The runtime archive "jre.tar.gz": a ustar stream of a runtime directory's entries, made so
// that the same input always gives the same bytes (sorted entries, fixed owner, time and
// modes, fixed gzip header), compressed with zlib as a series of independent gzip members
// (one per fixed-size piece of the tar stream) so that the pieces compress on several threads,
// each carrying its size so that the launcher inflates them on several threads too. Any gzip
// reader reads such a series as one stream.
#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <future>
#include <string>
#include <vector>

#include "runtime_dir.h"
#include "status.h"

constexpr size_t kTarBlock = 512;
// The time and owner every entry carries.
constexpr int64_t kArchiveEntryTime = 0;
constexpr int kArchiveOwner = 0;
// The operating-system byte of every gzip member header (255: unknown), so that builders on
// different systems write the same bytes.
constexpr int kGzipOsByte = 255;
// Tar bytes per gzip member. Fixed, so that the output does not depend on the thread count;
// the launcher inflates the members side by side, holding a few of them at a time.
constexpr size_t kArchiveMemberInput = size_t(4) << 20;
constexpr int kArchiveCompressionLevel = 6;

// ---- Pure rules ----

// Splits a ustar entry name (directories with their trailing "/") into the 155-byte prefix
// and the 100-byte name field. False when it does not fit.
bool splitUstarName(const std::string& name, std::string& prefix, std::string& field);

// The 512-byte header block of `entry` for a launcher of `os`: Windows launchers get mode
// 0755 for directories and 0644 for files; Linux launchers 0755 for directories and executable
// files, 0644 for other files, 0777 for links. Empty when the name does not fit or a file
// is 2 GiB or larger (the launcher holds entry sizes in 32 bits).
std::string tarHeader(const RuntimeEntry& entry, TargetOs os);

// `count` bytes as one gzip member: zlib deflate at `level`, header with time 0, the fixed
// operating-system byte and the extra field holding the member's own size in bytes (see
// runtime/gzip_members.h), CRC-32 and length trailer. The one writer of members.
std::string gzipMember(const void* data, size_t count, int level);

// ---- Compression ----

// Takes a byte stream, cuts it into pieces of `memberInput` bytes and hands each piece's gzip
// member to `sink` in order. Up to `threads` pieces compress at once (0: one per processor);
// the output is the same for any thread count.
class ParallelGzipWriter {
 public:
  using Sink = std::function<bool(const std::string& member)>;
  ParallelGzipWriter(Sink sink, unsigned threads = 0, size_t memberInput = kArchiveMemberInput,
                     int level = kArchiveCompressionLevel);
  ~ParallelGzipWriter();
  ParallelGzipWriter(const ParallelGzipWriter&) = delete;
  ParallelGzipWriter& operator=(const ParallelGzipWriter&) = delete;

  // False once the sink has refused a member.
  bool write(const void* data, size_t count);
  // Compresses what is left (an empty stream gives one empty member) and waits for every
  // piece. False when the sink refused a member.
  bool finish();

  int64_t inputBytes() const { return input_; }
  int64_t outputBytes() const { return output_; }
  int64_t members() const { return members_; }

 private:
  void submit();
  bool drain(size_t keep);

  Sink sink_;
  unsigned threads_;
  size_t memberInput_;
  int level_;
  std::string piece_;
  std::deque<std::future<std::string>> pending_;
  bool failed_ = false;
  int64_t input_ = 0;
  int64_t output_ = 0;
  int64_t members_ = 0;
};

// ---- Packing ----

struct PackProgress {
  int64_t bytesDone = 0;   // file bytes packed so far
  int64_t bytesTotal = 0;
  size_t entriesDone = 0;
  size_t entriesTotal = 0;
};

struct PackOptions {
  unsigned threads = 0;  // 0: one per processor
  // Called now and then while packing (at most every few milliseconds' worth of data), and
  // once at the end.
  std::function<void(const PackProgress&)> progress;
};

struct PackedRuntime {
  int64_t tarSize = 0;      // the uncompressed tar stream, end blocks included
  int64_t archiveSize = 0;  // bytes written to the archive file
  int64_t members = 0;
};

// Writes the archive of `entries` (sorted, as scanRuntimeDirectory gives them) to
// `archivePath`, which appears only when complete. Exit code 1 when a file cannot be read,
// changed size while it was read, or the archive cannot be written; 2 for an entry that the
// archive cannot hold.
Status packRuntime(const std::vector<RuntimeEntry>& entries, TargetOs os, const std::string& archivePath,
                   const PackOptions& options, PackedRuntime& packed);
