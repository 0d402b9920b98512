// Host only: the Windows build of the test helpers has no Wine to drive.
#if !defined(_WIN32)
#include "support/fake_runtime.h"

#include <sys/stat.h>

#include <cctype>
#include <cstdlib>
#include <fstream>

#include "support/media_files.h"
#include "support/wine_run.h"

namespace {
void copyInto(const std::string& from, const std::string& to) {
  makeDirectories(to.substr(0, to.rfind('/')));
  writeFileBytes(to, readFileBytes(from));
}
}  // namespace

std::string fixturePath(const std::string& relative) { return windowsTree() + "/fixtures/" + relative; }

void makeFakeRuntime(const std::string& home, const FakeRuntimeOptions& options) {
  copyInto(fixturePath("java/java.exe"), home + "/bin/java.exe");
  std::ofstream(home + "/bin/java.exe.cfg", std::ios::binary | std::ios::trunc)
      << "stderr=java version \"" << options.version << "\"\nstderr=Java(TM) SE Runtime Environment\n";
  if (options.jvm == FakeJvm::Working) copyInto(fixturePath("jvm.dll"), home + "/bin/server/jvm.dll");
  if (options.jvm == FakeJvm::WithoutEntry) {
    copyInto(fixturePath("noentry/jvm.dll"), home + "/bin/server/jvm.dll");
  }
  if (options.jvm == FakeJvm::Helped) {
    copyInto(fixturePath("helped/jvm.dll"), home + "/bin/server/jvm.dll");
    copyInto(fixturePath("jvmhelper.dll"), home + "/bin/jvmhelper.dll");
  }
  if (options.unpacker) copyInto(fixturePath("unpack200/unpack200.exe"), home + "/bin/unpack200.exe");
}

std::string runtimeArchiveOf(const std::string& home) {
  const std::string archive = home + ".tar.gz";
  const std::string command = "tar --format=ustar -czf '" + archive + "' -C '" + home + "' bin";
  if (std::system(command.c_str()) != 0) return std::string();
  return readWholeFile(archive);
}

std::string versionCacheKeyOf(const std::string& home) {
  // The launcher keys the cache by the lower-cased path with "/" for "\".
  std::string path = winePathOf(home) + "\\bin\\java.exe";
  for (char& c : path) {
    c = c == '\\' ? '/' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  }
  return std::string(kStartMarkerKey) + "\\jvms\\" + path;
}

int runReg(const std::vector<std::string>& args, const std::string& prefix) {
  WineCommand command;
  command.program = "reg";
  command.args = args;
  if (!prefix.empty()) command.environment = {{"WINEPREFIX", prefix}};
  command.timeoutMs = 120000;
  return runUnderWine(command).exitCode;
}

void removeStartMarkers(const std::string& prefix) {
  // Every value of the key (the global and the per-process markers); its subkeys stay.
  runReg({"delete", kStartMarkerKey, "/va", "/f"}, prefix);
}

#endif  // !_WIN32
