// The diagnostic log: a plain text file, one line per call, created on the first call in a
// temporary location and deleted at normal exit unless something asked to keep it
// (QUOLL_LOG or VANTREL_LOG exactly "yes", the create-log option, or any error message
// that names the log). Every call opens, appends and closes, so the file on disk is
// complete even when the process ends abruptly. Calls are serialised by one lock.
#pragma once

#include <string>

#if defined(__GNUC__)
#define LAUNCHER_PRINTF(a, b) __attribute__((format(printf, a, b)))
#else
#define LAUNCHER_PRINTF(a, b)
#endif

// One line: the formatted text followed by "\n".
void logMessage(const char* format, ...) LAUNCHER_PRINTF(1, 2);
// One line: "ERROR: ", the formatted text, "\n".
void logError(const char* format, ...) LAUNCHER_PRINTF(1, 2);
// Marks the log to be kept and returns its path; nullptr when no log was ever initialised.
// Does not initialise the log.
const char* getLogPathAndKeep();
// The error family's source of the log a message names: getLogPathAndKeep's path in its
// long form. Installed with the error family when this library starts.
bool logLongPathForMessages(std::string& path);

// The create-log option: the entry asks for it before the first log call, and the log is
// then kept.
void setCreateLogRequested(bool requested);

// The create-log question: names the log file (getLogPathAndKeep, so it is kept) in a
// Yes/No box captioned `productWord`; Yes opens Explorer with the file selected. Windows
// only; does nothing elsewhere.
void showCreateLogPrompt(const std::string& productWord);

// The exit handler: deletes the log file unless it is to be kept. Registered with atexit
// at the first log call when nothing asked to keep the log at that moment.
void deleteLogAtExit();

// Pure pieces.
// "Started executable %s at %s\n" with `ctimeText` as ctime formats it (ending in "\n").
std::string formatLogHeader(const char* modulePath, const char* ctimeText);
// true only when `value` is exactly "yes".
bool isKeepLogValue(const char* value);
// The keep decision of the first log call: the create-log option, or either variable
// (nullptr when unset) exactly "yes".
bool decideKeepLog(bool createLog, const char* quollLog, const char* vantrelLog);

// Test seams. Forgets all log state (path, initialisation, keep flag) without deleting files.
void resetLogForTesting();
// The current log path without marking it kept ("" before initialisation).
std::string logPathForTesting();
