// The runtime archive reader over hand-made archives, extracting into a scratch directory.
#include "runtime/untar.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "runtime/gzip_members.h"
#include "runtime/parallel_inflate.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"
#include "support/tar_archives.h"
#include "support/test_exit.h"

namespace {
std::string field(const char* text, size_t width = 12) { return std::string(text, width); }

class UntarTest : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    fileSystemTarget().createDirectory(nullptr, target());
  }
  // The archive gzip-compressed and extracted into <scratch>/jre.
  bool untar(const std::string& tar, const TarProgress& progress = {},
             const ExtractionTarget& files = fileSystemTarget()) {
    EXPECT_TRUE(writeGzip(archive(), tar));
    return untarGz(archive(), target(), progress, files);
  }
  std::string archive() const { return dir_.file("jre.tar.gz"); }
  std::string target() const { return dir_.file("jre"); }
  // A path below the target, written with "\" as the reader does.
  std::string at(std::string relative) const {
    for (char& c : relative) c = c == '\\' ? pathSeparator() : c;
    return target() + pathSeparator() + relative;
  }
  static std::string log() {
    const std::string path = logPathForTesting();
    return path.empty() ? std::string() : readTextFile(path);
  }
  static bool logged(const std::string& line) {
    return ("\n" + log()).find("\n" + line + "\n") != std::string::npos;
  }

  ScratchDir dir_;
  ScopedEnvVar tmp_{"TMP", dir_.path().c_str()};
  ScopedEnvVar quollLog_{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrelLog_{"VANTREL_LOG", nullptr};

 private:
};
}  // namespace

TEST(TarRulesTest, ParseOctal) {
  const struct {
    std::string text;
    int32_t value;
  } rows[] = {
      {field("00000001750 "), 1000},
      {field("     1750\0\0\0"), 1000},
      {field("1750\0garbage"), 1000},  // the field ends at its first zero byte
      {field("000000001750"), 1000},    // all twelve bytes digits
      {field("00000000000\0"), 0},
      {field("17777777777\0"), INT32_MAX},
      {field("20000000000\0"), -1},  // beyond a signed 32-bit size
      {field("00000001758\0"), -1},
      {field("0000000175x\0"), -1},
      {field("00000 1750\0\0"), -1},
      {field("\x80\0\0\0\0\0\0\0\0\0\x03\xe8"), -1},  // GNU base-256
      {field("\0\0\0\0\0\0\0\0\0\0\0\0"), -1},
  };
  for (const auto& row : rows) EXPECT_EQ(parseOctal(row.text.data(), 12), row.value) << row.text;
}

TEST(TarRulesTest, EntryPathStaysInsideTheTarget) {
  const struct {
    std::string name;
    bool ok;
    const char* path;
  } rows[] = {
      {"bin/java.exe", true, "bin\\java.exe"},
      {"./bin//server/jvm.dll", true, "bin\\server\\jvm.dll"},
      {"jre/", true, "jre"},
      {"./", true, ""},
      {"/etc/passwd", false, ""},
      {"\\windows\\x", false, ""},
      {"C:/x", false, ""},
      {"bin/java.exe:stream", false, ""},
      {"../x", false, ""},
      {"bin\\..\\x", false, ""},
      {"bin/...", false, ""},
      {"bin/java.", false, ""},
      {"lib/nul.txt", false, ""},
      {"bin/a?b", false, ""},
      {std::string(kMaxTarEntryName, 'a'), true, nullptr},
      {std::string(kMaxTarEntryName + 1, 'a'), false, ""},
  };
  for (const auto& row : rows) {
    std::string path = "stale";
    EXPECT_EQ(tarEntryPath(row.name, path), row.ok) << row.name;
    if (row.path != nullptr) {
      EXPECT_EQ(path, row.path) << row.name;
    }
  }
}

