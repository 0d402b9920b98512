// The launcher's windows on a virtual display: the progress dialog's texts (also outside the
// ANSI code page), its place, its icon as the builder set it, the ways to cancel it, the
// question after a failed run, the single-instance hand-over and the reboot command line.
// A slow payload (one large included file, checked and extracted while the dialog shows)
// keeps the dialog up long enough to look at it.
#include <gtest/gtest.h>

#include <sys/stat.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "base/config_table.h"
#include "base/text.h"
#include "gui/gui_session.h"
#include "support/fake_runtime.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "tools/pe_fixture.h"

namespace {

using Records = std::vector<std::pair<int32_t, std::string>>;

const char kMarkerKey[] = "SOFTWARE\\northgale\\quoll";
const char kCaption[] = "Εγκατάσταση Ωμέγα";
const char kPreparing[] = "Προετοιμασία του οδηγού εγκατάστασης…";
const char kCancel[] = "Άκυρο";
const char kLastRun[] = "Η προηγούμενη εκτέλεση δεν ολοκληρώθηκε. Να επιλέξετε Java μόνοι σας;";
// Large enough that checking and extracting it outlasts a look at the dialog and a press.
constexpr uint64_t kSlowFileBytes = 400ull << 20;

const Records kRecords = {{CFG_EXECUTABLE_TYPE, "1"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}};

std::vector<std::pair<int32_t, std::u16string>> wideTexts() {
  return {{CFG_WMSG_CAPTION, utf8ToUtf16(kCaption)},
          {CFG_WMSG_PREPARING, utf8ToUtf16(kPreparing)},
          {CFG_WMSG_CANCEL, utf8ToUtf16(kCancel)},
          {CFG_WMSG_LAST_RUN_FAILED, utf8ToUtf16(kLastRun)}};
}

bool hasLine(const std::string& log, const std::string& line) {
  return ("\n" + log).find("\n" + line + "\n") != std::string::npos;
}

// A media file whose one included file, "big.bin", holds `size` zero bytes, with a
// checksum; written as a stream so the test never holds it in memory. The executable image
// of `stub` (a launcher, or a media file built from one) goes in front.
void writeSlowMedia(const std::string& path, Records records, uint64_t size,
                    const Bytes& stub = readFileBytes(launcherExePath())) {
  records.push_back({CFG_INCLUDED_FILE_COUNT, "1"});
  records.push_back({CFG_INCLUDED_FILE_NAMES, "big.bin"});
  const Bytes head = PayloadBytes().narrowRecords(records).wideRecords(wideTexts()).i64(static_cast<int64_t>(size)).bytes();
  const std::vector<uint8_t> chunk(1 << 20, 0xA7);  // zero bytes, scrambled
  uLong crc = crc32(0L, Z_NULL, 0);
  crc = crc32(crc, head.data(), static_cast<uInt>(head.size()));
  for (uint64_t left = size; left > 0;) {
    const uint64_t n = left < chunk.size() ? left : chunk.size();
    crc = crc32(crc, chunk.data(), static_cast<uInt>(n));
    left -= n;
  }
  const Bytes header = PayloadBytes().header(1, static_cast<uint32_t>(crc), static_cast<int64_t>(head.size() + size)).bytes();
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(stub.data()), static_cast<std::streamsize>(peLayoutOf(stub).imageEnd()));
  out.write(reinterpret_cast<const char*>(header.data()), static_cast<std::streamsize>(header.size()));
  out.write(reinterpret_cast<const char*>(head.data()), static_cast<std::streamsize>(head.size()));
  for (uint64_t left = size; left > 0;) {
    const uint64_t n = left < chunk.size() ? left : chunk.size();
    out.write(reinterpret_cast<const char*>(chunk.data()), static_cast<std::streamsize>(n));
    left -= n;
  }
  const std::streamoff written = out.tellp();
  const std::vector<char> zeros(static_cast<size_t>((512 - written % 512) % 512), 0);
  out.write(zeros.data(), static_cast<std::streamsize>(zeros.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

// A quick installer; `files` are included under their names.
void writeQuickMedia(const std::string& path, const std::vector<std::pair<std::string, std::string>>& files = {},
                     Records records = kRecords) {
  PayloadLayout layout;
  std::string names;
  for (const auto& file : files) {
    names += (names.empty() ? "" : ";") + file.first;
    layout.files.push_back(file.second);
  }
  if (!files.empty()) {
    records.push_back({CFG_INCLUDED_FILE_COUNT, std::to_string(files.size())});
    records.push_back({CFG_INCLUDED_FILE_NAMES, names});
  }
  layout.narrow = records;
  layout.wide = wideTexts();
  layout.withChecksum = true;
  writeMediaFile(path, buildPayload(layout));
}

class GuiTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    session_ = new GuiSession;
    if (!session_->ready()) return;
    slowDir_ = makeTempDirectory("gui-slow-");
    writeSlowMedia(slowDir_ + "/setup.exe", kRecords, kSlowFileBytes);
  }
  static void TearDownTestSuite() {
    if (!slowDir_.empty()) removeTree(slowDir_);
    delete session_;
    session_ = nullptr;
  }

  void SetUp() override {
    if (!session_->ready()) GTEST_SKIP() << "no virtual display: " << session_->skipReason();
    ASSERT_TRUE(pathExists(launcherExePath())) << "no launcher at " << launcherExePath();
    dir_ = makeTempDirectory("gui-test-");
    clearMarkers();
  }

  void TearDown() override {
    if (dir_.empty()) return;
    removeTree(dir_);
    session_->cleanTemporaryFiles();
    clearMarkers();
  }

  void clearMarkers() { session_->deleteValue(kMarkerKey, "InstallStarted"); }
  void setGlobalMarker() { session_->setDword(kMarkerKey, "InstallStarted", 1); }

  BackgroundRun launch(const std::string& exe, const std::vector<std::string>& args = {}) {
    WineCommand command;
    command.program = exe;
    command.args = args;
    command.environment = {{"QUOLL_LOG", "yes"}};
    command.unset = {"VANTREL_LOG"};
    command.workingDirectory = exe.substr(0, exe.rfind('/'));
    return session_->start(command);
  }

  // The logs of runs from `directory` not seen before, joined; they are marked seen.
  std::string newLogs(const std::string& directory) {
    std::string text;
    for (const std::string& log : logsOfRunsIn(directory)) {
      if (seenLogs_.insert(log).second) text += withoutCarriageReturns(readWholeFile(log));
    }
    return text;
  }

  // Every log of runs from `directory`, joined.
  static std::string logsText(const std::string& directory) {
    std::string text;
    for (const std::string& log : logsOfRunsIn(directory)) text += withoutCarriageReturns(readWholeFile(log));
    return text;
  }

  // Polls the logs of `directory` until `ready` holds for them (at most a minute).
  template <typename Ready>
  static bool waitForLog(const std::string& directory, Ready ready, std::string* text) {
    for (int i = 0; i < 600; ++i) {
      *text = logsText(directory);
      if (ready(*text)) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    return false;
  }

  // The complete line that follows the line `line` ("" when there is none yet).
  static std::string lineAfter(const std::string& log, const std::string& line) {
    const size_t at = ("\n" + log).find("\n" + line + "\n");
    if (at == std::string::npos) return std::string();
    const size_t next = at + line.size() + 1;
    const size_t end = log.find('\n', next);
    return end == std::string::npos ? std::string() : log.substr(next, end - next);
  }

  // Starts `exe` and stops it the moment its progress dialog is up, so the dialog stays as
  // it is while the test looks at it and presses (thaw() lets the press take effect).
  // `beforeDialog` answers whatever comes first. The watching helper is started before the
  // launcher so that it sees the dialog at once.
  bool startHeld(BackgroundRun& run, const std::string& exe, const std::vector<std::string>& args,
                 const std::function<void()>& beforeDialog = nullptr) {
    BackgroundRun watcher = session_->startWintool("show", {"--class", "MyDialogClass"}, 60000);
    if (!waitForOutput(watcher, "looking", 60000)) return false;
    run = launch(exe, args);
    if (beforeDialog) beforeDialog();
    if (!waitForOutput(watcher, "window=", 60000)) return false;
    run.freeze();
    return true;
  }

  // Lets a held program run for a moment (its dialog paints itself) and holds it again.
  static void letPaint(BackgroundRun& run) {
    run.thaw();
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    run.freeze();
  }

  // The top-left corner that centres `window` on the desktop.
  static void expectCentred(const WindowInfo& window) {
    const std::vector<int> rect = window.numbers("rect");
    const std::vector<int> desktop = window.numbers("desktop");
    ASSERT_EQ(rect.size(), 4u);
    ASSERT_EQ(desktop.size(), 4u);
    const int width = rect[2] - rect[0];
    const int height = rect[3] - rect[1];
    EXPECT_EQ(rect[0], desktop[0] + (desktop[2] - desktop[0] - width) / 2) << window.field("rect");
    EXPECT_EQ(rect[1], desktop[1] + (desktop[3] - desktop[1] - height) / 2) << window.field("rect");
  }

  static bool hasChildText(const WindowInfo& window, const std::string& text) {
    for (const WindowInfo::Child& child : window.children) {
      if (child.text == text) return true;
    }
    return false;
  }

  static GuiSession* session_;
  static std::string slowDir_;
  std::string dir_;
  std::set<std::string> seenLogs_;
};

GuiSession* GuiTest::session_ = nullptr;
std::string GuiTest::slowDir_;

TEST_F(GuiTest, ProgressDialogShowsItsTextsCentredAndCancelClearsTheMarkers) {
  setGlobalMarker();
  BackgroundRun run;
  // The marker of the "earlier run" brings the question first; "No" goes on to the dialog.
  bool answered = false;
  ASSERT_TRUE(startHeld(run, slowDir_ + "/setup.exe", {}, [&] {
    answered = session_->wintool("click", {"--class", "#32770", "--id", "7"}, 60000).found;
  })) << "no progress dialog; log:\n" << logsText(slowDir_);
  EXPECT_TRUE(answered);
  letPaint(run);

  const WindowInfo dialog = session_->wintool("show", {"--class", "MyDialogClass"}, 5000);
  EXPECT_TRUE(session_->screenshot("progress-dialog"));
  const WindowInfo pressed = session_->wintool("click", {"--class", "MyDialogClass", "--id", "2"}, 5000);
  EXPECT_TRUE(pressed.found);
  run.thaw();
  EXPECT_EQ(run.wait(60000), 0);

  EXPECT_EQ(dialog.field("class"), "MyDialogClass");
  EXPECT_EQ(dialog.field("title"), kCaption);
  const WindowInfo::Child* text = dialog.child(1003);
  const WindowInfo::Child* bar = dialog.child(1001);
  const WindowInfo::Child* status = dialog.child(1002);
  const WindowInfo::Child* cancel = dialog.child(2);
  ASSERT_TRUE(text && bar && status && cancel);
  EXPECT_EQ(text->text, kPreparing);
  EXPECT_EQ(cancel->text, kCancel);
  EXPECT_EQ(bar->className, "msctls_progress32");
  EXPECT_FALSE(status->visible);
  expectCentred(dialog);

  const std::string log = logsText(slowDir_);
  EXPECT_TRUE(hasLine(log, "Canceled installer")) << log;
  EXPECT_FALSE(session_->valueExists(kMarkerKey, "InstallStarted"));
  EXPECT_FALSE(session_->valueExists(kMarkerKey, "InstallStarted_" + dialog.field("pid")));
}

TEST_F(GuiTest, EscapeEnterAndTheCloseBoxCancelLikeTheButton) {
  for (const char* action : {"escape", "enter", "close"}) {
    SCOPED_TRACE(action);
    setGlobalMarker();
    // Quiet mode asks no question; with "-splash" it still runs under the dialog.
    BackgroundRun run;
    ASSERT_TRUE(startHeld(run, slowDir_ + "/setup.exe", {"-q", "-splash"})) << logsText(slowDir_);
    EXPECT_TRUE(session_->wintool(action, {"--class", "MyDialogClass"}, 5000).found);
    run.thaw();
    EXPECT_EQ(run.wait(60000), 0);
    const std::string log = logsText(slowDir_);
    EXPECT_TRUE(hasLine(log, "Canceled installer")) << log;
    EXPECT_FALSE(hasLine(log, "Quiet installer.")) << log;
    EXPECT_FALSE(session_->valueExists(kMarkerKey, "InstallStarted"));
    for (const std::string& kept : logsOfRunsIn(slowDir_)) std::remove(kept.c_str());
    session_->cleanTemporaryFiles();
  }
}

// The images of an X window's _NET_WM_ICON as xprop prints it ("_NET_WM_ICON = w, h,
// ARGB..., w, h, ARGB..."): each one's size and whether all its pixels are `argb`.
std::vector<std::string> iconImages(const std::string& xprop, uint32_t argb) {
  std::vector<unsigned long> values;
  const size_t equals = xprop.find('=');
  std::istringstream in(equals == std::string::npos ? std::string() : xprop.substr(equals + 1));
  std::string value;
  while (std::getline(in, value, ',')) values.push_back(std::stoul(value));
  std::vector<std::string> images;
  for (size_t at = 0; at + 2 <= values.size();) {
    const size_t pixels = values[at] * values[at + 1];
    if (at + 2 + pixels > values.size()) break;
    bool uniform = true;
    for (size_t i = at + 2; i < at + 2 + pixels; ++i) uniform = uniform && values[i] == argb;
    images.push_back(std::to_string(values[at]) + "x" + std::to_string(values[at + 1]) + (uniform ? " uniform" : " mixed"));
    at += 2 + pixels;
  }
  return images;
}

// How many pixels of `rect` (left, top, right, bottom) in a binary PPM have colour `rgb`;
// -1 when the picture is unreadable or the rectangle is not inside it.
long pixelsOfColour(const std::string& ppm, const std::vector<int>& rect, uint32_t rgb) {
  std::istringstream in(ppm);
  std::string magic;
  int width = 0;
  int height = 0;
  int maximum = 0;
  in >> magic >> width >> height >> maximum;
  in.get();
  const size_t data = static_cast<size_t>(in.tellg());
  if (magic != "P6" || maximum != 255 || rect.size() != 4 || ppm.size() < data + size_t(3) * width * height ||
      rect[0] < 0 || rect[1] < 0 || rect[2] > width || rect[3] > height) {
    return -1;
  }
  long count = 0;
  for (int y = rect[1]; y < rect[3]; ++y) {
    for (int x = rect[0]; x < rect[2]; ++x) {
      const unsigned char* p = reinterpret_cast<const unsigned char*>(ppm.data()) + data + 3 * (size_t(y) * width + x);
      if ((uint32_t(p[0]) << 16 | uint32_t(p[1]) << 8 | p[2]) == rgb) ++count;
    }
  }
  return count;
}

TEST_F(GuiTest, TheBuiltInstallersIconIsTheDialogClassIconAndShowsInTheProgressDialog) {
  // The builder puts the icon into the launcher; the slow payload behind it keeps the
  // dialog up. A colour that nothing else on the screen has.
  constexpr uint32_t kIconRgb = 0x12C4A7;
  mediatest::writeFile(dir_ + "/app.ico", mediatest::makeIco({{16, kIconRgb, false}, {32, kIconRgb, false}}));
  mediatest::writeFile(dir_ + "/desc.json", R"({"mainClass": "M", "executableType": 1, "icon": "app.ico"})");
  const mediatest::Outcome built =
      mediatest::mediapack({"build", dir_ + "/desc.json", "-o", dir_ + "/built.exe", "--stub", launcherExePath()});
  ASSERT_EQ(built.code, 0) << built.err;
  writeSlowMedia(dir_ + "/setup.exe", kRecords, kSlowFileBytes, readFileBytes(dir_ + "/built.exe"));

  BackgroundRun run;
  ASSERT_TRUE(startHeld(run, dir_ + "/setup.exe", {})) << "no progress dialog; log:\n" << logsText(dir_);
  letPaint(run);
  const WindowInfo dialog = session_->wintool("show", {"--class", "MyDialogClass"}, 5000);
  const std::string window = dialog.field("xwindow");
  ASSERT_FALSE(window.empty()) << "wintool named no X window for the dialog";
  // Wine's X11 driver hands the desktop the window's icon, which for this dialog (it sets
  // none of its own) is its class icon, read in the launcher's process.
  const mediatest::ProgramRun icon = mediatest::runProgram(
      {"xprop", "-display", session_->display(), "-id", window, "-notype", "-f", "_NET_WM_ICON", "32c", " = $0+",
       "_NET_WM_ICON"});
  const bool shot = session_->screenshot("progress-dialog-icon", window);
  const WindowInfo::Child* iconControl = nullptr;
  for (const WindowInfo::Child& child : dialog.children) {
    if ((child.id == -1 || child.id == 0xFFFF) && child.className == "Static") iconControl = &child;
  }
  EXPECT_TRUE(session_->wintool("click", {"--class", "MyDialogClass", "--id", "2"}, 5000).found);
  run.thaw();
  EXPECT_EQ(run.wait(60000), 0);

  ASSERT_EQ(icon.code, 0) << icon.err;
  const std::vector<std::string> images = iconImages(icon.out, 0xFF000000u | kIconRgb);
  ASSERT_FALSE(images.empty()) << icon.out.substr(0, 200);
  for (const std::string& image : images) EXPECT_EQ(image.substr(image.find(' ') + 1), "uniform") << image;

  // The static icon control of the dialog is filled with the icon's colour on screen.
  ASSERT_TRUE(shot);
  ASSERT_NE(iconControl, nullptr) << "the dialog has no icon control";
  const std::vector<int>& place = iconControl->rect;
  ASSERT_EQ(place.size(), 4u);
  ASSERT_GT(place[2] - place[0], 0);
  ASSERT_GT(place[3] - place[1], 0);
  const mediatest::ProgramRun ppm =
      mediatest::runProgram({"convert", session_->screenshotPath("progress-dialog-icon"), "ppm:-"});
  ASSERT_EQ(ppm.code, 0) << ppm.err;
  EXPECT_EQ(pixelsOfColour(ppm.out, place, kIconRgb), long(place[2] - place[0]) * (place[3] - place[1]))
      << "icon control at " << place[0] << "," << place[1] << " to " << place[2] << "," << place[3];
}

TEST_F(GuiTest, QuietAndHiddenRunsWorkWithoutADialog) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    Records records;
    bool quiet;
  };
  // Type 5: the stand-in runtime has java.exe only (type 1 asks for javaw.exe).
  const Records console = {{CFG_EXECUTABLE_TYPE, "5"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}};
  Records hidden = console;
  hidden.push_back({CFG_HIDE_PROGRESS_DIALOG, "1"});
  const Row rows[] = {
      {"quiet", {"-q"}, console, true},
      {"hidden progress dialog", {}, hidden, false},
  };
  // With a runtime to find, neither run has a reason to open a dialog at any point (without
  // one, the hidden run rightly opens it for the download, which made this check racy).
  const std::string runtime = dir_ + "/runtime";
  makeFakeRuntime(runtime);
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string exe = dir_ + "/setup.exe";
    writeQuickMedia(exe, {{"app.txt", "included"}}, row.records);
    BackgroundRun watcher = session_->startWintool("show", {"--class", "MyDialogClass"}, 120000);
    ASSERT_TRUE(waitForOutput(watcher, "looking", 60000));
    WineCommand command;
    command.program = exe;
    command.args = row.args;
    command.environment = {{"QUOLL_LOG", "yes"}, {"QUOLL_JAVA_HOME", winePathOf(runtime)}};
    command.unset = {"VANTREL_LOG", "VANTREL_JAVA_HOME", "JAVA_HOME"};
    command.workingDirectory = dir_;
    BackgroundRun run = session_->start(command);
    EXPECT_EQ(run.wait(90000), 0);
    const std::string log = logsText(dir_);
    EXPECT_TRUE(hasLine(log, "launch done")) << log;
    EXPECT_TRUE(watcher.running()) << "a dialog was shown: " << watcher.out();
    EXPECT_TRUE(hasLine(log, "Starting work")) << log;
    EXPECT_EQ(hasLine(log, "Quiet installer."), row.quiet) << log;
    watcher.wait(0);
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
    session_->cleanTemporaryFiles();
    clearMarkers();
  }
}

