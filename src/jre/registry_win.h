// Registry access shared by the runtime finders and the version cache (Windows only).
#pragma once

#include <windows.h>

#include <string>
#include <vector>

// The view of HKEY_LOCAL_MACHINE\SOFTWARE the launcher reads and writes. The shipped
// launcher is a 32-bit program that can load only a 32-bit jvm.dll, so it must see the
// registrations of 32-bit runtimes: the 32-bit view, which a 32-bit process gets by
// default. A 64-bit build (the one the tests run) asks for that view explicitly; the
// 32-bit build passes no flag, which also keeps systems without registry views working.
constexpr REGSAM kRegistryView = sizeof(void*) == 8 ? KEY_WOW64_32KEY : 0;
// Longest registry text or path read, in bytes with the terminator.
constexpr DWORD kRegistryTextBuffer = 8192;

// An open registry key, closed when it goes out of scope.
class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  // Opens `path` (relative to `root`, under the test root when one is set) for reading.
  bool open(HKEY root, const std::string& path);
  // Creates or opens `path` non-volatile with KEY_ALL_ACCESS.
  bool create(HKEY root, const std::string& path);
  void close();
  HKEY get() const { return key_; }

  // Reads a text value into a buffer of `bufferBytes` (terminator included); fails when the
  // value is missing or does not fit. The text ends at its first zero byte.
  bool readString(const char* name, DWORD bufferBytes, std::string& out) const;
  // The raw bytes of a value of at most `maxBytes`; fails when it is missing or larger.
  bool readBinary(const char* name, DWORD maxBytes, std::vector<unsigned char>& out) const;
  // Names of the subkeys in the order the system enumerates them, stopping at the first
  // error and after a bounded number of names.
  std::vector<std::string> subkeyNames() const;

 private:
  HKEY key_ = nullptr;
};

// `path` below the test root when one is set, else `path` itself.
std::string registryPath(const std::string& path);
// Test seam: every key the launcher's runtime finders and version cache use is placed
// below `root` (in both hives) instead of directly under the hive; "" restores the real
// places. Lets tests run against the real registry without touching shared keys.
void setRegistryRootForTesting(const std::string& root);
