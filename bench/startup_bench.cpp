// The launcher's own start-up work under Wine: from its entry to the call of JNI_CreateJavaVM,
// for an installer without a runtime archive whose runtime (the fixture java.exe and jvm.dll)
// is found through an environment variable and known to the warm version cache, set against
// Wine's start of a program that does nothing, measured in the same run.
//
// The clocks: the fixture jvm.dll writes the time of the JNI_CreateJavaVM call and the empty
// programs the time their entry was reached (TESTJVM_CLOCK, argument), both from the system
// clock, which Wine reads from the host's real-time clock; this program notes the same clock
// right before it starts each one. Per round:
//   empty      start to exit of `empty.exe` (C runtime only): Wine's start of an empty program
//   entry      start to entry of `empty_gui.exe` (importing the launcher's system libraries):
//              when a program like the launcher reaches its entry
//   to JNI     start of the launcher to its JNI_CreateJavaVM call (the reported time)
//   run        start to exit of the launcher (the fixture's main returns at once)
// The counters take the shortest of the rounds (other work on the machine only adds time):
// empty_ms, entry_ms, to_jni_ms, run_ms, own_ms = to_jni_ms - entry_ms (the launcher's own
// work from its entry to the VM's creation) and ratio = own_ms / empty_ms; ratio_of_medians
// is the same ratio from the medians. STARTUP_BENCH_ROUNDS=1 prints every round.
//
// Everything runs in a Wine prefix of this program's own (a copy of the test prefix's
// registry, sharing its drive C:) with its own persistent server, so that the version cache
// and start markers the runs write stay out of the prefix the tests use.
#include <benchmark/benchmark.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

#include "support/fake_runtime.h"
#include "support/media_files.h"
#include "support/wine_run.h"

namespace {

constexpr int kRounds = 20;
// Seconds from 1601-01-01 (the system time's epoch) to 1970-01-01.
constexpr int64_t kEpochDifference = 11644473600LL;

int64_t hostTime100ns() {
  const auto now = std::chrono::system_clock::now().time_since_epoch();
  return std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100 +
         kEpochDifference * 10000000LL;
}

// The time a clock file holds, or -1.
int64_t readClock(const std::string& path) {
  const std::string text = readWholeFile(path);
  std::remove(path.c_str());
  if (text.empty()) return -1;
  return std::strtoll(text.c_str(), nullptr, 10);
}

double minimum(const std::vector<double>& values) {
  return values.empty() ? 0 : *std::min_element(values.begin(), values.end());
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

// The installer, the runtime and the private prefix, made once; gone at exit.
class StartupScene {
 public:
  StartupScene() { error_ = make(); }
  ~StartupScene() {
    if (!prefix_.empty()) server("-k");
    if (!dir_.empty()) removeTree(dir_);
  }
  const std::string& error() const { return error_; }

  // One run of `program` with `args`; returns the host time it was started at.
  int64_t run(const std::string& program, const std::vector<std::string>& args, WineResult* result) const {
    WineCommand command;
    command.program = program;
    command.args = args;
    command.environment = {{"WINEPREFIX", prefix_},
                           {"WINEDEBUG", "-all"},
                           {"QUOLL_BENCH_JRE", winePathOf(runtime_)},
                           {"TESTJVM_RECORD", winePathOf(dir_ + "/jvm-record.txt")},
                           {"TESTJVM_CLOCK", winePathOf(jniClock())}};
    command.unset = {"DISPLAY",   "WAYLAND_DISPLAY", "QUOLL_LOG",    "VANTREL_LOG",
                     "JAVA_HOME", "QUOLL_JAVA_HOME", "VANTREL_JAVA_HOME", "TESTJVM_FAIL"};
    command.workingDirectory = dir_;
    command.timeoutMs = 60000;
    const int64_t started = hostTime100ns();
    *result = runUnderWine(command);
    return started;
  }

  // Removes what a launcher run leaves in the prefix's temporary directory and the record.
  void forgetRun() const {
    for (const std::string& name : filesStartingWith(temp_, "")) {
      if (name != "." && name != "..") removeTree(temp_ + "/" + name);
    }
    std::remove((dir_ + "/jvm-record.txt").c_str());
  }

  std::string installer() const { return dir_ + "/setup.exe"; }
  std::string jniClock() const { return dir_ + "/jni.clock"; }
  std::string entryClock() const { return dir_ + "/entry.clock"; }

 private:
  std::string make() {
    const std::string launcher = launcherExePath();
    const std::string mediapack = LAUNCHER_HOST_DIR "/mediapack";
    for (const std::string& needed : {launcher, mediapack, fixturePath("jvm.dll"), fixturePath("java/java.exe"),
                                      fixturePath("empty/empty.exe"), fixturePath("empty/empty_gui.exe")}) {
      if (!pathExists(needed)) return "missing " + needed;
    }
    dir_ = makeTempDirectory("startup-bench-");
    runtime_ = dir_ + "/rt";
    makeFakeRuntime(runtime_);

    // A typical small installer: two jars and a parameter file, checksummed; the runtime is
    // named by an environment variable the search sequence reads first.
    makeDirectories(dir_ + "/files");
    std::string jar(256 * 1024, '\0');
    for (size_t i = 0; i < jar.size(); ++i) jar[i] = static_cast<char>(i * 2654435761u >> 13);
    writeWholeFile(dir_ + "/files/app.jar", jar);
    writeWholeFile(dir_ + "/files/runtime.jar", jar.substr(0, 32 * 1024));
    writeWholeFile(dir_ + "/files/params.conf", "key=value\n");
    writeWholeFile(dir_ + "/setup.json",
              "{\"executableType\": 5, \"mainClass\": \"bench.Main\", \"minJavaVersion\": \"1.8\",\n"
              " \"jreSearchSequence\": \"EQUOLL_BENCH_JRE;\", \"vmOptions\": \"-Xmx256m\",\n"
              " \"files\": [\"files/app.jar\", \"files/runtime.jar\", \"files/params.conf\"]}\n");
    const std::string build = "'" + mediapack + "' build '" + dir_ + "/setup.json' -o '" + installer() +
                              "' --stub '" + launcher + "' >'" + dir_ + "/mediapack.out' 2>&1";
    if (std::system(build.c_str()) != 0) return "mediapack failed: " + readWholeFile(dir_ + "/mediapack.out");

    const std::string shared = winePrefix();
    prefix_ = dir_ + "/prefix";
    temp_ = dir_ + "/temp";
    makeDirectories(prefix_ + "/dosdevices");
    makeDirectories(temp_);
    for (const char* name : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}) {
      if (!pathExists(shared + "/" + name)) return "the test prefix has no " + std::string(name) + " (scripts/wine-up.sh)";
      writeFileBytes(prefix_ + "/" + name, readFileBytes(shared + "/" + name));
    }
    if (symlink((shared + "/drive_c").c_str(), (prefix_ + "/drive_c").c_str()) != 0 ||
        symlink("../drive_c", (prefix_ + "/dosdevices/c:").c_str()) != 0 ||
        symlink("/", (prefix_ + "/dosdevices/z:").c_str()) != 0) {
      return "symlink in " + prefix_;
    }
    server("-p");
    for (const char* variable : {"TEMP", "TMP"}) {
      if (runReg({"add", "HKCU\\Environment", "/v", variable, "/t", "REG_SZ", "/d", winePathOf(temp_), "/f"},
                 prefix_) != 0) {
        return std::string("reg add ") + variable;
      }
    }
    runReg({"delete", "HKCU\\Software\\northgale", "/f"}, prefix_);

    // The first run fills the version cache; it and a run of each empty program also bring
    // every file involved into the page cache.
    WineResult result;
    run(installer(), {"-q"}, &result);
    forgetRun();
    if (result.exitCode != 0 || readClock(jniClock()) < 0) {
      return "the launcher did not reach JNI_CreateJavaVM (exit " + std::to_string(result.exitCode) +
             "): " + result.err;
    }
    for (const char* program : {"empty/empty.exe", "empty/empty_gui.exe"}) {
      run(fixturePath(program), {winePathOf(entryClock())}, &result);
      if (result.exitCode != 0 || readClock(entryClock()) < 0) return std::string(program) + " did not run";
    }
    return std::string();
  }

  void server(const char* option) const {
    const std::string command = "WINEPREFIX='" + prefix_ + "' timeout 60 /usr/lib/wine/wineserver64 " + option +
                                " </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      // -k finds no server when it has gone already.
    }
  }

