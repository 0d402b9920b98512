// The error family's rules: composing the text, choosing where it goes, ending the process.
#include "core/error_report.h"

#include "core/error_report_sys.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/text.h"

bool showMessageBoxes = true;
void* errorOwnerWindow = nullptr;

namespace {
ExitHook exitHook = nullptr;
constexpr size_t kRecordLimit = 8191;  // a record is read into an 8192-byte buffer

// The log's long path, when there is a log; asking marks the log to be kept.
bool logPathForMessage(std::string& path) {
  const char* logPath = getLogPathAndKeep();
  if (logPath == nullptr) return false;
  path = longPathOf(logPath);
  return true;
}
}  // namespace

std::string substitutePlaceholder(const std::string& text, const char* argument) {
  if (argument == nullptr) return text;
  const size_t at = text.find("{0}");
  if (at == std::string::npos) return text;
  return text.substr(0, at) + argument + text.substr(at + 3);
}

std::string composeErrorText(const std::string& message, const char* logPath) {
  if (logPath == nullptr) return message;
  return message + "\n\nLog: " + logPath;
}

std::u16string composeWideErrorText(const std::u16string& message, const char* logPath) {
  if (logPath == nullptr) return message;
  return message + u"\n\nLog: " + narrowToWide(logPath);
}

void reportError(const std::string& message) {
  std::string logPath;
  const bool hasLog = logPathForMessage(logPath);
  const std::string text = composeErrorText(message, hasLog ? logPath.c_str() : nullptr);
  if (showMessageBoxes) {
    errorsys::showErrorBox(text, getConfigText(CFG_MSG_ERROR_CAPTION));
  } else {
    errorsys::writeStandardError(text + "\n");
  }
}

void reportWideError(const std::u16string& message) {
  std::string logPath;
  const bool hasLog = logPathForMessage(logPath);
  const std::u16string text = composeWideErrorText(message, hasLog ? logPath.c_str() : nullptr);
  if (showMessageBoxes) {
    errorsys::showWideErrorBox(text, getConfigWideText(CFG_WMSG_CAPTION));
  } else {
    errorsys::writeStandardError(wideToConsole(text + u"\n"));
  }
}

void reportConfigError(ConfigId id, const char* argument) {
  std::string text = getConfigText(id);
  if (text.size() > kRecordLimit) text.resize(kRecordLimit);
  reportError(substitutePlaceholder(text, argument));
}

void fatalError(const std::string& message) {
  reportError(message);
  exitWith(1);
}

void fatalConfigError(ConfigId id, const char* argument) {
  reportConfigError(id, argument);
  exitWith(1);
}

void fatalWideConfigError(ConfigId id) {
  reportWideError(getConfigWideText(id));
  exitWith(1);
}

void exitWith(int code) {
  if (exitHook != nullptr) exitHook(code);
  errorsys::endProcess(code);
}

void exitRunningHandlers(int code) {
  if (exitHook != nullptr) exitHook(code);
  errorsys::endProcessRunningHandlers(code);
}

void setExitHookForTesting(ExitHook hook) { exitHook = hook; }
