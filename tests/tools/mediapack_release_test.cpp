// What a release of mediapack relies on: its version, the stub and runtime jar it finds
// relative to itself in the build tree and in an installed prefix, "launcherRuntime", and
// the stub version that inspect reports.
#include "launcher_version.h"

#include "base/config_table.h"
#include "pe_fixture.h"
#include "shipped_files.h"

using namespace mediatest;

namespace {

class Release : public ::testing::Test {
 protected:
  // Builds `json` (written as desc.json) with mediapack standing at `self`, no --stub.
  Outcome build(const std::string& json, const std::string& self) {
    writeFile(dir / "desc.json", json);
    std::remove((dir / "out.exe").c_str());
    return mediapack({"build", dir / "desc.json", "-o", dir / "out.exe"}, self);
  }

  TempDir dir;
};

}  // namespace

TEST_F(Release, VersionIsTheOneInTheVersionFile) {
  std::string kept = readFile(LAUNCHER_SOURCE_DIR "/VERSION");
  EXPECT_EQ(kept.substr(0, kept.find_first_of("\r\n")), LAUNCHER_VERSION_TEXT) << "reconfigure the build tree";
  Outcome r = mediapack({"--version"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, std::string("mediapack ") + LAUNCHER_VERSION_TEXT + "\n");
  r = mediapack({"--version", "extra"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("--version takes nothing more"), std::string::npos) << r.err;
}

TEST(ShippedFiles, CandidatesAreTheTreeThenThePrefix) {
  struct Row {
    const char* self;
    std::vector<std::string> expected;
  } rows[] = {
      {"/work/build/host/mediapack", {"/work/build/win32/launcher.exe", "/work/build/share/mediapack/win32/launcher.exe"}},
      {"/usr/bin/mediapack", {"/usr/win32/launcher.exe", "/usr/share/mediapack/win32/launcher.exe"}},
      {"/opt/mp/bin/../bin/./mediapack", {"/opt/mp/win32/launcher.exe", "/opt/mp/share/mediapack/win32/launcher.exe"}},
      // mediapack.exe beside the stub in a prefix finds it by the tree rule.
      {"/usr/share/mediapack/win32/mediapack.exe",
       {"/usr/share/mediapack/win32/launcher.exe", "/usr/share/mediapack/share/mediapack/win32/launcher.exe"}},
      {"mediapack", {"../win32/launcher.exe", "../share/mediapack/win32/launcher.exe"}},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(shippedFileCandidates(row.self, kShippedWindowsStub), row.expected) << row.self;
  }
  EXPECT_EQ(shippedFileCandidates("/usr/bin/mediapack", kShippedRuntimeJar).back(), "/usr/share/mediapack/java/runtime.jar");
}

TEST_F(Release, TheStubAndTheRuntimeJarAreFoundBesideMediapackInEitherLayout) {
  struct Row {
    const char* name;
    std::vector<std::string> present;  // files laid out (stub and jar get distinct bytes per place)
    std::string self;
    std::string stubUsed;              // "" when no stub is found
  } rows[] = {
      {"tree", {"build/win32/launcher.exe", "build/java/runtime.jar"}, "build/host/mediapack", "build/win32/launcher.exe"},
      {"prefix", {"usr/share/mediapack/win32/launcher.exe", "usr/share/mediapack/java/runtime.jar"}, "usr/bin/mediapack",
       "usr/share/mediapack/win32/launcher.exe"},
      {"windows builder in a prefix", {"opt/share/mediapack/win32/launcher.exe", "opt/share/mediapack/java/runtime.jar"},
       "opt/share/mediapack/win32/mediapack.exe", "opt/share/mediapack/win32/launcher.exe"},
      {"tree before prefix", {"both/win32/launcher.exe", "both/share/mediapack/win32/launcher.exe",
                              "both/java/runtime.jar"}, "both/bin/mediapack", "both/win32/launcher.exe"},
      {"nothing there", {}, "empty/bin/mediapack", ""},
  };
  writeFile(dir / "app.jar", "application");
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    for (const std::string& file : row.present) {
      StubShape shape;
      shape.optionalSize = static_cast<uint16_t>(0xE0 + 0x10 * (&file - row.present.data()));
      writeFile(dir / file, file.find("launcher.exe") != std::string::npos ? makeStub(shape) : "jar of " + file);
    }
    Outcome r = build(R"({"launcherRuntime": true, "files": ["app.jar"]})", dir / row.self);
    if (row.stubUsed.empty()) {
      EXPECT_EQ(r.code, 2);
      EXPECT_NE(r.err.find("the runtime jar that comes with mediapack is missing (looked for " +
                           (dir / "empty/java/runtime.jar") + " or " + (dir / "empty/share/mediapack/java/runtime.jar") +
                           ")"),
                std::string::npos)
          << r.err;
      r = build(R"({"files": ["app.jar"]})", dir / row.self);
      EXPECT_EQ(r.code, 2);
      EXPECT_NE(r.err.find("no stub: give --stub LAUNCHER.exe or a \"stub\" in the description (" +
                           (dir / "empty/win32/launcher.exe") + " or " +
                           (dir / "empty/share/mediapack/win32/launcher.exe") + " does not exist)"),
                std::string::npos)
          << r.err;
      continue;
    }
    ASSERT_EQ(r.code, 0) << r.err;
    std::string stub = readFile(dir / row.stubUsed);
    std::string out = readFile(dir / "out.exe");
    EXPECT_EQ(out.substr(0, stub.size()), stub);
    std::string jarPath = row.stubUsed.substr(0, row.stubUsed.size() - std::string(kShippedWindowsStub).size()) +
                          kShippedRuntimeJar;
    Media m = decodeMedia(out);
    ASSERT_EQ(m.files.size(), 2u);
    EXPECT_EQ(m.files[0], "jar of " + jarPath);
    EXPECT_EQ(m.files[1], "application");
    EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_NAMES], "runtime.jar;app.jar");
    EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_COUNT], "2");
    // --stub still wins over the shipped stub.
    writeFile(dir / "other.exe", makeStub());
    r = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "other.exe"}, dir / row.self);
    ASSERT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(dir / "out.exe").substr(0, kStubImageEnd), makeStub());
  }
}

