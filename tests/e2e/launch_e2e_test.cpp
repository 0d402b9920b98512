// Whole runs under Wine, from the payload to the Java launch: a runtime home made by the test
// (the fixture java.exe answering "-version", the fixture jvm.dll recording every option,
// lookup and call) is found by the search, loaded, and started. The record is compared with
// what the Java side must receive. Runs are quiet ("-q"), so errors go to standard error.
//
// The suite runs in a Wine prefix of its own (a copy of the test prefix's registry sharing its
// drive C:): the runs write start markers, version-cache entries and registry runtimes, and
// the search must not find what other tests leave in the shared registry. Its TEMP is a
// directory of the suite, so logs and extracted files are easy to find and remove.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "runtime/gzip_members.h"
#include "cli.h"
#include "platform/sha256.h"
#include "support/fake_runtime.h"
#include "support/http_server.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "support/tar_archives.h"
#include "support/wine_run.h"

namespace {

using Records = std::vector<std::pair<int32_t, std::string>>;
using Environment = std::vector<std::pair<std::string, std::string>>;

const char kNotStarted[] =
    "The JVM could not be started. The maximum heap size (-Xmx) might be too large or an antivirus or "
    "firewall tool could block the execution.";
const char kNoJvm[] = "No {0}-bit Java virtual machine could be found on your system.";
const char kFileNotFound[] = "File or directory {0} not found or empty\n";
const char kVariableUndefined[] = "The environment variable {0} has to be defined";
const char kInstallerLauncher[] = "com/vantrel/runtime/launcher/WinLauncher";

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(withoutCarriageReturns(text));
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

bool startsWith(const std::string& text, const std::string& prefix) {
  return text.compare(0, prefix.size(), prefix) == 0;
}

bool hasLine(const std::string& log, const std::string& line) {
  return log.find("\n" + line + "\n") != std::string::npos;
}

std::string lowercase(std::string text) {
  for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return text;
}

std::string withPlaceholder(const std::string& text, const std::string& value) {
  const size_t at = text.find("{0}");
  return at == std::string::npos ? text : text.substr(0, at) + value + text.substr(at + 3);
}

// A runtime home with the recording jvm.dll, or a damaged one, saying `version`.
void makeRuntime(const std::string& home, FakeJvm jvm = FakeJvm::Working, bool unpacker = false) {
  FakeRuntimeOptions options;
  options.jvm = jvm;
  options.unpacker = unpacker;
  makeFakeRuntime(home, options);
}

// An installer's payload. Included files are (name, content); the count and names records
// are derived from them.
struct Installer {
  Records records;
  std::vector<std::pair<std::string, std::string>> files;
  std::vector<std::pair<int32_t, std::u16string>> wide;
  std::string unextracted = "for the Java side";

  Bytes payload() const {
    PayloadLayout layout;
    std::string names;
    for (const auto& file : files) {
      names += (names.empty() ? "" : ";") + file.first;
      layout.files.push_back(file.second);
    }
    layout.narrow = {{CFG_EXECUTABLE_TYPE, "2"},
                     {CFG_MSG_ERROR_CAPTION, "Error"},
                     {CFG_MSG_JVM_NOT_STARTED, kNotStarted},
                     {CFG_MSG_FILE_NOT_FOUND, kFileNotFound},
                     {CFG_MSG_ENV_VAR_UNDEFINED, kVariableUndefined},
                     {CFG_MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})"},
                     {CFG_MSG_NO_JVM_BITS, kNoJvm},
                     {CFG_PRODUCT_KIND, "i"},
                     {CFG_INCLUDED_FILE_COUNT, std::to_string(files.size())},
                     {CFG_INCLUDED_FILE_NAMES, names}};
    // A test's records replace the defaults of the same id.
    for (const auto& record : records) {
      auto same = std::find_if(layout.narrow.begin(), layout.narrow.end(),
                               [&](const std::pair<int32_t, std::string>& r) { return r.first == record.first; });
      if (same != layout.narrow.end()) {
        same->second = record.second;
      } else {
        layout.narrow.push_back(record);
      }
    }
    layout.wide = {{CFG_WMSG_CAPTION, u"Setup"}};
    layout.wide.insert(layout.wide.end(), wide.begin(), wide.end());
    layout.unextracted = unextracted;
    layout.withChecksum = true;
    return buildPayload(layout);
  }
};

// The suite's Wine prefix: its own registry and server, drive C: shared with the test prefix.
class PrivatePrefix {
 public:
  // Empty on success, else why the prefix cannot be made.
  std::string make(const std::string& dir) {
    dir_ = dir;
    path_ = dir + "/prefix";
    temp_ = dir + "/temp";
    const std::string shared = winePrefix();
    makeDirectories(path_ + "/dosdevices");
    makeDirectories(temp_);
    for (const char* name : {"system.reg", "user.reg", "userdef.reg", ".update-timestamp"}) {
      if (!pathExists(shared + "/" + name)) return "the test prefix has no " + std::string(name);
      writeFileBytes(path_ + "/" + name, readFileBytes(shared + "/" + name));
    }
    if (symlink((shared + "/drive_c").c_str(), (path_ + "/drive_c").c_str()) != 0 ||
        symlink("../drive_c", (path_ + "/dosdevices/c:").c_str()) != 0 ||
        symlink("/", (path_ + "/dosdevices/z:").c_str()) != 0) {
      return "symlink in " + path_;
    }
    // A persistent server, so that each run starts quickly; no pipe may reach it.
    server("-p");
    for (const char* variable : {"TEMP", "TMP"}) {
      if (reg({"add", "HKCU\\Environment", "/v", variable, "/t", "REG_SZ", "/d", winePathOf(temp_), "/f"}) != 0) {
        return std::string("reg add ") + variable;
      }
    }
    // Whatever other tests left in the copied registry must not be found here.
    for (const char* key : {"HKCU\\Software\\northgale", "HKLM\\Software\\northgale", "HKCU\\Software\\JavaSoft",
                            "HKLM\\Software\\JavaSoft"}) {
      reg({"delete", key, "/f"});
      reg({"delete", key, "/f", "/reg:32"});
    }
    return std::string();
  }

  ~PrivatePrefix() {
    if (!path_.empty()) server("-k");
    if (!dir_.empty()) removeTree(dir_);
  }

  int reg(const std::vector<std::string>& args) const { return runReg(args, path_); }

  // A REG_DWORD value, or -1 when it is missing.
  long dword(const std::string& key, const std::string& name) const {
    WineCommand command;
    command.program = "reg";
    command.args = {"query", key, "/v", name};
    command.environment = {{"WINEPREFIX", path_}};
    command.timeoutMs = 120000;
    const WineResult result = runUnderWine(command);
    const size_t at = result.out.find("REG_DWORD");
    if (result.exitCode != 0 || at == std::string::npos) return -1;
    return std::strtol(result.out.c_str() + result.out.find("0x", at), nullptr, 16);
  }

  // How many values of `key` have names beginning with `prefix`.
  int countValues(const std::string& key, const std::string& prefix) const {
    WineCommand command;
    command.program = "reg";
    command.args = {"query", key};
    command.environment = {{"WINEPREFIX", path_}};
    command.timeoutMs = 120000;
    int count = 0;
    for (const std::string& line : linesOf(runUnderWine(command).out)) {
      const size_t start = line.find_first_not_of(' ');
      if (start != std::string::npos && line.compare(start, prefix.size(), prefix) == 0) ++count;
    }
    return count;
  }

