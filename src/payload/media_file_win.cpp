#include "payload/media_file.h"

#include <windows.h>

#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"

namespace {

bool handleRead(void* context, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
  DWORD n = 0;
  BOOL ok = ReadFile(static_cast<HANDLE>(context), buffer, count, &n, nullptr);
  *got = n;
  *error = ok ? 0 : GetLastError();
  return ok != FALSE;
}

bool handleSeek(void* context, int64_t offset) {
  if (offset < 0) return false;
  LARGE_INTEGER to;
  to.QuadPart = offset;
  return SetFilePointerEx(static_cast<HANDLE>(context), to, nullptr, FILE_BEGIN) != FALSE;
}

int64_t handleTell(void* context) {
  LARGE_INTEGER zero, at;
  zero.QuadPart = 0;
  at.QuadPart = 0;
  SetFilePointerEx(static_cast<HANDLE>(context), zero, &at, FILE_CURRENT);
  return at.QuadPart;
}

}  // namespace

MediaFile::~MediaFile() {
  if (handle_ != nullptr) CloseHandle(static_cast<HANDLE>(handle_));
}

std::unique_ptr<MediaFile> openMediaFileAt(const char* path) {
  // No FILE_SHARE_WRITE or FILE_SHARE_DELETE: while the run holds the file, nobody changes,
  // renames or replaces it between the check and the extraction.
  HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr,
                         OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h == nullptr || h == INVALID_HANDLE_VALUE) {
    logError("Could not open %s", path);
    fatalError(messages::kOpenMediaFile);
  }
  std::unique_ptr<MediaFile> file(new MediaFile());
  file->handle_ = h;
  LARGE_INTEGER size;
  // Positions in the payload are 32-bit for everyone who reads it.
  if (!GetFileSizeEx(h, &size) || size.QuadPart >= kMaxMediaFileSize) {
    fatalError(messages::kMediaSize);
  }
  file->source_.context = h;
  file->source_.read = &handleRead;
  file->source_.seek = &handleSeek;
  file->source_.tell = &handleTell;
  file->source_.size = size.QuadPart;
  return file;
}
