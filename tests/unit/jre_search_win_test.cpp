// The whole search against fixture runtimes, followed through the diagnostic log.
#include "runtime_search/jre_search.h"

#include "jre_test_env_win.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/search_sequence.h"

using namespace jretest;

namespace {
const std::vector<std::string> kTrace = {
    "Has preferred location ", "Has installer location ", "Testing location ",
    "Testing relative location ", "found installations: ", "Search sequence finished",
    "checkJavaExe (", "found JRE from previous installation", "Using "};

class JreSearchTest : public JreTest {
 protected:
  void SetUp() override {
    JreTest::SetUp();
    setConfig(CFG_APP_HOME_DIRECTORY, scratch_.path());
  }
  void locationFile(const char* name, const std::string& content) {
    writeFile(scratch_.path() + "\\.vantrel\\" + name, content);
  }
  // The checkJavaExe line for an executable, as logged with the bounds of these tests.
  static std::string check(const std::string& exe, bool beta, const char* minVersion = "1.6") {
    return "checkJavaExe (" + exe + ", [out], " + minVersion + ", , " + (beta ? "1" : "0") + ")";
  }

  ScopedEnvVar quoll_{"QUOLL_JAVA_HOME", nullptr};
  ScopedEnvVar vantrel_{"VANTREL_JAVA_HOME", nullptr};
};
}  // namespace

TEST_F(JreSearchTest, TypicalSequenceTriesEverySourceInOrder) {
  for (const char* name : {"pref", "sun", "javahome", "jdkhome", "inst", "quoll"}) {
    makeJre(dir(name), "1.5.0_22");
  }
  makeJre(dir("userinst\\jre"), "1.5.0_22");
  makeJre(dir("machineinst\\jre"), "1.5.0_22");
  const std::string good = makeJre(dir("vantrel"), "1.6.0_20");
  locationFile("pref_jre.cfg", dir("pref") + "\n");
  locationFile("inst_jre.cfg", dir("inst") + "\r\n");
  setRegString(HKEY_LOCAL_MACHINE, std::string(kJreKey) + "\\1.6", "JavaHome", dir("sun"));
  setConfig(CFG_INSTALLATIONS_KEY, "app_dirs");
  setRegString(HKEY_CURRENT_USER, kInstallationsKey, "app_dirs", dir("userinst"));
  setRegString(HKEY_LOCAL_MACHINE, kInstallationsKey, "app_dirs", dir("machineinst"));
  setConfig(CFG_JRE_SEARCH_SEQUENCE, "B.\\jre;Y;EJAVA_HOME;EJDK_HOME;");
  setConfig(CFG_MIN_JAVA_VERSION, "1.6");
  ScopedEnvVar javaHome("JAVA_HOME", dir("javahome").c_str());
  ScopedEnvVar jdkHome("JDK_HOME", dir("jdkhome").c_str());
  ScopedEnvVar quoll("QUOLL_JAVA_HOME", dir("quoll").c_str());
  ScopedEnvVar vantrel("VANTREL_JAVA_HOME", dir("vantrel").c_str());

  LogCapture log;
  std::string exe, label = "caller's";
  EXPECT_EQ(searchJvm(exe, label), FOUND_BY_ENV_VAR);
  EXPECT_EQ(exe, lower(good + "\\bin\\java.exe"));
  EXPECT_EQ(label, "VANTREL_JAVA_HOME");

  const std::vector<std::string> expected = {
      "Has preferred location " + dir("pref"),
      check(lower(dir("pref")) + "\\bin\\java.exe", true),
      "Testing location .\\jre (type B)",
      check(lower(getExeDir()) + "jre\\bin\\java.exe", true),
      "Testing location  (type Y)",
      check(dir("sun") + "\\bin\\java.exe", false),
      "Testing location JAVA_HOME (type E)",
      check(dir("javahome") + "\\bin\\java.exe", false),
      "Testing location JDK_HOME (type E)",
      check(dir("jdkhome") + "\\bin\\java.exe", false),
      "Has installer location " + dir("inst"),
      check(lower(dir("inst")) + "\\bin\\java.exe", true),
      "Testing relative location .\\jre",
      "found installations: " + dir("userinst"),
      check(dir("userinst") + "\\jre\\bin\\java.exe", false),
      "found installations: " + dir("machineinst"),
      check(dir("machineinst") + "\\jre\\bin\\java.exe", false),
      "Search sequence finished",
      check(dir("quoll") + "\\bin\\java.exe", false),
      check(dir("vantrel") + "\\bin\\java.exe", false),
  };
  EXPECT_EQ(joined(log.lines(kTrace)), joined(expected));
  EXPECT_EQ(log.lines({"Searching for a JVM"}).size(), 1u);
}

TEST_F(JreSearchTest, PreferredLocationEndsTheSearch) {
  const std::string good = makeJre(dir("good"), "1.6.0_20");
  locationFile("pref_jre.cfg", good + "\r\n" + dir("second line") + "\n");
  setConfig(CFG_JRE_SEARCH_SEQUENCE, "Y;EJAVA_HOME");
  LogCapture log;
  std::string exe, label;
  EXPECT_EQ(searchJvm(exe, label), FOUND_AT_LOCATION);
  EXPECT_EQ(label, good);
  EXPECT_EQ(exe, lower(good + "\\bin\\java.exe"));
  EXPECT_EQ(log.count("Using preferred location"), 1);
  EXPECT_TRUE(log.lines({"Testing location"}).empty());
}

