// The build description: a JSON object whose keys name configuration records (from the one
// record table) plus a few fixed keys ("files", "messages", ...). Loading it checks
// everything that can be checked before writing and produces a BuildPlan whose texts are
// already in their payload encodings.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "icon_file.h"
#include "jlink.h"
#include "status.h"
#include "version_info.h"

// A key of the description that is not a record key.
struct FixedKey {
  const char* key;
  const char* type;     // JSON type as shown in the reference
  const char* meaning;  // one line for the reference
};
const std::vector<FixedKey>& fixedDescriptionKeys();

constexpr int kDefaultCodePage = 1252;
// Longest value, in bytes (narrow) or UTF-16 units (wide), that the launcher reads whole.
constexpr size_t kMaxRecordLength = 8191;
constexpr size_t kMaxPreferredVmTypeLength = 199;

struct IncludedFile {
  std::string source;  // path to open (resolved against the description's directory)
  std::string name;    // name in the payload, UTF-8, "\" between directory and file
  int64_t size = 0;    // bytes, as found while loading; the writer insists on it
};

// The name of the runtime archive among the included files; the launcher unpacks the file of
// this name into "jre".
constexpr char kRuntimeArchiveName[] = "jre.tar.gz";

// The "runtime" key: a directory holding a Java runtime, or a runtime jlink makes.
struct RuntimeSource {
  bool present = false;
  std::string dir;       // resolved path of the runtime directory; empty for jlink
  bool jlink = false;
  JlinkRequest request;  // when jlink; the JDK path resolved
  size_t fileIndex = 0;  // index of the archive in BuildPlan::files, filled in when packed
};

struct BuildPlan {
  std::map<int32_t, std::string> narrow;  // id -> bytes in the code page
  std::map<int32_t, std::string> wide;    // id -> UTF-16LE bytes
  std::vector<IncludedFile> files;        // payload order
  std::string unextracted;                // path, "" for none
  int64_t unextractedSize = 0;
  bool checksum = true;
  int codePage = kDefaultCodePage;
  // Narrow texts are written as UTF-8 (the Linux launcher's), whatever "codePage" says.
  bool narrowUtf8 = false;
  std::string stub;                       // resolved path, "" when the description names none
  std::string icon;                       // resolved path of "icon", "" for none
  std::vector<IconImage> iconImages;      // its images, checked
  bool hasVersionInfo = false;
  VersionInfo versionInfo;                // "versionInfo", when hasVersionInfo
  RuntimeSource runtime;                  // "runtime"
};

// The name "launcherRuntime": true gives the runtime jar among the included files.
constexpr char kLauncherRuntimeName[] = "runtime.jar";

// The runtime jar that mediapack ships with, for "launcherRuntime": its path ("" when it was
// not found) and where it was looked for, for the message when it is missing.
struct ShippedRuntimeJar {
  std::string path;
  std::string places;
};

// Reads and checks the description at `path`. Bad content, or a file it names that cannot be
// read, gives exit code 2 and one message naming the description and the key or file.
// `narrowUtf8`: the description is for a Linux launcher, whose narrow texts are UTF-8.
Status loadDescription(const std::string& path, BuildPlan& plan, const ShippedRuntimeJar& runtimeJar = {},
                       bool narrowUtf8 = false);
// The same for description text already in memory; relative paths resolve against
// `baseDir`, and messages begin with `label`.
Status parseDescription(const std::string& text, const std::string& baseDir, const std::string& label,
                        BuildPlan& plan, const ShippedRuntimeJar& runtimeJar = {}, bool narrowUtf8 = false);

// Why `name` (with "\" or "/" separators) cannot name an included file, or "" when it can:
// empty, absolute, with a drive, more than one directory level, "." or ".." parts, ";",
// characters or device names Windows refuses.
std::string includedNameProblem(const std::string& name);
// `name` folded the way Windows compares file names (case-insensitive), for duplicate checks.
std::u32string foldFileName(const std::string& utf8Name);
