#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "binary_file.h"
#include "code_page.h"

namespace {

std::wstring widePath(const std::string& utf8) {
  Conversion c = utf8ToUtf16le(utf8);
  std::wstring out;
  for (size_t i = 0; i + 1 < c.output.size(); i += 2) {
    out.push_back(static_cast<wchar_t>(static_cast<uint8_t>(c.output[i]) | static_cast<uint8_t>(c.output[i + 1]) << 8));
  }
  return out;
}

}  // namespace

bool InputFile::open(const std::string& path, std::string& error) {
  std::wstring wide = widePath(path);
  // Opening a directory fails on Windows with a bare "Permission denied"; say what it is.
  DWORD attributes = GetFileAttributesW(wide.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY)) {
    error = "it is a directory";
    return false;
  }
  file_ = _wfopen(wide.c_str(), L"rb");
  if (!file_) {
    error = std::strerror(errno);
    return false;
  }
  struct _stat64 info;
  if (_fstat64(_fileno(file_), &info) != 0) {
    error = std::strerror(errno);
    return false;
  }
  if ((info.st_mode & _S_IFMT) != _S_IFREG) {
    error = "not a regular file";
    return false;
  }
  size_ = info.st_size;
  return true;
}

bool InputFile::seek(int64_t offset) { return _fseeki64(file_, offset, SEEK_SET) == 0; }

bool OutputFile::adopt(int fd) {
  file_ = _fdopen(fd, "wb");
  return file_ != nullptr;
}

bool OutputFile::seek(int64_t offset) {
  if (failed_ || !file_) return false;
  if (_fseeki64(file_, offset, SEEK_SET) != 0) failed_ = true;
  return !failed_;
}

PendingOutput::~PendingOutput() {
  if (created_ && !kept_) _wunlink(widePath(path_).c_str());
}

bool PendingOutput::create(OutputFile& out) {
  // A name nobody else uses: process id, tick count and a counter, created exclusively.
  static unsigned counter = 0;
  for (int attempt = 0; attempt < 100; ++attempt) {
    char suffix[48];
    std::snprintf(suffix, sizeof suffix, ".%lu-%lu-%u", static_cast<unsigned long>(GetCurrentProcessId()),
                  static_cast<unsigned long>(GetTickCount()), counter++);
    std::string candidate = target_ + suffix;
    int fd = _wopen(widePath(candidate).c_str(), _O_CREAT | _O_EXCL | _O_WRONLY | _O_BINARY, _S_IREAD | _S_IWRITE);
    if (fd < 0) {
      if (errno == EEXIST) continue;
      return false;
    }
    path_ = candidate;
    created_ = true;
    if (out.adopt(fd)) return true;
    int saved = errno;
    _close(fd);
    errno = saved;
    return false;
  }
  errno = EEXIST;
  return false;
}

bool PendingOutput::commit() {
  if (!MoveFileExW(widePath(path_).c_str(), widePath(target_).c_str(), MOVEFILE_REPLACE_EXISTING)) {
    errno = GetLastError() == ERROR_PATH_NOT_FOUND ? ENOENT : EACCES;
    return false;
  }
  kept_ = true;
  return true;
}

bool isPathSeparator(char c) { return c == '/' || c == '\\'; }

bool isAbsolutePath(const std::string& path) {
  return (!path.empty() && isPathSeparator(path[0])) || (path.size() >= 2 && path[1] == ':');
}
