// mediapack build with a "runtime": the directory checks, the archive read back with zlib's
// gz reader, a tar parser of the test's own and the launcher's archive reader, reproducible
// bytes, the jlink path, and the inspect summary.
#include <sys/stat.h>
#include <unistd.h>
#include <utime.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "runtime/gzip_members.h"
#include "runtime/untar.h"
#include "jlink.h"
#include "payload/extract.h"
#include "media_fixture.h"
#include "runtime_archive.h"
#include "runtime_bundle.h"
#include "runtime_dir.h"
#include "runtime_report.h"
#include "support/scratch_files.h"

using namespace mediatest;

namespace {

// The first bytes of a Windows library for `machine`: an MZ header whose e_lfanew points at
// "PE\0\0" and the COFF machine field, then filler that tells copies apart.
std::string peLibrary(uint16_t machine, const std::string& filler = "library") {
  std::string b(0x80, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 60, 0x40);
  b.replace(0x40, 4, std::string("PE\0\0", 4));
  put16(b, 0x44, machine);
  return b + filler;
}

// One entry as read by the test's own tar parser.
struct TarEntry {
  std::string name;  // prefix and name joined
  char type = 0;
  std::string mode, uid, gid, mtime, linkName, magic;
  std::string data;
  bool checksumOk = false;
};

std::string field(const std::string& block, size_t at, size_t width) {
  std::string text = block.substr(at, width);
  return text.substr(0, text.find('\0'));
}

// Parses a whole ustar stream; stops at the first zero block. `ended` tells whether one came.
std::vector<TarEntry> parseTar(const std::string& tar, bool* ended = nullptr) {
  std::vector<TarEntry> out;
  size_t at = 0;
  if (ended) *ended = false;
  while (at + 512 <= tar.size()) {
    const std::string block = tar.substr(at, 512);
    if (block == std::string(512, '\0')) {
      if (ended) *ended = at + 1024 <= tar.size() && tar.substr(at + 512, 512) == std::string(512, '\0');
      break;
    }
    TarEntry e;
    const std::string prefix = field(block, 345, 155);
    e.name = (prefix.empty() ? "" : prefix + "/") + field(block, 0, 100);
    e.type = block[156];
    e.mode = field(block, 100, 8);
    e.uid = field(block, 108, 8);
    e.gid = field(block, 116, 8);
    e.mtime = field(block, 136, 12);
    e.linkName = field(block, 157, 100);
    e.magic = block.substr(257, 8);
    unsigned sum = 0;
    for (size_t i = 0; i < 512; ++i) sum += (i >= 148 && i < 156) ? ' ' : static_cast<unsigned char>(block[i]);
    e.checksumOk = std::strtoul(field(block, 148, 8).c_str(), nullptr, 8) == sum;
    const size_t size = std::strtoul(field(block, 124, 12).c_str(), nullptr, 8);
    e.data = tar.substr(at + 512, size);
    at += 512 + (size + 511) / 512 * 512;
    out.push_back(e);
  }
  return out;
}

// The uncompressed bytes of a gzip file, through zlib's gz reader (which reads a series of
// members as one stream).
std::string gunzipFile(const std::string& path) {
  gzFile in = gzopen(path.c_str(), "rb");
  if (!in) return "(cannot open)";
  std::string out;
  char buffer[65536];
  int n = 0;
  while ((n = gzread(in, buffer, sizeof buffer)) > 0) out.append(buffer, static_cast<size_t>(n));
  const bool failed = n < 0;
  gzclose(in);
  return failed ? "(gzread failed)" : out;
}

std::vector<std::string> namesOf(const std::vector<TarEntry>& entries) {
  std::vector<std::string> names;
  for (const TarEntry& e : entries) names.push_back(e.name);
  return names;
}

class Runtime : public ::testing::Test {
 protected:
  void SetUp() override { writeFile(dir / "stub.exe", makeStub()); }

  // A small runtime for the hand-made i386 stub: bin/java.exe, bin/client/jvm.dll and a few
  // files around them.
  void makeRuntime(const std::string& root = "jre", uint16_t machine = kPeMachineI386) {
    writeFile(dir / (root + "/bin/java.exe"), "java launcher");
    writeFile(dir / (root + "/bin/client/jvm.dll"), peLibrary(machine));
    writeFile(dir / (root + "/lib/modules"), std::string(3000, 'm'));
    writeFile(dir / (root + "/release"), "JAVA_VERSION=\"17\"\n");
    fs::create_directories(dir / (root + "/lib/empty"));
  }

