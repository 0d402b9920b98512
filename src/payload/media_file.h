// The launcher's own executable, opened for reading. Each user opens its own handle and
// closes it when done; none is kept open between users.
#pragma once

#include <memory>

#include "payload/payload_reader.h"

class MediaFile {
 public:
  MediaFile() = default;
  MediaFile(const MediaFile&) = delete;
  MediaFile& operator=(const MediaFile&) = delete;
  // Closes the handle.
  ~MediaFile();

  // The byte source over the open file; its size is the file size at opening.
  ByteSource& source() { return source_; }
  // The system handle: a HANDLE on Windows, the descriptor plus one elsewhere.
  void* handle() const { return handle_; }

 private:
  friend std::unique_ptr<MediaFile> openMediaFileAt(const char* path);
  void* handle_ = nullptr;
  ByteSource source_;
};

// Opens `path` for reading (shared read and write). On failure logs the error line
// "Could not open %s" and ends the process with the "Error opening media file..." message.
// A file of 2 GiB or more is refused with "Internal Error: media file size".
std::unique_ptr<MediaFile> openMediaFileAt(const char* path);
// openMediaFileAt(getModulePath()).
std::unique_ptr<MediaFile> openMediaFile();

// Reads the configuration from the launcher's own file into configTable(), closes the file
// and applies the error output mode of CFG_EXECUTABLE_TYPE (message boxes only for 1 and 5,
// standard error otherwise). Returns the absolute offset right after the records, where the
// included files start.
int64_t loadConfiguration();
