// Text conversions of the builder: UTF-8 (build descriptions, terminal) to the narrow code
// page the launcher's records are read in, and to UTF-16LE for wide records; and back for
// `inspect`. Built on iconv on Linux and on the system's code pages on Windows; both refuse
// what a code page cannot hold instead of guessing or substituting.
#pragma once

#include <cstddef>
#include <string>

// A name for a Windows code page number ("CP1252", "UTF-8" for 65001), or "" when the number
// is no narrow code page this system can convert to.
std::string codePageCharset(int codePage);
// Code pages that are UTF-16 or UTF-7 forms, never the narrow text of a record.
bool isUnicodeOnlyCodePage(int codePage);

// Outcome of one conversion. On failure `badOffset` is the byte offset in the input where
// conversion stopped and `detail` describes it ("character U+4E2D").
struct Conversion {
  bool ok = false;
  std::string output;
  size_t badOffset = 0;
  std::string detail;
};

// UTF-8 to the narrow code page / to UTF-16LE bytes (two bytes per code unit, no BOM).
Conversion utf8ToCodePage(const std::string& utf8, int codePage);
Conversion utf8ToUtf16le(const std::string& utf8);
// Narrow code-page bytes / UTF-16LE bytes to UTF-8.
Conversion codePageToUtf8(const std::string& bytes, int codePage);
Conversion utf16leToUtf8(const std::string& bytes);

// The character at byte `offset` of UTF-8 text, for messages ("character U+00E9", or
// "byte 0xC3" when it is not valid UTF-8).
std::string describeUtf8At(const std::string& text, size_t offset);

// Upper case of one character the way Windows compares file names (case-insensitively).
char32_t upperCaseOf(char32_t c);
