// Reading the runtime archive: tar headers over a gzip stream, entries written through an
// ExtractionTarget below the target directory.
#include "runtime/untar.h"

#include <algorithm>
#include <array>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>
#include <thread>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/temp_dir.h"
#include "runtime/gzip_members.h"
#include "runtime/parallel_inflate.h"

namespace {
// Header fields (offset, width) the reader uses.
constexpr size_t kNameOffset = 0;
constexpr size_t kNameWidth = 100;
constexpr size_t kModeOffset = 100;
constexpr size_t kModeWidth = 8;
constexpr size_t kSizeOffset = 124;
constexpr size_t kSizeWidth = 12;
constexpr size_t kTypeOffset = 156;
constexpr size_t kLinkNameOffset = 157;
constexpr size_t kLinkNameWidth = 100;
constexpr size_t kMagicOffset = 257;
// "ustar\0" (POSIX) and "ustar " (older GNU) differ in their sixth byte; only the POSIX
// form has the name prefix, GNU keeps other fields there.
constexpr size_t kMagicEndOffset = 262;
constexpr size_t kPrefixOffset = 345;
constexpr size_t kPrefixWidth = 155;

constexpr char kTypeRegular = '0';
// Old archives mark regular files with a zero byte, and '7' (contiguous) is a regular file
// to every system that does not know contiguous files.
constexpr char kTypeOldRegular = '\0';
constexpr char kTypeContiguous = '7';
constexpr char kTypeHardLink = '1';
constexpr char kTypeSymbolicLink = '2';
constexpr char kTypeDirectory = '5';
constexpr char kTypeGnuLongName = 'L';
constexpr char kTypeGnuLongLink = 'K';
constexpr char kTypePaxHeader = 'x';
constexpr char kTypePaxGlobal = 'g';

using Block = std::array<char, kTarBlockSize>;

// Bytes of compressed input zlib reads at a time (it keeps twice that for output).
constexpr unsigned kGzBufferSize = 128 * 1024;

uint64_t steadyMs() {
  using namespace std::chrono;
  return static_cast<uint64_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

uint64_t nowMs(const TarProgress& progress) {
  return progress.nowMs != nullptr ? progress.nowMs() : steadyMs();
}

bool showsProgress(const TarProgress& progress) {
  return progress.context != nullptr && progress.setPosition != nullptr;
}

// The unpacked tar stream as the tar reader sees it: one gzip stream read through zlib's gz
// functions, or the members of an archive inflated side by side.
class TarInput {
 public:
  virtual ~TarInput() = default;
  // Up to `want` bytes; *data points at them (in `scratch`, which holds `want` bytes, or in
  // the input's own memory), valid until the next call. -1 on a read error, 0 at the end.
  virtual int next(const char** data, char* scratch, unsigned want) = 0;
  // Up to `want` bytes copied into `buffer`: fewer only at the end; -1 on a read error.
  virtual int read(void* buffer, unsigned want) = 0;
  // Passes over `count` bytes; false on a read error.
  virtual bool skip(int64_t count) = 0;
  // True once a read has met the end.
  virtual bool atEnd() = 0;
  // Bytes of the unpacked stream read so far; -1 when unknown.
  virtual int64_t position() = 0;
  // After the stream has been read to its end: whether it failed a check (a gzip trailer,
  // a stream cut short).
  virtual bool damaged() = 0;
};

class GzInput : public TarInput {
 public:
  explicit GzInput(gzFile stream) : stream_(stream) {}
  int next(const char** data, char* scratch, unsigned want) override {
    *data = scratch;
    return gzread(stream_, scratch, want);
  }
  int read(void* buffer, unsigned want) override { return gzread(stream_, buffer, want); }
  // Forward skip relative to the current position. gzseek answers -1 also for a position
  // that does not fit its 32-bit result (Windows) although the skip is done; only a stream
  // error counts.
  bool skip(int64_t count) override {
    if (count <= 0) return true;
    if (gzseek(stream_, static_cast<z_off_t>(count), SEEK_CUR) != -1) return true;
    int error = Z_OK;
    gzerror(stream_, &error);
    return error == Z_OK || error == Z_BUF_ERROR;
  }
  bool atEnd() override { return gzeof(stream_) != 0; }
  // -1: an error, or a position that does not fit (32-bit z_off_t).
  int64_t position() override { return gztell(stream_); }
  bool damaged() override {
    int error = Z_OK;
    gzerror(stream_, &error);
    return error != Z_OK;
  }

 private:
  gzFile stream_;
};

class MemberInput : public TarInput {
 public:
  explicit MemberInput(ParallelMemberReader& reader) : reader_(reader) {}
  int next(const char** data, char*, unsigned want) override { return reader_.next(data, want); }
  int read(void* buffer, unsigned want) override { return reader_.read(buffer, want); }
  bool skip(int64_t count) override { return reader_.skip(count); }
  bool atEnd() override { return reader_.atEnd(); }
  int64_t position() override { return reader_.position(); }
  bool damaged() override { return reader_.failed(); }

 private:
  ParallelMemberReader& reader_;
};

void showStreamPosition(TarInput& input, const TarProgress& progress) {
  const int64_t position = input.position();
  // Unknown: leave the bar.
  if (position < 0) return;
  progress.setPosition(progress.context, tarProgressPosition(position, progress.totalSize));
}

// Text of a fixed-width field up to its first zero byte.
std::string fieldText(const char* field, size_t width) {
  return std::string(field, std::find(field, field + width, '\0'));
}

int32_t paddingOf(int32_t size) {
  const int32_t rest = size % static_cast<int32_t>(kTarBlockSize);
  return rest > 0 ? static_cast<int32_t>(kTarBlockSize) - rest : 0;
}

// The stream closes itself on every way out, a fatal error's unwinding in tests included.
class GzStream {
 public:
  explicit GzStream(gzFile stream) : stream_(stream) {}
  ~GzStream() {
    if (stream_ != nullptr) gzclose(stream_);
  }
  GzStream(const GzStream&) = delete;
  GzStream& operator=(const GzStream&) = delete;
  gzFile get() const { return stream_; }

 private:
  gzFile stream_;
};

class TargetFile {
 public:
  explicit TargetFile(const ExtractionTarget& files) : files_(files) {}
  ~TargetFile() { close(); }
  TargetFile(const TargetFile&) = delete;
  TargetFile& operator=(const TargetFile&) = delete;
  bool open(const std::string& path) {
    open_ = files_.createFile(files_.context, path, &sink_);
    return open_;
  }
  // All of `count` bytes, or false on an error or a write that takes nothing.
  bool writeAll(const char* data, uint32_t count) {
    uint32_t done = 0;
    while (done < count) {
      uint32_t written = 0;
      uint32_t error = 0;
      if (!sink_.write(sink_.context, data + done, count - done, &written, &error) ||
          written == 0 || written > count - done) {
        return false;
      }
      done += written;
    }
    return true;
  }
  void close() {
    if (open_) files_.closeFile(files_.context, sink_);
    open_ = false;
  }

 private:
  const ExtractionTarget& files_;
  ByteSink sink_;
  bool open_ = false;
};

bool copyEntry(TarInput& input, const std::string& path, int32_t size, const TarProgress& progress,
               const std::string& targetDirectory, const ExtractionTarget& files,
               std::vector<char>& buffer) {
  logMessage("extracting %s (size %d)", path.c_str(), static_cast<int>(size));
  TargetFile file(files);
  if (!file.open(joinPath(targetDirectory, path))) {
    logError("Could not open file %s", path.c_str());
    fatalError("Could not open file " + path + "\n");
  }
  int64_t written = 0;
  bool streamError = false;
  bool updated = false;
  uint64_t lastUpdate = 0;
  while (written < size) {
    const unsigned want =
        static_cast<unsigned>(std::min<int64_t>(size - written, static_cast<int64_t>(buffer.size())));
    const char* data = nullptr;
    const int got = input.next(&data, buffer.data(), want);
    if (got <= 0) break;
    written += got;
    if (!file.writeAll(data, static_cast<uint32_t>(got))) {
      streamError = true;
      break;
    }
    if (showsProgress(progress)) {
      const uint64_t now = nowMs(progress);
      if (!updated || now - lastUpdate > kTarProgressIntervalMs) {
        showStreamPosition(input, progress);
        lastUpdate = now;
        updated = true;
      }
    }
  }
  file.close();
  if (streamError) {
    logError("stream error");
    return false;
  }
  if (written >= size) return true;
  logError("sizes don't match: %d, %d", static_cast<int>(written), static_cast<int>(size));
  return false;
}

// Records of a pax extended header: "<length> <key>=<value>\n", the length in decimal
// counting the whole record. Only "path", "linkpath" and "size" matter to this reader.
bool parsePaxRecords(const std::string& data, std::string& path, bool& hasPath,
                     std::string& linkPath, bool& hasLinkPath, int64_t& size) {
  size_t at = 0;
  while (at < data.size()) {
    size_t p = at;
    size_t length = 0;
    while (p < data.size() && data[p] >= '0' && data[p] <= '9') {
      length = length * 10 + static_cast<size_t>(data[p] - '0');
      if (length > data.size()) return false;
      ++p;
    }
    if (p == at || p >= data.size() || data[p] != ' ') return false;
    if (length > data.size() - at || at + length <= p + 1) return false;
    const size_t end = at + length;
    if (data[end - 1] != '\n') return false;
    const std::string record = data.substr(p + 1, end - 1 - (p + 1));
    const size_t equals = record.find('=');
    if (equals == std::string::npos) return false;
    const std::string key = record.substr(0, equals);
    const std::string value = record.substr(equals + 1);
    if (key == "path") {
      path = value;
      hasPath = true;
    } else if (key == "linkpath") {
      linkPath = value;
      hasLinkPath = true;
    } else if (key == "size") {
      int64_t parsed = 0;
      if (value.empty()) return false;
      for (char c : value) {
        if (c < '0' || c > '9') return false;
        parsed = parsed * 10 + (c - '0');
        if (parsed > std::numeric_limits<int32_t>::max()) return false;
      }
      size = parsed;
    }
    at = end;
  }
  return true;
}

class TarReader {
 public:
  TarReader(TarInput& input, const std::string& targetDirectory, const TarProgress& progress,
            const ExtractionTarget& files)
      : input_(input),
        targetDirectory_(targetDirectory),
        progress_(progress),
        files_(files),
        buffer_(kTarCopyChunk) {}

  bool run() {
    Block header;
    bool extractedAny = false;
    for (;;) {
      if (input_.atEnd()) return fail("unexpected eof");
      const int got = input_.read(header.data(), static_cast<unsigned>(header.size()));
      if (got < 0) return fail("gzread failed");
      // A stream that stops before the end-of-archive block was cut short somewhere.
      if (static_cast<size_t>(got) < header.size()) return fail("unexpected eof");
      if (std::all_of(header.begin(), header.end(), [](char c) { return c == '\0'; })) {
        // An archive of directories alone holds no runtime.
        if (!extractedAny) return fail("no magic number");
        return finish();
      }
      if (std::memcmp(header.data() + kMagicOffset, "ustar", 5) != 0) {
        return fail("no magic number");
      }
      const int32_t headerSize = parseOctal(header.data() + kSizeOffset, kSizeWidth);
      if (headerSize < 0) return fail("invalid size field");
      const char type = header[kTypeOffset];

      if (type == kTypeGnuLongName || type == kTypeGnuLongLink || type == kTypePaxHeader) {
        if (!readExtendedName(type, headerSize)) return false;
        continue;
      }
      if (type == kTypePaxGlobal) {
        // Global pax records set nothing this reader keeps.
        if (!skipEntry(headerSize)) return false;
        continue;
      }

      const int32_t size = paxSize_ >= 0 ? static_cast<int32_t>(paxSize_) : headerSize;
      const std::string name = entryName(header);
      const std::string linkName = hasLongLink_ ? longLink_ : fieldText(header.data() + kLinkNameOffset, kLinkNameWidth);
      hasLongName_ = false;
      hasLongLink_ = false;
      paxSize_ = -1;
      const bool regular = type == kTypeRegular || type == kTypeOldRegular || type == kTypeContiguous;
      if (type == kTypeDirectory || regular) {
        std::string path;
        if (!tarEntryPath(name, path) || (regular && path.empty())) {
          logError("invalid entry name %s", name.c_str());
          return false;
        }
        if (type == kTypeDirectory) {
          // Parents come earlier in the archive; a directory that cannot be made shows up as
          // the failure of the first file in it.
          if (!path.empty()) files_.createDirectory(files_.context, joinPath(targetDirectory_, path));
          if (!skipBytes(size)) return fail("gzseek 2 failed");
        } else {
          if (showsProgress(progress_)) showStreamPosition(input_, progress_);
          if (!copyEntry(input_, path, size, progress_, targetDirectory_, files_, buffer_)) {
            return fail("extract file failed");
          }
          const int32_t mode = parseOctal(header.data() + kModeOffset, kModeWidth);
          if (files_.setMode != nullptr && mode >= 0) {
            files_.setMode(files_.context, joinPath(targetDirectory_, path), static_cast<uint32_t>(mode) & 0777);
          }
          extractedAny = true;
        }
      } else if (type == kTypeHardLink || type == kTypeSymbolicLink) {
        // Where the target can hold symbolic links (Linux), one that stays inside is made as
        // such. Otherwise the runtime's file system may hold no links: a link to a file the
        // archive has already written becomes a copy of it; any other link cannot be
        // represented.
        if (type == kTypeSymbolicLink && files_.createSymbolicLink != nullptr) {
          if (!makeSymbolicLink(name, linkName)) return false;
        } else if (!copyLink(type, name, linkName)) {
          return false;
        }
        if (!skipBytes(size)) return fail("gzseek 2 failed");
      } else {
        // Devices, FIFOs, sparse files and types this reader does not know: skipping them
        // would leave a runtime with holes that only shows when it runs.
        logError("unsupported entry type %d for %s", static_cast<int>(static_cast<unsigned char>(type)),
                 name.c_str());
        return false;
      }
      if (!skipBytes(paddingOf(size))) return fail("gzseek 3 failed");
    }
  }

 private:
  bool fail(const char* text) {
    logError("%s", text);
    return false;
  }

  bool skipBytes(int64_t count) { return input_.skip(count); }

  // A hard link names its target from the archive's root, a symbolic link from the link's
  // own directory; either way the target must be a file already written inside the target.
  bool copyLink(char type, const std::string& name, const std::string& linkName) {
    std::string path;
    if (!tarEntryPath(name, path) || path.empty()) {
      logError("invalid entry name %s", name.c_str());
      return false;
    }
    std::string target;
    const bool inside = type == kTypeHardLink ? tarEntryPath(linkName, target) && !target.empty()
                                              : symbolicLinkTarget(path, linkName, target);
    if (!inside) {
      logError("invalid link %s -> %s", name.c_str(), linkName.c_str());
      return false;
    }
    logMessage("copying %s to %s", target.c_str(), path.c_str());
    if (files_.copyFile == nullptr ||
        !files_.copyFile(files_.context, joinPath(targetDirectory_, target), joinPath(targetDirectory_, path))) {
      logError("link target is not an extracted file: %s -> %s", name.c_str(), linkName.c_str());
      return false;
    }
    return true;
  }

  // Written in its resolved form (climbing only out of the link's own directory, then down to
  // the resolved target), so what the system follows is what was checked to stay inside.
  bool makeSymbolicLink(const std::string& name, const std::string& linkName) {
    std::string path, target;
    if (!tarEntryPath(name, path) || path.empty()) {
      logError("invalid entry name %s", name.c_str());
      return false;
    }
    if (!symbolicLinkTarget(path, linkName, target)) {
      logError("invalid link %s -> %s", name.c_str(), linkName.c_str());
      return false;
    }
    const std::string text = symbolicLinkText(path, target);
    logMessage("linking %s to %s", path.c_str(), text.c_str());
    if (!files_.createSymbolicLink(files_.context, joinPath(targetDirectory_, path), text)) {
      logError("could not create link %s -> %s", name.c_str(), linkName.c_str());
      return false;
    }
    return true;
  }

  bool skipEntry(int32_t size) {
    if (!skipBytes(size)) return fail("gzseek 2 failed");
    if (!skipBytes(paddingOf(size))) return fail("gzseek 3 failed");
    return true;
  }

  // The data of a GNU long-name entry or a pax header, bounded, then its padding.
  bool readExtendedName(char type, int32_t size) {
    const int32_t limit = type == kTypePaxHeader ? kMaxPaxHeaderSize : static_cast<int32_t>(kMaxTarEntryName) + 1;
    if (size > limit) return fail("invalid extended header");
    std::string data(static_cast<size_t>(size), '\0');
    if (size > 0) {
      const int got = input_.read(&data[0], static_cast<unsigned>(size));
      if (got < 0) return fail("gzread failed");
      if (got < size) return fail("unexpected eof");
    }
    if (!skipBytes(paddingOf(size))) return fail("gzseek 3 failed");
    if (type == kTypeGnuLongName) {
      longName_ = fieldText(data.data(), data.size());
      hasLongName_ = true;
      return true;
    }
    if (type == kTypeGnuLongLink) {
      longLink_ = fieldText(data.data(), data.size());
      hasLongLink_ = true;
      return true;
    }
    std::string path, linkPath;
    bool hasPath = false, hasLinkPath = false;
    int64_t paxSize = -1;
    if (!parsePaxRecords(data, path, hasPath, linkPath, hasLinkPath, paxSize)) return fail("invalid extended header");
    if (hasPath) {
      longName_ = path;
      hasLongName_ = true;
    }
    if (hasLinkPath) {
      longLink_ = linkPath;
      hasLongLink_ = true;
    }
    if (paxSize >= 0) paxSize_ = paxSize;
    return true;
  }

  std::string entryName(const Block& header) const {
    if (hasLongName_) return longName_;
    const std::string name = fieldText(header.data() + kNameOffset, kNameWidth);
    if (header[kMagicEndOffset] != '\0') return name;
    const std::string prefix = fieldText(header.data() + kPrefixOffset, kPrefixWidth);
    return prefix.empty() ? name : prefix + "/" + name;
  }

  // After the end-of-archive block: the rest of the stream is read so that zlib checks the
  // gzip trailer (CRC-32 and length) and notices a stream cut short.
  bool finish() {
    for (;;) {
      const int got = input_.read(buffer_.data(), static_cast<unsigned>(buffer_.size()));
      if (got < 0) return fail("gzread failed");
      if (got == 0) break;
    }
    if (input_.damaged()) return fail("unexpected eof");
    return true;
  }

  TarInput& input_;
  const std::string& targetDirectory_;
  const TarProgress& progress_;
  const ExtractionTarget& files_;
  std::vector<char> buffer_;
  std::string longName_;
  bool hasLongName_ = false;
  std::string longLink_;
  bool hasLongLink_ = false;
  int64_t paxSize_ = -1;
};

// The archive file, read at offsets by the inflating threads (one at a time).
class ArchiveFile {
 public:
  explicit ArchiveFile(const std::string& path) : file_(std::fopen(path.c_str(), "rb")) {}
  ~ArchiveFile() {
    if (file_ != nullptr) std::fclose(file_);
  }
  ArchiveFile(const ArchiveFile&) = delete;
  ArchiveFile& operator=(const ArchiveFile&) = delete;
  // The file's size; -1 when it cannot be read or does not fit a long (the stdio offset).
  int64_t size() {
    if (file_ == nullptr || std::fseek(file_, 0, SEEK_END) != 0) return -1;
    return std::ftell(file_);
  }
  bool readAt(int64_t offset, void* data, size_t count) {
    if (offset < 0 || offset > std::numeric_limits<long>::max()) return false;
    return std::fseek(file_, static_cast<long>(offset), SEEK_SET) == 0 &&
           std::fread(data, 1, count, file_) == count;
  }

 private:
  std::FILE* file_;
};

// The parallel reader over the archive at `path` when its members carry their sizes and
// the first of them inflates; null otherwise (the archive is then read as one stream, and
// nothing has been written yet).
std::unique_ptr<ParallelMemberReader> startParallelReader(const std::string& path, unsigned threads) {
  const auto file = std::make_shared<ArchiveFile>(path);
  const int64_t size = file->size();
  if (size <= 0) return nullptr;
  const ArchiveReadAt readAt = [file](int64_t offset, void* data, size_t count) {
    return file->readAt(offset, data, count);
  };
  std::vector<GzipMember> members;
  if (!readGzipMemberTable(readAt, size, members)) return nullptr;
  const unsigned count = inflateThreadCount(threads, std::thread::hardware_concurrency(), members.front().size);
  auto reader = std::make_unique<ParallelMemberReader>(readAt, std::move(members), count);
  if (!reader->started()) return nullptr;
  if (!reader->firstMemberInflates()) {
    logMessage("the first gzip member does not inflate alone; reading the archive as one stream");
    return nullptr;
  }
  return reader;
}
}  // namespace

int32_t parseOctal(const char* field, size_t width) {
  const char* const end = std::find(field, field + width, '\0');
  const char* p = field;
  while (p < end && *p == ' ') ++p;
  int64_t value = 0;
  const char* const digits = p;
  for (; p < end && *p >= '0' && *p <= '7'; ++p) {
    value = value * 8 + (*p - '0');
    if (value > std::numeric_limits<int32_t>::max()) return -1;
  }
  if (p == digits) return -1;
  while (p < end && *p == ' ') ++p;
  return p == end ? static_cast<int32_t>(value) : -1;
}

bool tarEntryPath(const std::string& name, std::string& path) {
  path.clear();
  if (name.size() > kMaxTarEntryName) return false;
  if (!name.empty() && (name[0] == '/' || name[0] == '\\')) return false;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i < name.size() && name[i] != '/' && name[i] != '\\') continue;
    const std::string part = name.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == ".") continue;
    // One part at a time: no separator is left in it, so this is the plain name rule.
    if (!isSafeIncludedFileName(part)) {
      path.clear();
      return false;
    }
    if (!path.empty()) path += '\\';
    path += part;
  }
  return true;
}

