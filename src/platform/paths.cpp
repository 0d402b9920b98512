// The path and command-line rules that need no system call.
#include "platform/paths.h"


#include "base/error_report.h"
#include "base/text.h"

void collapseBackslashes(std::string& path) {
  const std::u16string wide = narrowToWide(path);
  if (wide.empty()) return;
  std::u16string kept;
  kept.reserve(wide.size());
  kept.push_back(wide[0]);
  for (size_t i = 1; i < wide.size(); ++i) {
    // A backslash after a kept backslash is dropped, unless that one is the very first
    // character: a leading "\\" names a network path.
    if (wide[i] == u'\\' && kept.back() == u'\\' && kept.size() - 1 != 0) continue;
    kept.push_back(wide[i]);
  }
  std::string narrow;
  if (wideToNarrow(kept, narrow)) path = narrow;
}

bool isRelativePath(const std::string& path) {
  const size_t n = path.size();
  if (n <= 2) return true;
  if (path[0] == '"') {
    if (n <= 3) return true;
    if (path[2] == ':' && path[3] == '\\') return false;
    if (path[1] == '\\' && path[2] == '\\') return false;
    return true;
  }
  if (path[1] == ':' && path[2] == '\\') return false;
  if (path[0] == '\\' && path[1] == '\\') return false;
  return true;
}

std::vector<std::string> splitList(const std::string& list, char separator) {
  std::vector<std::string> items;
  size_t start = 0;
  while (start <= list.size()) {
    size_t end = list.find(separator, start);
    if (end == std::string::npos) end = list.size();
    if (end > start) items.push_back(list.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::vector<std::string> pathCandidates(const std::string& pathValue, const std::string& fileName,
                                        size_t maxLength) {
  std::vector<std::string> candidates;
  for (std::string item : splitList(pathValue)) {
    if (item.size() >= 2 && item.front() == '"' && item.back() == '"') item = item.substr(1, item.size() - 2);
    if (item.empty() || isRelativePath(item)) continue;
    std::string candidate = item;
    if (candidate.back() != '\\' && candidate.back() != '/') candidate += '\\';
    candidate += fileName;
    if (candidate.size() <= maxLength) candidates.push_back(candidate);
  }
  return candidates;
}

bool splitCommandLineChecked(const std::u16string& text, std::vector<std::u16string>& out) {
  size_t pos = 0;
  const size_t n = text.size();
  while (pos < n) {
    // One search for whichever of blank and quotes comes first: looking for each of them
    // from every argument on would read a long command line over and over.
    const size_t next = text.find_first_of(u" \"'", pos);
    if (next == pos && text[pos] == u' ') {
      ++pos;
    } else if (next == std::u16string::npos) {
      out.push_back(text.substr(pos));
      pos = n;
    } else if (text[next] == u' ') {
      out.push_back(text.substr(pos, next - pos));
      pos = next + 1;
    } else {
      const char16_t q = text[next];
      const size_t close = text.find(q, next + 1);
      if (close == std::u16string::npos) return false;
      out.push_back(text.substr(pos, next - pos) + text.substr(next + 1, close - next - 1));
      pos = close + 1;
      if (pos < n && text[pos] == u' ') ++pos;
    }
  }
  return true;
}

void splitCommandLine(const std::u16string& text, std::vector<std::u16string>& out) {
  if (!splitCommandLineChecked(text, out)) fatalConfigError(CFG_MSG_WRONG_PARAMETER);
}

void splitNarrowCommandLine(const std::string& text, std::vector<std::string>& out) {
  std::vector<std::u16string> wide;
  splitCommandLine(narrowToWide(text), wide);
  for (const std::u16string& token : wide) out.push_back(wideToNarrowLossy(token));
}

std::string directoryPattern(const std::string& directory, const std::string& extension) {
  std::string pattern = directory + "\\*";
  if (extension.empty() || extension[0] != '.') pattern += '.';
  return pattern + extension;
}

bool isDriveRoot(const std::string& path) {
  if (path.size() < 2) return false;
  const std::string rest = path.substr(1);
  return rest == ":\\" || rest == ":\\." || rest == ":\\.\\.";
}

bool isUsableModulePath(const std::string& narrow, bool converted) {
  if (!converted || narrow.size() <= 3) return false;
  const std::string tail = narrow.substr(narrow.size() - 4);
  static const char kExe[] = ".exe";
  for (size_t i = 0; i < 4; ++i) {
    char c = tail[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != kExe[i]) return false;
  }
  return true;
}

std::string directoryPart(const std::string& path) {
  const size_t slash = path.rfind('\\');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

LongPathBinding chooseLongPathBinding(bool systemFunctionExists, uint32_t result,
                                      uint32_t lastError) {
  constexpr uint32_t kCallNotImplemented = 120;
  if (systemFunctionExists && (result != 0 || lastError != kCallNotImplemented)) {
    return LongPathBinding::System;
  }
  return LongPathBinding::Emulation;
}

std::string makeAbsolute(const std::string& path) {
  std::string out;
  if (isRelativePath(path) && !isSystemRootedPath(path)) out = getExeDir();
  out += path;
  collapseBackslashes(out);
  return out;
}

std::string absolutizePathList(const std::string& list) {
  std::string out;
  const std::vector<std::string> items = splitList(list);
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out += ';';
    out += makeAbsolute(items[i]);
  }
  return out;
}