  Outcome build(const std::string& json, const std::string& out = "out.exe") {
    writeFile(dir / "desc.json", json);
    return mediapack({"build", dir / "desc.json", "-o", dir / out, "--stub", dir / "stub.exe"});
  }

  TempDir dir;
};

TEST_F(Runtime, TheDirectoryBecomesTheLastIncludedFileWithTheLauncherLayoutAndRecords) {
  makeRuntime();
  writeFile(dir / "app.jar", "jar");
  fs::create_symlink("modules", dir / "jre/lib/modules-link");
  ASSERT_EQ(chmod((dir / "jre/bin/java.exe").c_str(), 0700), 0);
  Outcome r = build(R"({"mainClass": "app.Main", "files": ["app.jar"], "runtime": "jre"})");
  ASSERT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.err, "") << "no progress line where there is no terminal";
  Media m = decodeMedia(readFile(dir / "out.exe"));
  EXPECT_EQ(m.narrow[2002], "2");
  EXPECT_EQ(m.narrow[2003], "app.jar;jre.tar.gz");
  ASSERT_EQ(m.files.size(), 2u);
  const std::string& archive = m.files[1];
  // Every member's header has time 0 and the fixed system byte, so builders agree.
  ASSERT_GT(archive.size(), 10u);
  EXPECT_EQ(archive.substr(0, 3), std::string("\x1F\x8B\x08", 3));
  EXPECT_EQ(archive.substr(4, 4), std::string(4, '\0')) << "gzip time";
  EXPECT_EQ(static_cast<uint8_t>(archive[9]), 255) << "gzip system byte";

  writeFile(dir / "jre.tar.gz", archive);
  const std::string tar = gunzipFile(dir / "jre.tar.gz");
  EXPECT_EQ(m.narrow[151], std::to_string(tar.size())) << "includedJreSize is the unpacked stream's size";
  EXPECT_EQ(m.narrow[153], "0");
  bool ended = false;
  const std::vector<TarEntry> entries = parseTar(tar, &ended);
  EXPECT_TRUE(ended) << "the archive ends with its two zero blocks";
  EXPECT_EQ(namesOf(entries), (std::vector<std::string>{"bin/", "bin/client/", "bin/client/jvm.dll", "bin/java.exe",
                                                         "lib/", "lib/empty/", "lib/modules", "lib/modules-link",
                                                         "release"}));
  for (const TarEntry& e : entries) {
    SCOPED_TRACE(e.name);
    EXPECT_TRUE(e.checksumOk);
    EXPECT_EQ(e.magic, std::string("ustar\0" "00", 8));
    EXPECT_EQ(e.uid, "0000000");
    EXPECT_EQ(e.gid, "0000000");
    EXPECT_EQ(e.mtime, "00000000000");
    const bool directory = e.name.back() == '/';
    EXPECT_EQ(e.type, directory ? '5' : '0') << "Windows launchers get directories and regular files only";
    EXPECT_EQ(e.mode, directory ? "0000755" : "0000644");
  }
  EXPECT_EQ(entries[2].data, peLibrary(kPeMachineI386));
  EXPECT_EQ(entries[7].data, std::string(3000, 'm')) << "a link to a file is stored as a copy of it";
}

TEST_F(Runtime, SizedMembersReadSideBySideByTheLauncherAndAsOneStreamByTar) {
  makeRuntime();
  // More than one member's worth of data, so the archive is a series of gzip members.
  std::string big(kArchiveMemberInput * 2 + 12345, '\0');
  for (size_t i = 0; i < big.size(); ++i) big[i] = static_cast<char>((i * 2654435761u) >> 13);
  writeFile(dir / "jre/lib/big.bin", big);
  Outcome r = build(R"({"mainClass": "app.Main", "runtime": {"dir": "jre"}})");
  ASSERT_EQ(r.code, 0) << r.err;
  Media m = decodeMedia(readFile(dir / "out.exe"));
  writeFile(dir / "jre.tar.gz", m.files.at(0));
  // Every member carries its size, and the sizes lead from one member to the next to the end.
  const std::string& archive = m.files[0];
  std::vector<GzipMember> members;
  ASSERT_TRUE(readGzipMemberTable(
      [&](int64_t offset, void* data, size_t count) {
        if (offset < 0 || static_cast<size_t>(offset) + count > archive.size()) return false;
        std::memcpy(data, archive.data() + offset, count);
        return true;
      },
      static_cast<int64_t>(archive.size()), members));
  ASSERT_EQ(members.size(), 3u);
  EXPECT_EQ(members[0].size, kArchiveMemberInput);
  EXPECT_EQ(members[1].size, kArchiveMemberInput);

  // Read side by side by the launcher's reader, and as one stream by tar and gzip.
  for (unsigned threads : {1u, 0u}) {
    const std::string into = dir / ("unpacked" + std::to_string(threads));
    fs::create_directories(into);
    ASSERT_TRUE(untarGz(dir / "jre.tar.gz", into, {}, fileSystemTarget(), threads));
    EXPECT_EQ(readFile(into + "/lib/big.bin"), big);
    EXPECT_EQ(readFile(into + "/bin/client/jvm.dll"), peLibrary(kPeMachineI386));
    EXPECT_TRUE(fs::is_directory(into + "/lib/empty"));
  }
  EXPECT_NE(mediapack({"inspect", dir / "out.exe"}).out.find("3 gzip members, " + m.narrow[151] +
                                                              " bytes unpacked; the launcher inflates the members side by side\n"),
            std::string::npos);
  fs::create_directories(dir / "tar");
  ASSERT_EQ(std::system(("tar -xzf '" + (dir / "jre.tar.gz") + "' -C '" + (dir / "tar") + "'").c_str()), 0);
  EXPECT_EQ(readFile(dir / "tar/lib/big.bin"), big);
  EXPECT_EQ(readFile(dir / "tar/bin/client/jvm.dll"), peLibrary(kPeMachineI386));
}

