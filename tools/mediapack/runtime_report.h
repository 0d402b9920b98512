// The summary `mediapack inspect` gives of a runtime archive inside a media file: read from
// the file's bytes (unscrambled, inflated member after member, tar headers parsed as the
// launcher parses them), without unpacking anything.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "binary_file.h"
#include "runtime_dir.h"

struct RuntimeArchiveSummary {
  bool readable = false;     // the gzip stream and the tar stream ended properly
  std::string problem;       // why not, when not readable
  int64_t members = 0;       // gzip members
  // The members carry their sizes and the launcher inflates them side by side (see
  // runtime/gzip_members.h); false: the launcher reads the archive as one stream.
  bool sizedMembers = false;
  int64_t tarSize = 0;       // uncompressed bytes
  size_t directories = 0, files = 0, links = 0, others = 0;
  // The files that decide which runtime library the launcher loads (jvm.dll, libjvm.so and
  // java.exe by any path), with path, kind and size.
  std::vector<RuntimeEntry> entries;
  // First bytes of every file named jvm.dll or libjvm.so, by path.
  std::vector<std::pair<std::string, std::string>> libraryHeads;
};

// Reads the archive stored at `offset` (`size` bytes, scrambled when `scrambled`) of `file`.
RuntimeArchiveSummary summarizeRuntimeArchive(InputFile& file, int64_t offset, int64_t size, bool scrambled);

// The library the launcher of `target` would load from the archive and its machine, as one
// line; `problem` is set when there is none or it does not suit the launcher.
std::string runtimeLibraryLine(const RuntimeArchiveSummary& summary, const RuntimeTarget& target,
                               const std::string& preferredVmType, std::string& problem);