TEST(TarRulesTest, ProgressPosition) {
  const struct {
    int64_t position, total;
    int bar;
  } rows[] = {{0, 1000, 100}, {999, 1000, 199}, {9000, 1000, 200}, {10, 0, 100}, {10, -5, 100},
              // 100 * position overflows 32 bits here
              {1500000000, 2000000000, 175}};
  for (const auto& row : rows) {
    EXPECT_EQ(tarProgressPosition(row.position, row.total), row.bar) << row.position << "/" << row.total;
  }
}

TEST_F(UntarTest, ExtractsDirectoriesFilesAndLinksAsCopies) {
  const std::string big(1000, 'j');   // 24 bytes of padding follow
  const std::string block(512, 'b');  // none follow
  TarHeader symlink("jre/bin/link", '2', gnuMagic());
  symlink.linkName = "java.exe";
  TarHeader upLink("jre/lib/up", '2');
  upLink.linkName = "../bin/./java.exe";
  TarHeader hardlink("jre/bin/hard", '1', gnuMagic());
  hardlink.linkName = "jre/bin/java.exe";
  TarHeader oldStyle("jre/old", '\0');
  TarHeader contiguous("jre/contiguous", '7');
  TarHeader dirWithData("jre/d/", '5');  // its data is skipped
  TarHeader gnuShort("jre/gnu", '0', gnuMagic());
  gnuShort.prefix = "14000000000";  // an access time in the GNU form, not a name prefix
  TarHeader spaced("jre/spaced");
  spaced.size = field("     1750\0\0\0");
  // Link targets longer than the header's field: a GNU long-link entry and a pax linkpath.
  const std::string deepDirectory = "jre/" + std::string(60, 'p');
  const std::string deep = deepDirectory + "/" + std::string(60, 'q');
  TarHeader deepFile(std::string(60, 'q'));
  deepFile.prefix = deepDirectory;
  TarHeader longLink("././@LongLink", 'K', gnuMagic());
  TarHeader viaLongLink("jre/via-long-link", '1', gnuMagic());
  TarHeader pax("PaxHeaders/l", 'x');
  const std::string record = "linkpath=" + deep + "\n";
  TarHeader viaPax("jre/via-pax", '1');
  TarBuilder tar;
  tar.directory("./").directory("jre/").directory("jre/bin/").directory("jre/lib/")
      .file("jre/bin/java.exe", big)
      .entry(symlink, "").entry(upLink, "").entry(hardlink, "")
      .entry(oldStyle, "old style")
      .entry(contiguous, "contiguous")
      .file("jre/block", block)
      .file("jre/empty", "")
      .entry(dirWithData, "dir data").entry(gnuShort, "gnu")
      .entry(spaced, big)
      .directory(deepDirectory + "/").entry(deepFile, "deep")
      .entry(longLink, deep + std::string(1, '\0')).entry(viaLongLink, "")
      .entry(pax, std::to_string(record.size() + 4) + " " + record).entry(viaPax, "")
      .end();
  ASSERT_TRUE(untar(tar.bytes())) << log();
  EXPECT_EQ(readBinaryFile(at("jre\\bin\\java.exe")), big);
  EXPECT_EQ(readBinaryFile(at("jre\\block")), block);
  EXPECT_EQ(readBinaryFile(at("jre\\spaced")), big);
  EXPECT_TRUE(pathExists(at("jre\\empty")));
  EXPECT_EQ(readBinaryFile(at("jre\\gnu")), "gnu");
  EXPECT_EQ(readBinaryFile(at("jre\\old")), "old style");
  EXPECT_EQ(readBinaryFile(at("jre\\contiguous")), "contiguous");
  for (const char* copy : {"jre\\bin\\link", "jre\\lib\\up", "jre\\bin\\hard"}) {
    EXPECT_EQ(readBinaryFile(at(copy)), big) << copy;
  }
  EXPECT_EQ(readBinaryFile(at("jre\\via-long-link")), "deep");
  EXPECT_EQ(readBinaryFile(at("jre\\via-pax")), "deep");
  EXPECT_TRUE(logged("extracting jre\\bin\\java.exe (size 1000)")) << log();
  EXPECT_TRUE(logged("copying jre\\bin\\java.exe to jre\\bin\\hard")) << log();
  EXPECT_TRUE(logged("untaring JRE was successful"));
}