TEST_F(Runtime, TheSameDescriptionGivesTheSameBytesWhateverTheFilesTimesAndOrder) {
  makeRuntime("jre");
  Outcome first = build(R"({"mainClass": "app.Main", "runtime": "jre"})", "first.exe");
  ASSERT_EQ(first.code, 0) << first.err;
  // The same content made again in another order, with other times and modes.
  fs::remove_all(dir / "jre");
  writeFile(dir / "jre/release", "JAVA_VERSION=\"17\"\n");
  fs::create_directories(dir / "jre/lib/empty");
  writeFile(dir / "jre/lib/modules", std::string(3000, 'm'));
  writeFile(dir / "jre/bin/client/jvm.dll", peLibrary(kPeMachineI386));
  writeFile(dir / "jre/bin/java.exe", "java launcher");
  ASSERT_EQ(chmod((dir / "jre/release").c_str(), 0600), 0);
  struct utimbuf old = {1000000000, 1000000000};
  for (const char* p : {"jre/release", "jre/lib/modules", "jre/bin/java.exe", "jre/bin", "jre"}) {
    ASSERT_EQ(utime((dir / p).c_str(), &old), 0) << p;
  }
  Outcome second = build(R"({"mainClass": "app.Main", "runtime": "jre"})", "second.exe");
  ASSERT_EQ(second.code, 0) << second.err;
  EXPECT_TRUE(readFile(dir / "first.exe") == readFile(dir / "second.exe")) << "the media files differ";
}

