// Shared set-up of the JVM start suites: a private log under a scratch TMP, the
// configuration table and the loaded JVM library restored after each test, errors written
// to standard error instead of boxes, and the run's values a test hands the JVM start.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "base/config_table.h"
#include "base/error_report.h"
#include "jvm/java_vm_launcher.h"
#include "jvm/jvm_library.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"

class JvmTestBase : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    savedConfig = configTable();
    configTable() = ConfigTable();
    resetJvmLibraryForTesting();
  }
  void TearDown() override {
    QuietLogTest::TearDown();
    configTable() = savedConfig;
    setExpansionTempDirectory("");
    resetJvmLibraryForTesting();
  }
  // What the run hands the JVM start: the values below. The temporary directory is handed
  // to the variable expansion too, as the work sequence does.
  LaunchSettings launchSettings() const {
    setExpansionTempDirectory(launcherTempDir);
    LaunchSettings run;
    run.tempDir = launcherTempDir;
    run.restart = restartMode;
    run.manualJre = manualJreSelection;
    return run;
  }
  static void set(ConfigId id, const std::string& text) { configTable().narrow[id] = text; }

  ScratchDir logDir;
  ScopedEnvVar tmp{"TMP", logDir.path().c_str()};
  ScopedEnvVar quollLog{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrelLog{"VANTREL_LOG", nullptr};
  // The run's temporary directory, language restart and manual selection.
  std::string launcherTempDir;
  bool restartMode = false;
  bool manualJreSelection = false;

 private:
  ConfigTable savedConfig;
};
