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
#include "support/scratch_files.h"

class JvmTestBase : public testing::Test {
 protected:
  void SetUp() override {
    resetLogForTesting();
    savedConfig = configTable();
    configTable() = ConfigTable();
    savedTempDir = launcherTempDir;
    savedBoxes = showMessageBoxes;
    showMessageBoxes = false;
    resetJvmLibraryForTesting();
  }
  void TearDown() override {
    const std::string path = logPathForTesting();
    if (!path.empty()) removeFile(path);
    resetLogForTesting();
    configTable() = savedConfig;
    launcherTempDir = savedTempDir;
    showMessageBoxes = savedBoxes;
    resetJvmLibraryForTesting();
  }
  static void set(ConfigId id, const std::string& text) { configTable().narrow[id] = text; }
  // The diagnostic log written so far ("" when nothing was logged).
  static std::string logText() {
    const std::string path = logPathForTesting();
    return path.empty() ? std::string() : readTextFile(path);
  }

  ScratchDir logDir;
  ScopedEnvVar tmp{"TMP", logDir.path().c_str()};
  ScopedEnvVar quollLog{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrelLog{"VANTREL_LOG", nullptr};

 private:
  ConfigTable savedConfig;
  std::string savedTempDir;
  bool savedBoxes = true;
};
