// Windows side of the error family.
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "base/error_report.h"
#include "base/error_report_sys.h"

namespace errorsys {
void showErrorBox(const std::string& text, const std::string& caption) {
  MessageBoxA(static_cast<HWND>(errorOwnerWindow()), text.c_str(), caption.c_str(), MB_ICONERROR);
}

void showWideErrorBox(const std::u16string& text, const std::u16string& caption) {
  MessageBoxW(static_cast<HWND>(errorOwnerWindow()), reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
}

void writeStandardError(const std::string& bytes) {
  fwrite(bytes.data(), 1, bytes.size(), stderr);
  fflush(stderr);
}

void endProcess(int code) { ExitProcess(static_cast<UINT>(code)); }

void endProcessRunningHandlers(int code) { exit(code); }
}  // namespace errorsys
