// The host equivalents of the system-bound path operations.
#include "platform/paths.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <algorithm>

#include "support/scratch_files.h"

TEST(PathsPosix, ExistenceListingAndTimes) {
  ScratchDir scratch;
  scratch.write("a.jar", "x");
  scratch.write("c.zip", "x");
  mkdir(scratch.file("d.jar").c_str(), 0700);
  EXPECT_TRUE(fileExists(scratch.file("*.jar")));
  EXPECT_FALSE(fileExists(scratch.file("*.war")));
  EXPECT_TRUE(fileExists("Q:\\"));
  for (const char* extension : {"jar", ".jar"}) {
    std::vector<std::string> names = listDirectory(scratch.path(), extension);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jar", "d.jar"})) << extension;
  }
  uint32_t lastWrite[2] = {0, 0};
  EXPECT_TRUE(findFile(scratch.file("a.jar"), lastWrite));
  EXPECT_GT(lastWrite[1], 0x01D00000u);  // after 2015 in FILETIME units
  EXPECT_FALSE(findFile(scratch.file("none")));
  EXPECT_EQ(longPathOf(scratch.file("none")), scratch.file("none"));
  EXPECT_EQ(getExeDir().back(), '/');
}
