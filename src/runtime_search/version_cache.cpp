// The layout of the version cache entries.
#include "runtime_search/version_cache.h"

#include <algorithm>

std::string versionCacheKey(const std::string& javaExe) {
  std::string name = javaExe;
  std::replace(name.begin(), name.end(), '\\', '/');
  return "SOFTWARE\\northgale\\quoll\\jvms\\" + name;
}

std::array<uint8_t, 8> encodeLastWriteTime(const uint32_t lastWriteTime[2]) {
  std::array<uint8_t, 8> bytes{};
  for (int half = 0; half < 2; ++half) {
    for (int i = 0; i < 4; ++i) {
      bytes[half * 4 + i] = static_cast<uint8_t>(lastWriteTime[half] >> (8 * i));
    }
  }
  return bytes;
}
