// mediapack build with "icon" and "versionInfo": the stub's resources rebuilt, read back by
// the builder's own parser, by wrestool and objdump (independent readers), and under Wine
// by the Windows resource functions; hostile icon files and stubs refused cleanly.
#include <random>
#include <set>

#include "base/config_table.h"
#include "icon_file.h"
#include "pe_file.h"
#include "pe_fixture.h"
#include "resource_tree.h"
#include "version_info.h"

using namespace mediatest;

namespace {

const std::vector<IcoImage> kIcon = {{16, 0xFF0000, false}, {32, 0x00FF00, false}, {256, 0x0000FF, true}};

const char kVersionJson[] = R"("versionInfo": {"fileVersion": "1.2.3.4", "productVersion": "5.6",
    "companyName": "Ä Company", "fileDescription": "Example Setup", "productName": "Prodüct 日本",
    "legalCopyright": "© 2024", "originalFilename": "setup.exe"})";

// wrestool -l as a set of "type/name/language". A string name shows as "*": this wrestool
// prints the type's string in its place, so string names are checked by extracting them.
std::set<std::string> listResources(const std::string& file) {
  ProgramRun r = runProgram({"wrestool", "-l", file});
  EXPECT_EQ(r.code, 0) << r.err;
  std::set<std::string> out;
  std::istringstream lines(r.out);
  std::string line;
  while (std::getline(lines, line)) {
    auto field = [&](const std::string& key) {
      size_t at = line.find("--" + key + "=");
      if (at == std::string::npos) return std::string("?");
      at += key.size() + 3;
      std::string v = line.substr(at, line.find(' ', at) - at);
      if (!v.empty() && v[0] == '\'') v = key == "name" ? "*" : v.substr(1, v.size() - 2);
      return v;
    };
    out.insert(field("type") + "/" + field("name") + "/" + field("language"));
  }
  return out;
}

std::string extract(const std::string& file, const std::vector<std::string>& what) {
  std::vector<std::string> argv = {"wrestool", "-x"};
  argv.insert(argv.end(), what.begin(), what.end());
  argv.push_back(file);
  ProgramRun r = runProgram(argv);
  EXPECT_EQ(r.code, 0) << r.err;
  return r.out;
}

// wrestool rebuilds an .ico from the group and its images; it writes 16 stray bytes per
// image after them, so the original must be a prefix of what it gives back.
void expectIconRoundTrip(const std::string& file, const std::string& ico) {
  std::string back = extract(file, {"--type=14", "--name=1001"});
  ASSERT_GE(back.size(), ico.size());
  EXPECT_TRUE(back.substr(0, ico.size()) == ico) << "the icon read back differs from the .ico";
}

void expectVersion(const std::string& file) {
  VersionView v = readVersion(extract(file, {"--raw", "--type=16", "--name=1"}));
  ASSERT_TRUE(v.ok);
  EXPECT_EQ(v.fileMs, 0x00010002u);
  EXPECT_EQ(v.fileLs, 0x00030004u);
  EXPECT_EQ(v.productMs, 0x00050006u);
  EXPECT_EQ(v.productLs, 0u);
  EXPECT_EQ(v.fileType, 1u);
  EXPECT_EQ(v.translation, std::string("\x09\x04\xB0\x04", 4));
  std::map<std::string, std::u16string> expected = {
      {"StringFileInfo/040904B0/FileVersion", u"1.2.3.4"},  {"StringFileInfo/040904B0/ProductVersion", u"5.6"},
      {"StringFileInfo/040904B0/CompanyName", u"Ä Company"}, {"StringFileInfo/040904B0/FileDescription", u"Example Setup"},
      {"StringFileInfo/040904B0/ProductName", u"Prodüct 日本"}, {"StringFileInfo/040904B0/LegalCopyright", u"© 2024"},
      {"StringFileInfo/040904B0/OriginalFilename", u"setup.exe"},
  };
  EXPECT_TRUE(v.strings == expected) << v.strings.size() << " strings";
}