TEST_F(GuiTest, TheJavaWindowHidesTheProgressDialog) {
  // An installer whose runtime is found and whose "Java program" opens a frame: the watcher
  // sees the second visible window of the process, hides the dialog, and the run ends when
  // main returns.
  const std::string runtime = dir_ + "/runtime";
  makeFakeRuntime(runtime);
  const std::string exe = dir_ + "/setup.exe";
  Records records = {{CFG_EXECUTABLE_TYPE, "5"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}, {CFG_MAIN_CLASS, "hello.Hello"}};
  writeQuickMedia(exe, {{"app.jar", "not really a jar"}}, records);

  WineCommand command;
  command.program = exe;
  command.environment = {{"QUOLL_LOG", "yes"},
                         {"QUOLL_JAVA_HOME", winePathOf(runtime)},
                         {"TESTJVM_FAIL", "window"},
                         {"TESTJVM_RECORD", winePathOf(dir_ + "/jvm-calls.txt")}};
  command.unset = {"VANTREL_LOG", "VANTREL_JAVA_HOME", "JAVA_HOME"};
  command.workingDirectory = dir_;
  BackgroundRun run = session_->start(command);
  EXPECT_EQ(run.wait(90000), 0);

  const std::string log = logsText(dir_);
  const size_t visible = log.find("\nJava window visible\n");
  const size_t done = log.find("\nlaunch done\n");
  ASSERT_NE(visible, std::string::npos) << log;
  ASSERT_NE(done, std::string::npos) << log;
  EXPECT_LT(visible, done) << log;
  EXPECT_NE(readWholeFile(dir_ + "/jvm-calls.txt").find("window shown"), std::string::npos);
  // The watcher clears the per-process marker once the Java window is there.
  EXPECT_EQ(log.find("timeout"), std::string::npos) << log;
}

