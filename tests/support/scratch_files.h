// Scratch files and environment changes for unit tests, on both platforms.
#pragma once

#include <string>

// A fresh empty directory under the system's temporary directory, removed with its
// content when the object goes. path() has no trailing separator.
class ScratchDir {
 public:
  ScratchDir();
  ~ScratchDir();
  ScratchDir(const ScratchDir&) = delete;
  ScratchDir& operator=(const ScratchDir&) = delete;
  const std::string& path() const { return path_; }
  // path() + separator + name.
  std::string file(const std::string& name) const;
  // Creates (or truncates) a file with `content`.
  std::string write(const std::string& name, const std::string& content) const;

 private:
  std::string path_;
};

// The platform's path separator: '\\' on Windows, '/' elsewhere.
char pathSeparator();
// Sets a variable for this process (both the C library's copy and the system's);
// nullptr removes it.
void setEnvVar(const char* name, const char* value);
// The current value, or false when unset.
bool getEnvVar(const char* name, std::string& value);
// Restores a variable to what it was when this object was made.
class ScopedEnvVar {
 public:
  ScopedEnvVar(const char* name, const char* value);
  ~ScopedEnvVar();
  ScopedEnvVar(const ScopedEnvVar&) = delete;
  ScopedEnvVar& operator=(const ScopedEnvVar&) = delete;

 private:
  std::string name_, old_;
  bool had_;
};
// The whole file read in text mode (CR LF read as "\n" on Windows); "" when unreadable.
std::string readTextFile(const std::string& path);
bool pathExists(const std::string& path);
void removeFile(const std::string& path);
