// The Linux runtime's file system: the plain target of the included files, plus permission
// bits and symbolic links, and a guard that nothing is written through a link.
#include <sys/stat.h>
#include <unistd.h>

#include "runtime/untar.h"

namespace {
std::string hostPath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

// True when a directory on the way to `path` (after its first part, the target directory
// itself) is a symbolic link: a link made earlier in the archive must not carry later
// entries somewhere else.
bool passesThroughLink(const std::string& path) {
  const std::string host = hostPath(path);
  size_t slash = host.find('/', 1);
  while (slash != std::string::npos) {
    slash = host.find('/', slash + 1);
    if (slash == std::string::npos) break;
    struct stat info;
    if (lstat(host.substr(0, slash).c_str(), &info) == 0 && S_ISLNK(info.st_mode)) return true;
  }
  return false;
}

DirectoryResult createDirectoryGuarded(void* context, const std::string& path) {
  if (passesThroughLink(path)) return DirectoryResult::Failed;
  return fileSystemTarget().createDirectory(context, path);
}

bool createFileGuarded(void* context, const std::string& path, ByteSink* file) {
  if (passesThroughLink(path)) return false;
  struct stat info;
  // An earlier link at this very name is replaced, never written through.
  if (lstat(hostPath(path).c_str(), &info) == 0 && S_ISLNK(info.st_mode)) unlink(hostPath(path).c_str());
  return fileSystemTarget().createFile(context, path, file);
}

bool copyFileGuarded(void* context, const std::string& from, const std::string& to) {
  if (passesThroughLink(from) || passesThroughLink(to)) return false;
  return fileSystemTarget().copyFile(context, from, to);
}

void setModePosix(void*, const std::string& path, uint32_t mode) { chmod(hostPath(path).c_str(), mode & 0777); }

bool createSymbolicLinkPosix(void*, const std::string& path, const std::string& text) {
  if (passesThroughLink(path)) return false;
  const std::string host = hostPath(path);
  struct stat info;
  if (lstat(host.c_str(), &info) == 0 && !S_ISDIR(info.st_mode)) unlink(host.c_str());
  return symlink(text.c_str(), host.c_str()) == 0;
}
}  // namespace

const ExtractionTarget& runtimeTarget() {
  static const ExtractionTarget target = [] {
    ExtractionTarget t = fileSystemTarget();
    t.createDirectory = &createDirectoryGuarded;
    t.createFile = &createFileGuarded;
    t.copyFile = &copyFileGuarded;
    t.setMode = &setModePosix;
    t.createSymbolicLink = &createSymbolicLinkPosix;
    return t;
  }();
  return target;
}
