// The runtime loader's Windows calls.
#include <windows.h>

#include <cstdlib>
#include <vector>

#include "base/error_report.h"
#include "jvm/jvm_library.h"
#include "platform/paths.h"
#include "platform/system_library.h"

namespace {
bool readPath(std::string& value) {
  std::vector<char> buffer(kMaxPathVariable + 1);
  SetLastError(ERROR_SUCCESS);
  DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    // Longer than the launcher's buffer: read it whole so the caller can refuse it by length.
    buffer.resize(n);
    n = GetEnvironmentVariableA("PATH", buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) n = 0;
  }
  if (n == 0) {
    value.clear();
    return GetLastError() != ERROR_ENVVAR_NOT_FOUND;
  }
  value.assign(buffer.data(), n);
  return true;
}

uint32_t writePath(const char* value) {
  const uint32_t error = SetEnvironmentVariableA("PATH", value) ? 0 : GetLastError();
  // The C runtime keeps its own copy of the environment, which getenv reads.
  const std::string assignment = std::string("PATH=") + (value != nullptr ? value : "");
  _putenv(assignment.c_str());
  return error;
}

void addLibraryDirectory(const std::string& directory) { addDllDirectory(directory); }

void* findSymbol(void* library, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(library), name));
}

void showMessage(ConfigId id, const char* argument) { reportConfigError(id, argument); }

bool existsAsFile(const std::string& path) { return fileExists(path); }

const JvmLoaderSystem kWindowsSystem = {
    &readPath,  &writePath,     &loadLibraryBeside, &findSymbol,  &existsAsFile,
    &searchJvm, &checkLocation, &checkJavaExe,      &showMessage, &addLibraryDirectory,
};
}  // namespace

const JvmLoaderSystem& platformJvmLoaderSystem() { return kWindowsSystem; }