  const std::string& path() const { return path_; }
  const std::string& temp() const { return temp_; }

 private:
  void server(const char* option) const {
    const std::string command = "WINEPREFIX='" + path_ + "' timeout 60 /usr/lib/wine/wineserver64 " + option +
                                " </dev/null >/dev/null 2>&1";
    if (std::system(command.c_str()) != 0) {
      // -k finds no server when it has already gone; -p when one runs already.
    }
  }

  std::string dir_, path_, temp_;
};

class LaunchE2ETest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!pathExists(launcherExePath()) || !pathExists(fixturePath("jvm.dll"))) return;
    suiteDir_ = new std::string(makeTempDirectory("launch-e2e-"));
    prefix_ = new PrivatePrefix();
    prefixProblem_ = new std::string(prefix_->make(*suiteDir_ + "/wine"));
  }

  static void TearDownTestSuite() {
    delete prefix_;
    prefix_ = nullptr;
    if (suiteDir_ != nullptr) removeTree(*suiteDir_);
    delete suiteDir_;
    suiteDir_ = nullptr;
    delete prefixProblem_;
    prefixProblem_ = nullptr;
  }

  void SetUp() override {
    ASSERT_TRUE(pathExists(launcherExePath())) << "no launcher at " << launcherExePath();
    ASSERT_TRUE(pathExists(fixturePath("jvm.dll"))) << "no fixture jvm.dll at " << fixturePath("jvm.dll");
    ASSERT_TRUE(prefixProblem_ != nullptr && prefixProblem_->empty()) << (prefixProblem_ ? *prefixProblem_ : "");
    std::string pattern = *suiteDir_ + "/case-XXXXXX";
    ASSERT_NE(mkdtemp(&pattern[0]), nullptr) << pattern;
    dir_ = pattern;
    record_ = dir_ + "/jvm-record.txt";
    clearRegistry();
  }

  void TearDown() override {
    forgetRuns();
    removeTree(dir_);
  }

  // Start markers and registered runtimes of earlier cases.
  void clearRegistry() {
    prefix_->reg({"delete", "HKCU\\Software\\northgale", "/f"});
    prefix_->reg({"delete", "HKLM\\Software\\JavaSoft", "/f", "/reg:32"});
  }

  // Removes what the runs left in the prefix's temporary directory.
  void forgetRuns() {
    for (const std::string& name : filesStartingWith(prefix_->temp(), "")) {
      if (name != "." && name != "..") removeTree(prefix_->temp() + "/" + name);
    }
    std::remove(record_.c_str());
  }

  std::string writeInstaller(const Installer& installer, const std::string& name = "setup.exe") {
    const std::string path = dir_ + "/" + name;
    writeMediaFile(path, installer.payload());
    return path;
  }

  WineResult run(const std::string& exe, const std::vector<std::string>& args, const Environment& environment = {}) {
    WineCommand command;
    command.program = exe;
    command.args = args;
    command.environment = {{"WINEPREFIX", prefix_->path()},
                           {"WINEDEBUG", "-all"},
                           {"QUOLL_LOG", "yes"},
                           {"TESTJVM_RECORD", winePathOf(record_)}};
    command.environment.insert(command.environment.end(), environment.begin(), environment.end());
    // No display: a window the launcher tries to make fails at once instead of waiting for
    // a user.
    command.unset = {"DISPLAY",         "WAYLAND_DISPLAY",   "VANTREL_LOG",  "MANPATH",        "QUOLL_JAVA_HOME",
                     "VANTREL_JAVA_HOME", "JAVA_HOME",        "TESTJVM_FAIL", "QUOLL_TEST_JRE", "QUOLL_TEST_CP",
                     // The downloads go to a server on this machine, never through a proxy.
                     "http_proxy",      "HTTP_PROXY",        "https_proxy",  "HTTPS_PROXY",    "all_proxy"};
    command.workingDirectory = dir_;
    command.timeoutMs = 60000;
    WineResult result = runUnderWine(command);
    result.out = withoutCarriageReturns(result.out);
    result.err = withoutCarriageReturns(result.err);
    EXPECT_FALSE(result.timedOut) << "the launcher did not end within the time limit";
    return result;
  }

  // The one diagnostic log of the last run, read and removed.
  std::string takeLog() {
    const std::vector<std::string> logs = filesStartingWith(prefix_->temp(), "vnq_nlog");
    EXPECT_EQ(logs.size(), 1u) << "logs in " << prefix_->temp();
    if (logs.size() != 1) return std::string();
    const std::string path = prefix_->temp() + "/" + logs[0];
    const std::string log = withoutCarriageReturns(readWholeFile(path));
    std::remove(path.c_str());
    return log;
  }

  // The temporary directory the run extracted into, as the launcher wrote it.
  static std::string tempDirOf(const std::string& log) {
    const std::string key = "\nTemp dir: ";
    const size_t at = log.find(key);
    if (at == std::string::npos) return std::string();
    const size_t start = at + key.size();
    return log.substr(start, log.find('\n', start) - start);
  }

  std::vector<std::string> recordLines() const { return linesOf(readWholeFile(record_)); }

  // The options the VM was created with, in order.
  std::vector<std::string> options() const {
    std::vector<std::string> out;
    for (const std::string& line : recordLines()) {
      if (startsWith(line, "option ")) out.push_back(line.substr(7));
    }
    return out;
  }

  // The options after the launcher's own properties (which end with java.library.path and,
  // without MANPATH, the console code page).
  std::vector<std::string> optionsAfterProperties() const {
    std::vector<std::string> all = options();
    std::vector<std::string> out;
    for (const std::string& option : all) {
      if (!startsWith(option, "-Dquoll.") && !startsWith(option, "-Djava.library.path=")) out.push_back(option);
    }
    return out;
  }

  // The String[] handed to the launcher class's main.
  std::vector<std::string> mainArguments() const {
    std::vector<std::string> out;
    bool inMain = false;
    for (const std::string& line : recordLines()) {
      if (startsWith(line, "CallStaticVoidMethod ")) inMain = line.find(".main") != std::string::npos;
      if (!inMain || !startsWith(line, "arg ")) continue;
      const size_t blank = line.find(' ', 4);
      out.push_back(blank == std::string::npos ? std::string() : line.substr(blank + 1));
    }
    return out;
  }

  // A fatal message on standard error with the log named under it; exit code 1.
  static void expectFatal(const WineResult& result, const std::string& message) {
    EXPECT_EQ(result.exitCode, 1) << result.err;
    const std::string prefix = message + "\n\nLog: ";
    EXPECT_TRUE(startsWith(result.err, prefix)) << result.err;
  }

  long globalMarker() const { return prefix_->dword(kStartMarkerKey, "InstallStarted"); }
  // How many start markers (global and per-process) exist.
  int markerValues() const { return prefix_->countValues(kStartMarkerKey, "InstallStarted"); }

  static std::string* suiteDir_;
  static PrivatePrefix* prefix_;
  static std::string* prefixProblem_;
  std::string dir_;
  std::string record_;
};

std::string* LaunchE2ETest::suiteDir_ = nullptr;
PrivatePrefix* LaunchE2ETest::prefix_ = nullptr;
std::string* LaunchE2ETest::prefixProblem_ = nullptr;

