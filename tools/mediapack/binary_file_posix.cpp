#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "binary_file.h"

bool InputFile::open(const std::string& path, std::string& error) {
  file_ = std::fopen(path.c_str(), "rb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  struct stat info;
  if (fstat(fileno(file_), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if (!S_ISREG(info.st_mode)) {
    error = S_ISDIR(info.st_mode) ? "it is a directory" : "not a regular file";
    return false;
  }
  size_ = info.st_size;
  return true;
}

bool InputFile::seek(int64_t offset) { return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0; }

bool OutputFile::adopt(int fd) {
  file_ = fdopen(fd, "wb");
  return file_ != nullptr;
}

bool OutputFile::seek(int64_t offset) {
  if (failed_ || !file_) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) failed_ = true;
  return !failed_;
}

PendingOutput::~PendingOutput() {
  if (created_ && !kept_) unlink(path_.c_str());
}

bool PendingOutput::create(OutputFile& out) {
  std::string pattern = target_ + ".XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) return false;
  path_ = name.data();
  created_ = true;
  mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0777 & ~mask);  // an executable, like the stub it came from
  if (out.adopt(fd)) return true;
  int saved = errno;
  close(fd);
  errno = saved;
  return false;
}

bool PendingOutput::commit() {
  if (rename(path_.c_str(), target_.c_str()) != 0) return false;
  kept_ = true;
  return true;
}

bool isPathSeparator(char c) { return c == '/'; }

bool isAbsolutePath(const std::string& path) { return !path.empty() && path[0] == '/'; }
