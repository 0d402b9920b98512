#include <iconv.h>
#include <locale.h>
#include <wctype.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <vector>

#include "code_page.h"

std::string codePageCharset(int codePage) {
  std::string name;
  switch (codePage) {
    case 65001: name = "UTF-8"; break;
    case 20127: name = "ASCII"; break;
    case 20866: name = "KOI8-R"; break;
    case 21866: name = "KOI8-U"; break;
    case 28605: name = "ISO-8859-15"; break;
    default:
      if (isUnicodeOnlyCodePage(codePage)) return "";
      if (codePage >= 28591 && codePage <= 28599) {
        name = "ISO-8859-" + std::to_string(codePage - 28590);
      } else if (codePage > 0 && codePage < 65536) {
        name = "CP" + std::to_string(codePage);
      } else {
        return "";
      }
  }
  iconv_t probe = iconv_open(name.c_str(), "UTF-8");
  if (probe == reinterpret_cast<iconv_t>(-1)) return "";
  iconv_close(probe);
  return name;
}

namespace {

// Converts between two iconv charsets; never transliterates.
Conversion convertText(const std::string& input, const char* from, const char* to) {
  Conversion result;
  iconv_t cd = iconv_open(to, from);
  if (cd == reinterpret_cast<iconv_t>(-1)) {
    result.detail = std::string("no conversion from ") + from + " to " + to;
    return result;
  }
  std::vector<char> in(input.begin(), input.end());
  char* inPtr = in.data();
  size_t inLeft = in.size();
  std::vector<char> chunk(4096);
  bool ok = true;
  while (inLeft > 0) {
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    size_t rc = iconv(cd, &inPtr, &inLeft, &outPtr, &outLeft);
    result.output.append(chunk.data(), chunk.size() - outLeft);
    if (rc == static_cast<size_t>(-1) && errno != E2BIG) {
      ok = false;
      break;
    }
  }
  if (ok) {  // flush shift state (stateful encodings)
    char* outPtr = chunk.data();
    size_t outLeft = chunk.size();
    if (iconv(cd, nullptr, nullptr, &outPtr, &outLeft) == static_cast<size_t>(-1)) ok = false;
    result.output.append(chunk.data(), chunk.size() - outLeft);
  }
  iconv_close(cd);
  result.ok = ok;
  if (!ok) {
    result.badOffset = static_cast<size_t>(inPtr - in.data());
    if (std::string(from) == "UTF-8") {
      result.detail = describeUtf8At(input, result.badOffset);
    } else if (result.badOffset < input.size()) {
      char buf[64];
      std::snprintf(buf, sizeof buf, "byte 0x%02X at offset %zu",
                    static_cast<unsigned char>(input[result.badOffset]), result.badOffset);
      result.detail = buf;
    } else {
      result.detail = "incomplete text at the end";
    }
    result.output.clear();
  }
  return result;
}

}  // namespace

Conversion utf8ToCodePage(const std::string& utf8, int codePage) {
  std::string charset = codePageCharset(codePage);
  if (charset.empty()) {
    Conversion c;
    c.detail = "code page " + std::to_string(codePage) + " is not known";
    return c;
  }
  return convertText(utf8, "UTF-8", charset.c_str());
}

Conversion utf8ToUtf16le(const std::string& utf8) { return convertText(utf8, "UTF-8", "UTF-16LE"); }

Conversion codePageToUtf8(const std::string& bytes, int codePage) {
  std::string charset = codePageCharset(codePage);
  if (charset.empty()) {
    Conversion c;
    c.detail = "code page " + std::to_string(codePage) + " is not known";
    return c;
  }
  return convertText(bytes, charset.c_str(), "UTF-8");
}

Conversion utf16leToUtf8(const std::string& bytes) { return convertText(bytes, "UTF-16LE", "UTF-8"); }

char32_t upperCaseOf(char32_t c) {
  static locale_t unicode = newlocale(LC_CTYPE_MASK, "C.UTF-8", nullptr);
  if (c < 0x80) return static_cast<char32_t>(std::toupper(static_cast<int>(c)));
  return unicode ? static_cast<char32_t>(towupper_l(static_cast<wint_t>(c), unicode)) : c;
}