class Resources : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(dir / "app.ico", makeIco(kIcon)); }

  Outcome build(const std::string& stubBytes, const std::string& json) {
    writeFile(dir / "stub.exe", stubBytes);
    writeFile(dir / "desc.json", json);
    std::remove((dir / "out.exe").c_str());
    return mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"});
  }

  TempDir dir;
};

std::string fullDescription() {
  return std::string(R"({"mainClass": "M", "executableType": 0, "icon": "app.ico", )") + kVersionJson + "}";
}

}  // namespace

TEST_F(Resources, HandMadeStubsGetTheirResourcesRebuiltInEveryLayout) {
  struct Row {
    const char* name;
    PeShape shape;
    size_t sectionsAdded;
    bool relocationsMove;
  };
  auto shape = [](bool plus, bool noRsrc, bool dataAfter, bool reloc) {
    PeShape s;
    s.pe32plus = plus;
    s.withoutResources = noRsrc;
    s.dataAfterResources = dataAfter;
    s.withRelocations = reloc;
    return s;
  };
  const Row rows[] = {
      {"PE32, .rsrc then .reloc", shape(false, false, false, true), 0, true},
      {"PE32+, .rsrc then .reloc", shape(true, false, false, true), 0, true},
      {"PE32, .rsrc last", shape(false, false, false, false), 0, false},
      {"PE32+, .rsrc then .data then .reloc", shape(true, false, true, true), 1, false},
      {"PE32, no resources", shape(false, true, false, true), 1, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    std::string stub = makePe(row.shape);
    Outcome r = build(stub, fullDescription());
    ASSERT_EQ(r.code, 0) << r.err;
    std::string out = readFile(dir / "out.exe");
    PeView before = viewPe(stub), after = viewPe(out);

    EXPECT_TRUE(layoutFaults(out).empty()) << layoutFaults(out).front();
    EXPECT_EQ(after.sections.size(), before.sections.size() + row.sectionsAdded);
    EXPECT_EQ(after.pe32plus, row.shape.pe32plus);
    EXPECT_EQ(out.substr(0x400, 0x400), stub.substr(0x400, 0x400)) << ".text is untouched";
    // The payload begins right after the raw data of the last section-table entry.
    Media m = decodeMedia(out);
    EXPECT_EQ(m.payloadStart, after.imageEnd());
    EXPECT_EQ(m.magic, 0xE8E413D5u);
    EXPECT_EQ(m.narrow[CFG_MAIN_CLASS], "M");
    EXPECT_EQ(m.expectedCrc, zlibCrc(out.substr(m.payloadStart + 20, m.checkedLength)));
    // Relocations: same bytes, found through the directory at their new address.
    if (row.shape.withRelocations) {
      const PeSectionView* reloc = after.sectionAt(after.directories[5].first);
      ASSERT_NE(reloc, nullptr);
      EXPECT_EQ(reloc->name, ".reloc");
      EXPECT_EQ(out.substr(reloc->rawOffset, kRelocations.size()), kRelocations);
      EXPECT_EQ(after.directories[5].first != before.directories[5].first, row.relocationsMove);
    }
    const PeSectionView* rsrc = after.sectionAt(after.directories[2].first);
    ASSERT_NE(rsrc, nullptr);
    EXPECT_EQ(rsrc->address, after.directories[2].first) << "the resource directory starts its section";

    std::set<std::string> expected = {"3/1/0", "3/2/0", "3/3/0", "14/1001/0", "16/1/1033"};
    if (!row.shape.withoutResources) {
      // The old group's images 1 and 2 go, except 2, which group 2000 still shows; the new
      // images take the free ids 1, 4, 5 in the old group's language.
      expected = {"MYDATA/*/1033", "3/1/1033", "3/2/1033", "3/3/1033", "3/4/1033", "3/5/1033",
                  "5/103/1033", "14/1001/1033", "14/2000/1033", "16/1/1033", "24/1/1033"};
    }
    EXPECT_EQ(listResources(dir / "out.exe"), expected);
    expectIconRoundTrip(dir / "out.exe", makeIco(kIcon));
    expectVersion(dir / "out.exe");
    if (!row.shape.withoutResources) {
      EXPECT_EQ(extract(dir / "out.exe", {"--raw", "--type=14", "--name=2000"}), groupOf({2, 3}));
      EXPECT_EQ(extract(dir / "out.exe", {"--raw", "--type=3", "--name=2"}), iconBitmap(16, 0x222222));
      EXPECT_EQ(extract(dir / "out.exe", {"--raw", "--type=MYDATA", "--name=BLOB"}), "blob bytes");
    }
    Outcome shown = mediapack({"inspect", dir / "out.exe"});
    EXPECT_EQ(shown.code, 0) << shown.err;
    EXPECT_NE(shown.out.find("icon: group 1001 with 3 images: 16x16/32-bit 32x32/32-bit 256x256/32-bit"), std::string::npos)
        << shown.out;
    EXPECT_NE(shown.out.find("version: file 1.2.3.4, product 5.6.0.0 (language 1033)"), std::string::npos) << shown.out;
  }
}

TEST_F(Resources, TheGroupKeepsItsLanguageAndOnlyTheVersionCanBeSetAlone) {
  PeShape german;
  german.resources = stubResources(1031);
  ASSERT_EQ(build(makePe(german), R"({"icon": "app.ico"})").code, 0);
  std::set<std::string> listed = listResources(dir / "out.exe");
  EXPECT_TRUE(listed.count("14/1001/1031") && listed.count("3/4/1031")) << "group and images stay German";
  EXPECT_FALSE(listed.count("16/1/1033")) << "no version resource unless asked";

  Outcome r = build(makePe(PeShape()), std::string("{") + kVersionJson + "}");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(extract(dir / "out.exe", {"--raw", "--type=14", "--name=1001"}), groupOf({1, 2})) << "the icon stays";
  expectVersion(dir / "out.exe");
  // A description without either key leaves the stub's bytes as they are.
  std::string stub = makePe(PeShape());
  ASSERT_EQ(build(stub, "{}").code, 0);
  EXPECT_EQ(readFile(dir / "out.exe").substr(0, stub.size()), stub);
}

TEST_F(Resources, AChecksumIsRightForTheWholeMediaFileAndZeroStaysZero) {
  for (bool edit : {false, true}) {
    for (uint32_t stored : {0u, 1u}) {
      PeShape shape;
      shape.checksum = stored;
      Outcome r = build(makePe(shape), edit ? fullDescription() : R"({"mainClass": "M"})");
      ASSERT_EQ(r.code, 0) << r.err;
      std::string out = readFile(dir / "out.exe");
      uint32_t expected = stored == 0 ? 0 : referencePeChecksum(out);
      EXPECT_EQ(viewPe(out).checksum, expected) << "edit " << edit << ", stub checksum " << stored;
    }
  }
}

TEST_F(Resources, StubsWhoseResourcesCannotBeEditedAreRefused) {
  PeShape full;
  full.dataAfterResources = true;
  full.fullHeaders = true;
  auto malformed = [](const std::string& bytes) {
    PeShape s;
    s.rawResources = bytes;
    return makePe(s);
  };
  std::string root(16, '\0');
  put16(root, 14, 1);
  std::string loop = root + std::string(8, '\0');
  put32(loop, 16, 3);
  put32(loop, 20, 0x80000000u);  // the type's directory is the root again
  std::string outside = root + std::string(8, '\0');
  put32(outside, 16, 3);
  put32(outside, 20, 0x80001000u);
  std::string huge(16, '\0');
  put16(huge, 12, 0xFFFF);
  put16(huge, 14, 0xFFFF);
  // A thousand names that all point at one string of 65535 characters: 128 MiB of copies
  // from a section of 140 KB.
  std::string sharedName(16 + 8 * 1000, '\0');
  put16(sharedName, 12, 1000);
  const uint32_t stringAt = static_cast<uint32_t>(sharedName.size());
  for (uint32_t i = 0; i < 1000; ++i) put32(sharedName, 16 + 8 * i, 0x80000000u | stringAt);
  sharedName += std::string(2 + 2 * 65535, 'n');
  put16(sharedName, stringAt, 0xFFFF);
  std::string namedLanguage = resourceSection({{3, 1, 1033, "x"}}, 0x2000);
  put32(namedLanguage, 16 + 8 + 16 + 8 + 16, 0x80000000u | 0x10);  // language entry with a string name
  std::string dataOutside = resourceSection({{3, 1, 1033, "x"}}, 0x2000);
  put32(dataOutside, 72, 0x9000);  // the one data entry (after three directories) points past every section
  const struct Row {
    const char* name;
    std::string stub;
    const char* expect;
  } rows[] = {
      {"no room for a section header", makePe(full), "no room for another section"},
      {"type directory loops to the root", malformed(loop), "malformed"},
      {"directory outside the section", malformed(outside), "lies outside the resource section"},
      {"more entries than the section holds", malformed(huge), "more entries than the section holds"},
      {"names sharing one long string", malformed(sharedName), "the name strings add up to more bytes"},
      {"language with a string name", malformed(namedLanguage), "malformed"},
      {"data outside every section", malformed(dataOutside), "does not lie in a section"},
  };
  for (const Row& row : rows) {
    Outcome r = build(row.stub, R"({"icon": "app.ico"})");
    EXPECT_EQ(r.code, 2) << row.name;
    EXPECT_NE(r.err.find("stub " + (dir / "stub.exe") + ": cannot set the icon or version information"),
              std::string::npos)
        << row.name << ": " << r.err;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.name << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << row.name;
  }
}

TEST_F(Resources, RandomDamageToTheResourceSectionNeverCrashes) {
  std::string good = resourceSection(stubResources(), kPeSectionAlignment * 2);
  std::mt19937 rng(11);
  for (int round = 0; round < 200; ++round) {
    std::string damaged = good;
    for (int e = 0, edits = 1 + rng() % 6; e < edits; ++e) damaged[rng() % damaged.size()] = static_cast<char>(rng());
    PeShape shape;
    shape.rawResources = damaged;
    Outcome r = build(makePe(shape), R"({"icon": "app.ico"})");
    EXPECT_TRUE(r.code == 0 || r.code == 2) << "round " << round << ": " << r.err;
    if (r.code == 0) {
      EXPECT_TRUE(layoutFaults(readFile(dir / "out.exe")).empty()) << "round " << round;
    }
  }
}

TEST_F(Resources, MalformedIconFilesAreRefusedNamingTheFileAndTheFault) {
  std::string good = makeIco({{16, 0xFF0000, false}, {32, 0x00FF00, false}});
  auto patched = [&](size_t at, const std::string& bytes) {
    std::string f = good;
    f.replace(at, bytes.size(), bytes);
    return f;
  };
  std::string png = makeIco({{48, 0x0000FF, true}});
  const size_t firstImage = 6 + 32;
  const struct Row {
    const char* name;
    std::string bytes;
    const char* expect;
  } rows[] = {
      {"empty", "", "not an icon file"},
      {"a PNG", iconPng(16, 0), "not an icon file"},
      {"a cursor", patched(2, std::string("\x02\x00", 2)), "a cursor file"},
      {"no images", patched(4, std::string("\x00\x00", 2)), "holds no images"},
      {"directory cut", good.substr(0, 20), "runs past the end of the file"},
      {"image past the end", good.substr(0, good.size() - 1), "image 2 (32x32) lies outside the file"},
      {"image inside the directory", patched(6 + 12, std::string("\x06\x00\x00\x00", 4)), "lies outside the file"},
      {"zero-length image", patched(6 + 8, std::string(4, '\0')), "image 1 (16x16) lies outside the file"},
      {"overlapping images", patched(6 + 16 + 12, std::string("\x26\x00\x00\x00", 4)), "image 2 (32x32) overlaps image 1"},
      {"size disagrees", patched(6 + 16, std::string("\x30\x30", 2)), "is listed as 48x48 but its bitmap is 32x32"},
      {"odd bitmap height", patched(firstImage + 8, std::string("\x11\x00\x00\x00", 4)), "twice its height"},
      {"header of 12 bytes", patched(firstImage, std::string("\x0C\x00\x00\x00", 4)), "40-byte header"},
      {"7-bit pixels", patched(firstImage + 14, std::string("\x07\x00", 2)), "planes of 7 bits"},
      {"compressed", patched(firstImage + 16, std::string("\x01\x00\x00\x00", 4)), "compressed bitmap"},
      {"palette too large", patched(firstImage + 14, std::string("\x08\x00", 2)), "needs"},
      {"PNG without header", patched(firstImage, std::string("\x89PNG\r\n\x1a\n\0\0\0\0XXXX", 16)),
       "PNG without its header chunk"},
      {"PNG size disagrees", png.substr(0, 6) + "\x20\x20" + png.substr(8), "is listed as 32x32 but its PNG is 48x48"},
  };
  for (const Row& row : rows) {
    writeFile(dir / "bad.ico", row.bytes);
    writeFile(dir / "stub.exe", makePe(PeShape()));
    writeFile(dir / "desc.json", R"({"icon": "bad.ico"})");
    Outcome r = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"});
    EXPECT_EQ(r.code, 2) << row.name;
    EXPECT_NE(r.err.find("\"icon\": " + (dir / "bad.ico") + ": "), std::string::npos) << row.name << ": " << r.err;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.name << ": " << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe")) << row.name;
  }
  Outcome r = build(makePe(PeShape()), R"({"icon": "missing.ico"})");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("missing.ico: cannot read it"), std::string::npos) << r.err;
}

