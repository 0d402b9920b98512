// Extraction onto a POSIX file system (the host build: tools, tests, benchmarks).
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdint>
#include <vector>

#include "payload/extract.h"
#include "platform/remove_tree.h"

namespace {
std::string hostPath(std::string path) {
  for (char& c : path) {
    if (c == '\\') c = '/';
  }
  return path;
}

DirectoryResult createDirectoryPosix(void*, const std::string& path) {
  if (mkdir(hostPath(path).c_str(), 0777) == 0) return DirectoryResult::Created;
  return errno == EEXIST ? DirectoryResult::AlreadyExists : DirectoryResult::Failed;
}

bool writePosix(void* context, const void* data, uint32_t count, uint32_t* written,
                uint32_t* error) {
  const int fd = static_cast<int>(reinterpret_cast<intptr_t>(context));
  ssize_t n;
  do {
    n = write(fd, data, count);
  } while (n < 0 && errno == EINTR);
  if (n < 0) {
    *written = 0;
    *error = static_cast<uint32_t>(errno);
    return false;
  }
  *written = static_cast<uint32_t>(n);
  return true;
}

bool createFilePosix(void*, const std::string& path, ByteSink* file) {
  const int fd = open(hostPath(path).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  file->context = reinterpret_cast<void*>(static_cast<intptr_t>(fd));
  file->write = &writePosix;
  return true;
}

void closeFilePosix(void*, ByteSink& file) {
  close(static_cast<int>(reinterpret_cast<intptr_t>(file.context)));
  file.context = nullptr;
}

bool copyFilePosix(void*, const std::string& from, const std::string& to) {
  const int in = open(hostPath(from).c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (in < 0) return false;
  struct stat status;
  if (fstat(in, &status) != 0 || !S_ISREG(status.st_mode)) {
    close(in);
    return false;
  }
  const int out = open(hostPath(to).c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (out < 0) {
    close(in);
    return false;
  }
  std::vector<char> buffer(kCopyBufferSize);
  bool ok = true;
  for (;;) {
    const ssize_t got = read(in, buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) {
      ok = got == 0;
      break;
    }
    for (ssize_t done = 0; done < got;) {
      const ssize_t n = write(out, buffer.data() + done, static_cast<size_t>(got - done));
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        ok = false;
        break;
      }
      done += n;
    }
    if (!ok) break;
  }
  close(in);
  return close(out) == 0 && ok;
}

// The whole tree, links removed as links.
void emptyDirectoryPosix(void*, const std::string& path) {
  if (path.empty() || path[0] == '.') return;
  removeDirectoryTreeContents(hostPath(path));
}

void removeDirectoryPosix(void*, const std::string& path) { rmdir(hostPath(path).c_str()); }
}  // namespace

const ExtractionTarget& fileSystemTarget() {
  static const ExtractionTarget target = [] {
    ExtractionTarget t;
    t.createDirectory = &createDirectoryPosix;
    t.createFile = &createFilePosix;
    t.closeFile = &closeFilePosix;
    t.copyFile = &copyFilePosix;
    t.emptyDirectory = &emptyDirectoryPosix;
    t.removeDirectory = &removeDirectoryPosix;
    return t;
  }();
  return target;
}
