// The temporary root, names and directories against the Windows file system (under Wine).
#include <windows.h>

#include <aclapi.h>
#include <sddl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/temp_dir.h"
#include "support/quiet_log.h"
#include "support/scratch_files.h"
#include "support/test_exit.h"

namespace {

// What the seam hands out; set by each test.
std::string fakeTempPath;
uint32_t fakeTempResult = 0;
std::string fakeWindowsDir;

uint32_t fakeGetTempPath(std::string& out) {
  out = fakeTempPath;
  return fakeTempResult;
}
std::string fakeGetWindowsDirectory() { return fakeWindowsDir; }

// The allowing entries of `path`'s access list, as "<sid> full" or "<sid> <mask in hex>".
std::vector<std::string> accessEntries(const std::string& path) {
  std::vector<std::string> entries;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  PACL dacl = nullptr;
  if (GetNamedSecurityInfoA(path.c_str(), SE_FILE_OBJECT, DACL_SECURITY_INFORMATION, nullptr, nullptr, &dacl,
                            nullptr, &descriptor) != ERROR_SUCCESS) {
    return entries;
  }
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    ACCESS_ALLOWED_ACE* ace = nullptr;
    LPSTR sid = nullptr;
    if (!GetAce(dacl, i, reinterpret_cast<void**>(&ace)) || ace->Header.AceType != ACCESS_ALLOWED_ACE_TYPE ||
        !ConvertSidToStringSidA(&ace->SidStart, &sid)) {
      continue;
    }
    char mask[16];
    snprintf(mask, sizeof mask, "%lx", static_cast<unsigned long>(ace->Mask));
    entries.push_back(std::string(sid) + " " + ((ace->Mask & FILE_ALL_ACCESS) == FILE_ALL_ACCESS ? "full" : mask));
    LocalFree(sid);
  }
  LocalFree(descriptor);
  return entries;
}

class TempDirWinTest : public QuietLogTest {
 protected:
  void SetUp() override {
    QuietLogTest::SetUp();
    sources.tempPath = nullptr;
    sources.windowsDirectory = &fakeGetWindowsDirectory;
    fakeWindowsDir = scratch.file("nowindows");
    setTempRootSourcesForTesting(&sources);
  }
  void TearDown() override {
    setTempRootSourcesForTesting(nullptr);
    QuietLogTest::TearDown();
  }
  // Makes getTempPath see `root` as GetTempPathA's answer.
  void useTempRoot(const std::string& root) {
    fakeTempPath = root;
    fakeTempResult = static_cast<uint32_t>(root.size());
    sources.tempPath = &fakeGetTempPath;
  }

  ScratchDir scratch;
  TempRootSources sources;
};

TEST_F(TempDirWinTest, IsWritableDirLeavesNoProbeBehind) {
  const std::string probe = writableProbePath(scratch.path());
  EXPECT_TRUE(isWritableDir(scratch.path()));
  EXPECT_FALSE(pathExists(probe));
  // A probe left over from an earlier run does not disturb the answer and goes too.
  ASSERT_TRUE(CreateDirectoryA(probe.c_str(), nullptr));
  EXPECT_TRUE(isWritableDir(scratch.path()));
  EXPECT_FALSE(pathExists(probe));
  // A directory with a trailing backslash gets a doubled one, which the system accepts.
  EXPECT_TRUE(isWritableDir(scratch.path() + "\\"));
  EXPECT_FALSE(isWritableDir(scratch.file("missing")));
  EXPECT_FALSE(pathExists(writableProbePath(scratch.file("missing"))));
}

