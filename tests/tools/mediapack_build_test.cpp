// mediapack build: media files written from descriptions and read back independently.
#include <sys/stat.h>

#include <nlohmann/json.hpp>

#include "base/config_table.h"
#include "description.h"
#include "media_fixture.h"
#include "support/included_names.h"

using namespace mediatest;

namespace {

class Build : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(dir / "stub.exe", makeStub()); }

  // Writes the description and builds; returns the result of the run.
  Outcome build(const std::string& json, std::vector<std::string> extra = {}) {
    writeFile(dir / "desc.json", json);
    std::vector<std::string> args = {"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"};
    args.insert(args.end(), extra.begin(), extra.end());
    return mediapack(args);
  }
  Media built() { return decodeMedia(readFile(dir / "out.exe")); }

  TempDir dir;
};

std::string cp(std::initializer_list<int> bytes) {
  std::string s;
  for (int b : bytes) s.push_back(static_cast<char>(b));
  return s;
}

}  // namespace

TEST_F(Build, WritesEveryPartOfThePayload) {
  std::string jar(70000, '\0');
  for (size_t i = 0; i < jar.size(); ++i) jar[i] = static_cast<char>(i * 7 + 3);
  writeFile(dir / "lib/app.jar", jar);
  writeFile(dir / "app.vmoptions", "-Xmx1g\n");
  writeFile(dir / "empty.txt", "");
  writeFile(dir / "tail.bin", std::string("\xA7\x00rest", 6));
  Outcome r = build(R"({
    "mainClass": "com.example.Main",
    "executableType": 5,
    "jreSearchSequence": "B.\\jre;Y;",
    "messages": {"errorCaption": "Oops", "caption": "Example Setup"},
    "files": ["lib/app.jar", {"source": "app.vmoptions", "name": "conf/app.vmoptions"}, "empty.txt"],
    "unextracted": "tail.bin",
    "records": {"108": "raw"},
    "wideRecords": {"20099": "wide raw"}
  })");
  ASSERT_EQ(r.code, 0) << r.err;
  std::string file = readFile(dir / "out.exe");
  Media m = decodeMedia(file);

  EXPECT_EQ(m.payloadStart, kStubImageEnd);
  EXPECT_EQ(file.substr(0, kStubImageEnd), makeStub()) << "the stub's image is copied unchanged";
  EXPECT_EQ(m.magic, 0xE8E413D5u);
  EXPECT_EQ(file.substr(kStubImageEnd, 4), std::string("\xD5\x13\xE4\xE8"));
  EXPECT_EQ(m.checksumPresent, 1);

  EXPECT_EQ(m.narrow[CFG_MAIN_CLASS], "com.example.Main");
  EXPECT_EQ(m.narrow[CFG_EXECUTABLE_TYPE], "5");
  EXPECT_EQ(m.narrow[CFG_JRE_SEARCH_SEQUENCE], "B.\\jre;Y;");
  EXPECT_EQ(m.narrow[CFG_MSG_ERROR_CAPTION], "Oops");
  EXPECT_EQ(fromUtf16le(m.wide[CFG_WMSG_CAPTION]), u"Example Setup");
  EXPECT_EQ(m.narrow[108], "raw");
  EXPECT_EQ(fromUtf16le(m.wide[20099]), u"wide raw");
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_COUNT], "3");
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_NAMES], "app.jar;conf\\app.vmoptions;empty.txt");
  EXPECT_EQ(m.narrow.count(20099), 0u) << "narrow and wide maps stay apart";
  EXPECT_EQ(m.narrow.count(CFG_WORKING_DIRECTORY), 0u) << "records not given are not written";

  ASSERT_EQ(m.files.size(), 3u);
  EXPECT_EQ(m.files[0], jar);
  EXPECT_EQ(m.files[1], "-Xmx1g\n");
  EXPECT_EQ(m.files[2], "");
  // Scrambled on disk: every content byte is stored XOR 0xA7.
  EXPECT_EQ(get64(file, m.configEnd), jar.size());
  EXPECT_EQ(static_cast<uint8_t>(file[m.configEnd + 8]), static_cast<uint8_t>(jar[0] ^ 0xA7));
  EXPECT_EQ(file.find(jar.substr(0, 64)), std::string::npos) << "content must not appear unscrambled";

  // Checked range: from payload offset 20 to the end of the unextracted block.
  size_t unextractedEnd = m.unextractedPosition + 6;
  EXPECT_EQ(m.rest.substr(0, 6), std::string("\xA7\x00rest", 6));
  EXPECT_EQ(m.checkedLength, int64_t(unextractedEnd - m.payloadStart - 20));
  EXPECT_EQ(m.expectedCrc, zlibCrc(file.substr(m.payloadStart + 20, m.checkedLength)));

  // Zero padding to a multiple of 512, less than one block of it.
  EXPECT_EQ(file.size() % 512, 0u);
  EXPECT_LT(file.size() - unextractedEnd, 512u);
  EXPECT_EQ(file.substr(unextractedEnd), std::string(file.size() - unextractedEnd, '\0'));
}

