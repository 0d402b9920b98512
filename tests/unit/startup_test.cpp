#include "app/startup.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "base/text.h"

namespace {

using Args = std::vector<std::u16string>;

std::string show(const Args& args) {
  std::string out;
  for (const std::u16string& a : args) out += "[" + utf16ToUtf8(a) + "]";
  return out;
}

TEST(StartupTest, RestartCommandLines) {
  struct Row {
    const char* commandLine;
    bool reboot;
    bool languageRestart;
  };
  const Row rows[] = {
      {"__vnq_reboot", true, false},
      {"__vnq_reboot ", false, false},
      {"__vnq_reboot -q", false, false},
      {" __vnq_reboot", false, false},
      {"__VNQ_REBOOT", false, false},
      {"__vnq_rebootx", false, false},
      {"", false, false},
      {nullptr, false, false},
      {"__vnq_lang_restart", false, true},
      {"__vnq_lang_restart de -q", false, true},
      {"__vnq_lang_restarted", false, true},
      {"__vnq_lang_restar", false, false},
      {" __vnq_lang_restart", false, false},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.commandLine ? row.commandLine : "(null)");
    EXPECT_EQ(isRebootCommandLine(row.commandLine), row.reboot);
    EXPECT_EQ(isLanguageRestartCommandLine(row.commandLine), row.languageRestart);
  }
}

TEST(StartupTest, CreateLogOptionIsTakenOnlyAsTheFirstArgument) {
  struct Row {
    Args in;
    bool taken;
    Args out;
  };
  const Row rows[] = {
      {{u"setup.exe", u"-create-vnq-log"}, true, {u"setup.exe"}},
      {{u"setup.exe", u"-create-qlz-log", u"x"}, true, {u"setup.exe", u"x"}},
      {{u"setup.exe", u"/create-vnq-log", u"-q"}, true, {u"setup.exe", u"-q"}},
      {{u"setup.exe", u"/create-qlz-log"}, true, {u"setup.exe"}},
      // Only one is removed; a second one stays an ordinary argument.
      {{u"setup.exe", u"-create-vnq-log", u"/create-qlz-log"}, true, {u"setup.exe", u"/create-qlz-log"}},
      {{u"setup.exe", u"x", u"-create-vnq-log"}, false, {u"setup.exe", u"x", u"-create-vnq-log"}},
      {{u"-create-vnq-log"}, false, {u"-create-vnq-log"}},
      {{u"-create-vnq-log", u"x"}, false, {u"-create-vnq-log", u"x"}},
      {{u"setup.exe", u"-CREATE-VNQ-LOG"}, false, {u"setup.exe", u"-CREATE-VNQ-LOG"}},
      {{u"setup.exe", u"-create-vnq-logs"}, false, {u"setup.exe", u"-create-vnq-logs"}},
      {{u"setup.exe", u"create-vnq-log"}, false, {u"setup.exe", u"create-vnq-log"}},
      {{}, false, {}},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(show(row.in));
    Args args = row.in;
    EXPECT_EQ(takeCreateLogOption(args), row.taken);
    EXPECT_EQ(show(args), show(row.out));
  }
}

TEST(StartupTest, LauncherOptionsAreExactCaseSensitiveAndSeenEverywhere) {
  struct Row {
    Args args;
    LauncherOptions expected;
  };
  auto make = [](bool quiet, bool console, bool needConsole, bool splash, bool noCheck, bool manual) {
    LauncherOptions o;
    o.quiet = quiet;
    o.console = console;
    o.needConsole = needConsole;
    o.splash = splash;
    o.noCheck = noCheck;
    o.manual = manual;
    return o;
  };
  const Row rows[] = {
      {{u"setup.exe"}, make(false, false, false, false, false, false)},
      {{u"setup.exe", u"-q"}, make(true, false, false, false, false, false)},
      {{u"setup.exe", u"-c"}, make(true, false, true, false, false, false)},
      {{u"setup.exe", u"-console"}, make(false, true, false, false, false, false)},
      {{u"setup.exe", u"-splash", u"-q"}, make(true, false, false, true, false, false)},
      {{u"setup.exe", u"-nocheck"}, make(false, false, false, false, true, false)},
      {{u"setup.exe", u"x", u"-manual"}, make(false, false, false, false, false, true)},
      {{u"setup.exe", u"/manual"}, make(false, false, false, false, false, true)},
      {{u"-manual"}, make(false, false, false, false, false, true)},  // element 0 counts too
      {{u"-q", u"arg"}, make(true, false, false, false, false, false)},
      {{u"setup.exe", u"-Q", u"-C", u"-Manual", u"/MANUAL", u"-NoCheck"},
       make(false, false, false, false, false, false)},
      {{u"setup.exe", u"-manualx", u"-qq", u"-console2", u"--q", u" -q", u"q"},
       make(false, false, false, false, false, false)},
      {{u"setup.exe", u"-c", u"-console", u"-splash", u"-nocheck", u"/manual"},
       make(true, true, true, true, true, true)},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(show(row.args));
    const LauncherOptions o = parseLauncherOptions(row.args);
    EXPECT_EQ(o.quiet, row.expected.quiet);
    EXPECT_EQ(o.console, row.expected.console);
    EXPECT_EQ(o.needConsole, row.expected.needConsole);
    EXPECT_EQ(o.splash, row.expected.splash);
    EXPECT_EQ(o.noCheck, row.expected.noCheck);
    EXPECT_EQ(o.manual, row.expected.manual);
  }
}

TEST(StartupTest, ProductWordFollowsTheFirstLetterOfTheProductKind) {
  const std::pair<const char*, const char*> rows[] = {
      {"e", "quoll"}, {"ex", "quoll"}, {"i", "vantrel"}, {"", "vantrel"}, {"E", "vantrel"}, {" e", "vantrel"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(productWordFor(row.first), row.second) << "kind \"" << row.first << "\"";
  }
}

}  // namespace
