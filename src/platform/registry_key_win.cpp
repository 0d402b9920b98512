// The registry key wrapper.
#include "platform/registry_key_win.h"

namespace {
// A key with more subkeys than this is not a list the launcher wrote or expects.
constexpr DWORD kMaxSubkeys = 10000;
// Longest subkey name read, in bytes with the terminator.
constexpr DWORD kSubkeyNameBuffer = 8192;
}  // namespace

bool RegKey::open(HKEY root, const std::string& path, REGSAM access) {
  close();
  HKEY key = nullptr;
  if (RegOpenKeyExA(root, path.c_str(), 0, access, &key) != ERROR_SUCCESS) return false;
  key_ = key;
  return true;
}

bool RegKey::create(HKEY root, const std::string& path, REGSAM access) {
  close();
  HKEY key = nullptr;
  if (RegCreateKeyExA(root, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access, nullptr, &key,
                      nullptr) != ERROR_SUCCESS) {
    return false;
  }
  key_ = key;
  return true;
}

bool RegKey::readDword(const char* name, DWORD& value) const {
  if (key_ == nullptr) return false;
  DWORD read = 0;
  DWORD size = sizeof read;
  if (RegQueryValueExA(key_, name, nullptr, nullptr, reinterpret_cast<BYTE*>(&read), &size) != ERROR_SUCCESS ||
      size != sizeof read) {
    return false;
  }
  value = read;
  return true;
}

bool RegKey::writeDword(const char* name, DWORD value) const {
  return key_ != nullptr && RegSetValueExA(key_, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value),
                                           sizeof value) == ERROR_SUCCESS;
}

void RegKey::close() {
  if (key_ != nullptr) RegCloseKey(key_);
  key_ = nullptr;
}

bool RegKey::readString(const char* name, DWORD bufferBytes, std::string& out) const {
  std::vector<unsigned char> bytes;
  if (!readBinary(name, bufferBytes, bytes)) return false;
  std::string text(bytes.begin(), bytes.end());
  const size_t zero = text.find('\0');
  if (zero != std::string::npos) text.resize(zero);
  // A value that fills the whole buffer leaves no room for the terminator.
  if (text.size() >= bufferBytes) return false;
  out = text;
  return true;
}

bool RegKey::readBinary(const char* name, DWORD maxBytes, std::vector<unsigned char>& out) const {
  if (key_ == nullptr) return false;
  std::vector<unsigned char> buffer(maxBytes ? maxBytes : 1);
  DWORD size = maxBytes;
  DWORD type = 0;
  if (RegQueryValueExA(key_, name, nullptr, &type, buffer.data(), &size) != ERROR_SUCCESS) {
    return false;
  }
  if (size > maxBytes) return false;
  out.assign(buffer.begin(), buffer.begin() + size);
  return true;
}

std::vector<std::string> RegKey::subkeyNames() const {
  std::vector<std::string> names;
  if (key_ == nullptr) return names;
  std::vector<char> name(kSubkeyNameBuffer);
  for (DWORD index = 0; index < kMaxSubkeys; ++index) {
    DWORD length = kSubkeyNameBuffer;
    const LONG result =
        RegEnumKeyExA(key_, index, name.data(), &length, nullptr, nullptr, nullptr, nullptr);
    if (result != ERROR_SUCCESS) break;  // ERROR_NO_MORE_ITEMS, or nothing sensible to go on
    names.emplace_back(name.data(), length < kSubkeyNameBuffer ? length : 0);
  }
  return names;
}
