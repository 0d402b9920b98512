#include "payload/extract.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>
#include <set>

#include "base/error_report.h"
#include "payload/media_file.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"

namespace {
constexpr uint64_t kWideMask = 0xA7A7A7A7A7A7A7A7ull;

bool isSeparator(char c) { return c == '\\' || c == '/'; }

char asciiUpper(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

}  // namespace

std::string windowsDeviceName(const std::string& part) {
  // CON, NUL, COM1 ... open devices whatever directory they are put in, with or without an
  // extension, and with blanks before the extension ("CON .txt").
  std::string base = part.substr(0, part.find('.'));
  while (!base.empty() && base.back() == ' ') base.pop_back();
  std::transform(base.begin(), base.end(), base.begin(), asciiUpper);
  static const char* const kDevices[] = {"CON", "PRN", "AUX", "NUL", "CONIN$", "CONOUT$"};
  for (const char* device : kDevices) {
    if (base == device) return base;
  }
  const bool numbered = base.size() == 4 && (base.compare(0, 3, "COM") == 0 || base.compare(0, 3, "LPT") == 0) &&
                        base[3] >= '0' && base[3] <= '9';
  return numbered ? base : std::string();
}

std::string includedNamePartProblem(const std::string& part) {
  if (part.empty()) return "has an empty part";
  if (part == "." || part == "..") return "has a \"" + part + "\" part";
  for (char c : part) {
    const unsigned char u = static_cast<unsigned char>(c);
    if (u < 0x20 || std::strchr("<>:\"|?*", c) != nullptr) {
      return "contains a character Windows does not allow in file names";
    }
  }
  // The system drops trailing dots and blanks, so ". ." and "x." would not name what they
  // seem to.
  if (part.back() == '.' || part.back() == ' ') return "has a part ending in \".\" or a blank, which Windows drops";
  const std::string device = windowsDeviceName(part);
  if (!device.empty()) return "names the device " + device + " on Windows";
  return std::string();
}

namespace {
bool isSafePart(const std::string& part) { return includedNamePartProblem(part).empty(); }

// Undoes a partial extraction: files directly inside go, empty subdirectories go, and the
// directory itself goes when it is then empty.
void discardExtraction(const std::string& directory, const ExtractionTarget& target) {
  target.emptyDirectory(target.context, directory);
  target.removeDirectory(target.context, directory);
}
}  // namespace

void unscrambleBytes(uint8_t* data, size_t count) {
  size_t i = 0;
  // Two words at a time: the byte loop alone is several times slower at -Os.
  for (; i + 16 <= count; i += 16) {
    uint64_t a, b;
    std::memcpy(&a, data + i, 8);
    std::memcpy(&b, data + i + 8, 8);
    a ^= kWideMask;
    b ^= kWideMask;
    std::memcpy(data + i, &a, 8);
    std::memcpy(data + i + 8, &b, 8);
  }
  for (; i < count; ++i) data[i] ^= kScrambleMask;
}

std::vector<std::string> includedFileNames(const std::string& list, int count) {
  std::vector<std::string> names = splitList(list, ';');
  const size_t wanted = count > 0 ? static_cast<size_t>(count) : 0;
  if (names.size() > wanted) names.resize(wanted);
  return names;
}

bool includedNamesUseDirectory(const std::vector<std::string>& names, const std::string& directory) {
  auto same = [](const std::string& a, const std::string& b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
             return asciiUpper(x) == asciiUpper(y);
           });
  };
  for (const std::string& name : names) {
    const size_t separator = name.find('\\');
    if (separator != std::string::npos && same(name.substr(0, separator), directory)) return true;
  }
  return false;
}

bool isSafeIncludedFileName(const std::string& name) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (size_t i = 0; i <= name.size(); ++i) {
    if (i == name.size() || isSeparator(name[i])) {
      parts.push_back(name.substr(start, i - start));
      start = i + 1;
    }
  }
  // A leading separator yields an empty first part, so rooted names fail here too.
  if (parts.size() > 2) return false;
  return std::all_of(parts.begin(), parts.end(), isSafePart);
}

