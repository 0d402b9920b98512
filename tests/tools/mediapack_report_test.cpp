// mediapack inspect, keys and the command line.
#include <random>

#include "base/config_table.h"
#include "description.h"
#include "keys_reference.h"
#include "media_fixture.h"

using namespace mediatest;

namespace {

class Inspect : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir / "stub.exe", makeStub());
    writeFile(dir / "app.jar", std::string(3000, 'j'));
    writeFile(dir / "tail.bin", std::string(100, 'u'));
    writeFile(dir / "desc.json", R"({"mainClass": "com.example.Main", "applicationName": "Привет",
        "codePage": 1251, "files": ["app.jar", {"source": "app.jar", "name": "lib/copy.jar"}],
        "unextracted": "tail.bin", "messages": {"caption": "日本"}, "records": {"108": "x"}})");
    Outcome r = mediapack({"build", dir / "desc.json", "-o", dir / "good.exe", "--stub", dir / "stub.exe"});
    ASSERT_EQ(r.code, 0) << r.err;
    good = readFile(dir / "good.exe");
  }
  Outcome inspect(const std::string& bytes, std::vector<std::string> extra = {}) {
    writeFile(dir / "probe.exe", bytes);
    std::vector<std::string> args = {"inspect", dir / "probe.exe"};
    args.insert(args.end(), extra.begin(), extra.end());
    return mediapack(args);
  }

  TempDir dir;
  std::string good;
};

}  // namespace

TEST_F(Inspect, ShowsEverythingOfAGoodFile) {
  Outcome r = inspect(good, {"--code-page", "1251"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "");
  Media m = decodeMedia(good);
  for (std::string expect : {
           std::string("payload start: 2048"),
           std::string("magic: 0xE8E413D5 (ok)"),
           std::string("checksumPresent: 1"),
           "checkedLength: " + std::to_string(m.checkedLength),
           std::string("(matches)"),
           std::string("122 CFG_MAIN_CLASS (mainClass) = \"com.example.Main\""),
           std::string("101 CFG_APPLICATION_NAME (applicationName) = \"Привет\""),
           std::string("20013 CFG_WMSG_CAPTION (messages.caption) = \"日本\""),
           std::string("1003 CFG_MSG_ENV_VAR_NO_JVM (messages.envVarNoJvm) = \"The {0} envionment variable does not\\npoint"),
           std::string("108 (no name) = \"x\""),
           std::string("2002 CFG_INCLUDED_FILE_COUNT = \"2\""),
           std::string("included files: 2"),
           "\"app.jar\" 3000 bytes at offset " + std::to_string(m.configEnd + 8),
           std::string("\"lib\\\\copy.jar\" 3000 bytes"),
           "unextracted: 100 bytes at offset " + std::to_string(m.unextractedPosition),
           "padding: " + std::to_string(good.size() - (m.unextractedPosition + 100)) + " bytes (zeros)",
       }) {
    EXPECT_NE(r.out.find(expect), std::string::npos) << "missing: " << expect << "\n" << r.out;
  }
  // In the default code page the Cyrillic bytes read as other letters, but nothing fails.
  r = inspect(good);
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.find("Привет"), std::string::npos);
}

TEST_F(Inspect, ReportsDamageAndGarbageWithoutCrashing) {
  Media m = decodeMedia(good);
  auto patched = [&](size_t at, const std::string& bytes) {
    std::string f = good;
    f.replace(at, bytes.size(), bytes);
    return f;
  };
  std::string flipped = good;
  flipped[m.configEnd + 100] ^= 1;  // inside the first included file
  std::string noChecksum = patched(m.payloadStart + 4, std::string(16, '\0'));
  std::string hugeRecord = patched(m.payloadStart + 28, "\xFF\xFF\xFF\x7F");  // first narrow length
  std::string paddingDirty = good;
  paddingDirty.back() = 'p';
  struct Row { std::string name, bytes, expect; int code; } rows[] = {
      {"empty file", "", "too short", 1},
      {"text", "hello, world", "too short", 1},
      {"stub only", makeStub(), "no payload", 1},
      {"bad magic", patched(m.payloadStart, "XXXX"), "the magic is", 1},
      {"flipped byte", flipped, "CRC mismatch", 1},
      {"cut in the checked range", good.substr(0, m.unextractedPosition + 50), "truncated", 1},
      {"cut in the header", good.substr(0, m.payloadStart + 10), "inside the payload header", 1},
      {"huge record length", hugeRecord, "does not fit", 1},
      {"section count zero", patched(0x86, std::string(2, '\0')), "section count is 0", 1},
      {"header offset outside", patched(60, "\xFF\xFF\xFF\x7F"), "outside the file", 1},
      {"no integrity data", noChecksum, "", 0},
      {"padding not zero", paddingDirty, "", 0},
  };
  for (const Row& row : rows) {
    Outcome r = inspect(row.bytes);
    EXPECT_EQ(r.code, row.code) << row.name << "\n" << r.out << r.err;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.name << ": " << r.err;
  }
  Outcome r = inspect(noChecksum);
  EXPECT_NE(r.out.find("not checked"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("cannot be told apart"), std::string::npos) << r.out;
  r = inspect(paddingDirty);
  EXPECT_NE(r.out.find("(1 not zero)"), std::string::npos) << r.out;

  r = mediapack({"inspect", dir / "does-not-exist.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("cannot open"), std::string::npos) << r.err;
}

TEST_F(Inspect, FileListThatDisagreesWithTheCountIsAProblem) {
  // The count record's text "2" edited in place to "3" and "1".
  size_t at = good.find(std::string("\xD2\x07\0\0\x01\0\0\0" "2", 9));  // id 2002, length 1, "2"
  ASSERT_NE(at, std::string::npos);
  std::string more = good;
  more[at + 8] = '3';
  Outcome r = inspect(more);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("the file count is 3 but 2 names are given"), std::string::npos) << r.err;
  more[at + 8] = '1';
  r = inspect(more);
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("2 names are given but the file count is 1"), std::string::npos) << r.err;
}

TEST_F(Inspect, SurvivesRandomDamage) {
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string f = good;
    int edits = 1 + rng() % 8;
    for (int e = 0; e < edits; ++e) {
      size_t at = 0x7C + rng() % (f.size() - 0x7C);  // from the PE header on
      f[at] = static_cast<char>(rng());
    }
    if (rng() % 4 == 0) f.resize(rng() % f.size());
    Outcome r = inspect(f);
    EXPECT_TRUE(r.code == 0 || r.code == 1) << "round " << round;
    if (r.code == 1) {
      EXPECT_NE(r.err, "") << "round " << round;
    }
  }
}

