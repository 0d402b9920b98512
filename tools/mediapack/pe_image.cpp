#include "pe_image.h"

#include <algorithm>
#include <vector>

#include "base/payload_format.h"
#include "payload/elf_layout.h"

namespace {

bool readU32(InputFile& f, int64_t at, uint32_t& v) {
  uint8_t b[4];
  if (!f.readAt(at, b, 4)) return false;
  v = loadU32(b);
  return true;
}

bool readU16(InputFile& f, int64_t at, uint16_t& v) {
  uint8_t b[2];
  if (!f.readAt(at, b, 2)) return false;
  v = loadU16(b);
  return true;
}

std::string number(int64_t v) { return std::to_string(v); }

// A Linux launcher: an x86_64 ELF image with nothing behind what its headers describe.
template <typename Refuse>
Status examineElfStub(InputFile& file, PeLayout& layout, const Refuse& refuse) {
  std::string error;
  if (!locatePayload(file, layout, error)) return refuse(error);
  uint16_t machine = 0;
  if (!readU16(file, 0x12, machine) || machine != 62) {
    return refuse("not an x86_64 Linux launcher (ELF machine " + number(machine) + ")");
  }
  if (layout.payloadStart == file.size()) return Status::success();
  uint32_t first = 0;
  if (readU32(file, layout.payloadStart, first) && first == kPayloadMagic) {
    return refuse("stub already carries a payload (at offset " + number(layout.payloadStart) +
                  "); use the launcher as built, not a media file");
  }
  return refuse("has " + number(file.size() - layout.payloadStart) + " bytes after its ELF image (offset " +
                number(layout.payloadStart) + "), where the payload must begin");
}

}  // namespace

bool locatePayload(InputFile& file, PeLayout& layout, std::string& problem) {
  uint8_t magic[4];
  if (file.readAt(0, magic, 4) && isElfImage(magic, 4)) {
    layout.elf = true;
    const ElfReadAt readAt = [&file](int64_t at, void* buffer, size_t count) {
      return file.readAt(at, buffer, count);
    };
    return elfPayloadStart(readAt, file.size(), layout.payloadStart, problem);
  }
  uint32_t h = 0;
  if (!readU32(file, 60, h)) {
    problem = "too short to be a Windows executable (" + number(file.size()) + " bytes)";
    return false;
  }
  layout.peHeader = h;
  uint16_t n = 0, s = 0;
  if (!readU16(file, layout.peHeader + 6, n) || !readU16(file, layout.peHeader + 20, s)) {
    problem = "the PE header offset " + number(h) + " (at offset 60) lies outside the file";
    return false;
  }
  layout.sectionCount = static_cast<int16_t>(n);
  layout.optionalSize = static_cast<int16_t>(s);
  if (layout.sectionCount < 1) {
    problem = "the section count is " + number(layout.sectionCount) + "; there is no last section";
    return false;
  }
  layout.lastSectionHeader =
      layout.peHeader + 24 + layout.optionalSize + 40 * int64_t(layout.sectionCount - 1);
  if (layout.lastSectionHeader < 0 || !readU32(file, layout.lastSectionHeader + 16, layout.rawDataSize) ||
      !readU32(file, layout.lastSectionHeader + 20, layout.rawDataOffset)) {
    problem = "the last section header (at offset " + number(layout.lastSectionHeader) +
              ") lies outside the file";
    return false;
  }
  layout.payloadStart = int64_t(layout.rawDataOffset) + layout.rawDataSize;
  return true;
}

bool readCertificateTable(InputFile& file, const PeLayout& layout, uint32_t& offset, uint32_t& size) {
  uint16_t optMagic = 0;
  if (layout.optionalSize <= 0 || !readU16(file, layout.peHeader + 24, optMagic)) return false;
  int64_t directories = optMagic == 0x10b ? 96 : optMagic == 0x20b ? 112 : -1;
  uint32_t count = 0;
  int64_t opt = layout.peHeader + 24;
  return directories > 0 && directories + 8 * 5 <= layout.optionalSize &&
         readU32(file, opt + directories - 4, count) && count > 4 && readU32(file, opt + directories + 32, offset) &&
         readU32(file, opt + directories + 36, size) && size > 0;
}

Status examineStub(const std::string& path, PeLayout& layout) {
  auto refuse = [&](const std::string& what) {
    return Status::failure(kExitBadInput, "stub " + path + ": " + what);
  };
  InputFile file;
  std::string error;
  if (!file.open(path, error)) return refuse("cannot open: " + error);
  uint8_t mz[2];
  if (!file.readAt(0, mz, 2)) return refuse("not a Windows executable (no MZ signature)");
  if (mz[0] == kElfMagic[0] && mz[1] == kElfMagic[1]) return examineElfStub(file, layout, refuse);
  if (mz[0] != 'M' || mz[1] != 'Z') return refuse("not a Windows executable (no MZ signature)");
  if (!locatePayload(file, layout, error)) return refuse(error);
  uint32_t signature = 0;
  if (!readU32(file, layout.peHeader, signature) || signature != 0x00004550u) {
    return refuse("not a Windows executable (no PE signature at offset " + number(layout.peHeader) + ")");
  }

  // The launcher trusts the last table entry; a section whose data lies further back in the
  // file would be cut off, and the launcher would look for its payload inside the image.
  int64_t tableEnd = layout.lastSectionHeader + 40;
  int64_t firstSection = layout.peHeader + 24 + layout.optionalSize;
  for (int32_t i = 0; i + 1 < layout.sectionCount; ++i) {
    uint32_t size = 0, offset = 0;
    int64_t at = firstSection + 40 * int64_t(i);
    if (!readU32(file, at + 16, size) || !readU32(file, at + 20, offset)) {
      return refuse("section header " + number(i + 1) + " lies outside the file");
    }
    if (size > 0 && int64_t(offset) + size > layout.payloadStart) {
      return refuse("the raw data of section " + number(i + 1) + " ends at " +
                    number(int64_t(offset) + size) + ", after that of the last section table entry (" +
                    number(layout.payloadStart) + "), where the launcher looks for its payload");
    }
  }
  if (layout.payloadStart < tableEnd) {
    return refuse("the last section table entry has no raw data after the headers (it ends at " +
                  number(layout.payloadStart) + ")");
  }
  if (layout.payloadStart > file.size()) {
    return refuse("truncated: the raw data of its last section ends at " + number(layout.payloadStart) +
                  " but the file has " + number(file.size()) + " bytes");
  }
  if (layout.payloadStart == file.size()) return Status::success();

  int64_t extra = file.size() - layout.payloadStart;
  uint32_t first = 0;
  if (readU32(file, layout.payloadStart, first) && first == kPayloadMagic) {
    return refuse("stub already carries a payload (at offset " + number(layout.payloadStart) +
                  "); use the launcher as built, not a media file");
  }
  uint32_t symbols = 0;
  if (readU32(file, layout.peHeader + 12, symbols) && symbols != 0 && symbols >= layout.payloadStart) {
    return refuse("has an unstripped symbol table after its last section (" + number(extra) +
                  " bytes at offset " + number(layout.payloadStart) + "); strip it first");
  }
  uint32_t certOffset = 0, certSize = 0;
  if (readCertificateTable(file, layout, certOffset, certSize) && certOffset >= layout.payloadStart) {
    return refuse("is signed: its certificate follows the last section (" + number(extra) +
                  " bytes); append the payload to an unsigned stub and sign the media file");
  }
  return refuse("has " + number(extra) + " bytes after the raw data of its last section (offset " +
                number(layout.payloadStart) + "), where the payload must begin");
}
