#include "platform/diagnostic_log.h"

#include <gtest/gtest.h>

#include <thread>
#include <vector>

#include "support/scratch_files.h"

TEST(DiagnosticLogRules, KeepValueMustBeExactlyYes) {
  struct Row { const char* value; bool keep; } rows[] = {
      {"yes", true}, {"YES", false}, {"Yes", false}, {"yes ", false}, {" yes", false},
      {"ye", false}, {"yess", false}, {"", false}, {nullptr, false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(isKeepLogValue(row.value), row.keep) << (row.value ? row.value : "(unset)");
  }
  EXPECT_TRUE(decideKeepLog(true, nullptr, nullptr));
  EXPECT_TRUE(decideKeepLog(false, "no", "yes"));
  EXPECT_FALSE(decideKeepLog(false, "YES", "yes "));
}

TEST(DiagnosticLogRules, Header) {
  EXPECT_EQ(formatLogHeader("c:\\x\\setup.exe", "Tue Dec  8 23:25:00 2026\n"),
            "Started executable c:\\x\\setup.exe at Tue Dec  8 23:25:00 2026\n\n");
}

// Every test gets a fresh log in its own TMP directory, with the keep variables unset.
class DiagnosticLogTest : public testing::Test {
 protected:
  void SetUp() override { resetLogForTesting(); }
  void TearDown() override {
    const std::string path = logPathForTesting();
    if (!path.empty()) removeFile(path);
    resetLogForTesting();
  }
  std::vector<std::string> lines() {
    std::vector<std::string> out;
    const std::string text = readTextFile(logPathForTesting());
    size_t start = 0;
    for (size_t nl; (nl = text.find('\n', start)) != std::string::npos; start = nl + 1) {
      out.push_back(text.substr(start, nl - start));
    }
    if (start < text.size()) out.push_back(text.substr(start) + "<no line end>");
    return out;
  }

  ScratchDir dir;
  ScopedEnvVar tmp{"TMP", dir.path().c_str()};
  ScopedEnvVar quoll{"QUOLL_LOG", nullptr};
  ScopedEnvVar vantrel{"VANTREL_LOG", nullptr};
};

TEST_F(DiagnosticLogTest, NothingBeforeTheFirstCall) {
  EXPECT_EQ(getLogPathAndKeep(), nullptr);
  EXPECT_EQ(logPathForTesting(), "");
}

TEST_F(DiagnosticLogTest, FileInTmpWithHeaderFirstEvenForAnError) {
  logError("cannot open %s (%d)", "x.jar", 5);
  logMessage("value %lld", 1LL << 40);
  const std::string path = logPathForTesting();
  const std::string prefix = dir.path() + pathSeparator() + "vnq_nlog_";
  ASSERT_GT(path.size(), prefix.size()) << path;
  EXPECT_EQ(path.substr(0, prefix.size()), prefix);
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 4u);
  EXPECT_EQ(l[0].rfind("Started executable ", 0), 0u) << l[0];
  EXPECT_NE(l[0].find(" at "), std::string::npos) << l[0];
  EXPECT_EQ(l[1], "");  // ctime ends with its own line feed
  EXPECT_EQ(l[2], "ERROR: cannot open x.jar (5)");
  EXPECT_EQ(l[3], "value 1099511627776");
}

TEST_F(DiagnosticLogTest, FormatEndingInLineFeedGivesEmptyLine) {
  logMessage("error %d\n", 7);
  logMessage("next");
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 5u);
  EXPECT_EQ(l[2], "error 7");
  EXPECT_EQ(l[3], "");
  EXPECT_EQ(l[4], "next");
}

TEST_F(DiagnosticLogTest, DeletedAtExitUnlessAskedToKeep) {
  logMessage("one");
  const std::string path = logPathForTesting();
  ASSERT_TRUE(pathExists(path));
  deleteLogAtExit();
  EXPECT_FALSE(pathExists(path));
}

TEST_F(DiagnosticLogTest, AnErrorMessageNamingTheLogKeepsIt) {
  logMessage("one");
  const char* named = getLogPathAndKeep();
  ASSERT_NE(named, nullptr);
  EXPECT_EQ(named, logPathForTesting());
  deleteLogAtExit();
  EXPECT_TRUE(pathExists(named));
}

TEST_F(DiagnosticLogTest, KeepVariablesAreReadAtTheFirstCall) {
  struct Row { const char* name; const char* value; bool kept; } rows[] = {
      {"QUOLL_LOG", "yes", true},   {"VANTREL_LOG", "yes", true}, {"QUOLL_LOG", "YES", false},
      {"QUOLL_LOG", "yes ", false}, {"VANTREL_LOG", "no", false},
  };
  for (const Row& row : rows) {
    ScopedEnvVar var(row.name, row.value);
    logMessage("line");
    const std::string path = logPathForTesting();
    deleteLogAtExit();
    EXPECT_EQ(pathExists(path), row.kept) << row.name << "=" << row.value;
    removeFile(path);
    resetLogForTesting();
  }
}

TEST_F(DiagnosticLogTest, CreateLogOptionKeeps) {
  setCreateLogRequested(true);
  logMessage("line");
  deleteLogAtExit();
  EXPECT_TRUE(pathExists(logPathForTesting()));
}

TEST_F(DiagnosticLogTest, LinesFromManyThreadsNeverInterleave) {
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([t] {
      for (int i = 0; i < 50; ++i) logMessage("thread %d line %d %s", t, i, "0123456789");
    });
  }
  for (std::thread& thread : threads) thread.join();
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 2u + 200u);
  for (size_t i = 2; i < l.size(); ++i) {
    EXPECT_EQ(l[i].rfind("thread ", 0), 0u) << l[i];
    EXPECT_EQ(l[i].substr(l[i].size() - 10), "0123456789") << l[i];
  }
}

TEST_F(DiagnosticLogTest, LongLinesAreWrittenWhole) {
  const std::string big(20000, 'x');
  logMessage("%s", big.c_str());
  const std::vector<std::string> l = lines();
  ASSERT_EQ(l.size(), 3u);
  EXPECT_EQ(l[2], big);
}
