// The work sequence's decisions over the run context, with fakes for the loader, the
// no-runtime flow, the start markers and the files of the current directory: which runtime
// is used, when the included-runtime state changes and when the markers are set and cleared.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "app/startup.h"
#include "app/work_sequence.h"
#include "base/error_report.h"
#include "support/quiet_log.h"

namespace {

// Records what the runtime decision asked of the system, in order.
struct FakeRuntimeSystem {
  bool installedFound = false;
  bool downloads = false;
  std::vector<std::string> calls;

  RuntimeSteps steps() {
    RuntimeSteps s;
    s.loadInstalled = [this] {
      calls.push_back("search");
      return installedFound;
    };
    s.obtainRuntime = [this] {
      calls.push_back("obtain");
      return downloads;
    };
    s.setMarkers = [this] { calls.push_back("set markers"); };
    s.clearMarkers = [this] { calls.push_back("clear markers"); };
    return s;
  }
};

std::string joined(const std::vector<std::string>& calls) {
  std::string text;
  for (const std::string& call : calls) text += (text.empty() ? "" : ", ") + call;
  return text;
}

TEST(RunContextTest, WhichRuntimeIsUsedAndWhenTheMarkersChange) {
  struct Row {
    const char* what;
    bool included, manual, prefer, installedFound, downloads;
    const char* calls;
    bool includedAfter;  // run.jreIncluded once the decision is made
  } rows[] = {
      {"included alone", true, false, false, false, false, "", true},
      {"installed preferred and found", true, false, true, true, false, "set markers, search", false},
      {"installed preferred, none found", true, false, true, false, false,
       "set markers, search, clear markers", true},
      {"nothing included, installed found", false, false, false, true, false, "set markers, search", false},
      {"nothing included, nothing found, downloaded", false, false, false, false, true,
       "set markers, search, obtain", true},
      {"nothing included, nothing found, located by hand", false, false, false, false, false,
       "set markers, search, obtain", false},
      {"manual: no search, straight to the no-runtime flow", false, true, true, true, false,
       "set markers, obtain", false},
      {"manual with a download", false, true, false, false, true, "set markers, obtain", true},
  };
  for (const Row& row : rows) {
    RunContext run;
    run.jreIncluded = row.included;
    run.manualJreSelection = row.manual;
    FakeRuntimeSystem system;
    system.installedFound = row.installedFound;
    system.downloads = row.downloads;
    chooseAndLoadRuntime(run, row.prefer, system.steps());
    EXPECT_EQ(joined(system.calls), row.calls) << row.what;
    EXPECT_EQ(run.jreIncluded, row.includedAfter) << row.what;
  }
}

class IncludedRuntimeTest : public QuietLogTest {
 protected:
  IncludedRuntimeProbe probe() {
    IncludedRuntimeProbe p;
    p.fullPathOf = [](const char* name) { return std::string("C:\\run\\") + name; };
    p.exists = [this](const std::string& path) { return present.count(path) != 0; };
    return p;
  }
  std::set<std::string> present;
};

TEST_F(IncludedRuntimeTest, TheArchiveOrOnARestartTheExtractedDirectoryCounts) {
  struct Row {
    const char* what;
    bool archive, extracted, restart, manual;
    bool included;
    const char* logged;  // a line the decision must log
  } rows[] = {
      {"archive", true, false, false, false, true, "JRE included"},
      {"nothing", false, false, false, false, false, "No JRE included"},
      {"a first run ignores an extracted directory", false, true, false, false, false, "No JRE included"},
      {"restart finds the extracted directory", false, true, true, false, true, "Checking extracted JRE: C:\\run\\jre"},
      {"restart with the archive still there", true, false, true, false, true, "JRE included"},
      {"manual switch drops it", true, false, false, true, false, "Included JRE not used because of manual switch"},
  };
  for (const Row& row : rows) {
    present.clear();
    if (row.archive) present.insert("C:\\run\\jre.tar.gz");
    if (row.extracted) present.insert("C:\\run\\jre");
    RunContext run;
    run.restartMode = row.restart;
    run.manualJreSelection = row.manual;
    run.jreIncluded = !row.included;  // the decision overwrites whatever was there
    settleIncludedRuntime(run, probe());
    EXPECT_EQ(run.jreIncluded, row.included) << row.what;
    EXPECT_NE(logText().find(std::string(row.logged) + "\n"), std::string::npos) << row.what << "\n" << logText();
  }
}

TEST(RunContextTest, LauncherOptionsSetTheRunsSwitches) {
  RunContext quiet;
  LauncherOptions options;
  options.quiet = true;
  options.noCheck = true;
  options.splash = true;
  applyLauncherOptions(options, quiet);
  EXPECT_TRUE(quiet.quietMode);
  EXPECT_FALSE(quiet.verifyIntegrity);
  EXPECT_TRUE(quiet.splashRequested);
  EXPECT_FALSE(quiet.manualJreSelection);
  EXPECT_FALSE(errorsInMessageBoxes()) << "quiet mode reports on standard error";
  setErrorsInMessageBoxes(true);

  RunContext manual;
  LauncherOptions manualOnly;
  manualOnly.manual = true;
  applyLauncherOptions(manualOnly, manual);
  EXPECT_TRUE(manual.manualJreSelection);
  EXPECT_TRUE(manual.verifyIntegrity);
  EXPECT_FALSE(manual.quietMode);
  EXPECT_TRUE(errorsInMessageBoxes());
}

}  // namespace
