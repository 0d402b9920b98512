// The included runtime's archive: a tar stream read through zlib's gz functions. The input's
// first byte chooses whether the rest is compressed here first (the tar reader sees the
// mutated tar bytes) or written as it is (the gzip layer sees the mutated bytes).
#include <zlib.h>

#include <cstdint>
#include <string>

#include "fuzz_support.h"
#include "runtime/untar.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  fuzzSetUp();
  return 0;
}

namespace {
const char kRoot[] = "C:\\tmp\\qlz1.tmp_dir\\jre";

std::string gzipped(const std::string& bytes) {
  z_stream z{};
  fuzzCheck(deflateInit2(&z, 1, Z_DEFLATED, 31, 8, Z_DEFAULT_STRATEGY) == Z_OK, "deflateInit2");
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
  const std::string rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::string archive = writeScratchFile("jre.tar.gz", (data[0] & 1) ? gzipped(rest) : rest);

  TarProgress progress;
  progress.context = &lastPosition;
  progress.totalSize = static_cast<int64_t>(rest.size());
  progress.setPosition = &setPosition;
  progress.nowMs = &nowMs;
  lastPosition = 100;

  MemoryFiles files(kRoot);
  try {
    untarGz(archive, kRoot, progress, files.target());
  } catch (const FuzzExit& e) {
    fuzzCheck(e.code == 1, "archive failure with a wrong exit code");
  }
  // Nothing is written that the archive did not carry.
  uint64_t written = 0;
  for (const auto& file : files.files()) written += file.second;
  if (data[0] & 1) fuzzCheck(written <= rest.size(), "more bytes written than archived");
  fuzzInputDone();
  return 0;
}
