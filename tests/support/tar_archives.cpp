#include "support/tar_archives.h"

#include <zlib.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {
void put(std::string& block, size_t offset, size_t width, const std::string& text) {
  block.replace(offset, std::min(width, text.size()), text.substr(0, width));
}

std::string octal(unsigned long long value, size_t digits) {
  char buffer[32];
  snprintf(buffer, sizeof buffer, "%0*llo", static_cast<int>(digits), value);
  return buffer;
}
}  // namespace

TarBuilder& TarBuilder::entry(const TarHeader& h, const std::string& data) {
  std::string block(512, '\0');
  put(block, 0, 100, h.name);
  put(block, 100, 8, h.mode);
  put(block, 108, 8, "0000000");
  put(block, 116, 8, "0000000");
  put(block, 124, 12, h.size.empty() ? octal(data.size(), 11) : h.size);
  put(block, 136, 12, "00000000000");
  block[156] = h.type;
  put(block, 157, 100, h.linkName);
  put(block, 257, 8, h.magic);
  put(block, 345, 155, h.prefix);
  // Header checksum as tar programs write it, so the fixtures also pass `tar t`.
  put(block, 148, 8, "        ");
  unsigned sum = 0;
  for (unsigned char c : block) sum += c;
  put(block, 148, 7, octal(sum, 6) + std::string(1, '\0'));
  bytes_ += block + data;
  if (data.size() % 512 != 0) bytes_.append(512 - data.size() % 512, '\0');
  return *this;
}

TarBuilder& TarBuilder::directory(const std::string& name) {
  return entry(TarHeader(name, '5'));
}

TarBuilder& TarBuilder::file(const std::string& name, const std::string& data) {
  return entry(TarHeader(name), data);
}

TarBuilder& TarBuilder::end() {
  bytes_.append(1024, '\0');
  return *this;
}

namespace {
void putLittle32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out += static_cast<char>((value >> (8 * i)) & 0xff);
}
}  // namespace

std::vector<SizedMember> sizedGzipMembers(const std::string& data, size_t memberSize, bool sizeField) {
  std::vector<SizedMember> members;
  for (size_t at = 0; at < data.size() || members.empty(); at += memberSize) {
    const std::string piece = data.substr(at, memberSize);
    z_stream z{};
    deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY);
    std::string raw(deflateBound(&z, piece.size()) + 16, '\0');
    z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(piece.data()));
    z.avail_in = static_cast<uInt>(piece.size());
    z.next_out = reinterpret_cast<Bytef*>(&raw[0]);
    z.avail_out = static_cast<uInt>(raw.size());
    deflate(&z, Z_FINISH);
    raw.resize(z.total_out);
    deflateEnd(&z);
    // ID1 ID2 CM FLG(FEXTRA) MTIME(4) XFL OS, XLEN, subfield "MS" of 4 bytes.
    std::string member = sizeField ? std::string("\x1f\x8b\x08\x04\0\0\0\0\0\xff\x08\0MS\x04\0", 16)
                                   : std::string("\x1f\x8b\x08\0\0\0\0\0\0\xff", 10);
    const size_t whole = member.size() + (sizeField ? 4 : 0) + raw.size() + 8;
    if (sizeField) putLittle32(member, static_cast<uint32_t>(whole));
    member += raw;
    putLittle32(member, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(piece.data()),
                                                     static_cast<uInt>(piece.size()))));
    putLittle32(member, static_cast<uint32_t>(piece.size()));
    members.push_back({member, piece.size()});
  }
  return members;
}

std::string joinedMembers(const std::vector<SizedMember>& members) {
  std::string out;
  for (const SizedMember& m : members) out += m.bytes;
  return out;
}

void setCarriedSize(SizedMember& member, uint32_t size) {
  std::string value;
  putLittle32(value, size);
  member.bytes.replace(16, 4, value);
}

bool writeGzip(const std::string& path, const std::string& data) {
  gzFile file = gzopen(path.c_str(), "wb");
  if (file == nullptr) return false;
  const bool written =
      data.empty() || gzwrite(file, data.data(), static_cast<unsigned>(data.size())) ==
                          static_cast<int>(data.size());
  return gzclose(file) == Z_OK && written;
}

std::string readBinaryFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}
