// Reading class path variables on Windows.
#include <windows.h>

#include <vector>

#include "jvm/class_path.h"

VariableRead readClassPathVariable(const std::string& name, std::string& value) {
  std::vector<char> buffer(8192);
  SetLastError(ERROR_SUCCESS);
  DWORD n = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    // Taken whole rather than cut: the class path limit decides whether it fits.
    buffer.resize(n);
    n = GetEnvironmentVariableA(name.c_str(), buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) n = 0;
  }
  if (n == 0) {
    value.clear();
    return GetLastError() == ERROR_ENVVAR_NOT_FOUND ? VariableRead::Undefined : VariableRead::Empty;
  }
  value.assign(buffer.data(), n);
  return VariableRead::Value;
}