TEST_F(GuiTest, TheBarGoesOnFromWhereThePreparedRuntimeLeftIt) {
  // The watcher moves the bar a quarter of what is left of 400 at a time, from 100 for an
  // installed runtime, 200 for an included one and 300 for an included packed one: the step
  // between two moves tells where it started.
  const std::string home = dir_ + "/runtime";
  FakeRuntimeOptions withUnpacker;
  withUnpacker.unpacker = true;
  makeFakeRuntime(home, withUnpacker);
  const std::string archive = runtimeArchiveOf(home);
  ASSERT_FALSE(archive.empty()) << "tar failed";
  struct Row {
    const char* name;
    bool included;
    const char* packed;
    int start;
  } rows[] = {{"installed", false, "0", 100}, {"included", true, "0", 200}, {"included, packed", true, "1", 300}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string exe = dir_ + "/setup.exe";
    std::vector<std::pair<std::string, std::string>> files = {{"app.jar", "app"}};
    if (row.included) files.push_back({"jre.tar.gz", archive});
    writeQuickMedia(exe, files, {{CFG_EXECUTABLE_TYPE, "5"}, {CFG_MSG_ERROR_CAPTION, "Error"}, {CFG_PRODUCT_KIND, "i"}, {CFG_MAIN_CLASS, "app.Main"}, {CFG_INCLUDED_JRE_PACKED, row.packed}});
    const std::string record = dir_ + "/jvm-calls.txt";
    WineCommand command;
    command.program = exe;
    command.environment = {{"QUOLL_LOG", "yes"}, {"TESTJVM_FAIL", "bar"}, {"TESTJVM_RECORD", winePathOf(record)}};
    if (!row.included) command.environment.push_back({"QUOLL_JAVA_HOME", winePathOf(home)});
    command.unset = {"VANTREL_LOG", "VANTREL_JAVA_HOME", "JAVA_HOME", "QUOLL_JAVA_HOME"};
    command.workingDirectory = dir_;
    BackgroundRun run = session_->start(command);
    EXPECT_EQ(run.wait(90000), 0) << logsText(dir_);
    std::vector<int> positions;
    std::istringstream lines(withoutCarriageReturns(readWholeFile(record)));
    for (std::string line; std::getline(lines, line);) {
      if (line.compare(0, 4, "bar ") == 0) positions.push_back(std::atoi(line.c_str() + 4));
    }
    ASSERT_EQ(positions.size(), 3u) << readWholeFile(record);
    const int step = (400 - row.start) / 4;
    EXPECT_EQ(positions[2] - positions[1], step) << positions[1] << " " << positions[2];
    EXPECT_EQ((positions[1] - row.start) % step, 0) << positions[1];
    std::remove(record.c_str());
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
    session_->cleanTemporaryFiles();
    clearMarkers();
  }
}