TEST_F(Runtime, RefusalsNameTheFileAndWriteNothing) {
  struct Row {
    const char* name;
    std::function<void(TempDir&)> damage;
    const char* json;
    std::vector<std::string> expect;
  } rows[] = {
      {"absolute link", [](TempDir& d) { fs::create_symlink("/etc/hostname", d / "jre/lib/host"); }, nullptr,
       {"jre/lib/host", "absolute path /etc/hostname"}},
      {"link leading outside", [](TempDir& d) { fs::create_symlink("../../desc.json", d / "jre/lib/up"); }, nullptr,
       {"jre/lib/up", "outside the runtime directory"}},
      {"dangling link", [](TempDir& d) { fs::create_symlink("nowhere", d / "jre/lib/gone"); }, nullptr,
       {"jre/lib/gone", "points to nothing"}},
      {"links in a loop",
       [](TempDir& d) {
         fs::create_symlink("loop-b", d / "jre/lib/loop-a");
         fs::create_symlink("loop-a", d / "jre/lib/loop-b");
       },
       nullptr, {"jre/lib/loop-", "cannot be followed"}},
      {"link to a directory", [](TempDir& d) { fs::create_symlink("../bin", d / "jre/lib/bin"); }, nullptr,
       {"jre/lib/bin", "points to a directory"}},
      {"FIFO", [](TempDir& d) { ASSERT_EQ(mkfifo((d / "jre/lib/pipe").c_str(), 0600), 0); }, nullptr,
       {"jre/lib/pipe", "special file"}},
      {"names differing in case", [](TempDir& d) { writeFile(d / "jre/lib/Modules", "x"); }, nullptr,
       {"jre/lib/Modules", "differ only in case"}},
      {"a name the launcher refuses", [](TempDir& d) { writeFile(d / "jre/lib/aux.txt", "x"); }, nullptr,
       {"jre/lib/aux.txt", "does not unpack"}},
      {"64-bit library for the 32-bit launcher",
       [](TempDir& d) { writeFile(d / "jre/bin/client/jvm.dll", peLibrary(kPeMachineAmd64)); }, nullptr,
       {"jre/bin/client/jvm.dll", "64-bit (x86_64) library", "is 32-bit (i386) and needs a 32-bit runtime"}},
      {"no library", [](TempDir& d) { fs::remove(d / "jre/bin/client/jvm.dll"); }, nullptr,
       {"holds no jvm.dll", "bin/server/jvm.dll", "bin/client/jvm.dll", "bin/hotspot/jvm.dll"}},
      {"not a library", [](TempDir& d) { writeFile(d / "jre/bin/client/jvm.dll", "text"); }, nullptr,
       {"jre/bin/client/jvm.dll", "not a Windows library"}},
      {"archive listed too", [](TempDir& d) { writeFile(d / "jre.tar.gz", "gz"); },
       R"({"mainClass": "a", "files": ["jre.tar.gz"], "runtime": "jre"})", {"\"files[0]\"", "give only one"}},
      {"size record given", nullptr, R"({"mainClass": "a", "includedJreSize": 5, "runtime": "jre"})",
       {"\"includedJreSize\"", "is set from \"runtime\""}},
      {"not a directory", nullptr, R"({"mainClass": "a", "runtime": "missing"})", {"missing is not a directory"}},
      {"both dir and jlink", nullptr, R"({"mainClass": "a", "runtime": {"dir": "jre", "jlink": {}}})",
       {"exactly one of"}},
      {"jlink without modules", nullptr, R"({"mainClass": "a", "runtime": {"jlink": {"jdk": "/x"}}})",
       {"needs \"modules\""}},
      {"jlink modules run together", nullptr,
       R"({"mainClass": "a", "runtime": {"jlink": {"jdk": "/x", "modules": ["java.base,java.xml"]}}})",
       {"\"java.base,java.xml\" is not one module name"}},
  };
  // The scratch directory of each build (the archive, a jlink image) goes with the build.
  fs::create_directories(dir / "tmp");
  ScopedEnvVar tmp("TMPDIR", (dir / "tmp").c_str());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    fs::remove_all(dir / "jre");
    fs::remove(dir / "out.exe");
    makeRuntime();
    if (row.damage) row.damage(dir);
    Outcome r = build(row.json ? row.json : R"({"mainClass": "app.Main", "runtime": "jre"})");
    EXPECT_EQ(r.code, 2) << r.err;
    for (const std::string& text : row.expect) EXPECT_NE(r.err.find(text), std::string::npos) << r.err;
    EXPECT_FALSE(fs::exists(dir / "out.exe"));
    for (const auto& e : fs::directory_iterator(dir.path())) {
      EXPECT_EQ(e.path().filename().string().rfind("out.exe", 0), std::string::npos) << "left " << e.path();
    }
    EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "a scratch directory was left";
  }
  fs::remove_all(dir / "jre");
  makeRuntime();
  ASSERT_EQ(build(R"({"mainClass": "app.Main", "runtime": "jre"})").code, 0);
  EXPECT_TRUE(fs::is_empty(dir / "tmp")) << "a scratch directory was left";
}

TEST_F(Runtime, ATerminalShowsAProgressLineUnlessQuiet) {
  makeRuntime();
  writeFile(dir / "desc.json", R"({"mainClass": "app.Main", "runtime": "jre"})");
  const std::vector<std::string> args = {"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", dir / "stub.exe"};
  for (bool quiet : {false, true}) {
    SCOPED_TRACE(quiet ? "--quiet" : "terminal");
    std::vector<std::string> withQuiet = args;
    if (quiet) withQuiet.push_back("--quiet");
    std::ostringstream out, err;
    ASSERT_EQ(runMediapack(withQuiet, "/nonexistent/host/mediapack", out, err, true), 0) << err.str();
    if (quiet) {
      EXPECT_EQ(err.str(), "");
      EXPECT_EQ(out.str(), "");
      continue;
    }
    EXPECT_EQ(err.str().rfind("\rpacking the runtime: ", 0), 0u) << err.str();
    EXPECT_NE(err.str().find("\rpacked the runtime: 8 entries, "), std::string::npos) << err.str();
    EXPECT_EQ(err.str().back(), '\n');
  }
  PackProgress p;
  p.bytesDone = 3 << 20;
  p.bytesTotal = 12 << 20;
  p.entriesDone = 10;
  p.entriesTotal = 40;
  EXPECT_EQ(progressLine(p), "packing the runtime: 25% (10 of 40 entries, 3.0 of 12.0 MiB)");
}

