#include "support/scratch_files.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

#ifdef _WIN32
#include <windows.h>
#else
#include <sys/stat.h>
#include <unistd.h>
#include <ftw.h>
#endif

namespace {
#ifdef _WIN32
// Wide calls, so that entries whose names have no narrow form go too.
void removeTreeW(const std::wstring& dir) {
  WIN32_FIND_DATAW data;
  HANDLE find = FindFirstFileW((dir + L"\\*").c_str(), &data);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      const std::wstring name = data.cFileName;
      if (name == L"." || name == L"..") continue;
      const std::wstring path = dir + L"\\" + name;
      if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        removeTreeW(path);
      } else {
        SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileW(path.c_str());
      }
    } while (FindNextFileW(find, &data));
    FindClose(find);
  }
  RemoveDirectoryW(dir.c_str());
}

void removeTree(const std::string& dir) {
  const int n = MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, nullptr, 0);
  if (n <= 0) return;
  std::wstring wide(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_ACP, 0, dir.c_str(), -1, &wide[0], n);
  wide.resize(static_cast<size_t>(n - 1));
  removeTreeW(wide);
}
#else
int removeEntry(const char* path, const struct stat*, int, struct FTW*) { return ::remove(path); }
void removeTree(const std::string& dir) {
  nftw(dir.c_str(), &removeEntry, 16, FTW_DEPTH | FTW_PHYS);
}
#endif
}  // namespace

ScratchDir::ScratchDir() {
#ifdef _WIN32
  char temp[MAX_PATH + 1] = {0};
  GetTempPathA(MAX_PATH, temp);
  std::string base = temp;
  if (!base.empty() && base.back() == '\\') base.pop_back();
  static unsigned counter = 0;
  for (;;) {
    path_ = base + "\\plat_test_" + std::to_string(GetCurrentProcessId()) + "_" +
            std::to_string(++counter);
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
#else
  std::string pattern = "/tmp/plat_test_XXXXXX";
  if (mkdtemp(&pattern[0]) == nullptr) abort();
  path_ = pattern;
#endif
}

ScratchDir::~ScratchDir() { removeTree(path_); }

std::string ScratchDir::file(const std::string& name) const {
  return path_ + pathSeparator() + name;
}

std::string ScratchDir::write(const std::string& name, const std::string& content) const {
  const std::string path = file(name);
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
  return path;
}

char pathSeparator() {
#ifdef _WIN32
  return '\\';
#else
  return '/';
#endif
}

void setEnvVar(const char* name, const char* value) {
#ifdef _WIN32
  _putenv((std::string(name) + "=" + (value ? value : "")).c_str());
  SetEnvironmentVariableA(name, value);
#else
  if (value) setenv(name, value, 1);
  else unsetenv(name);
#endif
}

bool getEnvVar(const char* name, std::string& value) {
  const char* v = getenv(name);
  if (v == nullptr) return false;
  value = v;
  return true;
}

ScopedEnvVar::ScopedEnvVar(const char* name, const char* value) : name_(name) {
  had_ = getEnvVar(name, old_);
  setEnvVar(name, value);
}

ScopedEnvVar::~ScopedEnvVar() { setEnvVar(name_.c_str(), had_ ? old_.c_str() : nullptr); }

std::string readTextFile(const std::string& path) {
  std::ifstream in(path);
  if (!in) return std::string();
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool pathExists(const std::string& path) {
#ifdef _WIN32
  return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
  struct stat info;
  return stat(path.c_str(), &info) == 0;
#endif
}

void removeFile(const std::string& path) { ::remove(path.c_str()); }
