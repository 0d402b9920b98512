// The runtime loader's decisions: which runtime, which jvm.dll candidates in which order,
// how PATH changes and which single message a failure shows. The system calls come through
// JvmLoaderSystem so the whole sequence runs the same under test.
#include "jvm/jvm_library.h"

#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"

namespace {
JvmLibrary library;
const JvmLoaderSystem* testSystem = nullptr;

const JvmLoaderSystem& loaderSystem() {
  return testSystem != nullptr ? *testSystem : platformJvmLoaderSystem();
}

constexpr char kJavaw[] = "javaw.exe";

bool endsWith(const std::string& text, const char* tail) {
  const std::string t(tail);
  return text.size() >= t.size() && text.compare(text.size() - t.size(), t.size(), t) == 0;
}

std::string withoutLast(const std::string& text, size_t count) {
  return text.substr(0, text.size() >= count ? text.size() - count : 0);
}

// The executable's directory, trailing backslash kept.
std::string executableDirectory(const std::string& javaExe) {
  return withoutLast(javaExe, endsWith(javaExe, kJavaw) ? 9 : 8);
}

std::string jvmHomeForExpansion() { return library.jvmHome; }

// A configuration text read into an 8192-byte buffer.
std::string configText(ConfigId id, size_t limit) {
  std::string text = getConfigText(id);
  if (text.size() > limit) text.resize(limit);
  return text;
}

void writePath(const JvmLoaderSystem& system, const std::string* value) {
  const uint32_t error = system.writePath(value != nullptr ? value->c_str() : nullptr);
  const char* shown = value != nullptr ? value->c_str() : "";
  if (error == 0) {
    logMessage("Setting PATH %s", shown);
  } else {
    logMessage("Setting PATH %s failed with error %d", shown, static_cast<int>(error));
  }
}

void* tryJvmDll(const JvmLoaderSystem& system, const std::string& binDirectory,
                const std::string& vmType) {
  const std::string path = binDirectory + "\\" + vmType + "\\jvm.dll";
  const bool exists = system.fileExists(path);
  logMessage("Trying %s (exists %d)", path.c_str(), exists ? 1 : 0);
  // Loaded even when the file test says no: the test can miss what the loader finds.
  uint32_t error = 0;
  void* handle = system.loadLibrary(path, &error);
  if (handle == nullptr && exists) logMessage("Failed with error code %d", static_cast<int>(error));
  return handle;
}
}  // namespace

JvmLibrary& jvmLibrary() { return library; }

const std::string& getJvmHome() { return library.jvmHome; }

std::string binDirectoryOf(const std::string& javaExe) {
  const size_t strip = endsWith(javaExe, kJavaw) ? 10 : 9;
  return javaExe.size() >= strip ? javaExe.substr(0, javaExe.size() - strip) : std::string();
}

std::string jvmHomeOf(const std::string& javaExe) { return executableDirectory(javaExe) + ".."; }

std::string privateRuntimeJavaExe(const std::string& javaExe) {
  return executableDirectory(javaExe) + "..\\jre\\bin\\java.exe";
}

std::vector<std::string> vmTypeOrder(const std::string& preferredVmType) {
  std::vector<std::string> order;
  if (!preferredVmType.empty()) order.push_back(preferredVmType.substr(0, kMaxPreferredVmType));
  for (const char* type : {"hotspot", "client", "server", "classic", "jrockit"}) {
    order.push_back(type);
  }
  return order;
}

bool extendPath(const std::string& oldPath, const std::string& binDirectory,
                std::string& newPath) {
  if (oldPath.size() > kMaxPathVariable) return false;
  if (oldPath.size() + 1 + binDirectory.size() > kMaxPathVariable) return false;
  newPath = oldPath + ";" + binDirectory;
  return true;
}

std::vector<std::string> libjvmCandidates(const std::string& home, const std::string& preferredVmType) {
  std::vector<std::string> types;
  if (!preferredVmType.empty()) types.push_back(preferredVmType.substr(0, kMaxPreferredVmType));
  for (const char* type : {"server", "client"}) {
    if (preferredVmType != type) types.push_back(type);
  }
  std::string base = home;
  while (base.size() > 1 && base.back() == '/') base.pop_back();
  std::vector<std::string> candidates;
  for (const char* layout : {"/lib/", "/jre/lib/amd64/", "/lib/amd64/"}) {
    for (const std::string& type : types) candidates.push_back(base + layout + type + "/libjvm.so");
  }
  return candidates;
}

LoadFailureMessage loadFailureMessage(JreSourceKind kind, const std::string& label) {
  switch (kind) {
    case FOUND_ON_PATH: return {CFG_MSG_NO_JVM_BITS, "32", true};
    case FOUND_BY_ENV_VAR: return {CFG_MSG_ENV_VAR_NO_JVM_32, label, true};
    case FOUND_AT_LOCATION: return {CFG_MSG_JVM_AT_DAMAGED_32, label, true};
    default: return {CFG_MSG_JVM_NOT_STARTED, std::string(), false};
  }
}

