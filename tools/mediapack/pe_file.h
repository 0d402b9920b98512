// A Windows executable image held in memory for editing: the headers the builder changes
// (section table, data directories, image size, checksum) parsed with every offset checked,
// so that a damaged or hostile stub yields a message, never a read outside the bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PeSection {
  std::string name;            // up to 8 bytes, NULs removed
  uint32_t virtualSize = 0;
  uint32_t virtualAddress = 0;
  uint32_t rawSize = 0;
  uint32_t rawOffset = 0;
  uint32_t characteristics = 0;
  // The extent the section occupies in memory (the loader maps max of both sizes).
  uint32_t memorySize() const { return virtualSize > rawSize ? virtualSize : rawSize; }
};

enum : int {
  kDirectoryResource = 2,
  kDirectorySecurity = 4,   // a file offset, not an address: the certificate table
  kDirectoryBaseReloc = 5,
};

struct PeFile {
  std::string bytes;             // the image: headers and the raw data of every section
  bool pe32plus = false;         // PE32+ (x86_64) rather than PE32 (i686)
  size_t peHeader = 0;           // offset of "PE\0\0"
  size_t optionalHeader = 0;
  uint16_t optionalSize = 0;
  size_t sectionTable = 0;
  uint32_t sectionAlignment = 0;
  uint32_t fileAlignment = 0;
  uint32_t sizeOfHeaders = 0;
  uint32_t directoryCount = 0;   // NumberOfRvaAndSizes, at most 16 used
  std::vector<PeSection> sections;

  size_t checksumOffset() const { return optionalHeader + 64; }
  size_t directoryOffset(int index) const { return optionalHeader + (pe32plus ? 112 : 96) + 8 * size_t(index); }
  // Address and size of data directory `index`; both 0 when the image has fewer directories.
  uint32_t directoryAddress(int index) const;
  uint32_t directorySize(int index) const;
  void setDirectory(int index, uint32_t address, uint32_t size);
  // The section whose memory range holds [address, address + size); -1 when none does.
  int sectionAt(uint32_t address, uint32_t size = 1) const;
  // The bytes at `address` that lie in a section's raw data; false when they do not all.
  bool readAddress(uint32_t address, uint32_t size, std::string& out) const;
  // Where the image ends and a payload would begin: after the raw data of the last table entry.
  uint64_t imageEnd() const;
  // Writes the section table and the fields derived from it (section count, image size)
  // back into `bytes`.
  void storeHeaders();
};

// Parses the headers of `bytes` (MZ, PE, COFF, optional header, section table) and checks
// what later edits rely on: alignments, sections inside the image and in address order.
// False with `problem` (no file name) when the image cannot be edited safely.
bool parsePeFile(std::string bytes, PeFile& pe, std::string& problem);

uint32_t alignUp(uint32_t value, uint32_t alignment);

// The PE checksum: 16-bit little-endian words summed with end-around carry, then the file
// length added. Fed in any order, as long as each piece carries its absolute file offset;
// the caller leaves the checksum field itself out (or zero).
class PeChecksum {
 public:
  void add(uint64_t offset, const void* bytes, size_t count);
  uint32_t finish(uint64_t fileSize) const;

 private:
  uint64_t sum_ = 0;
};
