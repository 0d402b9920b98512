// Host side of the error family: no message boxes, so boxes go to standard error too.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "base/error_report.h"
#include "base/error_report_sys.h"
#include "base/text.h"

namespace errorsys {
void writeStandardError(const std::string& bytes) {
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

void showErrorBox(const std::string& text, const std::string&) { writeStandardError(text + "\n"); }

void showWideErrorBox(const std::u16string& text, const std::u16string&) {
  writeStandardError(wideToConsole(text + u"\n"));
}

void endProcess(int code) {
  fflush(nullptr);
  _exit(code);
}

void endProcessRunningHandlers(int code) { exit(code); }
}  // namespace errorsys
