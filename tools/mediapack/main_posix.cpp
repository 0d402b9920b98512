// mediapack: builds media files (a launcher stub with its payload) and inspects them.
#include <sys/random.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

// The C++ runtime, linked in statically, refers to arc4random (for std::random_device, which
// mediapack never uses), and the C library has it only since glibc 2.36. This definition,
// in the program itself, satisfies that reference, so the released builder needs no newer C
// library than its other calls do (2.35: Ubuntu 22.04, Debian 12).
extern "C" uint32_t arc4random(void) {
  uint32_t value = 0;
  while (getrandom(&value, sizeof value, 0) != static_cast<ssize_t>(sizeof value) && errno == EINTR) {
  }
  return value;
}

int main(int argc, char** argv) {
  std::string self = argc > 0 ? argv[0] : "mediapack";
  char buffer[4096];
  ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n > 0) self.assign(buffer, static_cast<size_t>(n));
  std::vector<std::string> args(argv + (argc > 0 ? 1 : 0), argv + argc);
  int code = runMediapack(args, self, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
  std::cout.flush();
  return code;
}
