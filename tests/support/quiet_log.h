// A base for unit tests of code that logs and reports errors: errors go to standard error
// rather than message boxes, and each test starts a fresh diagnostic log that is removed
// when it ends.
#pragma once

#include <gtest/gtest.h>

#include <string>

class QuietLogTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // The log written so far, carriage returns dropped ("" before the first line).
  static std::string logText();

 private:
  bool savedBoxes_ = true;
};
