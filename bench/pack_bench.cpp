// Packing a real runtime: an installed JDK (JAVA_HOME, else the first real directory under
// /usr/lib/jvm with bin/java), copied once per run with its symbolic links resolved (Debian's
// JDK links into /etc and /usr/share, which a bundled runtime may not), then packed in each
// round by `tar czf` (tar and gzip side by side) and by mediapack's runtime packer with one
// compression thread and with one per processor. Reported: wall seconds (medians), the
// packer's time against tar's, and the sizes.
#include <benchmark/benchmark.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "runtime_archive.h"
#include "runtime_dir.h"

namespace {

int64_t fileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// The copied JDK and its entries, made once; the scratch directory goes at exit.
struct RuntimeCopy {
  std::string jdk = findJdk();
  std::string directory;
  std::string home;
  std::vector<RuntimeEntry> entries;
  std::string error;

  RuntimeCopy() {
    if (jdk.empty()) {
      error = "no JDK found (set JAVA_HOME)";
      return;
    }
    directory = makeScratchDirectory("pack_bench_");
    home = directory + "/jdk";
    // Links that lead nowhere are left out by cp with a message; the rest become copies.
    run("cp -rL '" + jdk + "' '" + home + "' 2>/dev/null");
    RuntimeTarget linux{TargetOs::Linux, kElfMachineX8664, "bench"};
    Status s = scanRuntimeDirectory(home, "bench", linux, entries);
    if (!s.ok()) error = s.message;
    int64_t bytes = 0;
    for (const RuntimeEntry& e : entries) bytes += e.size;
    std::printf("runtime: %s copied to %s, %zu entries, %lld bytes of files, %u processors\n", jdk.c_str(),
                home.c_str(), entries.size(), static_cast<long long>(bytes), std::thread::hardware_concurrency());
  }
  ~RuntimeCopy() {
    if (!directory.empty()) run("rm -rf '" + directory + "'");
  }
};

const RuntimeCopy& runtimeCopy() {
  static const RuntimeCopy copy;
  return copy;
}

// Each round packs the copy three times, so all three meet the same load: `tar czf`, the
// packer with one thread, the packer with one thread per processor. The reported time is
// the packer's with all threads; counters are medians over the rounds: wall seconds
// (tar_s, pack1_s, pack_s), ratios to tar (pack1_ratio, ratio), sizes.
void BM_PackRuntimeAgainstTarCzf(benchmark::State& state) {
  const RuntimeCopy& copy = runtimeCopy();
  if (!copy.error.empty()) {
    state.SkipWithError(copy.error.c_str());
    return;
  }
  const std::string tarPath = copy.directory + "/tar.tar.gz";
  const std::string packPath = copy.directory + "/jre.tar.gz";
  std::vector<double> tarWall, oneWall, allWall, oneRatio, allRatio;
  PackedRuntime packed;
  for (auto _ : state) {
    state.PauseTiming();
    std::remove(tarPath.c_str());
    double start = wallSeconds();
    const bool tarDone = run("tar czf '" + tarPath + "' -C '" + copy.home + "' .") == 0;
    tarWall.push_back(wallSeconds() - start);
    PackOptions one;
    one.threads = 1;
    start = wallSeconds();
    const bool oneDone = packRuntime(copy.entries, TargetOs::Linux, packPath, one, packed).ok();
    oneWall.push_back(wallSeconds() - start);
    state.ResumeTiming();
    start = wallSeconds();
    const bool allDone = packRuntime(copy.entries, TargetOs::Linux, packPath, PackOptions(), packed).ok();
    allWall.push_back(wallSeconds() - start);
    if (!tarDone || !oneDone || !allDone) {
      state.SkipWithError("packing failed");
      break;
    }
    oneRatio.push_back(oneWall.back() / tarWall.back());
    allRatio.push_back(allWall.back() / tarWall.back());
  }
  if (allRatio.empty()) return;
  state.SetBytesProcessed(state.iterations() * packed.tarSize);
  state.counters["tar_s"] = median(tarWall);
  state.counters["pack1_s"] = median(oneWall);
  state.counters["pack_s"] = median(allWall);
  state.counters["pack1_ratio"] = median(oneRatio);
  state.counters["ratio"] = median(allRatio);
  state.counters["tar_gz_MB"] = static_cast<double>(fileSize(tarPath)) / 1e6;
  state.counters["pack_gz_MB"] = static_cast<double>(packed.archiveSize) / 1e6;
  state.counters["members"] = static_cast<double>(packed.members);
}
BENCHMARK(BM_PackRuntimeAgainstTarCzf)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