// What the runtime's directory cannot hold makes the archive unusable instead of leaving a
// hole: devices, FIFOs, sparse and unknown entries, links to nothing written, links outside.
TEST_F(UntarTest, EntriesThatCannotBeRepresentedAreRefused) {
  auto with = [](const TarHeader& header) {
    return TarBuilder().directory("jre/").directory("jre/bin/").file("jre/bin/java.exe", "java")
        .entry(header, "").end().bytes();
  };
  auto link = [&](char type, const char* name, const char* target) {
    TarHeader header(name, type);
    header.linkName = target;
    return with(header);
  };
  const struct {
    const char* what;
    std::string tar;
    std::string error;
  } rows[] = {
      {"fifo", with(TarHeader("jre/fifo", '6')), "unsupported entry type 54 for jre/fifo"},
      {"character device", with(TarHeader("jre/tty", '3')), "unsupported entry type 51 for jre/tty"},
      {"block device", with(TarHeader("jre/disk", '4')), "unsupported entry type 52 for jre/disk"},
      {"sparse file", with(TarHeader("jre/sparse", 'S', gnuMagic())), "unsupported entry type 83 for jre/sparse"},
      {"unknown type", with(TarHeader("jre/x", 'X')), "unsupported entry type 88 for jre/x"},
      {"link to a directory", link('2', "jre/l", "bin"), "link target is not an extracted file: jre/l -> bin"},
      {"link to nothing", link('2', "jre/l", "bin/javaw.exe"),
       "link target is not an extracted file: jre/l -> bin/javaw.exe"},
      {"hard link to a later file", link('1', "jre/h", "jre/later"), "link target is not an extracted file: jre/h -> jre/later"},
      {"link climbing out", link('2', "jre/l", "../../escaped"), "invalid link jre/l -> ../../escaped"},
      {"absolute link", link('2', "jre/l", "/etc/passwd"), "invalid link jre/l -> /etc/passwd"},
      {"hard link out", link('1', "jre/h", "../escaped"), "invalid link jre/h -> ../escaped"},
      {"link to a device name", link('2', "jre/l", "con"), "invalid link jre/l -> con"},
  };
  for (const auto& row : rows) {
    resetLogForTesting();
    EXPECT_FALSE(untar(row.tar)) << row.what;
    EXPECT_TRUE(logged("ERROR: " + row.error)) << row.what << "\n" << log();
    EXPECT_TRUE(logged("ERROR: untaring JRE was unsuccessful")) << row.what;
  }
}

TEST(TarRulesTest, SymbolicLinkTargetsStayInside) {
  const struct {
    const char* link;
    const char* target;
    const char* path;  // nullptr: refused
  } rows[] = {
      {"jre\\bin\\java", "java.exe", "jre\\bin\\java.exe"},
      {"jre\\lib\\x", "../bin//./java.exe", "jre\\bin\\java.exe"},
      {"top", "a\\b", "a\\b"},
      {"jre\\x", "../../out", nullptr},
      {"jre\\x", "..", nullptr},  // the target directory itself
      {"jre\\x", "/abs", nullptr},
      {"jre\\x", "\\abs", nullptr},
      {"jre\\x", "C:x", nullptr},
      {"jre\\x", "nul", nullptr},
      {"jre\\x", "", nullptr},
  };
  for (const auto& row : rows) {
    std::string path;
    const bool inside = symbolicLinkTarget(row.link, row.target, path);
    EXPECT_EQ(inside, row.path != nullptr) << row.link << " -> " << row.target;
    if (row.path != nullptr) EXPECT_EQ(path, row.path) << row.link << " -> " << row.target;
  }
}

