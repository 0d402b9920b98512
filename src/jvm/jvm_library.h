// Loading the chosen runtime's jvm.dll into the launcher's own process. loadJvmLibrary decides the
// runtime (handed in, or found by the search), puts its bin directory on PATH, loads the
// first VM-type directory's jvm.dll that loads, and keeps the JNI_CreateJavaVM entry point
// and the runtime's home for the JVM start and the variable expansion.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "base/config_table.h"
#include "runtime_search/jre_search.h"

// The invocation interface's creation function of the loaded library.
using CreateJavaVMFunction = jint(JNICALL*)(JavaVM** vm, void** env, void* args);

// Process-wide results of loadJvmLibrary; zero at start, written only by loadJvmLibrary.
struct JvmLibrary {
  // Null until a library was loaded and its JNI_CreateJavaVM found; a later load that lacks
  // the symbol leaves an earlier entry in place.
  CreateJavaVMFunction createJavaVMEntry = nullptr;
  // The Java executable's directory followed by "..", e.g. "C:\rt\bin\.."; empty until a
  // loadJvmLibrary got as far as a Java executable.
  std::string jvmHome;
};
JvmLibrary& jvmLibrary();
// The current jvmHome text (empty before loadJvmLibrary reached a Java executable).
const std::string& getJvmHome();

// Limits of the loader's texts, in bytes without the terminator: a bin directory of more
// is refused; a PATH of more is never set (the runtime is then loaded without it).
constexpr size_t kMaxBinDirectory = 1999;
constexpr size_t kMaxPathVariable = 16383;
// CFG_PREFERRED_VM_TYPE is read into 200 bytes.
constexpr size_t kMaxPreferredVmType = 199;

// ---- Pure rules ----

// The bin directory of a Java executable: without "\javaw.exe" or "\java.exe" (the last 10
// resp. 9 characters; "javaw.exe" compared case-sensitively). Empty for shorter paths.
std::string binDirectoryOf(const std::string& javaExe);
// The Java executable's directory with its trailing backslash, followed by "..".
std::string jvmHomeOf(const std::string& javaExe);
// Where a JDK keeps its private runtime's Java executable: the executable's directory
// followed by "..\jre\bin\java.exe".
std::string privateRuntimeJavaExe(const std::string& javaExe);
// VM-type subdirectories in the order they are tried: the preferred one (at most 199
// characters) when set, then hotspot, client, server, classic, jrockit. A preferred type
// from the fixed list is tried twice.
std::vector<std::string> vmTypeOrder(const std::string& preferredVmType);
// oldPath + ";" + binDirectory; false when either PATH value would exceed kMaxPathVariable.
bool extendPath(const std::string& oldPath, const std::string& binDirectory,
                std::string& newPath);

// The one message shown when the found runtime's library does not load.
struct LoadFailureMessage {
  ConfigId id;
  std::string argument;
  bool hasArgument;
};
LoadFailureMessage loadFailureMessage(JreSourceKind kind, const std::string& label);

// ---- The loader ----

// Loads a runtime's jvm.dll: with `location`, that runtime directory (or Java executable,
// when isJavaExecutable) after its check; without, the one searchJvm finds. True when the
// library is loaded and createJavaVMEntry is set. Never ends the process; with showErrors
// a failure shows one configured message (non-fatal) before returning false.
bool loadJvmLibrary(bool showErrors, const char* location, bool isJavaExecutable);

// Appends the executable's bin directory to PATH and loads the first VM-type jvm.dll that
// loads. Without one PATH gets its old value back. Returns the library or null.
void* loadJvmFromExecutable(const std::string& javaExe);

// ---- The Linux launcher ----

// The libjvm.so files of a runtime home (Linux separators), in the order tried: for each VM
// type (the preferred one when set, then server, client) lib/TYPE (Java 9 and later), then
// jre/lib/amd64/TYPE and lib/amd64/TYPE (the Java 8 layouts of a JDK and of a JRE).
std::vector<std::string> libjvmCandidates(const std::string& home, const std::string& preferredVmType);
// Loads the first candidate of `home` that loads (logging "Trying %s (exists %d)" for each),
// keeps its JNI_CreateJavaVM and makes `home` the jvmHome. True when both were found.
bool loadLibjvm(const std::string& home);

// What the loader asks of the system: the platform's own calls unless a test replaces them.
struct JvmLoaderSystem {
  // PATH of the process; false when it is not set.
  bool (*readPath)(std::string& value);
  // Sets PATH (null: removes it) in the process environment, then in the C runtime's copy.
  // Returns 0, or the system's error code of the first step.
  uint32_t (*writePath)(const char* value);
  // Loads a library by full path; null on failure with the system's code in *error.
  void* (*loadLibrary)(const std::string& path, uint32_t* error);
  void* (*findSymbol)(void* library, const char* name);
  bool (*fileExists)(const std::string& path);
  JreSourceKind (*searchJvm)(std::string& javaExe, std::string& label);
  bool (*checkLocation)(std::string& javaExe, const std::string& location,
                        const std::string& minVersion, const std::string& maxVersion,
                        bool skipVersionTest);
  bool (*checkJavaExe)(std::string& javaExe, std::string& version, const std::string& minVersion,
                       const std::string& maxVersion, bool allowBeta, bool useVersionCache);
  // Shows a configured message without ending the process.
  void (*showMessage)(ConfigId id, const char* argument);
  // Lets the libraries the runtime loads find their neighbours in `directory` (its bin
  // directory), where the DLL search leaves out the installer's folder and PATH.
  void (*addLibraryDirectory)(const std::string& directory);
};
// The platform's system (defined per platform).
const JvmLoaderSystem& platformJvmLoaderSystem();
// Test seam: replaces the system until called again with nullptr.
void setJvmLoaderSystemForTesting(const JvmLoaderSystem* system);
// Test seam: forgets the loaded entry point and jvmHome.
void resetJvmLibraryForTesting();
