// Where the log goes on Windows when TMP does not help.
#include <gtest/gtest.h>

#include <cctype>

#include "platform/diagnostic_log.h"
#include "support/scratch_files.h"

TEST(DiagnosticLogWin, MissingTmpDirectoryPutsTheLogInDriveC) {
  resetLogForTesting();
  ScratchDir scratch;
  ScopedEnvVar tmp("TMP", scratch.file("missing").c_str());
  ScopedEnvVar quoll("QUOLL_LOG", nullptr);
  ScopedEnvVar vantrel("VANTREL_LOG", nullptr);
  logMessage("line");
  const std::string path = logPathForTesting();
  ASSERT_GT(path.size(), 12u) << path;
  EXPECT_EQ(std::tolower(static_cast<unsigned char>(path[0])), 'c') << path;
  EXPECT_EQ(path.substr(1, 11), ":\\vnq_nlog_") << path;
  EXPECT_TRUE(pathExists(path));
  deleteLogAtExit();
  EXPECT_FALSE(pathExists(path));
  resetLogForTesting();
}