TEST_F(UntarTest, LongNames) {
  const std::string dir(90, 'd');
  const std::string name(80, 'n');
  TarHeader gnuLong("././@LongLink", 'L', gnuMagic());
  TarHeader gnuFile((dir + "/" + name).substr(0, 100), '0', gnuMagic());
  gnuFile.prefix = "not a prefix in the GNU form";
  TarHeader pax("PaxHeaders/x", 'x');
  const std::string record = "path=" + dir + "/pax-" + name + "\n";
  const std::string paxData = std::to_string(record.size() + 4) + " " + record;  // 3-digit length
  TarHeader ustar(name);
  ustar.prefix = dir;
  TarBuilder tar;
  tar.directory(dir + "/")
      .entry(gnuLong, dir + "/" + name + std::string(1, '\0')).entry(gnuFile, "gnu")
      .entry(pax, paxData).file("truncated-by-pax", "pax")
      .entry(ustar, "ustar")
      .end();
  ASSERT_TRUE(untar(tar.bytes())) << log();
  EXPECT_EQ(readBinaryFile(at(dir + "\\" + name)), "ustar");  // written by gnu, then ustar
  EXPECT_EQ(readBinaryFile(at(dir + "\\pax-" + name)), "pax");
  EXPECT_TRUE(logged("extracting " + dir + "\\" + name + " (size 3)")) << log();
  EXPECT_FALSE(pathExists(at("truncated-by-pax")));
}

// Every archive here is refused, with the reason logged, and nothing lands outside "jre".
TEST_F(UntarTest, CorruptArchivesAreRefused) {
  const std::string escaped = dir_.file("escaped");
  auto withSize = [](const char* size) {
    TarHeader h("bad-size");
    h.size = field(size);
    return TarBuilder().file("ok", "ok").entry(h, "data").end().bytes();
  };
  TarHeader noMagic("jre/x");
  noMagic.magic = std::string(8, '\0');
  TarHeader huge("huge");
  huge.size = field("17777777777\0");
  TarHeader longGnu("././@LongLink", 'L');
  const std::string complete = TarBuilder().file("a", std::string(3000, 'a')).end().bytes();
  const struct {
    const char* what;
    std::string tar;
    std::string error;
  } rows[] = {
      {"absolute", TarBuilder().file("ok", "").file(escaped, "x").end().bytes(),
       "invalid entry name " + escaped},
      {"dot-dot", TarBuilder().file("../escaped", "x").end().bytes(), "invalid entry name ../escaped"},
      {"drive", TarBuilder().file("C:escaped", "x").end().bytes(), "invalid entry name C:escaped"},
      {"dot-dot directory", TarBuilder().directory("../d/").end().bytes(), "invalid entry name ../d/"},
      {"letter in size", withSize("0000000000x\0"), "invalid size field"},
      {"digit 8 in size", withSize("00000000008\0"), "invalid size field"},
      {"no magic", TarBuilder().entry(noMagic, "x").end().bytes(), "no magic number"},
      {"only directories", TarBuilder().directory("jre/").directory("jre/bin/").end().bytes(),
       "no magic number"},
      {"empty archive", TarBuilder().end().bytes(), "no magic number"},
      {"cut in a file", complete.substr(0, 1024), "sizes don't match: 512, 3000"},
      {"cut at a block boundary", complete.substr(0, 512 * 7), "unexpected eof"},
      {"cut in a header", complete.substr(0, 512 * 7 + 100), "unexpected eof"},
      {"huge size, short body", TarBuilder().entry(huge, "short").end().bytes(),
       "sizes don't match: 1536, 2147483647"},
      {"long name beyond the limit", TarBuilder().entry(longGnu, std::string(5000, 'a')).end().bytes(),
       "invalid extended header"},
      {"malformed pax record",
       TarBuilder().entry(TarHeader("p", 'x'), "99 path=x\n").file("f", "").end().bytes(),
       "invalid extended header"},
  };
  for (const auto& row : rows) {
    resetLogForTesting();
    EXPECT_FALSE(untar(row.tar)) << row.what;
    EXPECT_TRUE(logged("ERROR: " + row.error)) << row.what << "\n" << log();
    EXPECT_TRUE(logged("ERROR: untaring JRE was unsuccessful")) << row.what;
    EXPECT_FALSE(pathExists(escaped)) << row.what;
  }
  EXPECT_LT(readBinaryFile(at("huge")).size(), 2000u);
}

