// The work sequence on Windows: steps up to the decision which runtime to use.
#include <windows.h>
#include <commctrl.h>

#include <direct.h>
#include <stdlib.h>

#include <vector>

#include "coord/native_library_path.h"
#include "core/error_report.h"
#include "core/startup.h"
#include "core/work_sequence.h"
#include "media/extract.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"

namespace {
constexpr size_t kPathBuffer = 8192;

std::string currentDirectory() {
  DWORD size = GetCurrentDirectoryA(0, nullptr);
  for (int attempt = 0; attempt < 3 && size > 0; ++attempt) {
    std::vector<char> buffer(size);
    const DWORD n = GetCurrentDirectoryA(size, buffer.data());
    if (n < size) return std::string(buffer.data(), n);
    size = n;
  }
  return std::string();
}

// `name` resolved against the current directory; empty when it cannot be.
std::string fullPathOf(const char* name) {
  std::vector<char> buffer(kPathBuffer);
  return _fullpath(buffer.data(), name, kPathBuffer) ? std::string(buffer.data()) : std::string();
}

void enterTempDir() {
  if (_chdir(launcherTempDir.c_str()) != 0) {
    logError("Could not change working dir to %s", launcherTempDir.c_str());
  }
}

[[noreturn]] void failExtraction(HWND dialog, int code) {
  if (!quietMode) {
    const std::u16string text = getConfigWideText(extractionFailureMessage(code));
    const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
    MessageBoxW(dialog, reinterpret_cast<const wchar_t*>(text.c_str()),
                reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
  }
  // Through the C library's exit so that the log's exit handler runs.
  exitRunningHandlers(1);
}
}  // namespace

int runWork(void* dialogWindow) {
  HWND dialog = static_cast<HWND>(dialogWindow);
  logMessage("Starting work");
  if (dialog) {
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETPOS, 1, 0);
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(0, 400));
  }
  if (!restartMode) verifyMediaFile(dialogWindow);

  if (restartMode) {
    // Restarted inside the directory an earlier run extracted: use it as it is.
    launcherTempDir = currentDirectory();
  } else {
    createLauncherTempDir();
    prependNativeLibraryPath();
    enterTempDir();
    const int code = extractIncludedFiles(false);
    if (code != kExtractOk) failExtraction(dialog, code);
  }
  logMessage("Current working dir: %s", currentDirectory().c_str());

  const std::string archive = fullPathOf("jre.tar.gz");
  logMessage("Full JRE path: %s", archive.c_str());
  jreIncluded = !archive.empty() && fileExists(archive);
  if (!jreIncluded && restartMode) {
    const std::string extracted = fullPathOf("jre");
    logMessage("Checking extracted JRE: %s", extracted.c_str());
    jreIncluded = !extracted.empty() && fileExists(extracted);
  }
  logMessage("%s", jreIncluded ? "JRE included" : "No JRE included");
  if (manualJreSelection && jreIncluded) {
    logMessage("Included JRE not used because of manual switch");
    jreIncluded = false;
  }

  logMessage("Runtime selection not available in this build");
  return 0;
}
