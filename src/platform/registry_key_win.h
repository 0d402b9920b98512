// An open registry key, closed when it goes out of scope (Windows only). The one wrapper of
// HKEY: the runtime finders, the version cache, the start markers and the instance list all
// hold their keys in it.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

class RegKey {
 public:
  RegKey() = default;
  ~RegKey() { close(); }
  RegKey(const RegKey&) = delete;
  RegKey& operator=(const RegKey&) = delete;
  // Opens `path` below `root` with `access`; false (nothing held) when it cannot.
  bool open(HKEY root, const std::string& path, REGSAM access);
  // Creates or opens `path` non-volatile with `access`.
  bool create(HKEY root, const std::string& path, REGSAM access);
  void close();
  HKEY get() const { return key_; }

  // Reads a text value into a buffer of `bufferBytes` (terminator included); fails when the
  // value is missing or does not fit. The text ends at its first zero byte.
  bool readString(const char* name, DWORD bufferBytes, std::string& out) const;
  // The raw bytes of a value of at most `maxBytes`; fails when it is missing or larger.
  bool readBinary(const char* name, DWORD maxBytes, std::vector<unsigned char>& out) const;
  // A value of exactly four bytes, whatever its type; false when missing or of another size.
  bool readDword(const char* name, DWORD& value) const;
  // Writes REG_DWORD `value`; false when it cannot.
  bool writeDword(const char* name, DWORD value) const;
  // Names of the subkeys in the order the system enumerates them, stopping at the first
  // error and after a bounded number of names.
  std::vector<std::string> subkeyNames() const;

 private:
  HKEY key_ = nullptr;
};
