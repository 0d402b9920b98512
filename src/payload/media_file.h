// The launcher's own executable, opened for reading. A run opens it once and reads the
// configuration, checks the payload and extracts the included files through that one handle,
// which lets nobody write to the file meanwhile: the bytes checked are the bytes extracted.
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

// Opens `path` for reading, shared for reading only. On failure logs the error line
// "Could not open %s" and ends the process with the "Error opening media file..." message.
// A file of 2 GiB or more is refused with "Internal Error: media file size".
std::unique_ptr<MediaFile> openMediaFileAt(const char* path);
// openMediaFileAt(getModulePath()).
std::unique_ptr<MediaFile> openMediaFile();

// Reads the configuration from `media` into configTable() and applies the error output mode
// of CFG_EXECUTABLE_TYPE (message boxes only for 1 and 5, standard error otherwise). Returns
// the absolute offset right after the records, where the included files start.
int64_t loadConfigurationFrom(MediaFile& media);
// The same from a handle of its own, closed again.
int64_t loadConfiguration();
