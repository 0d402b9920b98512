#include "runtime_archive.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstring>
#include <thread>

#include "binary_file.h"
#include "runtime/gzip_members.h"

namespace {

// Octal digits of `value` in a field of `width` bytes: width-1 digits, then NUL.
void putOctal(std::string& block, size_t at, size_t width, uint64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "%0*llo", static_cast<int>(width - 1), static_cast<unsigned long long>(value));
  std::memcpy(&block[at], text, width - 1);
  block[at + width - 1] = '\0';
}

void putText(std::string& block, size_t at, const std::string& text) { std::memcpy(&block[at], text.data(), text.size()); }

uint32_t modeOf(const RuntimeEntry& entry, TargetOs os) {
  if (entry.kind == RuntimeEntryKind::Directory) return 0755;
  if (entry.kind == RuntimeEntryKind::Link) return 0777;
  return os == TargetOs::Linux && entry.executable ? 0755 : 0644;
}

std::string errnoText() { return std::strerror(errno); }

}  // namespace

bool splitUstarName(const std::string& name, std::string& prefix, std::string& field) {
  if (name.empty()) return false;
  if (name.size() <= 100) {
    prefix.clear();
    field = name;
    return true;
  }
  // The longest prefix that fits leaves the shortest name field; a shorter one only makes
  // the name field longer.
  for (size_t slash = std::min<size_t>(name.size() - 1, 155); slash > 0; --slash) {
    if (name[slash] != '/') continue;
    const size_t rest = name.size() - slash - 1;
    if (rest == 0) continue;  // a directory's own trailing "/"
    if (rest > 100) return false;
    prefix = name.substr(0, slash);
    field = name.substr(slash + 1);
    return true;
  }
  return false;
}

std::string tarHeader(const RuntimeEntry& entry, TargetOs os) {
  const bool directory = entry.kind == RuntimeEntryKind::Directory;
  const bool link = entry.kind == RuntimeEntryKind::Link;
  std::string prefix, field;
  if (!splitUstarName(directory ? entry.path + "/" : entry.path, prefix, field)) return std::string();
  if (link && (entry.linkTarget.empty() || entry.linkTarget.size() > 100)) return std::string();
  const int64_t size = directory || link ? 0 : entry.size;
  if (size < 0 || size > INT32_MAX) return std::string();

  std::string block(kTarBlock, '\0');
  putText(block, 0, field);
  putOctal(block, 100, 8, modeOf(entry, os));
  putOctal(block, 108, 8, kArchiveOwner);
  putOctal(block, 116, 8, kArchiveOwner);
  putOctal(block, 124, 12, static_cast<uint64_t>(size));
  putOctal(block, 136, 12, kArchiveEntryTime);
  block[156] = directory ? '5' : link ? '2' : '0';
  if (link) putText(block, 157, entry.linkTarget);
  putText(block, 257, std::string("ustar\0" "00", 8));
  putText(block, 345, prefix);
  // The checksum counts its own field as blanks: six octal digits, NUL, blank.
  std::memset(&block[148], ' ', 8);
  unsigned sum = 0;
  for (unsigned char c : block) sum += c;
  char text[8];
  std::snprintf(text, sizeof text, "%06o", sum);
  std::memcpy(&block[148], text, 6);
  block[154] = '\0';
  block[155] = ' ';
  return block;
}

std::string gzipMember(const void* data, size_t count, int level) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, 15 + 16, 8, Z_DEFAULT_STRATEGY) != Z_OK) return std::string();
  gz_header header{};
  header.time = 0;
  header.os = kGzipOsByte;
  // Room for the member's own size, filled in below once deflate has told it.
  std::string extra = memberSizeExtraField();
  header.extra = reinterpret_cast<Bytef*>(&extra[0]);
  header.extra_len = static_cast<uInt>(extra.size());
  deflateSetHeader(&z, &header);
  std::string out(deflateBound(&z, static_cast<uLong>(count)) + 64, '\0');
  z.next_in = static_cast<Bytef*>(const_cast<void*>(data));
  z.avail_in = static_cast<uInt>(count);
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  const int result = deflate(&z, Z_FINISH);
  out.resize(z.total_out);
  deflateEnd(&z);
  if (result != Z_STREAM_END || out.size() > UINT32_MAX || !putMemberSize(out, static_cast<uint32_t>(out.size()))) {
    return std::string();
  }
  return out;
}

ParallelGzipWriter::ParallelGzipWriter(Sink sink, unsigned threads, size_t memberInput, int level)
    : sink_(std::move(sink)),
      threads_(threads ? threads : std::max(1u, std::thread::hardware_concurrency())),
      memberInput_(memberInput),
      level_(level) {
  piece_.reserve(memberInput_);
}

ParallelGzipWriter::~ParallelGzipWriter() {
  for (auto& f : pending_) f.wait();
}

