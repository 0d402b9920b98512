// Stand-ins for an installed Java runtime in end-to-end tests, made from the fixtures of the
// Windows build tree: the fixture java.exe (answering "-version" from its .cfg) and the
// fixture jvm.dll (recording what the launcher does with it). Host only.
#pragma once

#include <string>
#include <vector>

// A fixture of the Windows build tree: <tree>/fixtures/<relative>.
std::string fixturePath(const std::string& relative);

// Which jvm.dll a fake runtime carries: the recording one, one without JNI_CreateJavaVM, or
// none at all; Helped is the recording one importing bin\jvmhelper.dll (and records
// "helper runtime" when that copy is the one loaded).
enum class FakeJvm { Working, WithoutEntry, Missing, Helped };

struct FakeRuntimeOptions {
  FakeJvm jvm = FakeJvm::Working;
  std::string version = "1.8.0_181";  // what "java -version" says
  bool unpacker = false;              // bin\unpack200.exe
};

// A runtime home at `home` (host path; directories are created): bin\java.exe with its .cfg
// and bin\server\jvm.dll. Throws std::runtime_error when a fixture is missing.
void makeFakeRuntime(const std::string& home, const FakeRuntimeOptions& options = {});

// The runtime home `home` packed the way an installer carries it (a ustar tar.gz of its bin
// directory, made with tar next to it as <home>.tar.gz); "" when tar fails.
std::string runtimeArchiveOf(const std::string& home);

// The per-user version-cache key the launcher writes for home\bin\java.exe, as reg.exe names
// it, so that tests running in a shared prefix can remove it again.
std::string versionCacheKeyOf(const std::string& home);

// Runs Wine's reg.exe with `args` in `prefix` ("" : the tests' prefix); returns its exit code.
int runReg(const std::vector<std::string>& args, const std::string& prefix = "");

// The launcher's start markers ("InstallStarted", "InstallStarted_<pid>") of the current user
// in `prefix`. A run that reaches the Java side leaves them for the Java side to clear, and a
// later start that is not quiet asks about them; tests remove them around their runs.
constexpr const char kStartMarkerKey[] = "HKCU\\Software\\northgale\\quoll";
void removeStartMarkers(const std::string& prefix = "");
