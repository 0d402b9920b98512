// The system-bound temporary directory operations on Windows.
// rand_s: the C runtime's random numbers from the system's generator.
#define _CRT_RAND_S
#include <windows.h>

#include <direct.h>
#include <sddl.h>

#include <cstdlib>
#include <vector>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/find_handle_win.h"
#include "platform/paths.h"
#include "platform/paths_win.h"
#include "platform/temp_dir.h"

namespace {
constexpr DWORD kPathBuffer = 8192;

// A security descriptor whose protected access list lets only the user running the launcher
// in (full control, inherited by everything inside): the temporary directory holds code that
// the launcher loads into its own process, and the shared roots it may fall back to let every
// user create files.
class OwnerOnlySecurity {
 public:
  OwnerOnlySecurity() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return;
    DWORD size = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &size);
    std::vector<BYTE> user(size);
    LPWSTR sid = nullptr;
    if (size > 0 && GetTokenInformation(token, TokenUser, user.data(), size, &size) &&
        ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER*>(user.data())->User.Sid, &sid)) {
      const std::wstring text = L"D:P(A;OICI;FA;;;" + std::wstring(sid) + L")";
      LocalFree(sid);
      ConvertStringSecurityDescriptorToSecurityDescriptorW(text.c_str(), SDDL_REVISION_1, &descriptor_, nullptr);
    }
    CloseHandle(token);
    attributes_.nLength = sizeof attributes_;
    attributes_.lpSecurityDescriptor = descriptor_;
    attributes_.bInheritHandle = FALSE;
  }
  ~OwnerOnlySecurity() {
    if (descriptor_ != nullptr) LocalFree(descriptor_);
  }
  OwnerOnlySecurity(const OwnerOnlySecurity&) = delete;
  OwnerOnlySecurity& operator=(const OwnerOnlySecurity&) = delete;

  bool ready() const { return descriptor_ != nullptr; }
  SECURITY_ATTRIBUTES* attributes() { return &attributes_; }

 private:
  PSECURITY_DESCRIPTOR descriptor_ = nullptr;
  SECURITY_ATTRIBUTES attributes_ = {};
};

const TempRootSources* testSources = nullptr;

uint32_t systemTempPath(std::string& out) {
  // Asked in UTF-16: the narrow call would map a character the code page lacks to a look-alike
  // and name another folder ("\u0141temp" as "Ltemp"). The exact narrow form is taken, else the
  // short name; a folder with neither counts as no temporary folder.
  std::vector<wchar_t> buffer(kPathBuffer);
  const DWORD n = GetTempPathW(kPathBuffer, buffer.data());
  // A result that does not fit leaves the buffer's contents undefined: treat it as empty.
  out = (n > 0 && n < kPathBuffer) ? exactNarrowPath(std::wstring(buffer.data(), n)) : std::string();
  return out.empty() ? 0 : static_cast<uint32_t>(out.size());
}

std::string systemWindowsDirectory() {
  std::vector<char> buffer(kPathBuffer);
  const UINT n = GetWindowsDirectoryA(buffer.data(), kPathBuffer);
  return (n > 0 && n < kPathBuffer) ? std::string(buffer.data(), n) : std::string();
}

std::string environmentValue(const char* name) {
  std::vector<char> buffer(kPathBuffer);
  const DWORD n = GetEnvironmentVariableA(name, buffer.data(), kPathBuffer);
  return (n > 0 && n < kPathBuffer) ? std::string(buffer.data(), n) : std::string();
}

// The long form of `path`, or false when the resolver cannot give it.
bool longFormOf(const std::string& path, std::string& out) {
  std::vector<char> buffer(kPathBuffer);
  const uint32_t n = resolveLongPathName(path.c_str(), buffer.data(), kPathBuffer);
  if (n == 0 || n >= kPathBuffer) return false;
  out.assign(buffer.data(), n);
  return true;
}

}  // namespace

void setTempRootSourcesForTesting(const TempRootSources* sources) { testSources = sources; }

