// Reading class path variables on POSIX hosts.
#include <cstdlib>

#include "jvm/class_path.h"

VariableRead readClassPathVariable(const std::string& name, std::string& value) {
  const char* found = getenv(name.c_str());
  value = found != nullptr ? found : "";
  if (found == nullptr) return VariableRead::Undefined;
  return value.empty() ? VariableRead::Empty : VariableRead::Value;
}
