// The no-runtime dialog on a virtual display: its text for each combination of version
// bounds, the Download button only where there is something to download, Cancel ending the
// run, Download fetching a runtime from a server on this machine (in the progress dialog
// opened just for it when the installer hides that dialog), and Locate loading a java.exe
// chosen in the file dialog (the dialog staying for another try when the choice fails to load).
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "base/config_table.h"
#include "gui/gui_session.h"
#include "support/fake_runtime.h"
#include "support/http_server.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"

namespace {

using Records = std::vector<std::pair<int32_t, std::string>>;

const char kMarkerKey[] = "SOFTWARE\\northgale\\quoll";
// The file dialog's file-name box.
constexpr int kFileNameComboId = 0x47c;

class NoRuntimeDialogTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { session_ = new GuiSession; }
  static void TearDownTestSuite() {
    delete session_;
    session_ = nullptr;
  }

  void SetUp() override {
    if (!session_->ready()) GTEST_SKIP() << "no virtual display: " << session_->skipReason();
    ASSERT_TRUE(pathExists(launcherExePath())) << "no launcher at " << launcherExePath();
    dir_ = makeTempDirectory("gui-no-runtime-");
    session_->deleteValue(kMarkerKey, "InstallStarted");
  }

  void TearDown() override {
    if (dir_.empty()) return;
    for (const std::string& log : logsOfRunsIn(dir_)) std::remove(log.c_str());
    removeTree(dir_);
    session_->cleanTemporaryFiles();
    session_->deleteValue(kMarkerKey, "InstallStarted");
  }

  // An installer with no runtime to find (type 5: the stand-in runtimes have java.exe only).
  std::string writeInstaller(const Records& extra) {
    PayloadLayout layout;
    layout.narrow = {{CFG_EXECUTABLE_TYPE, "5"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}, {CFG_MAIN_CLASS, "app.Main"}, {CFG_JRE_SEARCH_SEQUENCE, "Bno-such-dir"}};
    layout.narrow.insert(layout.narrow.end(), extra.begin(), extra.end());
    layout.wide = {{CFG_WMSG_CAPTION, u"Setup"},
                   {CFG_WMSG_NO_JRE_DOWNLOAD_OR_LOCATE, u"No %S-bit runtime; download or locate."},
                   {CFG_WMSG_NO_JRE_LOCATE, u"No %S-bit runtime; locate."},
                   {CFG_WMSG_MIN_VERSION, u"Minimum version:"},
                   {CFG_WMSG_MAX_VERSION, u"Maximum version:"},
                   {CFG_WMSG_DOWNLOAD, u"Download"},
                   {CFG_WMSG_LOCATE, u"Locate"},
                   {CFG_WMSG_CANCEL, u"Cancel"},
                   {CFG_WMSG_SELECT_JAVA_EXE, u"Select java.exe"},
                   {CFG_WMSG_DOWNLOADING, u"Downloading"},
                   {CFG_WMSG_CONNECTING, u"Connecting"},
                   {CFG_WMSG_DOWNLOAD_PROGRESS, u"%.2f MB of %.2f MB (%.1f%%), %.1f kb/s"}};
    layout.withChecksum = true;
    const std::string exe = dir_ + "/setup.exe";
    writeMediaFile(exe, buildPayload(layout));
    return exe;
  }

  BackgroundRun launch(const std::string& exe) {
    WineCommand command;
    command.program = exe;
    command.environment = {{"QUOLL_LOG", "yes"}, {"TESTJVM_RECORD", winePathOf(dir_ + "/jvm-calls.txt")}};
    command.unset = {"VANTREL_LOG", "VANTREL_JAVA_HOME", "QUOLL_JAVA_HOME", "JAVA_HOME",
                     "http_proxy", "HTTP_PROXY", "all_proxy"};
    command.workingDirectory = dir_;
    return session_->start(command);
  }

  WindowInfo noRuntimeDialog(int timeoutMs = 60000) {
    return session_->wintool("show", {"--class", "#32770", "--title", "Setup"}, timeoutMs);
  }

  std::string logs() const {
    std::string text;
    for (const std::string& log : logsOfRunsIn(dir_)) text += withoutCarriageReturns(readWholeFile(log));
    return text;
  }

  static GuiSession* session_;
  std::string dir_;
};

