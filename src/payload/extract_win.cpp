// Extraction of the included files onto the Windows file system.
#include <windows.h>

#include <vector>

#include "payload/extract.h"
#include "platform/diagnostic_log.h"
#include "platform/remove_tree.h"
#include "platform/temp_dir.h"

namespace {

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

// The whole tree: a failed extraction leaves nothing of itself, however deep.
void emptyDirectoryWin(void*, const std::string& path) { removeDirectoryTreeContents(path); }

void removeDirectoryWin(void*, const std::string& path) {
  // Extraction runs inside the directory it fills.
  leaveDirectory(path);
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
