#include "platform/paths.h"

#include <gtest/gtest.h>

#include "base/error_report.h"
#include "support/test_exit.h"

TEST(Paths, CollapseBackslashes) {
  struct Row { const char* in; const char* out; } rows[] = {
      {"C:\\\\a\\\\\\b\\c", "C:\\a\\b\\c"},
      {"\\\\server\\share\\\\x", "\\\\server\\share\\x"},
      {"\\\\\\server", "\\\\server"},  // a leading pair stays, a third goes
      {"\\", "\\"},
      {"a\\\\", "a\\"},
      {"", ""},
      {"no separators", "no separators"},
  };
  for (const Row& row : rows) {
    std::string path = row.in;
    collapseBackslashes(path);
    EXPECT_EQ(path, row.out) << row.in;
  }
}

TEST(Paths, IsRelativePath) {
  struct Row { const char* path; bool relative; } rows[] = {
      {"jre", true},          {"c:jre", true},         {"\\jre\\bin", true},
      {"c:", true},           {"x", true},             {"", true},
      {"c:\\", false},        {"c:\\jre", false},      {"\\\\server\\share", false},
      {"\"c:\\jre\"", false}, {"\"\\\\server\"", false}, {"\"c:\"", true},
      {"\"jre\"", true},      {"\"\\jre\"", true},
  };
  for (const Row& row : rows) EXPECT_EQ(isRelativePath(row.path), row.relative) << row.path;
}

TEST(Paths, SplitListDropsEmptyItems) {
  EXPECT_EQ(splitList("a;;b;"), (std::vector<std::string>{"a", "b"}));
  EXPECT_EQ(splitList(";;"), std::vector<std::string>{});
  EXPECT_EQ(splitList(""), std::vector<std::string>{});
  EXPECT_EQ(splitList("a,b", ','), (std::vector<std::string>{"a", "b"}));
}

TEST(Paths, PathCandidatesAreTheAbsoluteDirectoriesOfPathInOrder) {
  using List = std::vector<std::string>;
  struct Row { const char* path; List candidates; } rows[] = {
      {"C:\\jdk\\bin;D:\\other\\", {"C:\\jdk\\bin\\java.exe", "D:\\other\\java.exe"}},
      // Relative items would resolve against the current directory: never searched.
      {".;bin;\\rooted;c:drive-relative;C:\\ok", {"C:\\ok\\java.exe"}},
      {"\"C:\\Program Files\\Java\\bin\";;\\\\server\\share", {"C:\\Program Files\\Java\\bin\\java.exe", "\\\\server\\share\\java.exe"}},
      {"", {}},
      {";;\"\";\"", {}},
  };
  for (const Row& row : rows) EXPECT_EQ(pathCandidates(row.path, "java.exe", 8191), row.candidates) << row.path;
  // A candidate over the limit is left out, the next one still counts.
  const std::string longDirectory = "C:\\" + std::string(200, 'x');
  EXPECT_EQ(pathCandidates(longDirectory + ";C:\\y", "java.exe", 100), List{"C:\\y\\java.exe"});
}

TEST(Paths, SplitCommandLine) {
  struct Row { std::u16string in; std::vector<std::u16string> out; } rows[] = {
      {u"a  b   c", {u"a", u"b", u"c"}},
      {u"  lead", {u"lead"}},
      {u"-Dx=\"a b\"", {u"-Dx=a b"}},
      {u"a\"b c\"d", {u"ab c", u"d"}},
      {u"\"\"", {u""}},
      {u"'it''s'", {u"it", u"s"}},
      {u"\"it's\" x", {u"it's", u"x"}},
      {u"'say \"hi\"'", {u"say \"hi\""}},
      {u"tab\there x", {u"tab\there", u"x"}},
      {u"c:\\path\\ \\\"q\"", {u"c:\\path\\", u"\\q"}},
      {u"", {}},
  };
  for (const Row& row : rows) {
    std::vector<std::u16string> out;
    EXPECT_TRUE(splitCommandLineChecked(row.in, out));
    EXPECT_EQ(out, row.out) << std::string(row.in.begin(), row.in.end());
  }
  std::vector<std::u16string> out;
  EXPECT_FALSE(splitCommandLineChecked(u"a don't", out));
  EXPECT_EQ(out, std::vector<std::u16string>{u"a"});
}