TEST_F(UntarTest, GzipLayerFailures) {
  const std::string tar = TarBuilder().file("a", std::string(3000, 'a')).end().bytes();
  ASSERT_TRUE(writeGzip(archive(), tar));
  const std::string gz = readBinaryFile(archive());
  const struct {
    const char* what;
    std::string bytes;
    const char* error;
  } rows[] = {
      {"trailer cut off", gz.substr(0, gz.size() - 8), "unexpected eof"},
      {"CRC wrong", gz.substr(0, gz.size() - 8) + std::string(4, '\x55') + gz.substr(gz.size() - 4),
       "gzread failed"},
  };
  for (const auto& row : rows) {
    resetLogForTesting();
    const std::string path = dir_.write("cut.tar.gz", row.bytes);
    EXPECT_FALSE(untarGz(path, target(), {}, fileSystemTarget())) << row.what;
    EXPECT_TRUE(logged("ERROR: " + std::string(row.error))) << row.what << "\n" << log();
  }
  resetLogForTesting();
  EXPECT_FALSE(untarGz(dir_.file("missing.tar.gz"), target(), {}, fileSystemTarget()));
  EXPECT_TRUE(logged("ERROR: Could not open gz-file"));
}

TEST_F(UntarTest, WriteErrorIsStreamError) {
  ExtractionTarget failing = fileSystemTarget();
  failing.createFile = [](void*, const std::string&, ByteSink* sink) {
    sink->write = [](void*, const void*, uint32_t, uint32_t*, uint32_t* error) {
      *error = 112;
      return false;
    };
    return true;
  };
  failing.closeFile = [](void*, ByteSink&) {};
  EXPECT_FALSE(untar(TarBuilder().file("a", "data").end().bytes(), {}, failing));
  EXPECT_TRUE(logged("ERROR: stream error")) << log();
  EXPECT_TRUE(logged("ERROR: extract file failed"));
}

TEST_F(UntarTest, FileOutsideAnExtractedDirectoryIsFatal) {
  writeGzip(archive(), TarBuilder().file("missing/java.exe", "x").end().bytes());
  EXPECT_EQ(exitCodeOf([&] { untarGz(archive(), target(), {}, fileSystemTarget()); }), 1);
  EXPECT_TRUE(logged("ERROR: Could not open file missing\\java.exe")) << log();
}

// Damaged bytes anywhere in a small archive (mostly headers): the reader answers, or ends
// the run with exit code 1 for a file it cannot create, and never crashes or hangs. Most
// useful in the sanitizer build.
TEST_F(UntarTest, DamagedArchivesNeverCrash) {
  TarHeader longName("././@LongLink", 'L', gnuMagic());
  TarHeader pax("p", 'x');
  TarHeader link("jre/bin/link", '2');
  const std::string base = TarBuilder()
                               .directory("jre/").directory("jre/bin/")
                               .file("jre/bin/java.exe", std::string(700, 'j'))
                               .entry(longName, "jre/bin/" + std::string(120, 'n'))
                               .file("x", "long")
                               .entry(pax, "16 path=jre/pax\n").file("y", "pax")
                               .entry(link).file("jre/z", "")
                               .end().bytes();
  std::mt19937 random(20240601);
  for (int round = 0; round < 200; ++round) {
    std::string tar = base;
    for (unsigned n = 1 + random() % 4; n > 0; --n) tar[random() % tar.size()] = static_cast<char>(random());
    resetLogForTesting();
    const int code = exitCodeOf([&] { untar(tar); });
    EXPECT_TRUE(code == -1 || code == 1) << round;
  }
}

namespace {
std::vector<int> positions;
uint64_t fakeNow = 0;
uint64_t fakeStep = 0;
uint64_t fakeClock() { return fakeNow += fakeStep; }
void recordPosition(void*, int position) { positions.push_back(position); }
}  // namespace

