#include "jvm/native_library_path.h"

namespace {
// The longest prefix of `list` that fits in `room` bytes and ends at an element boundary
// (before a ";" or at the end); elements are never cut in two.
std::string wholeElementsWithin(const std::string& list, size_t room) {
  if (list.size() <= room) return list;
  const size_t cut = list.rfind(';', room);
  return cut == std::string::npos ? std::string() : list.substr(0, cut);
}
}  // namespace

NativeLibraryPath composeNativeLibraryPath(const std::string& directories,
                                           const std::string& oldPath) {
  NativeLibraryPath result;
  std::string prefix = directories;
  if (!prefix.empty() && prefix.back() != ';') prefix += ';';
  if (prefix.size() > kMaxPathValue) {
    result.directoriesCut = true;
    result.oldPathCut = !oldPath.empty();
    result.value = wholeElementsWithin(prefix, kMaxPathValue);
    return result;
  }
  const std::string kept = wholeElementsWithin(oldPath, kMaxPathValue - prefix.size());
  result.oldPathCut = kept.size() != oldPath.size();
  result.value = prefix + kept;
  return result;
}