TEST(RuntimeLibrary, CandidatesFollowTheLaunchersOrder) {
  RuntimeTarget windows;
  const auto entries = [](std::vector<std::string> files) {
    std::vector<RuntimeEntry> out;
    for (const std::string& f : files) out.push_back(RuntimeEntry{f, RuntimeEntryKind::File, false, 1, f, ""});
    return out;
  };
  EXPECT_EQ(runtimeLibraryCandidates(entries({"bin/java.exe"}), windows, ""),
            (std::vector<std::string>{"bin/hotspot/jvm.dll", "bin/client/jvm.dll", "bin/server/jvm.dll",
                                      "bin/classic/jvm.dll", "bin/jrockit/jvm.dll", "jre/bin/hotspot/jvm.dll",
                                      "jre/bin/client/jvm.dll", "jre/bin/server/jvm.dll", "jre/bin/classic/jvm.dll",
                                      "jre/bin/jrockit/jvm.dll"}));
  const auto preferred = runtimeLibraryCandidates(entries({}), windows, "custom");
  EXPECT_EQ(preferred.front(), "bin/custom/jvm.dll");
  // A JDK whose own runtime sits in jre: the launcher starts from jre/bin.
  EXPECT_EQ(runtimeLibraryCandidates(entries({"JRE/bin/java.exe"}), windows, "").front(), "jre/bin/hotspot/jvm.dll");
}

TEST(RuntimeLibrary, MachinesOfImageHeads) {
  struct Row {
    std::string head;
    bool ok;
    TargetOs os;
    uint16_t machine;
  } rows[] = {
      {peLibrary(kPeMachineI386), true, TargetOs::Windows, kPeMachineI386},
      {peLibrary(kPeMachineAmd64), true, TargetOs::Windows, kPeMachineAmd64},
      {std::string("\x7F" "ELF\x02\x01\x01", 7) + std::string(11, '\0') + std::string("\x3E\x00", 2), true,
       TargetOs::Linux, kElfMachineX8664},
      {"MZ", false, TargetOs::Windows, 0},
      {peLibrary(kPeMachineI386).substr(0, 0x44), false, TargetOs::Windows, 0},
      {"plain text that is long enough to hold a PE header offset somewhere in it, but no MZ", false,
       TargetOs::Windows, 0},
  };
  for (const Row& row : rows) {
    TargetOs os = TargetOs::Windows;
    uint16_t machine = 0;
    EXPECT_EQ(imageMachine(row.head, os, machine), row.ok) << row.head.size();
    if (!row.ok) continue;
    EXPECT_EQ(os, row.os);
    EXPECT_EQ(machine, row.machine);
  }
}

TEST(RuntimeArchive, UstarNamesSplitIntoPrefixAndName) {
  const std::string part40(40, 'p');
  struct Row {
    std::string name;
    bool ok;
    std::string prefix;
  } rows[] = {
      {"bin/java.exe", true, ""},
      {std::string(100, 'n'), true, ""},
      {part40 + "/" + part40 + "/" + part40, true, part40 + "/" + part40},
      {part40 + "/" + part40 + "/" + part40 + "/", true, part40 + "/" + part40},
      {std::string(101, 'n'), false, ""},
      {std::string(156, 'p') + "/x", false, ""},
      {"p/" + std::string(101, 'n'), false, ""},
  };
  for (const Row& row : rows) {
    std::string prefix, name;
    EXPECT_EQ(splitUstarName(row.name, prefix, name), row.ok) << row.name;
    if (!row.ok) continue;
    EXPECT_EQ(prefix, row.prefix) << row.name;
    EXPECT_EQ(prefix.empty() ? name : prefix + "/" + name, row.name);
    EXPECT_LE(name.size(), 100u);
  }
}

TEST(RuntimeArchive, LinuxLaunchersGetModesAndLinks) {
  RuntimeEntry tool{"bin/java", RuntimeEntryKind::File, true, 10, "", ""};
  RuntimeEntry data{"lib/modules", RuntimeEntryKind::File, false, 10, "", ""};
  RuntimeEntry link{"lib/alias", RuntimeEntryKind::Link, false, 0, "", "modules"};
  const std::string block(512, 'd');  // the ten data bytes of each file, padded
  const std::vector<TarEntry> linux = parseTar(tarHeader(tool, TargetOs::Linux) + block +
                                               tarHeader(data, TargetOs::Linux) + block +
                                               tarHeader(link, TargetOs::Linux));
  ASSERT_EQ(linux.size(), 3u);
  EXPECT_EQ(linux[0].mode, "0000755");
  EXPECT_EQ(linux[1].mode, "0000644");
  EXPECT_EQ(linux[2].type, '2');
  EXPECT_EQ(linux[2].linkName, "modules");
  EXPECT_EQ(parseTar(tarHeader(tool, TargetOs::Windows))[0].mode, "0000644");
  RuntimeEntry huge{"lib/huge", RuntimeEntryKind::File, false, int64_t(1) << 31, "", ""};
  EXPECT_EQ(tarHeader(huge, TargetOs::Windows), "") << "the launcher holds sizes in 32 bits";
}

