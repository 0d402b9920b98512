#include "session/single_instance.h"

#include <cinttypes>
#include <cstdio>

std::string composeSemaphoreName(const std::string& instanceIdentity, bool global) {
  std::string name = global ? "Global\\" : "";
  for (char c : instanceIdentity) name.push_back(c == '\\' ? '_' : c);
  return name;
}

namespace {
// FNV-1a: a stable short name for a path of any length.
uint64_t pathHash(const std::string& text) {
  uint64_t hash = 1469598103934665603ULL;
  for (unsigned char c : text) {
    hash ^= c;
    hash *= 1099511628211ULL;
  }
  return hash;
}
}  // namespace

std::string instanceLockPath(const std::string& root, const std::string& modulePath, unsigned userId) {
  char name[64];
  snprintf(name, sizeof name, "/vnq-%u-%016" PRIx64 ".lock", userId, pathHash(modulePath));
  return root + name;
}
