#include "payload/media_file.h"

#include <cerrno>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"

namespace {

int fdOf(void* context) { return static_cast<int>(reinterpret_cast<intptr_t>(context)); }

bool fdRead(void* context, void* buffer, uint32_t count, uint32_t* got, uint32_t* error) {
  ssize_t n;
  do {
    n = ::read(fdOf(context), buffer, count);
  } while (n < 0 && errno == EINTR);
  *got = n > 0 ? static_cast<uint32_t>(n) : 0;
  *error = n < 0 ? static_cast<uint32_t>(errno) : 0;
  return n >= 0;
}

bool fdSeek(void* context, int64_t offset) {
  return offset >= 0 && ::lseek(fdOf(context), static_cast<off_t>(offset), SEEK_SET) >= 0;
}

int64_t fdTell(void* context) { return ::lseek(fdOf(context), 0, SEEK_CUR); }

}  // namespace

MediaFile::~MediaFile() {
  if (handle_ != nullptr) ::close(static_cast<int>(reinterpret_cast<intptr_t>(handle_)) - 1);
}

std::unique_ptr<MediaFile> openMediaFileAt(const char* path) {
  int fd = ::open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) {
    logError("Could not open %s", path);
    fatalError(messages::kOpenMediaFile);
  }
  std::unique_ptr<MediaFile> file(new MediaFile());
  file->handle_ = reinterpret_cast<void*>(static_cast<intptr_t>(fd) + 1);
  struct stat st;
  if (::fstat(fd, &st) != 0 || st.st_size >= kMaxMediaFileSize) fatalError(messages::kMediaSize);
  file->source_.context = reinterpret_cast<void*>(static_cast<intptr_t>(fd));
  file->source_.read = &fdRead;
  file->source_.seek = &fdSeek;
  file->source_.tell = &fdTell;
  file->source_.size = st.st_size;
  return file;
}
