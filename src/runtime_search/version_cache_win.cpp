// The version cache in HKEY_CURRENT_USER.
#include <windows.h>

#include <algorithm>

#include "runtime_search/registry_win.h"
#include "runtime_search/version_cache.h"

bool readVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                      std::string& version) {
  RegKey key;
  if (!openRuntimeKey(key, HKEY_CURRENT_USER, versionCacheKey(javaExe))) return false;
  std::vector<unsigned char> stored;
  if (!key.readBinary("LastWriteTime", 8, stored) || stored.size() != 8) return false;
  const std::array<uint8_t, 8> expected = encodeLastWriteTime(lastWriteTime);
  if (!std::equal(expected.begin(), expected.end(), stored.begin())) return false;
  return key.readString("Version", kRegistryTextBuffer, version);
}

void writeVersionCache(const std::string& javaExe, const uint32_t lastWriteTime[2],
                       const std::string& version) {
  RegKey key;
  if (!createRuntimeKey(key, HKEY_CURRENT_USER, versionCacheKey(javaExe))) return;
  const std::array<uint8_t, 8> bytes = encodeLastWriteTime(lastWriteTime);
  RegSetValueExA(key.get(), "LastWriteTime", 0, REG_BINARY, bytes.data(), 8);
  // Stored without a terminator: the length is the number of characters.
  RegSetValueExA(key.get(), "Version", 0, REG_SZ,
                 reinterpret_cast<const BYTE*>(version.data()), static_cast<DWORD>(version.size()));
}
