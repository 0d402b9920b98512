#include "session/single_instance.h"

#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "base/config_table.h"
#include "platform/paths.h"
#include "support/test_exit.h"

namespace {

std::string upper(std::string text) {
  for (char& c : text) c = static_cast<char>(toupper(static_cast<unsigned char>(c)));
  return text;
}

std::string doubledBackslashes(const std::string& path) {
  std::string out;
  for (size_t i = 0; i < path.size(); ++i) {
    out.push_back(path[i]);
    if (path[i] == '\\' && i > 1) out.push_back('\\');
  }
  return out;
}

TEST(SingleInstanceWinTest, EveryWayOfNamingTheInstallerGivesOneIdentity) {
  const std::string module = getModulePath();
  const std::string identity = instanceIdentityFor(module);
  const std::string name = composeSemaphoreName(identity, false);
  EXPECT_EQ(name.find('\\'), std::string::npos) << name;
  for (const std::string& variant :
       {upper(module), doubledBackslashes(module), module.substr(getExeDir().size()),
        getExeDir() + ".\\" + module.substr(getExeDir().size())}) {
    EXPECT_EQ(instanceIdentityFor(variant), identity) << variant;
  }
}

// One test, because the first call keeps its semaphore for the life of the process.
TEST(SingleInstanceWinTest, FirstStartHoldsTheSemaphoreAndASecondStartStepsAside) {
  configTable() = ConfigTable();
  // Trapped even where it should return: a stray second instance would otherwise end the
  // whole test run with exit code 0.
  std::string semaphoreName;
  ASSERT_EQ(exitCodeOf([&] { semaphoreName = enforceSingleInstance(); }), -1);
  const std::string local = semaphoreName;
  EXPECT_EQ(local, composeSemaphoreName(instanceIdentityFor(getModulePath()), false));
  EXPECT_EQ(readInstancePid(), GetCurrentProcessId());
  HANDLE probe = OpenSemaphoreA(SYNCHRONIZE, FALSE, local.c_str());
  EXPECT_NE(probe, nullptr) << "the semaphore must stay while the first instance runs";
  if (probe != nullptr) CloseHandle(probe);

  // The global name is another object, so it is a first start again.
  configTable().narrow[CFG_GLOBAL_INSTANCE_NAME] = "1";
  ASSERT_EQ(exitCodeOf([&] { semaphoreName = enforceSingleInstance(); }), -1);
  EXPECT_EQ(semaphoreName, "Global\\" + local);

  configTable().narrow[CFG_GLOBAL_INSTANCE_NAME] = "0";
  EXPECT_EQ(exitCodeOf([] { enforceSingleInstance(); }), 0);
  configTable() = ConfigTable();

  HKEY pids = nullptr;
  if (RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\northgale\\quoll\\pids\\", 0, KEY_ALL_ACCESS, &pids) ==
      ERROR_SUCCESS) {
    RegDeleteValueA(pids, instanceIdentityFor(getModulePath()).c_str());
    RegCloseKey(pids);
  }
}

TEST(SingleInstanceWinTest, PidIsWrittenAndReadAsOneDword) {
  const std::string identity = instanceIdentityFor(getModulePath());
  const char* key = "SOFTWARE\\northgale\\quoll\\pids\\";
  registerInstancePid();
  EXPECT_EQ(readInstancePid(), GetCurrentProcessId());

  HKEY handle = nullptr;
  ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, key, 0, KEY_ALL_ACCESS, &handle), ERROR_SUCCESS);
  RegSetValueExA(handle, identity.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>("\x01\x02"), 2);
  EXPECT_EQ(readInstancePid(), 0u) << "two bytes are no process id";
  const DWORD other = 4711;
  RegSetValueExA(handle, identity.c_str(), 0, REG_BINARY, reinterpret_cast<const BYTE*>(&other), 4);
  EXPECT_EQ(readInstancePid(), 4711u) << "four bytes are, whatever their type";
  RegDeleteValueA(handle, identity.c_str());
  EXPECT_EQ(readInstancePid(), 0u);
  RegCloseKey(handle);
}

}  // namespace
