#include "runtime_report.h"

#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cstring>

#include "runtime/gzip_members.h"
#include "runtime/untar.h"
#include "payload/extract.h"
#include "runtime_archive.h"

namespace {

bool endsWithFolded(const std::string& text, const std::string& tail) {
  if (text.size() < tail.size()) return false;
  for (size_t i = 0; i < tail.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(text[text.size() - tail.size() + i])) != tail[i]) return false;
  }
  return true;
}

std::string fieldText(const char* field, size_t width) { return std::string(field, strnlen(field, width)); }

// Walks a tar stream fed in pieces: headers, data (the heads of runtime libraries kept),
// padding, until the end-of-archive block.
class TarWalker {
 public:
  explicit TarWalker(RuntimeArchiveSummary& summary) : s_(summary) {}

  // False when the stream is not a tar stream the launcher reads.
  bool feed(const char* data, size_t count) {
    while (count > 0 && !ended_) {
      if (remaining_ > 0) {
        const size_t take = static_cast<size_t>(std::min<int64_t>(remaining_, static_cast<int64_t>(count)));
        if (capture_ && head_.size() < kImageHeadBytes) {
          head_.append(data, std::min(take, kImageHeadBytes - head_.size()));
        }
        data += take;
        count -= take;
        remaining_ -= take;
        if (remaining_ == 0 && capture_) {
          s_.libraryHeads.emplace_back(s_.entries.back().path, head_);
          capture_ = false;
        }
        continue;
      }
      const size_t take = std::min(count, kTarBlock - block_.size());
      block_.append(data, take);
      data += take;
      count -= take;
      if (block_.size() == kTarBlock && !header()) return false;
    }
    return true;
  }
  bool ended() const { return ended_; }

 private:
  bool header() {
    std::string block;
    block.swap(block_);
    if (block.find_first_not_of('\0') == std::string::npos) {
      ended_ = true;
      return true;
    }
    if (block.compare(257, 5, "ustar") != 0) return false;
    const int32_t size = parseOctal(block.data() + 124, 12);
    if (size < 0) return false;
    std::string name = fieldText(block.data(), 100);
    if (block.compare(257, 6, std::string("ustar\0", 6)) == 0) {
      const std::string prefix = fieldText(block.data() + 345, 155);
      if (!prefix.empty()) name = prefix + "/" + name;
    }
    while (!name.empty() && name.back() == '/') name.pop_back();
    if (name.rfind("./", 0) == 0) name = name.substr(2);
    const char type = block[156];
    RuntimeEntry entry;
    entry.path = name;
    entry.size = size;
    if (type == '5') {
      ++s_.directories;
    } else if (type == '0' || type == '\0') {
      ++s_.files;
      entry.kind = RuntimeEntryKind::File;
      capture_ = endsWithFolded(name, "jvm.dll") || endsWithFolded(name, "libjvm.so");
      head_.clear();
      // Only what decides the library is kept, so memory does not grow with the entry count.
      if (capture_ || endsWithFolded(name, "java.exe")) s_.entries.push_back(entry);
    } else if (type == '1' || type == '2') {
      ++s_.links;
    } else {
      ++s_.others;
    }
    remaining_ = (size + int64_t(kTarBlock) - 1) / int64_t(kTarBlock) * int64_t(kTarBlock);
    if (remaining_ == 0 && capture_) {
      s_.libraryHeads.emplace_back(name, std::string());
      capture_ = false;
    }
    return true;
  }

  RuntimeArchiveSummary& s_;
  std::string block_;
  int64_t remaining_ = 0;  // data and padding of the current entry still to come
  bool capture_ = false;
  std::string head_;
  bool ended_ = false;
};

}  // namespace