TEST_F(UntarTest, ProgressMovesTowards200AtMostEvery200Ms) {
  const std::string data(5 * kTarCopyChunk, 'x');  // five chunks
  const std::string tar = TarBuilder().file("a", data).file("b", "b").end().bytes();
  int dialog = 0;
  TarProgress progress{&dialog, static_cast<int64_t>(tar.size()), &recordPosition, &fakeClock};
  for (uint64_t step : {100, 201}) {
    positions.clear();
    fakeStep = step;
    ASSERT_TRUE(untar(tar, progress));
    // Each file's header and first chunk always; later chunks only once more than 200 ms
    // have passed (100 ms steps: the fourth chunk of five).
    const size_t expected = step > kTarProgressIntervalMs ? 2 + 5 + 1 : 2 + 2 + 1;
    EXPECT_EQ(positions.size(), expected) << step;
    EXPECT_EQ(positions.front(), 100);
    for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i], positions[i - 1]);
    EXPECT_LE(positions.back(), 200);
    EXPECT_GE(positions.back(), 190);
  }
  positions.clear();
  ASSERT_TRUE(untar(tar, TarProgress{nullptr, 1000, &recordPosition, &fakeClock}));
  EXPECT_TRUE(positions.empty());
}

TEST(TarRulesTest, InflateThreadsStayWithinTheMemoryBound) {
  const struct {
    unsigned requested, processors;
    uint32_t memberSize;
    unsigned threads;
  } rows[] = {
      {0, 2, 4 << 20, 2},                   // one per processor
      {0, 0, 4 << 20, 1},                   // processors unknown
      {0, 64, 4 << 20, 6},                  // 8 slots of 4 MiB and 6 packed members fit 64 MiB
      {0, 64, kMaxParallelMemberSize, 2},
      {100, 1, kMinParallelMemberSize, kMaxInflateThreads},
      {1, 64, 4 << 20, 1},
  };
  for (const auto& row : rows) {
    const unsigned threads = inflateThreadCount(row.requested, row.processors, row.memberSize);
    EXPECT_EQ(threads, row.threads) << row.requested << " " << row.processors << " " << row.memberSize;
    const uint64_t held = uint64_t(threads + 2) * row.memberSize + threads * maxPackedMemberSize(row.memberSize);
    EXPECT_LE(held, kParallelInflateMemoryBudget) << row.processors << " " << row.memberSize;
  }
}

