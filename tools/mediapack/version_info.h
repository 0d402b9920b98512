// The version resource of a media file (what Explorer shows under Properties > Details):
// the fixed file information with its two four-part version numbers, one string table for
// one language, and the translation list.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// A key of "versionInfo" in the build description.
struct VersionKey {
  const char* key;       // "companyName"
  const char* resource;  // its name in the string table, "CompanyName"; "" for non-strings
  const char* meaning;   // one line for the reference
};
const std::vector<VersionKey>& versionInfoKeys();

struct VersionInfo {
  uint16_t fileVersion[4] = {0, 0, 0, 0};
  uint16_t productVersion[4] = {0, 0, 0, 0};
  uint16_t language = 0x0409;  // of the string table and of the resource itself
  // String table entries in resource order: name ("CompanyName") and UTF-16 value.
  std::vector<std::pair<std::string, std::u16string>> strings;
};

// "1", "1.2", "1.2.3" or "1.2.3.4", each part a decimal number 0 to 65535; missing parts
// are 0. False for anything else.
bool parseVersionNumber(const std::string& text, uint16_t parts[4]);

// The VS_VERSIONINFO resource bytes. Fails (returns "") only when the texts make it
// longer than the 65535 bytes its length field can hold.
std::string versionResource(const VersionInfo& info);

// The code page the string table is declared in: the strings are UTF-16.
constexpr uint16_t kVersionCodePage = 1200;
