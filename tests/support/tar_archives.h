// Hand-made runtime archives: tar headers written field by field (so a test can write what
// no tar program would) and gzip-compressed through zlib.
#pragma once

#include <string>
#include <cstdint>
#include <utility>
#include <vector>

// Magic of the POSIX form ("ustar", NUL, version "00") and of the older GNU form ("ustar",
// two blanks, NUL).
inline std::string posixMagic() { return std::string("ustar\0" "00", 8); }
inline std::string gnuMagic() { return std::string("ustar  \0", 8); }

struct TarHeader {
  explicit TarHeader(std::string entryName, char entryType = '0',
                     std::string entryMagic = posixMagic())
      : name(std::move(entryName)), type(entryType), magic(std::move(entryMagic)) {}
  std::string name;      // the 100-byte name field; longer text is cut
  char type;
  std::string magic;     // 8 bytes at 257
  std::string size;      // the 12-byte size field as is; empty: octal of the data size
  std::string prefix;    // the 155-byte name prefix at 345
  std::string linkName;
  std::string mode = "0000644";  // the 8-byte mode field
};

class TarBuilder {
 public:
  // A header block (checksum filled in) followed by `data` padded to 512 bytes.
  TarBuilder& entry(const TarHeader& header, const std::string& data = "");
  TarBuilder& directory(const std::string& name);
  TarBuilder& file(const std::string& name, const std::string& data);
  // The two zero blocks that end an archive.
  TarBuilder& end();
  const std::string& bytes() const { return bytes_; }

 private:
  std::string bytes_;
};

// `data` cut into pieces of `memberSize` bytes, each a gzip member whose header carries the
// member's whole size in bytes in its extra field (subfield "MS", 4 bytes, little-endian),
// assembled byte by byte around zlib's raw deflate. `sizeField` false leaves the extra
// field out.
struct SizedMember {
  std::string bytes;
  size_t size = 0;  // unpacked bytes
};
std::vector<SizedMember> sizedGzipMembers(const std::string& data, size_t memberSize, bool sizeField = true);
std::string joinedMembers(const std::vector<SizedMember>& members);
// Overwrites the size carried in the header of `member`.
void setCarriedSize(SizedMember& member, uint32_t size);

// `data` gzip-compressed (zlib gzopen "wb") into `path`; false on failure.
bool writeGzip(const std::string& path, const std::string& data);
// The whole file as bytes ("" when unreadable).
std::string readBinaryFile(const std::string& path);
