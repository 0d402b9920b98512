#include "support/media_files.h"

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <stdexcept>

std::string windowsTree() {
  const char* fromEnvironment = std::getenv("LAUNCHER_WINDOWS_TREE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return LAUNCHER_WIN32_DIR;
}

std::string launcherExePath() {
  const char* fromEnvironment = std::getenv("LAUNCHER_EXE");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  return windowsTree() + "/launcher.exe";
}

Bytes readFileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return Bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeFileBytes(const std::string& path, const Bytes& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

namespace {
uint32_t field(const Bytes& image, size_t at, int width) {
  if (at + width > image.size()) throw std::runtime_error("PE field outside the image");
  uint32_t v = 0;
  for (int i = width - 1; i >= 0; --i) v = (v << 8) | image[at + i];
  return v;
}
}  // namespace

PeLayout peLayoutOf(const Bytes& image) {
  PeLayout pe;
  pe.peHeader = field(image, 60, 4);
  pe.sections = field(image, size_t(pe.peHeader) + 6, 2);
  pe.optionalHeaderSize = field(image, size_t(pe.peHeader) + 20, 2);
  if (pe.sections == 0) throw std::runtime_error("image without sections");
  pe.lastSectionEntry = pe.peHeader + 24 + pe.optionalHeaderSize + 40 * (pe.sections - 1);
  pe.lastRawSize = field(image, size_t(pe.lastSectionEntry) + 16, 4);
  pe.lastRawOffset = field(image, size_t(pe.lastSectionEntry) + 20, 4);
  if (pe.imageEnd() > image.size()) throw std::runtime_error("last section beyond the image");
  return pe;
}

Bytes composeMediaFile(const Bytes& stub, const Bytes& payload, bool pad) {
  Bytes out(stub.begin(), stub.begin() + static_cast<std::ptrdiff_t>(peLayoutOf(stub).imageEnd()));
  out.insert(out.end(), payload.begin(), payload.end());
  if (pad) out.resize((out.size() + 511) / 512 * 512, 0);
  return out;
}

void writeMediaFile(const std::string& outPath, const Bytes& payload, bool pad) {
  writeFileBytes(outPath, composeMediaFile(readFileBytes(launcherExePath()), payload, pad));
}
