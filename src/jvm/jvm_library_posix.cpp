// The runtime loader on POSIX hosts: dlopen and the process environment. There is no runtime
// search here yet, so without a handed-in location nothing is found.
#include <dlfcn.h>

#include <cstdlib>

#include "base/error_report.h"
#include "jvm/jvm_library.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"

namespace {
bool readPath(std::string& value) {
  const char* path = getenv("PATH");
  value = path != nullptr ? path : "";
  return path != nullptr;
}

uint32_t writePath(const char* value) {
  const int result = value != nullptr ? setenv("PATH", value, 1) : unsetenv("PATH");
  return result == 0 ? 0 : 1;
}

void* loadLibrary(const std::string& path, uint32_t* error) {
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_GLOBAL);
  if (library == nullptr && error != nullptr) *error = 1;
  return library;
}

void* findSymbol(void* library, const char* name) { return dlsym(library, name); }

bool existsAsFile(const std::string& path) { return fileExists(path); }

JreSourceKind noSearch(std::string&, std::string&) {
  logMessage("no runtime search on this platform");
  return NOT_FOUND;
}

bool noLocationCheck(std::string&, const std::string&, const std::string&, const std::string&,
                     bool) {
  return false;
}

bool noExecutableCheck(std::string&, std::string&, const std::string&, const std::string&, bool,
                       bool) {
  return false;
}

void showMessage(ConfigId id, const char* argument) { reportConfigError(id, argument); }

const JvmLoaderSystem kPosixSystem = {
    &readPath,      &writePath,       &loadLibrary,       &findSymbol,  &existsAsFile,
    &noSearch,      &noLocationCheck, &noExecutableCheck, &showMessage, nullptr,
};
}  // namespace

const JvmLoaderSystem& platformJvmLoaderSystem() { return kPosixSystem; }
