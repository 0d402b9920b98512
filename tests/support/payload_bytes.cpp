#include "support/payload_bytes.h"

namespace {
void putLittleEndian(Bytes& out, uint64_t v, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void setLittleEndian(Bytes& out, size_t at, uint64_t v, int width) {
  if (out.size() < at + width) out.resize(at + width, 0);
  for (int i = 0; i < width; ++i) out[at + i] = static_cast<uint8_t>(v >> (8 * i));
}
}  // namespace

PayloadBytes& PayloadBytes::u8(uint8_t v) {
  bytes_.push_back(v);
  return *this;
}
PayloadBytes& PayloadBytes::i16(int16_t v) {
  putLittleEndian(bytes_, static_cast<uint16_t>(v), 2);
  return *this;
}
PayloadBytes& PayloadBytes::i32(int32_t v) {
  putLittleEndian(bytes_, static_cast<uint32_t>(v), 4);
  return *this;
}
PayloadBytes& PayloadBytes::u32(uint32_t v) {
  putLittleEndian(bytes_, v, 4);
  return *this;
}
PayloadBytes& PayloadBytes::i64(int64_t v) {
  putLittleEndian(bytes_, static_cast<uint64_t>(v), 8);
  return *this;
}
PayloadBytes& PayloadBytes::raw(const Bytes& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}
PayloadBytes& PayloadBytes::raw(const std::string& bytes) {
  bytes_.insert(bytes_.end(), bytes.begin(), bytes.end());
  return *this;
}

PayloadBytes& PayloadBytes::header(int32_t checksumPresent, uint32_t crc, int64_t checkedLength) {
  return raw(Bytes{0xd5, 0x13, 0xe4, 0xe8}).i32(checksumPresent).u32(crc).i64(checkedLength);
}

PayloadBytes& PayloadBytes::narrowRecords(
    const std::vector<std::pair<int32_t, std::string>>& records) {
  i32(static_cast<int32_t>(records.size()));
  for (const auto& r : records) i32(r.first).i32(static_cast<int32_t>(r.second.size())).raw(r.second);
  return *this;
}

PayloadBytes& PayloadBytes::wideRecords(
    const std::vector<std::pair<int32_t, std::u16string>>& records) {
  i32(static_cast<int32_t>(records.size()));
  for (const auto& r : records) {
    i32(r.first).i32(static_cast<int32_t>(2 * r.second.size()));
    for (char16_t c : r.second) putLittleEndian(bytes_, c, 2);
  }
  return *this;
}

PayloadBytes& PayloadBytes::includedFile(const std::string& content) {
  i64(static_cast<int64_t>(content.size()));
  for (char c : content) u8(static_cast<uint8_t>(c) ^ 0xA7);
  return *this;
}

Bytes buildPayload(const PayloadLayout& layout) {
  PayloadBytes body;
  body.narrowRecords(layout.narrow).wideRecords(layout.wide);
  for (const std::string& f : layout.files) body.includedFile(f);
  body.raw(layout.unextracted);
  PayloadBytes all;
  if (layout.withChecksum) {
    all.header(1, referenceCrc32(body.bytes().data(), body.size()),
               static_cast<int64_t>(body.size()));
  } else {
    all.header();
  }
  return all.raw(body.bytes()).bytes();
}

uint32_t referenceCrc32(const uint8_t* data, size_t size) {
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < size; ++i) {
    crc ^= data[i];
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

Bytes buildFakePe(const FakePe& pe) {
  Bytes out;
  const int64_t h = pe.peHeaderOffset;
  const int64_t t = h + 24 + pe.optionalHeaderSize + 40 * (int64_t(pe.sections) - 1);
  out.resize(64, 0);
  out[0] = 'M';
  out[1] = 'Z';
  setLittleEndian(out, 60, static_cast<uint32_t>(pe.peHeaderOffset), 4);
  if (h >= 0) {
    setLittleEndian(out, static_cast<size_t>(h), 0x00004550, 4);  // "PE\0\0"
    setLittleEndian(out, static_cast<size_t>(h + 6), static_cast<uint16_t>(pe.sections), 2);
    setLittleEndian(out, static_cast<size_t>(h + 20),
                    static_cast<uint16_t>(pe.optionalHeaderSize), 2);
  }
  if (t >= 0) {
    setLittleEndian(out, static_cast<size_t>(t + 16), static_cast<uint32_t>(pe.lastRawSize), 4);
    setLittleEndian(out, static_cast<size_t>(t + 20), static_cast<uint32_t>(pe.lastRawOffset), 4);
  }
  // Implausible sections (the cases that test refusals) get no zero fill.
  const int64_t end = int64_t(pe.lastRawOffset) + pe.lastRawSize;
  if (end > 0 && end <= (int64_t(1) << 24) && static_cast<size_t>(end) > out.size()) {
    out.resize(static_cast<size_t>(end), 0);
  }
  return out;
}