TEST_F(TempDirWinTest, EmptyDirectoryDeletesFilesAndOnlyEmptySubdirectories) {
  scratch.write("a.jar", "a");
  scratch.write("b.txt", "b");
  ASSERT_TRUE(CreateDirectoryA(scratch.file("empty").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(scratch.file("full").c_str(), nullptr));
  const std::string kept = scratch.file("full") + "\\x.dll";
  FILE* f = std::fopen(kept.c_str(), "wb");
  ASSERT_NE(f, nullptr);
  std::fclose(f);

  emptyDirectory(scratch.path());
  EXPECT_FALSE(pathExists(scratch.file("a.jar")));
  EXPECT_FALSE(pathExists(scratch.file("b.txt")));
  EXPECT_FALSE(pathExists(scratch.file("empty")));
  EXPECT_TRUE(pathExists(kept)) << "one level only";
  EXPECT_FALSE(RemoveDirectoryA(scratch.path().c_str())) << "the non-empty subdirectory keeps it";
}

TEST_F(TempDirWinTest, EmptyDirectoryIgnoresPathsStartingWithADot) {
  scratch.write("keep.txt", "k");
  char previous[MAX_PATH] = {0};
  GetCurrentDirectoryA(MAX_PATH, previous);
  ASSERT_TRUE(SetCurrentDirectoryA(scratch.path().c_str()));
  emptyDirectory(".");
  emptyDirectory(".\\");
  SetCurrentDirectoryA(previous);
  EXPECT_TRUE(pathExists(scratch.file("keep.txt")));
}

TEST_F(TempDirWinTest, AnEmptyTempPathFallsBackToTheHomeDirectory) {
  fakeTempPath.clear();
  fakeTempResult = 0;
  sources.tempPath = &fakeGetTempPath;
  const std::string home = scratch.file("home");  // "C:\...\home": drive and path
  ScopedEnvVar drive("HOMEDRIVE", home.substr(0, 2).c_str());
  ScopedEnvVar path("HOMEPATH", home.substr(2).c_str());
  EXPECT_EQ(getTempPath(), home);
  EXPECT_FALSE(pathExists(home)) << "no directory is made for the home fallback";
}

TEST_F(TempDirWinTest, AMissingTempDirectoryIsCreated) {
  const std::string root = scratch.file("made") + "\\";
  useTempRoot(root);
  EXPECT_EQ(getTempPath(), root);
  EXPECT_TRUE(pathExists(scratch.file("made")));
}

TEST_F(TempDirWinTest, ATempPathTheCodePageCannotHoldIsReplaced) {
  if (pathExists("c:\\temp") || pathExists("c:\\tmp")) {
    GTEST_SKIP() << "c:\\temp or c:\\tmp exists in this Wine prefix; the order is covered on the host";
  }
  // TMP and TEMP name a directory whose name has no ANSI form, the way a user name with
  // such characters puts the temporary directory out of reach of the narrow calls.
  const std::wstring wideRoot = std::wstring(scratch.path().begin(), scratch.path().end()) +
                                L"\\\u4e2d\u6587";
  ASSERT_TRUE(CreateDirectoryW(wideRoot.c_str(), nullptr));
  wchar_t oldTmp[4096] = {0}, oldTemp[4096] = {0};
  const bool hadTmp = GetEnvironmentVariableW(L"TMP", oldTmp, 4096) > 0;
  const bool hadTemp = GetEnvironmentVariableW(L"TEMP", oldTemp, 4096) > 0;
  SetEnvironmentVariableW(L"TMP", wideRoot.c_str());
  SetEnvironmentVariableW(L"TEMP", wideRoot.c_str());

  fakeWindowsDir = scratch.file("windows");
  ASSERT_TRUE(CreateDirectoryA(fakeWindowsDir.c_str(), nullptr));
  const std::string withoutTemp = getTempPath();
  ASSERT_TRUE(CreateDirectoryA((fakeWindowsDir + "\\temp").c_str(), nullptr));
  const std::string withTemp = getTempPath();

  SetEnvironmentVariableW(L"TMP", hadTmp ? oldTmp : nullptr);
  SetEnvironmentVariableW(L"TEMP", hadTemp ? oldTemp : nullptr);
  EXPECT_EQ(withoutTemp, fakeWindowsDir) << "c:\\temp and c:\\tmp do not exist: the Windows dir";
  EXPECT_EQ(withTemp, fakeWindowsDir + "\\temp");
  EXPECT_FALSE(pathExists(writableProbePath(fakeWindowsDir)));
}

TEST_F(TempDirWinTest, LauncherTempDirSitsBesideItsPlaceholder) {
  useTempRoot(scratch.path() + "\\");
  const std::string launcherTempDir = createLauncherTempDir();
  ASSERT_GT(launcherTempDir.size(), 4u);
  const std::string placeholder = launcherTempDir.substr(0, launcherTempDir.size() - 4);
  EXPECT_EQ(launcherTempDir.substr(launcherTempDir.size() - 4), "_dir");
  EXPECT_EQ(placeholder.rfind(scratch.path() + "\\qlz", 0), 0u) << placeholder;
  EXPECT_EQ(placeholder.substr(placeholder.size() - 4), ".tmp");
  EXPECT_TRUE(pathExists(placeholder));
  const DWORD attributes = GetFileAttributesA(launcherTempDir.c_str());
  ASSERT_NE(attributes, INVALID_FILE_ATTRIBUTES);
  EXPECT_TRUE(attributes & FILE_ATTRIBUTE_DIRECTORY);
  EXPECT_EQ(makeProcessFileName(4711), scratch.path() + "\\qlz_p4711.tmp");

  // Only this user may open it. The system account may be listed beside: where the file
  // system keeps no security descriptor (Wine on most file systems), it is made up from the
  // owner-only mode the directory got, and names the system account too.
  HANDLE token = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token));
  BYTE user[256];
  DWORD size = sizeof user;
  ASSERT_TRUE(GetTokenInformation(token, TokenUser, user, size, &size));
  CloseHandle(token);
  LPSTR userSid = nullptr;
  ASSERT_TRUE(ConvertSidToStringSidA(reinterpret_cast<TOKEN_USER*>(user)->User.Sid, &userSid));
  const std::vector<std::string> entries = accessEntries(launcherTempDir);
  EXPECT_NE(std::find(entries.begin(), entries.end(), std::string(userSid) + " full"), entries.end());
  for (const std::string& entry : entries) {
    EXPECT_TRUE(entry.rfind(std::string(userSid) + " ", 0) == 0 || entry.rfind("S-1-5-18 ", 0) == 0) << entry;
  }
  LocalFree(userSid);
  // What a directory made with the default security shows, for contrast: others may read it.
  const std::string plain = scratch.path() + "\\plain";
  ASSERT_TRUE(CreateDirectoryA(plain.c_str(), nullptr));
  const std::vector<std::string> plainEntries = accessEntries(plain);
  EXPECT_TRUE(std::any_of(plainEntries.begin(), plainEntries.end(),
                          [](const std::string& e) { return e.rfind("S-1-1-0 ", 0) == 0; }))
      << "the check above would not see a shared directory";
}

TEST_F(TempDirWinTest, WithoutAUsableRootNamesComeFromRandAndTheDirectoryFailsWithError7) {
  // A root whose parent is missing: it cannot be made, so the system makes no file in it.
  const std::string root = scratch.file("missing") + "\\deeper\\";
  useTempRoot(root);
  const std::string name = makeTempFileName();
  EXPECT_EQ(name.rfind(root + "qlz", 0), 0u) << name;
  EXPECT_EQ(name.find(".tmp"), std::string::npos) << name;
  EXPECT_FALSE(pathExists(name));

  configTable().narrow[CFG_MSG_INTERNAL_ERROR] = "An internal error occurred (error code: {0})";
  ::testing::internal::CaptureStderr();
  const int code = exitCodeOf([] { createLauncherTempDir(); });
  const std::string err = ::testing::internal::GetCapturedStderr();
  configTable().narrow.erase(CFG_MSG_INTERNAL_ERROR);
  EXPECT_EQ(code, 1);
  EXPECT_EQ(err.substr(0, err.find('\n')), "An internal error occurred (error code: 7)");
}

}  // namespace
