// The runtime finders' registry places.
#include "runtime_search/registry_win.h"

namespace {
std::string testRoot;
}  // namespace

std::string registryPath(const std::string& path) {
  return testRoot.empty() ? path : testRoot + "\\" + path;
}

void setRegistryRootForTesting(const std::string& root) { testRoot = root; }

bool openRuntimeKey(RegKey& key, HKEY root, const std::string& path) {
  return key.open(root, registryPath(path), KEY_READ | kRegistryView);
}

bool createRuntimeKey(RegKey& key, HKEY root, const std::string& path) {
  return key.create(root, registryPath(path), KEY_ALL_ACCESS | kRegistryView);
}
