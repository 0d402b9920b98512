// An independent writer of media-file bytes, written from the payload's layout tables and
// sharing no code with the launcher's reader, so that a reader and a writer that agree on a
// wrong format cannot both pass. Also writes the few PE header fields the launcher reads.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

using Bytes = std::vector<uint8_t>;

// Appends little-endian fields and raw bytes; every call returns *this for chaining.
class PayloadBytes {
 public:
  PayloadBytes& u8(uint8_t v);
  PayloadBytes& i16(int16_t v);
  PayloadBytes& i32(int32_t v);
  PayloadBytes& u32(uint32_t v);
  PayloadBytes& i64(int64_t v);
  PayloadBytes& raw(const Bytes& bytes);
  PayloadBytes& raw(const std::string& bytes);

  // The 20-byte header: magic d5 13 e4 e8, checksumPresent, expectedCrc, checkedLength.
  PayloadBytes& header(int32_t checksumPresent = 0, uint32_t crc = 0, int64_t checkedLength = 0);
  // A count and then (id, byte length, bytes) per record; narrow bytes are taken as they are.
  PayloadBytes& narrowRecords(const std::vector<std::pair<int32_t, std::string>>& records);
  // Wide values are written as UTF-16LE with the byte length twice the code units.
  PayloadBytes& wideRecords(const std::vector<std::pair<int32_t, std::u16string>>& records);
  // One included-file entry: 64-bit size, then each content byte XOR 0xA7.
  PayloadBytes& includedFile(const std::string& content);

  const Bytes& bytes() const { return bytes_; }
  size_t size() const { return bytes_.size(); }

 private:
  Bytes bytes_;
};

// A whole well-formed payload. When `withChecksum`, checksumPresent is 1, checkedLength
// covers everything after the header (records, files, unextracted data) and expectedCrc
// is that range's CRC-32.
struct PayloadLayout {
  std::vector<std::pair<int32_t, std::string>> narrow;
  std::vector<std::pair<int32_t, std::u16string>> wide;
  std::vector<std::string> files;  // contents, in the order of the included-file names
  std::string unextracted;
  bool withChecksum = false;
};
Bytes buildPayload(const PayloadLayout& layout);

// CRC-32 (reflected 0xEDB88320, initial and final complement), bit by bit.
uint32_t referenceCrc32(const uint8_t* data, size_t size);

// A minimal image with just the fields the payload locator reads: e_lfanew at 60, the
// section count at H+6, the optional header size at H+20, and for the last section its raw
// size at T+16 and raw offset at T+20 (T = H + 24 + optionalHeaderSize + 40 * (sections-1)).
// The result is zero-filled up to rawOffset + rawSize, so the payload follows directly.
struct FakePe {
  int32_t peHeaderOffset = 0x80;
  int16_t sections = 3;
  int16_t optionalHeaderSize = 224;
  int32_t lastRawOffset = 0x400;
  int32_t lastRawSize = 0x200;
};
Bytes buildFakePe(const FakePe& pe);
