#include "payload/elf_layout.h"

#include <algorithm>
#include <cstring>

namespace {
constexpr uint8_t kClass64 = 2;
constexpr uint8_t kLittleEndian = 1;
constexpr uint32_t kSectionNoBits = 8;  // SHT_NOBITS: no bytes in the file
constexpr int64_t kLimit = int64_t(1) << 31;

uint64_t loadLittle(const uint8_t* bytes, size_t width) {
  uint64_t value = 0;
  for (size_t i = width; i > 0; --i) value = (value << 8) | bytes[i - 1];
  return value;
}

// offset + count * entrySize, or -1 when any part is beyond the limit.
int64_t tableEnd(uint64_t offset, uint64_t count, uint64_t entrySize) {
  if (offset > uint64_t(kLimit) || entrySize > 4096 || count > 65535) return -1;
  return static_cast<int64_t>(offset + count * entrySize);
}
}  // namespace

bool isElfImage(const uint8_t* bytes, size_t count) {
  return count >= 4 && std::memcmp(bytes, kElfMagic, 4) == 0;
}

bool elfPayloadStart(const ElfReadAt& readAt, int64_t fileSize, int64_t& start, std::string& problem) {
  uint8_t header[64];
  if (!readAt(0, header, sizeof header) || !isElfImage(header, sizeof header)) {
    problem = "not an ELF image";
    return false;
  }
  if (header[4] != kClass64 || header[5] != kLittleEndian) {
    problem = "not a 64-bit little-endian ELF image";
    return false;
  }
  const uint64_t programOffset = loadLittle(header + 0x20, 8);
  const uint64_t sectionOffset = loadLittle(header + 0x28, 8);
  const uint64_t programEntry = loadLittle(header + 0x36, 2);
  const uint64_t programCount = loadLittle(header + 0x38, 2);
  const uint64_t sectionEntry = loadLittle(header + 0x3A, 2);
  const uint64_t sectionCount = loadLittle(header + 0x3C, 2);

  int64_t end = sizeof header;
  const int64_t programs = tableEnd(programOffset, programCount, programEntry);
  const int64_t sections = tableEnd(sectionOffset, sectionCount, sectionEntry);
  if (programs < 0 || sections < 0 || programs > fileSize || sections > fileSize) {
    problem = "a header table lies outside the file";
    return false;
  }
  end = std::max({end, programs, sections});
  if (sectionCount > 0 && sectionEntry < 0x28) {
    problem = "section headers too small";
    return false;
  }
  for (uint64_t i = 0; i < sectionCount; ++i) {
    uint8_t entry[0x28];
    if (!readAt(static_cast<int64_t>(sectionOffset + i * sectionEntry), entry, sizeof entry)) {
      problem = "a section header lies outside the file";
      return false;
    }
    if (loadLittle(entry + 4, 4) == kSectionNoBits) continue;
    const uint64_t offset = loadLittle(entry + 0x18, 8);
    const uint64_t size = loadLittle(entry + 0x20, 8);
    if (offset > uint64_t(kLimit) || size > uint64_t(kLimit) || int64_t(offset + size) > fileSize) {
      problem = "section " + std::to_string(i) + " lies outside the file";
      return false;
    }
    end = std::max(end, static_cast<int64_t>(offset + size));
  }
  start = end;
  return true;
}