std::string getTempPath() {
  std::string path;
  uint32_t result;
  if (testSources && testSources->tempPath) {
    result = testSources->tempPath(path);
  } else {
    result = systemTempPath(path);
  }
  logMessage("GetTempPath returned %d (last error %d)", static_cast<int>(result),
             static_cast<int>(GetLastError()));

  if (path.empty()) {
    path = homeTempRoot(environmentValue("HOMEDRIVE"), environmentValue("HOMEPATH"));
    logMessage("No temp dir defined. Using home %s", path.c_str());
  } else if (result > 0) {
    logMessage("make dir returned %d", _mkdir(path.c_str()));
  }

  std::string longForm;
  const bool haveLongForm = longFormOf(path, longForm);
  if (!tempRootNeedsReplacement(path, haveLongForm ? &longForm : nullptr)) return path;

  const std::string windowsDir = (testSources && testSources->windowsDirectory)
                                     ? testSources->windowsDirectory()
                                     : systemWindowsDirectory();
  const std::string replacement = chooseReplacementTempRoot(
      windowsDir, [](const std::string& dir) { return isWritableDir(dir); },
      [](const std::string& dir) { _mkdir(dir.c_str()); });
  if (replacement.empty()) fatalConfigError(CFG_MSG_POWERUSER_REQUIRED);
  return replacement;
}

bool isWritableDir(const std::string& directory) {
  const std::string probe = writableProbePath(directory);
  _rmdir(probe.c_str());
  if (_mkdir(probe.c_str()) != 0) return false;
  const bool exists = fileExists(probe);
  _rmdir(probe.c_str());
  return exists;
}

std::string makeTempFileName() {
  const std::string root = getTempPath();
  logMessage("tempPath is %s", root.c_str());
  // GetTempFileNameA writes at most MAX_PATH bytes.
  std::vector<char> buffer(kPathBuffer);
  std::string name;
  if (GetTempFileNameA(root.c_str(), "qlz", 0, buffer.data()) != 0) {
    name = buffer.data();
  } else {
    logMessage("GetTempFileName failed (last error %d)", static_cast<int>(GetLastError()));
    // A name that others could guess (the time of day) lets them prepare the directory it
    // leads to; the system's generator cannot be guessed.
    unsigned int number = 0;
    if (rand_s(&number) != 0) fatalInternalError(InternalError::TempDirectory);
    name = fallbackTempFileName(root, static_cast<int>(number & 0x7FFFFFFF));
  }
  logMessage("tempFile is %s", name.c_str());
  return name;
}

std::string makeProcessFileName(uint32_t number) {
  return processFileName(getTempPath(), number);
}

std::string createLauncherTempDir() {
  const std::string directory = launcherTempDirFor(makeTempFileName());
  logMessage("Temp dir: %s", directory.c_str());
  OwnerOnlySecurity security;
  if (!security.ready()) {
    logError("Could not describe a directory only this user may open");
    fatalInternalError(InternalError::TempDirectory);
  }
  // Never an existing directory: one that someone else made first is theirs to fill.
  if (!CreateDirectoryA(directory.c_str(), security.attributes())) {
    logError("Could not create %s (error code %d)", directory.c_str(), static_cast<int>(GetLastError()));
    fatalInternalError(InternalError::TempDirectory);
  }
  return directory;
}

void emptyDirectory(const std::string& directory) {
  if (!mayEmptyDirectory(directory)) return;
  logMessage("emptying %s", directory.c_str());
  WIN32_FIND_DATAA entry;
  FindHandle search(joinPath(directory, "*.*"), entry);
  if (!search.valid()) return;
  do {
    const std::string name = entry.cFileName;
    if (name == "." || name == "..") continue;
    const std::string path = joinPath(directory, name);
    if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
      logMessage("attempting to remove %s", path.c_str());
      RemoveDirectoryA(path.c_str());
    } else {
      logMessage("attempting to delete %s", path.c_str());
      DeleteFileA(path.c_str());
    }
  } while (FindNextFileA(search.get(), &entry));
}
