// Extraction of the included files onto the Windows file system.
#include <windows.h>

#include <vector>

#include "payload/extract.h"
#include "platform/diagnostic_log.h"
#include "platform/temp_dir.h"

namespace {
constexpr DWORD kPathBuffer = 8192;

DirectoryResult createDirectoryWin(void*, const std::string& path) {
  if (CreateDirectoryA(path.c_str(), nullptr)) return DirectoryResult::Created;
  return GetLastError() == ERROR_ALREADY_EXISTS ? DirectoryResult::AlreadyExists
                                                : DirectoryResult::Failed;
}

bool writeFileWin(void* context, const void* data, uint32_t count, uint32_t* written,
                  uint32_t* error) {
  DWORD n = 0;
  if (!WriteFile(static_cast<HANDLE>(context), data, count, &n, nullptr)) {
    *written = 0;
    *error = GetLastError();
    return false;
  }
  *written = n;
  return true;
}

bool createFileWin(void*, const std::string& path, ByteSink* file) {
  HANDLE handle = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
  if (handle == INVALID_HANDLE_VALUE || handle == nullptr) return false;
  file->context = handle;
  file->write = &writeFileWin;
  return true;
}

void closeFileWin(void*, ByteSink& file) {
  CloseHandle(static_cast<HANDLE>(file.context));
  file.context = nullptr;
}

bool copyFileWin(void*, const std::string& from, const std::string& to) {
  const DWORD attributes = GetFileAttributesA(from.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT)) != 0) {
    return false;
  }
  return CopyFileA(from.c_str(), to.c_str(), FALSE) != 0;
}

void emptyDirectoryWin(void*, const std::string& path) { emptyDirectory(path); }

std::string fullPathOf(const std::string& path) {
  std::vector<char> buffer(kPathBuffer);
  const DWORD n = GetFullPathNameA(path.c_str(), kPathBuffer, buffer.data(), nullptr);
  if (n == 0 || n >= kPathBuffer) return path;
  std::string full(buffer.data(), n);
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

void removeDirectoryWin(void*, const std::string& path) {
  // Extraction runs inside the directory it fills, and no system removes a process's
  // current directory: step out to its parent first.
  std::vector<char> current(kPathBuffer);
  const DWORD n = GetCurrentDirectoryA(kPathBuffer, current.data());
  const std::string target = fullPathOf(path);
  if (n > 0 && n < kPathBuffer && lstrcmpiA(fullPathOf(current.data()).c_str(), target.c_str()) == 0) {
    const size_t cut = target.find_last_of('\\');
    if (cut != std::string::npos) SetCurrentDirectoryA(target.substr(0, cut == 2 ? 3 : cut).c_str());
  }
  RemoveDirectoryA(path.c_str());
}

}  // namespace

const ExtractionTarget& fileSystemTarget() {
  static const ExtractionTarget target = [] {
    ExtractionTarget t;
    t.createDirectory = &createDirectoryWin;
    t.createFile = &createFileWin;
    t.closeFile = &closeFileWin;
    t.copyFile = &copyFileWin;
    t.emptyDirectory = &emptyDirectoryWin;
    t.removeDirectory = &removeDirectoryWin;
    return t;
  }();
  return target;
}
