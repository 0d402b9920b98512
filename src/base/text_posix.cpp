// Host conversions: narrow text is ISO 8859-1, so every byte has a UTF-16 form and only
// characters above U+00FF lack a narrow one.
#include "base/text.h"

std::u16string narrowToWide(const std::string& text) {
  std::u16string out;
  out.reserve(text.size());
  for (char c : text) out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
  return out;
}

bool wideToNarrow(const std::u16string& text, std::string& out) {
  out.clear();
  out.reserve(text.size());
  for (char16_t c : text) {
    if (c > 0xFF) return false;
    out.push_back(static_cast<char>(c));
  }
  return true;
}

std::string wideToNarrowLossy(const std::u16string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    char16_t c = text[i];
    // A surrogate pair is one character and so one "?".
    if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
        text[i + 1] <= 0xDFFF) {
      ++i;
    }
    out.push_back(c > 0xFF ? '?' : static_cast<char>(c));
  }
  return out;
}

std::u16string configTextToWide(const std::string& text) {
  return isValidUtf8(text) ? utf8ToUtf16(text) : narrowToWide(text);
}

std::string wideToConsole(const std::u16string& text) { return utf16ToUtf8(text); }
