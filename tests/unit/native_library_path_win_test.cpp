// PATH and the live environment as the work sequence changes and reads them (under Wine).
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/config_table.h"
#include "jvm/native_library_path.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"
#include "support/scratch_files.h"

namespace {

std::string systemPath() {
  std::string value;
  getEnvVar("PATH", value);
  return value;
}

class NativeLibraryPathWinTest : public ::testing::Test {
 protected:
  void SetUp() override { resetLogForTesting(); }
  void TearDown() override {
    configTable().narrow.erase(CFG_NATIVE_LIBRARY_DIRECTORIES);
    const std::string log = logPathForTesting();
    if (!log.empty()) std::remove(log.c_str());
    resetLogForTesting();
  }
};

TEST_F(NativeLibraryPathWinTest, ConfiguredDirectoriesGoInFrontOfPathInBothCopies) {
  ScopedEnvVar path("PATH", "C:\\windows\\system32;C:\\windows");
  setExpansionTempDirectory("C:\\t\\qlz1.tmp_dir");
  configTable().narrow[CFG_NATIVE_LIBRARY_DIRECTORIES] = "lib;;%QUOLL_TEMPDIR%\\bin";
  prependNativeLibraryPath();
  setExpansionTempDirectory("");
  const std::string expected =
      getExeDir() + "lib;C:\\t\\qlz1.tmp_dir\\bin;C:\\windows\\system32;C:\\windows";
  EXPECT_EQ(systemPath(), expected);
  const char* runtimeCopy = std::getenv("PATH");
  ASSERT_NE(runtimeCopy, nullptr);
  EXPECT_EQ(std::string(runtimeCopy), expected);
}

TEST_F(NativeLibraryPathWinTest, AnEmptyListSetsPathToItself) {
  ScopedEnvVar path("PATH", "C:\\a;C:\\b");
  prependNativeLibraryPath();
  EXPECT_EQ(systemPath(), "C:\\a;C:\\b");
  const std::string log = readTextFile(logPathForTesting());
  EXPECT_NE(log.find("native lib dir is \n"), std::string::npos) << log;
  EXPECT_NE(log.find("Setting PATH (native libs) C:\\a;C:\\b\n"), std::string::npos) << log;
}

TEST_F(NativeLibraryPathWinTest, APreviousPathTooLongIsCutBetweenElements) {
  // 2000 elements of ten characters with their separators: 20000 in all, more than fits.
  std::string previous;
  for (int i = 0; i < 2000; ++i) {
    char element[16];
    std::snprintf(element, sizeof element, "C:\\p%05d;", i);
    previous += element;
  }
  ScopedEnvVar path("PATH", previous.c_str());
  configTable().narrow[CFG_NATIVE_LIBRARY_DIRECTORIES] = "lib";
  prependNativeLibraryPath();
  const std::string prefix = getExeDir() + "lib;";
  const std::string now = systemPath();
  ASSERT_EQ(now.compare(0, prefix.size(), prefix), 0) << now.substr(0, 200);
  EXPECT_LE(now.size(), kMaxPathValue);
  EXPECT_GT(now.size(), kMaxPathValue - 10);
  const std::string kept = now.substr(prefix.size());
  EXPECT_EQ(previous.compare(0, kept.size() + 1, kept + ";"), 0) << "only whole elements are kept";
  EXPECT_EQ(std::string(std::getenv("PATH")), now);
  const std::string log = readTextFile(logPathForTesting());
  EXPECT_NE(log.find("ERROR: previous PATH does not fit behind the native library directories"),
            std::string::npos);
}

TEST_F(NativeLibraryPathWinTest, ExpansionSeesTheEnvironmentAsItIsNow) {
  ScopedEnvVar first("WORK_TEST_VAR", "one");
  std::string text = "${WORK_TEST_VAR}|${work_test_var}|%WORK_TEST_VAR%";
  expandVariables(text);
  EXPECT_EQ(text, "one|${work_test_var}|%WORK_TEST_VAR%");
  SetEnvironmentVariableA("WORK_TEST_VAR", "two");
  text = "${WORK_TEST_VAR}";
  expandVariables(text);
  EXPECT_EQ(text, "two");
  text = "%QUOLL_EXEDIR%x";
  expandVariables(text);
  EXPECT_EQ(text, getExeDir() + "x");
}

}  // namespace
