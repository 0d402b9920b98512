#include "platform/temp_dir.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

namespace {

TEST(TempDirNamesTest, NamesAreBuiltFromTheRoot) {
  EXPECT_EQ(joinPath("C:\\t", "x"), "C:\\t\\x");
  EXPECT_EQ(joinPath("C:\\t\\", "x"), "C:\\t\\x");
  EXPECT_EQ(writableProbePath("C:\\t"), "C:\\t\\qlz_w_testdir");
  EXPECT_EQ(writableProbePath("C:\\t\\"), "C:\\t\\\\qlz_w_testdir");
  EXPECT_EQ(fallbackTempFileName("C:\\t", 4711), "C:\\t\\qlz4711");
  EXPECT_EQ(fallbackTempFileName("C:\\t\\", 0), "C:\\t\\qlz0");
  EXPECT_EQ(processFileName("C:\\t\\", 4711), "C:\\t\\qlz_p4711.tmp");
  EXPECT_EQ(processFileName("C:\\t", 4294967295u), "C:\\t\\qlz_p4294967295.tmp");
  EXPECT_EQ(launcherTempDirFor("C:\\t\\qlz1A2B.tmp"), "C:\\t\\qlz1A2B.tmp_dir");
}

TEST(TempDirNamesTest, HomeRootIsDrivePlusPathWithinTheBuffer) {
  EXPECT_EQ(homeTempRoot("C:", "\\Users\\me"), "C:\\Users\\me");
  EXPECT_EQ(homeTempRoot("", ""), "");
  EXPECT_EQ(homeTempRoot("C:", std::string(9000, 'p')).size(), kMaxNarrowPath);
}

TEST(TempDirNamesTest, RootsWithUnrepresentableCharactersNeedReplacing) {
  const std::string longForm = "C:\\Users\\J?rg\\Temp\\";
  const std::string plain = "C:\\Users\\JRG~1\\Temp\\";
  EXPECT_TRUE(tempRootNeedsReplacement(plain, &longForm));
  EXPECT_FALSE(tempRootNeedsReplacement(plain, &plain));
  EXPECT_FALSE(tempRootNeedsReplacement(plain, nullptr));
  // Without a long form the root itself decides: "?" never names a file.
  EXPECT_TRUE(tempRootNeedsReplacement(longForm, nullptr));
}

TEST(TempDirNamesTest, EmptyDirectoryLeavesRelativeDotPathsAlone) {
  EXPECT_FALSE(mayEmptyDirectory(""));
  EXPECT_FALSE(mayEmptyDirectory("."));
  EXPECT_FALSE(mayEmptyDirectory("..\\x"));
  EXPECT_TRUE(mayEmptyDirectory("C:\\t\\qlz1.tmp_dir"));
}

TEST(TempDirNamesTest, ReplacementRootsAreTriedInOrder) {
  struct Row {
    const char* name;
    std::set<std::string> writable;  // before any directory is made
    std::string chosen;
    bool makesTmp;
  } rows[] = {
      {"windows temp", {"W\\temp", "c:\\temp", "W"}, "W\\temp", false},
      {"c:\\temp", {"c:\\temp", "c:\\tmp", "W"}, "c:\\temp", false},
      {"c:\\tmp", {"c:\\tmp", "W"}, "c:\\tmp", false},
      {"windows dir", {"W", "c:\\"}, "W", false},
      {"c:\\tmp created", {"c:\\"}, "c:\\tmp", true},
      {"nothing usable", {}, "", false},
  };
  for (const Row& row : rows) {
    std::set<std::string> writable = row.writable;
    std::vector<std::string> made;
    const std::string chosen = chooseReplacementTempRoot(
        "W", [&](const std::string& dir) { return writable.count(dir) > 0; },
        [&](const std::string& dir) {
          made.push_back(dir);
          writable.insert(dir);
        });
    EXPECT_EQ(chosen, row.chosen) << row.name;
    EXPECT_EQ(!made.empty(), row.makesTmp) << row.name;
  }
}

}  // namespace
