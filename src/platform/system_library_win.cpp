#include "platform/system_library.h"

#include <windows.h>

#include <string>
#include <vector>

#include "base/text.h"
#include "platform/diagnostic_log.h"

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

namespace {
#ifndef LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100
#endif
#ifndef LOAD_LIBRARY_SEARCH_USER_DIRS
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400
#endif

// Looked up at run time: systems without the update that brought them lack them.
using SetDefaultDllDirectoriesFn = BOOL(WINAPI*)(DWORD);
using AddDllDirectoryFn = void*(WINAPI*)(const wchar_t*);

FARPROC kernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  return kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
}

bool searchRestricted = false;
}  // namespace

DllSearch restrictDllSearch() {
  auto setDefault = reinterpret_cast<SetDefaultDllDirectoriesFn>(kernelFunction("SetDefaultDllDirectories"));
  if (setDefault != nullptr && setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32 | LOAD_LIBRARY_SEARCH_USER_DIRS)) {
    searchRestricted = true;
    return DllSearch::Restricted;
  }
  SetDllDirectoryA("");
  return DllSearch::CurrentDirectoryRemoved;
}

bool addDllDirectory(const std::string& directory) {
  if (!searchRestricted) return false;
  auto add = reinterpret_cast<AddDllDirectoryFn>(kernelFunction("AddDllDirectory"));
  if (add == nullptr) return false;
  const std::u16string wide = narrowToWide(directory);
  if (add(reinterpret_cast<const wchar_t*>(wide.c_str())) == nullptr) {
    logError("Adding %s to the DLL search failed with error code %d", directory.c_str(),
             static_cast<int>(GetLastError()));
    return false;
  }
  logMessage("DLL search includes %s", directory.c_str());
  return true;
}

void* loadLibraryBeside(const std::string& path, uint32_t* error) {
  // Not LOAD_LIBRARY_SEARCH_DEFAULT_DIRS: that one includes the application's directory. Where
  // the search is not restricted, the altered search path still puts the library's own
  // directory where the installer's folder would be.
  const DWORD flags = searchRestricted ? LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR | LOAD_LIBRARY_SEARCH_SYSTEM32 |
                                             LOAD_LIBRARY_SEARCH_USER_DIRS
                                       : LOAD_WITH_ALTERED_SEARCH_PATH;
  HMODULE module = LoadLibraryExA(path.c_str(), nullptr, flags);
  if (module == nullptr && error != nullptr) *error = GetLastError();
  return module;
}
