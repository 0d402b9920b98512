// Applying the native library directories to PATH on Windows.
#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "base/config_table.h"
#include "jvm/native_library_path.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"
#include "platform/system_library.h"

namespace {
std::string currentPath() {
  DWORD size = GetEnvironmentVariableA("PATH", nullptr, 0);
  // The variable may change between the two calls; retry with the size asked for.
  for (int attempt = 0; attempt < 3 && size > 0; ++attempt) {
    std::vector<char> buffer(size);
    const DWORD n = GetEnvironmentVariableA("PATH", buffer.data(), size);
    if (n < size) return std::string(buffer.data(), n);
    size = n;
  }
  return std::string();
}
}  // namespace

void prependNativeLibraryPath() {
  std::string directories = getConfigText(CFG_NATIVE_LIBRARY_DIRECTORIES);
  logMessage("native lib dir is %s", directories.c_str());
  expandVariables(directories);
  const std::string absolute = absolutizePathList(directories);
  const NativeLibraryPath path = composeNativeLibraryPath(absolute, currentPath());
  // The DLL search no longer reads PATH for a library's imports: the directories are added
  // to it themselves, so a native library still finds the ones it depends on.
  size_t start = 0;
  while (start <= absolute.size()) {
    const size_t end = std::min(absolute.find(';', start), absolute.size());
    if (end > start) addDllDirectory(absolute.substr(start, end - start));
    start = end + 1;
  }
  if (path.directoriesCut) {
    logError("native library directories do not fit in PATH; cut to %s", path.value.c_str());
  } else if (path.oldPathCut) {
    logError("previous PATH does not fit behind the native library directories; it was cut");
  }
  if (SetEnvironmentVariableA("PATH", path.value.c_str())) {
    logMessage("Setting PATH (native libs) %s", path.value.c_str());
  } else {
    logMessage("Setting PATH (native libs) %s failed with error %d", path.value.c_str(),
               static_cast<int>(GetLastError()));
  }
  const std::string assignment = "PATH=" + path.value;
  _putenv(assignment.c_str());
}
