#include "base/error_report.h"

#include <gtest/gtest.h>

#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"
#include "support/test_exit.h"

TEST(ErrorReportRules, SubstitutePlaceholder) {
  struct Row { const char* text; const char* arg; const char* out; } rows[] = {
      {"File or directory {0} not found or empty\n", "C:\\x",
       "File or directory C:\\x not found or empty\n"},
      {"{0} and {0}", "a", "a and {0}"},
      {"no placeholder", "a", "no placeholder"},
      {"keep {0} as stored", nullptr, "keep {0} as stored"},
      {"{0}", "", ""},
      {"arg {0}", "{0}", "arg {0}"},  // the argument is not searched again
      {"", "a", ""},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(substitutePlaceholder(row.text, row.arg), row.out) << row.text;
  }
}

TEST(ErrorReportRules, ComposeText) {
  EXPECT_EQ(composeErrorText("Failed", "c:\\tmp\\vnq_nlog_1"), "Failed\n\nLog: c:\\tmp\\vnq_nlog_1");
  EXPECT_EQ(composeErrorText("Failed", nullptr), "Failed");
  EXPECT_EQ(composeWideErrorText(u"F\u00E4il", "c:\\l"), u"F\u00E4il\n\nLog: c:\\l");
  EXPECT_EQ(composeWideErrorText(u"F", nullptr), u"F");
}

class ErrorReportTest : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    saved = configTable();
  }
  void TearDown() override {
    QuietLogTest::TearDown();
    configTable() = saved;
  }
  ConfigTable saved;
  ScratchDir dir;
  ScopedEnvVar tmp{"TMP", dir.path().c_str()};
  ScopedEnvVar quoll{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrel{"VANTREL_LOG", nullptr};
};

TEST_F(ErrorReportTest, WithoutLogTheMessageStandsAlone) {
  testing::internal::CaptureStderr();
  reportError("Something failed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Something failed\n");
}

TEST_F(ErrorReportTest, StandardErrorNamesTheLogAndKeepsIt) {
  logMessage("first line");
  const std::string path = logPathForTesting();
  testing::internal::CaptureStderr();
  reportError("Something failed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Something failed\n\nLog: " + longPathOf(path) + "\n");
  deleteLogAtExit();
  EXPECT_TRUE(pathExists(path));
}

TEST_F(ErrorReportTest, WideMessageOnStandardError) {
  logMessage("first line");
  const std::string path = logPathForTesting();
  testing::internal::CaptureStderr();
  reportWideError(u"Download failed");
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Download failed\n\nLog: " + longPathOf(path) + "\n");
}

TEST_F(ErrorReportTest, ConfigErrorsSubstituteAndFatalFormsExitWithOne) {
  configTable().narrow[CFG_MSG_FILE_NOT_FOUND] = "File or directory {0} not found or empty";
  configTable().narrow[CFG_MSG_INTERNAL_ERROR] = "An internal error occurred (error code: {0})";
  configTable().wide[CFG_WMSG_DOWNLOAD_FAILED] = u"Download failed";
  testing::internal::CaptureStderr();
  reportConfigError(CFG_MSG_FILE_NOT_FOUND, "C:\\x");
  EXPECT_EQ(exitCodeOf([] { fatalConfigError(CFG_MSG_INTERNAL_ERROR, "7"); }), 1);
  EXPECT_EQ(exitCodeOf([] { fatalError("plain"); }), 1);
  EXPECT_EQ(exitCodeOf([] { fatalWideConfigError(CFG_WMSG_DOWNLOAD_FAILED); }), 1);
  EXPECT_EQ(exitCodeOf([] { fatalConfigError(CFG_MSG_NO_MAIN_CLASS); }), 1);  // absent: empty
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "File or directory C:\\x not found or empty\n"
            "An internal error occurred (error code: 7)\n"
            "plain\n"
            "Download failed\n"
            "\n");
}

TEST_F(ErrorReportTest, ExitFormsHonourTheHook) {
  EXPECT_EQ(exitCodeOf([] { exitWith(ExitCode::NoRuntimeQuiet); }), 83);
  EXPECT_EQ(exitCodeOf([] { exitRunningHandlers(ExitCode::Success); }), 0);
}
