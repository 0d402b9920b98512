// Included-file names as the launcher takes them, one row each: the launcher's extraction and
// the builder are both checked against this table, so that the builder never writes a name
// its launcher refuses.
#pragma once

struct IncludedNameRow {
  const char* name;
  bool safe;
};

inline const IncludedNameRow kIncludedNameRows[] = {
    {"app.jar", true},
    {"lib\\a.jar", true},
    {"jre.tar.gz", true},
    {"lib/a.jar", true},
    {".hidden", true},
    {"a..b", true},
    {"", false},
    {"..", false},
    {".", false},
    {"..\\evil.dll", false},
    {"lib\\..\\..\\x", false},
    {"lib\\.\\x", false},
    {"../evil", false},
    {"a\\b\\c", false},
    {"a/b/c", false},
    {"\\rooted", false},
    {"/rooted", false},
    {"\\\\server\\share\\x", false},
    {"c:\\windows\\x.dll", false},
    {"c:x", false},
    {"file.txt:stream", false},
    {"lib\\", false},
    {"lib\\\\a", false},
    {"trailing.", false},
    {"trailing ", false},
    {".. \\x", false},
    {"a?b", false},
    {"a*b", false},
    {"a\"b", false},
    {"a|b", false},
    {"a<b", false},
    {"a\tb", false},
    {"NUL", false},
    {"con.txt", false},
    {"lib\\com1", false},
    {"lpt9.jar", false},
    {"CONOUT$", false},
    {"conin$.txt", false},
    {"COM0.log", false},
    {"lpt0", false},
    {"CON .txt", false},
    {"lib\\aux .jar", false},
    {"console.jar", true},
    {"com10", true},
};
