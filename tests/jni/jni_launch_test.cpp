// launchProgram against the installed JDK's libjvm.so: the options, the launcher
// properties and the String[] as a real VM receives them, non-ASCII arguments included.
// Every case creates a VM, so ctest runs each case in a process of its own.
#include <dlfcn.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <sstream>

#include "base/text.h"
#include "jvm/java_vm_launcher.h"
#include "platform/paths.h"
#include "support/test_exit.h"
#include "unit/jvm_test_env.h"

namespace {
using Strings = std::vector<std::string>;

// What the stand-in launcher class (or the application) wrote.
struct Received {
  std::string launcherClass;
  Strings args;
  std::map<std::string, std::string> properties;
};

Received parse(const std::string& text) {
  Received r;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t tab = line.find('\t');
    const std::string kind = line.substr(0, tab);
    const std::string rest = tab == std::string::npos ? "" : line.substr(tab + 1);
    const size_t tab2 = rest.find('\t');
    if (kind == "class") r.launcherClass = rest;
    if (kind == "arg") r.args.push_back(rest.substr(tab2 + 1));
    if (kind == "prop") r.properties[rest.substr(0, tab2)] = rest.substr(tab2 + 1);
  }
  return r;
}

Strings utf8(const std::vector<std::u16string>& wide) {
  Strings out;
  for (const std::u16string& w : wide) out.push_back(utf16ToUtf8(w));
  return out;
}
}  // namespace

class RealJvmTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    void* libjvm = dlopen(TEST_LIBJVM, RTLD_NOW | RTLD_GLOBAL);
    ASSERT_NE(libjvm, nullptr) << dlerror();
    jvmLibrary().createJavaVMEntry =
        reinterpret_cast<CreateJavaVMFunction>(dlsym(libjvm, "JNI_CreateJavaVM"));
    ASSERT_NE(jvmLibrary().createJavaVMEntry, nullptr);
    launcherTempDir = temp.path();
    set(CFG_MSG_NO_MAIN_CLASS, "Couldn't load main class.");
  }
  // CFG_VM_OPTIONS naming the record file and the class path (the replace override, so no
  // ";" is added: the Linux VM separates class path elements with ":").
  void options(const std::string& classPath, const std::string& more = "") {
    set(CFG_VM_OPTIONS, "-Djvmtest.out=" + out + " \"-classpath " + classPath + "\" " + more);
  }
  Received received() const { return parse(readTextFile(out)); }

  ScratchDir dir;
  ScratchDir temp;
  std::string out = dir.file("received.txt");
};

TEST_F(RealJvmTest, InstallerReceivesArgumentsAndProperties) {
  options(TEST_STANDIN_CLASSES, "-Djvmtest.fromConfig=yes");
  set(CFG_PRODUCT_KIND, "i");
  set(CFG_ACCEPT_J_ARGUMENTS, "1");
  set(CFG_EXECUTABLE_TYPE, "1");
  set(CFG_MAIN_CLASS, "com.example.Main");
  set(CFG_REDIRECT_STDERR, "1");
  set(CFG_STDERR_FILE, "${jvmtest.none}/err.log");
  set(CFG_ARGUMENTS, "fixed \"two words\"");
  const std::vector<std::u16string> arguments = {
      u"/opt/setup", u"-J-Djvmtest.fromJ=yes", u"plain", u"Gr\u00FC\u00DFe",
      u"\u65E5\u672C\u8A9E", u"\U0001F600 emoji", u"", u"-q"};
  ASSERT_TRUE(launchProgram(arguments, launchSettings()));

  const Received r = received();
  EXPECT_EQ(r.launcherClass, "com.vantrel.runtime.launcher.WinLauncher");
  EXPECT_EQ(r.args, utf8({u"true", u"com.example.Main", u"${jvmtest.none}/err.log", u"", u"false",
                          u"/opt/setup", u"fixed", u"two words", u"plain", u"Gr\u00FC\u00DFe",
                          u"\u65E5\u672C\u8A9E", u"\U0001F600 emoji", u"", u"-q"}));
  const char* path = getenv("PATH");
  const std::map<std::string, std::string> expected = {
      {"java.library.path", path != nullptr ? path : ""},
      {"jvmtest.fromConfig", "yes"},
      {"jvmtest.fromJ", "yes"},
      {"jvmtest.out", out},
      {"quoll.isVantrel", "true"},
      {"quoll.jev", "true"},
      {"quoll.moduleName", getModulePath()},
      {"quoll.tempDir", temp.path()},
      {"quoll.unextractedPosition", "0"},
  };
  EXPECT_EQ(r.properties, expected);
  EXPECT_NE(logText().find("dest JVM\nlaunch done\n"), std::string::npos);
}