TEST(IconFile, RandomDamageIsRefusedOrStaysWithinTheFile) {
  std::string good = makeIco(kIcon);
  std::mt19937 rng(5);
  for (int round = 0; round < 2000; ++round) {
    std::string f = good;
    for (int e = 0, edits = 1 + rng() % 4; e < edits; ++e) f[rng() % (round % 2 ? 64 : f.size())] = static_cast<char>(rng());
    if (rng() % 5 == 0) f.resize(rng() % f.size());
    std::vector<IconImage> images;
    std::string problem;
    if (parseIconFile(f, images, problem)) {
      size_t total = 0;
      for (const IconImage& i : images) total += i.data.size();
      EXPECT_LE(total, f.size()) << "round " << round;
    } else {
      EXPECT_FALSE(problem.empty()) << "round " << round;
    }
  }
}

TEST(VersionInfo, NumbersTakeOneToFourPartsUpTo65535) {
  const struct Row {
    const char* text;
    bool ok;
    uint16_t parts[4];
  } rows[] = {
      {"1", true, {1, 0, 0, 0}},          {"1.2", true, {1, 2, 0, 0}},      {"1.2.3.4", true, {1, 2, 3, 4}},
      {"65535.0.0.65535", true, {65535, 0, 0, 65535}}, {"007.01", true, {7, 1, 0, 0}},
      {"", false, {}},   {"1.", false, {}},   {".1", false, {}},   {"1..2", false, {}},   {"1.2.3.4.5", false, {}},
      {"65536", false, {}}, {"100000", false, {}}, {"1a", false, {}}, {" 1", false, {}}, {"-1", false, {}},
      {"1,2", false, {}},
  };
  for (const Row& row : rows) {
    uint16_t parts[4] = {9, 9, 9, 9};
    EXPECT_EQ(parseVersionNumber(row.text, parts), row.ok) << row.text;
    if (row.ok) {
      EXPECT_TRUE(std::equal(parts, parts + 4, row.parts)) << row.text;
    }
  }
}

