// The Linux launcher's start-up, from starting the installer to the Java program's main,
// against `java -cp` of the same program, both warm (the version cache filled, the files in
// the page cache); and the first start of an installer carrying a runtime made with jlink,
// against `tar xzf` of the same archive followed by `java -cp`.
//
// The clock: the program's main writes the wall clock (java.time.Instant, microseconds on
// Linux) to the file it is given; this program notes the same clock right before it starts
// the installer or java. Counters (milliseconds, shortest of the rounds, and medians):
//   java_ms        java -cp: start to main
//   installer_ms   the installer: start to main (the runtime found through its search)
//   ratio          installer_ms / java_ms (the overhead target is <= 1.15)
//   first_ms       installer with its jlink runtime, first start (unpacked each time): to main
//   tar_java_ms    tar xzf of that runtime's archive, then java -cp from it: to main
//   first_ratio    first_ms / tar_java_ms
// Needs the Linux launcher and mediapack of this tree and a JDK with jlink. Its scratch
// directory goes when the run ends.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "bench_support.h"

namespace {
constexpr int kWarmRounds = 15;
constexpr int kFirstRounds = 5;

const char kClockSource[] =
    "package clock;\n"
    "public final class Clock {\n"
    "  public static void main(String[] args) throws Exception {\n"
    "    java.time.Instant now = java.time.Instant.now();\n"
    "    long micros = now.getEpochSecond() * 1000000L + now.getNano() / 1000;\n"
    "    try (java.io.FileWriter out = new java.io.FileWriter(args[args.length - 1])) {\n"
    "      out.write(Long.toString(micros));\n"
    "    }\n"
    "  }\n"
    "}\n";

int64_t nowMicros() {
  return std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::system_clock::now().time_since_epoch())
      .count();
}

std::string readAll(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

double minimum(const std::vector<double>& values) {
  double best = values.empty() ? 0 : values[0];
  for (double v : values) best = v < best ? v : best;
  return best;
}

// Milliseconds from now to the time the program's main wrote into `clockFile`; -1 when the
// command failed or wrote nothing.
double toMainMs(const std::string& command, const std::string& clockFile) {
  std::remove(clockFile.c_str());
  const int64_t start = nowMicros();
  if (run(command + " >/dev/null 2>&1") != 0) return -1;
  const std::string text = readAll(clockFile);
  if (text.empty()) return -1;
  return (std::strtoll(text.c_str(), nullptr, 10) - start) / 1000.0;
}

struct Scene {
  std::string dir, jdk, clockJar, installer, jlinkInstaller, archive, error;
};

Scene makeScene() {
  Scene s;
  s.jdk = findJdk();
  if (s.jdk.empty()) {
    s.error = "no JDK found";
    return s;
  }
  s.dir = makeScratchDirectory("linux_startup_bench");
  std::ofstream(s.dir + "/Clock.java") << kClockSource;
  s.clockJar = s.dir + "/clock.jar";
  if (run(s.jdk + "/bin/javac -d " + s.dir + "/classes " + s.dir + "/Clock.java && " + s.jdk + "/bin/jar cf " +
          s.clockJar + " -C " + s.dir + "/classes clock") != 0) {
    s.error = "javac failed";
    return s;
  }
  if (run(s.jdk + "/bin/jlink --add-modules java.base --output " + s.dir + "/jre") != 0) {
    s.error = "jlink failed";
    return s;
  }
  s.archive = s.dir + "/jre.tar.gz";
  run("tar czf " + s.archive + " -C " + s.dir + "/jre .");
  const std::string common = "\"mainClass\": \"clock.Clock\", \"launcherRuntime\": true, \"productKind\": \"i\", "
                             "\"files\": [\"" + s.clockJar + "\"], ";
  std::ofstream(s.dir + "/installed.json")
      << "{" << common << "\"jreSearchSequence\": \"EBENCH_JAVA;\", \"minJavaVersion\": \"1.8\"}";
  std::ofstream(s.dir + "/bundled.json") << "{" << common << "\"runtime\": \"" << s.dir << "/jre\"}";
  s.installer = s.dir + "/installed-setup";
  s.jlinkInstaller = s.dir + "/bundled-setup";
  const std::string mediapack = LINUX_MEDIAPACK;
  const std::string stub = LINUX_LAUNCHER;
  if (run(mediapack + " build -q " + s.dir + "/installed.json -o " + s.installer + " --stub " + stub) != 0 ||
      run(mediapack + " build -q " + s.dir + "/bundled.json -o " + s.jlinkInstaller + " --stub " + stub) != 0) {
    s.error = "mediapack failed (build the host tree and build/linux/launcher)";
  }
  return s;
}

void BM_LinuxStartup(benchmark::State& state) {
  static const Scene scene = makeScene();
  if (!scene.error.empty()) {
    state.SkipWithError(scene.error.c_str());
    return;
  }
  const std::string clock = scene.dir + "/clock.txt";
  const std::string env = "XDG_CACHE_HOME=" + scene.dir + "/cache BENCH_JAVA=" + scene.jdk + " ";
  const std::string java = scene.jdk + "/bin/java -cp " + scene.clockJar + " clock.Clock " + clock;
  const std::string installer = env + scene.installer + " -q " + clock;
  // Warm-up: the page cache, and the version cache the installer's search fills.
  toMainMs(java, clock);
  toMainMs(installer, clock);

  std::vector<double> javaMs, installerMs;
  for (auto _ : state) {
    for (int round = 0; round < kWarmRounds; ++round) {
      const double j = toMainMs(java, clock);
      const double i = toMainMs(installer, clock);
      if (j < 0 || i < 0) {
        state.SkipWithError("a run failed");
        return;
      }
      javaMs.push_back(j);
      installerMs.push_back(i);
    }
    state.SetIterationTime(median(installerMs) / 1e3);
  }
  state.counters["java_ms"] = minimum(javaMs);
  state.counters["installer_ms"] = minimum(installerMs);
  state.counters["ratio"] = minimum(installerMs) / minimum(javaMs);
  state.counters["ratio_of_medians"] = median(installerMs) / median(javaMs);

  std::vector<double> firstMs, tarJavaMs;
  const std::string unpacked = scene.dir + "/unpacked";
  for (int round = 0; round < kFirstRounds; ++round) {
    firstMs.push_back(toMainMs(env + scene.jlinkInstaller + " -q " + clock, clock));
    run("rm -rf " + unpacked);
    tarJavaMs.push_back(toMainMs("mkdir " + unpacked + " && tar xzf " + scene.archive + " -C " + unpacked + " && " +
                                     unpacked + "/bin/java -cp " + scene.clockJar + " clock.Clock " + clock,
                                 clock));
  }
  state.counters["first_ms"] = minimum(firstMs);
  state.counters["tar_java_ms"] = minimum(tarJavaMs);
  state.counters["first_ratio"] = minimum(firstMs) / minimum(tarJavaMs);
  run("rm -rf " + scene.dir);
}
}  // namespace

BENCHMARK(BM_LinuxStartup)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1);
