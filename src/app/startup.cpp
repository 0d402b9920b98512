#include "app/startup.h"

#include <cstring>

#include "base/error_report.h"

namespace {
constexpr char kRebootCommandLine[] = "__vnq_reboot";
constexpr char kLanguageRestartPrefix[] = "__vnq_lang_restart";
// Examined in this order, and only as element 1.
constexpr const char16_t* kCreateLogOptions[] = {u"-create-vnq-log", u"-create-qlz-log",
                                                  u"/create-vnq-log", u"/create-qlz-log"};
}  // namespace

bool isRebootCommandLine(const char* commandLine) {
  return commandLine != nullptr && std::strcmp(commandLine, kRebootCommandLine) == 0;
}

bool isLanguageRestartCommandLine(const char* commandLine) {
  return commandLine != nullptr &&
         std::strncmp(commandLine, kLanguageRestartPrefix, sizeof kLanguageRestartPrefix - 1) == 0;
}

bool takeCreateLogOption(std::vector<std::u16string>& args) {
  if (args.size() < 2) return false;
  for (const char16_t* option : kCreateLogOptions) {
    if (args[1] == option) {
      args.erase(args.begin() + 1);
      return true;
    }
  }
  return false;
}

std::string productWordFor(const std::string& productKind) {
  return !productKind.empty() && productKind[0] == 'e' ? "quoll" : "vantrel";
}

LauncherOptions parseLauncherOptions(const std::vector<std::u16string>& args) {
  LauncherOptions options;
  for (const std::u16string& arg : args) {
    if (arg == u"-q") {
      options.quiet = true;
    } else if (arg == u"-console") {
      options.console = true;
    } else if (arg == u"-splash") {
      options.splash = true;
    } else if (arg == u"-nocheck") {
      options.noCheck = true;
    } else if (arg == u"-c") {
      options.quiet = true;
      options.needConsole = true;
    } else if (arg == u"-manual" || arg == u"/manual") {
      options.manual = true;
    }
  }
  return options;
}

void applyLauncherOptions(const LauncherOptions& options, RunContext& run) {
  run.options = options;
  run.verifyIntegrity = true;
  if (options.quiet) {
    // "-q" and "-c": messages on standard error instead of boxes.
    run.quietMode = true;
    setErrorsInMessageBoxes(false);
  }
  if (options.splash) run.splashRequested = true;
  if (options.noCheck) run.verifyIntegrity = false;
  if (options.manual) run.manualJreSelection = true;
}
