// Helpers of the builder tests: a scratch directory, a hand-made PE stub, running mediapack
// in-process, and a reader of media files written from the payload layout alone (it shares
// no code with the builder or the launcher, so the two cannot agree on a wrong format).
#pragma once

#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "cli.h"

namespace mediatest {

namespace fs = std::filesystem;

// A fresh directory under the system's temporary directory, removed with everything in it.
class TempDir {
 public:
  TempDir() {
    std::string pattern = (fs::temp_directory_path() / "mediapack-test-XXXXXX").string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    if (!mkdtemp(name.data())) throw std::runtime_error("mkdtemp failed");
    path_ = name.data();
  }
  ~TempDir() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  std::string operator/(const std::string& relative) const { return (path_ / relative).string(); }
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

inline void writeFile(const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(path).parent_path());
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

inline std::string readFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline void put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}
inline void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}
inline uint32_t get32(const std::string& b, size_t at) {
  uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<uint8_t>(b.at(at + i));
  return v;
}
inline uint64_t get64(const std::string& b, size_t at) { return get32(b, at) | uint64_t(get32(b, at + 4)) << 32; }

// How the hand-made stub is laid out: MZ header with e_lfanew 0x80, PE signature, COFF
// header with two sections, an optional header of `optionalSize` bytes (alignments 0x1000
// and 0x200, headers 0x400 bytes, no data directories in use), two section headers, and the
// sections' raw data (0x200 bytes of 0x11 at 0x400, 0x200 bytes of 0x22 at 0x600).
struct StubShape {
  uint16_t optionalSize = 0xE0;
  uint32_t symbolTable = 0;      // PointerToSymbolTable
  bool swapSections = false;     // the last table entry's data lies before the first's
  std::string trailing;          // bytes after the image
};
constexpr uint32_t kStubImageEnd = 0x800;

inline std::string makeStub(const StubShape& shape = StubShape()) {
  std::string b(kStubImageEnd, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 60, 0x80);
  b.replace(0x80, 4, std::string("PE\0\0", 4));
  put16(b, 0x84, 0x14C);                // machine i386
  put16(b, 0x86, 2);                    // sections
  put32(b, 0x8C, shape.symbolTable);
  put16(b, 0x94, shape.optionalSize);
  put16(b, 0x96, 0x0102);
  put16(b, 0x98, 0x10B);                // PE32
  put32(b, 0x98 + 32, 0x1000);          // SectionAlignment
  put32(b, 0x98 + 36, 0x200);           // FileAlignment
  put32(b, 0x98 + 60, 0x400);           // SizeOfHeaders
  put32(b, 0x98 + 92, 16);              // NumberOfRvaAndSizes
  size_t table = 0x98 + shape.optionalSize;
  uint32_t offsets[2] = {0x400, 0x600};
  if (shape.swapSections) std::swap(offsets[0], offsets[1]);
  for (int i = 0; i < 2; ++i) {
    size_t h = table + 40 * i;
    b.replace(h, 5, i == 0 ? ".text" : ".rsrc");
    put32(b, h + 8, 0x200);             // VirtualSize
    put32(b, h + 12, 0x1000 * (i + 1));  // VirtualAddress
    put32(b, h + 16, 0x200);            // SizeOfRawData
    put32(b, h + 20, offsets[i]);       // PointerToRawData
  }
  std::fill(b.begin() + 0x400, b.begin() + 0x600, '\x11');
  std::fill(b.begin() + 0x600, b.begin() + 0x800, '\x22');
  return b + shape.trailing;
}

// A media file decoded from the layout tables alone.
struct Media {
  size_t payloadStart = 0;
  uint32_t magic = 0;
  int32_t checksumPresent = 0;
  uint32_t expectedCrc = 0;
  int64_t checkedLength = 0;
  std::map<int32_t, std::string> narrow;  // raw bytes
  std::map<int32_t, std::string> wide;    // raw UTF-16LE bytes
  std::vector<int32_t> narrowOrder, wideOrder;
  size_t configEnd = 0;                   // absolute offset after the wide records
  std::vector<std::string> files;         // unscrambled contents in payload order
  size_t unextractedPosition = 0;
  std::string rest;                       // from unextractedPosition to the end of the file
};

inline Media decodeMedia(const std::string& f) {
  Media m;
  size_t h = get32(f, 60);
  int n = static_cast<int16_t>(get32(f, h + 6) & 0xFFFF);
  int s = static_cast<int16_t>(get32(f, h + 20) & 0xFFFF);
  size_t t = h + 24 + s + 40 * (n - 1);
  m.payloadStart = get32(f, t + 20) + size_t(get32(f, t + 16));
  size_t p = m.payloadStart;
  m.magic = get32(f, p);
  m.checksumPresent = static_cast<int32_t>(get32(f, p + 4));
  m.expectedCrc = get32(f, p + 8);
  m.checkedLength = static_cast<int64_t>(get64(f, p + 12));
  p += 20;
  for (int pass = 0; pass < 2; ++pass) {
    int32_t count = static_cast<int32_t>(get32(f, p));
    p += 4;
    for (int32_t i = 0; i < count; ++i) {
      int32_t id = static_cast<int32_t>(get32(f, p));
      uint32_t length = get32(f, p + 4);
      (pass == 0 ? m.narrow : m.wide)[id] = f.substr(p + 8, length);
      (pass == 0 ? m.narrowOrder : m.wideOrder).push_back(id);
      p += 8 + length;
    }
  }
  m.configEnd = p;
  int fileCount = std::atoi(m.narrow[CFG_INCLUDED_FILE_COUNT].c_str());
  for (int i = 0; i < fileCount; ++i) {
    uint64_t size = get64(f, p);
    std::string content = f.substr(p + 8, size);
    for (char& c : content) c = static_cast<char>(c ^ 0xA7);
    m.files.push_back(content);
    p += 8 + size;
  }
  m.unextractedPosition = p;
  m.rest = f.substr(p);
  return m;
}

inline uint32_t zlibCrc(const std::string& bytes) {
  return static_cast<uint32_t>(
      crc32(0L, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

inline std::u16string fromUtf16le(const std::string& b) {
  std::u16string s;
  for (size_t i = 0; i + 1 < b.size(); i += 2) s.push_back(char16_t(uint8_t(b[i]) | uint8_t(b[i + 1]) << 8));
  return s;
}

// Runs mediapack in-process; `self` stands for the mediapack binary's path.
struct Outcome {
  int code = -1;
  std::string out, err;
};
inline Outcome mediapack(const std::vector<std::string>& args, const std::string& self = "/nonexistent/host/mediapack") {
  std::ostringstream out, err;
  Outcome r;
  r.code = runMediapack(args, self, out, err);
  r.out = out.str();
  r.err = err.str();
  return r;
}

}  // namespace mediatest
