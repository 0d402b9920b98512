// The pure rules the Linux launcher adds: where an ELF image's payload starts, the libjvm.so
// candidates of a runtime home, the runtimes a system keeps, the class path in the VM's form,
// link texts, the lock file's name and the terminal's progress line.
#include <gtest/gtest.h>

#include <cstring>

#include "jvm/class_path.h"
#include "jvm/jvm_library.h"
#include "payload/elf_layout.h"
#include "runtime/untar.h"
#include "runtime_search/search_sequence.h"
#include "runtime_search/version_cache.h"
#include "session/single_instance.h"
#include "ui/terminal_progress.h"

namespace {
using Strings = std::vector<std::string>;

void put(std::string& image, size_t at, uint64_t value, size_t width) {
  for (size_t i = 0; i < width; ++i) image[at + i] = static_cast<char>(value >> (8 * i));
}

// An ELF64 image of `size` bytes: section header table at `tableAt` with one section at
// offset 0x40 of `sectionSize` bytes (type `type`).
std::string elfImage(size_t size, uint64_t tableAt, uint64_t sectionSize, uint32_t type = 1, char elfClass = 2) {
  std::string image(size, '\0');
  std::memcpy(&image[0], "\x7f" "ELF", 4);
  image[4] = elfClass;
  image[5] = 1;
  put(image, 0x28, tableAt, 8);
  put(image, 0x3A, 64, 2);
  put(image, 0x3C, 1, 2);
  if (tableAt + 64 <= size) {
    put(image, tableAt + 4, type, 4);
    put(image, tableAt + 0x18, 0x40, 8);
    put(image, tableAt + 0x20, sectionSize, 8);
  }
  return image;
}

bool payloadStart(const std::string& image, int64_t& start) {
  std::string problem;
  return elfPayloadStart(
      [&image](int64_t at, void* buffer, size_t count) {
        if (at < 0 || size_t(at) + count > image.size()) return false;
        std::memcpy(buffer, image.data() + at, count);
        return true;
      },
      static_cast<int64_t>(image.size()), start, problem);
}
}  // namespace

TEST(ElfPayloadStart, TheLatestEndOfTablesAndSections) {
  struct Row {
    const char* what;
    std::string image;
    bool ok;
    int64_t start;
  };
  const Row rows[] = {
      {"table last", elfImage(0x400, 0x200, 0x100), true, 0x240},
      {"section data after the table", elfImage(0x400, 0x100, 0x300), true, 0x340},
      {".bss occupies no file bytes", elfImage(0x400, 0x100, 0x10000, 8), true, 0x140},
      {"table outside the file", elfImage(0x100, 0x200, 0x10), false, 0},
      {"section outside the file", elfImage(0x400, 0x100, 0x1000), false, 0},
      {"32-bit image", elfImage(0x400, 0x200, 0x10, 1, 1), false, 0},
  };
  for (const Row& row : rows) {
    int64_t start = 0;
    EXPECT_EQ(payloadStart(row.image, start), row.ok) << row.what;
    if (row.ok) {
      EXPECT_EQ(start, row.start) << row.what;
    }
  }
}

TEST(LinuxRuntimes, LibjvmCandidatesAndSystemHomes) {
  EXPECT_EQ(libjvmCandidates("/j/", ""),
            (Strings{"/j/lib/server/libjvm.so", "/j/lib/client/libjvm.so", "/j/jre/lib/amd64/server/libjvm.so",
                     "/j/jre/lib/amd64/client/libjvm.so", "/j/lib/amd64/server/libjvm.so",
                     "/j/lib/amd64/client/libjvm.so"}));
  EXPECT_EQ(libjvmCandidates("/j", "client")[0], "/j/lib/client/libjvm.so");
  EXPECT_EQ(libjvmCandidates("/j", "client")[1], "/j/lib/server/libjvm.so");
  EXPECT_EQ(systemRuntimeHomes("/usr/lib/jvm", {".", "..", "java-11", "default-java", ".hidden", "java-17"}),
            (Strings{"/usr/lib/jvm/default-java", "/usr/lib/jvm/java-17", "/usr/lib/jvm/java-11"}));
}

TEST(LinuxForms, ClassPathLinkTextLockAndProgressLine) {
  EXPECT_EQ(posixClassPathOption("-Djava.class.path=/t\\a.jar;/t\\lib\\b.jar;"),
            "-Djava.class.path=/t/a.jar:/t/lib/b.jar:");
  EXPECT_EQ(posixClassPathOption("-Dx=a;b\\c"), "-Dx=a;b\\c");
  EXPECT_EQ(symbolicLinkText("lib\\current", "lib\\libjvm.so"), "../lib/libjvm.so");
  EXPECT_EQ(symbolicLinkText("l", "bin\\java"), "bin/java");
  const std::string lock = instanceLockPath("/tmp", "/home/u/setup", 1000);
  EXPECT_EQ(lock.compare(0, 14, "/tmp/vnq-1000-"), 0) << lock;
  EXPECT_EQ(lock, instanceLockPath("/tmp", "/home/u/setup", 1000));
  EXPECT_NE(lock, instanceLockPath("/tmp", "/home/u/setup2", 1000));
  EXPECT_EQ(terminalProgressLine(0, 400, 200), "[###############...............]  50%");
  EXPECT_EQ(terminalProgressLine(100, 400, 900), "[##############################] 100%");
  EXPECT_EQ(terminalProgressLine(5, 5, 5), "[..............................]   0%");
}

TEST(LinuxVersionCache, LinesAndFile) {
  const std::string line = versionCacheLine("/j/bin/java", 0x1234abcdULL, "17.0.15");
  EXPECT_EQ(line, "000000001234abcd\t17.0.15\t/j/bin/java");
  std::string exe, version;
  uint64_t stamp = 0;
  ASSERT_TRUE(parseVersionCacheLine(line, exe, stamp, version));
  EXPECT_EQ(exe, "/j/bin/java");
  EXPECT_EQ(stamp, 0x1234abcdULL);
  EXPECT_EQ(version, "17.0.15");
  for (const char* bad : {"", "000000001234abcd\t\t/j", "00000000123xabcd\t1\t/j", "000000001234abcd\t1"}) {
    EXPECT_FALSE(parseVersionCacheLine(bad, exe, stamp, version)) << bad;
  }
  EXPECT_EQ(versionCacheLine("/j\nx", 1, "1"), "");
  EXPECT_EQ(versionCacheLine("/j", 1, "1\t2"), "");
  EXPECT_EQ(versionCacheFile("/c/", "/h"), "/c/vantrel/jvm-versions");
  EXPECT_EQ(versionCacheFile("relative", "/h"), "/h/.cache/vantrel/jvm-versions");
  EXPECT_EQ(versionCacheFile(nullptr, nullptr), "");
}
