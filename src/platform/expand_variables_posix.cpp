// Gathers the process environment for variable expansion on POSIX systems.
#include "platform/expand_variables.h"

extern char** environ;

void expandVariables(std::string& text) {
  std::vector<std::string> entries;
  for (char** entry = environ; entry != nullptr && *entry != nullptr; ++entry) {
    entries.emplace_back(*entry);
  }
  expandVariablesWith(text, currentVariableValues(), entries);
}
