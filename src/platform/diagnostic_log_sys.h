// What the diagnostic log asks of the system; one implementation per platform.
#pragma once

#include <string>

namespace logsys {
// A fresh temporary log name: prefix "vnq_nlog_" in the TMP directory when that exists,
// else the platform's fixed directory; "" when no name can be made.
std::string temporaryLogName();
// The fixed path tried when the temporary name cannot be opened.
const char* fallbackLogPath();
// The launcher's module file name as the plain system call gives it.
std::string moduleFileName();
// The value of an environment variable (at most 8191 bytes), or false when unset.
bool readEnvironment(const char* name, std::string& value);
// Removes the file; failures are ignored.
void deleteFile(const std::string& path);
}  // namespace logsys
