// The launcher as a whole under Wine: media files written byte by byte from the payload
// layout, run with a command line and environment, judged by exit code, standard error
// and the diagnostic log. CFG_EXECUTABLE_TYPE 2 sends errors to standard error.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdio>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "support/fake_runtime.h"
#include "support/media_files.h"
#include "support/payload_bytes.h"
#include "support/wine_run.h"

namespace {

const std::vector<std::pair<int32_t, std::string>> kStandardRecords = {
    {CFG_EXECUTABLE_TYPE, "2"},                        // errors on standard error
    {CFG_MSG_ERROR_CAPTION, "Error"},
    {CFG_MSG_WRONG_PARAMETER, "Wrong Parameter Usage"},
    {CFG_PRODUCT_KIND, "i"},
};

class LauncherE2ETest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(pathExists(launcherExePath())) << "no launcher at " << launcherExePath();
    dir_ = makeTempDirectory("launcher-e2e-");
    // A runtime for the runs to end with, found through the search's last fallback.
    makeFakeRuntime(dir_ + "/rt");
  }

  void TearDown() override {
    for (const std::string& log : logsOfRunsIn(dir_)) std::remove(log.c_str());
    runReg({"delete", versionCacheKeyOf(dir_ + "/rt"), "/f"});
    removeTree(dir_);
  }

  // A media file in the test directory (or a subdirectory given in `name`).
  std::string writeMedia(const Bytes& payload, const std::string& name = "setup.exe", bool pad = true) {
    const std::string path = dir_ + "/" + name;
    writeMediaFile(path, payload, pad);
    return path;
  }

  static Bytes standardPayload() {
    return PayloadBytes().header().narrowRecords(kStandardRecords).wideRecords({{CFG_WMSG_CAPTION, u"Setup"}}).bytes();
  }

  // Runs with QUOLL_LOG=yes unless `environment` says otherwise; VANTREL_LOG never leaks in.
  WineResult run(const std::string& exe, const std::vector<std::string>& args = {},
                 std::vector<std::pair<std::string, std::string>> environment = {{"QUOLL_LOG", "yes"}},
                 std::vector<std::string> unset = {"VANTREL_LOG"}) {
    WineCommand command;
    command.traceMessageBoxes = true;
    command.program = exe;
    command.args = args;
    command.environment = environment;
    command.environment.push_back({"QUOLL_JAVA_HOME", winePathOf(dir_ + "/rt")});
    command.unset = unset;
    command.unset.push_back("VANTREL_JAVA_HOME");
    command.workingDirectory = dir_;
    command.timeoutMs = 30000;
    // A run that reaches the Java side leaves the start markers (the Java side would clear
    // them); left in place, the next start that is not quiet would ask about the last run.
    removeStartMarkers();
    WineResult result = runUnderWine(command);
    removeStartMarkers();
    result.err = withoutCarriageReturns(result.err);
    EXPECT_FALSE(result.timedOut) << "the launcher did not end within the time limit";
    return result;
  }

  // The one kept log of this test's runs, without carriage returns; "" (and a failure)
  // when there is not exactly one.
  std::string onlyLog() {
    const std::vector<std::string> logs = logsOfRunsIn(dir_);
    EXPECT_EQ(logs.size(), 1u) << "logs of runs in " << dir_;
    return logs.size() == 1 ? withoutCarriageReturns(readWholeFile(logs[0])) : std::string();
  }

  // Checks a fatal error's text (the message, an empty line, "Log: " and the path of the
  // log, which must exist) and returns that log's text.
  static std::string expectMessageWithLog(const std::string& shown, const std::string& message) {
    const std::string prefix = message + "\n\nLog: ";
    EXPECT_EQ(shown.compare(0, prefix.size(), prefix), 0) << shown;
    if (shown.size() <= prefix.size()) {
      ADD_FAILURE() << "no log path in: " << shown;
      return std::string();
    }
    std::string logPath = shown.substr(prefix.size());
    if (logPath.back() == '\n') logPath.pop_back();
    EXPECT_TRUE(pathExists(hostPathOf(logPath))) << "log named in the message is missing: " << logPath;
    return withoutCarriageReturns(readWholeFile(hostPathOf(logPath)));
  }

  // A fatal error on standard error, exit code 1, no box.
  static std::string expectFatalOnStandardError(const WineResult& result, const std::string& message) {
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_TRUE(result.boxes.empty()) << result.boxes.front().text;
    return expectMessageWithLog(result.err, message);
  }

  // A fatal error in one narrow error box (MB_ICONERROR), exit code 1, nothing on stderr.
  static std::string expectFatalInBox(const WineResult& result, const std::string& message,
                                      const std::string& caption) {
    EXPECT_EQ(result.exitCode, 1) << result.err;
    EXPECT_EQ(result.err, "");
    if (result.boxes.size() != 1) {
      ADD_FAILURE() << result.boxes.size() << " message boxes instead of one";
      return std::string();
    }
    EXPECT_FALSE(result.boxes[0].wide);
    EXPECT_EQ(result.boxes[0].caption, caption);
    EXPECT_EQ(result.boxes[0].flags, 0x10u);  // MB_ICONERROR
    return expectMessageWithLog(result.boxes[0].text, message);
  }


  std::string dir_;
};