TEST_F(Resources, BadVersionInfoIsRefusedNamingTheKey) {
  const struct Row {
    const char* json;
    const char* expect;
  } rows[] = {
      {R"({"versionInfo": "1.0"})", R"("versionInfo" must be an object)"},
      {R"({"versionInfo": {}})", R"("versionInfo.fileVersion" is missing)"},
      {R"({"versionInfo": {"fileVersion": 1}})", R"("versionInfo.fileVersion" must be a string)"},
      {R"({"versionInfo": {"fileVersion": "1.2.3.4.5"}})", R"("versionInfo.fileVersion": "1.2.3.4.5" is not a version)"},
      {R"({"versionInfo": {"fileVersion": "1", "productVersion": "70000"}})", R"("versionInfo.productVersion": "70000")"},
      {R"({"versionInfo": {"fileVersion": "1", "companyNmae": "x"}})",
       R"(unknown key "versionInfo.companyNmae" (did you mean "companyName"?))"},
      {R"({"versionInfo": {"fileVersion": "1", "productName": 5}})", R"("versionInfo.productName" must be a string)"},
      {R"({"versionInfo": {"fileVersion": "1", "comments": "a\u0000b"}})", "NUL character"},
      {R"({"versionInfo": {"fileVersion": "1", "language": 70000}})", R"("versionInfo.language" must be a language id)"},
      {R"({"versionInfo": {"fileVersion": "1", "language": "1033"}})", R"("versionInfo.language" must be a language id)"},
      {R"({"icon": 3})", R"("icon" must be a non-empty path string)"},
      {R"({"icn": "app.ico"})", R"(unknown key "icn" (did you mean "icon"?))"},
  };
  for (const Row& row : rows) {
    Outcome r = build(makePe(PeShape()), row.json);
    EXPECT_EQ(r.code, 2) << row.json;
    EXPECT_NE(r.err.find(row.expect), std::string::npos) << row.json << "\n  got: " << r.err;
    EXPECT_NE(r.err.find("desc.json"), std::string::npos) << r.err;
  }
  std::string longText(30000, 'x');
  Outcome r = build(makePe(PeShape()), R"({"versionInfo": {"fileVersion": "1", "comments": ")" + longText +
                                           R"(", "productName": ")" + longText + "\"}}");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("at most 65535 bytes"), std::string::npos) << r.err;
  // The language chooses the string table and the translation.
  r = build(makePe(PeShape()), R"({"versionInfo": {"fileVersion": "2", "language": 1031, "productName": "Büro"}})");
  ASSERT_EQ(r.code, 0) << r.err;
  VersionView v = readVersion(extract(dir / "out.exe", {"--raw", "--type=16", "--name=1"}));
  EXPECT_EQ(v.strings["StringFileInfo/040704B0/ProductName"], u"Büro");
  EXPECT_EQ(v.strings["StringFileInfo/040704B0/ProductVersion"], u"2") << "productVersion defaults to fileVersion";
  EXPECT_EQ(v.productMs, 0x00020000u);
  EXPECT_EQ(v.translation, std::string("\x07\x04\xB0\x04", 4));
}

