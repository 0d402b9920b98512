// Payload throughput: the CRC check over a 100 MB payload and the extraction of a 100 MB
// included file, both read through a ByteSource over a file the way the launcher reads its
// own media file. The file is built once per run in $TMPDIR (or /tmp) and removed at exit.
// Each is repeated five times; the medians are the figures to read.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "base/crc32.h"
#include "payload/extract.h"
#include "payload/verify.h"

namespace {

constexpr int64_t kPayloadMegabytes = 100;
constexpr int64_t kContentSize = kPayloadMegabytes << 20;

std::string scratchDirectory() {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/payload_bench_XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) std::abort();
  return pattern;
}

void putLittleEndian(std::vector<uint8_t>& out, uint64_t value, int width) {
  for (int i = 0; i < width; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

// A payload file: header with checksum, then one included file of kContentSize bytes
// (scrambled), nothing else. Written once, deleted at exit.
struct PayloadFile {
  std::string directory = scratchDirectory();
  std::string path = directory + "/payload.bin";
  int64_t entryOffset = 20;  // where the included-file entry starts

  PayloadFile() {
    std::vector<uint8_t> block(1 << 20);
    uint32_t crc = crcInit();
    std::vector<uint8_t> entrySize;
    putLittleEndian(entrySize, static_cast<uint64_t>(kContentSize), 8);
    crc = crcUpdate(crc, entrySize.data(), entrySize.size());
    FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) std::abort();
    std::fseek(out, 20, SEEK_SET);
    std::fwrite(entrySize.data(), 1, entrySize.size(), out);
    for (int64_t mb = 0; mb < kPayloadMegabytes; ++mb) {
      for (size_t i = 0; i < block.size(); ++i) block[i] = static_cast<uint8_t>((i * 131 + mb) ^ 0xA7);
      crc = crcUpdate(crc, block.data(), block.size());
      std::fwrite(block.data(), 1, block.size(), out);
    }
    std::vector<uint8_t> header;
    putLittleEndian(header, kPayloadMagic, 4);
    putLittleEndian(header, 1, 4);
    putLittleEndian(header, crcFinish(crc), 4);
    putLittleEndian(header, static_cast<uint64_t>(8 + kContentSize), 8);
    std::fseek(out, 0, SEEK_SET);
    std::fwrite(header.data(), 1, header.size(), out);
    std::fclose(out);
  }
  ~PayloadFile() {
    std::remove(path.c_str());
    rmdir(directory.c_str());
  }
};

// CPU time of this process (one working thread), seconds: what the work itself costs, reads
// and writes included, however busy the machine is; wall time is what a user waits for.
double processCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

void setCpuRate(benchmark::State& state, int64_t bytes, double cpuSeconds) {
  if (cpuSeconds > 0) {
    state.counters["cpu_bytes_per_second"] =
        benchmark::Counter(static_cast<double>(bytes) / cpuSeconds, benchmark::Counter::kDefaults,
                           benchmark::Counter::kIs1024);
  }
}

const PayloadFile& payloadFile() {
  static const PayloadFile file;
  return file;
}

// A ByteSource over a stdio stream, as the launcher's own reader sees its file.
struct FileSource {
  explicit FileSource(const std::string& path) : file(std::fopen(path.c_str(), "rb")) {
    if (file == nullptr) std::abort();
    source.context = file;
    source.read = [](void* c, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
      *got = static_cast<uint32_t>(std::fread(buffer, 1, count, static_cast<FILE*>(c)));
      *error = 0;
      return !std::ferror(static_cast<FILE*>(c));
    };
    source.seek = [](void* c, int64_t offset) {
      return fseeko(static_cast<FILE*>(c), static_cast<off_t>(offset), SEEK_SET) == 0;
    };
    source.tell = [](void* c) { return static_cast<int64_t>(ftello(static_cast<FILE*>(c))); };
    struct stat info;
    stat(path.c_str(), &info);
    source.size = info.st_size;
  }
  ~FileSource() { std::fclose(file); }
  FILE* file;
  ByteSource source;
};

void BM_VerifyPayload(benchmark::State& state) {
  const PayloadFile& payload = payloadFile();
  const double cpuStart = processCpuSeconds();
  for (auto _ : state) {
    FileSource in(payload.path);
    const IntegrityOutcome outcome = checkPayload(in.source, true, nullptr, nullptr);
    if (!outcome.intact()) state.SkipWithError("checksum mismatch");
  }
  state.SetBytesProcessed(state.iterations() * (8 + kContentSize));
  setCpuRate(state, state.iterations() * (8 + kContentSize), processCpuSeconds() - cpuStart);
}
BENCHMARK(BM_VerifyPayload)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

void BM_ExtractPayload(benchmark::State& state) {
  const PayloadFile& payload = payloadFile();
  const std::string target = payload.directory + "/out";
  double cpuSeconds = 0;
  for (auto _ : state) {
    const double cpuStart = processCpuSeconds();
    mkdir(target.c_str(), 0755);
    FileSource in(payload.path);
    int64_t end = 0;
    if (extractEntries(in.source, payload.entryOffset, target, {"big.bin"}, fileSystemTarget(), &end) !=
        kExtractOk) {
      state.SkipWithError("extraction failed");
    }
    cpuSeconds += processCpuSeconds() - cpuStart;
    state.PauseTiming();
    std::remove((target + "/big.bin").c_str());
    rmdir(target.c_str());
    state.ResumeTiming();
  }
  state.SetBytesProcessed(state.iterations() * kContentSize);
  setCpuRate(state, state.iterations() * kContentSize, cpuSeconds);
}
BENCHMARK(BM_ExtractPayload)->Unit(benchmark::kMillisecond)->UseRealTime()->Repetitions(5)->ReportAggregatesOnly();

// The unscrambling alone, on the copy buffer.
void BM_Unscramble(benchmark::State& state) {
  std::vector<uint8_t> buffer(kCopyBufferSize, 0x5A);
  for (auto _ : state) {
    unscrambleBytes(buffer.data(), buffer.size());
    benchmark::DoNotOptimize(buffer.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(buffer.size()));
}
BENCHMARK(BM_Unscramble);

}  // namespace