TEST_F(LauncherE2ETest, ValidPayloadReachesInitDoneAndLogsWhereThePayloadIs) {
  const std::string exe = writeMedia(standardPayload());
  const WineResult result = run(exe);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  EXPECT_TRUE(result.boxes.empty());

  const std::string log = onlyLog();
  const std::string header = "Started executable " + winePathOf(exe) + " at ";
  EXPECT_EQ(log.compare(0, header.size(), header), 0) << log;
  const PeLayout pe = peLayoutOf(readFileBytes(exe));
  for (const std::string& line :
       {"number of sections: " + std::to_string(pe.sections),
        "size of optional headers: " + std::to_string(pe.optionalHeaderSize),
        "resSectionTableStart: " + std::to_string(pe.lastSectionEntry),
        "rawDataSize: " + std::to_string(pe.lastRawSize) + ", rawDataOffset: " + std::to_string(pe.lastRawOffset),
        std::string("Init done")}) {
    EXPECT_NE(log.find("\n" + line + "\n"), std::string::npos) << line << "\nin log:\n" << log;
  }
}

TEST_F(LauncherE2ETest, DamagedPayloadsEndWithTheMatchingInternalError) {
  // The output mode is a record of the payload itself, so while the payload is read errors
  // go to a message box (caption: the error caption record, if read by then).
  struct Row {
    const char* name;
    Bytes payload;
    bool pad;
    const char* message;
    const char* caption;
    const char* logLine;  // a line the reader logged before giving up, or ""
  };
  const Row rows[] = {
      {"stub without payload", Bytes(), false, "Internal Error: readInt", "", "error 0 0"},
      {"wrong magic",
       PayloadBytes().u32(0x12345678).i32(0).u32(0).i64(0).narrowRecords(kStandardRecords).i32(0).bytes(), true,
       "Internal Error: magic", "", ""},
      {"header cut in its checked length", Bytes{0xd5, 0x13, 0xe4, 0xe8, 0, 0, 0, 0, 0, 0, 0, 0, 9, 9}, false,
       "Internal Error: readLong", "", ""},
      {"payload cut inside a record",
       PayloadBytes().header().i32(2).i32(1000).i32(1).raw(std::string("E")).i32(1007).raw(Bytes{1, 2, 3}).bytes(),
       false, "Internal Error: readInt", "E", "error 0 3"},
      {"payload cut inside a text",
       PayloadBytes().header().i32(1).i32(1007).i32(40).raw(std::string("Wro")).bytes(), false,
       "Internal Error: readString", "", ""},
      {"narrow length larger than the file",
       PayloadBytes().header().i32(2).i32(1000).i32(1).raw(std::string("E")).i32(122).i32(0x7ffffff0).bytes(), true,
       "Internal Error: readString", "E", ""},
      {"negative wide length", PayloadBytes().header().narrowRecords({}).i32(1).i32(20013).i32(-8).bytes(), true,
       "Internal Error: readWString", "", ""},
      {"more records than the file holds", PayloadBytes().header().i32(0x10000000).bytes(), true,
       "Internal Error: readInt", "", ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const std::string exe = writeMedia(row.payload, "setup.exe", row.pad);
    const WineResult result = run(exe);
    const std::string log = expectFatalInBox(result, row.message, row.caption);
    if (*row.logLine != '\0') {
      EXPECT_NE(log.find("\n" + std::string(row.logLine) + "\n"), std::string::npos) << log;
    }
    EXPECT_EQ(log.find("Init done"), std::string::npos) << log;
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
  }
}

TEST_F(LauncherE2ETest, UnbalancedQuoteIsWrongParameterUsage) {
  const std::string exe = writeMedia(standardPayload());
  // Wine passes each of these on unquoted, so the launcher sees the stray quote.
  for (const std::string arg : {"a\"b", "'", "\"", "x'y"}) {
    SCOPED_TRACE(arg);
    const WineResult result = run(exe, {arg});
    const std::string log = expectFatalOnStandardError(result, "Wrong Parameter Usage");
    EXPECT_EQ(log.find("Init done"), std::string::npos) << log;
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
  }
}

TEST_F(LauncherE2ETest, ExecutableTypeChoosesBetweenBoxAndStandardError) {
  struct Row {
    const char* type;  // nullptr: no record
    bool box;
  };
  const Row rows[] = {{"1", true}, {"5", true}, {" 5x", true}, {"2", false}, {"0", false}, {"15", false},
                      {nullptr, false}};
  for (const Row& row : rows) {
    SCOPED_TRACE(row.type ? row.type : "(absent)");
    std::vector<std::pair<int32_t, std::string>> records = {{CFG_MSG_ERROR_CAPTION, "Setup error"}, {CFG_MSG_WRONG_PARAMETER, "Wrong Parameter Usage"}};
    if (row.type != nullptr) records.push_back({CFG_EXECUTABLE_TYPE, row.type});
    const std::string exe = writeMedia(PayloadBytes().header().narrowRecords(records).i32(0).bytes());
    const WineResult result = run(exe, {"\"unclosed"});
    if (row.box) {
      expectFatalInBox(result, "Wrong Parameter Usage", "Setup error");
    } else {
      expectFatalOnStandardError(result, "Wrong Parameter Usage");
    }
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
  }
}

TEST_F(LauncherE2ETest, LogIsKeptOnlyWhenAskedFor) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    std::vector<std::pair<std::string, std::string>> environment;
    bool kept;
  };
  const Row rows[] = {
      {"no variable, no option", {}, {}, false},
      {"QUOLL_LOG=yes", {}, {{"QUOLL_LOG", "yes"}}, true},
      {"VANTREL_LOG=yes", {}, {{"VANTREL_LOG", "yes"}}, true},
      {"QUOLL_LOG=YES", {}, {{"QUOLL_LOG", "YES"}}, false},
      {"QUOLL_LOG='yes '", {}, {{"QUOLL_LOG", "yes "}}, false},
      {"-create-vnq-log", {"-create-vnq-log"}, {}, true},
      {"/create-qlz-log", {"/create-qlz-log", "x"}, {}, true},
      {"create-log option in second place", {"x", "-create-vnq-log"}, {}, false},
  };
  const std::string exe = writeMedia(standardPayload());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const WineResult result = run(exe, row.args, row.environment, {"QUOLL_LOG", "VANTREL_LOG"});
    EXPECT_EQ(result.exitCode, 0) << result.err;
    const std::vector<std::string> logs = logsOfRunsIn(dir_);
    EXPECT_EQ(logs.size(), row.kept ? 1u : 0u);
    // The create-log option asks (caption: the product word) whether to show the log.
    const bool prompted = !row.args.empty() && row.args[0].find("create-") != std::string::npos;
    ASSERT_EQ(result.boxes.size(), prompted ? 1u : 0u);
    if (prompted) {
      EXPECT_EQ(result.boxes[0].caption, "vantrel");
      const std::string question = "The following log file will be created:\n\n";
      EXPECT_EQ(result.boxes[0].text.compare(0, question.size(), question), 0) << result.boxes[0].text;
      EXPECT_NE(result.boxes[0].text.find("\n\nDo you want to open an Explorer window?"), std::string::npos);
    }
    if (row.kept && logs.size() == 1) {
      EXPECT_NE(readWholeFile(logs[0]).find("Init done"), std::string::npos);
    }
    for (const std::string& log : logs) std::remove(log.c_str());
  }
}