TEST_F(Build, RecordsAreSortedAndEveryMessageHasItsDefault) {
  ASSERT_EQ(build(R"({"messages": {"internalError": "Fehler {0}"}})").code, 0);
  Media m = built();
  EXPECT_TRUE(std::is_sorted(m.narrowOrder.begin(), m.narrowOrder.end()));
  EXPECT_TRUE(std::is_sorted(m.wideOrder.begin(), m.wideOrder.end()));
  EXPECT_EQ(m.narrow[CFG_MSG_INTERNAL_ERROR], "Fehler {0}");
  EXPECT_EQ(m.narrow[CFG_MSG_ENV_VAR_NO_JVM], "The {0} envionment variable does not\npoint to a working JDK or JRE.");
  EXPECT_EQ(fromUtf16le(m.wide[CFG_WMSG_MEDIA_CORRUPT]), u"The installation file is corrupted. Please download it again.");
  for (const RecordInfo& r : allRecords()) {
    if (r.group != RecordGroup::Message || r.id == 1009) continue;
    bool wide = r.kind == RecordKind::Wide;
    std::string stored = wide ? std::string() : m.narrow[r.id];
    if (wide) {
      for (char16_t c : fromUtf16le(m.wide[r.id])) stored.push_back(static_cast<char>(c));  // defaults are ASCII
    }
    EXPECT_EQ(stored, r.defaultText) << r.name;
  }
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_COUNT], "0");
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_NAMES], "");
  EXPECT_TRUE(m.files.empty());
  EXPECT_EQ(m.checkedLength, int64_t(m.unextractedPosition - m.payloadStart - 20)) << "no unextracted block";
}

TEST_F(Build, IntegerRecordsAreStoredAsDecimalText) {
  struct Row { const char* json; const char* stored; } rows[] = {
      {"5", "5"}, {"0", "0"}, {"-1", "-1"}, {"true", "1"}, {"false", "0"}, {"\"42\"", "42"},
      {"\"+3\"", "3"}, {"\"007\"", "7"}, {"2147483647", "2147483647"}, {"\"-2147483648\"", "-2147483648"},
  };
  for (const Row& row : rows) {
    Outcome r = build(std::string(R"({"includedJreSize": )") + row.json + "}");
    ASSERT_EQ(r.code, 0) << row.json << ": " << r.err;
    EXPECT_EQ(built().narrow[CFG_INCLUDED_JRE_SIZE], row.stored) << row.json;
  }
}

TEST_F(Build, WithoutChecksumTheIntegrityFieldsAreZero) {
  ASSERT_EQ(build(R"({"mainClass": "M", "checksum": false})").code, 0);
  Media m = built();
  EXPECT_EQ(m.checksumPresent, 0);
  EXPECT_EQ(m.expectedCrc, 0u);
  EXPECT_EQ(m.checkedLength, 0);
  EXPECT_EQ(m.narrow[CFG_MAIN_CLASS], "M");
}

