// The launcher's process exit codes and the numbers of its internal errors. Each number has
// one meaning and is never reused for another.
#pragma once

// How the launcher process ends.
enum class ExitCode : int {
  Success = 0,         // the Java program ran, or another instance took the start over
  Failure = 1,         // every reported failure
  NoRuntimeQuiet = 83, // quiet mode without a runtime and without automatic download
};

// The number an internal error shows in CFG_MSG_INTERNAL_ERROR ("{0}"); the process then
// ends with ExitCode::Failure.
enum class InternalError : int {
  TempDirectory = 7,      // the run's temporary directory cannot be created
  IncludedFile = 11,      // an included file cannot be created
  FirstRunClass = 14,     // the first-run class is missing
  FirstRunMethod = 15,    // its firstRun method is missing
  UnpackerStart = 20,     // the Pack200 unpacker cannot be started
  ChecksumRead = 34,      // the media file cannot be read while its checksum runs
};

// The exit code as the system takes it.
constexpr int exitCodeValue(ExitCode code) { return static_cast<int>(code); }
