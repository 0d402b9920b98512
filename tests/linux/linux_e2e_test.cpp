// Linux installers end to end: mediapack packs a description onto build/linux/launcher, the
// installer runs as a user would start it, and the installed OpenJDK (or a runtime made here
// with its jlink) runs the probe program in the launcher's own process.
#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <thread>

#include "platform/sha256.h"
#include "support/http_server.h"
#include "support/scratch_files.h"

extern char** environ;

namespace {
using Strings = std::vector<std::string>;

struct Outcome {
  int code = -1;
  std::string out;
  std::string err;
};

// A started program whose output goes to files; waited for with a bound.
class Child {
 public:
  // `environment`: "NAME=value" sets, "NAME" alone removes.
  Child(const std::string& dir, const Strings& argv, const Strings& environment) : dir_(dir) {
    std::map<std::string, std::string> env;
    for (char** e = environ; *e != nullptr; ++e) {
      const std::string entry = *e;
      env[entry.substr(0, entry.find('='))] = entry;
    }
    for (const std::string& change : environment) {
      const size_t eq = change.find('=');
      if (eq == std::string::npos) {
        env.erase(change);
      } else {
        env[change.substr(0, eq)] = change;
      }
    }
    Strings envStrings;
    for (const auto& [name, entry] : env) envStrings.push_back(entry);
    std::vector<char*> envp, args;
    for (std::string& s : envStrings) envp.push_back(&s[0]);
    envp.push_back(nullptr);
    Strings argvCopy = argv;
    for (std::string& s : argvCopy) args.push_back(&s[0]);
    args.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 1, (dir + "/stdout").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 2, (dir + "/stderr").c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    if (posix_spawn(&pid_, argv[0].c_str(), &actions, nullptr, args.data(), envp.data()) != 0) pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }

  Outcome wait(int seconds = 180) {
    Outcome outcome;
    if (pid_ < 0) return outcome;
    int status = 0;
    for (int i = 0; i < seconds * 20; ++i) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        outcome.code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
        pid_ = -1;
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
      pid_ = -1;
    }
    outcome.out = readTextFile(dir_ + "/stdout");
    outcome.err = readTextFile(dir_ + "/stderr");
    return outcome;
  }

  ~Child() {
    if (pid_ > 0) wait(0);
  }

 private:
  std::string dir_;
  pid_t pid_ = -1;
};

Outcome run(const std::string& dir, const Strings& argv, const Strings& environment = {}) {
  return Child(dir, argv, environment).wait();
}

// The environment every run gets: a log kept, no runtime from the caller's JAVA_HOME, and a
// version cache of the suite's own (a later XDG_CACHE_HOME in `more` wins).
Strings runEnvironment(Strings more = {}) {
  static ScratchDir cache;
  more.insert(more.begin(), {"QUOLL_LOG=yes", "JAVA_HOME", "QUOLL_JAVA_HOME", "XDG_CACHE_HOME=" + cache.path()});
  return more;
}

std::string quoted(const std::string& text) {
  std::string out = "\"";
  for (char c : text) {
    if (c == '"' || c == '\\') out += '\\';
    out += c;
  }
  return out + "\"";
}

// The probe installer's description; `extra` adds JSON members.
std::string description(const std::string& extra) {
  return std::string("{\n\"executableType\": 5, \"productKind\": \"i\", \"mainClass\": \"probe.Probe\",\n") +
         "\"launcherRuntime\": true, \"acceptJArguments\": 1,\n" +
         "\"files\": [{\"source\": " + quoted(LINUX_PROBE_JAR) + ", \"name\": \"probe.jar\"}]" +
         (extra.empty() ? "" : ",\n" + extra) + "\n}\n";
}

class LinuxInstaller : public ::testing::Test {
 protected:
  // Packs `json` onto the Linux launcher as dir/setup; fails the test when mediapack does.
  std::string pack(const std::string& json, const std::string& name = "setup") {
    const std::string descriptionFile = dir.write(name + ".json", json);
    const std::string installer = dir.file(name);
    // --linux: the Linux launcher that comes with mediapack (build/linux/launcher beside it).
    const Outcome packed = run(dir.path(), {LINUX_MEDIAPACK, "build", descriptionFile, "-o", installer, "--linux"});
    EXPECT_EQ(packed.code, 0) << packed.err << json;
    return installer;
  }

  // A runtime made once for the suite with the JDK's jlink (java.base only).
  static const std::string& jlinkRuntime() {
    static ScratchDir home;
    static const std::string runtime = [] {
      const std::string out = home.file("jre");
      const Outcome made = Child(home.path(), {std::string(LINUX_JDK_HOME) + "/bin/jlink", "--add-modules",
                                                "java.base", "--output", out}, {})
                               .wait(300);
      return made.code == 0 ? out : std::string();
    }();
    return runtime;
  }