TEST_F(Build, NarrowTextIsWrittenInTheCodePage) {
  struct Row { const char* json; std::string mainClass; } rows[] = {
      {R"({"mainClass": "café"})", cp({'c', 'a', 'f', 0xE9})},
      {R"({"mainClass": "€"})", cp({0x80})},
      {R"({"codePage": 1251, "mainClass": "Привет"})", cp({0xCF, 0xF0, 0xE8, 0xE2, 0xE5, 0xF2})},
      {R"({"codePage": 932, "mainClass": "日本"})", cp({0x93, 0xFA, 0x96, 0x7B})},
      {R"({"codePage": 65001, "mainClass": "日本"})", "\xE6\x97\xA5\xE6\x9C\xAC"},
  };
  for (const Row& row : rows) {
    Outcome r = build(row.json);
    ASSERT_EQ(r.code, 0) << row.json << ": " << r.err;
    EXPECT_EQ(built().narrow[CFG_MAIN_CLASS], row.mainClass) << row.json;
  }
  // Wide messages stay UTF-16 whatever the code page; file names follow the code page.
  writeFile(dir / "données.txt", "x");
  ASSERT_EQ(build(R"({"messages": {"caption": "日本 Setup"}, "files": ["données.txt"]})").code, 0);
  Media m = built();
  EXPECT_EQ(fromUtf16le(m.wide[CFG_WMSG_CAPTION]), u"日本 Setup");
  EXPECT_EQ(m.narrow[CFG_INCLUDED_FILE_NAMES], cp({'d', 'o', 'n', 'n', 0xE9, 'e', 's', '.', 't', 'x', 't'}));
}

TEST_F(Build, WideTextIsUtf16WhateverTheCodePage) {
  struct Row { const char* json; int32_t id; std::u16string wide; } rows[] = {
      {R"({"messages": {"caption": "😀 Setup"}})", 20013, u"😀 Setup"},
      {R"({"codePage": 1251, "messages": {"caption": "Ω € 日本"}})", 20013, u"Ω € 日本"},
      {R"({"codePage": 932, "wideRecords": {"20099": "Привет 😀"}})", 20099, u"Привет 😀"},
      {R"({"codePage": 65001, "messages": {"preparing": "Préparation…"}})", 20007, u"Préparation…"},
  };
  for (const Row& row : rows) {
    Outcome r = build(row.json);
    ASSERT_EQ(r.code, 0) << row.json << ": " << r.err;
    Media m = built();
    EXPECT_EQ(fromUtf16le(m.wide[row.id]), row.wide) << row.json;
    EXPECT_EQ(m.wide[row.id].size(), 2 * row.wide.size()) << row.json << ": two bytes per UTF-16 unit, no terminator";
  }
  // The limit counts UTF-16 units: a character outside the BMP takes two.
  std::string emoji;
  for (int i = 0; i < 4095; ++i) emoji += "😀";
  ASSERT_EQ(build(R"({"messages": {"caption": ")" + emoji + R"(x"}})").code, 0);
  EXPECT_EQ(built().wide[CFG_WMSG_CAPTION].size(), 2u * 8191);
  std::string narrow;
  for (int i = 0; i < 2731; ++i) narrow += "日";
  const struct { std::string json; const char* expect; } refusals[] = {
      {R"({"messages": {"caption": ")" + emoji + R"(😀"}})",
       "\"messages.caption\" (CFG_WMSG_CAPTION): the text is 8192 UTF-16 units long; the launcher reads at most 8191"},
      {R"({"codePage": 65001, "mainClass": ")" + narrow + "\"}", "\"mainClass\" (CFG_MAIN_CLASS): the text is 8193 bytes long"},
      {R"({"wideRecords": {"20099": "a\u0000b"}})", "\"wideRecords.20099\": the text contains a NUL character"},
      {R"({"messages": {"caption": "\ud800"}})", "not valid JSON"},
      {R"({"messages": {"errorCaption": "😀"}})",
       "\"messages.errorCaption\" (CFG_MSG_ERROR_CAPTION): the text cannot be written in code page 1252 (character U+1F600 at byte 0)"},
  };
  for (const auto& row : refusals) {
    Outcome r = build(row.json);
    EXPECT_EQ(r.code, 2) << row.expect;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.expect << "\n  got: " << r.err;
  }
}

