// The included runtime on Linux: "jre.tar.gz" unpacked into "jre" with its permission bits
// (and its symbolic links that stay inside it), then its libjvm.so loaded. Pack200 belongs to
// the old Windows runtimes and is not restored here.
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

#include "app/included_jre.h"
#include "base/config_table.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "jvm/jvm_library.h"
#include "platform/diagnostic_log.h"
#include "runtime/untar.h"
#include "runtime_search/jre_search.h"

namespace {
constexpr char kArchive[] = "jre.tar.gz";
constexpr char kJreDirectory[] = "jre";

void setBarPosition(void* progress, int position) { static_cast<Progress*>(progress)->setPosition(position); }

int64_t nowMs() {
  timespec now;
  clock_gettime(CLOCK_MONOTONIC, &now);
  return int64_t(now.tv_sec) * 1000 + now.tv_nsec / 1000000;
}

std::string fullPathOf(const char* name) {
  char* resolved = realpath(name, nullptr);
  if (resolved == nullptr) return std::string();
  std::string out(resolved);
  free(resolved);
  return out;
}
}  // namespace

IncludedJrePreparation extractIncludedJre(Progress& progress) {
  IncludedJrePreparation prepared;
  const int64_t start = nowMs();
  logMessage("extracting JRE");
  if (mkdir(kJreDirectory, 0755) != 0) logError("Could not create JRE dir");

  TarProgress tarProgress;
  tarProgress.context = progress.shown() ? &progress : nullptr;
  tarProgress.totalSize = getConfigInt(CFG_INCLUDED_JRE_SIZE);
  tarProgress.setPosition = &setBarPosition;
  if (!untarGz(kArchive, kJreDirectory, tarProgress, runtimeTarget())) {
    logError("Could not untar JRE");
    fatalError(messages::kBundledJreCorrupted);
  }
  unlink(kArchive);
  prepared.untarDurationMs = static_cast<int>(std::min<int64_t>(nowMs() - start, INT_MAX));
  if (getConfigInt(CFG_INCLUDED_JRE_PACKED) != 0) logMessage("JRE is packed: Pack200 is not restored on Linux");
  loadIncludedJre();
  return prepared;
}

void loadIncludedJre() {
  const std::string home = fullPathOf(kJreDirectory);
  logMessage("JRE dir: %s", home.c_str());
  if (!home.empty() && loadLibjvm(home)) return;
  logError("Could not load bundled JRE. Trying to find another JRE.");
  std::string javaExe, label;
  if (searchJvm(javaExe, label) != NOT_FOUND) {
    // bin/java -> the runtime's home.
    const std::string bin = javaExe.substr(0, javaExe.rfind('/'));
    if (loadLibjvm(bin.substr(0, bin.rfind('/')))) return;
  }
  logError("Could not find another JRE.");
  fatalError(messages::kBundledJreUnusable);
}