// The configuration of the JVM start's worked example: an installer with two VM options,
// standard error redirected to error.log, found through an environment variable.
Installer workedExample() {
  Installer installer;
  installer.records = {{CFG_EXECUTABLE_TYPE, "5"},
                       {CFG_MAIN_CLASS, "com.vantrel.runtime.installer.Installer"},
                       {CFG_VM_OPTIONS, "-Dsun.java2d.noddraw=true -Duser.language=zh_CN"},
                       {CFG_REDIRECT_STDERR, "1"},
                       {CFG_STDERR_FILE, "error.log"},
                       {CFG_REDIRECT_STDOUT, "0"},
                       {CFG_LAUNCHER_SWITCH, "0"},
                       {CFG_APP_HOME_DIRECTORY, "."},
                       {CFG_MIN_JAVA_VERSION, "1.8"},
                       {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE;"}};
  installer.files = {{"a.jar", "jar a"}, {"c.zip", "zip c"}, {"readme.txt", "not an archive"}, {"b.jar", "jar b"}};
  return installer;
}

// Options from -Djava.class.path= split at ";" (the trailing empty item dropped).
std::vector<std::string> classPathOf(const std::vector<std::string>& options) {
  std::vector<std::string> items;
  for (const std::string& option : options) {
    if (!startsWith(option, "-Djava.class.path=")) continue;
    std::string item;
    std::istringstream in(option.substr(18));
    while (std::getline(in, item, ';')) items.push_back(item);
  }
  return items;
}

TEST_F(LaunchE2ETest, WorkedExampleStartsTheLauncherClassWithTheComposedOptionsAndArguments) {
  const Installer installer = workedExample();
  const std::string exe = writeInstaller(installer);
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  const WineResult result = run(exe, {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "");
  EXPECT_EQ(result.err, "");
  const std::string log = takeLog();
  EXPECT_TRUE(hasLine(log, "launch done")) << log;
  const std::string temp = tempDirOf(log);
  ASSERT_FALSE(temp.empty()) << log;

  // The JVM of the runtime the variable names, loaded from its first VM directory that has one.
  const std::string bin = lowercase(winePathOf(home)) + "\\bin";
  const std::vector<std::string> lines = recordLines();
  ASSERT_GE(lines.size(), 2u) << readWholeFile(record_);
  EXPECT_EQ(lines[0], "module " + bin + "\\server\\jvm.dll");
  EXPECT_EQ(lines[1], "JNI_CreateJavaVM version=0x00010002 nOptions=11 ignoreUnrecognized=1");

  const Bytes stub = readFileBytes(launcherExePath());
  const size_t unextracted = peLayoutOf(stub).imageEnd() + installer.payload().size() - installer.unextracted.size();
  const std::vector<std::string> opts = options();
  ASSERT_EQ(opts.size(), 11u);
  EXPECT_TRUE(startsWith(opts[0], "-Dquoll.semaphoreName=") && opts[0].size() > 22) << opts[0];
  EXPECT_EQ(opts[1], "-Dquoll.jev=true");
  EXPECT_EQ(opts[2], "-Dquoll.isVantrel=true");
  EXPECT_EQ(opts[3], "-Dquoll.moduleName=" + winePathOf(exe));
  EXPECT_EQ(opts[4], "-Dquoll.tempDir=" + temp);
  EXPECT_EQ(opts[5], "-Dquoll.unextractedPosition=" + std::to_string(unextracted));
  // PATH as the process has it, with the runtime's bin directory appended by the loader.
  EXPECT_TRUE(startsWith(opts[6], "-Djava.library.path=") && opts[6].size() > bin.size() + 1 &&
              opts[6].compare(opts[6].size() - bin.size() - 1, std::string::npos, ";" + bin) == 0)
      << opts[6];
  EXPECT_TRUE(startsWith(opts[7], "-Dquoll.consoleCodepage=cp") && opts[7].size() > 26 &&
              opts[7].find_first_not_of("0123456789", 26) == std::string::npos)
      << opts[7];
  EXPECT_EQ(opts[8], "-Dsun.java2d.noddraw=true");
  EXPECT_EQ(opts[9], "-Duser.language=zh_CN");
  // The temporary directory's .jar files in the order the system lists them, then its .zip
  // files; readme.txt is no archive.
  const std::vector<std::string> classPath = classPathOf(opts);
  ASSERT_EQ(classPath.size(), 3u) << opts[10];
  EXPECT_EQ(opts[10].back(), ';') << opts[10];
  std::vector<std::string> jars(classPath.begin(), classPath.begin() + 2);
  std::sort(jars.begin(), jars.end());
  EXPECT_EQ(jars, (std::vector<std::string>{temp + "\\a.jar", temp + "\\b.jar"}));
  EXPECT_EQ(classPath[2], temp + "\\c.zip");

  EXPECT_EQ(mainArguments(), (std::vector<std::string>{"false", "com.vantrel.runtime.installer.Installer",
                                                       winePathOf(dir_) + "\\error.log", "", "false",
                                                       winePathOf(exe), "-q"}));
  // Without the first-run marker: the launcher class only, its String[] built element by
  // element, main called, the exception checked, the VM destroyed.
  std::vector<std::string> calls;
  for (size_t i = 2; i < lines.size(); ++i) {
    if (!startsWith(lines[i], "option ") && !startsWith(lines[i], "arg") && !startsWith(lines[i], "NewString ")) {
      calls.push_back(lines[i]);
    }
  }
  EXPECT_EQ(calls, (std::vector<std::string>{
                       std::string("FindClass ") + kInstallerLauncher,
                       std::string("GetStaticMethodID ") + kInstallerLauncher + " main ([Ljava/lang/String;)V",
                       "FindClass java/lang/String", "NewObjectArray 7 java/lang/String", "SetObjectArrayElement 0",
                       "SetObjectArrayElement 1", "SetObjectArrayElement 2", "SetObjectArrayElement 3",
                       "SetObjectArrayElement 4", "SetObjectArrayElement 5", "SetObjectArrayElement 6",
                       std::string("CallStaticVoidMethod ") + kInstallerLauncher + ".main", "ExceptionOccurred 0",
                       "DestroyJavaVM"}));

  // The launcher leaves the global marker for the Java side; without a dialog there is no
  // per-process marker.
  EXPECT_EQ(globalMarker(), 1);
  EXPECT_EQ(markerValues(), 1);
  for (const char* line : {"No JRE included", "LoadDLL (0, (null), 0)", "Loading of JVM-DLL successful",
                           "JVM created", "main returned", "dest JVM"}) {
    EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
  }
}

TEST_F(LaunchE2ETest, ArgumentsReachJavaIntactAndJArgumentsBecomeOptionsWhenAccepted) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  // U+00FC and U+00DF exist in the ANSI code page, the two CJK characters do not.
  const std::string unicode = "Gr\xc3\xbc\xc3\x9f" "e \xe6\x97\xa5\xe6\x9c\xac";
  struct Row {
    const char* name;
    const char* acceptJ;
    std::vector<std::string> expectedTail;  // options after the configured one
    std::vector<std::string> expectedUserArguments;
  } rows[] = {
      {"accepted", "1", {"-Dconfigured=1", "-Xmx512m"}, {"-q", unicode, "plain"}},
      {"not accepted", "0", {"-Dconfigured=1"}, {"-q", "-J-Xmx512m", unicode, "plain"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_VM_OPTIONS, "-Dconfigured=1"}, {CFG_ARGUMENTS, "fixed 'two words'"},
                         {CFG_ACCEPT_J_ARGUMENTS, row.acceptJ}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
    const std::string exe = writeInstaller(installer);
    const WineResult result = run(exe, {"-q", "-J-Xmx512m", unicode, "plain"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = takeLog();
    std::vector<std::string> tail = optionsAfterProperties();
    ASSERT_FALSE(tail.empty());
    EXPECT_TRUE(startsWith(tail.back(), "-Djava.class.path=")) << tail.back();
    tail.pop_back();
    EXPECT_EQ(tail, row.expectedTail);
    std::vector<std::string> expected = {"false", "app.Main", "", "", "false", winePathOf(exe), "fixed", "two words"};
    expected.insert(expected.end(), row.expectedUserArguments.begin(), row.expectedUserArguments.end());
    EXPECT_EQ(mainArguments(), expected);
    // The log shows what the ANSI code page can hold, "?" for the rest.
    const size_t index = std::find(expected.begin(), expected.end(), unicode) - expected.begin();
    EXPECT_TRUE(hasLine(log, "param " + std::to_string(index) + ": Gr\xfc\xdf" "e ??")) << log;
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, OptionsFilesAndOverridesShapeTheOptionsAndTheClassPath) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  const std::string exeDir = winePathOf(dir_) + "\\";
  struct Row {
    const char* name;
    std::string vmOptions;                                 // CFG_VM_OPTIONS
    std::string classPath;                                 // CFG_CLASSPATH
    std::vector<std::pair<std::string, std::string>> files;  // beside the launcher
    std::vector<std::pair<std::string, std::string>> included;
    Environment environment;
    std::vector<std::string> tail;  // options after the properties; "%T" stands for the temp dir
  } rows[] = {
      {"lines, comments, includes and -J in their places",
       "-Dconfigured=1 -include-options \"%QUOLL_EXEDIR%inc dir\\first.vmoptions\"",
       "",
       {{"inc dir/first.vmoptions", "-Dfirst=1\n"},
        {"setup.vmoptions",
         "  -Xmx256m\r\n# -Dcomment=1\n\n-Dx=1   \n\t-Dtab=1\n-include-options %QUOLL_EXEDIR%second.vmoptions\n"
         "-Dafter=1\n-include-options %QUOLL_EXEDIR%missing.vmoptions\n"},
        {"second.vmoptions", "-Dsecond=1\n-classpath/a Z:\\extra\\appended.jar\n"},
        {"setup.exe.vmoptions", "-Dshadowed=1\n"}},
       {{"app.jar", "app"}},
       {},
       {"-Dconfigured=1", "-Dfirst=1", "-Dj=1", "-Xmx256m", "-Dx=1", "\t-Dtab=1", "-Dsecond=1", "-Dafter=1",
        "-Djava.class.path=%T\\app.jar;Z:\\extra\\appended.jar"}},
      {"overrides: the later replace wins and keeps the extracted archives in front",
       "",
       "A1lib\\missing.jar",
       {{"setup.exe.vmoptions",
         "-classpath/p Z:\\pre.jar\n-classpath Z:\\replace.jar;\n-classpath Z:\\replace2.jar\n-classpath/p\n"}},
       {{"app.jar", "app"}, {"user\\u.jar", "u"}, {"user\\v.zip", "v"}},
       {},
       {"-Dj=1", "-classpath/p",
        "-Djava.class.path=Z:\\pre.jar;%T\\app.jar;%T\\user\\u.jar;%T\\user\\v.zip;Z:\\replace2.jar"}},
      {"configured entries: optional missing archive, quoted variable value",
       "",
       "A0lib\\x.jar;E0QUOLL_TEST_CP;S0nodir",
       {},
       {{"app.zip", "zip"}},
       {{"QUOLL_TEST_CP", "\"Z:\\q1.jar;Z:\\q2.jar\""}},
       {"-Dj=1", "-Djava.class.path=%T\\app.zip;" + exeDir + "lib\\x.jar;Z:\\q1.jar;Z:\\q2.jar;"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_VM_OPTIONS, row.vmOptions}, {CFG_CLASSPATH, row.classPath}, {CFG_ACCEPT_J_ARGUMENTS, "1"},
                         {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
    installer.files = row.included;
    const std::string exe = writeInstaller(installer);
    for (const auto& file : row.files) writeWholeFile(dir_ + "/" + file.first, file.second);
    Environment environment = row.environment;
    environment.push_back({"QUOLL_TEST_JRE", winePathOf(home)});
    const WineResult result = run(exe, {"-q", "-J-Dj=1"}, environment);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = takeLog();
    const std::string temp = tempDirOf(log);
    std::vector<std::string> expected;
    for (std::string option : row.tail) {
      for (size_t at = option.find("%T"); at != std::string::npos; at = option.find("%T", at)) {
        option.replace(at, 2, temp);
      }
      expected.push_back(option);
    }
    EXPECT_EQ(optionsAfterProperties(), expected) << log;
    for (const auto& file : row.files) removeTree(dir_ + "/" + file.first.substr(0, file.first.find('/')));
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, MissingMandatoryClassPathEntriesEndTheLaunchBeforeTheVmExists) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  struct Row {
    const char* entry;
    std::string message;
  } rows[] = {
      {"A1lib\\x.jar", withPlaceholder(kFileNotFound, "lib\\x.jar")},
      {"S1nodir", withPlaceholder(kFileNotFound, "nodir")},
      {"E1QUOLL_TEST_CP", withPlaceholder(kVariableUndefined, "QUOLL_TEST_CP")},
      {"X1whatever", withPlaceholder(kFileNotFound, "whatever")},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.entry);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_CLASSPATH, row.entry}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
    const WineResult result = run(writeInstaller(installer), {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
    expectFatal(result, row.message);
    EXPECT_FALSE(pathExists(record_)) << "the VM was created: " << readWholeFile(record_);
    const std::string log = takeLog();
    EXPECT_TRUE(hasLine(log, std::string("classpath entry ") + row.entry)) << log;
    EXPECT_EQ(log.find("Creating JVM"), std::string::npos) << log;
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, ARuntimeWhoseJvmDoesNotLoadCountsAsNoRuntimeWithoutAMessage) {
  // The work sequence loads without error messages, whatever found the runtime: each source
  // kind ends like a search without a result.
  struct Source {
    const char* name;
    const char* sequence;
    bool registry;
    bool variable;
  } sources[] = {
      {"environment variable", "EQUOLL_TEST_JRE;", false, true},
      {"location beside the launcher", "Bbroken-rt;", false, false},
      {"registry", "Y;", true, false},
  };
  struct Damage {
    FakeJvm jvm;
    std::vector<std::string> errors;
  } damages[] = {
      {FakeJvm::Missing, {"ERROR: Could not get DLL-Handle.", "ERROR: Could not load functions"}},
      {FakeJvm::WithoutEntry, {"ERROR: Could not load functions"}},
  };
  for (const Source& source : sources) {
    for (const Damage& damage : damages) {
      SCOPED_TRACE(std::string(source.name) + (damage.jvm == FakeJvm::Missing ? ", no jvm.dll" : ", no entry point"));
      const std::string home = dir_ + "/broken-rt";
      makeRuntime(home, damage.jvm);
      if (source.registry) {
        const std::string key = "HKLM\\Software\\JavaSoft\\Java Runtime Environment";
        ASSERT_EQ(prefix_->reg({"add", key, "/v", "CurrentVersion", "/d", "1.8", "/f", "/reg:32"}), 0);
        ASSERT_EQ(prefix_->reg({"add", key + "\\1.8", "/v", "JavaHome", "/d", winePathOf(home), "/f", "/reg:32"}), 0);
      }
      Installer installer;
      installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, source.sequence}};
      Environment environment;
      if (source.variable) environment.push_back({"QUOLL_TEST_JRE", winePathOf(home)});
      const WineResult result = run(writeInstaller(installer), {"-q"}, environment);
      EXPECT_EQ(result.exitCode, 83) << result.err;
      EXPECT_EQ(result.out, "No JRE found. Aborting.\n");
      EXPECT_EQ(result.err, "");
      const std::string log = takeLog();
      EXPECT_TRUE(hasLine(log, "Trying to load JVM-DLL from " + lowercase(winePathOf(home)) + "\\bin\\java.exe"))
          << log;
      for (const std::string& error : damage.errors) EXPECT_TRUE(hasLine(log, error)) << error << "\n" << log;
      if (damage.jvm == FakeJvm::WithoutEntry) {
        EXPECT_FALSE(hasLine(log, "ERROR: Could not get DLL-Handle.")) << log;
      }
      EXPECT_TRUE(hasLine(log, "ERROR: No JRE found")) << log;
      EXPECT_FALSE(pathExists(record_));
      removeTree(home);
      clearRegistry();
      forgetRuns();
    }
  }
}

TEST_F(LaunchE2ETest, AFailedStartOrAThrowingMainIsJvmNotStarted) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  struct Row {
    const char* failure;
    std::vector<std::string> errors;
  } rows[] = {
      {"create", {"ERROR: could not initialize JVM", "ERROR: Could not start JVM"}},
      {"throw=main", {"ERROR: an exception occured", "ERROR: could not call main", "ERROR: Could not start JVM"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.failure);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
    const WineResult result =
        run(writeInstaller(installer), {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}, {"TESTJVM_FAIL", row.failure}});
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_NE(result.err.find(std::string(kNotStarted) + "\n\nLog: "), std::string::npos) << result.err;
    const std::string log = takeLog();
    for (const std::string& error : row.errors) EXPECT_TRUE(hasLine(log, error)) << error << "\n" << log;
    EXPECT_FALSE(hasLine(log, "launch done")) << log;
    const std::vector<std::string> lines = recordLines();
    EXPECT_EQ(std::find(lines.begin(), lines.end(), "DestroyJavaVM"), lines.end()) << "a failed start keeps the VM";
    if (std::string(row.failure) == "throw=main") {
      EXPECT_NE(std::find(lines.begin(), lines.end(), "ExceptionDescribe java/lang/RuntimeException"), lines.end());
    }
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, QuietRunWithoutRuntimeAbortsWith83AndClearsTheMarkers) {
  // A marker of an earlier run: quiet mode does not ask about it, and the abort clears it.
  ASSERT_EQ(prefix_->reg({"add", kStartMarkerKey, "/v", "InstallStarted", "/t", "REG_DWORD", "/d", "1", "/f"}), 0);
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE;Y;Bno-such-dir;"}, {CFG_AUTO_DOWNLOAD_JRE, "0"}};
  const WineResult result = run(writeInstaller(installer), {"-q"});
  EXPECT_EQ(result.exitCode, 83) << result.err;
  EXPECT_EQ(result.out, "No JRE found. Aborting.\n");
  EXPECT_EQ(result.err, "");
  const std::string log = takeLog();
  for (const char* line : {"Searching for a JVM", "ERROR: No JVM found", "ERROR: No JRE found"}) {
    EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
  }
  EXPECT_EQ(globalMarker(), -1);
  EXPECT_EQ(markerValues(), 0);
  EXPECT_FALSE(pathExists(record_));
}

TEST_F(LaunchE2ETest, ManualSelectionSkipsTheSearchAndGoesToTheNoRuntimeFlow) {
  // A runtime the search would find: the manual switch must not look for it.
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  struct Row {
    const char* name;
    std::vector<std::string> args;
    const char* autoDownload;
    const char* hideDialog;
    bool searched;
    int exitCode;
    const char* out;
    const char* logLine;  // the flow's last word in the log
  } rows[] = {
      {"manual, no automatic download", {"-q", "-manual"}, "0", "0", false, 83, "No JRE found. Aborting.\n", ""},
      // No download location: the address cannot be opened.
      {"/manual, automatic download", {"-q", "/manual"}, "1", "0", false, 1, "No JRE found. Trying to download.\n",
       "Downloading JRE"},
      {"search without result, automatic download", {"-q"}, "1", "0", true, 1, "No JRE found. Trying to download.\n",
       "Downloading JRE"},
      // Not quiet, the progress dialog hidden, and no window can be made: the flow runs
      // without one, cannot show its dialog either, and ends instead of launching nothing.
      {"not quiet, no window for the flow", {}, "0", "1", true, 1, "", "ERROR: Could not show the no-runtime dialog"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    ASSERT_EQ(prefix_->reg({"add", kStartMarkerKey, "/v", "InstallStarted", "/t", "REG_DWORD", "/d", "1", "/f"}), 0);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, row.searched ? "Bno-such-dir" : "EQUOLL_TEST_JRE"},
                         {CFG_AUTO_DOWNLOAD_JRE, row.autoDownload}, {CFG_HIDE_PROGRESS_DIALOG, row.hideDialog}};
    installer.wide = {{CFG_WMSG_DOWNLOAD_FAILED, u"Download failed."}};
    const WineResult result = run(writeInstaller(installer), row.args, {{"QUOLL_TEST_JRE", winePathOf(home)}});
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    EXPECT_EQ(result.out, row.out);
    const std::string log = takeLog();
    EXPECT_EQ(log.find("Searching for a JVM") != std::string::npos, row.searched) << log;
    if (row.exitCode == 1) {
      EXPECT_TRUE(hasLine(log, "Download location: ")) << log;
      EXPECT_TRUE(hasLine(log, row.logLine)) << log;
    }
    if (std::string(row.logLine) == "Downloading JRE") {
      expectFatal(result, "Download failed.");
      EXPECT_TRUE(log.find("ERROR: InternetOpenUrl failed with error code ") != std::string::npos) << log;
      // A failed download counts as an interrupted run: the next start offers the manual choice.
      EXPECT_EQ(globalMarker(), 1);
    } else {
      if (row.exitCode == 1) expectFatal(result, withPlaceholder(kNoJvm, "32"));
      EXPECT_EQ(globalMarker(), -1) << "the markers are cleared";
      EXPECT_EQ(markerValues(), 0);
    }
    EXPECT_FALSE(pathExists(record_));
    clearRegistry();
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, FirstRunMarkerAsksFirstRunBeforeMain) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  writeWholeFile(dir_ + "/.vantrel/firstrun", "");
  struct Row {
    const char* failure;
    bool mainCalled;
  } rows[] = {{"", true}, {"firstrun=false", false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(*row.failure ? row.failure : "firstRun answers true");
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}, {CFG_APP_HOME_DIRECTORY, "."}};
    const WineResult result =
        run(writeInstaller(installer), {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}, {"TESTJVM_FAIL", row.failure}});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = takeLog();
    EXPECT_TRUE(hasLine(log, "launch done")) << log;
    EXPECT_EQ(hasLine(log, "checkFirstRun stopped further execution"), !row.mainCalled) << log;
    std::vector<std::string> calls;
    for (const std::string& line : recordLines()) {
      if (startsWith(line, "FindClass ") || startsWith(line, "Call") || startsWith(line, "Exception") ||
          line == "DestroyJavaVM") {
        calls.push_back(line);
      }
    }
    std::vector<std::string> expected = {"FindClass com/vantrel/runtime/launcher/FirstRun",
                                         "CallStaticBooleanMethod com/vantrel/runtime/launcher/FirstRun.firstRun",
                                         "ExceptionOccurred 0"};
    if (row.mainCalled) {
      expected.insert(expected.end(), {std::string("FindClass ") + kInstallerLauncher, "FindClass java/lang/String",
                                       std::string("CallStaticVoidMethod ") + kInstallerLauncher + ".main",
                                       "ExceptionOccurred 0"});
    }
    expected.push_back("DestroyJavaVM");
    EXPECT_EQ(calls, expected);
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, IncludedRuntimeIsUsedUnlessAnInstalledOneIsPreferredAndFound) {
  const std::string included = dir_ + "/included-rt";
  makeRuntime(included);
  const std::string archive = runtimeArchiveOf(included);
  ASSERT_FALSE(archive.empty()) << "tar failed";
  const std::string installed = dir_ + "/installed-rt";
  makeRuntime(installed);
  struct Row {
    const char* name;
    const char* prefer;
    bool installedExists;
    bool usesIncluded;
  } rows[] = {
      {"included only", "0", true, true},
      {"installed preferred and found", "1", true, false},
      {"installed preferred, none found", "1", false, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}, {CFG_PREFER_INSTALLED_JRE, row.prefer}};
    installer.files = {{"app.jar", "app"}, {"jre.tar.gz", archive}};
    Environment environment;
    if (row.installedExists) environment.push_back({"QUOLL_TEST_JRE", winePathOf(installed)});
    const WineResult result = run(writeInstaller(installer), {"-q"}, environment);
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::string log = takeLog();
    const std::string temp = tempDirOf(log);
    EXPECT_TRUE(hasLine(log, "JRE included")) << log;
    EXPECT_TRUE(hasLine(log, "launch done")) << log;
    const std::vector<std::string> lines = recordLines();
    ASSERT_FALSE(lines.empty());
    const std::string module = lines[0].substr(7);
    if (row.usesIncluded) {
      EXPECT_EQ(lowercase(module), lowercase(temp + "\\jre\\bin\\server\\jvm.dll"));
      EXPECT_TRUE(hasLine(log, "extracting JRE")) << log;
      EXPECT_FALSE(pathExists(hostPathOf(temp) + "/jre.tar.gz")) << "the archive is deleted once extracted";
    } else {
      EXPECT_EQ(module, lowercase(winePathOf(installed)) + "\\bin\\server\\jvm.dll");
      EXPECT_FALSE(hasLine(log, "extracting JRE")) << log;
      EXPECT_TRUE(pathExists(hostPathOf(temp) + "/jre.tar.gz")) << "the included runtime stays packed";
    }
    // The class path holds the installer's jar, whichever runtime runs it.
    EXPECT_EQ(classPathOf(options()), std::vector<std::string>{temp + "\\app.jar"});
    EXPECT_EQ(globalMarker(), 1);
    clearRegistry();
    forgetRuns();
  }
}

// An included runtime of gzip members that carry their sizes is inflated side by side; a
// damaged member is the corrupt runtime it always was, and nothing of it reaches the disk.
TEST_F(LaunchE2ETest, ARuntimeOfSizedMembersIsInflatedSideBySideAndADamagedMemberIsCorrupt) {
  const std::string home = dir_ + "/members-rt";
  makeRuntime(home);
  std::string big(300000, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  writeWholeFile(home + "/bin/big.dat", big);
  ASSERT_EQ(std::system(("tar --format=ustar -cf '" + home + ".tar' -C '" + home + "' bin").c_str()), 0);
  std::vector<SizedMember> members = sizedGzipMembers(readWholeFile(home + ".tar"), kMinParallelMemberSize);
  ASSERT_GE(members.size(), 5u);
  const std::string intact = joinedMembers(members);
  members[3].bytes[200] ^= 0x20;
  const std::string damaged = joinedMembers(members);
  for (bool isDamaged : {false, true}) {
    SCOPED_TRACE(isDamaged ? "damaged" : "intact");
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, ""}};
    installer.files = {{"app.jar", "app"}, {"jre.tar.gz", isDamaged ? damaged : intact}};
    const WineResult result = run(writeInstaller(installer), {"-q"});
    const std::string log = takeLog();
    EXPECT_NE(log.find("inflating " + std::to_string(members.size()) + " gzip members on "), std::string::npos) << log;
    const std::string unpacked = readWholeFile(hostPathOf(tempDirOf(log)) + "/jre/bin/big.dat");
    if (isDamaged) {
      EXPECT_EQ(result.exitCode, 1);
      EXPECT_TRUE(hasLine(log, "ERROR: Could not untar JRE")) << log;
      EXPECT_NE(result.err.find("The bundled JRE is corrupted. If you downloaded the setup file please download it again."),
                std::string::npos)
          << result.err;
      EXPECT_LT(unpacked.size(), big.size());
      EXPECT_EQ(unpacked, big.substr(0, unpacked.size())) << "only bytes of members that passed their checks";
    } else {
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_TRUE(hasLine(log, "launch done")) << log;
      EXPECT_TRUE(unpacked == big);
    }
    forgetRuns();
  }
}

// The builder packs a runtime directory itself ("runtime" in the description); the installer
// unpacks it, its gzip members side by side, and starts the program with it, with no other
// runtime to find.
TEST_F(LaunchE2ETest, ARuntimeBundledByTheBuilderRunsToTheLaunch) {
  makeRuntime(dir_ + "/bundled-rt");
  // Over two members' worth of tar (4 MiB each), so the launcher takes the parallel path.
  std::string modules(9 << 20, '\0');
  for (size_t i = 0; i < modules.size(); ++i) modules[i] = static_cast<char>("modules"[i % 7] + (i >> 20));
  writeWholeFile(dir_ + "/bundled-rt/lib/modules", modules);
  writeWholeFile(dir_ + "/app.jar", "app");
  writeWholeFile(dir_ + "/setup.json",
                 R"({"mainClass": "app.Main", "executableType": 2, "productKind": "i", "jreSearchSequence": "",
                     "files": ["app.jar"], "runtime": "bundled-rt"})");
  std::ostringstream out, err;
  const int code = runMediapack({"build", dir_ + "/setup.json", "-o", dir_ + "/setup.exe", "--stub",
                                 std::string(LAUNCHER_WIN32_DIR) + "/launcher.exe"},
                                LAUNCHER_HOST_DIR "/mediapack", out, err);
  ASSERT_EQ(code, 0) << err.str();
  const WineResult result = run(dir_ + "/setup.exe", {"-q"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string log = takeLog();
  const std::string temp = tempDirOf(log);
  EXPECT_TRUE(hasLine(log, "extracting JRE")) << log;
  EXPECT_NE(log.find("inflating 3 gzip members on "), std::string::npos) << log;
  EXPECT_TRUE(hasLine(log, "untaring JRE was successful")) << log;
  EXPECT_TRUE(hasLine(log, "launch done")) << log;
  EXPECT_TRUE(readWholeFile(hostPathOf(temp) + "/jre/lib/modules") == modules);
  const std::vector<std::string> lines = recordLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lowercase(lines[0].substr(7)), lowercase(temp + "\\jre\\bin\\server\\jvm.dll"));
  EXPECT_EQ(classPathOf(options()), std::vector<std::string>{temp + "\\app.jar"});
}

TEST_F(LaunchE2ETest, PackedIncludedFilesAreRestoredWithTheLoadedRuntimesUnpacker) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home, FakeJvm::Working, true);
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
  installer.files = {{"app.jar.pack", "restored app"}, {"data.packed", "left alone"}, {"lib\\x.jar.pack", "x"}};
  const WineResult result = run(writeInstaller(installer), {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string log = takeLog();
  const std::string temp = tempDirOf(log);
  for (const char* line : {"unpacking app.jar.pack", "unpacking lib\\x.jar.pack", "launch done"}) {
    EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
  }
  EXPECT_EQ(log.find("unpacking data.packed"), std::string::npos) << log;
  // Restored before the class path is composed: the jar is on it, the packed file is gone.
  EXPECT_EQ(classPathOf(options()), std::vector<std::string>{temp + "\\app.jar"});
  EXPECT_EQ(readWholeFile(hostPathOf(temp) + "/app.jar"), "restored app");
  EXPECT_FALSE(pathExists(hostPathOf(temp) + "/app.jar.pack"));
  EXPECT_TRUE(pathExists(hostPathOf(temp) + "/data.packed"));
  const std::string calls = withoutCarriageReturns(readWholeFile(home + "/bin/unpack200.exe.log"));
  EXPECT_NE(calls.find("-r \"" + temp + "\\app.jar.pack\" \"" + temp + "\\app.jar\""), std::string::npos) << calls;
  EXPECT_NE(calls.find("-r \"" + temp + "\\lib\\x.jar.pack\" \"" + temp + "\\lib\\x.jar\""), std::string::npos)
      << calls;
}

TEST_F(LaunchE2ETest, LanguageRestartLoadsTheExtractedRuntimeOfTheCurrentDirectory) {
  makeRuntime(dir_ + "/jre");
  writeWholeFile(dir_ + "/app.jar", "app");
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "Bno-such-dir"}};
  const std::string exe = writeInstaller(installer);
  const WineResult result = run(exe, {"__vnq_lang_restart", "de"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::string log = takeLog();
  for (const char* line : {"JRE included", "launch done"}) EXPECT_TRUE(hasLine(log, line)) << line << "\n" << log;
  EXPECT_EQ(log.find("Searching for a JVM"), std::string::npos) << log;
  const std::vector<std::string> lines = recordLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lowercase(lines[0]), lowercase("module " + winePathOf(dir_) + "\\jre\\bin\\server\\jvm.dll"));
  const std::vector<std::string> opts = options();
  // No single-instance semaphore on a restart, and no payload left for the Java side.
  EXPECT_TRUE(std::none_of(opts.begin(), opts.end(),
                           [](const std::string& o) { return startsWith(o, "-Dquoll.semaphoreName="); }));
  EXPECT_NE(std::find(opts.begin(), opts.end(), "-Dquoll.tempDir=" + winePathOf(dir_)), opts.end());
  EXPECT_NE(std::find(opts.begin(), opts.end(), "-Dquoll.unextractedPosition=-1"), opts.end());
  EXPECT_EQ(classPathOf(opts), std::vector<std::string>{winePathOf(dir_) + "\\app.jar"});
  const std::vector<std::string> arguments = mainArguments();
  ASSERT_GE(arguments.size(), 2u);
  EXPECT_EQ(std::vector<std::string>(arguments.end() - 2, arguments.end()),
            (std::vector<std::string>{"__vnq_lang_restart", "de"}));
  EXPECT_EQ(globalMarker(), -1) << "a restart writes no markers";
}

// Quiet installers without a runtime that download one from a server on this machine.
Installer downloadingInstaller(const std::string& url) {
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "Bno-such-dir"}, {CFG_AUTO_DOWNLOAD_JRE, "1"}, {CFG_JRE_DOWNLOAD_LOCATION, url}};
  installer.files = {{"app.jar", "app"}};
  installer.wide = {{CFG_WMSG_DOWNLOAD_FAILED, u"Download failed."}};
  return installer;
}

