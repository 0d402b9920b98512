// What the JVM start gathers from a POSIX host. There is no console code page here.
#include <unistd.h>

#include <cstdlib>

#include "jvm/java_vm_launcher.h"
#include "platform/temp_dir.h"

std::string processCommFileName() {
  const char* root = getenv("TMPDIR");
  std::string directory = root != nullptr && *root != '\0' ? root : "/tmp";
  if (directory.back() != '/') directory += '/';
  return processFileName(directory, static_cast<uint32_t>(getpid()));
}

bool consoleOutputCodepage(unsigned& codepage) {
  codepage = 0;
  return false;
}

bool readProcessVariable(const char* name, std::string& value) {
  const char* found = getenv(name);
  value = found != nullptr ? found : "";
  return found != nullptr;
}
