#include "pe_file.h"

#include <algorithm>

#include "binary_file.h"

namespace {

const uint8_t* at(const std::string& b, size_t offset) { return reinterpret_cast<const uint8_t*>(b.data()) + offset; }

void store16(std::string& b, size_t offset, uint16_t v) {
  b[offset] = static_cast<char>(v & 0xFF);
  b[offset + 1] = static_cast<char>(v >> 8);
}

void store32(std::string& b, size_t offset, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[offset + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

bool isPowerOfTwo(uint32_t v) { return v != 0 && (v & (v - 1)) == 0; }

std::string number(uint64_t v) { return std::to_string(v); }

}  // namespace

uint32_t alignUp(uint32_t value, uint32_t alignment) {
  return static_cast<uint32_t>((uint64_t(value) + alignment - 1) / alignment * alignment);
}

uint32_t PeFile::directoryAddress(int index) const {
  return uint32_t(index) < directoryCount ? loadU32(at(bytes, directoryOffset(index))) : 0;
}

uint32_t PeFile::directorySize(int index) const {
  return uint32_t(index) < directoryCount ? loadU32(at(bytes, directoryOffset(index) + 4)) : 0;
}

void PeFile::setDirectory(int index, uint32_t address, uint32_t size) {
  if (uint32_t(index) >= directoryCount) return;
  store32(bytes, directoryOffset(index), address);
  store32(bytes, directoryOffset(index) + 4, size);
}

int PeFile::sectionAt(uint32_t address, uint32_t size) const {
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    if (address >= s.virtualAddress && uint64_t(address) + size <= uint64_t(s.virtualAddress) + s.memorySize()) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

bool PeFile::readAddress(uint32_t address, uint32_t size, std::string& out) const {
  int index = sectionAt(address, size == 0 ? 1 : size);
  if (index < 0) return false;
  const PeSection& s = sections[index];
  uint64_t within = address - s.virtualAddress;
  if (within + size > s.rawSize) return false;  // would lie in the zero-filled tail
  out.assign(bytes, s.rawOffset + within, size);
  return true;
}

uint64_t PeFile::imageEnd() const {
  if (sections.empty()) return 0;
  return uint64_t(sections.back().rawOffset) + sections.back().rawSize;
}

void PeFile::storeHeaders() {
  store16(bytes, peHeader + 6, static_cast<uint16_t>(sections.size()));
  uint32_t imageSize = alignUp(sizeOfHeaders, sectionAlignment);
  for (size_t i = 0; i < sections.size(); ++i) {
    const PeSection& s = sections[i];
    size_t h = sectionTable + 40 * i;
    std::string name = s.name.substr(0, 8);
    name.resize(8, '\0');
    bytes.replace(h, 8, name);
    store32(bytes, h + 8, s.virtualSize);
    store32(bytes, h + 12, s.virtualAddress);
    store32(bytes, h + 16, s.rawSize);
    store32(bytes, h + 20, s.rawOffset);
    store32(bytes, h + 36, s.characteristics);
    imageSize = alignUp(s.virtualAddress + s.memorySize(), sectionAlignment);
  }
  store32(bytes, optionalHeader + 56, imageSize);
}

bool parsePeFile(std::string image, PeFile& pe, std::string& problem) {
  pe = PeFile();
  pe.bytes = std::move(image);
  const std::string& b = pe.bytes;
  if (b.size() < 64 || b[0] != 'M' || b[1] != 'Z') {
    problem = "not a Windows executable (no MZ header)";
    return false;
  }
  uint32_t h = loadU32(at(b, 60));
  if (uint64_t(h) + 24 > b.size() || b.compare(h, 4, std::string("PE\0\0", 4)) != 0) {
    problem = "not a Windows executable (no PE signature at offset " + number(h) + ")";
    return false;
  }
  pe.peHeader = h;
  uint16_t count = loadU16(at(b, h + 6));
  pe.optionalSize = loadU16(at(b, h + 20));
  pe.optionalHeader = h + 24;
  pe.sectionTable = pe.optionalHeader + pe.optionalSize;
  if (count == 0 || pe.sectionTable + 40 * size_t(count) > b.size()) {
    problem = "the section table (" + number(count) + " entries) does not lie inside the file";
    return false;
  }
  if (pe.optionalSize < 2) {
    problem = "it has no optional header";
    return false;
  }
  uint16_t magic = loadU16(at(b, pe.optionalHeader));
  if (magic != 0x10B && magic != 0x20B) {
    problem = "the optional header has the unknown magic " + number(magic);
    return false;
  }
  pe.pe32plus = magic == 0x20B;
  size_t directories = pe.pe32plus ? 112 : 96;
  if (pe.optionalSize < directories) {
    problem = "the optional header (" + number(pe.optionalSize) + " bytes) is too short";
    return false;
  }
  pe.sectionAlignment = loadU32(at(b, pe.optionalHeader + 32));
  pe.fileAlignment = loadU32(at(b, pe.optionalHeader + 36));
  pe.sizeOfHeaders = loadU32(at(b, pe.optionalHeader + 60));
  uint32_t declared = loadU32(at(b, pe.optionalHeader + directories - 4));
  pe.directoryCount = std::min<uint32_t>(declared, static_cast<uint32_t>((pe.optionalSize - directories) / 8));
  pe.directoryCount = std::min<uint32_t>(pe.directoryCount, 16);
  if (!isPowerOfTwo(pe.fileAlignment) || pe.fileAlignment < 512 || pe.fileAlignment > 65536 ||
      !isPowerOfTwo(pe.sectionAlignment) || pe.sectionAlignment < pe.fileAlignment) {
    problem = "its alignments (sections " + number(pe.sectionAlignment) + ", file " + number(pe.fileAlignment) +
              ") are not ones this builder can lay sections out with";
    return false;
  }
  if (pe.sizeOfHeaders < pe.sectionTable + 40 * size_t(count) || pe.sizeOfHeaders > b.size()) {
    problem = "its header size " + number(pe.sizeOfHeaders) + " does not cover the section table";
    return false;
  }
  uint64_t lastEnd = 0;
  uint32_t lastRaw = 0;
  for (uint16_t i = 0; i < count; ++i) {
    size_t e = pe.sectionTable + 40 * size_t(i);
    PeSection s;
    s.name = b.substr(e, 8);
    s.name.erase(std::find(s.name.begin(), s.name.end(), '\0'), s.name.end());
    s.virtualSize = loadU32(at(b, e + 8));
    s.virtualAddress = loadU32(at(b, e + 12));
    s.rawSize = loadU32(at(b, e + 16));
    s.rawOffset = loadU32(at(b, e + 20));
    s.characteristics = loadU32(at(b, e + 36));
    std::string which = "section " + number(i + 1) + " (" + s.name + ")";
    if (s.rawSize > 0 && uint64_t(s.rawOffset) + s.rawSize > b.size()) {
      problem = which + ": its raw data lies outside the image";
      return false;
    }
    if (s.rawSize > 0 && s.rawOffset < pe.sizeOfHeaders) {
      problem = which + ": its raw data overlaps the headers";
      return false;
    }
    if (s.rawSize > 0 && s.rawOffset < lastRaw) {
      problem = which + ": its raw data lies before that of an earlier section";
      return false;
    }
    if (s.virtualAddress < lastEnd || s.virtualAddress % pe.sectionAlignment != 0 ||
        uint64_t(s.virtualAddress) + s.memorySize() > 0x80000000u) {
      problem = which + ": its address " + number(s.virtualAddress) + " is out of order or misaligned";
      return false;
    }
    lastEnd = alignUp(s.virtualAddress + s.memorySize(), pe.sectionAlignment);
    if (s.rawSize > 0) lastRaw = s.rawOffset + s.rawSize;
    pe.sections.push_back(s);
  }
  return true;
}

void PeChecksum::add(uint64_t offset, const void* bytes, size_t count) {
  const uint8_t* p = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < count; ++i) sum_ += uint64_t(p[i]) << (((offset + i) & 1) * 8);
}

uint32_t PeChecksum::finish(uint64_t fileSize) const {
  uint64_t s = sum_;
  while (s > 0xFFFF) s = (s & 0xFFFF) + (s >> 16);
  return static_cast<uint32_t>(s + fileSize);
}