// Found by fuzzing: each argument searched the rest of the line for blanks and both quotes,
// so a command line of many short arguments (a 32767-character one took seconds) was read
// over and over. A line far longer than any real one must still split at once.
TEST(Paths, SplitCommandLineReadsALongLineOnce) {
  std::u16string line;
  for (int i = 0; i < 100000; ++i) line += u"a ";
  std::vector<std::u16string> out;
  EXPECT_FALSE(splitCommandLineChecked(line + u"'", out));
  EXPECT_EQ(out.size(), 100000u);
  out.clear();
  EXPECT_TRUE(splitCommandLineChecked(line + u"\"b c\" d", out));
  ASSERT_EQ(out.size(), 100002u);
  EXPECT_EQ(out[100000], u"b c");
  EXPECT_EQ(out[100001], u"d");
}

TEST(Paths, UnmatchedQuoteIsFatalWrongParameter) {
  const bool boxes = errorsInMessageBoxes();
  setErrorsInMessageBoxes(false);
  configTable().narrow[CFG_MSG_WRONG_PARAMETER] = "Wrong parameter";
  testing::internal::CaptureStderr();
  std::vector<std::u16string> out;
  EXPECT_EQ(exitCodeOf([&] { splitCommandLine(u"-Dx=\"open", out); }), 1);
  std::vector<std::string> narrow;
  EXPECT_EQ(exitCodeOf([&] { splitNarrowCommandLine("'x", narrow); }), 1);
  // Both reports name the record (a log left by an earlier test may follow each one).
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(err.rfind("Wrong parameter", 0), 0u) << err;
  EXPECT_NE(err.find("Wrong parameter", 1), std::string::npos) << err;
  configTable().narrow.erase(CFG_MSG_WRONG_PARAMETER);
  setErrorsInMessageBoxes(boxes);
}

TEST(Paths, SplitNarrowCommandLine) {
  std::vector<std::string> out;
  splitNarrowCommandLine("-Xmx64m \"-Dp=c:\\a b\" caf\xE9", out);
  EXPECT_EQ(out, (std::vector<std::string>{"-Xmx64m", "-Dp=c:\\a b", "caf\xE9"}));
}

TEST(Paths, DirectoryPatternAndDriveRoots) {
  EXPECT_EQ(directoryPattern("lib", "jar"), "lib\\*.jar");
  EXPECT_EQ(directoryPattern("lib", ".jar"), "lib\\*.jar");
  struct Row { const char* path; bool root; } rows[] = {
      {"C:\\", true}, {"q:\\.", true}, {"Q:\\.\\.", true}, {"C:", false},
      {"C:\\x", false}, {"C:\\..", false}, {"C:\\.\\", false}, {"\\", false}, {"", false},
  };
  for (const Row& row : rows) EXPECT_EQ(isDriveRoot(row.path), row.root) << row.path;
}

TEST(Paths, ModulePathTest) {
  EXPECT_TRUE(isUsableModulePath("c:\\a\\setup.exe", true));
  EXPECT_TRUE(isUsableModulePath("C:\\A\\SETUP.EXE", true));
  EXPECT_TRUE(isUsableModulePath("x.Exe", true));
  EXPECT_FALSE(isUsableModulePath("c:\\a\\setup.exe", false));  // needed "?"
  EXPECT_FALSE(isUsableModulePath("c:\\a\\setup.ex", true));
  EXPECT_FALSE(isUsableModulePath("exe", true));
}

TEST(Paths, LongPathBindingChoice) {
  struct Row { bool exists; uint32_t result, error; LongPathBinding binding; } rows[] = {
      {true, 12, 0, LongPathBinding::System},
      {true, 0, 2, LongPathBinding::System},  // file not found: the system call works
      {true, 0, 120, LongPathBinding::Emulation},
      {false, 0, 0, LongPathBinding::Emulation},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(chooseLongPathBinding(row.exists, row.result, row.error), row.binding)
        << row.exists << " " << row.result << " " << row.error;
  }
}

TEST(Paths, DirectoryPart) {
  EXPECT_EQ(directoryPart("c:\\a\\b.exe"), "c:\\a\\");
  EXPECT_EQ(directoryPart("b.exe"), "");
  EXPECT_EQ(directoryPart("c:\\"), "c:\\");
}

TEST(Paths, RelativePathsResolveAgainstTheExecutable) {
  const std::string& dir = getExeDir();
  ASSERT_FALSE(dir.empty());
  EXPECT_EQ(makeAbsolute("jre"), dir + "jre");
  EXPECT_EQ(makeAbsolute("c:\\\\x\\\\y"), "c:\\x\\y");
  EXPECT_EQ(makeAbsolute("\\\\srv\\share"), "\\\\srv\\share");
  EXPECT_EQ(absolutizePathList("a;;c:\\b;"), dir + "a;c:\\b");
  EXPECT_EQ(absolutizePathList(";;"), "");
}
