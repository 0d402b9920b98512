#include "jvm/native_library_path.h"

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(NativeLibraryPathTest, DirectoriesGoInFrontOfTheOldPath) {
  struct Row {
    const char* directories;
    const char* oldPath;
    const char* expected;
  } rows[] = {
      {"C:\\app\\lib;C:\\app\\bin", "C:\\Windows", "C:\\app\\lib;C:\\app\\bin;C:\\Windows"},
      {"C:\\app\\lib;", "C:\\Windows", "C:\\app\\lib;C:\\Windows"},
      {"", "C:\\Windows;C:\\x", "C:\\Windows;C:\\x"},
      {"C:\\app\\lib", "", "C:\\app\\lib;"},
      {"", "", ""},
  };
  for (const Row& row : rows) {
    const NativeLibraryPath path = composeNativeLibraryPath(row.directories, row.oldPath);
    EXPECT_EQ(path.value, row.expected) << row.directories << " + " << row.oldPath;
    EXPECT_FALSE(path.oldPathCut);
    EXPECT_FALSE(path.directoriesCut);
  }
}

TEST(NativeLibraryPathTest, AnOldPathThatDoesNotFitLosesWholeElementsFromItsEnd) {
  const std::string dirs = "C:\\app\\lib";  // 10 bytes, 11 with the separator
  const std::string first(8000, 'a');
  const std::string second(8000, 'b');
  const std::string third(400, 'c');
  struct Row {
    std::string oldPath;
    std::string kept;
    bool cut;
  } rows[] = {
      {first + ";" + second, first + ";" + second, false},  // 16012: fits
      {first + ";" + second + ";" + third, first + ";" + second, true},
      {std::string(kMaxPathValue - 11, 'x'), std::string(kMaxPathValue - 11, 'x'), false},
      {std::string(kMaxPathValue - 10, 'x'), "", true},  // one element, one byte too long
  };
  for (const Row& row : rows) {
    const NativeLibraryPath path = composeNativeLibraryPath(dirs, row.oldPath);
    EXPECT_EQ(path.value, dirs + ";" + row.kept) << row.oldPath.size();
    EXPECT_EQ(path.oldPathCut, row.cut) << row.oldPath.size();
    EXPECT_LE(path.value.size(), kMaxPathValue);
    EXPECT_FALSE(path.directoriesCut);
  }
}

TEST(NativeLibraryPathTest, DirectoriesThatAloneDoNotFitKeepWholeDirectories) {
  const std::string a(9000, 'a');
  const std::string b(9000, 'b');
  const NativeLibraryPath path = composeNativeLibraryPath(a + ";" + b, "C:\\Windows");
  EXPECT_EQ(path.value, a);
  EXPECT_TRUE(path.directoriesCut);
  EXPECT_TRUE(path.oldPathCut);
}

}  // namespace
