// Temporary directories of the Linux launcher: the run's own directory is made by mkdtemp
// (owner-only, a name nobody can guess) under $TMPDIR or /tmp, and removed with everything
// in it when the process ends.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/remove_tree.h"
#include "platform/temp_dir.h"

namespace {
// The directory the exit handler removes; set once, before any other thread runs.
std::string& directoryToRemove() {
  static std::string* directory = new std::string();
  return *directory;
}

void removeAtExit() {
  const std::string& directory = directoryToRemove();
  if (!directory.empty()) removeDirectoryTree(directory);
}
}  // namespace

std::string getTempPath() {
  const char* root = getenv("TMPDIR");
  struct stat info;
  if (root != nullptr && *root == '/' && stat(root, &info) == 0 && S_ISDIR(info.st_mode)) {
    std::string path = root;
    while (path.size() > 1 && path.back() == '/') path.pop_back();
    return path;
  }
  return "/tmp";
}

std::string createLauncherTempDir() {
  std::string name = getTempPath() + "/qlzXXXXXX";
  if (mkdtemp(&name[0]) == nullptr) {
    logError("Could not create temp dir %s", name.c_str());
    fatalInternalError(InternalError::TempDirectory);
  }
  logMessage("Temp dir: %s", name.c_str());
  return name;
}

void removeTempDirAtExit(const std::string& directory) {
  const bool first = directoryToRemove().empty();
  directoryToRemove() = directory;
  if (first) {
    atexit(&removeAtExit);
    setExitCleanup(&removeAtExit);
  }
}
