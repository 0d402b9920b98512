// Windows conversions in the code page the narrow file functions use.
#include <windows.h>

#include "base/text.h"

namespace {
UINT fileApiCodePage() { return AreFileApisANSI() ? CP_ACP : CP_OEMCP; }

std::u16string toWide(UINT codePage, const std::string& text) {
  if (text.empty()) return std::u16string();
  int n = MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return std::u16string();
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(codePage, 0, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(&out[0]), n);
  return out;
}

// Converts with "?" as default character; `usedDefault` tells whether it was needed.
std::string toNarrow(UINT codePage, const std::u16string& text, bool* usedDefault) {
  if (usedDefault) *usedDefault = false;
  if (text.empty()) return std::string();
  const wchar_t* src = reinterpret_cast<const wchar_t*>(text.data());
  const int len = static_cast<int>(text.size());
  BOOL used = FALSE;
  // UTF-8 and UTF-7 accept neither a default character nor the flag asking for it. Other code
  // pages would map a character they lack to a look-alike ("\u0141dir" to "Ldir") without
  // saying so: a path that silently names another file. Without best fit such a character
  // takes the default character, which the caller is told of.
  const bool utf = codePage == CP_UTF8 || codePage == CP_UTF7;
  const DWORD flags = utf ? 0 : WC_NO_BEST_FIT_CHARS;
  int n = WideCharToMultiByte(codePage, flags, src, len, nullptr, 0, utf ? nullptr : "?",
                              utf ? nullptr : &used);
  if (n <= 0) {
    if (usedDefault) *usedDefault = true;
    return std::string();
  }
  std::string out(static_cast<size_t>(n), '\0');
  used = FALSE;
  WideCharToMultiByte(codePage, flags, src, len, &out[0], n, utf ? nullptr : "?",
                      utf ? nullptr : &used);
  if (usedDefault) *usedDefault = used != FALSE;
  return out;
}
}  // namespace

std::u16string narrowToWide(const std::string& text) { return toWide(fileApiCodePage(), text); }

bool wideToNarrow(const std::u16string& text, std::string& out) {
  bool usedDefault = false;
  out = toNarrow(fileApiCodePage(), text, &usedDefault);
  return !usedDefault;
}

std::string wideToNarrowLossy(const std::u16string& text) {
  return toNarrow(fileApiCodePage(), text, nullptr);
}

std::u16string configTextToWide(const std::string& text) { return narrowToWide(text); }

std::string wideToConsole(const std::u16string& text) {
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = CP_ACP;
  return toNarrow(codePage, text, nullptr);
}
