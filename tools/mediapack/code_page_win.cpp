#include <windows.h>

#include <cstdio>

#include "code_page.h"

namespace {

std::wstring fromUtf16le(const std::string& bytes) {
  std::wstring out;
  for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
    out.push_back(static_cast<wchar_t>(static_cast<uint8_t>(bytes[i]) | static_cast<uint8_t>(bytes[i + 1]) << 8));
  }
  return out;
}

std::string toUtf16le(const std::wstring& text) {
  std::string out;
  for (wchar_t c : text) {
    out.push_back(static_cast<char>(c & 0xFF));
    out.push_back(static_cast<char>((c >> 8) & 0xFF));
  }
  return out;
}

bool wideFrom(UINT codePage, const std::string& bytes, std::wstring& out) {
  out.clear();
  if (bytes.empty()) return true;
  int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
  if (n <= 0) return false;
  out.resize(static_cast<size_t>(n));
  return MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, bytes.data(), static_cast<int>(bytes.size()), &out[0], n) == n;
}

// Wide to narrow without best-fit substitutes; false when a character has no exact form.
bool narrowFrom(UINT codePage, const std::wstring& text, std::string& out) {
  out.clear();
  if (text.empty()) return true;
  bool utf8 = codePage == CP_UTF8;
  DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* used = utf8 ? nullptr : &usedDefault;
  int n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, used);
  if (n <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {  // code pages that take no flags
    flags = 0;
    n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, used);
  }
  if (n <= 0 || usedDefault) return false;
  out.resize(static_cast<size_t>(n));
  n = WideCharToMultiByte(codePage, flags, text.data(), static_cast<int>(text.size()), &out[0], n, nullptr, used);
  return n > 0 && !usedDefault;
}

bool knownNarrow(int codePage) { return !codePageCharset(codePage).empty(); }

Conversion unknown(int codePage) {
  Conversion c;
  c.detail = "code page " + std::to_string(codePage) + " is not known";
  return c;
}

// Length of the UTF-8 sequence that starts with `lead` (1 for a stray byte).
size_t sequenceLength(unsigned char lead) {
  return lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 1;
}

}  // namespace

std::string codePageCharset(int codePage) {
  if (codePage == 65001) return "UTF-8";
  if (codePage <= 0 || codePage > 65535 || isUnicodeOnlyCodePage(codePage)) return "";
  if (!IsValidCodePage(static_cast<UINT>(codePage))) return "";
  return "CP" + std::to_string(codePage);
}

Conversion utf8ToUtf16le(const std::string& utf8) {
  Conversion c;
  std::wstring wide;
  if (!wideFrom(CP_UTF8, utf8, wide)) {
    // Find the first sequence that does not convert on its own.
    for (size_t at = 0; at < utf8.size(); at += sequenceLength(static_cast<unsigned char>(utf8[at]))) {
      std::wstring piece;
      if (!wideFrom(CP_UTF8, utf8.substr(at, sequenceLength(static_cast<unsigned char>(utf8[at]))), piece)) {
        c.badOffset = at;
        c.detail = describeUtf8At(utf8, at);
        return c;
      }
    }
    c.detail = "incomplete text at the end";
    c.badOffset = utf8.size();
    return c;
  }
  c.ok = true;
  c.output = toUtf16le(wide);
  return c;
}

Conversion utf8ToCodePage(const std::string& utf8, int codePage) {
  if (!knownNarrow(codePage)) return unknown(codePage);
  Conversion wide = utf8ToUtf16le(utf8);
  if (!wide.ok) return wide;
  Conversion c;
  if (narrowFrom(static_cast<UINT>(codePage), fromUtf16le(wide.output), c.output)) {
    c.ok = true;
    return c;
  }
  // Name the first character the code page cannot hold.
  c.output.clear();
  for (size_t at = 0; at < utf8.size();) {
    size_t length = sequenceLength(static_cast<unsigned char>(utf8[at]));
    std::wstring piece;
    std::string narrow;
    if (!wideFrom(CP_UTF8, utf8.substr(at, length), piece) || !narrowFrom(static_cast<UINT>(codePage), piece, narrow)) {
      c.badOffset = at;
      c.detail = describeUtf8At(utf8, at);
      return c;
    }
    at += length;
  }
  c.detail = "text the code page cannot hold";
  return c;
}

Conversion codePageToUtf8(const std::string& bytes, int codePage) {
  if (!knownNarrow(codePage)) return unknown(codePage);
  Conversion c;
  std::wstring wide;
  if (!wideFrom(static_cast<UINT>(codePage), bytes, wide) || !narrowFrom(CP_UTF8, wide, c.output)) {
    c.output.clear();
    c.detail = "bytes that are not text in code page " + std::to_string(codePage);
    return c;
  }
  c.ok = true;
  return c;
}

Conversion utf16leToUtf8(const std::string& bytes) {
  Conversion c;
  if (bytes.size() % 2 != 0) {
    c.badOffset = bytes.size() - 1;
    c.detail = "incomplete text at the end";
    return c;
  }
  if (!narrowFrom(CP_UTF8, fromUtf16le(bytes), c.output)) {
    c.output.clear();
    c.detail = "an unpaired surrogate";
    return c;
  }
  c.ok = true;
  return c;
}

char32_t upperCaseOf(char32_t c) {
  if (c > 0xFFFF || (c >= 0xD800 && c <= 0xDFFF)) return c;
  wchar_t one = static_cast<wchar_t>(c);
  CharUpperBuffW(&one, 1);
  return static_cast<char32_t>(one);
}
