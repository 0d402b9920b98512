#include "base/crc32.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace {

uint32_t fast(const std::string& s) { return crcFinish(crcUpdate(crcInit(), s.data(), s.size())); }
uint32_t table(const std::string& s) {
  return crcFinish(crcUpdateTable(crcInit(), s.data(), s.size()));
}

}  // namespace

TEST(Crc32, KnownValues) {
  struct Row { std::string input; uint32_t crc; } rows[] = {
      {"", 0x00000000u},
      {"123456789", 0xCBF43926u},
      {"a", 0xE8B7BE43u},
      {"The quick brown fox jumps over the lazy dog", 0x414FA339u},
      {std::string(1, '\0'), 0xD202EF8Du},
      {std::string(32, '\xFF'), 0xFF6CAB0Bu},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(fast(row.input), row.crc) << '"' << row.input << '"';
    EXPECT_EQ(table(row.input), row.crc) << '"' << row.input << '"';
  }
}

TEST(Crc32, FastAndTableAgreeOnRandomBuffersAndChunking) {
  std::mt19937 rng(20240611);
  for (size_t size : {1u, 7u, 255u, 256u, 4096u, 16384u, 100003u}) {
    std::vector<uint8_t> buf(size);
    for (auto& b : buf) b = static_cast<uint8_t>(rng());
    uint32_t whole = crcUpdateTable(crcInit(), buf.data(), buf.size());
    EXPECT_EQ(crcUpdate(crcInit(), buf.data(), buf.size()), whole) << "size " << size;

    // Fed in uneven pieces, alternating the two implementations, the register ends the same.
    uint32_t reg = crcInit();
    size_t at = 0;
    for (bool useFast = true; at < size; useFast = !useFast) {
      size_t piece = std::min<size_t>(size - at, 1 + rng() % 5000);
      reg = useFast ? crcUpdate(reg, buf.data() + at, piece)
                    : crcUpdateTable(reg, buf.data() + at, piece);
      at += piece;
    }
    EXPECT_EQ(reg, whole) << "size " << size;
  }
}

TEST(Crc32, EmptyUpdateKeepsTheRegister) {
  EXPECT_EQ(crcUpdate(0x12345678u, nullptr, 0), 0x12345678u);
  EXPECT_EQ(crcUpdateTable(0x12345678u, nullptr, 0), 0x12345678u);
}

// Long runs take a faster path than short ones and tails; every length around where the
// paths meet, from every alignment, must give the byte-at-a-time result.
TEST(Crc32, EveryLengthAndAlignmentAgreesWithTheTable) {
  std::mt19937 rng(7);
  std::vector<uint8_t> buf(16 + 300);
  for (auto& b : buf) b = static_cast<uint8_t>(rng());
  for (size_t offset = 0; offset < 16; ++offset) {
    for (size_t size = 0; size <= 300; ++size) {
      const uint32_t start = static_cast<uint32_t>(rng());
      ASSERT_EQ(crcUpdate(start, buf.data() + offset, size), crcUpdateTable(start, buf.data() + offset, size))
          << "offset " << offset << " size " << size;
    }
  }
}
