// Gathers the live environment block for variable expansion on Windows.
#include <windows.h>

#include "platform/expand_variables.h"

namespace {
// The narrow environment block, entry by entry, in block order; empty when there is none.
std::vector<std::string> environmentEntries() {
  std::vector<std::string> entries;
  LPCH block = GetEnvironmentStrings();
  if (block == nullptr) return entries;
  for (const char* entry = block; *entry != '\0'; entry += entries.back().size() + 1) {
    entries.emplace_back(entry);
  }
  FreeEnvironmentStringsA(block);
  return entries;
}
}  // namespace

void expandVariables(std::string& text) {
  expandVariablesWith(text, currentVariableValues(), environmentEntries());
}