TEST_F(Resources, TheShippedI686StubStaysAValidImage) {
  std::string stub = i686Stub();
  if (!fs::exists(stub)) GTEST_SKIP() << "no i686 stub at " << stub << " (build the i686 tree)";
  std::string bytes = readFile(stub);
  ASSERT_EQ(viewPe(bytes).pe32plus, false);
  Outcome r = build(bytes, fullDescription());
  ASSERT_EQ(r.code, 0) << r.err;
  std::string out = readFile(dir / "out.exe");
  EXPECT_TRUE(layoutFaults(out).empty()) << layoutFaults(out).front();
  std::set<std::string> before = listResources(stub), after = listResources(dir / "out.exe");
  for (const char* kept : {"5/103/1033", "5/104/1033", "24/1/1033"}) {
    EXPECT_TRUE(before.count(kept) && after.count(kept)) << kept;
  }
  EXPECT_TRUE(after.count("16/1/1033"));
  expectIconRoundTrip(dir / "out.exe", makeIco(kIcon));
  expectVersion(dir / "out.exe");
  EXPECT_EQ(extract(dir / "out.exe", {"--raw", "--type=5", "--name=103"}), extract(stub, {"--raw", "--type=5", "--name=103"}));

  ProgramRun objdump = runProgram({"i686-w64-mingw32-objdump", "-p", dir / "out.exe"});
  ASSERT_EQ(objdump.code, 0) << objdump.err;
  EXPECT_NE(objdump.out.find("Resource Directory [.rsrc]"), std::string::npos);
  EXPECT_NE(objdump.out.find("Base Relocation Directory [.reloc]"), std::string::npos);
  // objdump walks the rebuilt tree: the version type (16) and the icon group (1001) appear.
  EXPECT_NE(objdump.out.find("Entry: ID: 0x000010,"), std::string::npos) << objdump.out;
  EXPECT_NE(objdump.out.find("Entry: ID: 0x0003e9,"), std::string::npos) << objdump.out;
  EXPECT_EQ(objdump.out.find("orrupt"), std::string::npos) << objdump.out;
  EXPECT_EQ(objdump.err, "");
  Media m = decodeMedia(out);
  EXPECT_EQ(m.payloadStart, viewPe(out).imageEnd());
  EXPECT_EQ(m.expectedCrc, zlibCrc(out.substr(m.payloadStart + 20, m.checkedLength)));

  // Windows reads a 32-bit image's resources from a 64-bit process too.
  WineResult probe = runWindows(windowsTree() + "/tests/resource_probe.exe", {winePathOf(dir / "out.exe")});
  EXPECT_EQ(probe.exitCode, 0) << probe.err;
  for (const char* line : {"datafile icon 16 16x16 pixel FF0000", "image icon 32 32x32 pixel 00FF00",
                           "version fixed 1.2.3.4 product 5.6.0.0 type 1 os 40004"}) {
    EXPECT_NE(probe.out.find(line), std::string::npos) << line << "\n" << probe.out;
  }
}

