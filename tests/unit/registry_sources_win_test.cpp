// The registry and environment sources against fixture runtimes and the real registry
// below a private root.
#include "runtime_search/registry_sources.h"

#include "jre_test_env_win.h"

using namespace jretest;

namespace {
class RegistrySourcesTest : public JreTest {
 protected:
  // A JavaSoft version subkey whose JavaHome is a fixture runtime printing `version`.
  std::string addVersion(const char* javaSoftKey, const std::string& name,
                         const std::string& version) {
    const std::string home = dir(std::string(javaSoftKey == kJdkKey ? "jdk" : "jre") + name);
    makeJre(home, version);
    setRegString(HKEY_LOCAL_MACHINE, std::string(javaSoftKey) + "\\" + name, "JavaHome", home);
    return lower(home + "\\bin\\java.exe");
  }
  void setCurrentVersion(const char* javaSoftKey, const std::string& value) {
    setRegString(HKEY_LOCAL_MACHINE, javaSoftKey, "CurrentVersion", value);
  }
};
}  // namespace

TEST_F(RegistrySourcesTest, JavaSoftEnumerationTriesGreatestVersionInRangeFirst) {
  const std::string exe15 = addVersion(kJreKey, "1.5", "1.5.0_22");
  const std::string exe16 = addVersion(kJreKey, "1.6", "1.6.0_10");
  const std::string exe1620 = addVersion(kJreKey, "1.6.0_20", "1.6.0_20");
  std::string exe, version;
  ASSERT_TRUE(findJavaSoftJvm(exe, version, "1.6", ""));
  EXPECT_EQ(exe, exe1620);
  EXPECT_EQ(version, "1.6.0_20");
  EXPECT_EQ(runsOf(exe16), 0);
  // When the greatest fails, the next one down is taken; 1.5 is never run.
  DeleteFileA(exe1620.c_str());
  ASSERT_TRUE(findJavaSoftJvm(exe, version, "1.6", ""));
  EXPECT_EQ(exe, exe16);
  EXPECT_FALSE(findJavaSoftJvm(exe, version, "1.7", ""));
  EXPECT_EQ(runsOf(exe15), 0);
}

TEST_F(RegistrySourcesTest, DefaultVersions) {
  const std::string jre16 = addVersion(kJreKey, "1.6", "1.6.0_20");
  const std::string jdk16 = addVersion(kJdkKey, "1.6", "1.6.0_21");
  const std::string jre17 = addVersion(kJreKey, "1.7", "1.7.0");
  // Defaults of 99 and of 100 characters, each naming a subkey of its own.
  const std::string fits = "1.6" + std::string(96, 'x'), tooLong = "1.6" + std::string(97, 'x');
  const std::string jreFits = addVersion(kJreKey, fits, "1.6.0_30");
  addVersion(kJreKey, tooLong, "1.6.0_31");
  struct Row { std::string jdk, jre, max, exe; } rows[] = {
      {"1.6", "1.6", "", jre16},     // equal defaults: the runtime's, before enumerating 1.7
      {"1.6", "1.7", "1.6", jdk16},  // the runtime default out of range: the JDK's
      {"", fits, "", jreFits},
      {"", tooLong, "", jre17},      // over 100 bytes with its terminator: unreadable
      {"", "1.6.1", "", jre17},      // a default without a subkey: the enumeration decides
  };
  for (const Row& row : rows) {
    setCurrentVersion(kJdkKey, row.jdk);
    setCurrentVersion(kJreKey, row.jre);
    std::string exe, version;
    ASSERT_TRUE(findJavaSoftJvm(exe, version, "", row.max)) << row.jdk << " " << row.jre;
    EXPECT_EQ(exe, row.exe) << row.jdk.size() << " " << row.jre.size();
  }
}

TEST_F(RegistrySourcesTest, RequireJdk) {
  const std::string jre = addVersion(kJreKey, "1.6", "1.6.0_20");
  setCurrentVersion(kJreKey, "1.6");
  const std::string jdk = dir("jdk1.6");
  setRegString(HKEY_LOCAL_MACHINE, std::string(kJdkKey) + "\\1.6", "JavaHome", jdk);
  installJava(jdk + "\\jre\\bin\\java.exe");
  setConfig(CFG_REQUIRE_JDK, "1");
  std::string exe, version;
  EXPECT_FALSE(findJavaSoftJvm(exe, version, "", ""));  // the JDK has no lib\tools.jar
  EXPECT_EQ(runsOf(jre), 0);                            // runtime keys are not read
  writeFile(jdk + "\\lib\\tools.jar", "");
  ASSERT_TRUE(findJavaSoftJvm(exe, version, "", ""));
  EXPECT_EQ(exe, lower(jdk + "\\jre\\bin\\java.exe"));
}

