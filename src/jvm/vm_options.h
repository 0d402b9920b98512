// The VM options the JVM is created with, in order: the launcher's properties, the
// configured options (CFG_VM_OPTIONS), "-J" arguments, the lines of the options file next to
// the executable, and last the class path option. Option lines may include further options
// files ("-include-options ") or set the class path overrides; nothing here is fatal except
// an unmatched quote in CFG_VM_OPTIONS.
#pragma once

#include <jni.h>

#include <cstddef>
#include <cstdio>
#include <string>
#include <utility>
#include <vector>

#include "jvm/class_path.h"
#include "platform/paths.h"

// An options-file line is read with this many characters at most; a longer physical line
// arrives as several lines.
constexpr size_t kMaxOptionLine = 8191;
// Options files open at once (the including ones and the one being read). An include
// beyond this depth, or of a file already being read, is refused with a log line: a cycle
// of includes must not recurse without end.
constexpr size_t kMaxOptionsFileDepth = 8;

// The state option lines work on.
struct VmOptionCollector {
  std::vector<std::string> options;
  ClassPathOverrides overrides;
  std::vector<std::string> filesBeingRead;  // outermost first
  // The same files by identity, so that another spelling of one (a relative form, a short
  // name, a link) is still seen as the file being read.
  std::vector<FileIdentity> identitiesBeingRead;
};

// ---- Pure rules ----

// Trims an options-file line: trailing CR/LF, leading and trailing blanks (not tabs).
// False when the line is then to be skipped (empty, or a "#" comment).
bool cleanOptionLine(std::string& line);
// The default options file's two candidates for the long form of the executable's path:
// the ".exe" (last 4 characters) replaced by ".vmoptions", then the path + ".vmoptions".
std::pair<std::string, std::string> defaultVmOptionsCandidates(const std::string& longModulePath);

// ---- Option lines and files ----

// Classifies one line: "-include-options " reads the named file (variables expanded) in
// place; "-classpath ", "-classpath/p ", "-classpath/a " set an override; anything else is
// appended to the options unchanged. Prefixes are case-sensitive and include the blank.
void processOption(const std::string& line, VmOptionCollector& collector);
// Reads `file` (may be null: nothing happens) to its end line by line, expanding variables
// in each used line, and closes it.
void readOptionsFile(FILE* file, VmOptionCollector& collector);

// The complete option list for an executable at `modulePath`: launcherProperties,
// configured options, -J arguments (when CFG_ACCEPT_J_ARGUMENTS), the default options file,
// the class path option (with the archives of the run's temporary directory).
std::vector<std::string> collectVmOptionList(const std::vector<std::string>& launcherProperties,
                                             const std::vector<std::u16string>& arguments,
                                             const std::string& modulePath,
                                             const std::string& launcherTempDir);

// The creation arguments handed to JNI_CreateJavaVM. They point into optionTexts, so the
// object must stay where it is while the VM may read them.
struct VmCreationArguments {
  VmCreationArguments() = default;
  VmCreationArguments(const VmCreationArguments&) = delete;
  VmCreationArguments& operator=(const VmCreationArguments&) = delete;
  std::vector<std::string> optionTexts;
  std::vector<JavaVMOption> options;
  JavaVMInitArgs initArgs{};
};
// Sets `out` to JNI_VERSION_1_2, ignoreUnrecognized and the given options, logging
// "vmoption count %d" and "vmoption %d: %s" for each.
void fillVmCreationArguments(std::vector<std::string> options, VmCreationArguments& out);
// collectVmOptionList for this executable, then fillVmCreationArguments.
void collectVmOptions(const std::vector<std::string>& launcherProperties,
                      const std::vector<std::u16string>& arguments, const std::string& launcherTempDir,
                      VmCreationArguments& out);