TEST(RuntimeArchive, ParallelMembersAreTheSameForAnyThreadCountAndReadAsOneStream) {
  std::string input(10 * 1000 + 17, '\0');
  for (size_t i = 0; i < input.size(); ++i) input[i] = static_cast<char>("abcabd"[i % 6] + (i / 700) % 3);
  std::string outputs[3];
  const unsigned threads[3] = {1, 2, 5};
  for (int k = 0; k < 3; ++k) {
    ParallelGzipWriter writer([&](const std::string& m) { outputs[k] += m; return true; }, threads[k], 1000);
    // Odd write sizes, so pieces are cut inside writes.
    for (size_t at = 0; at < input.size(); at += 333) ASSERT_TRUE(writer.write(input.data() + at, std::min<size_t>(333, input.size() - at)));
    ASSERT_TRUE(writer.finish());
    EXPECT_EQ(writer.members(), 11);
    EXPECT_EQ(writer.inputBytes(), static_cast<int64_t>(input.size()));
  }
  EXPECT_EQ(outputs[0], outputs[1]);
  EXPECT_EQ(outputs[0], outputs[2]);
  TempDir dir;
  writeFile(dir / "series.gz", outputs[0]);
  EXPECT_TRUE(gunzipFile(dir / "series.gz") == input) << "zlib's gz reader reads the series as one stream";

  std::string empty;
  ParallelGzipWriter none([&](const std::string& m) { empty += m; return true; }, 2, 1000);
  ASSERT_TRUE(none.finish());
  writeFile(dir / "empty.gz", empty);
  EXPECT_EQ(gunzipFile(dir / "empty.gz"), "");

  ParallelGzipWriter refused([](const std::string&) { return false; }, 2, 1000);
  refused.write(input.data(), input.size());
  EXPECT_FALSE(refused.finish()) << "a sink that refuses fails the writer";
}

TEST(Jlink, CommandReleaseFileAndPlatformRules) {
  JlinkRequest request;
  request.jdk = "/opt/jdk";
  request.modules = {"java.base", "java.xml"};
  request.options = defaultJlinkOptions();
  EXPECT_EQ(jlinkCommand(request, "/tmp/out"),
            (std::vector<std::string>{"/opt/jdk/bin/jlink", "--add-modules", "java.base,java.xml", "--output",
                                      "/tmp/out", "--strip-debug", "--no-header-files", "--no-man-pages"}));

  JdkPlatform platform;
  EXPECT_TRUE(parseJdkRelease("IMPLEMENTOR=\"X\"\r\nOS_ARCH=\"x86_64\"\r\nOS_NAME=\"Linux\"\r\n", platform));
  EXPECT_EQ(platform.osName, "Linux");
  EXPECT_EQ(platform.osArch, "x86_64");
  EXPECT_FALSE(parseJdkRelease("OS_NAME=\"Linux\"\n", platform));

  struct Row {
    JdkPlatform jdk;
    RuntimeTarget target;
    std::string expect;  // "" : suits
  } rows[] = {
      {{"Linux", "x86_64"}, {TargetOs::Windows, kPeMachineI386, "setup.exe"},
       "the JDK's platform is Linux x86_64 and the stub setup.exe is a Windows i386 launcher"},
      {{"Windows", "amd64"}, {TargetOs::Windows, kPeMachineI386, "setup.exe"},
       "the JDK's platform is Windows amd64 and the stub setup.exe is a Windows i386 launcher"},
      {{"Windows", "x86"}, {TargetOs::Windows, kPeMachineI386, "s"}, ""},
      {{"Windows", "amd64"}, {TargetOs::Windows, kPeMachineAmd64, "s"}, ""},
      {{"Linux", "amd64"}, {TargetOs::Linux, kElfMachineX8664, "s"}, ""},
      {{"Linux", "x86_64"}, {TargetOs::Linux, kElfMachineX8664, "s"}, ""},
  };
  for (const Row& row : rows) {
    const std::string why = platformMismatch(row.jdk, row.target);
    if (row.expect.empty()) {
      EXPECT_EQ(why, "") << row.jdk.osName << " " << row.jdk.osArch;
    } else {
      EXPECT_EQ(why.rfind(row.expect, 0), 0u) << why;
    }
  }
}