int copyBlock(ByteSource& source, ByteSink& target, int64_t count, bool unscramble) {
  if (count <= 0) return kExtractOk;
  std::array<uint8_t, kCopyBufferSize> buffer;
  int64_t copied = 0;
  while (copied < count) {
    const uint32_t want = static_cast<uint32_t>(std::min<int64_t>(count - copied, kCopyBufferSize));
    uint32_t got = 0;
    uint32_t error = 0;
    if (!source.read(source.context, buffer.data(), want, &got, &error) || got == 0 || got > want) {
      logError("ReadFile failed %d %d %lld", static_cast<int>(want), static_cast<int>(error),
               static_cast<long long>(copied));
      return kExtractReadFailed;
    }
    if (unscramble) unscrambleBytes(buffer.data(), got);
    uint32_t done = 0;
    while (done < got) {
      uint32_t written = 0;
      error = 0;
      const bool ok = target.write(target.context, buffer.data() + done, got - done, &written, &error);
      // A write that reports success without taking anything would repeat forever.
      if (!ok || written == 0 || written > got - done) {
        logError("WriteFile failed %d %d", static_cast<int>(got - done), static_cast<int>(error));
        return kExtractWriteFailed;
      }
      done += written;
    }
    copied += got;
  }
  return kExtractOk;
}

int extractFile(ByteSource& media, const std::string& path, const ExtractionTarget& target) {
  const int64_t size = readLong(media);
  logMessage("extracting %s (size: %lld)", path.c_str(), static_cast<long long>(size));
  if (size <= 0) return kExtractOk;
  ByteSink file;
  if (!target.createFile(target.context, path, &file)) {
    fatalInternalError(InternalError::IncludedFile);
  }
  const int result = copyBlock(media, file, size, true);
  target.closeFile(target.context, file);
  return result;
}

int extractEntries(ByteSource& media, int64_t startPosition, const std::string& directory,
                   const std::vector<std::string>& names, const ExtractionTarget& target,
                   int64_t* endPosition) {
  for (const std::string& name : names) {
    const std::string path = joinPath(directory, name);
    if (!isSafeIncludedFileName(name) || path.size() > kMaxNarrowPath) {
      logError("refusing included file name %s", name.c_str());
      logError("Failed to extract %s", path.c_str());
      discardExtraction(directory, target);
      return kExtractReadFailed;
    }
  }
  if (!media.seek(media.context, startPosition)) {
    logError("Failed to extract %s", directory.c_str());
    discardExtraction(directory, target);
    return kExtractReadFailed;
  }
  // The directory is new and only this user's: a subdirectory that is there before this run
  // made it was put there by someone else, and files extracted into it would be theirs to
  // replace.
  std::set<std::string> made;
  for (const std::string& name : names) {
    const std::string path = joinPath(directory, name);
    const size_t separator = name.find('\\');
    if (separator != std::string::npos) {
      const std::string subdirectory = joinPath(directory, name.substr(0, separator));
      std::string folded = name.substr(0, separator);
      for (char& c : folded) c = asciiUpper(c);
      logMessage("creating directory %s", subdirectory.c_str());
      const DirectoryResult created = target.createDirectory(target.context, subdirectory);
      if (created == DirectoryResult::Failed) {
        logError("failed to create directory %s", subdirectory.c_str());
      } else if (created == DirectoryResult::AlreadyExists && made.count(folded) == 0) {
        logError("%s was there before this run made it; not extracting into it", subdirectory.c_str());
        discardExtraction(directory, target);
        return kExtractReadFailed;
      }
      made.insert(folded);
    }
    const int result = extractFile(media, path, target);
    if (result != kExtractOk) {
      logError("Failed to extract %s", path.c_str());
      discardExtraction(directory, target);
      return result;
    }
  }
  *endPosition = media.tell(media.context);
  return kExtractOk;
}

int extractIncludedFiles(const std::string& directory, int64_t configEnd, int64_t* unextractedPosition) {
  std::unique_ptr<MediaFile> media = openMediaFile();
  return extractIncludedFiles(media->source(), directory, configEnd, unextractedPosition);
}

int extractIncludedFiles(ByteSource& media, const std::string& directory, int64_t configEnd,
                         int64_t* unextractedPosition) {
  logMessage("extracting files");
  const int count = getConfigInt(CFG_INCLUDED_FILE_COUNT);
  logMessage("Included files: %d", count);
  if (count == 0) return kExtractOk;
  const std::vector<std::string> names = includedFileNames(getConfigText(CFG_INCLUDED_FILE_NAMES), count);
  int64_t end = 0;
  const int result = extractEntries(media, configEnd, directory, names, fileSystemTarget(), &end);
  if (result != kExtractOk) return result;
  *unextractedPosition = end;
  logMessage("extracting files done");
  return kExtractOk;
}
