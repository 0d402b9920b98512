// The class path option: "-Djava.class.path=" followed by a ";"-separated list of the
// archives extracted into the temporary directory (and its "user" subdirectory), the
// configured entries of CFG_CLASSPATH and the overrides that option lines may set.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

// Set by option lines ("-classpath ", "-classpath/p ", "-classpath/a "); empty = not set.
// A later line of the same kind replaces the earlier value.
struct ClassPathOverrides {
  std::string replace;  // used instead of CFG_CLASSPATH
  std::string prepend;  // right after "-Djava.class.path=", followed by ";"
  std::string append;   // at the end, after a ";" unless there is one already
};

// The longest class path option the launcher passes, in bytes (a 40960-byte buffer with its
// terminator). A longer one ends the launch with kClassPathTooLong instead of being cut.
constexpr size_t kMaxClassPathOption = 40959;
inline constexpr const char kClassPathTooLong[] =
    "The class path is too long: it would exceed 40959 characters.";

// The whole option text: prepend override; archives of the run's temporary directory
// `launcherTempDir` (.jar, then .zip); those of launcherTempDir\user; the replace override or
// else the configured entries; the append override. A missing mandatory entry ends the
// process (CFG_MSG_FILE_NOT_FOUND, or CFG_MSG_ENV_VAR_UNDEFINED for an undefined variable;
// exit code 1).
std::string composeClassPath(const ClassPathOverrides& overrides, const std::string& launcherTempDir);

// The class path option as a Linux VM takes it: after "-Djava.class.path=", every ";" (the
// separator the composition joins with) becomes ":" and every backslash "/". Other options
// come back unchanged.
std::string posixClassPathOption(const std::string& option);

// Appends makeAbsolute(directory + "\" + name) + ";" for each directory entry matching
// *.extension, in the order the system lists them. False only when the directory does not
// exist.
bool appendArchives(std::string& classPath, const std::string& directory,
                    const std::string& extension);

// What reading a class path variable found.
enum class VariableRead { Value, Undefined, Empty };

// What class path composition asks of the system: the platform's own operations unless a
// test replaces them.
struct ClassPathSystem {
  bool (*fileExists)(const std::string& path);
  std::vector<std::string> (*listDirectory)(const std::string& directory,
                                            const std::string& extension);
  std::string (*makeAbsolute)(const std::string& path);
  std::string (*absolutizePathList)(const std::string& list);
  void (*expandVariables)(std::string& text);
  // The process's variable: Undefined when it does not exist, Empty when it reads as empty.
  VariableRead (*readVariable)(const std::string& name, std::string& value);
};
// The platform's variable reader (defined per platform).
VariableRead readClassPathVariable(const std::string& name, std::string& value);
// Test seam: replaces the system until called again with nullptr.
void setClassPathSystemForTesting(const ClassPathSystem* system);
