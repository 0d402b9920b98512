// The included runtime's archive: a tar stream read through zlib's gz functions, or its gzip
// members inflated side by side. The input's first byte chooses whether the rest is
// compressed here first (the tar reader sees the mutated tar bytes) or written as it is (the
// gzip layer sees the mutated bytes); with its second bit the rest (after 8 parameter bytes)
// becomes a series of members that carry their sizes, of which the parameters then make one
// lie (shorter, longer, or covering the next member), cut the file short or flip a byte.
#include <zlib.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include "fuzz_support.h"
#include "runtime/gzip_members.h"
#include "runtime/untar.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
const char kRoot[] = "C:\\tmp\\qlz1.tmp_dir\\jre";

// One gzip member; with `sizeField`, with the builder's extra field (the size still zero).
std::string gzipped(const std::string& bytes, bool sizeField = false) {
  z_stream z{};
  fuzzCheck(deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
  std::string extra = memberSizeExtraField();
  gz_header header{};
  header.extra = reinterpret_cast<Bytef*>(&extra[0]);
  header.extra_len = static_cast<uInt>(extra.size());
  if (sizeField) deflateSetHeader(&z, &header);
  std::string out(deflateBound(&z, bytes.size()) + 32, '\0');
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(bytes.data()));
  z.avail_in = static_cast<uInt>(bytes.size());
  z.next_out = reinterpret_cast<Bytef*>(&out[0]);
  z.avail_out = static_cast<uInt>(out.size());
  fuzzCheck(deflate(&z, Z_FINISH) == Z_STREAM_END, "deflate");
  out.resize(z.total_out);
  deflateEnd(&z);
  return out;
}

void putLittle32(std::string& out, size_t at, uint32_t value) {
  for (int i = 0; i < 4; ++i) out[at + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

// `tar`, padded with zero blocks to a little over two members, as gzip members of
// kMinParallelMemberSize bytes that carry their sizes, then damaged as the parameters say.
std::string sizedMembers(std::string tar, const uint8_t* p) {
  tar.resize(std::max<size_t>(tar.size(), 2 * kMinParallelMemberSize + 1000), '\0');
  std::vector<std::string> members;
  for (size_t at = 0; at < tar.size(); at += kMinParallelMemberSize) {
    const std::string piece = tar.substr(at, kMinParallelMemberSize);
    std::string member = gzipped(piece, true);
    putLittle32(member, kMemberSizeOffset, static_cast<uint32_t>(member.size()));
    members.push_back(member);
  }
  std::string& lying = members[p[0] % members.size()];
  const int delta = static_cast<int16_t>(p[1] | p[2] << 8);
  const size_t next = (p[0] + 1) % members.size();
  const uint32_t claimed = static_cast<uint32_t>(lying.size()) + ((p[3] & 1) ? members[next].size() : 0) + delta;
  if (p[3] & 2) putLittle32(lying, kMemberSizeOffset, claimed);
  std::string out;
  for (const std::string& member : members) out += member;
  const size_t cut = static_cast<size_t>(p[4] | p[5] << 8);
  if ((p[3] & 4) && cut < out.size()) out.resize(out.size() - cut);
  const size_t flip = static_cast<size_t>(p[6] | p[7] << 8) * 4;
  if ((p[3] & 8) && flip < out.size()) out[flip] = static_cast<char>(out[flip] ^ 0x10);
  return out;
}

int lastPosition = 100;
void setPosition(void*, int position) {
  fuzzCheck(position >= 100 && position <= 200, "bar position outside 100..200");
  fuzzCheck(position >= lastPosition, "bar moved backwards");
  lastPosition = position;
}
uint64_t clock = 0;
uint64_t nowMs() { return clock += 100; }
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  const bool members = (data[0] & 2) != 0 && size > 9;
  const size_t skip = members ? 9 : 1;
  const std::string rest(reinterpret_cast<const char*>(data) + skip, size - skip);
  const std::string archive = writeScratchFile(
      "jre.tar.gz", members ? sizedMembers(rest, data + 1) : (data[0] & 1) ? gzipped(rest) : rest);

  TarProgress progress;
  progress.context = &lastPosition;
  progress.totalSize = static_cast<int64_t>(rest.size());
  progress.setPosition = &setPosition;
  progress.nowMs = &nowMs;
  lastPosition = 100;

  MemoryFiles files(kRoot);
  try {
    untarGz(archive, kRoot, progress, files.target(), 2);
  } catch (const FuzzExit& e) {
    fuzzCheck(e.code == 1, "archive failure with a wrong exit code");
  }
  // Nothing is written that the archive did not carry.
  uint64_t written = 0;
  for (const auto& file : files.files()) written += file.second;
  if (members) {
    fuzzCheck(written <= std::max<size_t>(rest.size(), 2 * kMinParallelMemberSize + 1000), "more bytes written than archived");
  } else if (data[0] & 1) {
    fuzzCheck(written <= rest.size(), "more bytes written than archived");
  }
  fuzzInputDone();
  return 0;
}
