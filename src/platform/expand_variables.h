// Expansion of launcher variables and ${NAME} environment references in texts that come
// from the configuration or from options files: VM options, class path entries, file
// names, search entries, native library directories.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// The longest text an expansion may produce, in bytes: the callers' buffers hold 8192
// bytes with the terminator.
constexpr size_t kMaxExpandedText = 8191;

// The four values behind the launcher variables.
struct VariableValues {
  std::string launcherDirectory;  // the executable's directory, trailing backslash
  std::string tempDirectory;      // the run's temporary directory, no trailing backslash
  std::string jvmHome;            // the chosen java.exe's directory + "..", or empty
};

// ---- Pure rules ----

// Replaces every occurrence of `token`, logging "expanding %s to %s in %s." for each. The
// search resumes after the inserted value, so a value holding its own token is not expanded
// again. Returns false, with the text as it was before the replacement that would not fit,
// when the result would exceed kMaxExpandedText bytes.
bool replaceAll(std::string& text, const std::string& token, const std::string& value);
// The twenty launcher-variable tokens in the order they are replaced, then one ${NAME} pass
// per environment entry ("NAME=value", in block order; the name as stored, then
// upper-cased). An expansion that would not fit leaves `text` unchanged, logs it and
// returns false.
bool expandVariablesWith(std::string& text, const VariableValues& values,
                         const std::vector<std::string>& environment);

// ---- System-bound operations ----

// Expands `text` in place with this process's values and its live environment (read
// afresh, so PATH changes made earlier in the run are seen).
void expandVariables(std::string& text);

// Where the JVM home comes from: the runtime loader installs its getter once it has
// reached a Java executable; without one the home expands to the empty text.
using JvmHomeGetter = std::string (*)();
void setJvmHomeGetter(JvmHomeGetter getter);
// The run's temporary directory (no trailing backslash) behind the temporary-directory
// variable: handed over by the work sequence once the directory is known; empty before.
void setExpansionTempDirectory(const std::string& directory);
// The values of this process (the JVM home through the installed getter).
VariableValues currentVariableValues();
