// The rules of the search sequence.
#include "runtime_search/search_sequence.h"

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