void ParallelGzipWriter::submit() {
  std::string piece;
  piece.swap(piece_);
  piece_.reserve(memberInput_);
  const int level = level_;
  if (threads_ <= 1) {
    std::promise<std::string> done;
    done.set_value(gzipMember(piece.data(), piece.size(), level));
    pending_.push_back(done.get_future());
    return;
  }
  pending_.push_back(std::async(std::launch::async, [piece = std::move(piece), level] {
    return gzipMember(piece.data(), piece.size(), level);
  }));
}

bool ParallelGzipWriter::drain(size_t keep) {
  while (pending_.size() > keep) {
    std::string member = pending_.front().get();
    pending_.pop_front();
    if (failed_) continue;
    if (member.empty() || !sink_(member)) {
      failed_ = true;
      continue;
    }
    output_ += static_cast<int64_t>(member.size());
    ++members_;
  }
  return !failed_;
}

bool ParallelGzipWriter::write(const void* data, size_t count) {
  const char* bytes = static_cast<const char*>(data);
  input_ += static_cast<int64_t>(count);
  while (count > 0 && !failed_) {
    const size_t take = std::min(count, memberInput_ - piece_.size());
    piece_.append(bytes, take);
    bytes += take;
    count -= take;
    if (piece_.size() == memberInput_) {
      submit();
      // One piece per thread in flight, while this thread goes on making the next.
      drain(threads_ > 1 ? threads_ : 0);
    }
  }
  return !failed_;
}

bool ParallelGzipWriter::finish() {
  if (!piece_.empty() || (members_ == 0 && pending_.empty())) submit();
  return drain(0);
}

Status packRuntime(const std::vector<RuntimeEntry>& entries, TargetOs os, const std::string& archivePath,
                   const PackOptions& options, PackedRuntime& packed) {
  packed = PackedRuntime();
  PendingOutput pending(archivePath);
  OutputFile file;
  if (!pending.create(file)) return Status::failure(kExitFailure, "cannot create " + archivePath + ": " + errnoText());
  ParallelGzipWriter gzip([&](const std::string& member) { return file.write(member.data(), member.size()); },
                          options.threads);
  auto writeFailed = [&] { return Status::failure(kExitFailure, "cannot write " + archivePath + ": " + errnoText()); };

  PackProgress progress;
  progress.entriesTotal = entries.size();
  for (const RuntimeEntry& e : entries) progress.bytesTotal += e.kind == RuntimeEntryKind::File ? e.size : 0;
  int64_t sinceReport = 0;
  auto report = [&](bool force) {
    if (options.progress && (force || sinceReport >= (int64_t(1) << 20))) {
      options.progress(progress);
      sinceReport = 0;
    }
  };

  std::vector<char> buffer(1 << 16);
  for (const RuntimeEntry& entry : entries) {
    const std::string header = tarHeader(entry, os);
    if (header.empty()) {
      return Status::failure(kExitBadInput, entry.source + ": cannot be stored in the runtime archive (a name over " +
                                                "255 bytes, a link target over 100 bytes, or a file of 2 GiB or more)");
    }
    if (!gzip.write(header.data(), header.size())) return writeFailed();
    if (entry.kind == RuntimeEntryKind::File) {
      InputFile in;
      std::string error;
      if (!in.open(entry.source, error)) return Status::failure(kExitFailure, "cannot read " + entry.source + ": " + error);
      if (in.size() != entry.size) return Status::failure(kExitFailure, entry.source + " changed size while it was packed");
      for (int64_t done = 0; done < entry.size;) {
        const size_t want = static_cast<size_t>(std::min<int64_t>(entry.size - done, buffer.size()));
        const size_t got = in.read(buffer.data(), want);
        if (got == 0) return Status::failure(kExitFailure, "cannot read " + entry.source);
        if (!gzip.write(buffer.data(), got)) return writeFailed();
        done += static_cast<int64_t>(got);
        progress.bytesDone += static_cast<int64_t>(got);
        sinceReport += static_cast<int64_t>(got);
        report(false);
      }
      const size_t padding = static_cast<size_t>((kTarBlock - entry.size % kTarBlock) % kTarBlock);
      if (!gzip.write(std::string(padding, '\0').data(), padding)) return writeFailed();
    }
    ++progress.entriesDone;
  }
  const std::string end(2 * kTarBlock, '\0');
  if (!gzip.write(end.data(), end.size()) || !gzip.finish()) return writeFailed();
  report(true);
  if (!file.close()) return writeFailed();
  if (!pending.commit()) return Status::failure(kExitFailure, "cannot create " + archivePath + ": " + errnoText());
  packed.tarSize = gzip.inputBytes();
  packed.archiveSize = gzip.outputBytes();
  packed.members = gzip.members();
  return Status::success();
}
