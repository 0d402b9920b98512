#include "binary_file.h"

void appendU32(std::string& out, uint32_t value) {
  for (int i = 0; i < 4; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

void appendU64(std::string& out, uint64_t value) {
  appendU32(out, static_cast<uint32_t>(value));
  appendU32(out, static_cast<uint32_t>(value >> 32));
}

size_t InputFile::read(void* buffer, size_t count) { return std::fread(buffer, 1, count, file_); }

bool InputFile::readAt(int64_t offset, void* buffer, size_t count) {
  if (offset < 0 || offset > size_ || static_cast<uint64_t>(size_ - offset) < count) return false;
  if (!seek(offset)) return false;
  return std::fread(buffer, 1, count, file_) == count;
}

InputFile::~InputFile() {
  if (file_) std::fclose(file_);
}

OutputFile::~OutputFile() {
  if (file_) std::fclose(file_);
}

bool OutputFile::write(const void* bytes, size_t count) {
  if (failed_ || !file_) return false;
  if (count > 0 && std::fwrite(bytes, 1, count, file_) != count) failed_ = true;
  return !failed_;
}

bool OutputFile::close() {
  if (!file_) return false;
  bool ok = !failed_ && std::fflush(file_) == 0 && !std::ferror(file_);
  ok = std::fclose(file_) == 0 && ok;
  file_ = nullptr;
  return ok;
}