TEST(Keys, CommittedReferenceMatchesTheGeneratedOne) {
  std::string committed = readFile(std::string(LAUNCHER_SOURCE_DIR) + "/docs/build-description.md");
  EXPECT_EQ(committed, keysReference(true))
      << "docs/build-description.md is out of date: regenerate it with "
         "build/host/mediapack keys --markdown > docs/build-description.md";
}

TEST(Keys, ReferenceNamesEveryKeyAndRecord) {
  Outcome plain = mediapack({"keys"});
  Outcome markdown = mediapack({"keys", "--markdown"});
  ASSERT_EQ(plain.code, 0);
  ASSERT_EQ(markdown.code, 0);
  EXPECT_NE(markdown.out.substr(0, markdown.out.find('\n')).find("keys --markdown > docs/build-description.md"),
            std::string::npos);
  for (const RecordInfo& r : allRecords()) {
    EXPECT_NE(plain.out.find(r.name), std::string::npos) << r.name;
    if (r.group == RecordGroup::Derived) continue;
    EXPECT_NE(plain.out.find(std::string("  ") + r.key + " ("), std::string::npos) << r.key;
    EXPECT_NE(markdown.out.find(std::string("| `") + r.key + "` |"), std::string::npos) << r.key;
  }
  for (const FixedKey& k : fixedDescriptionKeys()) {
    EXPECT_NE(markdown.out.find(std::string("| `") + k.key + "` |"), std::string::npos) << k.key;
  }
  EXPECT_NE(markdown.out.find("| `internalError` | text | 1009 | `CFG_MSG_INTERNAL_ERROR` |"), std::string::npos);
  EXPECT_NE(plain.out.find("default: \"An internal error occurred (error code: {0})\""), std::string::npos);
}

TEST(Keys, TheExampleDescriptionBuilds) {
  TempDir dir;
  writeFile(dir / "example.json", exampleDescription());
  writeFile(dir / "lib/app.jar", "jar");
  writeFile(dir / "app.vmoptions", "-Xmx1g");
  writeFile(dir / "jre.tar.gz", "gz");
  writeFile(dir / "stub.exe", makeStub());
  Outcome r = mediapack({"build", dir / "example.json", "-o", dir / "example.exe", "--stub", dir / "stub.exe"});
  ASSERT_EQ(r.code, 0) << r.err;
  Media m = decodeMedia(readFile(dir / "example.exe"));
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_NAMES], "app.jar;conf\\app.vmoptions;jre.tar.gz");
  EXPECT_EQ(m.narrow[CFG_INCLUDED_JRE_PACKED], "0");
}

TEST(CommandLine, UsageErrorsExitWith2) {
  struct Row { std::vector<std::string> args; const char* expect; } rows[] = {
      {{}, "no command given"},
      {{"frobnicate"}, "unknown command frobnicate"},
      {{"build"}, "build takes one description file"},
      {{"build", "d.json"}, "build needs -o OUT.exe"},
      {{"build", "d.json", "-o"}, "option -o needs a value"},
      {{"build", "d.json", "-o", "x", "--bogus"}, "unknown option --bogus"},
      {{"inspect"}, "inspect takes one file"},
      {{"inspect", "x", "--code-page", "abc"}, "--code-page abc is not"},
      {{"inspect", "x", "--code-page", "1200"}, "--code-page 1200 is not"},
      {{"keys", "extra"}, "keys takes no file"},
      {{"keys", "--stub", "x"}, "unknown option --stub"},
      {{"build", "d.json", "-o", "x", "--linux", "--stub", "s"}, "give either --stub or --linux"},
  };
  for (const Row& row : rows) {
    Outcome r = mediapack(row.args);
    std::string joined;
    for (const auto& a : row.args) joined += a + " ";
    EXPECT_EQ(r.code, 2) << joined;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << joined << ": " << r.err;
    EXPECT_NE(r.err.find("usage:"), std::string::npos) << joined;
  }
  Outcome help = mediapack({"--help"}, "/opt/tools/host/mediapack");
  EXPECT_EQ(help.code, 0);
  EXPECT_NE(help.out.find("/opt/tools/win32/launcher.exe"), std::string::npos) << help.out;
  EXPECT_NE(help.out.find("\"stub\""), std::string::npos);
}
