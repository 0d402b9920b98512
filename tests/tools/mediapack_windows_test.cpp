// mediapack.exe, the builder built for Windows, run under Wine next to the Linux builder:
// the same description gives the same bytes, the same refusals and the same reference.
#include "pe_fixture.h"

using namespace mediatest;

namespace {

class WindowsBuilder : public ::testing::Test {
 protected:
  void SetUp() override {
    exe = windowsTree() + "/mediapack.exe";
    ASSERT_TRUE(fs::exists(exe)) << "no " << exe << " (build the Windows tree)";
    writeFile(dir / "stub.exe", readFile(windowsTree() + "/launcher.exe"));
  }

  // mediapack.exe with the description given relative to the working directory `dir`.
  WineResult windows(const std::vector<std::string>& args) { return runWindows(exe, args, dir.path().string()); }

  TempDir dir;
  std::string exe;
};

std::string lf(std::string text) {
  text.erase(std::remove(text.begin(), text.end(), '\r'), text.end());
  return text;
}

}  // namespace

TEST_F(WindowsBuilder, BuildsTheSameBytesAsTheLinuxBuilder) {
  std::string jar(100000, '\0');
  for (size_t i = 0; i < jar.size(); ++i) jar[i] = static_cast<char>(i * 31 + 7);
  writeFile(dir / "lib/app.jar", jar);
  writeFile(dir / "conf/app.vmoptions", "-Xmx1g\n");
  writeFile(dir / "tail.bin", "unextracted");
  writeFile(dir / "art/app.ico", makeIco({{16, 0xFF0000, false}, {48, 0x0000FF, true}}));
  writeFile(dir / "desc.json", R"({
    "codePage": 1251,
    "mainClass": "com.example.Main",
    "applicationName": "Привет",
    "executableType": 5,
    "jreSearchSequence": "B.\\jre;Y;",
    "messages": {"caption": "日本 Setup", "errorCaption": "Ошибка"},
    "files": ["lib/app.jar", {"source": "conf/app.vmoptions", "name": "conf/app.vmoptions"}],
    "unextracted": "tail.bin",
    "records": {"108": "raw"},
    "wideRecords": {"20099": "wide 😀"},
    "icon": "art/app.ico",
    "versionInfo": {"fileVersion": "3.2.1", "productName": "Prodüct", "legalCopyright": "© 2024"}
  })");
  Outcome linux = mediapack({"build", dir / "desc.json", "-o", dir / "linux.exe", "--stub", dir / "stub.exe"});
  ASSERT_EQ(linux.code, 0) << linux.err;
  WineResult win = windows({"build", "desc.json", "-o", "windows.exe", "--stub", "stub.exe"});
  ASSERT_EQ(win.exitCode, 0) << win.err;
  EXPECT_EQ(lf(win.out), "wrote windows.exe\n");
  std::string a = readFile(dir / "linux.exe"), b = readFile(dir / "windows.exe");
  ASSERT_EQ(a.size(), b.size());
  size_t differ = std::mismatch(a.begin(), a.end(), b.begin()).first - a.begin();
  EXPECT_EQ(differ, a.size()) << "the outputs differ first at offset " << differ;

  // With absolute Windows paths (drive letter, backslashes) as well.
  win = windows({"build", winePathOf(dir / "desc.json"), "-o", winePathOf(dir / "abs.exe"), "--stub",
                 winePathOf(dir / "stub.exe")});
  ASSERT_EQ(win.exitCode, 0) << win.err;
  EXPECT_TRUE(readFile(dir / "abs.exe") == a);

  WineResult shown = windows({"inspect", "windows.exe", "--code-page", "1251"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(shown.out.find("101 CFG_APPLICATION_NAME (applicationName) = \"Привет\""), std::string::npos) << shown.out;
  EXPECT_NE(shown.out.find("(matches)"), std::string::npos);
}

TEST_F(WindowsBuilder, RefusesWhatTheLinuxBuilderRefuses) {
  writeFile(dir / "a.jar", "a");
  writeFile(dir / "bad.ico", "not an icon");
  const struct Row {
    const char* json;
    const char* expect;
  } rows[] = {
      {R"({"mainClass": "日本"})",
       "\"mainClass\" (CFG_MAIN_CLASS): the text cannot be written in code page 1252 (character U+65E5 at byte 0)"},
      {R"({"codePage": 1251, "mainClass": "Prüfung"})", "code page 1251 (character U+00FC at byte 2)"},
      {R"({"mainClas": "M"})", R"(unknown key "mainClas" (did you mean "mainClass"?))"},
      {R"({"files": ["a.jar", {"source": "a.jar", "name": "A.JAR"}]})", "is the same to Windows as"},
      {R"({"files": ["missing.jar"]})", "missing.jar: No such file or directory"},
      {R"({"files": ["lib"]})", "it is a directory"},
      {R"({"icon": "bad.ico"})", "bad.ico: not an icon file"},
      {R"({"codePage": 1200})", "code page 1200 is not"},
  };
  fs::create_directories(dir / "lib");
  for (const Row& row : rows) {
    writeFile(dir / "desc.json", row.json);
    Outcome linux = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"});
    WineResult win = windows({"build", "desc.json", "-o", "out.exe", "--stub", "stub.exe"});
    EXPECT_EQ(linux.code, 2) << row.json;
    EXPECT_EQ(win.exitCode, 2) << row.json;
    EXPECT_NE(linux.err.find(row.expect), std::string::npos) << row.json << "\n  linux: " << linux.err;
    EXPECT_NE(win.err.find(row.expect), std::string::npos) << row.json << "\n  windows: " << win.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << row.json;
  }
}

TEST_F(WindowsBuilder, PrintsTheSameReference) {
  WineResult win = windows({"keys", "--markdown"});
  ASSERT_EQ(win.exitCode, 0) << win.err;
  EXPECT_TRUE(lf(win.out) == mediapack({"keys", "--markdown"}).out);
  WineResult usage = windows({"--help"});
  EXPECT_EQ(usage.exitCode, 0);
  EXPECT_NE(usage.out.find("win32\\launcher.exe"), std::string::npos) << usage.out;
  WineResult version = windows({"--version"});
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(lf(version.out), mediapack({"--version"}).out);
}

TEST_F(WindowsBuilder, BundlesARuntimeIntoTheSameBytesAsTheLinuxBuilder) {
  writeFile(dir / "jre/bin/java.exe", readFile(windowsTree() + "/fixtures/java/java.exe"));
  writeFile(dir / "jre/bin/server/jvm.dll", readFile(windowsTree() + "/fixtures/jvm.dll"));
  writeFile(dir / "jre/lib/modules", std::string(2 << 20, 'm') + "end");
  writeFile(dir / "jre/lib/security/java.policy", "grant {};\n");
  writeFile(dir / "desc.json", R"({"mainClass": "app.Main", "runtime": "jre"})");
  Outcome linux = mediapack({"build", dir / "desc.json", "-o", dir / "linux.exe", "--stub", dir / "stub.exe"});
  ASSERT_EQ(linux.code, 0) << linux.err;
  WineResult win = windows({"build", "desc.json", "-o", "windows.exe", "--stub", "stub.exe", "--quiet"});
  ASSERT_EQ(win.exitCode, 0) << win.err;
  EXPECT_EQ(lf(win.out), "");
  EXPECT_TRUE(readFile(dir / "linux.exe") == readFile(dir / "windows.exe")) << "the media files differ";
  WineResult shown = windows({"inspect", "windows.exe"});
  EXPECT_EQ(shown.exitCode, 0) << shown.err;
  EXPECT_NE(lf(shown.out).find("runtime library: bin/server/jvm.dll (x86_64); launcher x86_64"), std::string::npos)
      << shown.out;

  writeFile(dir / "jre/bin/server/jvm.dll", "not a library");
  win = windows({"build", "desc.json", "-o", "bad.exe", "--stub", "stub.exe"});
  EXPECT_EQ(win.exitCode, 2);
  EXPECT_NE(win.err.find("jvm.dll is not a Windows library"), std::string::npos) << win.err;
  EXPECT_FALSE(fs::exists(dir / "bad.exe"));
}
