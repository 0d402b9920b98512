#include "jvm/java_vm_launcher.h"

#include <gtest/gtest.h>

#include "jvm_test_env.h"

using Strings = std::vector<std::string>;
using Wide = std::vector<std::u16string>;

namespace {
LauncherPropertyInputs workedExample() {
  LauncherPropertyInputs in;
  in.hasSemaphoreName = true;
  in.semaphoreName = "c:_dl_setup.exe";
  in.installer = true;
  in.modulePath = "C:\\dl\\setup.exe";
  in.tempDir = "C:\\T\\qlz1A2B.tmp_dir";
  in.unextractedPosition = 123456;
  in.path = "C:\\w;C:\\rt\\bin";
  in.hasConsoleCodepage = true;
  in.consoleCodepage = 850;
  return in;
}
}  // namespace

TEST(LauncherPropertyRules, OrderAndConditions) {
  const Strings example = {"-Dquoll.semaphoreName=c:_dl_setup.exe", "-Dquoll.jev=true",
                           "-Dquoll.isVantrel=true", "-Dquoll.moduleName=C:\\dl\\setup.exe",
                           "-Dquoll.tempDir=C:\\T\\qlz1A2B.tmp_dir",
                           "-Dquoll.unextractedPosition=123456",
                           "-Djava.library.path=C:\\w;C:\\rt\\bin", "-Dquoll.consoleCodepage=cp850"};
  EXPECT_EQ(composeLauncherProperties(workedExample()), example);

  LauncherPropertyInputs all = workedExample();
  all.manualJre = true;
  all.hasProcessCommFile = true;
  all.processCommFile = "C:\\T\\qlz_p42.tmp";
  all.restart = true;
  EXPECT_EQ(composeLauncherProperties(all),
            (Strings{"-Dquoll.semaphoreName=c:_dl_setup.exe", "-Dquoll.manualJre=true",
                     "-Dquoll.jev=true", "-Dquoll.isVantrel=true",
                     "-Dquoll.moduleName=C:\\dl\\setup.exe",
                     "-Dquoll.processCommFile=C:\\T\\qlz_p42.tmp",
                     "-Dquoll.tempDir=C:\\T\\qlz1A2B.tmp_dir", "-Dquoll.unextractedPosition=-1",
                     "-Djava.library.path=C:\\w;C:\\rt\\bin", "-Dquoll.consoleCodepage=cp850"}));

  LauncherPropertyInputs none;  // an application, no console code page (MANPATH set)
  none.unextractedPosition = 3000000000LL;  // held in 32 bits by the Java side
  EXPECT_EQ(composeLauncherProperties(none),
            (Strings{"-Dquoll.jev=true", "-Dquoll.moduleName=", "-Dquoll.tempDir=",
                     "-Dquoll.unextractedPosition=-1294967296", "-Djava.library.path="}));
}

TEST(LauncherPropertyRules, LibraryPathIsWholeOrEmpty) {
  const std::string prefix = "-Djava.library.path=";
  const std::string fits(kMaxPropertyText - prefix.size(), 'p');
  EXPECT_EQ(libraryPathOption(fits), prefix + fits);
  EXPECT_EQ(libraryPathOption(fits + "p"), prefix);
}

class LauncherArgumentsTest : public JvmTestBase {};

TEST_F(LauncherArgumentsTest, Layout) {
  ScopedEnvVar logs("JVMTEST_LOGS", "C:\\L");
  set(CFG_EXECUTABLE_TYPE, "5");
  set(CFG_MAIN_CLASS, "com.vantrel.runtime.installer.Installer");
  set(CFG_REDIRECT_STDERR, "1");
  set(CFG_STDERR_FILE, "${user.home}\\err.log");  // no such variable: left for the Java side
  set(CFG_STDOUT_FILE, "ignored.log");
  set(CFG_LAUNCHER_SWITCH, "1");
  set(CFG_ARGUMENTS, "-a \"b c\" ${JVMTEST_LOGS}");
  const std::u16string unicode = u"Gr\u00FC\u00DFe \u65E5\u672C \U0001F600";
  EXPECT_EQ(composeLauncherArguments({u"C:\\dl\\setup.exe", u"-q", unicode}),
            (Wide{u"false", u"com.vantrel.runtime.installer.Installer", u"${user.home}\\err.log",
                  u"", u"true", u"C:\\dl\\setup.exe", u"-a", u"b c", u"C:\\L", u"-q", unicode}));

  set(CFG_REDIRECT_STDOUT, "1");
  set(CFG_STDOUT_FILE, "${JVMTEST_LOGS}\\out.log");
  EXPECT_EQ(composeLauncherArguments({}).at(3), u"C:\\L\\out.log");
  EXPECT_EQ(composeLauncherArguments({}).size(), 8u);  // no program token, fixed arguments kept
}

TEST_F(LauncherArgumentsTest, ExecutableTypeAndJArguments) {
  struct TypeRow { const char* type; const char16_t* flag; } types[] = {
      {"1", u"true"}, {"5", u"false"}, {"0", u"false"}, {"", u"false"}, {"11", u"false"}};
  for (const TypeRow& row : types) {
    set(CFG_EXECUTABLE_TYPE, row.type);
    EXPECT_EQ(composeLauncherArguments({}).at(0), row.flag) << row.type;
  }
  const Wide command = {u"-Jtoken0", u"-Jfoo", u"-J", u"x", u"-j"};
  struct JRow { const char* accept; Wide passed; } rows[] = {
      {"1", {u"-Jtoken0", u"x", u"-j"}},
      {"0", {u"-Jtoken0", u"-Jfoo", u"-J", u"x", u"-j"}},
  };
  for (const JRow& row : rows) {
    set(CFG_ACCEPT_J_ARGUMENTS, row.accept);
    const Wide got = composeLauncherArguments(command);
    EXPECT_EQ(Wide(got.begin() + 5, got.end()), row.passed) << row.accept;
  }
}