  ScratchDir dir;
};

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Strings directoryNames(const std::string& path) {
  Strings names;
  if (DIR* dir = opendir(path.c_str())) {
    while (const dirent* entry = readdir(dir)) names.emplace_back(entry->d_name);
    closedir(dir);
  }
  return names;
}

TEST_F(LinuxInstaller, RunsTheProgramWithItsArgumentsPropertiesAndOptionsFiles) {
  const std::string installer = pack(description(
      "\"minJavaVersion\": \"1.8\", \"jreSearchSequence\": \"EPROBE_JAVA;S;\",\n"
      "\"vmOptions\": \"-Dprobe.fromConfig=yes\", \"arguments\": \"fixed-\u00fc\u2713\""));
  dir.write("setup.vmoptions", "# the default options file\n-Dprobe.fromFile=yes\n");
  const std::string nonAscii = "\xC3\xBCn\xC3\xAF c\xC3\xB8" "d\xE2\x9C\x93";  // "ünï cødé✓"
  const Outcome o = run(dir.path(), {installer, "plain", "two words", nonAscii, "-J-Dprobe.fromJ=yes"},
                        runEnvironment({"PROBE_JAVA=" + std::string(LINUX_JDK_HOME),
                                        "XDG_CACHE_HOME=" + dir.file("cache")}));
  ASSERT_EQ(o.code, 0) << o.out << o.err;
  // A fixed argument from the description: narrow texts are UTF-8 for the Linux launcher.
  for (const std::string& line : Strings{"arg fixed-\xC3\xBC\xE2\x9C\x93", "arg plain", "arg two words", "arg " + nonAscii, "prop probe.fromConfig=yes",
                                          "prop probe.fromFile=yes", "prop probe.fromJ=yes",
                                          "prop quoll.moduleName=" + installer}) {
    EXPECT_TRUE(contains(o.out, line + "\n")) << line << "\n" << o.out;
  }
  EXPECT_FALSE(contains(o.out, "arg -J-Dprobe.fromJ")) << o.out;
  // What "java -version" said is kept for the next start.
  const std::string cache = readTextFile(dir.file("cache/vantrel/jvm-versions"));
  EXPECT_TRUE(contains(cache, "/bin/java\n") && contains(cache, "\t")) << cache;
  // The run's own directory (owner-only while it lived) is gone afterwards.
  const size_t at = o.out.find("prop quoll.tempDir=");
  ASSERT_NE(at, std::string::npos);
  const std::string tempDir = o.out.substr(at + 19, o.out.find('\n', at) - at - 19);
  EXPECT_EQ(tempDir.find(std::getenv("TMPDIR") != nullptr ? std::getenv("TMPDIR") : "/tmp"), 0u) << tempDir;
  EXPECT_FALSE(pathExists(tempDir)) << tempDir;
}

TEST_F(LinuxInstaller, ExitCodesForMissingEntriesRuntimesAndDamage) {
  struct Row {
    const char* what;
    std::string extra;
    bool damage;
    int code;
    const char* stream;  // "out" or "err"
    const char* says;
  };
  const Row rows[] = {
      {"mandatory class path entry missing", "\"classPath\": \"A1missing.jar\"", false, 1, "err", "missing.jar"},
      {"no runtime accepted", "\"minJavaVersion\": \"99\", \"jreSearchSequence\": \"S;\"", false, 83, "out",
       "No JRE found. Aborting."},
      {"payload damaged", "\"minJavaVersion\": \"1.8\"", true, 1, "err", "The installation file is corrupted"},
  };
  for (const Row& row : rows) {
    const std::string installer = pack(description(row.extra));
    if (row.damage) {
      // One byte of the included files, behind the ELF image and the records.
      std::fstream file(installer, std::ios::in | std::ios::out | std::ios::binary);
      file.seekg(-600, std::ios::end);
      const char c = static_cast<char>(file.get());
      file.seekp(-600, std::ios::end);
      file.put(static_cast<char>(c ^ 0x5A));
    }
    // A temporary root of the row's own: the run's directory must be gone on these paths too.
    ScratchDir tmp;
    const Outcome o = run(dir.path(), {installer, "-q"}, runEnvironment({"TMPDIR=" + tmp.path()}));
    EXPECT_EQ(o.code, row.code) << row.what << "\n" << o.out << o.err;
    for (const std::string& name : directoryNames(tmp.path())) {
      EXPECT_NE(name.compare(0, 3, "qlz"), 0) << row.what << ": " << name << " left behind";
    }
    EXPECT_TRUE(contains(std::string(row.stream) == "out" ? o.out : o.err, row.says)) << row.what << "\n"
                                                                                      << o.out << o.err;
  }
}

