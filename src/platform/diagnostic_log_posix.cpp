// Host side of the diagnostic log.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

#include "platform/diagnostic_log.h"
#include "platform/diagnostic_log_sys.h"

namespace logsys {
std::string temporaryLogName() {
  const char* tmp = getenv("TMP");
  struct stat info;
  std::string dir = tmp != nullptr && stat(tmp, &info) == 0 && S_ISDIR(info.st_mode) ? tmp : "/tmp";
  if (dir.empty() || dir.back() != '/') dir += '/';
  std::string name = dir + "vnq_nlog_XXXXXX";
  const int fd = mkstemp(&name[0]);
  if (fd < 0) return std::string();
  close(fd);  // the log reopens it for writing
  return name;
}

const char* fallbackLogPath() { return "/tmp/vnq_nlog"; }

std::string moduleFileName() {
  char buffer[8192];
  const ssize_t n = readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  return n > 0 ? std::string(buffer, static_cast<size_t>(n)) : std::string();
}

bool readEnvironment(const char* name, std::string& value) {
  const char* v = getenv(name);
  if (v == nullptr) return false;
  value.assign(v);
  if (value.size() > 8191) value.resize(8191);
  return true;
}

void deleteFile(const std::string& path) { unlink(path.c_str()); }
}  // namespace logsys

void showCreateLogPrompt(const std::string&) {}
