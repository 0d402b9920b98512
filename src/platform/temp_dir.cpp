#include "platform/temp_dir.h"


std::string joinPath(const std::string& directory, const std::string& name) {
  if (!directory.empty() && directory.back() == '\\') return directory + name;
  return directory + "\\" + name;
}

std::string writableProbePath(const std::string& directory) {
  return directory + "\\qlz_w_testdir";
}

std::string homeTempRoot(const std::string& homeDrive, const std::string& homePath) {
  std::string root = homeDrive + homePath;
  if (root.size() > kMaxNarrowPath) root.resize(kMaxNarrowPath);
  return root;
}

std::string fallbackTempFileName(const std::string& root, int number) {
  return joinPath(root, "qlz" + std::to_string(number));
}

std::string processFileName(const std::string& root, uint32_t number) {
  return joinPath(root, "qlz_p" + std::to_string(number) + ".tmp");
}

std::string launcherTempDirFor(const std::string& placeholderFile) {
  return placeholderFile + "_dir";
}

std::string placeholderFileOf(const std::string& directory) {
  static const std::string kSuffix = "_dir";
  if (directory.size() <= kSuffix.size() ||
      directory.compare(directory.size() - kSuffix.size(), kSuffix.size(), kSuffix) != 0) {
    return std::string();
  }
  return directory.substr(0, directory.size() - kSuffix.size());
}

bool tempRootNeedsReplacement(const std::string& root, const std::string* longForm) {
  // "?" can never be part of a usable file name, so a root that itself holds one is as
  // unusable as one whose long form does.
  const std::string& tested = longForm ? *longForm : root;
  return tested.find('?') != std::string::npos;
}

std::vector<std::string> replacementTempRoots(const std::string& windowsDir) {
  return {windowsDir + "\\temp", "c:\\temp", "c:\\tmp", windowsDir};
}

std::string chooseReplacementTempRoot(const std::string& windowsDir,
                                      const std::function<bool(const std::string&)>& isWritable,
                                      const std::function<void(const std::string&)>& makeDir) {
  for (const std::string& candidate : replacementTempRoots(windowsDir)) {
    if (isWritable(candidate)) return candidate;
  }
  if (isWritable("c:\\")) {
    makeDir("c:\\tmp");
    if (isWritable("c:\\tmp")) return "c:\\tmp";
  }
  return std::string();
}

bool mayEmptyDirectory(const std::string& directory) {
  return !directory.empty() && directory[0] != '.';
}
