// Shared set-up of the Windows tests of the runtime search: fake runtime homes built from
// the fixture java.exe and unpack200.exe, a private registry root (so the tests never touch
// keys other programs or tests use), the configuration restored after each test, and the
// diagnostic log read back.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "runtime_search/registry_win.h"
#include "support/scratch_files.h"

namespace jretest {

// A fixture program of the test program's tree: <tree>\fixtures\<name>\<name>.exe.
inline std::string fixtureProgram(const std::string& name) {
  std::vector<char> buffer(8192);
  const DWORD n = GetModuleFileNameA(nullptr, buffer.data(), 8192);
  return directoryPart(std::string(buffer.data(), n)) + "..\\fixtures\\" + name + "\\" + name +
         ".exe";
}

inline void makeDirs(const std::string& path) {
  for (size_t at = path.find('\\', 3); at != std::string::npos; at = path.find('\\', at + 1)) {
    CreateDirectoryA(path.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(path.c_str(), nullptr);
}

inline void writeFile(const std::string& path, const std::string& content) {
  makeDirs(path.substr(0, path.rfind('\\')));
  std::ofstream(path, std::ios::binary | std::ios::trunc) << content;
}

// What a fixture java.exe prints first on standard error, its exit code and its delay.
struct JavaBehaviour {
  std::string firstLine = "java version \"1.6.0_20\"";
  int exitCode = 0;
  int delayMs = 0;
};

inline void configureJava(const std::string& javaExe, const JavaBehaviour& b) {
  std::ostringstream cfg;
  cfg << "exit=" << b.exitCode << "\ndelay=" << b.delayMs << "\nstderr=" << b.firstLine
      << "\nstderr=Java(TM) SE Runtime Environment\n";
  writeFile(javaExe + ".cfg", cfg.str());
}

// Places the fixture java.exe at `javaExe` (directories created) behaving as `b`.
inline std::string installJava(const std::string& javaExe, const JavaBehaviour& b = {}) {
  makeDirs(javaExe.substr(0, javaExe.rfind('\\')));
  EXPECT_TRUE(CopyFileA(fixtureProgram("java").c_str(), javaExe.c_str(), FALSE)) << javaExe;
  configureJava(javaExe, b);
  return javaExe;
}

// A runtime home with bin\java.exe printing `version`; returns the home.
inline std::string makeJre(const std::string& home, const std::string& version) {
  installJava(home + "\\bin\\java.exe", JavaBehaviour{"java version \"" + version + "\"", 0, 0});
  return home;
}

// How often the fixture at `javaExe` was started.
inline int runsOf(const std::string& javaExe) {
  std::ifstream in(javaExe + ".runs");
  int lines = 0;
  for (std::string line; std::getline(in, line);) ++lines;
  return lines;
}

inline std::string lower(std::string path) {
  lowercasePath(path);
  return path;
}

// A key below the test root, in the view the launcher uses, with a text value unless
// `name` is null.
inline void setRegString(HKEY hive, const std::string& key, const char* name,
                         const std::string& value = "") {
  RegKey k;
  ASSERT_TRUE(createRuntimeKey(k, hive, key)) << key;
  if (name == nullptr) return;
  ASSERT_EQ(RegSetValueExA(k.get(), name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                           static_cast<DWORD>(value.size() + 1)),
            ERROR_SUCCESS);
}

inline void deleteTree(HKEY hive, const std::string& path) {
  HKEY key = nullptr;
  if (RegOpenKeyExA(hive, path.c_str(), 0, KEY_READ | kRegistryView, &key) != ERROR_SUCCESS) {
    return;
  }
  std::vector<std::string> children;
  std::vector<char> name(1024);
  for (DWORD i = 0;; ++i) {
    DWORD length = 1024;
    if (RegEnumKeyExA(key, i, name.data(), &length, nullptr, nullptr, nullptr, nullptr) !=
        ERROR_SUCCESS) {
      break;
    }
    children.emplace_back(name.data(), length);
  }
  RegCloseKey(key);
  for (const std::string& child : children) deleteTree(hive, path + "\\" + child);
  RegDeleteKeyExA(hive, path.c_str(), kRegistryView, 0);
}

// The diagnostic log of the code run while this object lives, read back line by line.
class LogCapture {
 public:
  LogCapture() : keep_("QUOLL_LOG", "yes") {
    // The log written so far would be forgotten, not deleted, by the reset.
    const std::string previous = logPathForTesting();
    if (!previous.empty()) DeleteFileA(previous.c_str());
    resetLogForTesting();
  }
  ~LogCapture() {
    const std::string path = logPathForTesting();
    if (!path.empty()) DeleteFileA(path.c_str());
    resetLogForTesting();
  }
  // The lines that begin with one of `prefixes` (all lines when none is given), in order.
  std::vector<std::string> lines(const std::vector<std::string>& prefixes = {}) const {
    std::vector<std::string> out;
    std::istringstream in(readTextFile(logPathForTesting()));
    for (std::string line; std::getline(in, line);) {
      bool wanted = prefixes.empty();
      for (const std::string& p : prefixes) wanted = wanted || line.compare(0, p.size(), p) == 0;
      if (wanted) out.push_back(line);
    }
    return out;
  }
  int count(const std::string& line) const {
    int n = 0;
    for (const std::string& l : lines()) n += l == line;
    return n;
  }

 private:
  ScopedEnvVar keep_;
};

// Lines joined for a readable comparison on failure.
inline std::string joined(const std::vector<std::string>& lines) {
  std::string out;
  for (const std::string& line : lines) out += line + "\n";
  return out;
}

// Base of the tests: a scratch directory, a private registry root in both hives, the
// configuration and the error display restored afterwards, and a log of its own that is
// deleted afterwards (a test may start a fresh one with a LogCapture of its own).
class JreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    savedConfig_ = configTable();
    savedBoxes_ = errorsInMessageBoxes();
    setErrorsInMessageBoxes(false);
    static int counter = 0;
    root_ = "Software\\jre_unit_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    setRegistryRootForTesting(root_);
    log_ = std::make_unique<LogCapture>();
  }
  void TearDown() override {
    log_.reset();
    setRegistryRootForTesting("");
    deleteTree(HKEY_CURRENT_USER, root_);
    deleteTree(HKEY_LOCAL_MACHINE, root_);
    configTable() = savedConfig_;
    setErrorsInMessageBoxes(savedBoxes_);
  }
  void setConfig(ConfigId id, const std::string& value) { configTable().narrow[id] = value; }
  std::string dir(const std::string& name) const { return scratch_.path() + "\\" + name; }

  ScratchDir scratch_;
  std::string root_;

 private:
  ConfigTable savedConfig_;
  bool savedBoxes_ = true;
  std::unique_ptr<LogCapture> log_;
};

}  // namespace jretest