TEST_F(RegistrySourcesTest, LocatedListInBothHivesAndAgainstJavaSoft) {
  const std::string user = lower(makeJre(dir("user"), "1.6.0_20") + "\\bin\\java.exe");
  const std::string machine = lower(makeJre(dir("machine"), "1.6.0_20") + "\\bin\\java.exe");
  const std::string newer = lower(makeJre(dir("newer"), "1.7.0") + "\\bin\\java.exe");
  const std::string beta = lower(makeJre(dir("beta"), "1.8.0-ea") + "\\bin\\java.exe");
  setRegString(HKEY_CURRENT_USER, locatedJvmKey(dir("missing\\bin\\java.exe")), nullptr);
  setRegString(HKEY_CURRENT_USER, locatedJvmKey(user), nullptr);
  setRegString(HKEY_LOCAL_MACHINE, locatedJvmKey(machine), nullptr);
  std::string exe, version;
  ASSERT_TRUE(findLocatedJvm(exe, version, "", ""));
  EXPECT_EQ(exe, machine);  // equal versions: the machine's
  setRegString(HKEY_CURRENT_USER, locatedJvmKey(newer), nullptr);
  ASSERT_TRUE(findLocatedJvm(exe, version, "", ""));
  EXPECT_EQ(exe, newer);
  setRegString(HKEY_LOCAL_MACHINE, locatedJvmKey(beta), nullptr);  // beta allowed here
  ASSERT_TRUE(findLocatedJvm(exe, version, "", ""));
  EXPECT_EQ(exe, beta);
  EXPECT_FALSE(findLocatedJvm(exe, version, "1.9", ""));

  // JavaSoft wins only with a strictly greater version.
  const std::string sun = addVersion(kJreKey, "1.8", "1.8.0-ea");
  setConfig(CFG_ALLOW_BETA_JRE, "1");
  {
    LogCapture log;
    ASSERT_TRUE(findRegistryJvm(exe, "", ""));
    EXPECT_EQ(exe, beta);
    EXPECT_EQ(log.count("found sun " + sun + " 1.8.0-ea"), 1);
    EXPECT_EQ(log.count("found located " + beta + " 1.8.0-ea"), 1);
  }
  const std::string sunNewer = addVersion(kJreKey, "1.9", "1.9.0");
  ASSERT_TRUE(findRegistryJvm(exe, "", ""));
  EXPECT_EQ(exe, sunNewer);
  EXPECT_FALSE(findRegistryJvm(exe, "2", ""));
}

TEST_F(RegistrySourcesTest, RememberLocatedJvmWritesTheMachinesThirtyTwoBitView) {
  rememberLocatedJvm("C:\\Some Where\\Bin\\Java.exe");  // kept as chosen
  const std::string entry = "SOFTWARE\\northgale\\quoll\\locatedjvms\\C:/Some Where/Bin/Java.exe";
  RegKey key;
  EXPECT_TRUE(openRuntimeKey(key, HKEY_LOCAL_MACHINE, entry));
  if (kRegistryView != 0) {  // where a 32-bit launcher on a 64-bit system sees it
    const std::string redirected = "Software\\Wow6432Node\\" +
                                   root_.substr(root_.find('\\') + 1) + "\\" + entry;
    HKEY raw = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_LOCAL_MACHINE, redirected.c_str(), 0, KEY_READ | KEY_WOW64_64KEY,
                            &raw),
              ERROR_SUCCESS)
        << redirected;
    if (raw) RegCloseKey(raw);
  }
}