  std::string error_;
  std::string dir_, runtime_, prefix_, temp_;
};

void BM_LauncherStartup(benchmark::State& state) {
  static const StartupScene scene;
  if (!scene.error().empty()) {
    state.SkipWithError(scene.error().c_str());
    return;
  }
  std::vector<double> emptyMs, entryMs, toJniMs, runMs;
  WineResult result;
  for (auto _ : state) {
    const int64_t emptyStart = scene.run(fixturePath("empty/empty.exe"), {}, &result);
    emptyMs.push_back((hostTime100ns() - emptyStart) / 1e4);

    const int64_t guiStart = scene.run(fixturePath("empty/empty_gui.exe"), {winePathOf(scene.entryClock())}, &result);
    const int64_t entry = readClock(scene.entryClock());

    const int64_t launchStart = scene.run(scene.installer(), {"-q"}, &result);
    const int64_t launchEnd = hostTime100ns();
    const int64_t jni = readClock(scene.jniClock());
    scene.forgetRun();
    if (result.exitCode != 0 || entry < 0 || jni < 0) {
      state.SkipWithError("a run failed");
      break;
    }
    entryMs.push_back((entry - guiStart) / 1e4);
    toJniMs.push_back((jni - launchStart) / 1e4);
    runMs.push_back((launchEnd - launchStart) / 1e4);
    state.SetIterationTime(toJniMs.back() / 1e3);
    if (std::getenv("STARTUP_BENCH_ROUNDS") != nullptr) {
      std::fprintf(stderr, "round: empty %.1f ms, entry %.1f ms, to JNI_CreateJavaVM %.1f ms, launcher run %.1f ms\n",
                   emptyMs.back(), entryMs.back(), toJniMs.back(), runMs.back());
    }
  }
  if (toJniMs.empty()) return;
  // Other work on the machine only ever adds time, so the shortest of the rounds is the
  // closest to the cost itself; the medians show how much the rounds were disturbed.
  const double empty = minimum(emptyMs), entry = minimum(entryMs), toJni = minimum(toJniMs);
  state.counters["empty_ms"] = empty;
  state.counters["entry_ms"] = entry;
  state.counters["to_jni_ms"] = toJni;
  state.counters["own_ms"] = toJni - entry;
  state.counters["ratio"] = (toJni - entry) / empty;
  state.counters["run_ms"] = minimum(runMs);
  state.counters["ratio_of_medians"] = (median(toJniMs) - median(entryMs)) / median(emptyMs);
}
BENCHMARK(BM_LauncherStartup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(kRounds);

}  // namespace
