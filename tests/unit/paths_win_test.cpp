// The system-bound path operations, run under Windows (Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>

#include "platform/paths.h"
#include "support/scratch_files.h"

namespace {
std::string lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return std::tolower(c); });
  return s;
}

std::string shortPathOf(const std::string& path) {
  char buffer[MAX_PATH] = {0};
  const DWORD n = GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return n > 0 && n < MAX_PATH ? std::string(buffer, n) : std::string();
}
}  // namespace

TEST(PathsWin, RunsOnNT) { EXPECT_TRUE(isNT()); }

TEST(PathsWin, ModulePathAndExeDir) {
  char module[MAX_PATH] = {0};
  GetModuleFileNameA(nullptr, module, MAX_PATH);
  EXPECT_EQ(lower(getModulePath()), lower(module));
  EXPECT_EQ(lower(getModulePath().substr(getModulePath().size() - 4)), ".exe");
  const std::string& dir = getExeDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(dir.back(), '\\');
  EXPECT_EQ(lower(getModulePath()).rfind(lower(dir), 0), 0u);
  EXPECT_EQ(makeAbsolute("jre"), dir + "jre");
  EXPECT_EQ(absolutizePathList("a;;b"), dir + "a;" + dir + "b");
}

TEST(PathsWin, DriveRootsAndWildcards) {
  ScratchDir scratch;
  scratch.write("a.jar", "x");
  struct Row { std::string path; bool exists; } rows[] = {
      {"Q:\\", true},  // a drive that does not exist is still a root
      {"Q:\\.", true},
      {"Q:\\.\\.", true},
      {"Q:\\nothing", false},
      {scratch.file("a.jar"), true},
      {scratch.file("*.jar"), true},
      {scratch.file("?.jar"), true},
      {scratch.file("*.zip"), false},
      {scratch.path(), true},
      {scratch.file("missing"), false},
  };
  for (const Row& row : rows) EXPECT_EQ(fileExists(row.path), row.exists) << row.path;
}

TEST(PathsWin, FindFileReportsLastWriteTime) {
  ScratchDir scratch;
  const std::string path = scratch.write("f.txt", "x");
  FILETIME when;
  when.dwLowDateTime = 0x12345600;  // a multiple of what every file system stores
  when.dwHighDateTime = 0x01D00000;
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  ASSERT_TRUE(SetFileTime(file, nullptr, nullptr, &when));
  CloseHandle(file);
  uint32_t lastWrite[2] = {0, 0};
  EXPECT_TRUE(findFile(path, lastWrite));
  EXPECT_EQ(lastWrite[0], when.dwLowDateTime);
  EXPECT_EQ(lastWrite[1], when.dwHighDateTime);
  EXPECT_TRUE(findFile(path));
  lastWrite[0] = lastWrite[1] = 7;
  EXPECT_FALSE(findFile(scratch.file("missing"), lastWrite));
  EXPECT_EQ(lastWrite[0], 7u);
}

TEST(PathsWin, ListDirectoryWithOrWithoutDot) {
  ScratchDir scratch;
  scratch.write("a.jar", "x");
  scratch.write("b.JAR", "x");
  scratch.write("c.zip", "x");
  CreateDirectoryA(scratch.file("d.jar").c_str(), nullptr);
  for (const char* extension : {"jar", ".jar"}) {
    std::vector<std::string> names = listDirectory(scratch.path(), extension);
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::string>{"a.jar", "b.JAR", "d.jar"})) << extension;
  }
  EXPECT_TRUE(listDirectory(scratch.path(), "war").empty());
  EXPECT_TRUE(listDirectory(scratch.file("missing"), "jar").empty());
}

TEST(PathsWin, NormalizePath) {
  ScratchDir scratch;
  const std::string mixed = scratch.path() + "\\Sub\\..\\.\\\\File.TXT";
  const std::string expected = scratch.path() + "\\File.TXT";
  EXPECT_EQ(normalizePath(mixed, true), expected);
  EXPECT_EQ(normalizePath(mixed, false), lower(expected));
  EXPECT_EQ(normalizePath("x\\..\\Y", true), getExeDir() + "Y");
}

TEST(PathsWin, LongPathEmulation) {
  ScratchDir scratch;
  const std::string longDir = scratch.file("A Rather Long Directory Name");
  ASSERT_TRUE(CreateDirectoryA(longDir.c_str(), nullptr));
  const std::string longFile = longDir + "\\Some Long File Name.text";
  { FILE* f = fopen(longFile.c_str(), "w"); ASSERT_NE(f, nullptr); fclose(f); }
  const std::string shortFile = shortPathOf(longFile);
  ASSERT_FALSE(shortFile.empty());

  char buffer[MAX_PATH];
  uint32_t n = emulateLongPathName(shortFile.c_str(), buffer, MAX_PATH);
  ASSERT_GT(n, 0u) << GetLastError();
  EXPECT_EQ(lower(std::string(buffer, n)), lower(longFile));
  EXPECT_EQ(longPathOf(shortFile).size(), longFile.size());
  EXPECT_EQ(lower(longPathOf(shortFile)), lower(longFile));

  SetLastError(0);
  n = emulateLongPathName(shortFile.c_str(), buffer, 5);
  EXPECT_EQ(n, longFile.size() + 1);
  EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

  EXPECT_EQ(emulateLongPathName(scratch.file("missing").c_str(), buffer, MAX_PATH), 0u);
  const std::string missing = scratch.file("missing");
  EXPECT_EQ(longPathOf(missing), missing);  // a failed resolver leaves the path as it is
}
