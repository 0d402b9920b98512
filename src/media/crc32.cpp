#include "media/crc32.h"

#include <zlib.h>

#include <array>
#include <climits>

namespace {

std::array<uint32_t, 256> makeTable() {
  std::array<uint32_t, 256> table{};
  for (uint32_t n = 0; n < 256; ++n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    table[n] = c;
  }
  return table;
}

}  // namespace

uint32_t crcInit() { return 0xFFFFFFFFu; }

uint32_t crcFinish(uint32_t reg) { return ~reg; }

// zlib keeps its running value complemented, so the register is flipped on the way in and
// out; the count is fed in pieces because zlib takes an unsigned int length.
uint32_t crcUpdate(uint32_t reg, const void* bytes, size_t count) {
  const auto* p = static_cast<const Bytef*>(bytes);
  uLong value = ~reg & 0xFFFFFFFFu;
  while (count > 0) {
    uInt piece = count > UINT_MAX ? UINT_MAX : static_cast<uInt>(count);
    value = crc32(value, p, piece);
    p += piece;
    count -= piece;
  }
  return ~static_cast<uint32_t>(value);
}

uint32_t crcUpdateTable(uint32_t reg, const void* bytes, size_t count) {
  static const std::array<uint32_t, 256> table = makeTable();
  const auto* p = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < count; ++i) reg = table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}