TEST_F(LinuxInstaller, UsesItsIncludedJlinkRuntimeWithoutJavaHomeOrPath) {
  const std::string& runtime = jlinkRuntime();
  ASSERT_FALSE(runtime.empty()) << "jlink failed";
  const std::string installer =
      pack(description("\"minJavaVersion\": \"1.8\", \"runtime\": " + quoted(runtime)));
  const Outcome o = run(dir.path(), {installer, "x"}, runEnvironment({"PATH=" + dir.path()}));
  ASSERT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_TRUE(contains(o.out, "arg x\n")) << o.out;
  // The runtime unpacked into the run's directory is the one that ran.
  EXPECT_TRUE(contains(o.out, "prop java.home=/")) << o.out;
  const size_t at = o.out.find("prop java.home=");
  EXPECT_TRUE(contains(o.out.substr(at, o.out.find('\n', at) - at), "/jre")) << o.out;
}

TEST_F(LinuxInstaller, DownloadsTheRuntimeFromALocalServer) {
  const std::string& runtime = jlinkRuntime();
  ASSERT_FALSE(runtime.empty()) << "jlink failed";
  const std::string archive = dir.file("served.tar.gz");
  const Outcome tarred = run(dir.path(), {"/bin/tar", "-czf", archive, "-C", runtime, "."});
  ASSERT_EQ(tarred.code, 0) << tarred.err;
  std::ifstream in(archive, std::ios::binary);
  std::stringstream bytes;
  bytes << in.rdbuf();
  HttpReply reply;
  reply.body = bytes.str();
  LocalHttpServer server({{"/jre.tar.gz", reply}});
  ASSERT_TRUE(server.listening());
  // No installed runtime qualifies, so the one at the address is fetched, checked against
  // its digest (a plain http address needs one) and unpacked.
  Sha256 hash;
  hash.update(reply.body.data(), reply.body.size());
  Sha256Digest digest{};
  ASSERT_TRUE(hash.finish(digest));
  const std::string installer = pack(description("\"minJavaVersion\": \"99\", \"jreSearchSequence\": \"S;\",\n"
                                                 "\"autoDownloadJre\": 1, \"jreDownloadLocation\": " +
                                                 quoted(server.url("/jre.tar.gz")) + ", \"jreDownloadSha256\": " +
                                                 quoted(sha256Hex(digest))));
  const Outcome o = run(dir.path(), {installer, "-q", "fetched"}, runEnvironment());
  ASSERT_EQ(o.code, 0) << o.out << o.err;
  EXPECT_TRUE(contains(o.out, "No JRE found. Trying to download.")) << o.out;
  EXPECT_TRUE(contains(o.out, "arg fetched\n")) << o.out;
  EXPECT_EQ(server.requests("/jre.tar.gz"), 1);
}

TEST_F(LinuxInstaller, DrawsAProgressLineOnlyOnATerminalAndNotInQuietMode) {
  if (access("/usr/bin/script", X_OK) != 0) GTEST_SKIP() << "no /usr/bin/script to give the run a terminal";
  const std::string installer =
      pack(description("\"minJavaVersion\": \"1.8\", \"jreSearchSequence\": \"EPROBE_JAVA;\""));
  const Strings environment = runEnvironment({"PROBE_JAVA=" + std::string(LINUX_JDK_HOME)});
  struct Row {
    const char* what;
    Strings argv;
    bool line;
  };
  const Row rows[] = {
      {"terminal", {"/usr/bin/script", "-qec", installer + " shown", "/dev/null"}, true},
      {"terminal, quiet", {"/usr/bin/script", "-qec", installer + " -q shown", "/dev/null"}, false},
      {"no terminal", {installer, "shown"}, false},
  };
  for (const Row& row : rows) {
    const Outcome o = run(dir.path(), row.argv, environment);
    EXPECT_EQ(o.code, 0) << row.what << "\n" << o.out << o.err;
    EXPECT_TRUE(contains(o.out, "arg shown")) << row.what << "\n" << o.out;
    EXPECT_EQ(contains(o.out + o.err, "%\r") || contains(o.out + o.err, "] "), row.line) << row.what << "\n"
                                                                                        << o.out << o.err;
  }
}

TEST_F(LinuxInstaller, ASecondStartWhileTheFirstRunsSaysSoAndEndsWithZero) {
  const std::string installer =
      pack(description("\"minJavaVersion\": \"1.8\", \"jreSearchSequence\": \"EPROBE_JAVA;\""));
  const Strings environment = runEnvironment({"PROBE_JAVA=" + std::string(LINUX_JDK_HOME)});
  const std::string release = dir.file("release");
  ScratchDir firstDir;
  Child first(firstDir.path(), {installer, "wait:" + release}, environment);
  for (int i = 0; i < 1200 && !pathExists(release + ".started"); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
  ASSERT_TRUE(pathExists(release + ".started"));
  const Outcome second = run(dir.path(), {installer, "second"}, environment);
  EXPECT_EQ(second.code, 0) << second.err;
  EXPECT_TRUE(contains(second.err, "This installer is already running.")) << second.err;
  EXPECT_FALSE(contains(second.out, "arg second")) << second.out;
  dir.write("release", "");
  const Outcome firstOutcome = first.wait();
  EXPECT_EQ(firstOutcome.code, 0) << firstOutcome.err;
}
}  // namespace
