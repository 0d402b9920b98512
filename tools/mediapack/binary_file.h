// Small owning wrappers over C streams for the builder: random-access reads with the file
// size known up front, and writes whose every failure is reported. Paths are UTF-8 on
// every platform (on Windows they are converted to UTF-16 at the system call).
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

// A file opened for reading. Not copyable; closes itself.
class InputFile {
 public:
  InputFile() = default;
  InputFile(const InputFile&) = delete;
  InputFile& operator=(const InputFile&) = delete;
  ~InputFile();

  // Opens `path`; false with `error` set (strerror text) when it cannot be opened, is not a
  // regular file, or its size cannot be determined.
  bool open(const std::string& path, std::string& error);
  int64_t size() const { return size_; }
  // Reads exactly `count` bytes at absolute `offset`; false if fewer are there or a read fails.
  bool readAt(int64_t offset, void* buffer, size_t count);
  // Sequential reading from the current position; returns the number of bytes read
  // (0 at end of file or on error; error() tells which).
  size_t read(void* buffer, size_t count);
  bool seek(int64_t offset);
  bool error() const { return file_ && std::ferror(file_); }

 private:
  std::FILE* file_ = nullptr;
  int64_t size_ = 0;
};

// A file opened for writing. Not copyable; closes itself (without reporting) if still open.
class OutputFile {
 public:
  OutputFile() = default;
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;
  ~OutputFile();

  // Takes ownership of an open descriptor (from PendingOutput).
  bool adopt(int fd);
  bool write(const void* bytes, size_t count);
  bool seek(int64_t offset);
  // Flushes and closes; false when any earlier write or the close failed.
  bool close();

 private:
  std::FILE* file_ = nullptr;
  bool failed_ = false;
};

// The output file written beside its target under a temporary name and renamed onto the
// target only when complete, so that a failed build never leaves a partial file; removed
// when destroyed uncommitted. Failures leave errno set for the message.
class PendingOutput {
 public:
  explicit PendingOutput(std::string target) : target_(std::move(target)) {}
  PendingOutput(const PendingOutput&) = delete;
  PendingOutput& operator=(const PendingOutput&) = delete;
  ~PendingOutput();

  // Creates the temporary file (executable like the stub where that means something).
  bool create(OutputFile& out);
  // Renames it onto the target, replacing an existing file.
  bool commit();

 private:
  std::string target_;
  std::string path_;
  bool created_ = false;
  bool kept_ = false;
};

// Path text of this system: "/" separates on Linux, "/" and "\\" on Windows, where a drive
// ("C:") or a leading separator makes a path absolute.
bool isPathSeparator(char c);
bool isAbsolutePath(const std::string& path);

// Little-endian readers over a byte pointer (the caller has checked the bounds).
inline uint16_t loadU16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
inline uint32_t loadU32(const uint8_t* p) {
  return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint64_t loadU64(const uint8_t* p) { return uint64_t(loadU32(p)) | uint64_t(loadU32(p + 4)) << 32; }
// Appends little-endian integers to a byte string.
void appendU32(std::string& out, uint32_t value);
void appendU64(std::string& out, uint64_t value);
