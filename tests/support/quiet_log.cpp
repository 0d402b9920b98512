#include "support/quiet_log.h"

#include <cstdio>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "support/media_files.h"

void QuietLogTest::SetUp() {
  savedBoxes_ = errorsInMessageBoxes();
  setErrorsInMessageBoxes(false);
  resetLogForTesting();
}

void QuietLogTest::TearDown() {
  const std::string log = logPathForTesting();
  if (!log.empty()) std::remove(log.c_str());
  resetLogForTesting();
  setErrorsInMessageBoxes(savedBoxes_);
}

std::string QuietLogTest::logText() {
  const std::string path = logPathForTesting();
  if (path.empty()) return std::string();
  std::string text;
  for (uint8_t c : readFileBytes(path)) {
    if (c != '\r') text.push_back(static_cast<char>(c));
  }
  return text;
}