GuiSession* NoRuntimeDialogTest::session_ = nullptr;

TEST_F(NoRuntimeDialogTest, TextFollowsTheBoundsDownloadNeedsALocationAndCancelEndsTheRun) {
  struct Row {
    const char* location;
    const char* min;
    const char* max;
    const char* text;
  } rows[] = {
      {"http://127.0.0.1:9/jre.tar.gz", "1.6", "", "No 32-bit runtime; download or locate. (Minimum version: 1.6)"},
      {"", "1.6", "1.8", "No 32-bit runtime; locate. (Minimum version: 1.6, Maximum version: 1.8)"},
      {"http://127.0.0.1:9/jre.tar.gz", "", "1.8", "No 32-bit runtime; download or locate. (Maximum version: 1.8)"},
      {"", "", "", "No 32-bit runtime; locate."},
  };
  bool first = true;
  for (const Row& row : rows) {
    SCOPED_TRACE(row.text);
    const std::string exe = writeInstaller({{CFG_JRE_DOWNLOAD_LOCATION, row.location}, {CFG_MIN_JAVA_VERSION, row.min}, {CFG_MAX_JAVA_VERSION, row.max}});
    BackgroundRun run = launch(exe);
    const WindowInfo dialog = noRuntimeDialog();
    ASSERT_TRUE(dialog.found) << run.err() << logs();
    if (first) {
      EXPECT_TRUE(session_->screenshot("no-runtime-dialog"));
    }
    first = false;
    EXPECT_TRUE(session_->wintool("click", {"--class", "#32770", "--title", "Setup", "--id", "2"}, 5000).found);
    EXPECT_EQ(run.wait(60000), 1);

    const WindowInfo::Child* text = dialog.child(1003);
    const WindowInfo::Child* download = dialog.child(1004);
    const WindowInfo::Child* locate = dialog.child(1005);
    const WindowInfo::Child* cancel = dialog.child(2);
    ASSERT_TRUE(text && download && locate && cancel);
    EXPECT_EQ(text->text, row.text);
    EXPECT_EQ(download->visible, *row.location != '\0');
    EXPECT_EQ(download->text, "Download");
    EXPECT_EQ(locate->text, "Locate");
    EXPECT_EQ(cancel->text, "Cancel");
    EXPECT_FALSE(session_->valueExists(kMarkerKey, "InstallStarted")) << "Cancel clears the markers";
    EXPECT_NE(logs().find("\nDownload location: " + std::string(row.location) + "\n"), std::string::npos) << logs();
    for (const std::string& log : logsOfRunsIn(dir_)) std::remove(log.c_str());
    session_->cleanTemporaryFiles();
  }
}

