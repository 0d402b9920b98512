#include "bench_support.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>

namespace {
bool isDirectory(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

bool isRealDirectory(const std::string& path) {
  struct stat info;
  return lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}
}  // namespace

std::string findJdk() {
  const char* javaHome = std::getenv("JAVA_HOME");
  if (javaHome != nullptr && isDirectory(std::string(javaHome) + "/bin")) return javaHome;
  std::vector<std::string> names;
  if (DIR* dir = opendir("/usr/lib/jvm")) {
    while (const dirent* entry = readdir(dir)) names.push_back(entry->d_name);
    closedir(dir);
  }
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string home = "/usr/lib/jvm/" + name;
    if (name[0] != '.' && isRealDirectory(home) && access((home + "/bin/java").c_str(), X_OK) == 0) return home;
  }
  return std::string();
}

std::string makeScratchDirectory(const std::string& prefix) {
  const char* tmp = std::getenv("TMPDIR");
  std::string pattern = std::string(tmp && *tmp ? tmp : "/tmp") + "/" + prefix + "XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) std::abort();
  return pattern;
}

int run(const std::string& command) { return std::system(command.c_str()); }

double wallSeconds() {
  return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

double median(std::vector<double> values) {
  if (values.empty()) return 0;
  std::sort(values.begin(), values.end());
  const size_t middle = values.size() / 2;
  return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}
