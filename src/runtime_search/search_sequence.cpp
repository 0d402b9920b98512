// The rules of the search sequence.
#include "runtime_search/search_sequence.h"

#include <algorithm>

#include "platform/paths.h"

std::vector<SearchEntry> parseSearchSequence(const std::string& sequence) {
  std::vector<SearchEntry> entries;
  for (const std::string& item : splitList(sequence, ';')) {
    entries.push_back(SearchEntry{item[0], item.substr(1)});
  }
  return entries;
}

bool isAbsoluteLocation(const std::string& argument) {
  return argument.size() >= 2 &&
         (argument[1] == ':' || (argument[0] == '\\' && argument[1] == '\\'));
}

bool isTriedInRelativePass(const SearchEntry& entry) {
  switch (entry.type) {
    case 'A':
    case 'R':
      return !isAbsoluteLocation(entry.argument);
    case 'B':
      return true;
    default:
      return false;
  }
}

std::string stripLineEnd(const std::string& line) {
  size_t end = line.size();
  while (end > 0 && (line[end - 1] == '\r' || line[end - 1] == '\n')) --end;
  return line.substr(0, end);
}

std::vector<std::string> systemRuntimeHomes(const std::string& directory, std::vector<std::string> names) {
  std::vector<std::string> homes;
  std::sort(names.begin(), names.end());
  // The distribution's choice first, then the newest-looking names first.
  for (const std::string& name : names) {
    if (name == "default-java" || name == "default-runtime") homes.push_back(directory + "/" + name);
  }
  for (auto it = names.rbegin(); it != names.rend(); ++it) {
    if (it->empty() || (*it)[0] == '.' || *it == "default-java" || *it == "default-runtime") continue;
    homes.push_back(directory + "/" + *it);
  }
  return homes;
}
