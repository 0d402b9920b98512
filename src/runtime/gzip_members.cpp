// The member table of a runtime archive written as independent gzip members.
#include "runtime/gzip_members.h"

#include <zlib.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <limits>

namespace {
constexpr uint8_t kGzipId1 = 0x1f;
constexpr uint8_t kGzipId2 = 0x8b;
constexpr uint8_t kDeflate = 8;
constexpr uint8_t kFlagExtra = 0x04;
constexpr uint8_t kReservedFlags = 0xe0;
constexpr size_t kFixedHeader = 10;
constexpr size_t kTrailer = 8;
// Bytes read of each member's start: the fixed header, the extra length and an extra field
// of up to this many bytes is enough for any member this system writes.
constexpr size_t kHeaderProbe = 256;

uint32_t little32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
}  // namespace

uint64_t maxPackedMemberSize(uint32_t size) { return uint64_t(size) + size / 1024 + 65536; }

std::string memberSizeExtraField() {
  std::string field(kMemberSizeExtraLength, '\0');
  field[0] = static_cast<char>(kMemberSizeFieldId1);
  field[1] = static_cast<char>(kMemberSizeFieldId2);
  field[2] = static_cast<char>(kMemberSizeFieldLength);
  field[3] = 0;
  return field;
}

bool putMemberSize(std::string& member, uint32_t packedSize) {
  const std::string field = memberSizeExtraField();
  if (member.size() < kMemberSizeOffset + kMemberSizeFieldLength) return false;
  const auto* bytes = reinterpret_cast<const uint8_t*>(member.data());
  if (bytes[0] != kGzipId1 || bytes[1] != kGzipId2 || (bytes[3] & kFlagExtra) == 0 ||
      bytes[10] != kMemberSizeExtraLength || bytes[11] != 0 ||
      member.compare(12, 4, field, 0, 4) != 0) {
    return false;
  }
  for (size_t i = 0; i < kMemberSizeFieldLength; ++i) {
    member[kMemberSizeOffset + i] = static_cast<char>((packedSize >> (8 * i)) & 0xff);
  }
  return true;
}

bool memberSizeOf(const uint8_t* header, size_t count, uint32_t& packedSize) {
  if (count < kFixedHeader + 2) return false;
  if (header[0] != kGzipId1 || header[1] != kGzipId2 || header[2] != kDeflate) return false;
  if ((header[3] & kReservedFlags) != 0 || (header[3] & kFlagExtra) == 0) return false;
  const size_t extraLength = size_t(header[10]) | size_t(header[11]) << 8;
  if (count < kFixedHeader + 2 + extraLength) return false;
  const uint8_t* field = header + kFixedHeader + 2;
  const uint8_t* const end = field + extraLength;
  // Subfields: two identifier bytes, a 2-byte length, that many bytes.
  while (end - field >= 4) {
    const size_t length = size_t(field[2]) | size_t(field[3]) << 8;
    if (static_cast<size_t>(end - field - 4) < length) return false;
    if (field[0] == kMemberSizeFieldId1 && field[1] == kMemberSizeFieldId2) {
      if (length != kMemberSizeFieldLength) return false;
      packedSize = little32(field + 4);
      return true;
    }
    field += 4 + length;
  }
  return false;
}

bool readGzipMemberTable(const ArchiveReadAt& readAt, int64_t fileSize, std::vector<GzipMember>& members) {
  members.clear();
  std::array<uint8_t, kHeaderProbe> header{};
  int64_t offset = 0;
  uint64_t packedLimit = 0;
  while (offset < fileSize) {
    if (members.size() >= kMaxParallelMembers) return false;
    const size_t probe = static_cast<size_t>(std::min<int64_t>(fileSize - offset, kHeaderProbe));
    if (!readAt(offset, header.data(), probe)) return false;
    GzipMember member;
    member.offset = offset;
    if (!memberSizeOf(header.data(), probe, member.packedSize)) return false;
    const size_t headerSize = kFixedHeader + 2 + (size_t(header[10]) | size_t(header[11]) << 8);
    if (member.packedSize < headerSize + kTrailer || member.packedSize > fileSize - offset) return false;
    if (!members.empty() && member.packedSize > packedLimit) return false;
    uint8_t trailer[4];
    if (!readAt(offset + member.packedSize - 4, trailer, sizeof trailer)) return false;
    member.size = little32(trailer);
    if (members.empty()) {
      if (member.size < kMinParallelMemberSize || member.size > kMaxParallelMemberSize) return false;
      if (member.packedSize > maxPackedMemberSize(member.size)) return false;
      packedLimit = maxPackedMemberSize(member.size);
    }
    members.push_back(member);
    offset += member.packedSize;
  }
  if (members.size() < 2) return false;
  const uint32_t fixed = members.front().size;
  for (size_t i = 1; i + 1 < members.size(); ++i) {
    if (members[i].size != fixed) return false;
  }
  return members.back().size > 0 && members.back().size <= fixed;
}

bool inflateGzipMember(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t size) {
  if (packedSize > std::numeric_limits<uInt>::max() || size > std::numeric_limits<uInt>::max()) return false;
  z_stream z{};
  // 16 + 15: a gzip wrapper only, whose CRC-32 and length zlib checks at the member's end.
  if (inflateInit2(&z, 16 + 15) != Z_OK) return false;
  z.next_in = const_cast<Bytef*>(packed);
  z.avail_in = static_cast<uInt>(packedSize);
  z.next_out = out;
  z.avail_out = static_cast<uInt>(size);
  // A member that unpacks to more than `size` stops short of its end (Z_BUF_ERROR).
  const int result = inflate(&z, Z_FINISH);
  const bool whole = result == Z_STREAM_END && z.avail_in == 0 && z.total_out == size;
  inflateEnd(&z);
  return whole;
}