TEST(Jlink, TheInstalledJdkMakesARuntimeForItsOwnPlatform) {
  const std::string jdk = LAUNCHER_JDK_HOME;
  if (!fs::exists(jlinkProgram(jdk))) GTEST_SKIP() << "no jlink in " << jdk;
  TempDir dir;
  JlinkRequest request;
  request.jdk = jdk;
  request.modules = {"java.base"};
  request.options = defaultJlinkOptions();
  RuntimeTarget linux{TargetOs::Linux, kElfMachineX8664, "linux-stub"};
  Status s = makeJlinkRuntime(request, linux, dir / "image", "\"runtime.jlink\"");
  ASSERT_TRUE(s.ok()) << s.message;
  EXPECT_TRUE(fs::exists(dir / "image/bin/java"));
  EXPECT_TRUE(fs::exists(dir / "image/lib/server/libjvm.so"));
  EXPECT_FALSE(fs::exists(dir / "image/include")) << "--no-header-files";

  std::vector<RuntimeEntry> entries;
  ASSERT_TRUE(scanRuntimeDirectory(dir / "image", "image", linux, entries).ok());
  std::string library;
  s = checkRuntimeLibrary(entries, "image", linux, "", library);
  EXPECT_TRUE(s.ok()) << s.message;
  EXPECT_EQ(library, "lib/server/libjvm.so");

  request.modules = {"no.such.module"};
  s = makeJlinkRuntime(request, linux, dir / "image2", "\"runtime.jlink\"");
  EXPECT_EQ(s.code, 2);
  EXPECT_NE(s.message.find("failed with exit code"), std::string::npos) << s.message;
  EXPECT_NE(s.message.find("no.such.module"), std::string::npos) << s.message;
}

TEST_F(Runtime, JlinkFromALinuxJdkIntoAWindowsStubIsRefusedBeforeAnythingRuns) {
  const std::string jdk = LAUNCHER_JDK_HOME;
  if (!fs::exists(jlinkProgram(jdk))) GTEST_SKIP() << "no jlink in " << jdk;
  Outcome r = build(R"({"mainClass": "a", "runtime": {"jlink": {"modules": ["java.base"], "jdk": ")" + jdk +
                    R"("}}})");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("the JDK's platform is Linux x86_64 and the stub " + (dir / "stub.exe") +
                       " is a Windows i386 launcher"),
            std::string::npos)
      << r.err;
  EXPECT_FALSE(fs::exists(dir / "out.exe"));
}

