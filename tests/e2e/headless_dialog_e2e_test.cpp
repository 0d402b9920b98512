// Without a display no window can be made: a start that would show the progress dialog must
// still do its work (on the main thread), not end silently.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/config_table.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "support/wine_run.h"

namespace {

TEST(HeadlessDialogE2ETest, WorkRunsWhenTheProgressDialogCannotBeShown) {
  if (std::getenv("DISPLAY") != nullptr && *std::getenv("DISPLAY") != '\0') {
    GTEST_SKIP() << "a display is present; the progress dialog would be shown";
  }
  const std::string dir = makeTempDirectory("headless-dialog-");
  const std::string exe = dir + "/setup.exe";
  writeMediaFile(exe, PayloadBytes()
                          .header()
                          .narrowRecords({{CFG_EXECUTABLE_TYPE, "2"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}})
                          .wideRecords({{CFG_WMSG_CAPTION, u"Setup"}})
                          .bytes());
  WineCommand command;
  command.program = exe;
  command.environment = {{"QUOLL_LOG", "yes"}};
  command.unset = {"VANTREL_LOG", "DISPLAY"};
  command.workingDirectory = dir;
  const WineResult result = runUnderWine(command);
  EXPECT_FALSE(result.timedOut);

  const std::vector<std::string> logs = logsOfRunsIn(dir);
  ASSERT_EQ(logs.size(), 1u);
  std::string log;
  for (char c : readWholeFile(logs[0])) {
    if (c != '\r') log.push_back(c);
  }
  const size_t failed = log.find("\nERROR: Could not show the progress dialog");
  const size_t work = log.find("\nStarting work\n");
  EXPECT_NE(failed, std::string::npos) << log;
  EXPECT_NE(work, std::string::npos) << log;
  EXPECT_LT(failed, work) << log;
  for (const std::string& kept : logs) std::remove(kept.c_str());
  removeTree(dir);
}

}  // namespace
