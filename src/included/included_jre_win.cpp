// The included runtime on Windows: "jre.tar.gz" unpacked into "jre" while the dialog's bar
// moves from 100 towards 200, its packed jars restored, and its jvm.dll loaded.
#include <windows.h>
#include <commctrl.h>
#include <direct.h>

#include <algorithm>
#include <climits>
#include <cstdlib>
#include <vector>

#include "core/error_report.h"
#include "core/messages.h"
#include "included/included_jre.h"
#include "included/pack200.h"
#include "included/untar.h"
#include "jvm/jvm_library.h"
#include "media/config_table.h"
#include "media/extract.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"
#include "ui/dialogs.h"

namespace {
constexpr char kArchive[] = "jre.tar.gz";
constexpr char kJreDirectory[] = "jre";
constexpr size_t kPathBuffer = 8192;

void setBarPosition(void* dialog, int position) {
  SendDlgItemMessageA(static_cast<HWND>(dialog), kProgressBarId, PBM_SETPOS,
                      static_cast<WPARAM>(position), 0);
}

// The full path of a name in the current directory; empty when it does not fit.
std::string fullPathOf(const char* name) {
  std::vector<char> buffer(kPathBuffer);
  return _fullpath(buffer.data(), name, kPathBuffer) != nullptr ? std::string(buffer.data())
                                                                : std::string();
}
}  // namespace

void extractIncludedJre(void* progressDialog) {
  const DWORD start = GetTickCount();
  logMessage("extracting JRE");
  if (_mkdir(kJreDirectory) != 0) logError("Could not create JRE dir");

  TarProgress progress;
  progress.dialog = progressDialog;
  progress.totalSize = getConfigInt(CFG_INCLUDED_JRE_SIZE);
  progress.setPosition = &setBarPosition;
  if (!untarGz(kArchive, kJreDirectory, progress, fileSystemTarget())) {
    logError("Could not untar JRE");
    fatalError(messages::kBundledJreCorrupted);
  }
  DeleteFileA(kArchive);
  // Unsigned difference: right across the tick count's wrap after 49 days.
  untarDurationMs = static_cast<int>(std::min<DWORD>(GetTickCount() - start, INT_MAX));

  if (getConfigInt(CFG_INCLUDED_JRE_PACKED) != 0) {
    logMessage("JRE is packed");
    unpackDone = false;
    if (progressDialog != nullptr) startUnpackProgressTicker(progressDialog);
    // Full paths: the unpacker is started by path, and a relative home would be taken
    // against the launcher's own directory by the path rules.
    std::string home = fullPathOf(kJreDirectory);
    if (home.empty()) home = kJreDirectory;
    prepareJre(home);
    prepareJre(home + "\\jre");
    unpackDone = true;
  }
  loadIncludedJre();
}

void loadIncludedJre() {
  const std::string home = fullPathOf(kJreDirectory);
  logMessage("JRE dir: %s", home.c_str());
  if (LoadDLL(false, home.c_str(), false)) return;
  logError("Could not load bundled JRE. Trying to find another JRE.");
  if (LoadDLL(false, nullptr, false)) return;
  logError("Could not find another JRE.");
  fatalError(messages::kBundledJreUnusable);
}
