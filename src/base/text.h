// Conversions between the narrow text of file names (ANSI code page of the file functions)
// and UTF-16. On Windows: CP_ACP when AreFileApisANSI(), else CP_OEMCP, "?" as the default
// character. Elsewhere narrow text is taken as ISO 8859-1, which keeps tests deterministic.
#pragma once

#include <string>

// Narrow to UTF-16; never fails (every byte maps to something).
std::u16string narrowToWide(const std::string& text);
// UTF-16 to narrow. Returns false, leaving `out` unspecified, when some character has no
// narrow form (the conversion needed the default character).
bool wideToNarrow(const std::u16string& text, std::string& out);
// UTF-16 to narrow with "?" for what has no form; used where a lossy text is acceptable
// (messages on standard error).
std::string wideToNarrowLossy(const std::u16string& text);
// UTF-16 to the bytes a console shows: on Windows the console's output code page (CP_ACP
// without a console), "?" for what has no form; elsewhere UTF-8.
std::string wideToConsole(const std::u16string& text);
// A narrow configuration text as the Java side receives it (main class, fixed arguments,
// redirection files). On Windows narrowToWide. Elsewhere the builder writes narrow texts for
// the Linux launcher in UTF-8: valid UTF-8 is read as such, anything else (a description
// written in a Western code page) byte by byte as narrowToWide does.
std::u16string configTextToWide(const std::string& text);
// True when `text` is well-formed UTF-8 (no overlong forms, surrogates or values past
// U+10FFFF).
bool isValidUtf8(const std::string& text);
// UTF-8 (source literals, tools) to UTF-16 and back; invalid sequences become U+FFFD.
std::u16string utf8ToUtf16(const std::string& text);
std::string utf16ToUtf8(const std::u16string& text);