TEST_F(JreSearchTest, LocationFileLinesAreReadUpTo8191Characters) {
  struct Row { std::string content; std::string line; } rows[] = {
      {std::string(8191, 'a') + "\r\n", std::string(8191, 'a')},
      {std::string(9000, 'b') + "\n", std::string(8191, 'b')},  // the rest is not a line of its own
      {"\r\n", ""},
  };
  for (const Row& row : rows) {
    locationFile("inst_jre.cfg", row.content);
    std::string line = "stale";
    ASSERT_TRUE(readLocationFile(line, kInstallerLocationFile)) << row.content.size();
    EXPECT_EQ(line, row.line) << row.content.size();
  }
}

TEST_F(JreSearchTest, EmptySequenceStillTriesTheFixedSteps) {
  locationFile("pref_jre.cfg", dir("pref"));
  locationFile("inst_jre.cfg", "");  // an empty file has no line
  setConfig(CFG_INSTALLATIONS_KEY, "app_dirs");
  setRegString(HKEY_LOCAL_MACHINE, kInstallationsKey, "app_dirs", dir("machineinst"));
  ScopedEnvVar vantrel("VANTREL_JAVA_HOME", dir("nothing").c_str());
  LogCapture log;
  std::string exe, label;
  EXPECT_EQ(searchJvm(exe, label), NOT_FOUND);
  const std::vector<std::string> expected = {
      "Has preferred location " + dir("pref"),
      check(lower(dir("pref")) + "\\bin\\java.exe", true, ""),
      "found installations: " + dir("machineinst"),
      check(dir("machineinst") + "\\jre\\bin\\java.exe", false, ""),
      "Search sequence finished",
      check(dir("nothing") + "\\bin\\java.exe", false, ""),
  };
  EXPECT_EQ(joined(log.lines(kTrace)), joined(expected));
}

TEST_F(JreSearchTest, RelativePass) {
  const std::string old = makeJre(dir("old"), "1.5.0_22");
  makeDirs(dir("empty"));
  setConfig(CFG_MIN_JAVA_VERSION, "1.6");
  setConfig(CFG_JRE_SEARCH_SEQUENCE, "A.\\jre_unit_none;AC:\\jre_unit_none;Xwhatever;Sarg;B" +
                                         dir("empty") + ";B" + old + ";");
  LogCapture log;
  std::string exe, label;
  EXPECT_EQ(searchJvm(exe, label), FOUND_AT_LOCATION);
  EXPECT_EQ(label, old);
  EXPECT_EQ(exe, lower(old + "\\bin\\java.exe"));
  EXPECT_EQ(log.count("Testing location whatever (type X)"), 1);
  EXPECT_EQ(log.count(exe + " exists"), 1);
  const std::vector<std::string> relative = {
      "Testing relative location .\\jre_unit_none",
      "Testing relative location " + dir("empty"),  // checkLocation passes, no java.exe
      "Testing relative location " + old,
  };
  EXPECT_EQ(joined(log.lines({"Testing relative location"})), joined(relative));
}

TEST_F(JreSearchTest, EntriesAreExpandedAndRegistryLeavesTheLabel) {
  const std::string good = makeJre(dir("good"), "1.6.0_20");
  ScopedEnvVar base("JRE_UNIT_BASE", scratch_.path().c_str());
  setConfig(CFG_JRE_SEARCH_SEQUENCE, "A${JRE_UNIT_BASE}\\good");
  std::string exe, label;
  {
    LogCapture log;
    EXPECT_EQ(searchJvm(exe, label), FOUND_AT_LOCATION);
    EXPECT_EQ(label, good);
    EXPECT_EQ(log.count("Testing location " + good + " (type A)"), 1);
  }
  setRegString(HKEY_CURRENT_USER, locatedJvmKey(good + "\\bin\\java.exe"), nullptr, "");
  setConfig(CFG_JRE_SEARCH_SEQUENCE, "Yignored");
  label = "caller's";
  EXPECT_EQ(searchJvm(exe, label), FOUND_IN_REGISTRY);
  EXPECT_EQ(label, "caller's");
  EXPECT_EQ(exe, lower(good + "\\bin\\java.exe"));
}

TEST_F(JreSearchTest, EarlierInstallationOfTheUser) {
  const std::string home = dir("app");
  makeJre(home + "\\jre", "1.6.0_20");
  setConfig(CFG_INSTALLATIONS_KEY, "app_dirs");
  setRegString(HKEY_CURRENT_USER, kInstallationsKey, "app_dirs", home);
  LogCapture log;
  std::string exe, label = "caller's";
  EXPECT_EQ(searchJvm(exe, label), FOUND_IN_REGISTRY);
  EXPECT_EQ(label, "caller's");
  EXPECT_EQ(log.count("found JRE from previous installation (user) " + exe), 1);
  EXPECT_EQ(log.count("Search sequence finished"), 0);
}
