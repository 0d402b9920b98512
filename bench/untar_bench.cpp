// Unpacking a real runtime: an installed JDK (JAVA_HOME, else the first real directory under
// /usr/lib/jvm with bin/java), copied once per run with its symbolic links resolved and packed
// by mediapack's runtime packer (gzip members that carry their sizes), then unpacked in each
// round by the launcher's reader with one inflating thread per processor, with one inflating
// thread, by GNU `tar xzf`, and, for the sequential path, by the launcher's reader over the
// same tar stream recompressed as one gzip member (`gzip -6`). Rates are in bytes of the
// uncompressed tar stream per second of wall time. CPU times are this process's (all its
// threads) and, for tar, the child processes (tar and its gzip, which run side by side).
// Memory: the growth of the peak resident size of a child process that unpacks the archive
// once (the peak reset when it starts).
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fstream>
#include <string>
#include <thread>
#include <vector>

#include "bench_support.h"
#include "payload/extract.h"
#include "runtime/untar.h"
#include "runtime_archive.h"
#include "runtime_dir.h"

namespace {

int64_t fileSize(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

// The archives, made once; the scratch directory goes at exit.
struct RuntimeArchives {
  std::string jdk = findJdk();
  std::string directory;
  std::string members;  // mediapack's archive
  std::string single;   // the same tar stream as one gzip member
  int64_t tarBytes = 0;
  int64_t memberCount = 0;
  std::string error;

  RuntimeArchives() {
    if (jdk.empty()) {
      error = "no JDK found (set JAVA_HOME)";
      return;
    }
    directory = makeScratchDirectory("untar_bench_");
    const std::string home = directory + "/jdk";
    // Links that lead nowhere are left out by cp with a message; the rest become copies.
    run("cp -rL '" + jdk + "' '" + home + "' 2>/dev/null");
    std::vector<RuntimeEntry> entries;
    RuntimeTarget linux{TargetOs::Linux, kElfMachineX8664, "bench"};
    Status scanned = scanRuntimeDirectory(home, "bench", linux, entries);
    if (!scanned.ok()) {
      error = scanned.message;
      return;
    }
    members = directory + "/jre.tar.gz";
    single = directory + "/single.tar.gz";
    PackedRuntime packed;
    if (!packRuntime(entries, TargetOs::Linux, members, PackOptions(), packed).ok() ||
        run("gzip -dc '" + members + "' | gzip -6 > '" + single + "'") != 0) {
      error = "packing failed";
      return;
    }
    run("rm -rf '" + home + "'");
    tarBytes = packed.tarSize;
    memberCount = packed.members;
    std::printf("runtime archive: %s, %lld bytes of tar; %lld bytes in %lld sized members; %lld bytes as one "
                "member; %u processors\n",
                jdk.c_str(), static_cast<long long>(tarBytes), static_cast<long long>(fileSize(members)),
                static_cast<long long>(memberCount), static_cast<long long>(fileSize(single)),
                std::thread::hardware_concurrency());
  }
  ~RuntimeArchives() {
    if (!directory.empty()) run("rm -rf '" + directory + "'");
  }
};

const RuntimeArchives& runtimeArchives() {
  static const RuntimeArchives archives;
  return archives;
}

// CPU time of this process, all threads, seconds.
double processCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// CPU time of the waited-for child processes (tar and the gzip it runs), seconds.
double childrenCpuSeconds() {
  rusage usage;
  getrusage(RUSAGE_CHILDREN, &usage);
  return static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
         (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// A "Vm...:" line of /proc/self/status in bytes; -1 when missing.
double statusBytes(const std::string& key) {
  std::ifstream status("/proc/self/status");
  std::string word;
  while (status >> word) {
    if (word == key + ":") {
      double kilobytes = -1;
      status >> kilobytes;
      return kilobytes * 1024;
    }
  }
  return -1;
}

// Peak resident bytes a child process adds to what it holds at its start, while it unpacks
// `archive` into `target` with `threads` inflating threads (the child resets its peak first,
// so what it shares with this process does not count); -1 on failure.
double unpackPeakBytes(const std::string& archive, const std::string& target, unsigned threads) {
  int channel[2];
  if (pipe(channel) != 0) return -1;
  const pid_t child = fork();
  if (child == 0) {
    std::ofstream("/proc/self/clear_refs") << "5";
    const double start = statusBytes("VmRSS");
    const bool ok = untarGz(archive, target, TarProgress(), fileSystemTarget(), threads);
    const double grown = ok ? statusBytes("VmHWM") - start : -1;
    (void)!write(channel[1], &grown, sizeof grown);
    _exit(ok ? 0 : 1);
  }
  close(channel[1]);
  double grown = -1;
  if (child < 0 || read(channel[0], &grown, sizeof grown) != static_cast<ssize_t>(sizeof grown)) grown = -1;
  close(channel[0]);
  int status = 0;
  if (child > 0) waitpid(child, &status, 0);
  return grown;
}

struct Row {
  std::vector<double> wall, cpu, ratio;
};

// Each round unpacks four times into fresh directories, one after the other, so all meet the
// same load: the reader with one thread per processor, with one thread, over the single
// member, and `tar xzf` of mediapack's archive; making and removing the directories is not
// timed. The reported time is the parallel reader's; the counters are medians over the
// rounds: wall seconds (par_s, one_s, seq_s, tar_s), ratios to tar's wall time in the same
// round (ratio, one_ratio, seq_ratio), CPU seconds (par_cpu_s, ..., tar_cpu_s: tar and
// gzip together), and peak memory (par_peak_MB, seq_peak_MB).
void BM_UntarAgainstGnuTar(benchmark::State& state) {
  const RuntimeArchives& archives = runtimeArchives();
  if (!archives.error.empty()) {
    state.SkipWithError(archives.error.c_str());
    return;
  }
  const std::string target = archives.directory + "/out";
  const auto freshTarget = [&] {
    run("rm -rf '" + target + "'");
    mkdir(target.c_str(), 0755);
  };
  Row par, one, seq, tar;
  bool ok = true;
  const auto reader = [&](Row& row, const std::string& archive, unsigned threads) {
    freshTarget();
    const double wallStart = wallSeconds();
    const double cpuStart = processCpuSeconds();
    ok = untarGz(archive, target, TarProgress(), fileSystemTarget(), threads) && ok;
    row.cpu.push_back(processCpuSeconds() - cpuStart);
    row.wall.push_back(wallSeconds() - wallStart);
  };
  for (auto _ : state) {
    state.PauseTiming();
    reader(one, archives.members, 1);
    reader(seq, archives.single, 0);
    freshTarget();
    const double tarStart = wallSeconds();
    const double childrenStart = childrenCpuSeconds();
    ok = run("tar xzf '" + archives.members + "' -C '" + target + "'") == 0 && ok;
    tar.wall.push_back(wallSeconds() - tarStart);
    tar.cpu.push_back(childrenCpuSeconds() - childrenStart);
    freshTarget();
    state.ResumeTiming();
    const double wallStart = wallSeconds();
    const double cpuStart = processCpuSeconds();
    ok = untarGz(archives.members, target, TarProgress(), fileSystemTarget()) && ok;
    par.cpu.push_back(processCpuSeconds() - cpuStart);
    par.wall.push_back(wallSeconds() - wallStart);
    if (!ok) {
      state.SkipWithError("extraction failed");
      break;
    }
    for (Row* row : {&par, &one, &seq}) row->ratio.push_back(row->wall.back() / tar.wall.back());
  }
  if (!ok || par.ratio.empty()) return;
  freshTarget();
  const double parPeak = unpackPeakBytes(archives.members, target, 0);
  freshTarget();
  const double seqPeak = unpackPeakBytes(archives.single, target, 0);
  run("rm -rf '" + target + "'");
  state.SetBytesProcessed(state.iterations() * archives.tarBytes);
  state.counters["par_s"] = median(par.wall);
  state.counters["one_s"] = median(one.wall);
  state.counters["seq_s"] = median(seq.wall);
  state.counters["tar_s"] = median(tar.wall);
  state.counters["ratio"] = median(par.ratio);
  state.counters["one_ratio"] = median(one.ratio);
  state.counters["seq_ratio"] = median(seq.ratio);
  state.counters["par_cpu_s"] = median(par.cpu);
  state.counters["one_cpu_s"] = median(one.cpu);
  state.counters["seq_cpu_s"] = median(seq.cpu);
  state.counters["tar_cpu_s"] = median(tar.cpu);
  state.counters["par_peak_MB"] = parPeak / 1e6;
  state.counters["seq_peak_MB"] = seqPeak / 1e6;
}
BENCHMARK(BM_UntarAgainstGnuTar)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);

}  // namespace
