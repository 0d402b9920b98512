// mediapack: builds media files (a launcher stub with its payload) and inspects them.
#include <unistd.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

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