void* loadJvmFromExecutable(const std::string& javaExe) {
  const JvmLoaderSystem& system = loaderSystem();
  const std::string binDirectory = binDirectoryOf(javaExe);
  if (binDirectory.size() > kMaxBinDirectory) {
    logError("JVM path too long (%d characters), not loaded: %s",
             static_cast<int>(binDirectory.size()), javaExe.c_str());
    return nullptr;
  }

  std::string oldPath;
  const bool hadPath = system.readPath(oldPath);
  std::string newPath;
  // A PATH that cannot hold the bin directory is left alone rather than cut: the runtime
  // may still load, without its neighbouring libraries on the search path.
  const bool extended = extendPath(oldPath, binDirectory, newPath);
  if (extended) {
    writePath(system, &newPath);
  } else {
    logError("PATH too long (%d characters), not extended by %s",
             static_cast<int>(oldPath.size()), binDirectory.c_str());
  }

  if (system.addLibraryDirectory != nullptr) system.addLibraryDirectory(binDirectory);

  void* handle = nullptr;
  for (const std::string& type : vmTypeOrder(configText(CFG_PREFERRED_VM_TYPE, kMaxPreferredVmType))) {
    handle = tryJvmDll(system, binDirectory, type);
    if (handle != nullptr) break;
  }

  // Restored as it was: a PATH that was not set is removed again, not left empty.
  if (handle == nullptr && extended) writePath(system, hadPath ? &oldPath : nullptr);
  return handle;
}

bool loadJvmLibrary(bool showErrors, const char* location, bool isJavaExecutable) {
  const JvmLoaderSystem& system = loaderSystem();
  logMessage("LoadDLL (%d, %s, %d)", showErrors ? 1 : 0, location != nullptr ? location : "(null)",
             isJavaExecutable ? 1 : 0);

  std::string javaExe;
  std::string label;
  JreSourceKind kind = NOT_FOUND;
  if (location != nullptr) {
    logMessage("Got JRE location %s (java exe: %d)", location, isJavaExecutable ? 1 : 0);
    const std::string minVersion = configText(CFG_MIN_JAVA_VERSION, 8191);
    const std::string maxVersion = configText(CFG_MAX_JAVA_VERSION, 8191);
    logMessage("MinVersion: %s, MaxVersion: %s", minVersion.c_str(), maxVersion.c_str());
    javaExe = location;
    bool usable;
    if (isJavaExecutable) {
      std::string version;
      usable = system.checkJavaExe(javaExe, version, minVersion, maxVersion, true, false);
    } else {
      usable = system.checkLocation(javaExe, location, minVersion, maxVersion, true);
    }
    if (!usable) {
      logError("Provided JVM unusable");
      if (showErrors) system.showMessage(CFG_MSG_NO_JVM_BITS, "32");
      return false;
    }
    kind = FOUND_AT_LOCATION;
    label = location;
  } else {
    kind = system.searchJvm(javaExe, label);
    if (kind == NOT_FOUND) {
      logError("No JVM found");
      if (showErrors) system.showMessage(CFG_MSG_NO_JVM_BITS, "32");
      return false;
    }
  }

  logMessage("Trying to load JVM-DLL from %s", javaExe.c_str());
  void* handle = loadJvmFromExecutable(javaExe);
  if (handle == nullptr) handle = loadJvmFromExecutable(privateRuntimeJavaExe(javaExe));

  // From the chosen executable, not the JDK's private runtime, and whether or not a library
  // loaded.
  library.jvmHome = jvmHomeOf(javaExe);
  setJvmHomeGetter(&jvmHomeForExpansion);

  void* entry = nullptr;
  if (handle == nullptr) {
    logError("Could not get DLL-Handle.");
  } else {
    entry = system.findSymbol(handle, "JNI_CreateJavaVM");
    if (entry != nullptr) library.createJavaVMEntry = reinterpret_cast<CreateJavaVMFunction>(entry);
  }
  if (handle == nullptr || entry == nullptr) logError("Could not load functions");

  if (handle != nullptr && entry != nullptr) {
    logMessage("Loading of JVM-DLL successful");
    return true;
  }
  if (showErrors) {
    const LoadFailureMessage message = loadFailureMessage(kind, label);
    system.showMessage(message.id, message.hasArgument ? message.argument.c_str() : nullptr);
  }
  return false;
}

void setJvmLoaderSystemForTesting(const JvmLoaderSystem* system) { testSystem = system; }

void resetJvmLibraryForTesting() {
  library = JvmLibrary();
  setJvmHomeGetter(nullptr);
}
