// The work sequence's first steps under Wine: integrity check, the temporary directory,
// extraction of the included files, and the language restart. Payloads are written byte by
// byte; quiet mode ("-q") with CFG_EXECUTABLE_TYPE 2 sends errors to standard error.
#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "support/fake_runtime.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "support/wine_run.h"

namespace {

using Records = std::vector<std::pair<int32_t, std::string>>;
using Files = std::vector<std::pair<std::string, std::string>>;  // name, content

const char kCorrupt[] = "The installation file is corrupted. Please download it again.";
const char kDiskFull[] = "There is not enough disk space to extract the installer.";
const char kInternal[] = "An internal error occurred (error code: {0})";
// These installers carry no runtime and the search finds none, so a quiet run that got past
// extraction ends at the runtime decision with this code.
const int kNoRuntime = 83;

std::string fileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string patterned(size_t size, int seed) {
  std::string s(size, '\0');
  for (size_t i = 0; i < size; ++i) s[i] = static_cast<char>((i * 29 + seed * 13 + (i >> 8)) & 0xFF);
  return s;
}

// The payload of an installer with `files` included. `count` overrides the file count
// record (-1: the number of files); `names` overrides the names record.
struct Installer {
  Files files;
  Records extra;
  bool checksum = true;
  int count = -1;
  const char* names = nullptr;
  std::string unextracted = "data only the Java side reads";

  Bytes payload() const {
    PayloadLayout layout;
    std::string list;
    for (const auto& file : files) {
      if (!list.empty()) list += ";";
      list += file.first;
      layout.files.push_back(file.second);
    }
    layout.narrow = {{CFG_EXECUTABLE_TYPE, "2"},
                     {CFG_MSG_ERROR_CAPTION, "Error"},
                     {CFG_MSG_INTERNAL_ERROR, kInternal},
                     {CFG_PRODUCT_KIND, "i"},
                     {CFG_INCLUDED_FILE_COUNT, std::to_string(count >= 0 ? count : static_cast<int>(files.size()))},
                     {CFG_INCLUDED_FILE_NAMES, names ? names : list}};
    layout.narrow.insert(layout.narrow.end(), extra.begin(), extra.end());
    layout.wide = {{CFG_WMSG_CAPTION, u"Setup"},
                   {CFG_WMSG_MEDIA_CORRUPT, u"The installation file is corrupted. Please download it again."},
                   {CFG_WMSG_DISK_FULL, u"There is not enough disk space to extract the installer."}};
    layout.unextracted = unextracted;
    layout.withChecksum = checksum;
    return buildPayload(layout);
  }
};

class ExtractionE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pathExists(launcherExePath())) << "no launcher at " << launcherExePath();
    dir_ = makeTempDirectory("extraction-e2e-");
  }

  void TearDown() override {
    forgetRuns();
    removeTree(dir_);
  }

  // Removes the kept logs of this test's runs and the directories they extracted into.
  void forgetRuns() {
    for (const std::string& log : logsOfRunsIn(dir_)) {
      for (const std::string& windowsTemp : tempDirsIn(withoutCarriageReturns(readTextFile(log)))) {
        const std::string temp = hostPathOf(windowsTemp);
        removeTree(temp);
        std::remove(temp.substr(0, temp.size() - 4).c_str());  // the placeholder file
      }
      std::remove(log.c_str());
    }
  }

  // The directories named by the "Temp dir: " lines of a log, as the launcher wrote them.
  static std::vector<std::string> tempDirsIn(const std::string& log) {
    std::vector<std::string> dirs;
    const std::string key = "\nTemp dir: ";
    for (size_t at = log.find(key); at != std::string::npos; at = log.find(key, at + 1)) {
      const size_t start = at + key.size();
      dirs.push_back(log.substr(start, log.find('\n', start) - start));
    }
    return dirs;
  }

  std::string writeMedia(const Bytes& payload, bool pad = true) {
    const std::string path = dir_ + "/setup.exe";
    writeMediaFile(path, payload, pad);
    return path;
  }

  WineResult run(const std::string& exe, const std::vector<std::string>& args) {
    WineCommand command;
    command.traceMessageBoxes = true;
    command.program = exe;
    command.args = args;
    command.environment = {{"QUOLL_LOG", "yes"}};
    command.unset = {"VANTREL_LOG", "QUOLL_JAVA_HOME", "VANTREL_JAVA_HOME"};
    command.workingDirectory = dir_;
    command.timeoutMs = 60000;
    WineResult result = runUnderWine(command);
    result.err = withoutCarriageReturns(result.err);
    EXPECT_FALSE(result.timedOut) << "the launcher did not end within the time limit";
    return result;
  }

  std::string onlyLog() {
    const std::vector<std::string> logs = logsOfRunsIn(dir_);
    EXPECT_EQ(logs.size(), 1u) << "logs of runs in " << dir_;
    return logs.size() == 1 ? withoutCarriageReturns(readTextFile(logs[0])) : std::string();
  }

  // The one directory the run extracted into, as a host path ("" and a failure otherwise).
  std::string extractedDir(const std::string& log) {
    const std::vector<std::string> dirs = tempDirsIn(log);
    EXPECT_EQ(dirs.size(), 1u) << log;
    return dirs.size() == 1 ? hostPathOf(dirs[0]) : std::string();
  }

  static bool hasLine(const std::string& log, const std::string& line) {
    return log.find("\n" + line + "\n") != std::string::npos;
  }

  // One wide error box with `text`, caption "Setup".
  static void expectWideBox(const WineResult& result, const std::string& text) {
    ASSERT_EQ(result.boxes.size(), 1u) << result.err;
    EXPECT_TRUE(result.boxes[0].wide);
    EXPECT_EQ(result.boxes[0].text, text);
    EXPECT_EQ(result.boxes[0].caption, "Setup");
    EXPECT_EQ(result.boxes[0].flags, 0x10u);  // MB_ICONERROR
  }

  // An installer that finds the stand-in runtime beside it and so reaches the Java side,
  // which then owns the extracted files: a run that ends before that removes them.
  Installer reachingTheJavaSide() {
    makeFakeRuntime(dir_ + "/rt");
    Installer installer;
    installer.extra = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "Brt"}};
    return installer;
  }

  std::string dir_;
};