TEST_F(GuiTest, LastRunQuestionOffersManualSelection) {
  struct Row {
    const char* button;
    bool manual;
  };
  const Row rows[] = {{"6", true}, {"7", false}};
  const std::string exe = dir_ + "/setup.exe";
  writeQuickMedia(exe, {{"jre.tar.gz", "not unpacked in this run"}});
  for (const Row& row : rows) {
    SCOPED_TRACE(row.button);
    setGlobalMarker();
    BackgroundRun run = launch(exe);
    const WindowInfo question = session_->wintool("show", {"--class", "#32770"}, 60000);
    ASSERT_TRUE(question.found) << run.err();
    if (row.manual) {
      EXPECT_TRUE(session_->screenshot("last-run-question"));
    }
    session_->wintool("click", {"--class", "#32770", "--id", row.button}, 5000);

    EXPECT_EQ(question.field("title"), kCaption);
    EXPECT_TRUE(hasChildText(question, kLastRun)) << "the question's text is missing";
    EXPECT_NE(question.child(6), nullptr) << "Yes";
    EXPECT_NE(question.child(7), nullptr) << "No";
    // Whether the included runtime is dropped shows in the line after "JRE included".
    std::string log;
    ASSERT_TRUE(waitForLog(dir_, [](const std::string& text) { return !lineAfter(text, "JRE included").empty(); },
                           &log))
        << log;
    EXPECT_EQ(lineAfter(log, "JRE included") == "Included JRE not used because of manual switch", row.manual) << log;
    run.wait(0);
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
  }
}

