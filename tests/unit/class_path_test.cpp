#include "jvm/class_path.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "jvm_test_env.h"
#include "platform/paths.h"
#include "support/test_exit.h"

namespace {
// An in-memory file system with Windows paths; relative paths resolve against C:\app.
struct FakeSystem {
  std::map<std::string, std::vector<std::string>> directories;
  std::set<std::string> files;
  std::map<std::string, std::pair<VariableRead, std::string>> variables;
};
FakeSystem fake;

bool fakeExists(const std::string& path) {
  return fake.directories.count(path) > 0 || fake.files.count(path) > 0;
}
std::vector<std::string> fakeList(const std::string& directory, const std::string& extension) {
  std::vector<std::string> out;
  const std::string tail = "." + extension;
  for (const std::string& name : fake.directories[directory]) {
    if (name.size() > tail.size() && name.compare(name.size() - tail.size(), tail.size(), tail) == 0) {
      out.push_back(name);
    }
  }
  return out;
}
std::string fakeAbsolute(const std::string& path) {
  return isRelativePath(path) ? "C:\\app\\" + path : path;
}
std::string fakeAbsoluteList(const std::string& list) {
  std::string out;
  for (const std::string& item : splitList(list)) out += (out.empty() ? "" : ";") + fakeAbsolute(item);
  return out;
}
void fakeExpand(std::string& text) {
  const size_t at = text.find("%QUOLL_EXEDIR%");
  if (at != std::string::npos) text.replace(at, 14, "C:\\app\\");
}
VariableRead fakeVariable(const std::string& name, std::string& value) {
  const auto found = fake.variables.find(name);
  if (found == fake.variables.end()) return VariableRead::Undefined;
  value = found->second.second;
  return found->second.first;
}
const ClassPathSystem kFake = {&fakeExists, &fakeList, &fakeAbsolute, &fakeAbsoluteList,
                               &fakeExpand, &fakeVariable};
}  // namespace

class ClassPathTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    fake = FakeSystem();
    setClassPathSystemForTesting(&kFake);
    launcherTempDir = "C:\\t";
    fake.directories["C:\\t"] = {"a.jar", "b.zip", "c.jar", "notes.txt"};
    set(CFG_MSG_FILE_NOT_FOUND, "File or directory {0} not found or empty\n");
    set(CFG_MSG_ENV_VAR_UNDEFINED, "The environment variable {0} has to be defined");
  }
  void TearDown() override {
    setClassPathSystemForTesting(nullptr);
    JvmTestBase::TearDown();
  }
  // The exit code of composing with `classPath` configured (-1: no exit), and stderr.
  int composeFails(const std::string& classPath, std::string& shown) {
    set(CFG_CLASSPATH, classPath);
    testing::internal::CaptureStderr();
    const int code = exitCodeOf([this] { composeClassPath(ClassPathOverrides(), launcherTempDir); });
    shown = testing::internal::GetCapturedStderr();
    return code;
  }
};

TEST_F(ClassPathTest, SourcesInTheirOrder) {
  fake.directories["C:\\t\\user"] = {"u.zip", "u.jar"};
  fake.directories["C:\\app\\libs"] = {"s.jar", "s.zip"};
  fake.variables["CP"] = {VariableRead::Value, "\"C:\\q\""};
  set(CFG_CLASSPATH, "A0lib\\x.jar;;D0%QUOLL_EXEDIR%d;S0libs;E0CP");
  ClassPathOverrides overrides;
  overrides.prepend = "P";
  overrides.append = "Z";
  EXPECT_EQ(composeClassPath(overrides, launcherTempDir),
            "-Djava.class.path=P;C:\\t\\a.jar;C:\\t\\c.jar;C:\\t\\b.zip;C:\\t\\user\\u.jar;"
            "C:\\t\\user\\u.zip;C:\\app\\lib\\x.jar;C:\\app\\d;C:\\app\\libs\\s.jar;"
            "C:\\app\\libs\\s.zip;C:\\q;Z");
  EXPECT_NE(logText().find("classpath entry A0lib\\x.jar;;D0%QUOLL_EXEDIR%d;S0libs;E0CP\n"),
            std::string::npos);
}