TEST_F(Build, StubChoiceAndLayout) {
  // --stub wins over the description's "stub", which resolves against the description.
  StubShape wide;
  wide.optionalSize = 0xF0;  // a different optional header size moves the section table
  writeFile(dir / "stubs/other.exe", makeStub(wide));
  writeFile(dir / "desc.json", R"({"stub": "stubs/other.exe"})");
  Outcome r = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "out.exe").substr(0, kStubImageEnd), makeStub(wide));
  EXPECT_EQ(built().payloadStart, kStubImageEnd);

  r = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"});
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "out.exe").substr(0, kStubImageEnd), makeStub());

  // Neither: launcher.exe in win32 beside the directory of mediapack.
  writeFile(dir / "plain.json", "{}");
  writeFile(dir / "build/win32/launcher.exe", makeStub(wide));
  r = mediapack({"build", dir / "plain.json", "-o", dir / "out.exe"}, dir / "build/host/mediapack");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(readFile(dir / "out.exe").substr(0, kStubImageEnd), makeStub(wide));
  r = mediapack({"build", dir / "plain.json", "-o", dir / "out2.exe"}, dir / "elsewhere/mediapack");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find(dir / "win32/launcher.exe"), std::string::npos) << r.err;
}

TEST_F(Build, RefusesStubsThatCannotTakeAPayload) {
  StubShape carrying, symbols, junk, swapped;
  carrying.trailing = std::string("\xD5\x13\xE4\xE8", 4) + std::string(60, '\0');
  symbols.symbolTable = kStubImageEnd;
  symbols.trailing = std::string(100, 's');
  junk.trailing = "junk";
  swapped.swapSections = true;
  std::string truncated = makeStub().substr(0, 0x700);
  std::string notPe = makeStub();
  notPe[0] = 'X';
  struct Row { std::string bytes; const char* expect; } rows[] = {
      {makeStub(carrying), "already carries a payload"},
      {makeStub(symbols), "unstripped symbol table"},
      {makeStub(junk), "4 bytes after the raw data of its last section"},
      {makeStub(swapped), "after that of the last section table entry"},
      {truncated, "truncated"},
      {notPe, "no MZ signature"},
      {"MZ", "too short"},
  };
  for (const Row& row : rows) {
    writeFile(dir / "bad.exe", row.bytes);
    Outcome r = build("{}", {"--stub", dir / "bad.exe"});
    EXPECT_EQ(r.code, 2) << row.expect;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("bad.exe"), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << row.expect;
  }
  Outcome r = build("{}", {"--stub", dir / "missing.exe"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("missing.exe"), std::string::npos) << r.err;
}

struct BadDescription {
  const char* json;
  const char* expect;  // part of the message (the key or file named)
};

TEST_F(Build, RefusesBadDescriptionsNamingTheKey) {
  writeFile(dir / "a.jar", "a");
  writeFile(dir / "x/A.JAR", "A");
  writeFile(dir / "lib", "l");
  const BadDescription rows[] = {
      {R"({"mainClas": "M"})", R"(unknown key "mainClas" (did you mean "mainClass"?))"},
      {R"({"caption": "X"})", R"(put it inside "messages")"},
      {R"({"messages": {"captoin": "X"}})", R"("messages.captoin" (did you mean "caption"?))"},
      {R"({"messages": {"mainClass": "X"}})", "put it at the top level"},
      {R"({"frobnicate": 1})", R"(unknown key "frobnicate")"},
      {R"({"mainClass": 5})", R"("mainClass" (CFG_MAIN_CLASS) must be a string)"},
      {R"({"executableType": "abc"})", R"("executableType" (CFG_EXECUTABLE_TYPE): "abc" is not a whole number)"},
      {R"({"executableType": 1.5})", "\"executableType\" (CFG_EXECUTABLE_TYPE) must be an integer"},
      {R"({"executableType": 4294967296})", "out of the 32-bit range"},
      {R"({"executableType": "2147483648"})", "is not a whole number"},
      {R"({"executableType": null})", "not null"},
      {R"({"messages": []})", R"("messages" must be an object)"},
      {R"({"messages": {"caption": 3}})", R"("messages.caption" (CFG_WMSG_CAPTION) must be a string)"},
      {R"({"files": {}})", R"("files" must be an array)"},
      {R"({"files": [3]})", R"("files[0]" must be a path string or an object)"},
      {R"({"files": [{"name": "x"}]})", R"("files[0]" has no "source")"},
      {R"({"files": [{"source": "a.jar", "nmae": "x"}]})", R"("files[0]": unknown key "nmae")"},
      {R"({"checksum": "yes"})", R"("checksum" must be true or false)"},
      {R"({"codePage": "1252"})", R"("codePage" must be an integer)"},
      {R"({"codePage": 4242})", "code page 4242 is not"},
      {R"({"codePage": 1200})", "code page 1200 is not"},
      {R"({"records": []})", R"("records" must be an object)"},
      {R"({"unextracted": 5})", R"("unextracted" must be)"},
      {R"({"stub": ""})", R"("stub" must be)"},
      // A downloaded runtime runs in the installer's process.
      {R"({"jreDownloadLocation": "HTTP://example.org/jre.tar.gz"})", R"("jreDownloadLocation" is a plain http address)"},
      {R"({"jreDownloadLocation": "https://e.org/j", "jreDownloadSha256": "abc"})", R"("jreDownloadSha256" must be)"},
      {R"({"jreDownloadMaxSize": -5})", R"("jreDownloadMaxSize" must be a byte count)"},
      // Files
      {R"({"files": ["nope.jar"]})", "nope.jar: No such file"},
      {R"({"files": ["x"]})", "x: it is a directory"},
      {R"({"unextracted": "gone.bin"})", "gone.bin"},
      {R"({"files": ["a.jar", "x/A.JAR"]})", R"("files[1]": the name "A.JAR" is the same to Windows as "files[0]")"},
      {R"({"files": ["a.jar", {"source": "a.jar", "name": "sub/a.jar"}, {"source": "a.jar", "name": "SUB\\A.jar"}]})",
       "\"files[2]\": the name \"SUB\\A.jar\" is the same"},
      {R"({"files": [{"source": "a.jar", "name": "é.jar"}, {"source": "a.jar", "name": "É.JAR"}]})",
       "is the same to Windows as \"files[0]\""},
      {R"({"files": ["lib", {"source": "a.jar", "name": "LIB/a.jar"}]})", "needs a directory named like"},
      {R"({"files": [{"source": "a.jar", "name": "lib/a.jar"}, "lib"]})", "is a directory of"},
      {R"({"files": [{"source": "a.jar", "name": "a/b/c.jar"}]})", "more than one directory level"},
      {R"({"files": [{"source": "a.jar", "name": "/abs.jar"}]})", "is absolute"},
      {R"({"files": [{"source": "a.jar", "name": "\\abs.jar"}]})", "is absolute"},
      {R"({"files": [{"source": "a.jar", "name": "C:x.jar"}]})", "a drive"},
      {R"({"files": [{"source": "a.jar", "name": "../x.jar"}]})", "\"..\" part"},
      {R"({"files": [{"source": "a.jar", "name": "a\\..\\x.jar"}]})", "more than one directory level"},
      {R"({"files": [{"source": "a.jar", "name": "sub/.."}]})", "\"..\" part"},
      {R"({"files": [{"source": "a.jar", "name": "./x.jar"}]})", "\".\" part"},
      {R"({"files": [{"source": "a.jar", "name": ""}]})", "is empty"},
      {R"({"files": [{"source": "a.jar", "name": "dir/"}]})", "empty part"},
      {R"({"files": [{"source": "a.jar", "name": "a;b.jar"}]})", "contains \";\""},
      {R"({"files": [{"source": "a.jar", "name": "a?.jar"}]})", "character Windows does not allow"},
      {R"({"files": [{"source": "a.jar", "name": "con.txt"}]})", "device CON"},
      {R"({"files": [{"source": "a.jar", "name": "x."}]})", "Windows drops"},
      {R"({"files": [{"source": "a.jar", "name": "日本.jar"}]})", "\"files[0]\" name: the text cannot be written in code page 1252"},
      {R"({"files": [""]})", "the source path is empty"},
      // Raw records
      {R"({"records": {"abc": "x"}})", R"("records.abc": the id "abc" is not a 32-bit integer)"},
      {R"({"records": {"1.5": "x"}})", "\"records.1.5\""},
      {R"({"wideRecords": {"99999999999": "x"}})", "\"wideRecords.99999999999\""},
      {R"({"records": {"2002": "5"}})", "CFG_INCLUDED_FILE_COUNT is derived"},
      {R"({"records": {"2003": "x.jar"}})", "CFG_INCLUDED_FILE_NAMES is derived"},
      {R"({"records": {"122": "M"}})", R"(record 122 has a key: use "mainClass")"},
      {R"({"wideRecords": {"20013": "C"}})", R"(use "messages.caption")"},
      {R"({"records": {"108": 5}})", R"("records.108" must be a string)"},
      // Text
      {R"({"mainClass": "日本"})", "\"mainClass\" (CFG_MAIN_CLASS): the text cannot be written in code page 1252 (character U+65E5 at byte 0)"},
      {R"({"messages": {"errorCaption": "Ошибка"}})", "\"messages.errorCaption\" (CFG_MSG_ERROR_CAPTION): the text cannot be written"},
      {R"({"records": {"108": "Ω"}})", "\"records.108\": the text cannot be written"},
      {R"({"mainClass": "a\u0000b"})", "NUL character"},
      // JSON itself
      {R"({"mainClass": "a", "mainClass": "b"})", R"(the key "mainClass" is given twice)"},
      {R"({"messages": {"ok": "a", "ok": "b"}})", R"(the key "ok" is given twice)"},
      {R"({"mainClass": )", "not valid JSON"},
      {"[]", "must be a JSON object"},
  };
  for (const BadDescription& row : rows) {
    Outcome r = build(row.json);
    EXPECT_EQ(r.code, 2) << row.json;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.json << "\n  got: " << r.err;
    EXPECT_NE(r.err.find("desc.json"), std::string::npos) << row.json << "\n  got: " << r.err;
    EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one message: " << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << row.json;
  }
}

TEST_F(Build, RefusesTextsLongerThanTheLauncherReads) {
  std::string longText(8192, 'x');
  Outcome r = build(R"({"vmOptions": ")" + longText + "\"}");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("\"vmOptions\" (CFG_VM_OPTIONS): the text is 8192 bytes long"), std::string::npos) << r.err;
  EXPECT_EQ(build(R"({"vmOptions": ")" + longText.substr(1) + "\"}").code, 0);
  r = build(R"({"preferredVmType": ")" + std::string(200, 's') + "\"}");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("at most 199"), std::string::npos) << r.err;
}

