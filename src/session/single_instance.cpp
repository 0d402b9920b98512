#include "session/single_instance.h"

std::string composeSemaphoreName(const std::string& instanceIdentity, bool global) {
  std::string name = global ? "Global\\" : "";
  for (char c : instanceIdentity) name.push_back(c == '\\' ? '_' : c);
  return name;
}
