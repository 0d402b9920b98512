#include "media_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "binary_file.h"
#include "base/crc32.h"
#include "payload/elf_layout.h"
#include "pe_file.h"
#include "pe_image.h"
#include "runtime_bundle.h"
#include "shipped_files.h"
#include "stub_resources.h"

namespace {

constexpr size_t kCopyBuffer = 1 << 16;
// An image held in memory for resource editing; launcher stubs are a few hundred KiB.
constexpr int64_t kMaxEditedImage = int64_t(256) << 20;

// Everything written to the media file passes here, so that the PE checksum can cover the
// whole file when the stub asks for one.
struct Output {
  OutputFile& file;
  bool sum = false;
  PeChecksum checksum;
  int64_t position = 0;

  bool write(const void* bytes, size_t count) {
    if (sum) checksum.add(static_cast<uint64_t>(position), bytes, count);
    position += static_cast<int64_t>(count);
    return file.write(bytes, count);
  }
};

struct Writer {
  Output& out;
  uint32_t crc = crcInit();
  int64_t written = 0;  // bytes of the checksummed range so far

  bool put(const void* bytes, size_t count) {
    crc = crcUpdate(crc, bytes, count);
    written += static_cast<int64_t>(count);
    return out.write(bytes, count);
  }
};

std::string errnoText() { return std::strerror(errno); }

// The stub's image, with its icon and version information replaced when the plan asks.
Status readStubImage(const std::string& stubPath, int64_t imageEnd, std::string& image) {
  if (imageEnd > kMaxEditedImage) {
    return Status::failure(kExitBadInput, "stub " + stubPath + ": its image of " + std::to_string(imageEnd) +
                                              " bytes is too large to edit its resources");
  }
  InputFile stub;
  std::string error;
  if (!stub.open(stubPath, error)) return Status::failure(kExitFailure, "cannot read " + stubPath + ": " + error);
  image.assign(static_cast<size_t>(imageEnd), '\0');
  if (!stub.readAt(0, image.data(), image.size())) return Status::failure(kExitFailure, "cannot read " + stubPath);
  return Status::success();
}

// Offset of the image's CheckSum field, or -1 when its optional header is too short.
int64_t checksumOffset(const PeLayout& layout) { return layout.optionalSize >= 68 ? layout.peHeader + 24 + 64 : -1; }

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

namespace {
bool isElfStub(const std::string& path) {
  InputFile file;
  std::string error;
  uint8_t magic[4];
  return file.open(path, error) && file.readAt(0, magic, 4) && isElfImage(magic, 4);
}
}  // namespace

Status writeMediaFile(const BuildPlan& plan, const std::string& stubPath, const std::string& outPath) {
  PeLayout layout;
  Status s = examineStub(stubPath, layout);
  if (!s.ok()) return s;

  // Icon and version information: the image is rebuilt in memory; otherwise it is copied.
  bool edit = !plan.iconImages.empty() || plan.hasVersionInfo;
  if (layout.elf && edit) {
    // A Linux launcher has no resources to carry them.
    const std::string key = !plan.iconImages.empty() ? "\"icon\"" : "\"versionInfo\"";
    return Status::failure(kExitBadInput, key + " only means something for a Windows launcher; the stub " + stubPath +
                                              " is a Linux one");
  }
  std::string image;
  int64_t payloadStart = layout.payloadStart;
  if (edit) {
    s = readStubImage(stubPath, layout.payloadStart, image);
    if (!s.ok()) return s;
    ResourceChanges changes;
    changes.icon = plan.iconImages;
    changes.setVersion = plan.hasVersionInfo;
    changes.version = plan.versionInfo;
    s = editStubResources(image, changes, stubPath);
    if (!s.ok()) return s;
    payloadStart = static_cast<int64_t>(image.size());
  }

  const std::string config = configurationSection(plan);
  int64_t checked = static_cast<int64_t>(config.size()) + plan.unextractedSize;
  for (const IncludedFile& f : plan.files) checked += 8 + f.size;
  int64_t end = payloadStart + kPayloadHeaderSize + checked;
  int64_t total = (end + kMediaAlignment - 1) / kMediaAlignment * kMediaAlignment;
  if (total >= kMaxMediaFileSize) {
    return Status::failure(kExitBadInput, "the media file would be " + std::to_string(total) +
                                              " bytes; it must stay below 2 GiB (2147483648 bytes)");
  }

  PendingOutput pending(outPath);
  OutputFile file;
  if (!pending.create(file)) return Status::failure(kExitFailure, "cannot create " + outPath + ": " + errnoText());
  auto writeFailed = [&] { return Status::failure(kExitFailure, "cannot write " + outPath + ": " + errnoText()); };

  // A stub that carries a checksum gets one that is right for the whole media file (Windows
  // checks it only for drivers and system DLLs, but a wrong one looks like damage); a stub
  // without one (0) keeps none.
  Output out{file, false, PeChecksum(), 0};
  int64_t checksumAt = checksumOffset(layout);
  uint8_t storedChecksum[4] = {0, 0, 0, 0};
  if (checksumAt >= 0) {
    if (edit) {
      std::memcpy(storedChecksum, image.data() + checksumAt, 4);
    } else {
      InputFile stub;
      std::string error;
      if (!stub.open(stubPath, error) || !stub.readAt(checksumAt, storedChecksum, 4)) {
        return Status::failure(kExitFailure, "cannot read " + stubPath);
      }
    }
    out.sum = loadU32(storedChecksum) != 0;
  }
  auto imagePiece = [&](int64_t at, std::vector<uint8_t>& bytes) {
    // The checksum field counts as zero and is written as zero; the value follows at the end.
    for (int k = 0; k < 4 && checksumAt >= 0; ++k) {
      int64_t i = checksumAt + k - at;
      if (out.sum && i >= 0 && i < static_cast<int64_t>(bytes.size())) bytes[static_cast<size_t>(i)] = 0;
    }
    return out.write(bytes.data(), bytes.size());
  };

  if (edit) {
    std::vector<uint8_t> bytes(image.begin(), image.end());
    if (!imagePiece(0, bytes)) return writeFailed();
  } else {
    InputFile stub;
    std::string error;
    if (!stub.open(stubPath, error)) return Status::failure(kExitFailure, "cannot read " + stubPath + ": " + error);
    std::vector<uint8_t> buffer;
    for (int64_t done = 0; done < payloadStart;) {
      size_t want = static_cast<size_t>(std::min<int64_t>(payloadStart - done, kCopyBuffer));
      buffer.resize(want);
      if (stub.read(buffer.data(), want) != want) return Status::failure(kExitFailure, "cannot read " + stubPath);
      if (!imagePiece(done, buffer)) return writeFailed();
      done += static_cast<int64_t>(want);
    }
  }

  // The header is filled in last, when the CRC is known.
  std::string header(kPayloadHeaderSize, '\0');
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
  appendU32(header, kPayloadMagic);
  appendU32(header, plan.checksum ? 1 : 0);
  appendU32(header, plan.checksum ? crcFinish(w.crc) : 0);
  appendU64(header, plan.checksum ? static_cast<uint64_t>(w.written) : 0);
  if (!file.seek(payloadStart) || !file.write(header.data(), header.size())) return writeFailed();
  if (out.sum) {
    out.checksum.add(static_cast<uint64_t>(payloadStart), header.data(), header.size());
    std::string value;
    appendU32(value, out.checksum.finish(static_cast<uint64_t>(total)));
    if (!file.seek(checksumAt) || !file.write(value.data(), value.size())) return writeFailed();
  }
  if (!file.close()) return writeFailed();
  if (!pending.commit()) return Status::failure(kExitFailure, "cannot create " + outPath + ": " + errnoText());
  return Status::success();
}

Status buildMediaFile(const std::string& descriptionPath, const std::string& outPath, const std::string& stubOverride,
                      const std::string& selfPath, std::ostream* progress) {
  BuildPlan plan;
  ShippedRuntimeJar runtimeJar{findShippedFile(selfPath, kShippedRuntimeJar),
                               shippedFilePlaces(selfPath, kShippedRuntimeJar)};
  // Narrow texts are UTF-8 for the Linux launcher and in "codePage" for Windows, so the
  // description is read first to learn the stub, and again in the Windows form when the stub
  // is not a Linux one.
  Status s = loadDescription(descriptionPath, plan, runtimeJar, true);
  if (!s.ok()) return s;
  std::string stub = !stubOverride.empty() ? stubOverride : plan.stub;
  if (stub.empty()) stub = findShippedFile(selfPath, kShippedWindowsStub);
  if (stub.empty() || !isElfStub(stub)) {
    s = loadDescription(descriptionPath, plan, runtimeJar, false);
    if (!s.ok()) return s;
  }
  if (stub.empty()) {
    return Status::failure(kExitBadInput, "no stub: give --stub LAUNCHER.exe or a \"stub\" in the description (" +
                                              shippedFilePlaces(selfPath, kShippedWindowsStub) + " does not exist)");
  }
  // The runtime's archive (and a jlink image) live in a scratch directory until the media
  // file is written; it goes away with everything in it on every path out of here.
  ScratchDirectory scratch;
  if (plan.runtime.present) {
    if (scratch.path().empty()) return Status::failure(kExitFailure, "cannot create a scratch directory for the runtime");
    BundleOptions options;
    options.progress = progress;
    s = bundleRuntime(plan, stub, scratch.path(), options);
    if (!s.ok()) return s;
  }
  return writeMediaFile(plan, stub, outPath);
}
