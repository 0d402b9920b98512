#include "shipped_files.h"

#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

std::vector<std::string> shippedFileCandidates(const std::string& selfPath, const std::string& relative) {
  fs::path dir = fs::u8path(selfPath).parent_path();
  if (dir.empty()) dir = ".";
  fs::path up = dir / "..";
  fs::path name = fs::u8path(relative);
  return {(up / name).lexically_normal().u8string(), (up / "share" / "mediapack" / name).lexically_normal().u8string()};
}

std::string findShippedFile(const std::string& selfPath, const std::string& relative) {
  for (const std::string& candidate : shippedFileCandidates(selfPath, relative)) {
    std::error_code error;
    if (fs::is_regular_file(fs::u8path(candidate), error)) return candidate;
  }
  return std::string();
}

std::string shippedFilePlaces(const std::string& selfPath, const std::string& relative) {
  std::string text;
  for (const std::string& candidate : shippedFileCandidates(selfPath, relative)) {
    text += (text.empty() ? "" : " or ") + candidate;
  }
  return text;
}
