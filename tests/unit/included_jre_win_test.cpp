// The included runtime: a small "jre.tar.gz" holding a fake runtime (the fixture java.exe,
// jvm.dll and unpack200.exe) unpacked in a scratch current directory, restored and loaded
// through loadJvmLibrary; only the runtime search is replaced.
#include "app/included_jre.h"

#include "jre_test_env_win.h"
#include "jvm/jvm_library.h"
#include "platform/remove_tree.h"
#include "jvm_test_fixture_win.h"
#include "support/tar_archives.h"
#include "support/test_exit.h"
#include "ui/dialogs.h"

using namespace jretest;

namespace {
JreSourceKind searchKind = NOT_FOUND;
std::string searchExe;

JreSourceKind fakeSearch(std::string& javaExe, std::string& label) {
  javaExe = searchExe;
  label = searchExe;
  return searchKind;
}

std::string currentDirectory() {
  std::vector<char> buffer(8192);
  const DWORD n = GetCurrentDirectoryA(8192, buffer.data());
  return std::string(buffer.data(), n < 8192 ? n : 0);
}

class IncludedJreTest : public JreTest {
 protected:
  void SetUp() override {
    JreTest::SetUp();
    savedDirectory_ = currentDirectory();
    ASSERT_TRUE(SetCurrentDirectoryA(scratch_.path().c_str()));
    resetJvmLibraryForTesting();
    system_ = platformJvmLoaderSystem();
    system_.searchJvm = &fakeSearch;
    setJvmLoaderSystemForTesting(&system_);
    searchKind = NOT_FOUND;
  }
  void TearDown() override {
    unloadModuleOf(reinterpret_cast<void*>(jvmLibrary().createJavaVMEntry));
    setJvmLoaderSystemForTesting(nullptr);
    resetJvmLibraryForTesting();
    SetCurrentDirectoryA(savedDirectory_.c_str());
    JreTest::TearDown();
  }
  // A runtime home as the archive holds it: bin\java.exe, and bin\server\jvm.dll if asked.
  static TarBuilder runtime(bool withJvm) {
    TarBuilder tar;
    tar.directory("bin/").file("bin/java.exe", readBinaryFile(fixtureProgram("java")));
    if (withJvm) tar.directory("bin/server/").file("bin/server/jvm.dll", readBinaryFile(testJvmDll()));
    return tar;
  }
  std::string loadedFrom() const {
    return lower(moduleFileOf(reinterpret_cast<void*>(jvmLibrary().createJavaVMEntry)));
  }

  JvmLoaderSystem system_;
  std::string savedDirectory_;
  ScopedEnvVar path_{"PATH", getenv("PATH")};
};
}  // namespace

TEST_F(IncludedJreTest, UnpacksRestoresAndLoadsTheRuntime) {
  TarBuilder tar = runtime(true);
  tar.file("bin/unpack200.exe", readBinaryFile(fixtureProgram("unpack200")))
      .directory("lib/")
      .file("lib/rt.jar.pack", "packed rt")
      .end();
  ASSERT_TRUE(writeGzip("jre.tar.gz", tar.bytes()));
  setConfig(CFG_INCLUDED_JRE_SIZE, std::to_string(tar.bytes().size()));
  setConfig(CFG_INCLUDED_JRE_PACKED, "1");
  LogCapture log;

  SilentProgress progress;
  const IncludedJrePreparation prepared = extractIncludedJre(progress);

  const std::string home = dir("jre");
  EXPECT_FALSE(pathExists(dir("jre.tar.gz")));
  EXPECT_EQ(readBinaryFile(home + "\\bin\\java.exe"), readBinaryFile(fixtureProgram("java")));
  EXPECT_EQ(readTextFile(home + "\\lib\\rt.jar"), "packed rt");
  EXPECT_TRUE(prepared.unpackDone);
  EXPECT_GE(prepared.untarDurationMs, 0);
  ASSERT_NE(jvmLibrary().createJavaVMEntry, nullptr);
  EXPECT_EQ(loadedFrom(), lower(home + "\\bin\\server\\jvm.dll"));
  EXPECT_EQ(lower(getJvmHome()), lower(home + "\\bin\\.."));
  const std::vector<std::string> lines = log.lines();
  for (const std::string& line :
       {std::string("extracting JRE"), std::string("untaring JRE was successful"),
        std::string("JRE is packed"), "JRE dir: " + home, std::string("Loading of JVM-DLL successful")}) {
    EXPECT_EQ(log.count(line), 1) << line << "\n" << joined(lines);
  }
  EXPECT_EQ(log.count("ERROR: Could not create JRE dir"), 0);
}

TEST_F(IncludedJreTest, CorruptOrMissingArchiveIsFatal) {
  const struct {
    const char* what;
    std::string tar;  // empty: no archive at all
  } rows[] = {
      {"escaping name", runtime(true).file("../escaped", "x").end().bytes()},
      {"cut short", runtime(true).bytes()},
      {"missing", ""},
  };
  for (const auto& row : rows) {
    DeleteFileA("jre.tar.gz");
    removeDirectoryTree(scratch_.path() + "\\jre");  // what the row before left
    if (!row.tar.empty()) {
      ASSERT_TRUE(writeGzip("jre.tar.gz", row.tar));
    }
    LogCapture log;
    EXPECT_EQ(exitCodeOf([] { SilentProgress silent; extractIncludedJre(silent); }), 1) << row.what;
    EXPECT_EQ(log.count("ERROR: Could not untar JRE"), 1) << row.what << "\n" << joined(log.lines());
    EXPECT_EQ(jvmLibrary().createJavaVMEntry, nullptr) << row.what;
    EXPECT_FALSE(pathExists(dir("escaped"))) << row.what;
  }

  // A "jre" that none of the included files made was put there by someone else.
  removeDirectoryTree(scratch_.path() + "\\jre");
  ASSERT_TRUE(CreateDirectoryA("jre", nullptr));
  ASSERT_TRUE(writeGzip("jre.tar.gz", runtime(true).end().bytes()));
  LogCapture log;
  EXPECT_EQ(exitCodeOf([] { SilentProgress silent; extractIncludedJre(silent); }), 1);
  EXPECT_EQ(log.count("ERROR: jre was there before this run made it; not unpacking into it"), 1)
      << joined(log.lines());
  EXPECT_EQ(jvmLibrary().createJavaVMEntry, nullptr);
}

TEST_F(IncludedJreTest, UnusableRuntimeFallsBackToTheSearch) {
  ASSERT_TRUE(writeGzip("jre.tar.gz", runtime(false).end().bytes()));
  {
    LogCapture log;
    EXPECT_EQ(exitCodeOf([] { SilentProgress silent; extractIncludedJre(silent); }), 1);
    EXPECT_EQ(log.count("ERROR: Could not load bundled JRE. Trying to find another JRE."), 1)
        << joined(log.lines());
    EXPECT_EQ(log.count("ERROR: Could not find another JRE."), 1);
  }
  // A restart finds "jre" already there; the search now offers an installed runtime.
  const std::string installed = dir("installed\\bin");
  ASSERT_TRUE(placeJvmDll(testJvmDll(), installed + "\\client"));
  searchExe = installed + "\\java.exe";
  searchKind = FOUND_ON_PATH;
  LogCapture log;
  loadIncludedJre();
  EXPECT_EQ(loadedFrom(), lower(installed + "\\client\\jvm.dll"));
  EXPECT_EQ(log.count("ERROR: Could not load bundled JRE. Trying to find another JRE."), 1);
  EXPECT_EQ(log.count("JRE dir: " + dir("jre")), 1);
}
