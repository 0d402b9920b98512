#include "runtime_search/search_sequence.h"

#include <gtest/gtest.h>

#include "runtime/pack200.h"
#include "runtime_search/registry_sources.h"
#include "runtime_search/version_cache.h"

namespace {
std::string describe(const std::vector<SearchEntry>& entries) {
  std::string out;
  for (const SearchEntry& e : entries) out += std::string(1, e.type) + "[" + e.argument + "]";
  return out;
}
}  // namespace

TEST(SearchSequence, Parse) {
  struct Row { const char* sequence; const char* entries; } rows[] = {
      {"B.\\jre;Y;EJAVA_HOME;EJDK_HOME;", "B[.\\jre]Y[]E[JAVA_HOME]E[JDK_HOME]"},
      {"", ""},
      {";;;", ""},
      {";A;;", "A[]"},
      {"Ydummy;Sx", "Y[dummy]S[x]"},
      {"Xanything;a.\\jre", "X[anything]a[.\\jre]"},
      {"AC:\\Program Files\\jre", "A[C:\\Program Files\\jre]"},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(describe(parseSearchSequence(row.sequence)), row.entries) << row.sequence;
  }
}

TEST(SearchSequence, RelativePass) {
  struct Row { char type; const char* argument; bool tried; } rows[] = {
      {'A', ".\\jre", true},
      {'R', "jre", true},
      {'A', "C:\\jre", false},
      {'R', "c:", false},
      {'A', "\\\\server\\jre", false},  // network path
      {'A', "\\jre", true},             // rooted without drive counts as relative
      {'A', "", true},
      {'A', "j", true},
      {'B', "C:\\jre", true},           // B always
      {'B', ".\\jre", true},
      {'S', "jre", false},
      {'E', "JAVA_HOME", false},
      {'Y', "", false},
      {'X', "jre", false},
      {'a', "jre", false},
  };
  for (const Row& row : rows) {
    EXPECT_EQ(isTriedInRelativePass(SearchEntry{row.type, row.argument}), row.tried)
        << row.type << row.argument;
  }
}

TEST(SearchSequence, StripLineEnd) {
  EXPECT_EQ(stripLineEnd("C:\\jre\r\n"), "C:\\jre");
  EXPECT_EQ(stripLineEnd("C:\\jre\n\r\n\r"), "C:\\jre");
  EXPECT_EQ(stripLineEnd("\r\n"), "");
  EXPECT_EQ(stripLineEnd("a\rb\n"), "a\rb");
}

TEST(RegistrySources, DefaultVersionKey) {
  const std::string jre = "SOFTWARE\\JavaSoft\\Java Runtime Environment\\";
  const std::string jdk = "SOFTWARE\\JavaSoft\\Java Development Kit\\";
  EXPECT_EQ(defaultVersionKey("1.6", "1.6"), jre + "1.6");  // equality: the runtime
  EXPECT_EQ(defaultVersionKey("1.6", ""), jdk + "1.6");
  EXPECT_EQ(defaultVersionKey("", "1.5"), jre + "1.5");
  EXPECT_EQ(defaultVersionKey("1.7", "1.6"), jdk + "1.7");
  EXPECT_EQ(defaultVersionKey("1.6", "1.7"), jre + "1.7");
  EXPECT_EQ(defaultVersionKey("", ""), jre);
}

TEST(RegistrySources, VersionKeysToTry) {
  EXPECT_EQ(versionKeysToTry({"1.5", "1.6.0_20", "1.6"}, "1.6", ""),
            (std::vector<std::string>{"1.6.0_20", "1.6"}));
  EXPECT_EQ(versionKeysToTry({"1.6", "1.8", "1.7", "1.10"}, "", "1.7"),
            (std::vector<std::string>{"1.7", "1.6", "1.10"}));
  EXPECT_EQ(versionKeysToTry({}, "", ""), std::vector<std::string>{});
}

TEST(RegistrySources, KeyNames) {
  EXPECT_EQ(locatedJvmKey("C:\\Program Files\\Java\\bin\\java.exe"),
            "SOFTWARE\\northgale\\quoll\\locatedjvms\\C:/Program Files/Java/bin/java.exe");
  EXPECT_EQ(locatedJvmPath("c:/jre/bin/java.exe"), "c:\\jre\\bin\\java.exe");
  EXPECT_EQ(versionCacheKey("c:\\program files\\java\\jre6\\bin\\java.exe"),
            "SOFTWARE\\northgale\\quoll\\jvms\\c:/program files/java/jre6/bin/java.exe");
  EXPECT_EQ(installationHomes("c:\\a;;d:\\b;"),
            (std::vector<std::string>{"c:\\a\\jre", "d:\\b\\jre"}));
}

TEST(RegistrySources, LastWriteTimeBytes) {
  const uint32_t time[2] = {0x04030201u, 0x08070605u};
  const std::array<uint8_t, 8> expected = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(encodeLastWriteTime(time), expected);
}

TEST(Pack200, Names) {
  EXPECT_EQ(unpackTarget("c:\\jre\\lib\\rt.jar.pack"), "c:\\jre\\lib\\rt.jar");
  EXPECT_EQ(unpackTarget("c:\\tmp\\user.jar.pack"), "c:\\tmp\\user.jar");
  EXPECT_EQ(unpackTarget(".pack"), "");
  EXPECT_EQ(unpackTarget(""), "");
  EXPECT_EQ(unpackerProgram("c:\\jre"), "c:\\jre\\bin\\unpack200.exe");
  EXPECT_EQ(unpackArguments("a b.pack", "a b"), "-r \"a b.pack\" \"a b\"");
  const std::vector<std::string> jars = {"lib\\rt.jar",     "lib\\charsets.jar",
                                         "lib\\plugin.jar", "lib\\deploy.jar",
                                         "lib\\ext\\localedata.jar", "lib\\jsse.jar"};
  EXPECT_EQ(packedRuntimeJars(), jars);
}
