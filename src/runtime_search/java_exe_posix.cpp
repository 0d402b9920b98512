// "java -version" on Linux: the program runs with standard error into a pipe (its standard
// output and input on /dev/null), and the first line it writes there holds the version.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include "platform/diagnostic_log.h"
#include "runtime_search/java_exe.h"
#include "runtime_search/version_cache.h"

extern char** environ;

namespace {
uint32_t versionTimeoutMs = kJavaVersionTimeoutMs;

int64_t nowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

// Reads what the child writes until it closes the pipe or the time-out passes; `line` is
// the first line. False on time-out.
bool readFirstLine(int fd, std::string& line) {
  const int64_t deadline = nowMs() + versionTimeoutMs;
  std::string text;
  for (;;) {
    const int64_t left = deadline - nowMs();
    if (left <= 0) return false;
    pollfd waiting = {fd, POLLIN, 0};
    const int ready = poll(&waiting, 1, static_cast<int>(left));
    if (ready < 0 && errno == EINTR) continue;
    if (ready <= 0) return false;
    char buffer[512];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    // Read to the end, so the program never writes into a closed pipe; only the start is kept.
    if (text.size() < 4096) text.append(buffer, static_cast<size_t>(n));
  }
  line = text.substr(0, text.find_first_of("\r\n"));
  return true;
}
}  // namespace

void setJavaVersionTimeoutForTesting(uint32_t milliseconds) {
  versionTimeoutMs = milliseconds != 0 ? milliseconds : kJavaVersionTimeoutMs;
}

bool runJavaVersion(const std::string& javaExe, const uint32_t lastWriteTime[2], std::string& version) {
  version.clear();
  int pipeEnds[2];
  if (pipe2(pipeEnds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeEnds[1], 2);
  char* const argv[] = {const_cast<char*>(javaExe.c_str()), const_cast<char*>("-version"), nullptr};
  pid_t child = 0;
  const int spawned = posix_spawn(&child, javaExe.c_str(), &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeEnds[1]);
  if (spawned != 0) {
    close(pipeEnds[0]);
    logError("Could not run %s -version (error %d)", javaExe.c_str(), spawned);
    return false;
  }
  std::string line;
  const bool answered = readFirstLine(pipeEnds[0], line);
  close(pipeEnds[0]);
  if (!answered) {
    logError("%s -version did not answer in time", javaExe.c_str());
    kill(child, SIGKILL);
  }
  int status = 0;
  while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
  }
  if (!answered) return false;
  logMessage("version line: %s", line.c_str());
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    logMessage("%s -version ended with status %d", javaExe.c_str(), status);
    // Remembered as a version no bound accepts, so it is not started again while unchanged.
    writeVersionCache(javaExe, lastWriteTime, kFailedRunVersion);
    return false;
  }
  return parseVersionLine(line, version);
}
