#include "base/crc32.h"

#include <zlib.h>

#include <array>
#include <climits>

// On x86 (both the shipped i686 launcher and the x86_64 builds) long runs are folded with
// carry-less multiplication when the processor has it: several times faster than zlib's
// table code, which stays the path for short runs, the tails and processors without it.
#if defined(__GNUC__) && (defined(__i386__) || defined(__x86_64__))
#define LAUNCHER_CRC_FOLDING 1
#include <cpuid.h>
#include <immintrin.h>
#endif

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

// zlib's crc32 on the register (zlib keeps its running value complemented, so it is flipped
// on the way in and out); the count is fed in pieces because zlib takes an unsigned int.
uint32_t zlibUpdate(uint32_t reg, const uint8_t* p, size_t count) {
  uLong value = ~reg & 0xFFFFFFFFu;
  while (count > 0) {
    uInt piece = count > UINT_MAX ? UINT_MAX : static_cast<uInt>(count);
    value = crc32(value, p, piece);
    p += piece;
    count -= piece;
  }
  return ~static_cast<uint32_t>(value);
}

#if defined(LAUNCHER_CRC_FOLDING)
constexpr size_t kFoldBlock = 64;

bool canFold() {
  unsigned a = 0, b = 0, c = 0, d = 0;
  if (__get_cpuid(1, &a, &b, &c, &d) == 0) return false;
  return (c & bit_PCLMUL) != 0 && (c & bit_SSE4_1) != 0;
}

// The 32-bit Windows ABI keeps the stack only 4-byte aligned; the 16-byte values spilled here
// need the function to align it itself.
#if defined(__i386__)
#define LAUNCHER_ALIGN_STACK __attribute__((force_align_arg_pointer))
#else
#define LAUNCHER_ALIGN_STACK
#endif

#define LAUNCHER_FOLDING_TARGET __attribute__((target("pclmul,sse4.1")))

LAUNCHER_FOLDING_TARGET inline __m128i load(const uint8_t* at) {
  return _mm_loadu_si128(reinterpret_cast<const __m128i*>(at));
}

// `lane` carried forward over the distance `k` stands for, plus the data found there.
LAUNCHER_FOLDING_TARGET inline __m128i fold(__m128i lane, __m128i k, __m128i next) {
  return _mm_xor_si128(_mm_xor_si128(_mm_clmulepi64_si128(lane, k, 0x11), _mm_clmulepi64_si128(lane, k, 0x00)),
                       next);
}

// The register after `count` bytes (count >= 64, a multiple of 16): four 128-bit lanes are
// folded forward 64 bytes at a time, then into one lane, which takes the remaining 16-byte
// blocks, and the 128 bits are reduced to 32 (Barrett). The constants are powers of x
// modulo the reflected polynomial: x^(4*128+32) and x^(4*128-32) for the 64-byte fold,
// x^(128+32) and x^(128-32) for the 16-byte fold, x^64 for the reduction to 64 bits, then
// the polynomial and its Barrett quotient.
LAUNCHER_FOLDING_TARGET LAUNCHER_ALIGN_STACK uint32_t foldUpdate(uint32_t reg, const uint8_t* p, size_t count) {
  alignas(16) static const uint64_t k1k2[2] = {0x0154442bd4ull, 0x01c6e41596ull};
  alignas(16) static const uint64_t k3k4[2] = {0x01751997d0ull, 0x00ccaa009eull};
  alignas(16) static const uint64_t k5k0[2] = {0x0163cd6124ull, 0};
  alignas(16) static const uint64_t poly[2] = {0x01db710641ull, 0x01f7011641ull};
  __m128i x1 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(static_cast<int>(reg)));
  __m128i x2 = load(p + 16);
  __m128i x3 = load(p + 32);
  __m128i x4 = load(p + 48);
  p += kFoldBlock;
  count -= kFoldBlock;
  __m128i k = _mm_load_si128(reinterpret_cast<const __m128i*>(k1k2));
  for (; count >= kFoldBlock; p += kFoldBlock, count -= kFoldBlock) {
    x1 = fold(x1, k, load(p));
    x2 = fold(x2, k, load(p + 16));
    x3 = fold(x3, k, load(p + 32));
    x4 = fold(x4, k, load(p + 48));
  }

  k = _mm_load_si128(reinterpret_cast<const __m128i*>(k3k4));
  x1 = fold(x1, k, x2);
  x1 = fold(x1, k, x3);
  x1 = fold(x1, k, x4);
  for (; count >= 16; p += 16, count -= 16) x1 = fold(x1, k, load(p));

  // 128 bits to 64, then to 32 with Barrett reduction.
  const __m128i low32 = _mm_setr_epi32(~0, 0, ~0, 0);
  x1 = _mm_xor_si128(_mm_srli_si128(x1, 8), _mm_clmulepi64_si128(x1, k, 0x10));
  k = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(k5k0));
  x1 = _mm_xor_si128(_mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x00), _mm_srli_si128(x1, 4));
  k = _mm_load_si128(reinterpret_cast<const __m128i*>(poly));
  __m128i t = _mm_clmulepi64_si128(_mm_and_si128(x1, low32), k, 0x10);
  t = _mm_clmulepi64_si128(_mm_and_si128(t, low32), k, 0x00);
  return static_cast<uint32_t>(_mm_extract_epi32(_mm_xor_si128(x1, t), 1));
}
#endif

}  // namespace

uint32_t crcInit() { return 0xFFFFFFFFu; }

uint32_t crcFinish(uint32_t reg) { return ~reg; }

uint32_t crcUpdate(uint32_t reg, const void* bytes, size_t count) {
  const auto* p = static_cast<const uint8_t*>(bytes);
#if defined(LAUNCHER_CRC_FOLDING)
  static const bool folding = canFold();
  if (folding && count >= kFoldBlock) {
    const size_t folded = count & ~static_cast<size_t>(15);
    reg = foldUpdate(reg, p, folded);
    p += folded;
    count -= folded;
  }
#endif
  return zlibUpdate(reg, p, count);
}

uint32_t crcUpdateTable(uint32_t reg, const void* bytes, size_t count) {
  static const std::array<uint32_t, 256> table = makeTable();
  const auto* p = static_cast<const uint8_t*>(bytes);
  for (size_t i = 0; i < count; ++i) reg = table[(reg ^ p[i]) & 0xFF] ^ (reg >> 8);
  return reg;
}