TEST_F(RegistrySourcesTest, PreviousInstallations) {
  const std::string good = dir("second");
  makeJre(good + "\\jre", "1.6.0_20");
  const std::string value = dir("first") + ";;" + good + ";";
  setRegString(HKEY_CURRENT_USER, kInstallationsKey, "app_dirs", value);
  std::string exe;
  EXPECT_FALSE(findPreviousInstallationJvm(RegistryHive::CurrentUser, exe, "", ""));  // no name
  setConfig(CFG_INSTALLATIONS_KEY, "app_dirs");
  LogCapture log;
  ASSERT_TRUE(findPreviousInstallationJvm(RegistryHive::CurrentUser, exe, "", ""));
  EXPECT_EQ(exe, lower(good + "\\jre\\bin\\java.exe"));
  const std::vector<std::string> expected = {
      "found installations: " + value,
      "checkJavaExe (" + dir("first") + "\\jre\\bin\\java.exe, [out], , , 0)",
      "checkJavaExe (" + good + "\\jre\\bin\\java.exe, [out], , , 0)",
  };
  EXPECT_EQ(joined(log.lines({"found installations", "checkJavaExe ("})), joined(expected));
  EXPECT_FALSE(findPreviousInstallationJvm(RegistryHive::LocalMachine, exe, "", ""));
  setRegString(HKEY_LOCAL_MACHINE, kInstallationsKey, "app_dirs", "");
  EXPECT_FALSE(findPreviousInstallationJvm(RegistryHive::LocalMachine, exe, "", ""));
  // A list too long for its buffer is refused whole, not cut to the directories that fit.
  setRegString(HKEY_LOCAL_MACHINE, kInstallationsKey, "app_dirs", good + ";" + std::string(8192, 'x'));
  EXPECT_FALSE(findPreviousInstallationJvm(RegistryHive::LocalMachine, exe, "", ""));
}

TEST_F(RegistrySourcesTest, TextValuesMustFitTheirBufferWithTheTerminator) {
  RegKey key;
  ASSERT_TRUE(createRuntimeKey(key, HKEY_CURRENT_USER, "bounds"));
  struct Row { DWORD type; std::string bytes; DWORD buffer; bool read; size_t length; } rows[] = {
      {REG_SZ, std::string(8191, 'a') + '\0', kRegistryTextBuffer, true, 8191},
      {REG_SZ, std::string(8192, 'a') + '\0', kRegistryTextBuffer, false, 0},
      {REG_BINARY, std::string(8192, 'a'), kRegistryTextBuffer, false, 0},  // no room for the end
      {REG_SZ, std::string(8191, 'a'), kRegistryTextBuffer, true, 8191},    // stored unterminated
      {REG_SZ, std::string(20, 'a') + '\0' + std::string(8000, 'b'), kRegistryTextBuffer, true, 20},
      {REG_SZ, std::string(99, '1') + '\0', 100, true, 99},
      {REG_SZ, std::string(100, '1') + '\0', 100, false, 0},
      {REG_SZ, std::string(70000, 'a') + '\0', kRegistryTextBuffer, false, 0},
  };
  for (const Row& row : rows) {
    ASSERT_EQ(RegSetValueExA(key.get(), "v", 0, row.type, reinterpret_cast<const BYTE*>(row.bytes.data()),
                             static_cast<DWORD>(row.bytes.size())),
              ERROR_SUCCESS);
    std::string text = "stale";
    EXPECT_EQ(key.readString("v", row.buffer, text), row.read) << row.bytes.size() << " in " << row.buffer;
    EXPECT_EQ(text.size(), row.read ? row.length : 5u) << row.bytes.size() << " in " << row.buffer;
  }
}

TEST_F(RegistrySourcesTest, EnvironmentAndSearchPath) {
  const std::string home = makeJre(dir("envjre"), "1.6.0_20");
  std::string forward = home, exe;
  for (char& c : forward) c = c == '\\' ? '/' : c;
  {
    ScopedEnvVar var("JRE_UNIT_HOME", forward.c_str());
    ASSERT_TRUE(findEnvJvm(exe, "JRE_UNIT_HOME", "", ""));
    EXPECT_EQ(exe, lower(home + "\\bin\\java.exe"));
    EXPECT_FALSE(findEnvJvm(exe, "JRE_UNIT_HOME", "1.7", ""));
  }
  ScopedEnvVar empty("JRE_UNIT_HOME", "");
  EXPECT_FALSE(findEnvJvm(exe, "JRE_UNIT_HOME", "", ""));
  EXPECT_FALSE(findEnvJvm(exe, "JRE_UNIT_UNSET_VARIABLE", "", ""));

  std::string path;
  getEnvVar("PATH", path);
  ScopedEnvVar withJava("PATH", (home + "\\bin;" + path).c_str());
  ASSERT_TRUE(findPathJvm(exe, "", ""));
  EXPECT_EQ(exe, lower(home + "\\bin\\java.exe"));
}
