// launchProgram against the test jvm.dll, which records every JNI call: the option order,
// the JNI call sequence, the String[] contents and every failure path.
#include "jvm/java_vm_launcher.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/text.h"
#include "jvm_test_env.h"
#include "jvm_test_fixture_win.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"
#include "support/test_exit.h"

using Strings = std::vector<std::string>;

class LaunchWinTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    library = LoadLibraryA(testJvmDll().c_str());
    ASSERT_NE(library, nullptr) << testJvmDll();
    jvmLibrary().createJavaVMEntry =
        reinterpret_cast<CreateJavaVMFunction>(GetProcAddress(library, "JNI_CreateJavaVM"));
    makeDirectories(dir.file("temp"));
    dir.write("temp\\a.jar", "");
    launcherTempDir = dir.file("temp");
    set(CFG_PRODUCT_KIND, "i");
    set(CFG_APP_HOME_DIRECTORY, dir.path());
    set(CFG_MSG_NO_MAIN_CLASS, "Couldn't load main class.");
    set(CFG_MSG_NO_MAIN_METHOD, "Main method not found.");
    set(CFG_MSG_INTERNAL_ERROR, "An internal error occurred (error code: {0})");
  }
  void TearDown() override {
    if (library != nullptr) FreeLibrary(library);
    JvmTestBase::TearDown();
  }
  void createMarker() {
    makeDirectories(dir.file(".vantrel"));
    dir.write(".vantrel\\firstrun", "");
  }
  // The recorded lines, without the creation record and options unless asked.
  Strings calls(bool withOptions = false) const {
    std::istringstream in(readTextFile(record));
    Strings lines;
    for (std::string line; std::getline(in, line);) {
      if (!withOptions && (line.rfind("option ", 0) == 0 || line.rfind("module ", 0) == 0 ||
                           line.rfind("JNI_CreateJavaVM", 0) == 0)) {
        continue;
      }
      lines.push_back(line);
    }
    return lines;
  }
  static bool contains(const Strings& lines, const std::string& line) {
    for (const std::string& l : lines) {
      if (l == line) return true;
    }
    return false;
  }

  HMODULE library = nullptr;
  ScratchDir dir;
  std::string record = dir.file("calls.txt");
  ScopedEnvVar recordVar{"TESTJVM_RECORD", record.c_str()};
  ScopedEnvVar failVar{"TESTJVM_FAIL", nullptr};
  ScopedEnvVar manpath{"MANPATH", nullptr};
};

TEST_F(LaunchWinTest, InstallerStartCallsFirstRunThenMain) {
  createMarker();
  set(CFG_VM_OPTIONS, "-Dsun.java2d.noddraw=true -Duser.language=zh_CN");
  set(CFG_EXECUTABLE_TYPE, "5");
  set(CFG_MAIN_CLASS, "com.vantrel.runtime.installer.Installer");
  set(CFG_REDIRECT_STDERR, "1");
  set(CFG_STDERR_FILE, "error.log");
  const std::u16string unicode = u"\u2603 \U0001F600";  // no ANSI form
  ASSERT_TRUE(launchProgram({u"C:\\dl\\setup.exe", u"-q", unicode}, launchSettings()));

  char path[32768];
  const DWORD n = GetEnvironmentVariableA("PATH", path, sizeof path);
  const Strings options = calls(true);
  const Strings expectedOptions = {
      "JNI_CreateJavaVM version=0x00010002 nOptions=10 ignoreUnrecognized=1",
      "option -Dquoll.jev=true",
      "option -Dquoll.isVantrel=true",
      "option -Dquoll.moduleName=" + getModulePath(),
      "option -Dquoll.tempDir=" + launcherTempDir,
      "option -Dquoll.unextractedPosition=" + std::to_string(launchSettings().unextractedPosition),
      "option -Djava.library.path=" + (n < sizeof path ? std::string(path, n) : std::string()),
      "option -Dquoll.consoleCodepage=cp" + std::to_string(GetConsoleOutputCP()),
      "option -Dsun.java2d.noddraw=true",
      "option -Duser.language=zh_CN",
      "option -Djava.class.path=" + launcherTempDir + "\\a.jar;",
  };
  ASSERT_GE(options.size(), expectedOptions.size() + 1);
  EXPECT_EQ(Strings(options.begin() + 1, options.begin() + 1 + expectedOptions.size()), expectedOptions);

  const std::string launcher = "com/vantrel/runtime/launcher/WinLauncher";
  const std::string errorLog = getExeDir() + "error.log";
  const std::string snowman = utf16ToUtf8(unicode);
  EXPECT_EQ(calls(), (Strings{
      "FindClass com/vantrel/runtime/launcher/FirstRun",
      "GetStaticMethodID com/vantrel/runtime/launcher/FirstRun firstRun ()Z",
      "CallStaticBooleanMethod com/vantrel/runtime/launcher/FirstRun.firstRun",
      "ExceptionOccurred 0",
      "FindClass " + launcher,
      "GetStaticMethodID " + launcher + " main ([Ljava/lang/String;)V",
      "FindClass java/lang/String",
      "NewObjectArray 8 java/lang/String",
      "NewString false", "SetObjectArrayElement 0",
      "NewString com.vantrel.runtime.installer.Installer", "SetObjectArrayElement 1",
      "NewString " + errorLog, "SetObjectArrayElement 2",
      "NewString ", "SetObjectArrayElement 3",
      "NewString false", "SetObjectArrayElement 4",
      "NewString C:\\dl\\setup.exe", "SetObjectArrayElement 5",
      "NewString -q", "SetObjectArrayElement 6",
      "NewString " + snowman, "SetObjectArrayElement 7",
      "CallStaticVoidMethod " + launcher + ".main",
      "args 8", "arg 0 false", "arg 1 com.vantrel.runtime.installer.Installer", "arg 2 " + errorLog,
      "arg 3 ", "arg 4 false", "arg 5 C:\\dl\\setup.exe", "arg 6 -q", "arg 7 " + snowman,
      "ExceptionOccurred 0",
      "DestroyJavaVM",
  }));
  const std::string log = logText();
  EXPECT_NE(log.find("param 7: ?"), std::string::npos);  // the log cannot show the argument
  EXPECT_EQ(log.find(snowman), std::string::npos);
  EXPECT_NE(log.find("calling main\nmain returned\ndest JVM\nlaunch done\n"), std::string::npos);
}

