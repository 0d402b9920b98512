#include "base/text.h"

#include <gtest/gtest.h>

TEST(Text, Utf8AndUtf16RoundTrip) {
  const char* rows[] = {"", "plain", "caf\xC3\xA9", "\xE4\xB8\xAD\xE6\x96\x87",
                        "\xF0\x9F\x98\x80 smile"};
  for (const char* row : rows) EXPECT_EQ(utf16ToUtf8(utf8ToUtf16(row)), row) << row;
  EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"), std::u16string(u"\xD83D\xDE00"));
}

TEST(Text, InvalidSequencesBecomeReplacementCharacters) {
  struct Row { std::string in; std::u16string out; } rows[] = {
      {"a\xFF" "b", u"a\xFFFD" u"b"},
      {"\xC3", u"\xFFFD"},                         // truncated two-byte form
      {"\xC3(", u"\xFFFD("},                       // continuation missing: next byte kept
      {"\xC0\xAF", u"\xFFFD"},                     // overlong "/"
      {"\xED\xA0\x80", u"\xFFFD"},                 // an encoded surrogate
      {"\xF4\x90\x80\x80", u"\xFFFD"},             // beyond U+10FFFF
  };
  for (const Row& row : rows) EXPECT_EQ(utf8ToUtf16(row.in), row.out) << row.in;
  EXPECT_EQ(utf16ToUtf8(u"x\xD800y"), "x\xEF\xBF\xBDy");  // lone surrogate
}

TEST(Text, NarrowConversionsFailOnlyWithoutANarrowForm) {
  // ASCII and e-acute have the same narrow form in ISO 8859-1 and in the Western ANSI code
  // page; a CJK character has none in either.
  EXPECT_EQ(narrowToWide("C:\\a b\xE9"), u"C:\\a b\u00E9");
  std::string out;
  EXPECT_TRUE(wideToNarrow(u"C:\\a b\u00E9", out));
  EXPECT_EQ(out, "C:\\a b\xE9");
  EXPECT_FALSE(wideToNarrow(u"C:\\\u4E2D", out));
  EXPECT_EQ(wideToNarrowLossy(u"C:\\\u4E2D\\x"), "C:\\?\\x");
  EXPECT_TRUE(wideToNarrow(u"", out));
  EXPECT_EQ(out, "");
}

TEST(Text, ConsoleTextKeepsAscii) {
  EXPECT_EQ(wideToConsole(u"Log: C:\\x\n"), "Log: C:\\x\n");
}