std::string symbolicLinkText(const std::string& linkPath, const std::string& target) {
  std::string text;
  for (char c : linkPath) {
    if (c == '\\') text += "../";
  }
  for (char c : target) text += c == '\\' ? '/' : c;
  return text;
}

bool symbolicLinkTarget(const std::string& linkPath, const std::string& target, std::string& path) {
  path.clear();
  if (target.empty() || target.size() > kMaxTarEntryName || target[0] == '/' || target[0] == '\\') return false;
  std::vector<std::string> parts;
  // The link's own directory first: everything before its last part.
  size_t start = 0;
  for (size_t i = 0; i <= linkPath.size(); ++i) {
    if (i < linkPath.size() && linkPath[i] != '\\') continue;
    parts.push_back(linkPath.substr(start, i - start));
    start = i + 1;
  }
  parts.pop_back();
  start = 0;
  for (size_t i = 0; i <= target.size(); ++i) {
    if (i < target.size() && target[i] != '/' && target[i] != '\\') continue;
    const std::string part = target.substr(start, i - start);
    start = i + 1;
    if (part.empty() || part == ".") continue;
    if (part == "..") {
      if (parts.empty()) return false;
      parts.pop_back();
      continue;
    }
    if (!isSafeIncludedFileName(part)) return false;
    parts.push_back(part);
  }
  for (const std::string& part : parts) {
    if (!path.empty()) path += '\\';
    path += part;
  }
  return !path.empty();
}

