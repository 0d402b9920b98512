// What the JVM start gathers from Windows.
#include <windows.h>

#include <vector>

#include "jvm/java_vm_launcher.h"
#include "platform/temp_dir.h"

std::string processCommFileName() { return makeProcessFileName(GetCurrentProcessId()); }

bool consoleOutputCodepage(unsigned& codepage) {
  codepage = GetConsoleOutputCP();
  return true;
}

bool readProcessVariable(const char* name, std::string& value) {
  std::vector<char> buffer(8192);
  SetLastError(ERROR_SUCCESS);
  DWORD n = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
  if (n >= buffer.size()) {
    buffer.resize(n);
    n = GetEnvironmentVariableA(name, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n >= buffer.size()) n = 0;
  }
  value.assign(buffer.data(), n);
  return n != 0 || GetLastError() != ERROR_ENVVAR_NOT_FOUND;
}