TEST_F(Runtime, InspectSummarisesTheRuntimeArchive) {
  makeRuntime();
  ASSERT_EQ(build(R"({"mainClass": "app.Main", "runtime": "jre"})").code, 0);
  Outcome r = mediapack({"inspect", dir / "out.exe"});
  EXPECT_EQ(r.code, 0) << r.err;
  Media m = decodeMedia(readFile(dir / "out.exe"));
  EXPECT_NE(r.out.find("runtime archive jre.tar.gz: 1 gzip member, " + m.narrow[151] + " bytes unpacked\n"),
            std::string::npos)
      << r.out;
  EXPECT_NE(r.out.find("entries: 8 (4 directories, 4 files, 0 links, 0 other)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("includedJreSize: " + m.narrow[151] + " (matches)"), std::string::npos) << r.out;
  EXPECT_NE(r.out.find("runtime library: bin/client/jvm.dll (i386); launcher i386"), std::string::npos) << r.out;

  // A hand-listed archive that is no gzip stream, and one whose library suits no launcher.
  writeFile(dir / "jre.tar.gz", "not gzip");
  ASSERT_EQ(build(R"({"mainClass": "a", "files": ["jre.tar.gz"]})", "bad.exe").code, 0);
  r = mediapack({"inspect", dir / "bad.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("the runtime archive jre.tar.gz is damaged"), std::string::npos) << r.err;

  writeFile(dir / "jre/bin/client/jvm.dll", peLibrary(kPeMachineAmd64));
  std::vector<RuntimeEntry> entries;
  RuntimeTarget x64{TargetOs::Windows, kPeMachineAmd64, "x"};
  ASSERT_TRUE(scanRuntimeDirectory(dir / "jre", "jre", x64, entries).ok());
  PackedRuntime packed;
  ASSERT_TRUE(packRuntime(entries, TargetOs::Windows, dir / "jre.tar.gz", {}, packed).ok());
  ASSERT_EQ(build(R"({"mainClass": "a", "files": ["jre.tar.gz"], "includedJreSize": 1})", "wrong.exe").code, 0);
  r = mediapack({"inspect", dir / "wrong.exe"});
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.out.find("includedJreSize: 1 (differs"), std::string::npos) << r.out;
  EXPECT_NE(r.err.find("bin/client/jvm.dll is x86_64 but the launcher is i386"), std::string::npos) << r.err;
}

// inspect reads archives from files it is given: damaged ones (in the gzip layer, or in the
// tar stream under a sound gzip layer) give a problem or a summary, never a crash (the
// sanitizer build runs this too).
TEST_F(Runtime, InspectsDamagedArchivesWithoutFault) {
  makeRuntime();
  std::vector<RuntimeEntry> entries;
  RuntimeTarget i386{TargetOs::Windows, kPeMachineI386, "stub"};
  ASSERT_TRUE(scanRuntimeDirectory(dir / "jre", "jre", i386, entries).ok());
  PackedRuntime packed;
  ASSERT_TRUE(packRuntime(entries, TargetOs::Windows, dir / "sound.tar.gz", {}, packed).ok());
  const std::string gz = readFile(dir / "sound.tar.gz");
  writeFile(dir / "sound.tar", gunzipFile(dir / "sound.tar.gz"));
  const std::string tar = readFile(dir / "sound.tar");
  uint32_t seed = 12345;
  auto next = [&seed] { return seed = seed * 1664525u + 1013904223u; };
  size_t readable = 0, damaged = 0;
  for (int round = 0; round < 400; ++round) {
    const bool tarLayer = round % 2 == 1;
    std::string bytes = tarLayer ? tar : gz;
    const int flips = 1 + static_cast<int>(next() % 4);
    for (int k = 0; k < flips; ++k) bytes[next() % bytes.size()] = static_cast<char>(next() >> 24);
    if (next() % 5 == 0) bytes.resize(next() % bytes.size());
    if (tarLayer) bytes = gzipMember(bytes.data(), bytes.size(), 1);
    // Stored scrambled, as in a media file.
    for (char& c : bytes) c = static_cast<char>(c ^ 0xA7);
    writeFile(dir / "case.bin", "lead" + bytes);
    InputFile file;
    std::string error;
    ASSERT_TRUE(file.open(dir / "case.bin", error)) << error;
    const RuntimeArchiveSummary summary = summarizeRuntimeArchive(file, 4, static_cast<int64_t>(bytes.size()), true);
    EXPECT_EQ(summary.readable, summary.problem.empty()) << "round " << round;
    (summary.readable ? readable : damaged) += 1;
    std::string why;
    runtimeLibraryLine(summary, i386, "", why);
  }
  EXPECT_GT(damaged, 100u);
}

// The fixture libraries of the Windows trees against the stubs they were built with.
TEST(RuntimeFixtures, EachStubTakesTheRuntimeOfItsOwnMachineOnly) {
  const std::string i686 = std::string(LAUNCHER_SOURCE_DIR) + "/build/win32";
  const std::string x64 = LAUNCHER_WIN32_DIR;
  for (const std::string& tree : {i686, x64}) {
    if (!fs::exists(tree + "/launcher.exe") || !fs::exists(tree + "/fixtures/jvm.dll")) {
      GTEST_SKIP() << "the Windows tree " << tree << " is not built";
    }
  }
  struct Row {
    std::string stub, library;
    bool accepted;
    std::string expect;
  } rows[] = {
      {i686, i686, true, ""},
      {i686, x64, false, "is a 64-bit (x86_64) library; the launcher " + i686 +
                             "/launcher.exe is 32-bit (i386) and needs a 32-bit runtime"},
      {x64, x64, true, ""},
      {x64, i686, false, "is a 32-bit (i386) library; the launcher " + x64 +
                             "/launcher.exe is 64-bit (x86_64) and needs a 64-bit runtime"},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.stub + " with " + row.library);
    TempDir dir;
    writeFile(dir / "jre/bin/java.exe", readFile(row.library + "/fixtures/java/java.exe"));
    writeFile(dir / "jre/bin/server/jvm.dll", readFile(row.library + "/fixtures/jvm.dll"));
    writeFile(dir / "desc.json", R"({"mainClass": "app.Main", "runtime": "jre"})");
    Outcome r = mediapack({"build", dir / "desc.json", "-o", dir / "out.exe", "--stub", row.stub + "/launcher.exe"});
    EXPECT_EQ(r.code, row.accepted ? 0 : 2) << r.err;
    if (!row.accepted) {
      EXPECT_NE(r.err.find(row.expect), std::string::npos) << r.err;
    }
    EXPECT_EQ(fs::exists(dir / "out.exe"), row.accepted);
  }
}

}  // namespace
