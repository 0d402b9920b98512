#include "runtime_search/jre_search.h"

#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"

JreSourceKind searchEntries(const std::vector<SearchEntry>& entries, const EntrySources& sources,
                            std::string& javaExe, std::string& label) {
  for (const SearchEntry& entry : entries) {
    std::string argument = entry.argument;
    expandVariables(argument);
    logMessage("Testing location %s (type %c)", argument.c_str(), entry.type);
    JreSourceKind found = NOT_FOUND;
    switch (entry.type) {
      case 'A':
      case 'B':
      case 'R':
        if (sources.directory(javaExe, argument)) found = FOUND_AT_LOCATION;
        break;
      case 'S':
        if (sources.path(javaExe)) found = FOUND_ON_PATH;
        break;
      case 'E':
        if (sources.environment(javaExe, argument)) found = FOUND_BY_ENV_VAR;
        break;
      case 'Y':
        if (sources.registry(javaExe)) return FOUND_IN_REGISTRY;
        break;
      default:
        break;
    }
    if (found != NOT_FOUND) {
      label = argument;
      return found;
    }
  }
  return NOT_FOUND;
}
