// Shared set-up of the JVM start suites: a private log under a scratch TMP, the
// configuration table, launcherTempDir and the loaded JVM library restored after each test,
// errors written to standard error instead of boxes.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "core/error_report.h"
#include "jvm/jvm_library.h"
#include "media/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/temp_dir.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"

class JvmTestBase : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    savedConfig = configTable();
    configTable() = ConfigTable();
    savedTempDir = launcherTempDir;
    resetJvmLibraryForTesting();
  }
  void TearDown() override {
    QuietLogTest::TearDown();
    configTable() = savedConfig;
    launcherTempDir = savedTempDir;
    resetJvmLibraryForTesting();
  }
  static void set(ConfigId id, const std::string& text) { configTable().narrow[id] = text; }

  ScratchDir logDir;
  ScopedEnvVar tmp{"TMP", logDir.path().c_str()};
  ScopedEnvVar quollLog{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrelLog{"VANTREL_LOG", nullptr};

 private:
  ConfigTable savedConfig;
  std::string savedTempDir;
};