TEST_F(RealJvmTest, ApplicationWithRestartManualAndCommFile) {
  options(TEST_STANDIN_CLASSES);
  set(CFG_PRODUCT_KIND, "e");
  set(CFG_PROCESS_COMM_FILE, "1");
  restartMode = true;
  manualJreSelection = true;
  const bool ok = launchProgram({u"app"}, launchSettings());
  ASSERT_TRUE(ok);
  const Received r = received();
  EXPECT_EQ(r.launcherClass, "com.quoll.runtime.WinLauncher");
  EXPECT_EQ(r.args, (Strings{"false", "", "", "", "false", "app"}));
  EXPECT_EQ(r.properties.count("quoll.isVantrel"), 0u);
  EXPECT_EQ(r.properties.at("quoll.manualJre"), "true");
  EXPECT_EQ(r.properties.at("quoll.unextractedPosition"), "-1");
  EXPECT_EQ(r.properties.at("quoll.processCommFile"), processCommFileName());
}

TEST_F(RealJvmTest, ExceptionFromMainFailsTheLaunch) {
  options(TEST_STANDIN_CLASSES, "-Djvmtest.throw=yes");
  set(CFG_PRODUCT_KIND, "i");
  testing::internal::CaptureStderr();
  EXPECT_FALSE(launchProgram({u"setup"}, launchSettings()));
  const std::string described = testing::internal::GetCapturedStderr();
  EXPECT_NE(described.find("failing as asked"), std::string::npos) << described;
  EXPECT_EQ(received().args.size(), 6u);
  EXPECT_NE(logText().find("ERROR: an exception occured\nERROR: could not call main\n"), std::string::npos);
}

TEST_F(RealJvmTest, MissingLauncherClassEndsTheProcess) {
  options(dir.path());
  set(CFG_PRODUCT_KIND, "i");
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitCodeOf([this] { launchProgram({u"setup"}, launchSettings()); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().find("Couldn't load main class."), 0u);
}

TEST_F(RealJvmTest, RuntimeJarRedirectsAndRunsTheMainClass) {
  options(std::string(TEST_RUNTIME_JAR) + ":" + TEST_APP_CLASSES, "-Djvmtest.dir=" + dir.path());
  set(CFG_PRODUCT_KIND, "i");
  set(CFG_MAIN_CLASS, "jvmtest.AppMain");
  set(CFG_REDIRECT_STDERR, "1");
  set(CFG_STDERR_FILE, "${jvmtest.dir}/err.log");
  set(CFG_REDIRECT_STDOUT, "1");
  set(CFG_STDOUT_FILE, "${jvmtest.dir}/out.log");
  ASSERT_TRUE(launchProgram({u"/opt/setup", u"one", u"\u00E9t\u00E9 \u2603"}, launchSettings()));
  EXPECT_EQ(received().args, utf8({u"one", u"\u00E9t\u00E9 \u2603"}));
  EXPECT_EQ(readTextFile(dir.file("err.log")), "to standard error\n");
  EXPECT_EQ(readTextFile(dir.file("out.log")), "to standard output\n");
}