// Archives of gzip members that carry their sizes, as the builder writes them: inflated side
// by side when the member table holds up, read as one stream when it does not (decided
// before anything is written), and nothing of a member that fails its check is written.
TEST_F(UntarTest, SizedMembersInflateSideBySideOrAsOneStream) {
  constexpr size_t kMember = kMinParallelMemberSize;
  std::mt19937 random(18);
  auto noise = [&](size_t count) {
    std::string bytes(count, '\0');
    for (char& c : bytes) c = static_cast<char>(random());
    return bytes;
  };
  const std::string a = noise(150000), b = noise(100000);
  const std::string tar = TarBuilder().directory("lib/").file("lib/a.bin", a).file("lib/b.bin", b).file("c", "c").end().bytes();
  const std::vector<SizedMember> members = sizedGzipMembers(tar, kMember);
  ASSERT_EQ(members.size(), 4u);
  auto changed = [&](void (*change)(std::vector<SizedMember>&)) {
    std::vector<SizedMember> m = members;
    change(m);
    return joinedMembers(m);
  };
  const std::string whole = joinedMembers(members);
  const struct {
    const char* what;
    std::string bytes;
    bool ok;
    bool parallel;
  } rows[] = {
      {"intact", whole, true, true},
      {"first member without the size field",
       joinedMembers(sizedGzipMembers(tar.substr(0, kMember), kMember, false)) + whole.substr(members[0].bytes.size()),
       true, false},
      {"a size one byte short", changed([](std::vector<SizedMember>& m) {
         setCarriedSize(m[1], static_cast<uint32_t>(m[1].bytes.size() - 1));
       }), true, false},
      {"first member's size covering the second", changed([](std::vector<SizedMember>& m) {
         setCarriedSize(m[0], static_cast<uint32_t>(m[0].bytes.size() + m[1].bytes.size()));
       }), true, false},
      {"a middle member larger than the first",
       joinedMembers(sizedGzipMembers(tar.substr(0, kMember), kMember)) +
           joinedMembers(sizedGzipMembers(tar.substr(kMember), 2 * kMember)),
       true, false},
      {"one member", joinedMembers(sizedGzipMembers(tar, tar.size())), true, false},
      {"a middle member damaged", changed([](std::vector<SizedMember>& m) { m[2].bytes[100] ^= 0x20; }), false, true},
      {"the last member's CRC wrong", changed([](std::vector<SizedMember>& m) { m[3].bytes[m[3].bytes.size() - 6] ^= 1; }),
       false, true},
      {"cut within the last member", whole.substr(0, whole.size() - 100), false, false},
      // The gzip stream is sound, but the second member's size lies: it is taken as corrupt.
      {"a middle member's size covering the next", changed([](std::vector<SizedMember>& m) {
         setCarriedSize(m[1], static_cast<uint32_t>(m[1].bytes.size() + m[2].bytes.size()));
       }), false, true},
  };
  for (unsigned threads : {1u, 3u}) {
    for (const auto& row : rows) {
      const std::string what = std::string(row.what) + ", threads " + std::to_string(threads);
      resetLogForTesting();
      std::error_code ignored;
      std::filesystem::remove_all(target(), ignored);
      fileSystemTarget().createDirectory(nullptr, target());
      dir_.write("jre.tar.gz", row.bytes);
      EXPECT_EQ(untarGz(archive(), target(), {}, fileSystemTarget(), threads), row.ok) << what << "\n" << log();
      EXPECT_EQ(log().find("inflating ") != std::string::npos, row.parallel) << what << "\n" << log();
      if (row.ok) {
        EXPECT_EQ(readBinaryFile(at("lib\\a.bin")), a) << what;
        EXPECT_EQ(readBinaryFile(at("lib\\b.bin")), b) << what;
        EXPECT_EQ(readBinaryFile(at("c")), "c") << what;
      } else if (row.parallel) {
        EXPECT_TRUE(logged("ERROR: untaring JRE was unsuccessful")) << what;
        // Only bytes of members that passed their checks: a.bin ends within the third member.
        const std::string written = readBinaryFile(at("lib\\a.bin")) + readBinaryFile(at("lib\\b.bin"));
        EXPECT_LE(written.size(), (std::string(row.what).find("last") != std::string::npos ? 3 : 2) * kMember) << what;
        EXPECT_EQ(written, (a + b).substr(0, written.size())) << what;
      }
    }
  }
}

TEST_F(UntarTest, SizedMembersMoveTheBarOnlyForwardToWhereOneStreamEnds) {
  const std::string tar = TarBuilder().file("a", std::string(300000, 'a')).file("b", "b").end().bytes();
  int dialog = 0;
  TarProgress progress{&dialog, static_cast<int64_t>(tar.size()), &recordPosition, &fakeClock};
  fakeStep = 201;
  positions.clear();
  ASSERT_TRUE(untar(tar, progress));
  const std::vector<int> oneStream = positions;
  positions.clear();
  dir_.write("jre.tar.gz", joinedMembers(sizedGzipMembers(tar, kMinParallelMemberSize)));
  ASSERT_TRUE(untarGz(archive(), target(), progress, fileSystemTarget(), 2));
  ASSERT_NE(log().find("inflating 5 gzip members"), std::string::npos) << log();
  // Chunks may end at a member's end, so the steps between may differ; not the ends.
  for (size_t i = 1; i < positions.size(); ++i) EXPECT_GE(positions[i], positions[i - 1]);
  EXPECT_EQ(positions.front(), oneStream.front());
  EXPECT_EQ(positions.back(), oneStream.back());
}
