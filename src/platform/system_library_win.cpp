#include "platform/system_library.h"

#include <windows.h>

#include <string>
#include <vector>

#ifndef LOAD_LIBRARY_SEARCH_SYSTEM32
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800
#endif

void* loadSystemLibrary(const char* name) {
  HMODULE module = LoadLibraryExA(name, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
  if (module != nullptr) return module;
  // Systems without the search flags refuse it as an invalid parameter; there the full path
  // in the system directory gives the same guarantee.
  if (GetLastError() != ERROR_INVALID_PARAMETER) return nullptr;
  std::vector<char> directory(MAX_PATH + 1);
  const UINT n = GetSystemDirectoryA(directory.data(), static_cast<UINT>(directory.size()));
  if (n == 0 || n >= directory.size()) return nullptr;
  const std::string path = std::string(directory.data(), n) + "\\" + name;
  return LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
}
