#include "binary_file.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

InputFile::~InputFile() {
  if (file_) std::fclose(file_);
}

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

bool InputFile::readAt(int64_t offset, void* buffer, size_t count) {
  if (offset < 0 || offset > size_ || static_cast<uint64_t>(size_ - offset) < count) return false;
  if (!seek(offset)) return false;
  return std::fread(buffer, 1, count, file_) == count;
}

size_t InputFile::read(void* buffer, size_t count) { return std::fread(buffer, 1, count, file_); }

bool InputFile::seek(int64_t offset) { return fseeko(file_, static_cast<off_t>(offset), SEEK_SET) == 0; }

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
}

bool OutputFile::adopt(int fd) {
  file_ = fdopen(fd, "wb");
  return file_ != nullptr;
}

bool OutputFile::write(const void* bytes, size_t count) {
  if (failed_ || !file_) return false;
  if (count > 0 && std::fwrite(bytes, 1, count, file_) != count) failed_ = true;
  return !failed_;
}

bool OutputFile::seek(int64_t offset) {
  if (failed_ || !file_) return false;
  if (fseeko(file_, static_cast<off_t>(offset), SEEK_SET) != 0) failed_ = true;
  return !failed_;
}

bool OutputFile::close() {
  if (!file_) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}

void appendU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendU64(std::string& out, uint64_t value) {
  appendU32(out, static_cast<uint32_t>(value));
  appendU32(out, static_cast<uint32_t>(value >> 32));
}
