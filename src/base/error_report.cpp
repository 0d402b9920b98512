// The error family's rules: composing the text, choosing where it goes, ending the process.
#include "base/error_report.h"

#include <atomic>
#include <string>

#include "base/error_report_sys.h"
#include "base/text.h"

namespace {
ExitHook exitHook = nullptr;
std::function<void()> exitCleanup;

// Taken out before it runs: a fatal error inside the clean-up ends the process without
// coming back to it.
void runExitCleanup() {
  std::function<void()> cleanup;
  cleanup.swap(exitCleanup);
  if (cleanup) cleanup();
}
constexpr size_t kRecordLimit = 8191;  // a record is read into an 8192-byte buffer

// Written by the start-up sequence and the progress dialog's thread, read by whichever
// thread reports: atomics, so no report sees half an update.
std::atomic<bool> messageBoxes{true};
std::atomic<void*> ownerWindow{nullptr};
std::atomic<ErrorLogSource> logSource{nullptr};

bool logPathForMessage(std::string& path) {
  const ErrorLogSource source = logSource.load();
  return source != nullptr && source(path);
}
}  // namespace

void setErrorsInMessageBoxes(bool boxes) { messageBoxes = boxes; }
bool errorsInMessageBoxes() { return messageBoxes.load(); }
void setErrorOwnerWindow(void* window) { ownerWindow = window; }
void* errorOwnerWindow() { return ownerWindow.load(); }
void setErrorLogSource(ErrorLogSource source) { logSource = source; }

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
  if (errorsInMessageBoxes()) {
    errorsys::showErrorBox(text, getConfigText(CFG_MSG_ERROR_CAPTION));
  } else {
    errorsys::writeStandardError(text + "\n");
  }
}

void reportWideError(const std::u16string& message) {
  std::string logPath;
  const bool hasLog = logPathForMessage(logPath);
  const std::u16string text = composeWideErrorText(message, hasLog ? logPath.c_str() : nullptr);
  if (errorsInMessageBoxes()) {
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
  exitWith(ExitCode::Failure);
}

void fatalConfigError(ConfigId id, const char* argument) {
  reportConfigError(id, argument);
  exitWith(ExitCode::Failure);
}

void fatalWideConfigError(ConfigId id) {
  reportWideError(getConfigWideText(id));
  exitWith(ExitCode::Failure);
}

void fatalInternalError(InternalError error) {
  const std::string number = std::to_string(static_cast<int>(error));
  fatalConfigError(CFG_MSG_INTERNAL_ERROR, number.c_str());
}

void exitWith(ExitCode code) {
  if (exitHook != nullptr) exitHook(exitCodeValue(code));
  runExitCleanup();
  errorsys::endProcess(exitCodeValue(code));
}

void exitRunningHandlers(ExitCode code) {
  if (exitHook != nullptr) exitHook(exitCodeValue(code));
  runExitCleanup();
  errorsys::endProcessRunningHandlers(exitCodeValue(code));
}

void setExitHookForTesting(ExitHook hook) { exitHook = hook; }

void setExitCleanup(std::function<void()> cleanup) { exitCleanup = std::move(cleanup); }
