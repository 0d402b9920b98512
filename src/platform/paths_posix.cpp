// Host equivalents of the system-bound path operations: enough for the pure rules to be
// exercised on Linux and for a later POSIX launcher to build on.
#include <dirent.h>
#include <fnmatch.h>
#include <glob.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>

#include "base/text.h"
#include "platform/paths.h"

namespace {
std::string realPathOf(const char* path) {
  char* resolved = realpath(path, nullptr);
  if (resolved == nullptr) return std::string();
  std::string out(resolved);
  free(resolved);
  return out;
}
}  // namespace

bool isNT() { return false; }

bool isSystemRootedPath(const std::string& path) { return !path.empty() && path[0] == '/'; }

std::string systemPath(const std::string& path) {
  std::string out = path;
  for (char& c : out) {
    if (c == '\\') c = '/';
  }
  return out;
}

const std::string& getModulePath() {
  static const std::string modulePath = realPathOf("/proc/self/exe");
  return modulePath;
}

const std::string& getExeDir() {
  static const std::string exeDir = [] {
    const std::string& module = getModulePath();
    const size_t slash = module.rfind('/');
    return slash == std::string::npos ? std::string() : module.substr(0, slash + 1);
  }();
  return exeDir;
}

uint32_t emulateLongPathName(const char* path, char* buffer, uint32_t size) {
  const std::string resolved = realPathOf(path);
  if (resolved.empty()) return 0;
  const uint32_t n = static_cast<uint32_t>(resolved.size());
  if (n + 1 > size) return n + 1;
  memcpy(buffer, resolved.c_str(), n + 1);
  return n;
}

uint32_t resolveLongPathName(const char* path, char* buffer, uint32_t size) {
  return emulateLongPathName(path, buffer, size);
}

std::string longPathOf(const std::string& path) {
  std::string buffer(8192, '\0');
  const uint32_t n = resolveLongPathName(path.c_str(), &buffer[0], 8192);
  if (n == 0 || n >= 8192) return path;
  buffer.resize(n);
  return buffer;
}

void lowercasePath(std::string& path) {
  std::u16string wide = narrowToWide(path);
  for (char16_t& c : wide) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
  }
  std::string narrow;
  if (wideToNarrow(wide, narrow)) path = narrow;
}

std::string normalizePath(const std::string& path, bool keepCase) {
  const std::string scratch = makeAbsolute(path);
  // Resolved in the system's form; a path that does not exist (yet) keeps its own.
  std::string out = realPathOf(systemPath(scratch).c_str());
  if (out.empty()) out = scratch;
  if (!keepCase) lowercasePath(out);
  collapseBackslashes(out);
  return out;
}

bool fileExists(const std::string& path) {
  if (isDriveRoot(path)) return true;
  glob_t found;
  const bool exists = glob(systemPath(path).c_str(), GLOB_NOSORT, nullptr, &found) == 0;
  globfree(&found);
  return exists;
}

bool findFile(const std::string& path, uint32_t lastWrite[2]) {
  struct stat info;
  if (stat(systemPath(path).c_str(), &info) != 0) return false;
  if (lastWrite != nullptr) {
    // FILETIME: 100 ns units since 1601-01-01.
    const uint64_t time = (static_cast<uint64_t>(info.st_mtime) + 11644473600ULL) * 10000000ULL;
    lastWrite[0] = static_cast<uint32_t>(time);
    lastWrite[1] = static_cast<uint32_t>(time >> 32);
  }
  return true;
}

std::vector<std::string> listDirectory(const std::string& directory,
                                       const std::string& extension) {
  std::vector<std::string> names;
  const std::string dot = extension.empty() || extension[0] != '.' ? "." : "";
  const std::string pattern = "*" + dot + extension;
  DIR* dir = opendir(systemPath(directory).c_str());
  if (dir == nullptr) return names;
  while (const dirent* entry = readdir(dir)) {
    if (fnmatch(pattern.c_str(), entry->d_name, 0) == 0) names.emplace_back(entry->d_name);
  }
  closedir(dir);
  return names;
}

bool fileIdentityOf(FILE* file, FileIdentity& identity) {
  struct stat status;
  if (file == nullptr || fstat(fileno(file), &status) != 0) return false;
  identity.volume = static_cast<uint64_t>(status.st_dev);
  identity.index = static_cast<uint64_t>(status.st_ino);
  return true;
}
