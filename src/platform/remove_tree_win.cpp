#include "platform/remove_tree.h"

#include <windows.h>

#include <vector>

#include "platform/diagnostic_log.h"
#include "platform/find_handle_win.h"
#include "platform/temp_dir.h"

namespace {
constexpr DWORD kPathBuffer = 8192;
constexpr int kRemoveAttempts = 20;
constexpr DWORD kRemoveRetryPauseMs = 100;

std::string fullPathOf(const std::string& path) {
  std::vector<char> buffer(kPathBuffer);
  const DWORD n = GetFullPathNameA(path.c_str(), kPathBuffer, buffer.data(), nullptr);
  if (n == 0 || n >= kPathBuffer) return path;
  std::string full(buffer.data(), n);
  if (full.size() > 3 && full.back() == '\\') full.pop_back();
  return full;
}

// Read-only files (an unpacked runtime may hold some) refuse deletion until the mark goes.
void deleteFile(const std::string& path, DWORD attributes) {
  if (DeleteFileA(path.c_str())) return;
  if (attributes & FILE_ATTRIBUTE_READONLY) {
    SetFileAttributesA(path.c_str(), attributes & ~FILE_ATTRIBUTE_READONLY);
    DeleteFileA(path.c_str());
  }
}
}  // namespace

void removeDirectoryTreeContents(const std::string& directory) {
  if (!mayEmptyDirectory(directory)) return;
  WIN32_FIND_DATAA entry;
  std::vector<std::pair<std::string, DWORD>> entries;
  {
    FindHandle search(joinPath(directory, "*"), entry);
    if (!search.valid()) return;
    do {
      const std::string name = entry.cFileName;
      if (name != "." && name != "..") entries.emplace_back(name, entry.dwFileAttributes);
    } while (FindNextFileA(search.get(), &entry));
  }
  for (const auto& [name, attributes] : entries) {
    const std::string path = joinPath(directory, name);
    if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
      // The link itself, never its target.
      if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveDirectoryA(path.c_str());
      } else {
        deleteFile(path, attributes);
      }
    } else if (attributes & FILE_ATTRIBUTE_DIRECTORY) {
      removeDirectoryTreeContents(path);
      RemoveDirectoryA(path.c_str());
    } else {
      deleteFile(path, attributes);
    }
  }
}

void leaveDirectory(const std::string& directory) {
  std::vector<char> current(kPathBuffer);
  const DWORD n = GetCurrentDirectoryA(kPathBuffer, current.data());
  const std::string target = fullPathOf(directory);
  if (n > 0 && n < kPathBuffer && lstrcmpiA(fullPathOf(current.data()).c_str(), target.c_str()) == 0) {
    const size_t cut = target.find_last_of('\\');
    if (cut != std::string::npos) SetCurrentDirectoryA(target.substr(0, cut == 2 ? 3 : cut).c_str());
  }
}

void removeDirectoryTree(const std::string& directory) {
  if (!mayEmptyDirectory(directory)) return;
  leaveDirectory(directory);
  removeDirectoryTreeContents(directory);
  // A program the run started (a runtime's version check) may still be ending, its console
  // host with it, and each holds the directory it was started in for a moment longer.
  for (int attempt = 1;; ++attempt) {
    if (RemoveDirectoryA(directory.c_str())) return;
    const DWORD error = GetLastError();
    if (error != ERROR_SHARING_VIOLATION || attempt == kRemoveAttempts) {
      logError("Could not remove %s (error code %d)", directory.c_str(), static_cast<int>(error));
      return;
    }
    Sleep(kRemoveRetryPauseMs);
  }
}
