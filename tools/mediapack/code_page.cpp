#include "code_page.h"

#include <cstdio>

std::string describeUtf8At(const std::string& text, size_t offset) {
  if (offset >= text.size()) return "incomplete text at the end";
  auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  unsigned char lead = byte(offset);
  int length = lead < 0x80 ? 1 : (lead >> 5) == 6 ? 2 : (lead >> 4) == 14 ? 3 : (lead >> 3) == 30 ? 4 : 0;
  char buf[48];
  if (length == 0 || offset + length > text.size()) {
    std::snprintf(buf, sizeof buf, "byte 0x%02X", lead);
    return buf;
  }
  uint32_t cp = length == 1 ? lead : lead & (0x7F >> length);
  for (int i = 1; i < length; ++i) cp = (cp << 6) | (byte(offset + i) & 0x3F);
  std::snprintf(buf, sizeof buf, "character U+%04X", static_cast<unsigned>(cp));
  return buf;
}

bool isUnicodeOnlyCodePage(int codePage) {
  switch (codePage) {
    case 1200: case 1201: case 12000: case 12001: case 65000: return true;
    default: return false;
  }
}
