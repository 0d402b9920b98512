// The payload's fixed numbers, one definition for the launcher that reads a media file and
// the builder that writes it. The payload follows the raw data of the executable image's
// last section: a header (magic, integrity flag, expected CRC-32, checked length), the
// configuration records, the scrambled included files, then the unextracted block.
#pragma once

#include <cstdint>

// The first four bytes of the payload (little-endian).
constexpr uint32_t kPayloadMagic = 0xE8E413D5u;
// Bytes of the header: magic, checksum-present flag, expected CRC-32 (4 bytes each), and the
// 64-bit length of the checked range.
constexpr int64_t kPayloadHeaderSize = 20;
// Positions are held in 32 bits by the format's users; a media file of this size or more is
// refused by the launcher before anything is read, and never written by the builder.
constexpr int64_t kMaxMediaFileSize = int64_t(1) << 31;
// Included files are stored with every byte XORed with this mask; the scrambling is its own
// inverse.
constexpr uint8_t kScrambleMask = 0xA7;
