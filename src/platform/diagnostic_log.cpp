// The diagnostic log's rules: one-time initialisation, the keep decision, the header and
// one open-append-close sequence per call, all under one lock.
#include "platform/diagnostic_log.h"

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <chrono>
#include <mutex>
#include <thread>

#include "base/error_report.h"
#include "platform/diagnostic_log_sys.h"
#include "platform/paths.h"

namespace {
bool createLogRequested = false;
// Messages name the log from the first moment on: asking marks it kept even before it
// exists, so the source is installed before anything can report.
[[maybe_unused]] const bool errorLogSourceInstalled = [] {
  setErrorLogSource(&logLongPathForMessages);
  return true;
}();
std::mutex logLock;
FILE* logFile = nullptr;
std::string logPath;  // empty: none
bool logInitialised = false;
bool keepLog = false;
bool deleteAtExit = false;    // nothing asked to keep the log at initialisation
bool handlerRegistered = false;  // atexit once per process, whatever the tests reset

void exitHandler() { deleteLogAtExit(); }

// Runs with logLock held; leaves logFile open when a line can be written.
void initLog() {
  if (!logPath.empty() && logFile == nullptr) logFile = fopen(logPath.c_str(), "a");
  if (logInitialised) return;
  logInitialised = true;

  std::string quoll, vantrel;
  const bool hasQuoll = logsys::readEnvironment("QUOLL_LOG", quoll);
  const bool hasVantrel = logsys::readEnvironment("VANTREL_LOG", vantrel);
  const bool keep = decideKeepLog(createLogRequested, hasQuoll ? quoll.c_str() : nullptr,
                                  hasVantrel ? vantrel.c_str() : nullptr);
  if (!keep) {
    deleteAtExit = true;
    if (!handlerRegistered) {
      handlerRegistered = true;
      atexit(&exitHandler);
    }
  }

  const std::string name = logsys::temporaryLogName();
  if (!name.empty()) {
    logPath = name;
    logFile = fopen(logPath.c_str(), "w");
  }
  if (logFile == nullptr) {
    logPath = logsys::fallbackLogPath();
    logFile = fopen(logPath.c_str(), "w");
    if (logFile == nullptr) return;
  }
  const time_t now = time(nullptr);
  const char* when = ctime(&now);
  const std::string header = formatLogHeader(logsys::moduleFileName().c_str(), when ? when : "\n");
  fputs(header.c_str(), logFile);
  fflush(logFile);
}

std::string formatText(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  char small[512];
  const int n = vsnprintf(small, sizeof small, format, copy);
  va_end(copy);
  if (n < 0) return std::string();
  if (static_cast<size_t>(n) < sizeof small) return std::string(small, static_cast<size_t>(n));
  std::string text(static_cast<size_t>(n) + 1, '\0');
  vsnprintf(&text[0], text.size(), format, args);
  text.resize(static_cast<size_t>(n));
  return text;
}

void writeLine(const char* prefix, const char* format, va_list args) {
  const std::string text = formatText(format, args);
  std::lock_guard<std::mutex> guard(logLock);
  initLog();
  if (logFile == nullptr) return;
  fputs(prefix, logFile);
  fputs(text.c_str(), logFile);
  fputs("\n", logFile);
  fclose(logFile);
  logFile = nullptr;
}
}  // namespace

void logMessage(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine("", format, args);
  va_end(args);
}

void logError(const char* format, ...) {
  va_list args;
  va_start(args, format);
  writeLine("ERROR: ", format, args);
  va_end(args);
}

void setCreateLogRequested(bool requested) { createLogRequested = requested; }

bool logLongPathForMessages(std::string& path) {
  const char* logPath = getLogPathAndKeep();
  if (logPath == nullptr) return false;
  path = longPathOf(logPath);
  return true;
}

const char* getLogPathAndKeep() {
  std::lock_guard<std::mutex> guard(logLock);
  keepLog = true;
  return logPath.empty() ? nullptr : logPath.c_str();
}

void deleteLogAtExit() {
  // The process is ending: a thread stuck inside a log call must not keep it from ending,
  // so wait for the lock only briefly.
  std::unique_lock<std::mutex> guard(logLock, std::defer_lock);
  for (int i = 0; i < 100 && !guard.try_lock(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  if (deleteAtExit && !keepLog && !logPath.empty()) logsys::deleteFile(logPath);
}

std::string formatLogHeader(const char* modulePath, const char* ctimeText) {
  return std::string("Started executable ") + modulePath + " at " + ctimeText + "\n";
}

bool isKeepLogValue(const char* value) { return value != nullptr && strcmp(value, "yes") == 0; }

bool decideKeepLog(bool createLog, const char* quollLog, const char* vantrelLog) {
  return createLog || isKeepLogValue(quollLog) || isKeepLogValue(vantrelLog);
}

void resetLogForTesting() {
  std::lock_guard<std::mutex> guard(logLock);
  if (logFile != nullptr) fclose(logFile);
  logFile = nullptr;
  logPath.clear();
  logInitialised = false;
  keepLog = false;
  deleteAtExit = false;
  createLogRequested = false;
}

std::string logPathForTesting() {
  std::lock_guard<std::mutex> guard(logLock);
  return logPath;
}
