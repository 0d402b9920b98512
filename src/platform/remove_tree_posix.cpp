#include "platform/remove_tree.h"

#include <ftw.h>
#include <unistd.h>

#include <climits>
#include <cstdlib>
#include <vector>

#include "platform/temp_dir.h"

namespace {
int removeEntry(const char* path, const struct stat*, int type, struct FTW* at) {
  if (at->level == 0) return 0;  // the top is removeDirectoryTree's to remove
  // FTW_PHYS: a symbolic link arrives as FTW_SL and is unlinked, never followed.
  if (type == FTW_DP) {
    rmdir(path);
  } else {
    unlink(path);
  }
  return 0;
}
}  // namespace

void removeDirectoryTreeContents(const std::string& directory) {
  if (!mayEmptyDirectory(directory)) return;
  nftw(directory.c_str(), &removeEntry, 32, FTW_DEPTH | FTW_PHYS);
}

void leaveDirectory(const std::string& directory) {
  std::vector<char> current(PATH_MAX);
  char* target = realpath(directory.c_str(), nullptr);
  if (target == nullptr) return;
  if (getcwd(current.data(), current.size()) != nullptr && std::string(current.data()) == target) {
    if (chdir("..") != 0) {
      // Staying put only means the directory itself stays behind.
    }
  }
  free(target);
}

void removeDirectoryTree(const std::string& directory) {
  if (!mayEmptyDirectory(directory)) return;
  leaveDirectory(directory);
  removeDirectoryTreeContents(directory);
  rmdir(directory.c_str());
}
