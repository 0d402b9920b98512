#include "platform/expand_variables.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "platform/diagnostic_log.h"
#include "support/media_files.h"
#include "support/quiet_log.h"

namespace {

class ExpandVariablesTest : public QuietLogTest {
 protected:
  static size_t occurrences(const std::string& text, const std::string& what) {
    size_t n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
    return n;
  }

  VariableValues values{"C:\\inst\\", "C:\\t\\qlz1.tmp_dir", "C:\\jre\\bin\\.."};
};

TEST_F(ExpandVariablesTest, ExpandsTokensAndEnvironmentReferences) {
  const std::vector<std::string> env = {"Path=C:\\w", "A=x${A}", "QUOLL_EXEDIR=from env",
                                        "=C:=C:\\cwd", "NOEQUALS", "lower=l"};
  struct Row {
    const char* text;
    const char* expanded;
  } rows[] = {
      {"%QUOLL_EXEDIR%lib\\a.jar", "C:\\inst\\lib\\a.jar"},
      {"%VANTREL_EXEDIR%\\lib", "C:\\inst\\\\lib"},
      {"${QUOLL_TEMPDIR}\\x;%VANTREL_TEMPDIR%", "C:\\t\\qlz1.tmp_dir\\x;C:\\t\\qlz1.tmp_dir"},
      {"a${QUOLL_PATHLIST_SEPARATOR}b%VANTREL_PATHLIST_SEPARATOR%c", "a;b;c"},
      {"${launcher:sys.pathlistSeparator}${launcher:sys.launcherDirectory}",
       ";C:\\inst\\"},
      {"${launcher:sys.jvmHome}\\bin", "C:\\jre\\bin\\..\\bin"},
      {"%QUOLL_JVM_HOME%|${VANTREL_JVM_HOME}|${launcher:sys.launcherTempDirectory}",
       "C:\\jre\\bin\\..|C:\\jre\\bin\\..|C:\\t\\qlz1.tmp_dir"},
      {"%PATH%", "%PATH%"},
      {"${Path}|${PATH}|${path}", "C:\\w|C:\\w|${path}"},
      {"${A}", "x${A}"},
      {"${lower}|${LOWER}", "l|l"},
      {"${}", "${}"},
      {"${NOEQUALS}", "${NOEQUALS}"},
      {"%quoll_exedir%", "%quoll_exedir%"},
      {"${UNDEFINED}", "${UNDEFINED}"},
      // Launcher variables come first, so the environment cannot override them.
      {"${QUOLL_EXEDIR}", "C:\\inst\\"},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    EXPECT_TRUE(expandVariablesWith(text, values, env)) << row.text;
    EXPECT_EQ(text, row.expanded) << "input: " << row.text;
  }
}

TEST_F(ExpandVariablesTest, ValuesInsertedEarlyAreExpandedByLaterSteps) {
  VariableValues odd = values;
  odd.launcherDirectory = "${HOME}\\%QUOLL_TEMPDIR%\\";  // holds later tokens
  odd.tempDirectory = "%QUOLL_EXEDIR%";                  // holds an earlier token
  std::string text = "%QUOLL_EXEDIR%|%QUOLL_TEMPDIR%";
  EXPECT_TRUE(expandVariablesWith(text, odd, {"HOME=h"}));
  EXPECT_EQ(text, "h\\%QUOLL_EXEDIR%\\|%QUOLL_EXEDIR%");
}

TEST_F(ExpandVariablesTest, EmptyJvmHomeAndEmptyEnvironment) {
  VariableValues early = values;
  early.jvmHome.clear();
  std::string text = "${launcher:sys.jvmHome}x";
  EXPECT_TRUE(expandVariablesWith(text, early, {}));
  EXPECT_EQ(text, "x");
}

TEST_F(ExpandVariablesTest, EachReplacementIsLoggedAndSelfReferencesStop) {
  std::string text = "%QUOLL_EXEDIR%;%QUOLL_EXEDIR%;%QUOLL_EXEDIR%";
  ASSERT_TRUE(replaceAll(text, "%QUOLL_EXEDIR%", "v"));
  EXPECT_EQ(text, "v;v;v");
  EXPECT_EQ(occurrences(logText(), "expanding %QUOLL_EXEDIR% to v in "), 3u);
  EXPECT_NE(logText().find("expanding %QUOLL_EXEDIR% to v in v;v;v.\n"), std::string::npos);

  std::string self = "[T][T]";
  ASSERT_TRUE(replaceAll(self, "T", "TT"));
  EXPECT_EQ(self, "[TT][TT]");
}

TEST_F(ExpandVariablesTest, AnExpansionThatWouldNotFitLeavesTheTextUnchanged) {
  const std::string big(5000, 'b');
  struct Row {
    std::string text;
    bool fits;
  } rows[] = {
      {"${BIG}" + std::string(3000, '.'), true},     // 8000 bytes
      {"${BIG}" + std::string(3191, '.'), true},     // exactly 8191
      {"${BIG}" + std::string(3192, '.'), false},    // one byte too many
      {"${BIG}${BIG}", false},
      {"%QUOLL_EXEDIR%${BIG}" + std::string(3185, '.'), false},
  };
  for (const Row& row : rows) {
    std::string text = row.text;
    EXPECT_EQ(expandVariablesWith(text, values, {"BIG=" + big}), row.fits) << row.text.size();
    if (row.fits) {
      EXPECT_LE(text.size(), kMaxExpandedText);
      EXPECT_EQ(text.find("${BIG}"), std::string::npos);
    } else {
      EXPECT_EQ(text, row.text) << "a text that does not fit must stay as it was";
    }
  }
  EXPECT_NE(logText().find("ERROR: expanded text would exceed 8191 bytes"), std::string::npos);
}

}  // namespace
