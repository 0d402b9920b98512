#include "fuzz_support.h"

#include <sanitizer/common_interface_defs.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "base/error_report.h"
#include "platform/diagnostic_log.h"

namespace {
std::string scratchDirectory;
std::set<std::string> scratchFiles;

[[noreturn]] void throwExit(int code) { throw FuzzExit{code}; }
void exitHook(int code) { throwExit(code); }

void cleanUp() {
  const std::string log = logPathForTesting();
  if (!log.empty()) unlink(log.c_str());
  for (const std::string& file : scratchFiles) unlink(file.c_str());
  if (!scratchDirectory.empty()) rmdir(scratchDirectory.c_str());
}

bool isSeparator(char c) { return c == '\\' || c == '/'; }
}  // namespace

void fuzzSetUp() {
  setExitHookForTesting(&exitHook);
  const char* tmp = getenv("TMP");
  std::string pattern = std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/fuzz-XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) {
    perror("mkdtemp");
    abort();
  }
  scratchDirectory = pattern;
  atexit(&cleanUp);
}

void fuzzInputDone() {
  const std::string log = logPathForTesting();
  if (!log.empty()) (void)truncate(log.c_str(), 0);
}

const std::string& fuzzScratchDirectory() { return scratchDirectory; }

std::string writeScratchFile(const std::string& name, const std::string& bytes) {
  const std::string path = scratchDirectory + "/" + name;
  FILE* file = fopen(path.c_str(), "wb");
  fuzzCheck(file != nullptr, "cannot write a scratch file");
  fwrite(bytes.data(), 1, bytes.size(), file);
  fclose(file);
  scratchFiles.insert(path);
  return path;
}

void fuzzCheck(bool condition, const char* what) {
  if (condition) return;
  // libFuzzer closes the target's standard error (-close_fd_mask=2); the sanitizer's report
  // channel stays open.
  const std::string text = std::string("fuzz check failed: ") + what;
  __sanitizer_report_error_summary(text.c_str());
  abort();
}

std::vector<std::string> splitInput(const uint8_t* data, size_t size, const std::string& separator,
                                    size_t maxParts) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  std::vector<std::string> parts;
  size_t start = 0;
  while (parts.size() + 1 < maxParts) {
    const size_t at = input.find(separator, start);
    if (at == std::string::npos) break;
    parts.push_back(input.substr(start, at - start));
    start = at + separator.size();
  }
  parts.push_back(input.substr(start));
  return parts;
}

MemoryFiles::MemoryFiles(std::string root) : root_(std::move(root)) {
  target_.context = this;
  target_.createDirectory = &MemoryFiles::createDirectory;
  target_.createFile = &MemoryFiles::createFile;
  target_.closeFile = &MemoryFiles::closeFile;
  target_.copyFile = &MemoryFiles::copyFile;
  target_.emptyDirectory = &MemoryFiles::emptyDirectory;
  target_.removeDirectory = &MemoryFiles::removeDirectory;
}

std::string MemoryFiles::relative(const std::string& path) const {
  fuzzCheck(path.compare(0, root_.size(), root_) == 0 && path.size() > root_.size() + 1 &&
                isSeparator(path[root_.size()]),
            "path outside the extraction directory");
  const std::string rest = path.substr(root_.size() + 1);
  size_t start = 0;
  for (size_t i = 0; i <= rest.size(); ++i) {
    if (i < rest.size() && !isSeparator(rest[i])) continue;
    std::string part = rest.substr(start, i - start);
    // Windows drops trailing dots and blanks, so ".. " climbs like "..".
    while (!part.empty() && (part.back() == '.' || part.back() == ' ')) part.pop_back();
    fuzzCheck(!part.empty(), "empty, \".\" or \"..\" part in an extraction path");
    fuzzCheck(part.find(':') == std::string::npos, "drive or stream in an extraction path");
    start = i + 1;
  }
  return rest;
}

DirectoryResult MemoryFiles::createDirectory(void* context, const std::string& path) {
  auto* self = static_cast<MemoryFiles*>(context);
  const std::string name = self->relative(path);
  const size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos && self->directories_.count(name.substr(0, cut)) == 0) {
    return DirectoryResult::Failed;
  }
  if (self->files_.count(name) != 0) return DirectoryResult::Failed;
  return self->directories_.insert(name).second ? DirectoryResult::Created
                                                 : DirectoryResult::AlreadyExists;
}

bool MemoryFiles::createFile(void* context, const std::string& path, ByteSink* file) {
  auto* self = static_cast<MemoryFiles*>(context);
  const std::string name = self->relative(path);
  fuzzCheck(self->open_.empty(), "a second file opened before the first was closed");
  const size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos && self->directories_.count(name.substr(0, cut)) == 0) return false;
  if (self->directories_.count(name) != 0) return false;
  self->files_[name] = 0;
  self->open_ = name;
  file->context = self;
  file->write = &MemoryFiles::write;
  return true;
}

void MemoryFiles::closeFile(void* context, ByteSink&) {
  auto* self = static_cast<MemoryFiles*>(context);
  fuzzCheck(!self->open_.empty(), "a file closed that was not open");
  self->open_.clear();
}

bool MemoryFiles::copyFile(void* context, const std::string& from, const std::string& to) {
  auto* self = static_cast<MemoryFiles*>(context);
  const auto source = self->files_.find(self->relative(from));
  if (source == self->files_.end()) return false;
  const uint64_t size = source->second;
  const std::string name = self->relative(to);
  const size_t cut = name.find_last_of("\\/");
  if (cut != std::string::npos && self->directories_.count(name.substr(0, cut)) == 0) return false;
  if (self->directories_.count(name) != 0) return false;
  self->files_[name] = size;
  return true;
}

void MemoryFiles::emptyDirectory(void* context, const std::string&) {
  static_cast<MemoryFiles*>(context)->files_.clear();
}

void MemoryFiles::removeDirectory(void* context, const std::string&) {
  static_cast<MemoryFiles*>(context)->directories_.clear();
}

bool MemoryFiles::write(void* context, const void*, uint32_t count, uint32_t* written,
                        uint32_t* error) {
  auto* self = static_cast<MemoryFiles*>(context);
  fuzzCheck(!self->open_.empty(), "a write to a closed file");
  self->files_[self->open_] += count;
  *written = count;
  *error = 0;
  return true;
}