TEST_F(Resources, TheX8664LauncherShowsTheIconAndVersionAndStillRuns) {
  std::string stub = windowsTree() + "/launcher.exe";
  ASSERT_TRUE(fs::exists(stub)) << "no launcher at " << stub;
  Outcome r = build(readFile(stub), fullDescription());
  ASSERT_EQ(r.code, 0) << r.err;
  WineResult probe = runWindows(windowsTree() + "/tests/resource_probe.exe", {winePathOf(dir / "out.exe")});
  ASSERT_EQ(probe.exitCode, 0) << probe.err;
  for (const char* line : {
           "datafile group 1001 images 3", "datafile icon 16 16x16 pixel FF0000", "datafile icon 32 32x32 pixel 00FF00",
           "datafile icon 256 256x256 pixel 0000FF", "datafile loadicon 32x32 pixel 00FF00",
           "image group 1001 images 3", "image icon 16 16x16 pixel FF0000", "image loadicon 32x32 pixel 00FF00",
           "version fixed 1.2.3.4 product 5.6.0.0 type 1 os 40004", "version translation 040904b0",
           "version string CompanyName=Ä Company", "version string ProductName=Prodüct 日本",
           "version string LegalCopyright=© 2024", "version string OriginalFilename=setup.exe",
       }) {
    EXPECT_NE(probe.out.find(std::string(line) + "\n"), std::string::npos) << line << "\n" << probe.out;
  }
  // The edited launcher still starts, finds its payload and verifies it.
  writeFile(dir / "plain.json", R"({"mainClass": "M", "executableType": 0})");
  ASSERT_EQ(mediapack({"build", dir / "plain.json", "-o", dir / "plain.exe", "--stub", stub}).code, 0);
  WineResult edited = runWindows(dir / "out.exe", {"-q"}, dir.path().string());
  WineResult plain = runWindows(dir / "plain.exe", {"-q"}, dir.path().string());
  EXPECT_FALSE(edited.timedOut);
  EXPECT_EQ(edited.exitCode, plain.exitCode) << edited.err;
  EXPECT_EQ(edited.err.find("corrupt"), std::string::npos) << edited.err;
}
