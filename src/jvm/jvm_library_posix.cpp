// The runtime loader on POSIX hosts: dlopen and the process environment. The Windows-shaped
// loader (loadJvmLibrary) finds nothing here without a handed-in location; the Linux launcher
// searches with searchJvm and loads a runtime home's libjvm.so with loadLibjvm.
#include <dlfcn.h>

#include <unistd.h>

#include <cstdlib>

#include "base/error_report.h"
#include "jvm/jvm_library.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
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

namespace {
std::string libjvmHomeForExpansion() { return jvmLibrary().jvmHome; }
}  // namespace

bool loadLibjvm(const std::string& home) {
  logMessage("Trying to load libjvm from %s", home.c_str());
  std::string preferred = getConfigText(CFG_PREFERRED_VM_TYPE);
  for (const std::string& candidate : libjvmCandidates(home, preferred)) {
    const bool exists = access(candidate.c_str(), R_OK) == 0;
    logMessage("Trying %s (exists %d)", candidate.c_str(), exists ? 1 : 0);
    if (!exists) continue;
    void* library = dlopen(candidate.c_str(), RTLD_NOW | RTLD_GLOBAL);
    if (library == nullptr) {
      const char* why = dlerror();
      logError("Could not load %s: %s", candidate.c_str(), why != nullptr ? why : "?");
      continue;
    }
    void* entry = dlsym(library, "JNI_CreateJavaVM");
    if (entry == nullptr) {
      logError("Could not load functions");
      continue;
    }
    jvmLibrary().createJavaVMEntry = reinterpret_cast<CreateJavaVMFunction>(entry);
    jvmLibrary().jvmHome = home;
    setJvmHomeGetter(&libjvmHomeForExpansion);
    logMessage("Loading of JVM-DLL successful");
    return true;
  }
  logError("Could not get DLL-Handle.");
  return false;
}
