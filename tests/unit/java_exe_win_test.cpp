// checkJavaExe and composeJavaExe against fixture runtimes, with the real registry below a
// private root.
#include "runtime_search/java_exe.h"

#include "jre_test_env_win.h"
#include "runtime_search/version_cache.h"

using namespace jretest;

namespace {
class JavaExeTest : public JreTest {};

// The cached version of an executable as stored; false without an entry.
bool cachedVersion(const std::string& javaExe, std::string& version) {
  RegKey key;
  return openRuntimeKey(key, HKEY_CURRENT_USER, versionCacheKey(javaExe)) &&
         key.readString("Version", 8192, version);
}
}  // namespace

TEST_F(JavaExeTest, ComposeJavaExe) {
  const std::string jdk = dir("jdk"), jre = dir("jre"), empty = dir("empty");
  installJava(jdk + "\\jre\\bin\\java.exe");
  writeFile(jdk + "\\lib\\tools.jar", "");
  installJava(jre + "\\bin\\java.exe");
  struct Row { std::string home; bool requireJdk; bool ok; std::string exe; } rows[] = {
      {jdk, false, true, jdk + "\\jre\\bin\\java.exe"},  // a JDK runs its own runtime
      {jre, false, true, jre + "\\bin\\java.exe"},
      {empty, false, true, empty + "\\bin\\java.exe"},   // not tested here
      {jdk, true, true, jdk + "\\jre\\bin\\java.exe"},
      {jre, true, false, jre + "\\jre\\bin\\java.exe"},  // no lib\tools.jar
  };
  for (const Row& row : rows) {
    setConfig(CFG_REQUIRE_JDK, row.requireJdk ? "1" : "0");
    std::string exe;
    EXPECT_EQ(composeJavaExe(exe, row.home), row.ok) << row.home << " jdk " << row.requireJdk;
    EXPECT_EQ(exe, row.exe) << row.home;
  }
}

TEST_F(JavaExeTest, RunsOnceThenUsesTheCacheUntilTheFileChanges) {
  const std::string exe = installJava(dir("Rt\\Bin\\Java.exe"));
  std::string path = exe, version;
  LogCapture log;
  ASSERT_TRUE(checkJavaExe(path, version, "1.6", "", true, true));
  EXPECT_EQ(path, lower(exe));
  EXPECT_EQ(version, "1.6.0_20");
  EXPECT_EQ(log.count("got version from execution 1.6.0_20"), 1);
  std::string stored;
  ASSERT_TRUE(cachedVersion(path, stored));
  EXPECT_EQ(stored, "1.6.0_20");

  // A differently written path of the same file shares the entry.
  path = dir("rt\\bin\\..\\bin\\\\java.exe");
  ASSERT_TRUE(checkJavaExe(path, version, "1.6", "", true, true));
  EXPECT_EQ(log.count("got version from registry 1.6.0_20"), 1);
  EXPECT_EQ(runsOf(exe), 1);
  ASSERT_TRUE(checkJavaExe(path, version, "1.6", "", true, false));  // cache off: runs
  EXPECT_EQ(runsOf(exe), 2);

  // Touching the file invalidates the entry; the new time is cached again.
  HANDLE file = CreateFileA(exe.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  FILETIME t{0x12345678u, 0x01d00000u};
  SetFileTime(file, nullptr, nullptr, &t);
  CloseHandle(file);
  ASSERT_TRUE(checkJavaExe(path, version, "1.6", "", true, true));
  ASSERT_TRUE(checkJavaExe(path, version, "1.6", "", true, true));
  EXPECT_EQ(runsOf(exe), 3);
}

TEST_F(JavaExeTest, MalformedCacheEntriesAreIgnored) {
  const std::string exe = installJava(dir("rt\\bin\\java.exe"));
  std::string path = exe, version;
  ASSERT_TRUE(checkJavaExe(path, version, "", "", true, true));
  RegKey key;
  ASSERT_TRUE(createRuntimeKey(key, HKEY_CURRENT_USER, versionCacheKey(path)));
  std::vector<unsigned char> good;
  ASSERT_TRUE(key.readBinary("LastWriteTime", 8, good));
  const std::string time(good.begin(), good.end());
  // Each poisoned entry means no cached version: the executable runs again (and the run
  // rewrites a good entry).
  struct Row { const char* name; DWORD type; std::string bytes; } rows[] = {
      {"LastWriteTime", REG_BINARY, time.substr(0, 4)},
      {"LastWriteTime", REG_BINARY, time + "abcd"},
      {"Version", REG_SZ, std::string(9000, '9')},  // does not fit 8192 bytes
      {"Version", REG_SZ, std::string()},
  };
  int runs = 1;
  for (const Row& row : rows) {
    RegSetValueExA(key.get(), row.name, 0, row.type,
                   reinterpret_cast<const BYTE*>(row.bytes.data()),
                   static_cast<DWORD>(row.bytes.size()));
    ASSERT_TRUE(checkJavaExe(path, version, "", "", true, true)) << row.name;
    EXPECT_EQ(version, "1.6.0_20");
    EXPECT_EQ(runsOf(exe), ++runs) << row.name << " " << row.bytes.size();
  }
}

TEST_F(JavaExeTest, FailedRunIsCachedAndStaysRefused) {
  const std::string exe = installJava(dir("bad\\bin\\java.exe"), JavaBehaviour{"", 1, 0});
  std::string path = exe, version;
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, true));
  EXPECT_EQ(version, "");
  std::string stored;
  ASSERT_TRUE(cachedVersion(path, stored));
  EXPECT_EQ(stored, "1.0.0");
  for (const char* minVersion : {"1.6", ""}) {
    LogCapture log;
    EXPECT_FALSE(checkJavaExe(path, version, minVersion, "", true, true)) << minVersion;
    EXPECT_EQ(log.count("got version from registry 1.0.0"), 1) << minVersion;
  }
  EXPECT_EQ(runsOf(exe), 1);
}