TEST_F(LaunchWinTest, ApplicationKindAndProcessProperties) {
  createMarker();  // not looked at for applications
  set(CFG_PRODUCT_KIND, "e");
  set(CFG_PROCESS_COMM_FILE, "1");
  ScopedEnvVar cygwin("MANPATH", "/usr/man");
  ASSERT_TRUE(launchProgram({u"app.exe"}, launchSettings()));
  const Strings all = calls(true);
  EXPECT_EQ(all.at(2), "option -Dquoll.jev=true");
  EXPECT_EQ(all.at(3), "option -Dquoll.moduleName=" + getModulePath());
  EXPECT_EQ(all.at(4), "option -Dquoll.processCommFile=" + makeProcessFileName(GetCurrentProcessId()));
  for (const std::string& line : all) {
    EXPECT_EQ(line.find("consoleCodepage"), std::string::npos) << line;
    EXPECT_EQ(line.find("FirstRun"), std::string::npos) << line;
  }
  EXPECT_TRUE(contains(all, "FindClass com/quoll/runtime/WinLauncher"));
}

TEST_F(LaunchWinTest, FailurePaths) {
  struct Row {
    const char* fail;
    bool marker;
    int exitCode;           // -1: launchProgram returns
    bool result;            // when it returns
    const char* shown;      // start of the message on standard error
    const char* lastCall;   // the last recorded JNI call
  } rows[] = {
      {"create", false, -1, false, "", nullptr},
      {"findclass=com/vantrel/runtime/launcher/WinLauncher", false, 1, false,
       "Couldn't load main class.", "FindClass com/vantrel/runtime/launcher/WinLauncher"},
      {"method=main", false, 1, false, "Main method not found.",
       "GetStaticMethodID com/vantrel/runtime/launcher/WinLauncher main ([Ljava/lang/String;)V"},
      {"findclass=com/vantrel/runtime/launcher/FirstRun", true, 1, false,
       "An internal error occurred (error code: 14)", "FindClass com/vantrel/runtime/launcher/FirstRun"},
      {"findclass=com/vantrel/runtime/launcher/FirstRun", false, -1, true, "", "DestroyJavaVM"},
      {"method=firstRun", true, 1, false, "An internal error occurred (error code: 15)",
       "GetStaticMethodID com/vantrel/runtime/launcher/FirstRun firstRun ()Z"},
      {"firstrun=false", true, -1, true, "", "DestroyJavaVM"},
      {"throw=firstRun", true, -1, true, "", "DestroyJavaVM"},
      {"throw=main", false, -1, false, "", "ExceptionDescribe java/lang/RuntimeException"},
      {"newobjectarray", false, -1, false, "", "ExceptionDescribe java/lang/OutOfMemoryError"},
      {"newstring", false, -1, false, "", "ExceptionDescribe java/lang/OutOfMemoryError"},
  };
  for (const Row& row : rows) {
    removeFile(record);
    removeFile(dir.file(".vantrel\\firstrun"));
    if (row.marker) createMarker();
    setEnvVar("TESTJVM_FAIL", row.fail);
    bool result = !row.result;
    testing::internal::CaptureStderr();
    const int code = exitCodeOf([&] { result = launchProgram({u"setup.exe", u"x"}, launchSettings()); });
    const std::string shown = testing::internal::GetCapturedStderr();
    EXPECT_EQ(code, row.exitCode) << row.fail;
    if (code == -1) {
      EXPECT_EQ(result, row.result) << row.fail;
    }
    if (*row.shown != '\0') {
      EXPECT_EQ(shown.find(row.shown), 0u) << row.fail << ": " << shown;
    }
    const Strings lines = calls();
    if (row.lastCall == nullptr) {
      EXPECT_TRUE(lines.empty()) << row.fail;
    } else {
      ASSERT_FALSE(lines.empty()) << row.fail;
      EXPECT_EQ(lines.back(), row.lastCall) << row.fail;
    }
    // main runs only when nothing before it failed or stopped the start.
    const bool mainCalled = contains(lines, "CallStaticVoidMethod com/vantrel/runtime/launcher/WinLauncher.main");
    EXPECT_EQ(mainCalled, std::string(row.fail) == "throw=main" ||
                              (std::string(row.fail).rfind("findclass=com/vantrel/runtime/launcher/FirstRun", 0) == 0 && !row.marker))
        << row.fail;
  }
  const std::string log = logText();
  EXPECT_NE(log.find("ERROR: could not initialize JVM"), std::string::npos);
  EXPECT_NE(log.find("checkFirstRun stopped further execution"), std::string::npos);
  EXPECT_NE(log.find("ERROR: an exception occured\nERROR: could not call main"), std::string::npos);
}
