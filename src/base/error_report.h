// The error family: every failure the user must see goes through here. The log path is put
// under the message, the text goes to a message box or to standard error, and the fatal
// forms end the process with exit code 1.
#pragma once

#include <functional>
#include <string>

#include "base/config_table.h"
#include "base/exit_codes.h"

// Where errors go: message boxes (true, the default) or standard error. Switched off by the
// start-up sequence for CFG_EXECUTABLE_TYPE other than 1 or 5 and for the options "-q" and "-c".
void setErrorsInMessageBoxes(bool boxes);
bool errorsInMessageBoxes();
// Owner of error message boxes (an HWND, or null): the progress dialog while it is up.
void setErrorOwnerWindow(void* window);
void* errorOwnerWindow();

// Where a message finds the log it names: the log's long path, marking the log to be kept;
// false when there is no log. The diagnostic log installs its source; without one no
// message names a log.
using ErrorLogSource = bool (*)(std::string& path);
void setErrorLogSource(ErrorLogSource source);

// Shows `message` with "\n\nLog: " and the log's long path under it when there is a log
// (which is then kept): a box captioned CFG_MSG_ERROR_CAPTION, or standard error.
void reportError(const std::string& message);
// The same for UTF-16 text: caption CFG_WMSG_CAPTION; on standard error the text is
// converted for the console ("?" for what it cannot show).
void reportWideError(const std::u16string& message);
// Reads the narrow record, substitutes `argument` for the first "{0}" (when given), reports.
void reportConfigError(ConfigId id, const char* argument = nullptr);

// The fatal forms end the process with ExitCode::Failure.
[[noreturn]] void fatalError(const std::string& message);
[[noreturn]] void fatalConfigError(ConfigId id, const char* argument = nullptr);
[[noreturn]] void fatalWideConfigError(ConfigId id);
// CFG_MSG_INTERNAL_ERROR with the error's number for "{0}", then the end of the process.
[[noreturn]] void fatalInternalError(InternalError error);
// Ends the process at once with `code` (ExitProcess: no exit handlers run).
[[noreturn]] void exitWith(ExitCode code);
// Ends the process through the C library's exit, so exit handlers (the log's) run.
[[noreturn]] void exitRunningHandlers(ExitCode code);
// What both of them do first, before the process ends: undoing what the run owns (its
// temporary directory). One at a time; an empty function removes it. Not run by a test's
// exit hook.
void setExitCleanup(std::function<void()> cleanup);

// Pure pieces, tested on their own.
// The first "{0}" replaced by `argument`; later ones stay. Without an argument: unchanged.
std::string substitutePlaceholder(const std::string& text, const char* argument);
// "%s\n\nLog: %s" when there is a log path, else the message itself.
std::string composeErrorText(const std::string& message, const char* logPath);
std::u16string composeWideErrorText(const std::u16string& message, const char* logPath);

// Test seam: called instead of ending the process. A hook must not return (tests throw).
using ExitHook = void (*)(int code);
void setExitHookForTesting(ExitHook hook);