TEST_F(NoRuntimeDialogTest, DownloadRunsInTheProgressDialogOpenedForIt) {
  const std::string home = dir_ + "/served-rt";
  makeFakeRuntime(home);
  const std::string archive = runtimeArchiveOf(home);
  ASSERT_FALSE(archive.empty()) << "tar failed";
  LocalHttpServer server({{"/jre.tar.gz", HttpReply{200, archive}}});
  ASSERT_TRUE(server.listening());
  // The installer hides its progress dialog; the flow opens it for the transfer.
  const std::string exe = writeInstaller({{CFG_JRE_DOWNLOAD_LOCATION, server.url("/jre.tar.gz")}, {CFG_HIDE_PROGRESS_DIALOG, "1"}});
  BackgroundRun run = launch(exe);
  ASSERT_TRUE(noRuntimeDialog().found) << run.err() << logs();
  EXPECT_TRUE(session_->wintool("show", {"--class", "MyDialogClass"}, 5000).found) << "the dialog opened for the flow";
  EXPECT_TRUE(session_->wintool("click", {"--class", "#32770", "--title", "Setup", "--id", "1004"}, 5000).found);
  EXPECT_EQ(run.wait(90000), 0) << logs();
  const std::string log = logs();
  for (const char* line : {"Downloading JRE", "download successful", "Done", "extracting JRE", "launch done"}) {
    EXPECT_NE(log.find("\n" + std::string(line) + "\n"), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(server.requests("/jre.tar.gz"), 1);
}

TEST_F(NoRuntimeDialogTest, CancelDuringTheDownloadEndsTheRunAndLeavesNothing) {
  // A slow link; Cancel in the dialog opened for the flow must stop the transfer and end the
  // run, not go back to the work sequence while the transfer goes on.
  HttpReply slow{200, std::string(4000000, 'z')};
  slow.paceMs = 200;
  LocalHttpServer server({{"/jre.tar.gz", slow}});
  ASSERT_TRUE(server.listening());
  const std::string exe = writeInstaller({{CFG_JRE_DOWNLOAD_LOCATION, server.url("/jre.tar.gz")}, {CFG_HIDE_PROGRESS_DIALOG, "1"}});
  BackgroundRun run = launch(exe);
  ASSERT_TRUE(noRuntimeDialog().found) << run.err() << logs();
  EXPECT_TRUE(session_->wintool("click", {"--class", "#32770", "--title", "Setup", "--id", "1004"}, 5000).found);
  // The status line appears once bytes arrive; then cancel the dialog opened for the flow.
  for (int i = 0; i < 100 && logs().find("file size: 4000000") == std::string::npos; ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
  EXPECT_TRUE(session_->wintool("click", {"--class", "MyDialogClass", "--id", "2"}, 5000).found);
  EXPECT_EQ(run.wait(60000), 0) << logs();
  const std::string log = logs();
  for (const char* line : {"Canceled installer", "Download cancelled"}) {
    EXPECT_NE(log.find("\n" + std::string(line) + "\n"), std::string::npos) << line << "\n" << log;
  }
  EXPECT_EQ(log.find("extracting JRE"), std::string::npos) << "the work sequence did not go on\n" << log;
  const size_t at = log.find("\nTemp dir: ");
  ASSERT_NE(at, std::string::npos) << log;
  const std::string temp = log.substr(at + 11, log.find('\n', at + 11) - at - 11);
  EXPECT_FALSE(pathExists(hostPathOf(temp))) << temp;
  EXPECT_FALSE(session_->valueExists(kMarkerKey, "InstallStarted")) << "Cancel clears the markers";
}

TEST_F(NoRuntimeDialogTest, LocateLoadsTheJavaExeChosenInTheFileDialog) {
  // First a runtime whose jvm.dll is missing: the loader says so and the dialog stays for
  // another choice; then a working one.
  const std::string broken = dir_ + "/broken-rt";
  FakeRuntimeOptions withoutJvm;
  withoutJvm.jvm = FakeJvm::Missing;
  makeFakeRuntime(broken, withoutJvm);
  const std::string home = dir_ + "/located-rt";
  makeFakeRuntime(home);
  const std::string exe = writeInstaller({});
  BackgroundRun run = launch(exe);
  for (const std::string& chosen : {broken, home}) {
    SCOPED_TRACE(chosen);
    ASSERT_TRUE(noRuntimeDialog().found) << run.err() << logs();
    EXPECT_TRUE(session_->wintool("click", {"--class", "#32770", "--title", "Setup", "--id", "1005"}, 5000).found);
    const std::vector<std::string> chooser = {"--class", "#32770", "--title", "Select java.exe"};
    ASSERT_TRUE(session_->wintool("show", chooser, 30000).found) << logs();
    std::vector<std::string> fill = chooser;
    fill.insert(fill.end(), {"--id", std::to_string(kFileNameComboId), "--text", winePathOf(chosen) + "\\bin\\java.exe"});
    EXPECT_TRUE(session_->wintool("settext", fill, 5000).found);
    std::vector<std::string> open = chooser;
    open.insert(open.end(), {"--id", "1"});
    EXPECT_TRUE(session_->wintool("click", open, 5000).found);
    if (chosen == broken) {
      const WindowInfo error = session_->wintool("show", {"--class", "#32770", "--title", "Error"}, 30000);
      ASSERT_TRUE(error.found) << logs();
      EXPECT_TRUE(session_->wintool("click", {"--class", "#32770", "--title", "Error", "--id", "1"}, 5000).found);
    }
  }
  EXPECT_EQ(run.wait(90000), 0) << logs();
  const std::string log = logs();
  EXPECT_NE(log.find("\nlaunch done\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Downloading JRE"), std::string::npos) << log;
  const std::string calls = withoutCarriageReturns(readWholeFile(dir_ + "/jvm-calls.txt"));
  EXPECT_NE(calls.find("located-rt\\bin\\server\\jvm.dll"), std::string::npos) << calls;
}

}  // namespace