TEST_F(LaunchE2ETest, AutomaticDownloadFetchesTheArchiveAndPreparesItLikeAnIncludedRuntime) {
  const std::string home = dir_ + "/served-rt";
  makeRuntime(home);
  const std::string archive = runtimeArchiveOf(home);
  ASSERT_FALSE(archive.empty()) << "tar failed";
  LocalHttpServer server({{"/jre.tar.gz", HttpReply{200, archive}}});
  ASSERT_TRUE(server.listening());
  const WineResult result = run(writeInstaller(downloadingInstaller(server.url("/jre.tar.gz"))), {"-q"});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.out, "No JRE found. Trying to download.\n");
  const std::string log = takeLog();
  for (const std::string& line : {"Download location: " + server.url("/jre.tar.gz"), std::string("Downloading JRE"),
                                 "file size: " + std::to_string(archive.size()), std::string("download successful"),
                                 std::string("Done"), std::string("extracting JRE"), std::string("launch done")}) {
    EXPECT_NE(log.find("\n" + line), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(server.requests("/jre.tar.gz"), 1);
  const std::string temp = tempDirOf(log);
  const std::vector<std::string> lines = recordLines();
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lowercase(lines[0]), lowercase("module " + temp + "\\jre\\bin\\server\\jvm.dll"));
  EXPECT_FALSE(pathExists(hostPathOf(temp) + "/jre.tar.gz")) << "the archive is deleted once extracted";
}