TEST_F(GuiTest, SecondStartOfTheSameInstallerBringsTheFirstForward) {
  const std::string one = dir_ + "/one";
  const std::string two = dir_ + "/two";
  mkdir(one.c_str(), 0755);
  mkdir(two.c_str(), 0755);
  writeQuickMedia(one + "/setup.exe");
  writeQuickMedia(two + "/setup.exe");
  // The first instance waits on the question about the earlier run: a window that stays.
  setGlobalMarker();
  BackgroundRun first = launch(one + "/setup.exe");
  ASSERT_TRUE(session_->wintool("show", {"--class", "#32770"}, 60000).found) << first.err();
  // The box may still be settling when it is first seen; minimise until it stays so.
  WindowInfo minimised;
  for (int i = 0; i < 10 && minimised.field("iconic") != "1"; ++i) {
    session_->wintool("minimize", {"--class", "#32770"}, 5000);
    minimised = session_->wintool("show", {"--class", "#32770"}, 5000);
  }
  ASSERT_EQ(minimised.field("iconic"), "1");
  const std::string firstPid = minimised.field("pid");
  newLogs(one);

  BackgroundRun second = launch(one + "/setup.exe");
  EXPECT_EQ(second.wait(60000), 0);
  const std::string secondLog = newLogs(one);
  for (const std::string& line : {"other pid " + firstPid, std::string("restore"), std::string("foreground"),
                                  std::string("popup"), std::string("done"), std::string("exiting")}) {
    EXPECT_TRUE(hasLine(secondLog, line)) << line << " in\n" << secondLog;
  }
  EXPECT_FALSE(hasLine(secondLog, "Init done")) << secondLog;
  const WindowInfo restored = session_->wintool("show", {"--class", "#32770", "--pid", firstPid}, 10000);
  EXPECT_EQ(restored.field("iconic"), "0");
  EXPECT_EQ(restored.field("foreground"), "1");
  EXPECT_TRUE(session_->screenshot("single-instance-restored"));

  // The same program in another directory is another installer.
  BackgroundRun copy = launch(two + "/setup.exe");
  std::string copyPid;
  for (int i = 0; i < 60 && copyPid.empty(); ++i) {
    for (const WindowInfo& box : session_->windowsOfClass("#32770")) {
      if (box.field("pid") != firstPid) copyPid = box.field("pid");
    }
    if (copyPid.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(500));
  }
  EXPECT_FALSE(copyPid.empty()) << "the copy did not come up: " << copy.err();
  const std::string copyLog = newLogs(two);
  EXPECT_TRUE(hasLine(copyLog, "Init done")) << copyLog;
  EXPECT_EQ(copyLog.find("code 183"), std::string::npos) << copyLog;
  copy.wait(0);

  // A language restart does not ask for the semaphore.
  BackgroundRun restart = launch(one + "/setup.exe", {"__vnq_lang_restart", "de"});
  EXPECT_NE(restart.wait(60000), -1);
  const std::string restartLog = newLogs(one);
  EXPECT_TRUE(hasLine(restartLog, "Init done")) << restartLog;
  EXPECT_EQ(restartLog.find("single instance mode"), std::string::npos) << restartLog;

  EXPECT_TRUE(first.running()) << "the first instance is still waiting for its answer";
}