TEST_F(LauncherE2ETest, CommandLineVariantsReachTheirEnd) {
  struct Row {
    const char* name;
    std::vector<std::string> args;
    bool initDone;
    const char* logLine;
    int exitCode;
  };
  const Row rows[] = {
      {"console option", {"-c"}, true, "Init done", 0},
      // Quiet with the manual switch: nothing is searched and nothing can be chosen.
      {"quiet with splash and manual", {"-q", "-splash", "/manual", "-nocheck"}, true, "Init done", 83},
      // The exact reboot command line ends the whole Wine session, so it runs only in the GUI
      // suite, which has a prefix of its own.
      {"reboot followed by more is an ordinary run", {"__vnq_reboot", "x"}, true, "Init done", 0},
      {"language restart", {"__vnq_lang_restart", "de"}, true, "Init done", 0},
  };
  const std::string exe = writeMedia(standardPayload());
  for (const Row& row : rows) {
    SCOPED_TRACE(row.name);
    const WineResult result = run(exe, row.args);
    EXPECT_EQ(result.exitCode, row.exitCode) << result.err;
    EXPECT_EQ(result.err, "");
    EXPECT_TRUE(result.boxes.empty());  // "-c" got its console: no complaint box
    const std::string log = onlyLog();
    EXPECT_NE(log.find("\n" + std::string(row.logLine) + "\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Init done") != std::string::npos, row.initDone) << log;
    for (const std::string& kept : logsOfRunsIn(dir_)) std::remove(kept.c_str());
  }
}

TEST_F(LauncherE2ETest, LauncherInADirectoryOutsideTheCodePageReadsItsOwnPayload) {
  // Greek and CJK letters have no form in Wine's default code page 1252, so the launcher
  // has to open itself through the short name.
  const std::string sub = dir_ + "/\xce\xa9\xce\xbc\xce\xad\xce\xb3\xce\xb1 \xe4\xb8\xad\xe6\x96\x87";
  ASSERT_EQ(mkdir(sub.c_str(), 0755), 0);
  const std::string exe = writeMedia(standardPayload(), sub.substr(dir_.size() + 1) + "/setup.exe");
  const WineResult result = run(exe);
  EXPECT_EQ(result.exitCode, 0) << result.err;
  EXPECT_EQ(result.err, "");
  const std::string log = onlyLog();
  EXPECT_NE(log.find("\nInit done\n"), std::string::npos) << log;
}

}  // namespace
