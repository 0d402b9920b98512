// What the error family asks of the system; one implementation per platform.
#pragma once

#include <string>

namespace errorsys {
// A modal error box owned by errorOwnerWindow(); returns when the user has closed it.
void showErrorBox(const std::string& text, const std::string& caption);
void showWideErrorBox(const std::u16string& text, const std::u16string& caption);
// Writes the bytes to standard error and flushes it.
void writeStandardError(const std::string& bytes);
// Ends the process without running exit handlers / through the C library's exit.
[[noreturn]] void endProcess(int code);
[[noreturn]] void endProcessRunningHandlers(int code);
}  // namespace errorsys
