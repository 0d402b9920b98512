// Making a runtime with a JDK's jlink: the command line, the platform a JDK makes runtimes
// for (from its "release" file), and running it into a scratch directory.
#pragma once

#include <string>
#include <vector>

#include "runtime_dir.h"
#include "status.h"

struct JlinkRequest {
  std::string jdk;                   // the JDK's home directory
  std::vector<std::string> modules;  // --add-modules, at least one
  std::vector<std::string> options;  // further jlink options
};

// jlink's options when the description gives none: no debug information, header files or
// manual pages, which a bundled runtime does not need.
const std::vector<std::string>& defaultJlinkOptions();

// The JDK's jlink program: <jdk>/bin/jlink, with ".exe" where mediapack runs on Windows.
std::string jlinkProgram(const std::string& jdk);

// The command (program first) that writes the runtime image into `outputDir`, which must
// not exist yet: jlink --add-modules m1,m2 --output outputDir options...
std::vector<std::string> jlinkCommand(const JlinkRequest& request, const std::string& outputDir);

// The platform a JDK's modules are for: OS_NAME and OS_ARCH of its release file.
struct JdkPlatform {
  std::string osName;  // "Linux", "Windows", ...
  std::string osArch;  // "x86_64", "amd64", "x86", "i586", ...
};
// Reads KEY="value" lines; false when OS_NAME or OS_ARCH is missing.
bool parseJdkRelease(const std::string& text, JdkPlatform& platform);
// Why runtimes made from a JDK of `platform` do not suit a launcher of `target`, or "" when
// they do.
std::string platformMismatch(const JdkPlatform& platform, const RuntimeTarget& target);

// A directory under the system's temporary directory, removed with its contents when
// destroyed. path() is empty when it could not be made.
class ScratchDirectory {
 public:
  ScratchDirectory();
  ~ScratchDirectory();
  ScratchDirectory(const ScratchDirectory&) = delete;
  ScratchDirectory& operator=(const ScratchDirectory&) = delete;
  const std::string& path() const { return path_; }

 private:
  std::string path_;
};

// Checks the JDK's platform against the target, then runs jlink into `outputDir`. Exit code 2
// for a JDK without jlink or a release file, one for another platform (naming both), or a
// jlink that fails (its output is shown); `where` begins each message.
Status makeJlinkRuntime(const JlinkRequest& request, const RuntimeTarget& target, const std::string& outputDir,
                        const std::string& where);

// Runs `command` (program first, no shell) and waits for it; its standard output and error go
// to `logPath`. Returns the exit code, or -1 with `error` when it could not be started.
int runProgram(const std::vector<std::string>& command, const std::string& logPath, std::string& error);
