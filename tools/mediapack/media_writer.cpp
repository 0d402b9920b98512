#include "media_writer.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <vector>

#include "binary_file.h"
#include "media/crc32.h"
#include "pe_image.h"

namespace {

constexpr size_t kCopyBuffer = 1 << 16;

// The temporary file beside the output: removed unless the build completes.
class PendingOutput {
 public:
  explicit PendingOutput(const std::string& target) : path_(target + ".XXXXXX") {}
  ~PendingOutput() {
    if (created_ && !kept_) unlink(path_.c_str());
  }
  bool create(OutputFile& out) {
    std::vector<char> name(path_.begin(), path_.end());
    name.push_back('\0');
    int fd = mkstemp(name.data());
    if (fd < 0) return false;
    path_ = name.data();
    created_ = true;
    mode_t mask = umask(0);
    umask(mask);
    fchmod(fd, 0777 & ~mask);  // an executable, like the stub it came from
    return out.adopt(fd);
  }
  bool commit(const std::string& target) {
    if (rename(path_.c_str(), target.c_str()) != 0) return false;
    kept_ = true;
    return true;
  }

 private:
  std::string path_;
  bool created_ = false;
  bool kept_ = false;
};

struct Writer {
  OutputFile& out;
  uint32_t crc = crcInit();
  int64_t written = 0;  // bytes of the checksummed range so far

  bool put(const void* bytes, size_t count) {
    crc = crcUpdate(crc, bytes, count);
    written += static_cast<int64_t>(count);
    return out.write(bytes, count);
  }
};

std::string errnoText() { return std::strerror(errno); }

// Copies exactly `expected` bytes of `path` into the checksummed range, XOR-ing each with
// the mask when `scramble` is set.
Status copyFile(Writer& w, const std::string& path, int64_t expected, bool scramble, const std::string& outPath) {
  InputFile in;
  std::string error;
  if (!in.open(path, error)) return Status::failure(kExitFailure, "cannot read " + path + ": " + error);
  if (in.size() != expected) {
    return Status::failure(kExitFailure, path + " changed size while the media file was written");
  }
  std::vector<uint8_t> buffer(kCopyBuffer);
  int64_t done = 0;
  while (done < expected) {
    size_t want = static_cast<size_t>(std::min<int64_t>(expected - done, kCopyBuffer));
    size_t got = in.read(buffer.data(), want);
    if (got == 0) {
      return Status::failure(kExitFailure, "cannot read " + path + (in.error() ? ": " + errnoText() : ": it ended early"));
    }
    if (scramble) {
      for (size_t i = 0; i < got; ++i) buffer[i] ^= kScrambleMask;
    }
    if (!w.put(buffer.data(), got)) return Status::failure(kExitFailure, "cannot write " + outPath + ": " + errnoText());
    done += static_cast<int64_t>(got);
  }
  return Status::success();
}

}  // namespace

std::string configurationSection(const BuildPlan& plan) {
  std::string out;
  for (const auto* records : {&plan.narrow, &plan.wide}) {
    appendU32(out, static_cast<uint32_t>(records->size()));
    for (const auto& [id, bytes] : *records) {
      appendU32(out, static_cast<uint32_t>(id));
      appendU32(out, static_cast<uint32_t>(bytes.size()));
      out += bytes;
    }
  }
  return out;
}

Status writeMediaFile(const BuildPlan& plan, const std::string& stubPath, const std::string& outPath) {
  PeLayout layout;
  Status s = examineStub(stubPath, layout);
  if (!s.ok()) return s;

  const std::string config = configurationSection(plan);
  int64_t checked = static_cast<int64_t>(config.size()) + plan.unextractedSize;
  for (const IncludedFile& f : plan.files) checked += 8 + f.size;
  int64_t end = layout.payloadStart + kMediaHeaderSize + checked;
  int64_t total = (end + kMediaAlignment - 1) / kMediaAlignment * kMediaAlignment;
  if (total >= kMediaSizeLimit) {
    return Status::failure(kExitBadInput, "the media file would be " + std::to_string(total) +
                                              " bytes; it must stay below 2 GiB (2147483648 bytes)");
  }

  PendingOutput pending(outPath);
  OutputFile out;
  if (!pending.create(out)) return Status::failure(kExitFailure, "cannot create " + outPath + ": " + errnoText());
  auto writeFailed = [&] { return Status::failure(kExitFailure, "cannot write " + outPath + ": " + errnoText()); };

  // The image part of the stub, unchanged.
  {
    InputFile stub;
    std::string error;
    if (!stub.open(stubPath, error)) return Status::failure(kExitFailure, "cannot read " + stubPath + ": " + error);
    std::vector<uint8_t> buffer(kCopyBuffer);
    for (int64_t done = 0; done < layout.payloadStart;) {
      size_t want = static_cast<size_t>(std::min<int64_t>(layout.payloadStart - done, kCopyBuffer));
      if (stub.read(buffer.data(), want) != want) return Status::failure(kExitFailure, "cannot read " + stubPath);
      if (!out.write(buffer.data(), want)) return writeFailed();
      done += static_cast<int64_t>(want);
    }
  }

  // The header is filled in last, when the CRC is known.
  std::string header(kMediaHeaderSize, '\0');
  if (!out.write(header.data(), header.size())) return writeFailed();
  Writer w{out};
  if (!w.put(config.data(), config.size())) return writeFailed();
  for (const IncludedFile& f : plan.files) {
    std::string size;
    appendU64(size, static_cast<uint64_t>(f.size));
    if (!w.put(size.data(), size.size())) return writeFailed();
    s = copyFile(w, f.source, f.size, true, outPath);
    if (!s.ok()) return s;
  }
  if (!plan.unextracted.empty()) {
    s = copyFile(w, plan.unextracted, plan.unextractedSize, false, outPath);
    if (!s.ok()) return s;
  }
  std::string padding(static_cast<size_t>(total - end), '\0');
  if (!out.write(padding.data(), padding.size())) return writeFailed();

  header.clear();
  appendU32(header, kMediaMagic);
  appendU32(header, plan.checksum ? 1 : 0);
  appendU32(header, plan.checksum ? crcFinish(w.crc) : 0);
  appendU64(header, plan.checksum ? static_cast<uint64_t>(w.written) : 0);
  if (!out.seek(layout.payloadStart) || !out.write(header.data(), header.size())) return writeFailed();
  if (!out.close()) return writeFailed();
  if (!pending.commit(outPath)) return Status::failure(kExitFailure, "cannot create " + outPath + ": " + errnoText());
  return Status::success();
}

std::string defaultStubPath(const std::string& selfPath) {
  std::filesystem::path dir = std::filesystem::path(selfPath).parent_path();
  if (dir.empty()) dir = ".";
  return (dir / ".." / "win32" / "launcher.exe").lexically_normal().string();
}

Status buildMediaFile(const std::string& descriptionPath, const std::string& outPath, const std::string& stubOverride,
                      const std::string& defaultStub) {
  BuildPlan plan;
  Status s = loadDescription(descriptionPath, plan);
  if (!s.ok()) return s;
  std::string stub = !stubOverride.empty() ? stubOverride : !plan.stub.empty() ? plan.stub : defaultStub;
  return writeMediaFile(plan, stub, outPath);
}
