// The version cache of the Linux launcher: a small per-user file under the cache directory,
// rewritten whole (through a new file renamed over the old one) when an entry changes.
#include <fcntl.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/diagnostic_log.h"
#include "runtime_search/version_cache.h"

namespace {
// A cache file larger than this is not read (and is replaced at the next write).
constexpr off_t kMaxCacheBytes = 1 << 20;
// Entries kept; the oldest go first.
constexpr size_t kMaxEntries = 200;

uint64_t stampOf(const uint32_t lastWriteTime[2]) {
  return uint64_t(lastWriteTime[0]) | (uint64_t(lastWriteTime[1]) << 32);
}

std::string cacheFile() { return versionCacheFile(getenv("XDG_CACHE_HOME"), getenv("HOME")); }

// C streams rather than iostreams: the launcher links its C++ library in, and iostreams
// would bring their locale machinery along.
std::vector<std::string> readLines(const std::string& path) {
  std::vector<std::string> lines;
  FILE* file = fopen(path.c_str(), "rbe");
  if (file == nullptr) return lines;
  struct stat info;
  if (fstat(fileno(file), &info) == 0 && info.st_size <= kMaxCacheBytes) {
    std::string text(static_cast<size_t>(info.st_size), '\0');
    text.resize(fread(&text[0], 1, text.size(), file));
    for (size_t start = 0; start < text.size();) {
      size_t end = text.find('\n', start);
      if (end == std::string::npos) end = text.size();
      lines.push_back(text.substr(start, end - start));
      start = end + 1;
    }
  }
  fclose(file);
  return lines;
}

// mkdir -p for the cache file's directories, owner-only where they are made.
bool makeParents(const std::string& path) {
  for (size_t slash = path.find('/', 1); slash != std::string::npos; slash = path.find('/', slash + 1)) {
    const std::string directory = path.substr(0, slash);
    if (mkdir(directory.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  return true;
}
}  // namespace

bool readVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2], std::string& version) {
  const std::string path = cacheFile();
  if (path.empty()) return false;
  for (const std::string& line : readLines(path)) {
    std::string exe, found;
    uint64_t stamp = 0;
    if (parseVersionCacheLine(line, exe, stamp, found) && exe == javaExe && stamp == stampOf(lastWriteTime)) {
      version = found;
      return true;
    }
  }
  return false;
}

void writeVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2], const std::string& version) {
  const std::string path = cacheFile();
  const std::string entry = versionCacheLine(javaExe, stampOf(lastWriteTime), version);
  if (path.empty() || entry.empty() || !makeParents(path)) return;
  std::vector<std::string> kept;
  for (const std::string& line : readLines(path)) {
    std::string exe, found;
    uint64_t stamp = 0;
    if (parseVersionCacheLine(line, exe, stamp, found) && exe != javaExe) kept.push_back(line);
  }
  kept.push_back(entry);
  if (kept.size() > kMaxEntries) kept.erase(kept.begin(), kept.end() - kMaxEntries);

  std::string temporary = path + ".XXXXXX";
  const int fd = mkstemp(&temporary[0]);
  if (fd < 0) return;
  std::string text;
  for (const std::string& line : kept) text += line + "\n";
  const bool written = write(fd, text.data(), text.size()) == static_cast<ssize_t>(text.size());
  if (close(fd) != 0 || !written || rename(temporary.c_str(), path.c_str()) != 0) {
    unlink(temporary.c_str());
    logError("Could not write the version cache %s", path.c_str());
  }
}