TEST_F(Build, RefusesAResultOf2GiB) {
  // A sparse file: its size counts, nothing is read before the refusal.
  std::string big = dir / "big.bin";
  writeFile(big, "");
  ASSERT_EQ(truncate(big.c_str(), (int64_t(1) << 31) - 4096), 0);
  Outcome r = build(R"({"unextracted": "big.bin"})");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("below 2 GiB"), std::string::npos) << r.err;
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

TEST_F(Build, FailedWritesLeaveNoFileAndExitWith1) {
  writeFile(dir / "desc.json", "{}");
  Outcome r = mediapack({"build", dir / "desc.json", "-o", dir / "no/such/dir/out.exe", "--stub", dir / "stub.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("no/such/dir/out.exe"), std::string::npos) << r.err;
  r = mediapack({"build", dir / "missing.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"});
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("missing.json"), std::string::npos) << r.err;
  for (const auto& entry : fs::directory_iterator(dir.path())) {
    EXPECT_EQ(entry.path().filename().string().find("out.exe"), std::string::npos) << entry.path();
  }
}

// The builder takes an included name exactly when the launcher will extract it: the same
// table drives the launcher's own test.
TEST(IncludedNames, TheBuilderRefusesEveryNameTheLauncherRefuses) {
  TempDir dir;
  writeFile(dir / "a.jar", "a");
  for (const IncludedNameRow& row : kIncludedNameRows) {
    const nlohmann::json description = {{"files", {{{"source", "a.jar"}, {"name", row.name}}}}};
    BuildPlan plan;
    const Status status = parseDescription(description.dump(), dir.path().string(), "desc.json", plan);
    EXPECT_EQ(status.ok(), row.safe) << "name: \"" << row.name << "\": " << status.message;
  }
}
