#include "runtime_search/java_exe.h"

#include <gtest/gtest.h>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "support/scratch_files.h"

namespace {
// Restores the configuration table after a test that changes it, and removes the log the
// test's refusals started (a log that existed before belongs to someone else).
struct ConfigGuard {
  ConfigTable saved = configTable();
  bool hadLog = !logPathForTesting().empty();
  ~ConfigGuard() {
    configTable() = saved;
    if (hadLog || logPathForTesting().empty()) return;
    removeFile(logPathForTesting());
    resetLogForTesting();
  }
};
}  // namespace

TEST(JavaExe, ParseVersionLine) {
  struct Row { std::string line; bool found; const char* version; } rows[] = {
      {"java version \"1.6.0_20\"\n", true, "1.6.0_20"},
      {"openjdk version \"1.6.0-b09\"\n", true, "1.6.0-b09"},
      {"java version \"1.6.0_20\"", true, "1.6.0_20"},          // no line end at all
      {"java version \"9\"\n", true, "9"},
      {"java version \"10.0.1\" 2018-04-17\n", true, "10.0.1"},   // date after the quote
      {"openjdk version \"17.0.2\" 2022-01-18\n", true, "17.0.2"},
      {"openjdk version \"11.0.2-ea\" 2019-01-15\n", true, "11.0.2-ea"},
      {"Picked up _JAVA_OPTIONS: -Xmx512m\n", false, ""},       // notice before the version
      {"java  version \"1.6\"\n", false, ""},
      {"Java version \"1.6\"\n", false, ""},                    // case matters
      {" java version \"1.6\"\n", false, ""},
      {"java version 1.6\n", false, ""},
      {"java version \"\"\n", false, ""},                       // empty version is none
      {"java version \"1.6.0_20\n", false, ""},                 // closing quote missing
      {"", false, ""},
  };
  for (const Row& row : rows) {
    std::string version = "stale";
    EXPECT_EQ(parseVersionLine(row.line, version), row.found) << row.line;
    EXPECT_EQ(version, row.version) << row.line;
  }
}

TEST(JavaExe, ParseVersionLineLooksAtNinetyNineCharacters) {
  const std::string prefix = "java version \"";  // 14 characters
  // The closing quote as the 99th character is seen; as the 100th it is not.
  const std::string fits = prefix + std::string(84, '1') + "\"\n";
  const std::string tooLong = prefix + std::string(85, '1') + "\"\n";
  std::string version;
  EXPECT_TRUE(parseVersionLine(fits, version));
  EXPECT_EQ(version, std::string(84, '1'));
  EXPECT_FALSE(parseVersionLine(tooLong, version));
  EXPECT_EQ(version, "");
}

TEST(JavaExe, IsVersionAccepted) {
  ConfigGuard guard;
  configTable().narrow.erase(CFG_ALLOW_BETA_JRE);
  struct Row { const char* version; const char* min; const char* max; bool beta; bool ok; } rows[] = {
      {"1.6.0_20", "1.6", "", false, true},
      {"1.7.0", "1.6", "", false, true},
      {"1.5.0_22", "1.6", "", false, false},
      {"1.6.0_45", "", "1.6", false, true},
      {"1.7.0", "", "1.6", false, false},
      {"1.10", "1.6", "", false, false},         // lexical: 1.10 sorts below 1.6
      {"1.6", "1.6.0_10", "", false, false},     // the whole bound is compared
      {"1.6.0_10", "1.6.0_10", "1.6.0_10", false, true},
      {"9", "1.6", "", false, true},
      {"11.0.2", "1.8", "", false, true},        // "11." against "1.8": '1' > '.'
      {"11.0.2", "", "1.8", false, false},
      {"17.0.2", "9", "", false, false},         // lexical: '1' < '9'
      {"", "", "", false, true},
      {"anything", "", "", false, true},
      {"1.7.0-ea", "1.6", "", false, false},     // beta rule
      {"1.7.0-ea", "1.6", "", true, true},
      {"1.7.0-beta", "", "", false, false},
      {"1.7.0-rc1", "", "", false, false},
      {"1.7.0-BETA", "", "", false, true},       // case-sensitive
      {"1.7.0-release", "", "", false, false},   // "ea" anywhere counts
      {"\xe9", "1", "", false, true},            // bytes compare unsigned
  };
  for (const Row& row : rows) {
    EXPECT_EQ(isVersionAccepted(row.version, row.min, row.max, row.beta), row.ok)
        << row.version << " [" << row.min << ", " << row.max << "] beta " << row.beta;
  }
  configTable().narrow[CFG_ALLOW_BETA_JRE] = "1";
  EXPECT_TRUE(isVersionAccepted("1.7.0-ea", "1.6", "", false));
}

TEST(JavaExe, IsKeyVersionInRange) {
  struct Row { const char* key; const char* min; const char* max; bool ok; } rows[] = {
      {"1.6", "1.6.0_10", "", true},   // only "1.6" is compared
      {"1.5", "1.6", "", false},
      {"1.6.0_20", "1.6", "", true},
      {"1.7", "", "1.6", false},
      {"1.6.0_45", "", "1.6", true},
      {"", "1.6", "1.6", true},        // nothing to compare
      {"1.6", "", "", true},
      {"1.6-beta", "", "", true},      // no beta rule
  };
  for (const Row& row : rows) {
    EXPECT_EQ(isKeyVersionInRange(row.key, row.min, row.max), row.ok)
        << row.key << " [" << row.min << ", " << row.max << "]";
  }
}

TEST(JavaExe, JavawAndCommandLine) {
  EXPECT_EQ(javawPathFor("c:\\jre\\bin\\java.exe"), "c:\\jre\\bin\\javaw.exe");
  EXPECT_EQ(javawPathFor("exe"), "exe");
  EXPECT_EQ(javaVersionCommandLine("C:\\PROGRA~1\\JAVA\\BIN\\JAVA.EXE"),
            "C:\\PROGRA~1\\JAVA\\BIN\\JAVA.EXE -version");
  EXPECT_EQ(javaVersionCommandLine("C:\\Program Files\\java.exe"),
            "\"C:\\Program Files\\java.exe\" -version");
}
