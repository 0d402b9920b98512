// The included runtime on Windows: "jre.tar.gz" unpacked into "jre" while the dialog's bar
// moves from 100 towards 200, its packed jars restored, and its jvm.dll loaded.
#include <windows.h>
#include <direct.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdlib>
#include <memory>
#include <vector>

#include "app/included_jre.h"
#include "base/config_table.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "jvm/jvm_library.h"
#include "payload/extract.h"
#include "platform/diagnostic_log.h"
#include "runtime/pack200.h"
#include "runtime/untar.h"
#include "ui/dialogs.h"

namespace {
constexpr char kArchive[] = "jre.tar.gz";
constexpr char kJreDirectory[] = "jre";
constexpr size_t kPathBuffer = 8192;

void setBarPosition(void* progress, int position) { static_cast<Progress*>(progress)->setPosition(position); }

// The full path of a name in the current directory; empty when it does not fit.
std::string fullPathOf(const char* name) {
  std::vector<char> buffer(kPathBuffer);
  return _fullpath(buffer.data(), name, kPathBuffer) != nullptr ? std::string(buffer.data())
                                                                : std::string();
}
}  // namespace

IncludedJrePreparation extractIncludedJre(Progress& progress) {
  IncludedJrePreparation prepared;
  const DWORD start = GetTickCount();
  logMessage("extracting JRE");
  if (_mkdir(kJreDirectory) != 0) {
    // In a directory only this run writes to, a "jre" the included files did not make was
    // put there by someone else: unpacking into it would mix their files into the runtime.
    const std::vector<std::string> names = includedFileNames(getConfigText(CFG_INCLUDED_FILE_NAMES),
                                                             getConfigInt(CFG_INCLUDED_FILE_COUNT));
    if (errno == EEXIST && !includedNamesUseDirectory(names, kJreDirectory)) {
      logError("%s was there before this run made it; not unpacking into it", kJreDirectory);
      fatalError(messages::kBundledJreCorrupted);
    }
    logError("Could not create JRE dir");
  }

  TarProgress tarProgress;
  tarProgress.context = progress.shown() ? &progress : nullptr;
  tarProgress.totalSize = getConfigInt(CFG_INCLUDED_JRE_SIZE);
  tarProgress.setPosition = &setBarPosition;
  if (!untarGz(kArchive, kJreDirectory, tarProgress, fileSystemTarget())) {
    logError("Could not untar JRE");
    fatalError(messages::kBundledJreCorrupted);
  }
  DeleteFileA(kArchive);
  // Unsigned difference: right across the tick count's wrap after 49 days.
  prepared.untarDurationMs = static_cast<int>(std::min<DWORD>(GetTickCount() - start, INT_MAX));

  if (getConfigInt(CFG_INCLUDED_JRE_PACKED) != 0) {
    logMessage("JRE is packed");
    // Shared with the ticker's thread, which may look at it after this function returns.
    const auto unpackDone = std::make_shared<std::atomic<bool>>(false);
    startUnpackProgressTicker(progress, prepared.untarDurationMs, unpackDone);
    // Full paths: the unpacker is started by path, and a relative home would be taken
    // against the launcher's own directory by the path rules.
    std::string home = fullPathOf(kJreDirectory);
    if (home.empty()) home = kJreDirectory;
    prepareJre(home);
    prepareJre(home + "\\jre");
    *unpackDone = true;
    prepared.unpackDone = true;
  }
  loadIncludedJre();
  return prepared;
}

void loadIncludedJre() {
  const std::string home = fullPathOf(kJreDirectory);
  logMessage("JRE dir: %s", home.c_str());
  if (loadJvmLibrary(false, home.c_str(), false)) return;
  logError("Could not load bundled JRE. Trying to find another JRE.");
  if (loadJvmLibrary(false, nullptr, false)) return;
  logError("Could not find another JRE.");
  fatalError(messages::kBundledJreUnusable);
}
