// Class path variables as Windows reports them: undefined and empty are told apart, and a
// value longer than the launcher's 8192-byte buffer is read whole.
#include "jvm/class_path.h"

#include <windows.h>

#include <gtest/gtest.h>

TEST(ClassPathWin, ReadsVariables) {
  const std::string longValue(10000, 'v');
  struct Row { const char* name; const char* value; VariableRead read; } rows[] = {
      {"JVMTEST_CP_SET", "C:\\lib\\a.jar", VariableRead::Value},
      {"JVMTEST_CP_EMPTY", "", VariableRead::Empty},
      {"JVMTEST_CP_UNSET", nullptr, VariableRead::Undefined},
      {"JVMTEST_CP_LONG", longValue.c_str(), VariableRead::Value},
  };
  for (const Row& row : rows) {
    SetEnvironmentVariableA(row.name, row.value);
    std::string value = "stale";
    EXPECT_EQ(readClassPathVariable(row.name, value), row.read) << row.name;
    EXPECT_EQ(value, row.value != nullptr ? row.value : "") << row.name;
    SetEnvironmentVariableA(row.name, nullptr);
  }
}
