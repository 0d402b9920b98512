#include "version_info.h"

#include <cstdio>

#include "binary_file.h"

const std::vector<VersionKey>& versionInfoKeys() {
  static const std::vector<VersionKey> keys = {
      {"fileVersion", "FileVersion", "required: \"1.2.3.4\" (one to four numbers 0 to 65535); the text is shown as given"},
      {"productVersion", "ProductVersion", "the same form; default: fileVersion"},
      {"companyName", "CompanyName", "text"},
      {"fileDescription", "FileDescription", "text (Explorer shows it as the description)"},
      {"internalName", "InternalName", "text"},
      {"legalCopyright", "LegalCopyright", "text"},
      {"legalTrademarks", "LegalTrademarks", "text"},
      {"originalFilename", "OriginalFilename", "text, such as \"setup.exe\""},
      {"productName", "ProductName", "text"},
      {"comments", "Comments", "text"},
      {"language", "", "language id of the texts (default 1033, English - United States)"},
  };
  return keys;
}

bool parseVersionNumber(const std::string& text, uint16_t parts[4]) {
  uint32_t values[4] = {0, 0, 0, 0};
  size_t part = 0, digits = 0;
  for (char c : text) {
    if (c == '.') {
      if (digits == 0 || ++part == 4) return false;
      digits = 0;
    } else if (c >= '0' && c <= '9') {
      values[part] = values[part] * 10 + static_cast<uint32_t>(c - '0');
      if (++digits > 5 || values[part] > 65535) return false;
    } else {
      return false;
    }
  }
  if (digits == 0) return false;
  for (int i = 0; i < 4; ++i) parts[i] = static_cast<uint16_t>(values[i]);
  return true;
}

namespace {

void pad4(std::string& b) {
  while (b.size() % 4 != 0) b.push_back('\0');
}

void appendU16(std::string& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}

void appendText(std::string& b, const std::u16string& text) {
  for (char16_t c : text) appendU16(b, static_cast<uint16_t>(c));
  appendU16(b, 0);
}

std::u16string ascii(const std::string& text) { return std::u16string(text.begin(), text.end()); }

// One block of the version resource: length, value length, type, key, value, children,
// each part starting on a 4-byte boundary. `valueLength` counts bytes for binary values
// and UTF-16 units (with the terminator) for text values, as readers expect.
std::string block(const std::u16string& key, const std::string& value, uint16_t valueLength, bool text,
                  const std::vector<std::string>& children) {
  std::string b(6, '\0');
  appendText(b, key);
  pad4(b);
  b += value;
  for (const std::string& child : children) {
    pad4(b);
    b += child;
  }
  size_t length = b.size();
  if (length > 0xFFFF) return std::string();
  b[0] = static_cast<char>(length & 0xFF);
  b[1] = static_cast<char>(length >> 8);
  b[2] = static_cast<char>(valueLength & 0xFF);
  b[3] = static_cast<char>(valueLength >> 8);
  b[4] = text ? 1 : 0;
  return b;
}

uint32_t high(const uint16_t v[4]) { return uint32_t(v[0]) << 16 | v[1]; }
uint32_t low(const uint16_t v[4]) { return uint32_t(v[2]) << 16 | v[3]; }

}  // namespace

std::string versionResource(const VersionInfo& info) {
  std::string fixed;
  appendU32(fixed, 0xFEEF04BDu);  // signature
  appendU32(fixed, 0x00010000u);  // structure version 1.0
  appendU32(fixed, high(info.fileVersion));
  appendU32(fixed, low(info.fileVersion));
  appendU32(fixed, high(info.productVersion));
  appendU32(fixed, low(info.productVersion));
  appendU32(fixed, 0x3F);         // flags mask
  appendU32(fixed, 0);            // flags: a release build
  appendU32(fixed, 0x00040004u);  // VOS_NT_WINDOWS32
  appendU32(fixed, 1);            // VFT_APP
  appendU32(fixed, 0);            // subtype
  appendU32(fixed, 0);            // date: none, so builds are reproducible
  appendU32(fixed, 0);

  std::vector<std::string> strings;
  for (const auto& [name, value] : info.strings) {
    std::string v;
    appendText(v, value);
    strings.push_back(block(ascii(name), v, static_cast<uint16_t>(value.size() + 1), true, {}));
    if (strings.back().empty()) return std::string();
  }
  char tableKey[16];
  std::snprintf(tableKey, sizeof tableKey, "%04X%04X", info.language, kVersionCodePage);
  std::string table = block(ascii(tableKey), "", 0, true, strings);
  std::string stringInfo = table.empty() ? table : block(u"StringFileInfo", "", 0, true, {table});
  std::string translation;
  appendU16(translation, info.language);
  appendU16(translation, kVersionCodePage);
  std::string varInfo = block(u"VarFileInfo", "", 0, true, {block(u"Translation", translation, 4, false, {})});
  if (stringInfo.empty()) return std::string();
  return block(u"VS_VERSION_INFO", fixed, static_cast<uint16_t>(fixed.size()), false, {stringInfo, varInfo});
}
