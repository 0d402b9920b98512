// loadJvmLibrary against copies of the test jvm.dll in fake runtime homes: the real PATH handling,
// LoadLibraryA and GetProcAddress; only the runtime search is replaced. (The candidate order
// and the JDK fallback are covered on a fake system in jvm_library_test.cpp.)
#include "jvm/jvm_library.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "jvm_test_env.h"
#include "jvm_test_fixture_win.h"

namespace {
std::string foundExe;
JreSourceKind foundKind = FOUND_ON_PATH;

JreSourceKind fakeSearch(std::string& javaExe, std::string& label) {
  javaExe = foundExe;
  label = "JAVA_HOME";
  return foundKind;
}

std::string processPath() {
  char buffer[32768];
  const DWORD n = GetEnvironmentVariableA("PATH", buffer, sizeof buffer);
  return n < sizeof buffer ? std::string(buffer, n) : std::string();
}

bool sameFile(const std::string& a, const std::string& b) {
  char fa[MAX_PATH * 4], fb[MAX_PATH * 4];
  GetFullPathNameA(a.c_str(), sizeof fa, fa, nullptr);
  GetFullPathNameA(b.c_str(), sizeof fb, fb, nullptr);
  return lstrcmpiA(fa, fb) == 0;
}
}  // namespace

class LoadDllWinTest : public JvmTestBase {
 protected:
  void SetUp() override {
    JvmTestBase::SetUp();
    system = platformJvmLoaderSystem();
    system.searchJvm = &fakeSearch;
    setJvmLoaderSystemForTesting(&system);
    foundKind = FOUND_ON_PATH;
    oldPath = processPath();
  }
  void TearDown() override {
    unloadModuleOf(reinterpret_cast<void*>(jvmLibrary().createJavaVMEntry));
    setJvmLoaderSystemForTesting(nullptr);
    JvmTestBase::TearDown();
  }
  std::string loadedFrom() const {
    return moduleFileOf(reinterpret_cast<void*>(jvmLibrary().createJavaVMEntry));
  }
  JvmLoaderSystem system;
  ScratchDir dir;
  ScopedEnvVar path{"PATH", processPath().c_str()};
  std::string oldPath;
};

TEST_F(LoadDllWinTest, LoadsTheFirstVmTypeThatExists) {
  const std::string bin = dir.file("rt\\bin");
  ASSERT_TRUE(placeJvmDll(testJvmDll(), bin + "\\server"));
  foundExe = bin + "\\java.exe";
  ASSERT_TRUE(loadJvmLibrary(false, nullptr, false));
  EXPECT_TRUE(sameFile(loadedFrom(), bin + "\\server\\jvm.dll")) << loadedFrom();
  EXPECT_EQ(processPath(), oldPath + ";" + bin);
  EXPECT_EQ(std::string(getenv("PATH")), oldPath + ";" + bin);  // the C runtime's copy agrees
  EXPECT_EQ(getJvmHome(), bin + "\\..");
  const std::string log = logText();
  EXPECT_NE(log.find("Trying " + bin + "\\hotspot\\jvm.dll (exists 0)\nTrying " + bin +
                     "\\client\\jvm.dll (exists 0)\nTrying " + bin + "\\server\\jvm.dll (exists 1)\n"),
            std::string::npos) << log;
}

TEST_F(LoadDllWinTest, FailuresRestoreOrKeepPath) {
  setErrorsInMessageBoxes(false);
  set(CFG_MSG_ENV_VAR_NO_JVM_32, "The {0} envionment variable does not\npoint to a working 32-bit JDK or JRE.");
  const std::string bin = dir.file("empty\\bin");
  makeDirectories(bin);
  foundExe = bin + "\\java.exe";
  foundKind = FOUND_BY_ENV_VAR;
  testing::internal::CaptureStderr();
  EXPECT_FALSE(loadJvmLibrary(true, nullptr, false));
  const std::string shown = testing::internal::GetCapturedStderr();
  EXPECT_EQ(shown.find("The JAVA_HOME envionment variable does not\npoint to a working 32-bit JDK or JRE."), 0u) << shown;
  EXPECT_EQ(processPath(), oldPath);
  EXPECT_EQ(std::string(getenv("PATH")), oldPath);

  const std::string damaged = dir.file("damaged\\bin");
  ASSERT_TRUE(placeJvmDll(testJvmNoEntryDll(), damaged + "\\hotspot"));
  foundExe = damaged + "\\java.exe";
  EXPECT_FALSE(loadJvmLibrary(false, nullptr, false));
  EXPECT_EQ(processPath(), oldPath + ";" + damaged);
  const std::string log = logText();
  const size_t last = log.rfind("Trying to load JVM-DLL from " + foundExe);
  ASSERT_NE(last, std::string::npos);
  EXPECT_EQ(log.find("Could not get DLL-Handle.", last), std::string::npos);
  EXPECT_NE(log.find("ERROR: Could not load functions", last), std::string::npos);
  FreeLibrary(GetModuleHandleA((damaged + "\\hotspot\\jvm.dll").c_str()));
}

TEST_F(LoadDllWinTest, APathThatCannotTakeTheBinDirectoryIsLeftAsItWas) {
  const std::string bin = dir.file("rt\\bin");
  ASSERT_TRUE(placeJvmDll(testJvmDll(), bin + "\\hotspot"));
  foundExe = bin + "\\java.exe";
  const std::string head = "C:\\windows\\system32;C:\\";
  // PATH is read whole, so one longer than the launcher's buffer is refused, never cut.
  struct Row { size_t length; bool extended; } rows[] = {
      {kMaxPathVariable - 1 - bin.size(), true},  // the new PATH has exactly the maximum
      {kMaxPathVariable - bin.size(), false},
      {kMaxPathVariable + 1, false},
      {20000, false},
  };
  for (const Row& row : rows) {
    const std::string before = head + std::string(row.length - head.size(), 'p');
    ScopedEnvVar longPath("PATH", before.c_str());
    ASSERT_TRUE(loadJvmLibrary(false, nullptr, false)) << row.length;
    const std::string expected = row.extended ? before + ";" + bin : before;
    EXPECT_EQ(processPath().size(), expected.size()) << row.length;
    EXPECT_TRUE(processPath() == expected && std::string(getenv("PATH")) == expected) << row.length;
    EXPECT_EQ(logText().find("ERROR: PATH too long (" + std::to_string(row.length) + " characters)") !=
                  std::string::npos,
              !row.extended)
        << row.length;
    unloadModuleOf(reinterpret_cast<void*>(jvmLibrary().createJavaVMEntry));
  }
}