// An archive that differs from the digest the installer names, or is larger than it allows,
// never reaches the untar.
TEST_F(LaunchE2ETest, ADownloadIsKeptOnlyWhenItMatchesTheNamedDigestAndSize) {
  const std::string home = dir_ + "/served-rt";
  makeRuntime(home);
  const std::string archive = runtimeArchiveOf(home);
  ASSERT_FALSE(archive.empty()) << "tar failed";
  Sha256 hash;
  hash.update(archive.data(), archive.size());
  Sha256Digest digest{};
  ASSERT_TRUE(hash.finish(digest));
  Sha256Digest other = digest;
  other[31] ^= 1;
  LocalHttpServer server({{"/jre.tar.gz", HttpReply{200, archive}}});
  ASSERT_TRUE(server.listening());
  const std::string size = std::to_string(archive.size());
  struct Row {
    std::string digest, maxSize, logLine;
  } rows[] = {
      {sha256Hex(digest), size, "SHA-256 matches"},
      {sha256Hex(other), "", "differs from the expected " + sha256Hex(other)},
      {sha256Hex(digest), std::to_string(archive.size() - 1), "this installer accepts at most"},
      {"not-a-digest", "", "is not 64 hexadecimal digits"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.logLine);
    Installer installer = downloadingInstaller(server.url("/jre.tar.gz"));
    installer.records.push_back({CFG_JRE_DOWNLOAD_SHA256, row.digest});
    if (!row.maxSize.empty()) installer.records.push_back({CFG_JRE_DOWNLOAD_MAX_SIZE, row.maxSize});
    const WineResult result = run(writeInstaller(installer), {"-q"});
    const std::string log = takeLog();
    EXPECT_NE(log.find(row.logLine), std::string::npos) << log;
    if (row.logLine == "SHA-256 matches") {
      EXPECT_EQ(result.exitCode, 0) << result.err;
      EXPECT_NE(log.find("launch done"), std::string::npos) << log;
    } else {
      expectFatal(result, "Download failed.");
      EXPECT_EQ(log.find("extracting JRE"), std::string::npos) << log;
      EXPECT_FALSE(pathExists(hostPathOf(tempDirOf(log)) + "/jre.tar.gz")) << "nothing of the body is left";
    }
    clearRegistry();
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, DownloadsThatFailEndWithTheDownloadMessageAndLeaveNoArchive) {
  const std::string body(100000, 'z');
  HttpReply noLength{200, body};
  noLength.sendLength = false;
  HttpReply cut{200, body};
  cut.cutAfter = 40000;
  LocalHttpServer server({{"/no-length", noLength},
                          {"/cut", cut},
                          {"/missing", HttpReply{404, "no such file"}},
                          {"/empty", HttpReply{200, ""}}});
  ASSERT_TRUE(server.listening());
  struct Row {
    const char* path;
    int requests;
    std::vector<std::string> errors;
  } rows[] = {
      // Asked twenty times, with the address reopened after each failure.
      {"/no-length", 21, {"HttpQueryInfo (try 1) failed with error code", "HttpQueryInfo (try 20) failed", "Giving up"}},
      {"/cut", 1, {"file size: 100000"}},
      {"/missing", 1, {"Server answered with status 404"}},
      // A 200 with Content-Length: 0 is no runtime.
      {"/empty", 1, {"file size: 0", "Server sent an empty file"}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.path);
    const WineResult result = run(writeInstaller(downloadingInstaller(server.url(row.path))), {"-q"});
    expectFatal(result, "Download failed.");
    const std::string log = takeLog();
    for (const std::string& error : row.errors) EXPECT_NE(log.find(error), std::string::npos) << error << "\n" << log;
    EXPECT_EQ(log.find("download successful"), std::string::npos) << log;
    EXPECT_EQ(server.requests(row.path), row.requests);
    EXPECT_FALSE(pathExists(hostPathOf(tempDirOf(log)) + "/jre.tar.gz")) << "no partial archive is left";
    EXPECT_FALSE(pathExists(record_));
    clearRegistry();
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, ThePathSourceSearchesOnlyThePathAndNeverTheInstallersFolder) {
  // A downloaded installer sits among files nobody checked: a java.exe beside it must not be
  // run, whatever the system's own search order would do.
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  makeFakeRuntime(dir_ + "/planted");
  writeFileBytes(dir_ + "/java.exe", readFileBytes(dir_ + "/planted/bin/java.exe"));
  writeFileBytes(dir_ + "/java.exe.cfg", readFileBytes(dir_ + "/planted/bin/java.exe.cfg"));
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "S;"}};
  const std::string exe = writeInstaller(installer);
  struct Row {
    const char* name;
    std::string path;  // put in front of the system's PATH
    int exitCode;
  } rows[] = {
      {"the runtime on PATH is found", winePathOf(home) + "\\bin", 0},
      {"a relative PATH entry is not searched", ".", 83},
      {"nothing on PATH", "", 83},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const WineResult result = run(exe, {"-q"}, {{"WINEPATH", row.path}});
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    const std::string log = takeLog();
    EXPECT_EQ(lowercase(log).find(lowercase(winePathOf(dir_)) + "\\java.exe"), std::string::npos) << log;
    if (row.exitCode == 0) {
      EXPECT_TRUE(hasLine(log, "Trying to load JVM-DLL from " + lowercase(winePathOf(home)) + "\\bin\\java.exe")) << log;
    }
    removeStartMarkers(prefix_->path());
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, TheRuntimesLibrariesComeFromItsOwnBinNeverFromBesideTheInstaller) {
  // The runtime's jvm.dll imports jvmhelper.dll from its bin directory; a file of that name
  // planted beside the installer must not be the one loaded.
  const std::string home = dir_ + "/rt";
  makeRuntime(home, FakeJvm::Helped);
  writeFileBytes(dir_ + "/jvmhelper.dll", readFileBytes(fixturePath("decoy/jvmhelper.dll")));
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
  const WineResult result = run(writeInstaller(installer), {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  const std::vector<std::string> lines = recordLines();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines[1], "helper runtime");
  const std::string log = takeLog();
  EXPECT_TRUE(hasLine(log, "DLL search restricted to the system directory")) << log;
  EXPECT_TRUE(hasLine(log, "DLL search includes " + lowercase(winePathOf(home)) + "\\bin")) << log;
  removeStartMarkers(prefix_->path());
}

// A run that ends before the Java side takes over leaves nothing of what it unpacked; once
// the virtual machine exists, the directory is the Java side's.
TEST_F(LaunchE2ETest, EveryFatalEndBeforeTheHandOverRemovesTheTemporaryDirectory) {
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  LocalHttpServer server({{"/missing", HttpReply{404, "no such file"}}});
  ASSERT_TRUE(server.listening());
  const std::pair<std::string, std::string> deep{"lib\\deep.jar", "deep"};
  struct Row {
    const char* name;
    Records records;
    std::vector<std::pair<std::string, std::string>> files;
    int exitCode;
    bool remains;
    const char* failure = "";  // TESTJVM_FAIL
  } rows[] = {
      {"an included runtime that does not unpack", {}, {{"jre.tar.gz", "not a gzip stream"}, deep}, 1, false},
      {"no runtime in quiet mode", {{CFG_JRE_SEARCH_SEQUENCE, "Bno-such-dir"}}, {deep}, 83, false},
      {"a failed download", {{CFG_JRE_SEARCH_SEQUENCE, "Bno-such-dir"}, {CFG_AUTO_DOWNLOAD_JRE, "1"},
                             {CFG_JRE_DOWNLOAD_LOCATION, server.url("/missing")}}, {deep}, 1, false},
      {"a missing mandatory class path entry", {{CFG_CLASSPATH, "S1nodir"}}, {deep}, 1, false},
      {"a virtual machine that cannot be created", {}, {deep}, 1, false, "create"},
      {"a run the Java side took over", {}, {deep}, 0, true},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    Installer installer;
    installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
    installer.records.insert(installer.records.end(), row.records.begin(), row.records.end());
    installer.files = row.files;
    const WineResult result = run(writeInstaller(installer), {"-q"},
                                  {{"QUOLL_TEST_JRE", winePathOf(home)}, {"TESTJVM_FAIL", row.failure}});
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    const std::string log = takeLog();
    const std::string temp = tempDirOf(log);
    ASSERT_FALSE(temp.empty()) << log;
    EXPECT_EQ(pathExists(hostPathOf(temp) + "/lib/deep.jar"), row.remains) << log;
    EXPECT_EQ(pathExists(hostPathOf(temp)), row.remains) << log;
    EXPECT_EQ(pathExists(hostPathOf(temp.substr(0, temp.size() - 4))), row.remains) << "the placeholder file";
    clearRegistry();
    forgetRuns();
  }
}

TEST_F(LaunchE2ETest, AFolderNameTheCodePageLacksStillNamesTheInstallersOwnFile) {
  // Code page 1252 has no "\u0141": mapped to a look-alike, the launcher's own path would name
  // the sibling folder "Ldir" and read whatever lies there.
  const std::string home = dir_ + "/rt";
  makeRuntime(home);
  Installer installer;
  installer.records = {{CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "EQUOLL_TEST_JRE"}};
  const std::string real = dir_ + "/\xC5\x81" "dir";
  mkdir(real.c_str(), 0755);
  mkdir((dir_ + "/Ldir").c_str(), 0755);
  const std::string exe = writeInstaller(installer, "\xC5\x81" "dir/setup.exe");
  writeFileBytes(dir_ + "/Ldir/setup.exe", Bytes(4096, 0x5A));
  const WineResult result = run(exe, {"-q"}, {{"QUOLL_TEST_JRE", winePathOf(home)}});
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_TRUE(pathExists(record_)) << "the Java side was started from the real payload";
  removeStartMarkers(prefix_->path());
}

}  // namespace