TEST_F(Release, LauncherRuntimeIsCheckedLikeTheOtherKeys) {
  writeFile(dir / "build/win32/launcher.exe", makeStub());
  writeFile(dir / "build/java/runtime.jar", "runtime");
  writeFile(dir / "app.jar", "application");
  std::string self = dir / "build/host/mediapack";
  struct Row {
    const char* json;
    const char* error;  // "" when the build succeeds
    std::vector<std::string> files;
  } rows[] = {
      {R"({"launcherRuntime": false, "files": ["app.jar"]})", "", {"application"}},
      {R"({"files": ["app.jar"], "launcherRuntime": true})", "", {"runtime", "application"}},
      {R"({"launcherRuntime": true})", "", {"runtime"}},
      {R"({"launcherRuntime": "yes"})", R"("launcherRuntime" must be true or false, not a string)", {}},
      {R"({"launcherRuntime": 1})", R"("launcherRuntime" must be true or false, not a number)", {}},
      {R"({"launcherRuntim": true})", R"(unknown key "launcherRuntim" (did you mean "launcherRuntime"?))", {}},
      {R"({"launcherRuntime": true, "files": ["app.jar", {"source": "app.jar", "name": "Runtime.JAR"}]})",
       R"("files[1]": the name "Runtime.JAR" is the same to Windows as "launcherRuntime" (runtime.jar))", {}},
      {R"({"launcherRuntime": true, "files": [{"source": "app.jar", "name": "runtime.jar\\x"}]})",
       R"("files[0]": the name "runtime.jar\x" needs a directory named like "launcherRuntime" (runtime.jar))", {}},
  };
  for (const Row& row : rows) {
    Outcome r = build(row.json, self);
    if (*row.error) {
      EXPECT_EQ(r.code, 2) << row.json;
      EXPECT_NE(r.err.find(row.error), std::string::npos) << row.json << "\n" << r.err;
      continue;
    }
    ASSERT_EQ(r.code, 0) << row.json << "\n" << r.err;
    EXPECT_EQ(decodeMedia(readFile(dir / "out.exe")).files, row.files) << row.json;
  }
}

TEST_F(Release, InspectShowsTheStubVersionAlsoUnderTheDescriptionsVersionInformation) {
  const std::string version = LAUNCHER_VERSION_TEXT;
  writeFile(dir / "desc.json", R"({"mainClass": "M"})");
  writeFile(dir / "versioned.json",
            R"({"mainClass": "M", "versionInfo": {"fileVersion": "7.8.9.10", "productName": "Example"}})");
  writeFile(dir / "hand-made.exe", makeStub());
  // Another program's RCDATA 1 is no launcher version.
  PeShape foreign;
  foreign.resources.insert(foreign.resources.begin() + 5, {10, 1, 1033, "\x01\x02 not a version"});  // before 14
  writeFile(dir / "foreign.exe", makePe(foreign));
  PeShape recorded;
  recorded.resources.insert(recorded.resources.begin() + 5, {10, 1, 1033, "2.71.828"});
  writeFile(dir / "recorded.exe", makePe(recorded));
  struct Row {
    std::string stub;
    const char* description;
    std::vector<std::string> shown;
  } rows[] = {
      {windowsTree() + "/launcher.exe", "desc.json",
       {"stub version: " + version, "version: file " + version + ".0, product " + version + ".0 (language 1033)"}},
      {i686Stub(), "desc.json",
       {"stub version: " + version, "version: file " + version + ".0, product " + version + ".0 (language 1033)"}},
      {i686Stub(), "versioned.json", {"stub version: " + version, "version: file 7.8.9.10, product 7.8.9.10 (language 1033)"}},
      {dir / "hand-made.exe", "desc.json", {"stub version: not recorded in the stub", "version: none"}},
      {dir / "foreign.exe", "desc.json", {"stub version: not recorded in the stub (its RCDATA 1 holds something else)"}},
      {dir / "recorded.exe", "versioned.json", {"stub version: 2.71.828", "version: file 7.8.9.10, product 7.8.9.10 (language 1033)"}},
  };
  for (const Row& row : rows) {
    if (!fs::exists(row.stub)) {
      ADD_FAILURE() << "no stub at " << row.stub << " (build the Windows trees)";
      continue;
    }
    Outcome r = mediapack({"build", dir / row.description, "-o", dir / "out.exe", "--stub", row.stub});
    ASSERT_EQ(r.code, 0) << r.err;
    Outcome shown = mediapack({"inspect", dir / "out.exe"});
    EXPECT_EQ(shown.code, 0) << shown.err;
    for (const std::string& line : row.shown) {
      EXPECT_NE(shown.out.find(line + "\n"), std::string::npos) << row.stub << " " << row.description << ": " << line
                                                                << "\n" << shown.out;
    }
  }
}
