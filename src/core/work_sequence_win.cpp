// The work sequence on Windows: from the integrity check to the end of the Java program.
#include <windows.h>
#include <commctrl.h>

#include <direct.h>
#include <stdlib.h>

#include <cstdio>
#include <vector>

#include "coord/install_markers.h"
#include "coord/native_library_path.h"
#include "coord/windows_watch.h"
#include "core/error_report.h"
#include "core/startup.h"
#include "core/work_sequence.h"
#include "included/download.h"
#include "included/included_jre.h"
#include "included/pack200.h"
#include "jvm/java_vm_launcher.h"
#include "jvm/jvm_library.h"
#include "media/extract.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/temp_dir.h"
#include "ui/dialogs.h"

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

// The start markers: set while a start is under way (the per-process one only when a dialog
// can be hidden by the watcher), cleared when the run ends before the Java side.
void setMarkers(HWND dialog) { setInstallStarted(true, dialog != nullptr, true); }
void clearMarkers() { setInstallStarted(false, true, true); }

void printAndFlush(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}

// No runtime was found, or the search was skipped, and none is included.
void obtainRuntime(HWND dialog) {
  switch (missingRuntimeAction(quietMode, getConfigInt(CFG_AUTO_DOWNLOAD_JRE), dialog != nullptr)) {
    case MissingRuntimeAction::Abort:
      logError("No JRE found");
      printAndFlush("No JRE found. Aborting.\n");
      clearMarkers();
      // Through the C library's exit so that the log's exit handler runs.
      exitRunningHandlers(83);
    case MissingRuntimeAction::DownloadQuietly:
      printAndFlush("No JRE found. Trying to download.\n");
      downloadJre(nullptr);
      break;
    case MissingRuntimeAction::ObtainInDialog:
      downloadJre(dialog);
      break;
    case MissingRuntimeAction::ObtainInOwnDialog:
      // The progress dialog is hidden in this configuration; it is shown now, runs the
      // no-runtime flow on a thread of its own and is closed by it. Where no window can be
      // made at all, the flow runs here, without one.
      if (showProgressDialog() == -1) downloadJre(nullptr);
      break;
  }
}

void chooseAndLoadRuntime(HWND dialog) {
  const RuntimeChoice choice =
      chooseRuntime(jreIncluded, manualJreSelection, getConfigInt(CFG_PREFER_INSTALLED_JRE) != 0);
  switch (choice) {
    case RuntimeChoice::UseIncluded:
      return;
    case RuntimeChoice::SearchThenIncluded:
      setMarkers(dialog);
      if (LoadDLL(false, nullptr, false)) {
        // The installed runtime is used; the included archive stays packed.
        jreIncluded = false;
      } else {
        clearMarkers();
      }
      return;
    case RuntimeChoice::SearchThenObtain:
    case RuntimeChoice::ObtainWithoutSearch:
      setMarkers(dialog);
      if (searchesInstalled(choice) && LoadDLL(false, nullptr, false)) return;
      obtainRuntime(dialog);
      return;
  }
}

void unpackIncludedFiles() {
  const std::vector<std::string> packed =
      packedIncludedFiles(getConfigText(CFG_INCLUDED_FILE_NAMES), getConfigInt(CFG_INCLUDED_FILE_COUNT));
  for (const std::string& name : packed) {
    logMessage("unpacking %s", name.c_str());
    unpackFile(getJvmHome(), launcherTempDir + "\\" + name);
  }
}

[[noreturn]] void failLaunch() {
  logError("Could not start JVM");
  fatalConfigError(CFG_MSG_JVM_NOT_STARTED);
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

  chooseAndLoadRuntime(dialog);
  enterTempDir();

  if (!restartMode) {
    progressStart = progressStartFor(jreIncluded, getConfigInt(CFG_INCLUDED_JRE_PACKED));
    if (jreIncluded) extractIncludedJre(dialogWindow);
  } else if (jreIncluded) {
    loadIncludedJre();
  }
  if (!restartMode) unpackIncludedFiles();

  if (dialog) startJavaWindowWatcher(dialogWindow);
  setMarkers(dialog);

  std::vector<std::u16string> arguments;
  splitCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()), arguments);
  if (!launchProgram(arguments)) failLaunch();
  return 0;
}