int tarProgressPosition(int64_t streamPosition, int64_t totalSize) {
  if (streamPosition <= 0 || totalSize <= 0) return 100;
  if (streamPosition >= totalSize) return 200;
  // streamPosition < totalSize, so 100 * streamPosition fits whenever totalSize does.
  if (totalSize <= std::numeric_limits<int64_t>::max() / 100) {
    return 100 + static_cast<int>(streamPosition * 100 / totalSize);
  }
  return 100 + static_cast<int>(streamPosition / (totalSize / 100));
}

bool extractEntry(gzFile stream, const std::string& path, int32_t size, const TarProgress& progress,
                  const std::string& targetDirectory, const ExtractionTarget& files) {
  std::vector<char> buffer(kTarCopyChunk);
  GzInput input(stream);
  return copyEntry(input, path, size, progress, targetDirectory, files, buffer);
}

bool untarGz(const std::string& archivePath, const std::string& targetDirectory,
             const TarProgress& progress, const ExtractionTarget& files, unsigned inflateThreads) {
  bool ok = false;
  std::unique_ptr<ParallelMemberReader> parallel = startParallelReader(archivePath, inflateThreads);
  if (parallel) {
    logMessage("inflating %d gzip members on %d threads", static_cast<int>(parallel->memberCount()),
               static_cast<int>(parallel->threadCount()));
    MemberInput input(*parallel);
    TarReader reader(input, targetDirectory, progress, files);
    ok = reader.run();
  } else {
    GzStream stream(gzopen(archivePath.c_str(), "rb"));
    if (stream.get() == nullptr) {
      logError("Could not open gz-file");
      return false;
    }
    // A larger buffer than zlib's default 8 KiB: fewer reads of the archive and fewer passes
    // through the inflate loop for the headers and short tails copied through it.
    gzbuffer(stream.get(), kGzBufferSize);
    GzInput input(stream.get());
    TarReader reader(input, targetDirectory, progress, files);
    ok = reader.run();
  }
  if (ok) {
    logMessage("untaring JRE was successful");
  } else {
    logError("untaring JRE was unsuccessful");
  }
  return ok;
}
