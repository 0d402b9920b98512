// Unpacking a real runtime: an installed JDK (JAVA_HOME, else the first real directory under
// /usr/lib/jvm with bin/java) packed once per run with `tar czf` into a scratch directory,
// then unpacked by the launcher's reader and by GNU `tar xzf`, each into a fresh directory.
// Both rates are in bytes of the uncompressed tar stream per second of wall time (tar runs
// as a child process, so CPU time of this process would say nothing). Symbolic links in the
// JDK are stored as links: tar recreates them, the launcher's reader skips them.
#include <benchmark/benchmark.h>
#include <zlib.h>

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "included/untar.h"
#include "media/extract.h"

namespace {

bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRealDirectory(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::string findJdk() {
  const char* javaHome = std::getenv("JAVA_HOME");
  if (javaHome != nullptr && isDirectory(std::string(javaHome) + "/bin")) return javaHome;
  std::vector<std::string> names;
  if (DIR* dir = opendir("/usr/lib/jvm")) {
    while (const dirent* entry = readdir(dir)) names.push_back(entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string home = "/usr/lib/jvm/" + name;
    if (name[0] != '.' && isRealDirectory(home) && access((home + "/bin/java").c_str(), X_OK) == 0) {
      return home;
    }
  }
  return std::string();
}

int run(const std::string& command) { return std::system(command.c_str()); }

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
    const char* tmp = std::getenv("TMPDIR");
    std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/untar_bench_XXXXXX";
    if (mkdtemp(&pattern[0]) == nullptr) std::abort();
    directory = pattern;
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

// Runs `extract` into a fresh directory per iteration; creating and removing it is not timed.
template <typename Extract>
void measure(benchmark::State& state, Extract extract) {
  const RuntimeArchive& archive = runtimeArchive();
  if (!archive.error.empty()) {
    state.SkipWithError(archive.error.c_str());
    return;
  }
  const std::string target = archive.directory + "/out";
  for (auto _ : state) {
    state.PauseTiming();
    run("rm -rf '" + target + "'");
    mkdir(target.c_str(), 0755);
    state.ResumeTiming();
    if (!extract(archive.path, target)) {
      state.SkipWithError("extraction failed");
      break;
    }
  }
  state.SetBytesProcessed(state.iterations() * archive.tarBytes);
  run("rm -rf '" + target + "'");
}

void BM_UntarGzLauncher(benchmark::State& state) {
  measure(state, [](const std::string& archive, const std::string& target) {
    return untarGz(archive, target, TarProgress(), fileSystemTarget());
  });
}
BENCHMARK(BM_UntarGzLauncher)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

void BM_UntarGzGnuTar(benchmark::State& state) {
  measure(state, [](const std::string& archive, const std::string& target) {
    return run("tar xzf '" + archive + "' -C '" + target + "'") == 0;
  });
}
BENCHMARK(BM_UntarGzGnuTar)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(3);

}  // namespace