TEST_F(JavaExeTest, HangingRunIsTerminatedAndNotCached) {
  const std::string exe = installJava(dir("slow\\bin\\java.exe"),
                                      JavaBehaviour{"java version \"1.6\"", 0, 30000});
  setJavaVersionTimeoutForTesting(1500);
  std::string path = exe, version;
  LogCapture log;
  const DWORD start = GetTickCount();
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, true));
  setJavaVersionTimeoutForTesting(0);
  EXPECT_LT(GetTickCount() - start, 15000u);
  EXPECT_EQ(log.count("Terminating process"), 1);
  EXPECT_EQ(log.count("couldn't get version"), 1);
  EXPECT_FALSE(cachedVersion(path, version));
}

TEST_F(JavaExeTest, OutputOtherThanAVersionLineIsNoVersion) {
  const std::string exe =
      installJava(dir("notice\\bin\\java.exe"), JavaBehaviour{"Picked up _JAVA_OPTIONS: -Xmx64m"});
  std::string path = exe, version;
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, true));
  EXPECT_FALSE(cachedVersion(path, version));
  configureJava(exe, JavaBehaviour{"openjdk version \"17.0.2\" 2022-01-18"});
  EXPECT_TRUE(checkJavaExe(path, version, "", "", true, true));
  EXPECT_EQ(version, "17.0.2");
  // Only the first 99 characters of the line are read: a closing quote as the 100th is not.
  const std::string fits(84, '1'), cut(85, '1');
  configureJava(exe, JavaBehaviour{"java version \"" + fits + "\""});
  EXPECT_TRUE(checkJavaExe(path, version, "", "", true, false));
  EXPECT_EQ(version, fits);
  configureJava(exe, JavaBehaviour{"java version \"" + cut + "\" " + std::string(2000, 'x')});
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, false));
  EXPECT_EQ(version, "");
}

TEST_F(JavaExeTest, WindowedExecutableAndMissingFiles) {
  const std::string withW = installJava(dir("w\\bin\\java.exe"));
  installJava(dir("w\\bin\\javaw.exe"));
  const std::string withoutW = installJava(dir("nw\\bin\\java.exe"));
  setConfig(CFG_EXECUTABLE_TYPE, "1");
  std::string path = withW, version;
  EXPECT_TRUE(checkJavaExe(path, version, "", "", true, true));
  EXPECT_EQ(path, lower(dir("w\\bin\\javaw.exe")));
  path = withoutW;
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, true));

  LogCapture log;
  path = dir("none\\bin\\java.exe");
  EXPECT_FALSE(checkJavaExe(path, version, "", "", true, true));
  EXPECT_EQ(version, "");
  EXPECT_EQ(log.count("file doesn't exist"), 1);
  EXPECT_EQ(log.count("checkJavaExe returning 0"), 1);
}

TEST_F(JavaExeTest, BetaRules) {
  const std::string exe =
      installJava(dir("ea\\bin\\java.exe"), JavaBehaviour{"java version \"1.7.0-ea\""});
  std::string path = exe, version;
  EXPECT_FALSE(checkJavaExe(path, version, "1.6", "", false, true));
  EXPECT_EQ(version, "1.7.0-ea");
  EXPECT_TRUE(checkJavaExe(path, version, "1.6", "", true, true));
  setConfig(CFG_ALLOW_BETA_JRE, "1");
  EXPECT_TRUE(checkJavaExe(path, version, "1.6", "", false, true));
  EXPECT_EQ(runsOf(exe), 1);
}
