// One instance per installer path on Linux: an exclusive flock on a lock file named after the
// installer's real path, held until the process ends. The lock goes with the process, so a
// crashed run never blocks the next one.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <string>

#include "base/error_report.h"
#include "base/messages.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"
#include "session/single_instance.h"

std::string enforceSingleInstance() {
  const std::string lockPath = instanceLockPath(getTempPath(), getModulePath(), static_cast<unsigned>(getuid()));
  // Kept open (and locked) for the rest of the process; not inherited by programs it starts.
  const int fd = open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd < 0) {
    logError("Could not open lock file %s (error %d)", lockPath.c_str(), errno);
    return lockPath;
  }
  if (flock(fd, LOCK_EX | LOCK_NB) == 0) return lockPath;
  if (errno != EWOULDBLOCK) {
    logError("Could not lock %s (error %d)", lockPath.c_str(), errno);
    return lockPath;
  }
  fprintf(stderr, "%s\n", messages::kAlreadyRunning);
  fflush(stderr);
  logMessage("exiting");
  exitRunningHandlers(ExitCode::Success);
}