TEST_F(GuiTest, WindowBoundUnitSuitesPassUnderADisplay) {
  WineCommand command;
  command.program = windowsTree() + "/tests/unit_tests.exe";
  command.args = {"--gtest_filter=WindowsWatchWinTest.*:DialogsWinTest.*"};
  command.timeoutMs = 300000;
  const WineResult result = session_->run(command);
  EXPECT_EQ(result.exitCode, 0) << result.out;
  EXPECT_NE(result.out.find("[  PASSED  ]"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("SKIPPED"), std::string::npos) << result.out;
}

// Last: a reboot ends every program of the Wine session.
TEST_F(GuiTest, RebootCommandLineEndsTheSessionAfterFiveSeconds) {
  const std::string exe = dir_ + "/setup.exe";
  writeQuickMedia(exe);
  setGlobalMarker();
  BackgroundRun waiting = launch(exe);
  ASSERT_TRUE(session_->wintool("show", {"--class", "#32770"}, 60000).found);

  const auto started = std::chrono::steady_clock::now();
  BackgroundRun reboot = launch(exe, {"__vnq_reboot"});
  EXPECT_EQ(reboot.wait(60000), 0);
  EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(5000));
  EXPECT_NE(waiting.wait(30000), -1) << "the program waiting on its question outlived the reboot";
}

}  // namespace