RuntimeArchiveSummary summarizeRuntimeArchive(InputFile& file, int64_t offset, int64_t size, bool scrambled) {
  RuntimeArchiveSummary summary;
  std::vector<GzipMember> table;
  summary.sizedMembers = readGzipMemberTable(
      [&](int64_t at, void* data, size_t count) {
        if (!file.readAt(offset + at, data, count)) return false;
        if (scrambled) unscrambleBytes(static_cast<uint8_t*>(data), count);
        return true;
      },
      size, table);
  TarWalker walker(summary);
  z_stream z{};
  if (inflateInit2(&z, 15 + 16) != Z_OK) {
    summary.problem = "zlib could not start";
    return summary;
  }
  std::vector<char> in(1 << 16), out(1 << 16);
  int64_t done = 0;
  bool memberOpen = false, tarBad = false;
  int result = Z_OK;
  bool outputFull = false;  // inflate may hold more output even when all input is in
  while (!tarBad) {
    if (z.avail_in == 0 && done >= size && !outputFull) break;
    if (z.avail_in == 0 && done < size) {
      const size_t want = static_cast<size_t>(std::min<int64_t>(size - done, static_cast<int64_t>(in.size())));
      if (!file.readAt(offset + done, in.data(), want)) {
        summary.problem = "the archive cannot be read from the file";
        inflateEnd(&z);
        return summary;
      }
      if (scrambled) unscrambleBytes(reinterpret_cast<uint8_t*>(in.data()), want);
      done += static_cast<int64_t>(want);
      z.next_in = reinterpret_cast<Bytef*>(in.data());
      z.avail_in = static_cast<uInt>(want);
    }
    if (!memberOpen && z.avail_in > 0) {
      memberOpen = true;
      ++summary.members;
    }
    z.next_out = reinterpret_cast<Bytef*>(out.data());
    z.avail_out = static_cast<uInt>(out.size());
    result = inflate(&z, Z_NO_FLUSH);
    const size_t produced = out.size() - z.avail_out;
    outputFull = z.avail_out == 0;
    summary.tarSize += static_cast<int64_t>(produced);
    if (!walker.ended() && !walker.feed(out.data(), produced)) tarBad = true;
    if (result == Z_STREAM_END) {
      memberOpen = false;
      outputFull = false;
      inflateReset(&z);
    } else if (result != Z_OK && result != Z_BUF_ERROR) {
      summary.problem = std::string("the gzip stream is damaged (") + (z.msg ? z.msg : "zlib error") + ")";
      inflateEnd(&z);
      return summary;
    }
  }
  inflateEnd(&z);
  if (tarBad) {
    summary.problem = "it holds no tar stream the launcher reads (a header without ustar magic or a bad size)";
  } else if (memberOpen) {
    summary.problem = "the gzip stream is cut short";
  } else if (!walker.ended()) {
    summary.problem = "the tar stream ends without its end-of-archive block";
  } else if (summary.files == 0) {
    summary.problem = "it holds no regular file";
  } else {
    summary.readable = true;
  }
  return summary;
}

std::string runtimeLibraryLine(const RuntimeArchiveSummary& summary, const RuntimeTarget& target,
                               const std::string& preferredVmType, std::string& problem) {
  problem.clear();
  const bool windows = target.os == TargetOs::Windows;
  for (const std::string& candidate : runtimeLibraryCandidates(summary.entries, target, preferredVmType)) {
    for (const auto& [path, head] : summary.libraryHeads) {
      std::string a = path, b = candidate;
      if (windows) {
        std::transform(a.begin(), a.end(), a.begin(), [](unsigned char c) { return std::tolower(c); });
        std::transform(b.begin(), b.end(), b.begin(), [](unsigned char c) { return std::tolower(c); });
      }
      if (a != b) continue;
      TargetOs os = target.os;
      uint16_t machine = 0;
      if (!imageMachine(head, os, machine) || os != target.os) {
        problem = path + " is not a library the launcher can load";
        return path + " (not a " + std::string(windows ? "PE" : "ELF") + " image)";
      }
      const std::string line = path + " (" + machineName(os, machine) + ")";
      if (machine != target.machine) {
        problem = path + " is " + machineName(os, machine) + " but the launcher is " +
                  machineName(target.os, target.machine) + ": it cannot load it";
      }
      return line;
    }
  }
  problem = std::string("the archive holds no ") + (windows ? "jvm.dll" : "libjvm.so") +
            " where the launcher looks for it";
  return "none";
}
