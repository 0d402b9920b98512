// Where the Windows suites find the test jvm.dll built from tests/fixtures/jvm, and how they
// place copies of it into fake runtime homes.
#pragma once

#include <windows.h>

#include <string>

// The build tree path of a fixture as the Windows process sees it ("/a/b" -> "Z:\a\b").
inline std::string fixturePath(const char* hostPath) {
  std::string path = hostPath;
  if (!path.empty() && path[0] == '/') path = "Z:" + path;
  for (char& c : path) {
    if (c == '/') c = '\\';
  }
  return path;
}

inline std::string testJvmDll() { return fixturePath(TEST_JVM_DLL); }
inline std::string testJvmNoEntryDll() { return fixturePath(TEST_JVM_NOENTRY_DLL); }

// Creates every missing directory of `directory`.
inline void makeDirectories(const std::string& directory) {
  for (size_t at = directory.find('\\', 3); at != std::string::npos; at = directory.find('\\', at + 1)) {
    CreateDirectoryA(directory.substr(0, at).c_str(), nullptr);
  }
  CreateDirectoryA(directory.c_str(), nullptr);
}

// Copies `dll` to directory\jvm.dll, creating the directory.
inline bool placeJvmDll(const std::string& dll, const std::string& directory) {
  makeDirectories(directory);
  return CopyFileA(dll.c_str(), (directory + "\\jvm.dll").c_str(), FALSE) != 0;
}

// The file a loaded function lives in ("" when none).
inline std::string moduleFileOf(const void* address) {
  HMODULE module = nullptr;
  if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                              GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                          static_cast<LPCSTR>(address), &module)) {
    return std::string();
  }
  char name[MAX_PATH * 4] = {0};
  GetModuleFileNameA(module, name, sizeof name - 1);
  return name;
}

// Unloads the library that holds `address`, so its file can be deleted.
inline void unloadModuleOf(const void* address) {
  HMODULE module = nullptr;
  if (address != nullptr &&
      GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                             GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                         static_cast<LPCSTR>(address), &module)) {
    FreeLibrary(module);
  }
}
