// The layout of the version cache entries.
#include "runtime_search/version_cache.h"

#include <algorithm>
#include <cstdio>

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

std::string versionCacheLine(const std::string& javaExe, uint64_t stamp, const std::string& version) {
  if (version.empty() || version.find_first_of("\t\r\n") != std::string::npos ||
      javaExe.empty() || javaExe.find_first_of("\r\n") != std::string::npos) {
    return std::string();
  }
  char hex[17];
  snprintf(hex, sizeof hex, "%016llx", static_cast<unsigned long long>(stamp));
  return std::string(hex) + "\t" + version + "\t" + javaExe;
}

bool parseVersionCacheLine(const std::string& line, std::string& javaExe, uint64_t& stamp,
                           std::string& version) {
  if (line.size() < 19 || line[16] != '\t') return false;
  stamp = 0;
  for (size_t i = 0; i < 16; ++i) {
    const char c = line[i];
    const int digit = c >= '0' && c <= '9' ? c - '0' : c >= 'a' && c <= 'f' ? c - 'a' + 10 : -1;
    if (digit < 0) return false;
    stamp = (stamp << 4) | static_cast<uint64_t>(digit);
  }
  const size_t tab = line.find('\t', 17);
  if (tab == std::string::npos || tab == 17 || tab + 1 >= line.size()) return false;
  version = line.substr(17, tab - 17);
  javaExe = line.substr(tab + 1);
  return javaExe.find_first_of("\r\n") == std::string::npos;
}

std::string versionCacheFile(const char* xdgCacheHome, const char* home) {
  std::string root;
  if (xdgCacheHome != nullptr && xdgCacheHome[0] == '/') {
    root = xdgCacheHome;
  } else if (home != nullptr && home[0] == '/') {
    root = std::string(home) + "/.cache";
  } else {
    return std::string();
  }
  while (root.size() > 1 && root.back() == '/') root.pop_back();
  return root + "/vantrel/jvm-versions";
}