TEST_F(ClassPathTest, OverridesAndVariableValues) {
  fake.variables["SEP"] = {VariableRead::Value, "C:\\v;"};
  fake.variables["ONE"] = {VariableRead::Value, "\""};
  fake.variables["EMPTY"] = {VariableRead::Empty, ""};
  struct Row { const char* configured; const char* replace; const char* append; const char* tail; } rows[] = {
      {"", "", "", ""},
      {"A0ignored", "R1;R2", "Z", "R1;R2;Z"},    // the replace override hides CFG_CLASSPATH
      {"", "R;", "Z", "R;Z"},                    // no doubled separator
      {"E0SEP", "", "", "C:\\v;"},
      {"E0ONE", "", "", "\";"},                  // one quote is no quoted value
      {"E0EMPTY;E0UNSET;S0nodir;Q0x", "", "", ""},  // optional misses add nothing
  };
  for (const Row& row : rows) {
    set(CFG_CLASSPATH, row.configured);
    ClassPathOverrides overrides;
    overrides.replace = row.replace;
    overrides.append = row.append;
    EXPECT_EQ(composeClassPath(overrides, launcherTempDir),
              std::string("-Djava.class.path=C:\\t\\a.jar;C:\\t\\c.jar;C:\\t\\b.zip;") + row.tail)
        << row.configured << " / " << row.replace;
  }
}

TEST_F(ClassPathTest, MandatoryEntries) {
  fake.directories["C:\\app\\empty"] = {};
  fake.files.insert("C:\\app\\lib\\y.jar");
  fake.variables["EMPTY"] = {VariableRead::Empty, ""};
  fake.variables["CP"] = {VariableRead::Value, "C:\\cp"};
  struct Row { const char* entry; int code; const char* shown; } rows[] = {
      {"A1lib\\y.jar", -1, ""},
      {"S1empty", -1, ""},                  // an existing empty directory is enough
      {"E1CP", -1, ""},
      {"A1lib\\x.jar", 1, "File or directory lib\\x.jar not found or empty\n"},
      {"D1%QUOLL_EXEDIR%gone", 1, "File or directory C:\\app\\gone not found or empty\n"},
      {"S1nodir", 1, "File or directory nodir not found or empty\n"},
      {"E1UNSET", 1, "The environment variable UNSET has to be defined"},
      {"E1EMPTY", 1, "File or directory EMPTY not found or empty\n"},
      {"X1what", 1, "File or directory what not found or empty\n"},
  };
  for (const Row& row : rows) {
    std::string shown;
    EXPECT_EQ(composeFails(row.entry, shown), row.code) << row.entry;
    EXPECT_EQ(shown.find(row.shown), 0u) << row.entry << ": " << shown;
  }
}

TEST_F(ClassPathTest, LengthLimitIsEnforcedNotCut) {
  const std::string prefix = "-Djava.class.path=C:\\t\\a.jar;C:\\t\\c.jar;C:\\t\\b.zip;";
  ClassPathOverrides overrides;
  overrides.replace = std::string(kMaxClassPathOption - prefix.size(), 'r');
  EXPECT_EQ(composeClassPath(overrides, launcherTempDir).size(), kMaxClassPathOption);

  overrides.replace.push_back('r');
  testing::internal::CaptureStderr();
  EXPECT_EQ(exitCodeOf([&] { composeClassPath(overrides, launcherTempDir); }), 1);
  EXPECT_EQ(testing::internal::GetCapturedStderr().find(kClassPathTooLong), 0u);

  // Many archives are refused as they come, long before the whole list is built.
  std::vector<std::string>& names = fake.directories["C:\\t\\user"];
  for (int i = 0; i < 5000; ++i) names.push_back("archive-number-" + std::to_string(i) + ".jar");
  std::string shown;
  EXPECT_EQ(composeFails("", shown), 1);
  EXPECT_EQ(shown.find(kClassPathTooLong), 0u);
}
