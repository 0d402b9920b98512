// Unpacking a real runtime: an installed JDK (JAVA_HOME, else the first real directory under
// /usr/lib/jvm with bin/java) packed once per run with `tar czf` into a scratch directory,
// then unpacked by the launcher's reader and by GNU `tar xzf`, each into a fresh directory.
// Rates are in bytes of the uncompressed tar stream per second of wall time. CPU times are
// the reader's thread and, for tar, the child processes (tar and its gzip, which run side by
// side, so tar's wall time can be below its CPU time). Symbolic links in the JDK are stored
// as links: tar recreates them, the launcher's reader skips them.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <dirent.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>
#include <vector>

#include "bench_support.h"
#include "payload/extract.h"
#include "runtime/untar.h"

namespace {

// The archive, made once; the scratch directory goes at exit.
struct RuntimeArchive {
  std::string jdk = findJdk();
  std::string directory;
  std::string path;
  int64_t tarBytes = 0;
  std::string error;

  RuntimeArchive() {
    if (jdk.empty()) {
      error = "no JDK found (set JAVA_HOME)";
      return;
    }
    directory = makeScratchDirectory("untar_bench_");
    path = directory + "/jre.tar.gz";
    if (run("tar czf '" + path + "' -C '" + jdk + "' .") != 0) {
      error = "tar czf failed";
      return;
    }
    gzFile in = gzopen(path.c_str(), "rb");
    std::vector<char> buffer(1 << 16);
    for (int n; in != nullptr && (n = gzread(in, buffer.data(), static_cast<unsigned>(buffer.size()))) > 0;) {
      tarBytes += n;
    }
    if (in != nullptr) gzclose(in);
    struct stat info;
    stat(path.c_str(), &info);
    std::printf("runtime archive: %s, %lld bytes compressed, %lld bytes of tar\n", jdk.c_str(),
                static_cast<long long>(info.st_size), static_cast<long long>(tarBytes));
  }
  ~RuntimeArchive() {
    if (!directory.empty()) run("rm -rf '" + directory + "'");
  }
};

const RuntimeArchive& runtimeArchive() {
  static const RuntimeArchive archive;
  return archive;
}

// CPU time of this process: the reader's thread (children are not counted here).
double processCpuSeconds() { return static_cast<double>(std::clock()) / CLOCKS_PER_SEC; }

// CPU time of the waited-for child processes (tar and the gzip it runs), seconds.
double childrenCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Each round unpacks the archive twice into fresh directories, the launcher's reader first,
// then `tar xzf`, so both meet the same load on the machine; making and removing the
// directories is not timed. The reported time is the reader's; the counters are medians over
// the rounds: wall seconds of each (reader_s, tar_s), their rates in bytes of tar stream per
// second, ratio (reader wall / tar wall, per round) and cpu_ratio (the reader's CPU time /
// tar's and gzip's together).
void BM_UntarGzAgainstGnuTar(benchmark::State& state) {
  const RuntimeArchive& archive = runtimeArchive();
  if (!archive.error.empty()) {
    state.SkipWithError(archive.error.c_str());
    return;
  }
  const std::string target = archive.directory + "/out";
  const auto freshTarget = [&] {
    run("rm -rf '" + target + "'");
    mkdir(target.c_str(), 0755);
  };
  std::vector<double> readerWall, tarWall, ratios, cpuRatios;
  for (auto _ : state) {
    state.PauseTiming();
    freshTarget();
    state.ResumeTiming();
    const double wallStart = wallSeconds();
    const double cpuStart = processCpuSeconds();
    const bool unpacked = untarGz(archive.path, target, TarProgress(), fileSystemTarget());
    const double readerCpu = processCpuSeconds() - cpuStart;
    readerWall.push_back(wallSeconds() - wallStart);
    state.PauseTiming();
    freshTarget();
    const double tarStart = wallSeconds();
    const double childrenStart = childrenCpuSeconds();
    const bool tarUnpacked = run("tar xzf '" + archive.path + "' -C '" + target + "'") == 0;
    tarWall.push_back(wallSeconds() - tarStart);
    const double tarCpu = childrenCpuSeconds() - childrenStart;
    state.ResumeTiming();
    if (!unpacked || !tarUnpacked) {
      state.SkipWithError("extraction failed");
      break;
    }
    ratios.push_back(readerWall.back() / tarWall.back());
    cpuRatios.push_back(readerCpu / tarCpu);
  }
  run("rm -rf '" + target + "'");
  if (ratios.empty()) return;
  state.SetBytesProcessed(state.iterations() * archive.tarBytes);
  state.counters["reader_s"] = median(readerWall);
  state.counters["tar_s"] = median(tarWall);
  state.counters["reader_bytes_per_second"] =
      benchmark::Counter(archive.tarBytes / median(readerWall), benchmark::Counter::kDefaults,
                         benchmark::Counter::kIs1024);
  state.counters["tar_bytes_per_second"] = benchmark::Counter(
      archive.tarBytes / median(tarWall), benchmark::Counter::kDefaults, benchmark::Counter::kIs1024);
  state.counters["ratio"] = median(ratios);
  state.counters["cpu_ratio"] = median(cpuRatios);
}
BENCHMARK(BM_UntarGzAgainstGnuTar)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
