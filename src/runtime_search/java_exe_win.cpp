// Checking a Java executable on Windows: resolving it, running "java -version" and keeping
// what it said in the version cache.
#include <windows.h>

#include <cstdio>
#include <vector>

#include "base/config_table.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/process_win.h"
#include "platform/temp_dir.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/version_cache.h"

namespace {
uint32_t versionTimeoutMs = kJavaVersionTimeoutMs;
// How long a terminated "java -version" gets to release its output file.
constexpr DWORD kTerminateGraceMs = 5000;

std::string shortPathOf(const std::string& path) {
  std::vector<char> buffer(8192);
  const DWORD n = GetShortPathNameA(path.c_str(), buffer.data(), 8192);
  return (n > 0 && n < 8192) ? std::string(buffer.data(), n) : path;
}

// The first line of a text file, at most kVersionLineLimit characters; false when the file
// cannot be opened or is empty.
bool readFirstLine(const std::string& path, std::string& line) {
  FILE* file = fopen(path.c_str(), "r");
  if (file == nullptr) return false;
  std::vector<char> buffer(kVersionLineLimit + 1, '\0');
  const bool read = fgets(buffer.data(), static_cast<int>(buffer.size()), file) != nullptr;
  fclose(file);
  if (read) line = buffer.data();
  return read;
}
}  // namespace

void setJavaVersionTimeoutForTesting(uint32_t milliseconds) {
  versionTimeoutMs = milliseconds ? milliseconds : kJavaVersionTimeoutMs;
}

bool runJavaVersion(const std::string& javaExe, const uint32_t lastWriteTime[2],
                    std::string& version) {
  version.clear();
  const std::string commandLine = javaVersionCommandLine(shortPathOf(javaExe));
  const std::string tempFile = makeTempFileName();

  HANDLE file = CreateFileA(tempFile.c_str(), GENERIC_READ | GENERIC_WRITE,
                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  HANDLE errorOutput = nullptr;
  if (file != INVALID_HANDLE_VALUE) {
    DuplicateHandle(GetCurrentProcess(), file, GetCurrentProcess(), &errorOutput, 0, TRUE,
                    DUPLICATE_SAME_ACCESS);
    CloseHandle(file);
  }

  ProcessOptions options;
  options.hidden = true;
  options.standardError = errorOutput;
  ChildProcess process;
  // Without an output file the version could not be read back: do not start at all.
  const bool started = errorOutput != nullptr && process.start(commandLine, options);
  if (!started) {
    logMessage("Could not create process %s > %s (error %d)", commandLine.c_str(),
               tempFile.c_str(), static_cast<int>(GetLastError()));
    if (errorOutput != nullptr) CloseHandle(errorOutput);
    DeleteFileA(tempFile.c_str());
    return false;
  }

  // Whether it still runs is what the wait says: a program may itself end with code 259.
  const bool finished = process.wait(versionTimeoutMs);
  const DWORD exitCode = process.exitCode();
  logMessage("Exit Code %d", static_cast<int>(exitCode));
  if (!finished) {
    logMessage("Terminating process");
    process.terminate(1);
    process.wait(kTerminateGraceMs);
  } else if (exitCode != 0) {
    writeVersionCache(javaExe, lastWriteTime, kFailedRunVersion);
  }
  CloseHandle(errorOutput);

  bool result = false;
  std::string line;
  if (finished && exitCode == 0 && readFirstLine(tempFile, line) &&
      parseVersionLine(line, version)) {
    logMessage("Java version: %s", version.c_str());
    result = true;
  }
  DeleteFileA(tempFile.c_str());
  return result;
}

bool checkJavaExe(std::string& javaExe, std::string& version, const std::string& minVersion,
                  const std::string& maxVersion, bool allowBeta, bool useVersionCache) {
  logMessage("checkJavaExe (%s, [out], %s, %s, %d)", javaExe.c_str(), minVersion.c_str(),
             maxVersion.c_str(), allowBeta ? 1 : 0);
  javaExe = normalizePath(javaExe, false);
  version.clear();
  bool result = false;
  uint32_t lastWrite[2] = {0, 0};
  if (!findFile(javaExe, lastWrite)) {
    logMessage("file doesn't exist");
  } else {
    logMessage("file exists");
    if (useVersionCache && readVersionCache(javaExe, lastWrite, version) && !version.empty()) {
      logMessage("got version from registry %s", version.c_str());
      // The mark of a failed run is no version: such a runtime stays refused whatever the
      // bounds, as it was when it was run.
      result = version != kFailedRunVersion &&
               isVersionAccepted(version, minVersion, maxVersion, allowBeta);
    } else if (runJavaVersion(javaExe, lastWrite, version)) {
      logMessage("got version from execution %s", version.c_str());
      writeVersionCache(javaExe, lastWrite, version);
      result = isVersionAccepted(version, minVersion, maxVersion, allowBeta);
    } else {
      version.clear();
      logMessage("couldn't get version");
    }
    if (result && getConfigInt(CFG_EXECUTABLE_TYPE) == 1) {
      javaExe = javawPathFor(javaExe);
      result = fileExists(javaExe);
    }
  }
  logMessage("checkJavaExe returning %d", result ? 1 : 0);
  return result;
}
