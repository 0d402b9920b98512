// What every fuzz target shares: fatal exits turned into a catchable rejection, a private
// scratch directory, a diagnostic log that does not grow across inputs, and an in-memory
// extraction target that checks where writes land.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "payload/extract.h"

// Thrown instead of ending the process while a target runs; the target catches it, since an
// input the launcher refuses with a fatal message is a correct outcome.
struct FuzzExit {
  int code;
};

// Once per process: installs the exit hook, creates the scratch directory (below $TMP when
// set) and arranges for the log and the scratch files to go at exit.
void fuzzSetUp();
// Once after each input: empties the diagnostic log so a long run does not fill the disk.
void fuzzInputDone();
// The scratch directory, without trailing slash.
const std::string& fuzzScratchDirectory();
// Writes `bytes` to scratch/`name`, returns the full path.
std::string writeScratchFile(const std::string& name, const std::string& bytes);

// Aborts (a finding) with `what` on standard error when `condition` is false.
void fuzzCheck(bool condition, const char* what);

// The input cut into parts at each occurrence of `separator`, at most `maxParts` parts (the
// last one keeps the rest).
std::vector<std::string> splitInput(const uint8_t* data, size_t size, const std::string& separator,
                                    size_t maxParts);

// An extraction target over memory that behaves like a file system in what matters here:
// a file can be created only in the root or in a directory created before, and every path
// handed in must stay below the root (anything else aborts: a write outside the directory
// it belongs in). Backslash and slash both separate, as on Windows.
class MemoryFiles {
 public:
  explicit MemoryFiles(std::string root);
  const ExtractionTarget& target() const { return target_; }
  const std::map<std::string, uint64_t>& files() const { return files_; }

 private:
  static DirectoryResult createDirectory(void* context, const std::string& path);
  static bool createFile(void* context, const std::string& path, ByteSink* file);
  static void closeFile(void* context, ByteSink& file);
  static bool copyFile(void* context, const std::string& from, const std::string& to);
  static void emptyDirectory(void* context, const std::string& path);
  static void removeDirectory(void* context, const std::string& path);
  static bool write(void* context, const void* data, uint32_t count, uint32_t* written,
                    uint32_t* error);
  // The path below the root, checked; aborts when it leaves the root.
  std::string relative(const std::string& path) const;

  std::string root_;
  ExtractionTarget target_;
  std::set<std::string> directories_;
  std::map<std::string, uint64_t> files_;
  std::string open_;
};
