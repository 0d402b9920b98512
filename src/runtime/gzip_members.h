// The runtime archive as a series of independent gzip members, each carrying its own
// compressed size in a gzip extra field, so that a reader finds every member without
// inflating the one before and can inflate them side by side. Every gzip reader still reads
// such a file as one stream: the extra field is an ordinary optional header field that
// readers skip. The builder writes the field; the launcher reads it here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// The subfield of the gzip extra field (RFC 1952, 2.3.1.1) that holds a member's size: the
// two identifier bytes, then a length of 4 and the member's whole size in bytes (header to
// trailer) as a little-endian 32-bit number.
constexpr uint8_t kMemberSizeFieldId1 = 'M';
constexpr uint8_t kMemberSizeFieldId2 = 'S';
constexpr size_t kMemberSizeFieldLength = 4;
// The extra field as the builder writes it: one subfield, 4 + kMemberSizeFieldLength bytes.
constexpr size_t kMemberSizeExtraLength = 4 + kMemberSizeFieldLength;
// Offset of the size within a member the builder wrote: the 10-byte fixed header, the
// 2-byte extra length, the subfield's 4-byte head.
constexpr size_t kMemberSizeOffset = 10 + 2 + 4;

// Unpacked bytes per member that the parallel reader accepts (every member but the last
// holds exactly this many, the last at most as many). Outside these bounds the archive is
// read as one stream: tiny members would make the member table large, and large ones the
// memory held per thread.
constexpr uint32_t kMinParallelMemberSize = 64 * 1024;
constexpr uint32_t kMaxParallelMemberSize = 8 * 1024 * 1024;
// Most members the parallel reader keeps a table of (256 GiB of tar at 4 MiB a member).
constexpr size_t kMaxParallelMembers = 65536;

// One member of the archive: where it lies in the file and what it unpacks to.
struct GzipMember {
  int64_t offset = 0;      // of its first header byte in the file
  uint32_t packedSize = 0; // bytes in the file, header to trailer
  uint32_t size = 0;       // unpacked bytes, from its trailer (ISIZE)
};

// ---- Pure rules ----

// Writes the member size `packedSize` into the header of `member`, a gzip member whose
// extra field is the kMemberSizeExtraLength bytes the builder reserves (see
// memberSizeExtraField). False when the member does not start that way.
bool putMemberSize(std::string& member, uint32_t packedSize);
// The extra field the builder puts into each member header, the size still zero.
std::string memberSizeExtraField();

// The size carried by the member header in `header` (its first `count` bytes; a header's
// first 12 + extra length bytes are enough): a gzip header (1f 8b, deflate, no reserved
// flag) with an extra field holding the member-size subfield among its subfields. False
// when there is none or the field is malformed.
bool memberSizeOf(const uint8_t* header, size_t count, uint32_t& packedSize);

// Reads `count` bytes at `offset` of the archive file into `data`; false when it cannot.
using ArchiveReadAt = std::function<bool(int64_t offset, void* data, size_t count)>;

// The most bytes a member of `size` unpacked bytes may take in the archive file: deflate's
// stored blocks add a few bytes per 16 KiB at worst, the rest is room for header fields.
uint64_t maxPackedMemberSize(uint32_t size);

// The table of members of an archive of `fileSize` bytes, or false when the archive is not
// one the parallel reader takes (the caller then reads it as one stream): a member without
// the size field, sizes that do not chain exactly to the end of the file, a member size
// smaller than a header and trailer or above maxPackedMemberSize of the first member's
// unpacked size, fewer than two members or more than kMaxParallelMembers, the first member's
// unpacked size outside kMinParallelMemberSize..kMaxParallelMemberSize, a later member that
// unpacks to a different size (the last: to more, or to nothing). The sizes are only
// claims: each member is still checked when it is inflated.
bool readGzipMemberTable(const ArchiveReadAt& readAt, int64_t fileSize, std::vector<GzipMember>& members);

// Inflates the single gzip member `packed` (`packedSize` bytes) into `out`, which must
// hold exactly `size` bytes: true only when the member ends exactly at its last byte,
// unpacks to exactly `size` bytes and passes its CRC-32 and length check.
bool inflateGzipMember(const uint8_t* packed, size_t packedSize, uint8_t* out, size_t size);
