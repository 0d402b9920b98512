// The Linux runtime's file system under the archive reader: permission bits, symbolic links
// that stay inside (made in resolved form), and no writing through a link.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "runtime/untar.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"
#include "support/tar_archives.h"
#include "support/test_exit.h"

namespace {
std::string linkText(const std::string& path) {
  char buffer[512];
  const ssize_t n = readlink(path.c_str(), buffer, sizeof buffer);
  return n < 0 ? std::string() : std::string(buffer, static_cast<size_t>(n));
}

TarHeader symbolicLinkEntry(const std::string& name, const std::string& target) {
  TarHeader header(name, '2');
  header.linkName = target;
  return header;
}

class LinuxRuntimeArchive : public QuietLogTest {};

bool untar(const ScratchDir& dir, TarBuilder& archive) {
  const std::string path = dir.file("jre.tar.gz");
  EXPECT_TRUE(writeGzip(path, archive.end().bytes()));
  const std::string target = dir.file("jre");
  mkdir(target.c_str(), 0755);
  return untarGz(path, target, TarProgress(), runtimeTarget());
}
}  // namespace

TEST_F(LinuxRuntimeArchive, KeepsModesAndInsideLinks) {
  ScratchDir dir;
  TarHeader java("bin/java");
  java.mode = "0000755";
  TarBuilder archive;
  archive.directory("bin/").directory("lib/").entry(java, "#!").file("lib/libjvm.so", "elf")
      .entry(symbolicLinkEntry("lib/current", "libjvm.so")).entry(symbolicLinkEntry("bin/jvm", "./../lib//libjvm.so"));
  ASSERT_TRUE(untar(dir, archive));
  struct stat info;
  ASSERT_EQ(stat(dir.file("jre/bin/java").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0755u);
  ASSERT_EQ(stat(dir.file("jre/lib/libjvm.so").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0644u);
  EXPECT_EQ(linkText(dir.file("jre/lib/current")), "../lib/libjvm.so");
  EXPECT_EQ(linkText(dir.file("jre/bin/jvm")), "../lib/libjvm.so");
  EXPECT_EQ(readTextFile(dir.file("jre/bin/jvm")), "elf");
}

TEST_F(LinuxRuntimeArchive, RefusesLinksLeadingOutAndWritesThroughLinks) {
  struct Row {
    const char* what;
    TarBuilder archive;
  };
  Row rows[] = {
      {"absolute link", TarBuilder().file("a", "x").entry(symbolicLinkEntry("l", "/etc/passwd"))},
      {"link climbing out", TarBuilder().file("a", "x").entry(symbolicLinkEntry("d/l", "../../outside"))},
      {"file through an inside link", TarBuilder().directory("d/").file("a", "x").entry(symbolicLinkEntry("e", "d"))
                                          .file("e/x", "through")},
  };
  for (Row& row : rows) {
    ScratchDir dir;
    // Refused as a corrupt archive, or (a file that cannot be created) the end of the run.
    bool extracted = true;
    const int code = exitCodeOf([&] { extracted = untar(dir, row.archive); });
    EXPECT_TRUE(!extracted || code == 1) << row.what;
    EXPECT_FALSE(pathExists(dir.file("jre/d/x"))) << row.what;
    EXPECT_EQ(linkText(dir.file("jre/l")), "") << row.what;
    EXPECT_EQ(linkText(dir.file("jre/d/l")), "") << row.what;
  }
}