TEST_F(ExtractionE2ETest, FilesInTheRootAndOneSubdirectoryExtractByteIdentical) {
  Installer installer = reachingTheJavaSide();
  installer.files = {{"app.jar", patterned(70000, 1)},
                     {"lib\\a.jar", patterned(8192, 2)},
                     {"lib\\b.properties", "key=value\r\n"},
                     {"empty.txt", ""}};
  const WineResult result = run(writeMedia(installer.payload()), {"-q"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.boxes.empty());
  const std::string log = onlyLog();
  const std::string temp = extractedDir(log);
  ASSERT_FALSE(temp.empty());
  EXPECT_TRUE(pathExists(temp.substr(0, temp.size() - 4))) << "the placeholder file stays";
  for (const auto& file : installer.files) {
    std::string host = temp + "/" + file.first;
    for (char& c : host) c = c == '\\' ? '/' : c;
    if (file.second.empty()) {
      EXPECT_FALSE(pathExists(host)) << "an empty entry creates no file: " << file.first;
    } else {
      EXPECT_TRUE(fileText(host) == file.second) << file.first;
    }
  }
  for (const char* line : {"Included files: 4", "extracting files done", "No JRE included", "launch done"}) {
    EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
  }
  const size_t checksums = log.find("\nchecksums: ");
  ASSERT_NE(checksums, std::string::npos) << log;
  const std::string values = log.substr(checksums + 12, log.find('\n', checksums + 1) - checksums - 12);
  const size_t blank = values.find(' ');
  EXPECT_EQ(values.substr(0, blank), values.substr(blank + 1, blank)) << values;
  EXPECT_TRUE(hasLine(log, "Current working dir: " + tempDirsIn(log)[0])) << log;
}

TEST_F(ExtractionE2ETest, TheFileCountDecidesHowManyNamesAreTaken) {
  struct Row {
    const char* name;
    int count;
    const char* names;
    std::vector<std::string> present, absent;
  } rows[] = {
      {"more names than the count", 1, "a.txt;b.txt", {"a.txt"}, {"b.txt"}},
      {"fewer names than the count", 3, "a.txt;;b.txt", {"a.txt", "b.txt"}, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Installer installer = reachingTheJavaSide();
    installer.files = {{"a.txt", "A"}, {"b.txt", "B"}};
    installer.count = row.count;
    installer.names = row.names;
    const WineResult result = run(writeMedia(installer.payload()), {"-q"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = onlyLog();
    const std::string temp = extractedDir(log);
    for (const std::string& name : row.present) EXPECT_TRUE(pathExists(temp + "/" + name)) << name;
    for (const std::string& name : row.absent) EXPECT_FALSE(pathExists(temp + "/" + name)) << name;
    EXPECT_TRUE(hasLine(log, "extracting files done")) << log;
    forgetRuns();
  }
}

TEST_F(ExtractionE2ETest, AChangedByteInTheRangeIsCorruptButNotInThePadding) {
  Installer installer;
  installer.files = {{"app.jar", patterned(5000, 3)}};
  const Bytes payload = installer.payload();
  const Bytes stub = readFileBytes(launcherExePath());
  const size_t start = peLayoutOf(stub).imageEnd();
  ASSERT_NE((start + payload.size()) % 512, 0u) << "the test needs padding behind the payload";

  struct Row {
    const char* name;
    size_t offset;  // from the payload start; the last byte of the file for the padding
    std::vector<std::string> args;
    bool corrupt;
  } rows[] = {
      {"byte of an included file", payload.size() - installer.unextracted.size() - 100, {"-q"}, true},
      {"byte of the unextracted data", payload.size() - 3, {"-q"}, true},
      {"byte of the padding", SIZE_MAX, {"-q"}, false},
      {"byte of an included file with -nocheck", payload.size() - installer.unextracted.size() - 100,
       {"-q", "-nocheck"}, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Bytes media = composeMediaFile(stub, payload);
    const size_t at = row.offset == SIZE_MAX ? media.size() - 1 : start + row.offset;
    media[at] ^= 0x40;
    const std::string exe = dir_ + "/setup.exe";
    writeFileBytes(exe, media);
    const WineResult result = run(exe, row.args);
    const std::string log = onlyLog();
    if (row.corrupt) {
      EXPECT_EQ(result.exitCode, 1) << result.err;
      // Shown even in quiet mode, and without a log line under it.
      expectWideBox(result, kCorrupt);
      EXPECT_EQ(log.find("Temp dir: "), std::string::npos) << "nothing may be extracted\n" << log;
    } else {
      EXPECT_EQ(result.exitCode, kNoRuntime) << result.err;
      EXPECT_TRUE(result.boxes.empty());
      EXPECT_TRUE(hasLine(log, "extracting files done")) << log;
    }
    EXPECT_EQ(log.find("verifying integrity") != std::string::npos,
              std::find(row.args.begin(), row.args.end(), "-nocheck") == row.args.end())
        << log;
    forgetRuns();
  }
}

TEST_F(ExtractionE2ETest, AFileCutInsideTheCheckedRangeIsInternalError34) {
  Installer installer;
  installer.files = {{"app.jar", patterned(40000, 4)}};
  Bytes payload = installer.payload();
  payload.resize(payload.size() - 20000);
  const WineResult result = run(writeMedia(payload, false), {"-q"});
  EXPECT_EQ(result.exitCode, 1) << result.err;
  EXPECT_TRUE(result.boxes.empty());
  const std::string message = "An internal error occurred (error code: 34)\n\nLog: ";
  EXPECT_EQ(result.err.compare(0, message.size(), message), 0) << result.err;
  const std::string log = onlyLog();
  EXPECT_NE(log.find("\nERROR: check ReadFile failed "), std::string::npos) << log;
  EXPECT_EQ(log.find("Temp dir: "), std::string::npos) << log;
}

TEST_F(ExtractionE2ETest, FailedExtractionRemovesTheDirectoryAndSaysWhy) {
  struct Row {
    const char* name;
    Installer installer;
    size_t cutBytes;  // taken off the end of the payload
    std::vector<std::string> args;
    bool box;
  };
  Installer cut;  // no checksum, an entry that claims more bytes than the file has
  cut.checksum = false;
  cut.files = {{"a.txt", "first"}, {"b.bin", patterned(3000, 5)}};
  cut.unextracted.clear();
  Installer unsafe;  // a name that would leave the directory
  unsafe.files = {{"ok.txt", "fine"}, {"..\\escaped.txt", "evil"}};
  Row rows[] = {
      {"media file ends inside an entry", cut, 1000, {}, true},
      {"unsafe name", unsafe, 0, {}, true},
      {"unsafe name, quiet", unsafe, 0, {"-q"}, false},
  };
  for (Row& row : rows) {
    SCOPED_TRACE(row.name);
    // Without a progress dialog, so that a run that is not quiet still runs headless.
    row.installer.extra.push_back({CFG_HIDE_PROGRESS_DIALOG, "1"});
    Bytes payload = row.installer.payload();
    payload.resize(payload.size() - row.cutBytes);
    const WineResult result = run(writeMedia(payload, false), row.args);
    EXPECT_EQ(result.exitCode, 1) << result.err;
    if (row.box) {
      expectWideBox(result, kCorrupt);
    } else {
      EXPECT_TRUE(result.boxes.empty());
    }
    const std::string log = onlyLog();
    const std::string temp = extractedDir(log);
    EXPECT_FALSE(temp.empty() || pathExists(temp)) << "the directory is removed again: " << temp;
    EXPECT_FALSE(pathExists(temp + "/../escaped.txt"));
    EXPECT_NE(log.find("\nERROR: Failed to extract "), std::string::npos) << log;
    EXPECT_EQ(log.find("extracting files done"), std::string::npos) << log;
    forgetRuns();
  }
}

TEST_F(ExtractionE2ETest, ManualSelectionDropsTheIncludedRuntime) {
  Installer installer;
  installer.files = {{"jre.tar.gz", "not really an archive"}};
  const WineResult result = run(writeMedia(installer.payload()), {"-q", "-manual"});
  EXPECT_EQ(result.exitCode, kNoRuntime) << result.err;
  const std::string log = onlyLog();
  const size_t included = log.find("\nJRE included\n");
  ASSERT_NE(included, std::string::npos) << log;
  EXPECT_NE(log.find("\nIncluded JRE not used because of manual switch\n", included), std::string::npos) << log;
}

TEST_F(ExtractionE2ETest, LanguageRestartUsesTheCurrentDirectoryAndSkipsCheckAndExtraction) {
  Installer installer;
  installer.files = {{"app.jar", "content"}};
  Bytes payload = installer.payload();
  payload[8] ^= 0xFF;  // a wrong stored checksum: the check must not run
  const std::string exe = writeMedia(payload);
  // The runtime an earlier run extracted; it is loaded from there and started.
  makeFakeRuntime(dir_ + "/jre");
  const WineResult result = run(exe, {"__vnq_lang_restart", "de"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(result.boxes.empty());
  const std::string log = onlyLog();
  EXPECT_TRUE(hasLine(log, "Current working dir: " + winePathOf(dir_))) << log;
  EXPECT_TRUE(hasLine(log, "Checking extracted JRE: " + winePathOf(dir_ + "/jre"))) << log;
  EXPECT_TRUE(hasLine(log, "JRE included")) << log;
  EXPECT_TRUE(hasLine(log, "launch done")) << log;
  for (const char* absent : {"verifying integrity", "Temp dir: ", "extracting files", "native lib dir"}) {
    EXPECT_EQ(log.find(absent), std::string::npos) << absent << "\n" << log;
  }
}

// Points the harness at another prefix for the lifetime of the object.
class ScopedPrefix {
 public:
  explicit ScopedPrefix(const std::string& prefix) {
    const char* old = std::getenv("WINEPREFIX");
    had_ = old != nullptr;
    if (had_) old_ = old;
    setenv("WINEPREFIX", prefix.c_str(), 1);
  }
  ~ScopedPrefix() {
    if (had_) {
      setenv("WINEPREFIX", old_.c_str(), 1);
    } else {
      unsetenv("WINEPREFIX");
    }
  }

 private:
  bool had_ = false;
  std::string old_;
};

// A private Wine prefix whose temporary directory is a small tmpfs, so that extraction runs
// out of space. It shares drive C: with the test prefix but has its own registry and server.
class FullDiskPrefix {
 public:
  explicit FullDiskPrefix(const std::string& dir) : prefix_(dir + "/prefix"), mount_(dir + "/full") {}
  ~FullDiskPrefix() {
    if (!prefix_.empty() && pathExists(prefix_ + "/system.reg")) {
      const std::string kill = "WINEPREFIX='" + prefix_ + "' timeout 60 /usr/lib/wine/wineserver64 -k"
                               " </dev/null >/dev/null 2>&1";
      if (std::system(kill.c_str()) != 0) {
        // The server may already have ended on its own.
      }
    }
    if (mounted_) umount2(mount_.c_str(), MNT_DETACH);
  }

  // Empty on success, else why the prefix cannot be made.
  std::string make() {
    if (mkdir(mount_.c_str(), 0755) != 0) return "mkdir " + mount_;
    if (mount("tmpfs", mount_.c_str(), "tmpfs", 0, "size=1m") != 0) {
      return std::string("mounting a tmpfs is not permitted here: ") + std::strerror(errno);
    }
    mounted_ = true;
    const std::string shared = winePrefix();
    if (mkdir(prefix_.c_str(), 0755) != 0 || mkdir((prefix_ + "/dosdevices").c_str(), 0755) != 0) {
      return "mkdir " + prefix_;
    }
    for (const char* name : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}) {
      writeFileBytes(prefix_ + "/" + name, readFileBytes(shared + "/" + name));
    }
    if (symlink((shared + "/drive_c").c_str(), (prefix_ + "/drive_c").c_str()) != 0 ||
        symlink("../drive_c", (prefix_ + "/dosdevices/c:").c_str()) != 0 ||
        symlink("/", (prefix_ + "/dosdevices/z:").c_str()) != 0) {
      return "symlink in " + prefix_;
    }
    const std::string temp = winePathOf(mount_);
    for (const char* variable : {"TEMP", "TMP"}) {
      if (!reg({"add", "HKCU\\Environment", "/v", variable, "/t", "REG_SZ", "/d", temp, "/f"})) {
        return std::string("reg add ") + variable;
      }
    }
    // Box tracing reads only the box functions (the test prefix may not have been set up yet).
    if (!reg({"add", "HKCU\\Software\\Wine\\Debug", "/v", "RelayInclude", "/t", "REG_SZ", "/d",
              "user32.MessageBoxA;user32.MessageBoxW", "/f"})) {
      return "reg add RelayInclude";
    }
    // Start markers that other runs left in the copied registry would add the question about
    // the last run to the boxes.
    reg({"delete", kStartMarkerKey, "/va", "/f"});
    return std::string();
  }

  const std::string& path() const { return prefix_; }
  const std::string& mountPoint() const { return mount_; }

 private:
  bool reg(const std::vector<std::string>& args) {
    ScopedPrefix use(prefix_);
    WineCommand command;
    command.program = "reg";
    command.args = args;
    command.timeoutMs = 120000;
    return runUnderWine(command).exitCode == 0;
  }

  std::string prefix_, mount_;
  bool mounted_ = false;
};

TEST_F(ExtractionE2ETest, AFullDiskShowsTheDiskFullMessage) {
  Installer installer;
  installer.files = {{"small.txt", "fits"}, {"big.bin", patterned(3 << 20, 6)}};
  installer.extra.push_back({CFG_HIDE_PROGRESS_DIALOG, "1"});
  const std::string exe = writeMedia(installer.payload());

  FullDiskPrefix prefix(dir_);
  {
    const std::string problem = prefix.make();
    if (!problem.empty()) GTEST_SKIP() << "no size-limited disk for the launcher: " << problem;
  }
  WineResult result, quiet;
  {
    ScopedPrefix use(prefix.path());
    result = run(exe, {});
    quiet = run(exe, {"-q"});
  }
  EXPECT_EQ(result.exitCode, 1) << result.err;
  expectWideBox(result, kDiskFull);
  EXPECT_EQ(quiet.exitCode, 1) << quiet.err;
  EXPECT_TRUE(quiet.boxes.empty());
  // Everything extracted is gone again; only the logs and placeholders remain.
  for (const std::string& name : filesStartingWith(prefix.mountPoint(), "qlz")) {
    EXPECT_EQ(name.find("_dir"), std::string::npos) << name;
  }
}

}  // namespace
