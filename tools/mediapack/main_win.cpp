// mediapack.exe: the builder on Windows. Arguments arrive as UTF-16 and are handed on as
// UTF-8, the text every part of the builder works in; the console is switched to UTF-8 so
// that messages naming files and keys read right.
#include <windows.h>
#include <io.h>
#include <shellapi.h>

#include <iostream>
#include <string>
#include <vector>

#include "cli.h"

namespace {

std::string utf8Of(const wchar_t* text) {
  int n = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
  if (n <= 1) return std::string();
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text, -1, &out[0], n, nullptr, nullptr);
  out.resize(static_cast<size_t>(n - 1));
  return out;
}

}  // namespace

int main() {
  SetConsoleOutputCP(CP_UTF8);
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; argv && i < argc; ++i) args.push_back(utf8Of(argv[i]));
  if (argv) LocalFree(argv);

  std::wstring self(32768, L'\0');
  DWORD n = GetModuleFileNameW(nullptr, &self[0], static_cast<DWORD>(self.size()));
  self.resize(n < self.size() ? n : 0);
  int code = runMediapack(args, self.empty() ? "mediapack.exe" : utf8Of(self.c_str()), std::cout, std::cerr,
                          _isatty(_fileno(stderr)) != 0);
  std::cout.flush();
  return code;
}
