// The work sequence on Windows: from the integrity check to the end of the Java program.
#include <windows.h>
#include <commctrl.h>

#include <direct.h>
#include <stdlib.h>

#include <atomic>
#include <cstdio>
#include <memory>
#include <vector>

#include "app/included_jre.h"
#include "app/startup.h"
#include "app/work_sequence.h"
#include "base/error_report.h"
#include "jvm/java_vm_launcher.h"
#include "jvm/jvm_library.h"
#include "jvm/native_library_path.h"
#include "payload/extract.h"
#include "payload/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/paths.h"
#include "platform/remove_tree.h"
#include "platform/system_library.h"
#include "platform/temp_dir.h"
#include "runtime/download.h"
#include "runtime/pack200.h"
#include "runtime_search/registry_sources.h"
#include "session/install_markers.h"
#include "session/windows_watch.h"
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

// The rest of the run works relative to this directory (the restart loads "jre" from it):
// going on from wherever the process happens to be, perhaps a downloads folder, would read
// files nobody extracted.
void enterTempDir(const std::string& directory) {
  if (_chdir(directory.c_str()) != 0) {
    logError("Could not change working dir to %s", directory.c_str());
    fatalInternalError(InternalError::TempDirectory);
  }
  // Libraries extracted here found their neighbours through the current directory before the
  // DLL search was narrowed; the run's own directory stays in it.
  addDllDirectory(directory);
}

// Everything this run unpacked, and the placeholder file the directory's name came from.
void removeRunTempDir(const std::string& directory) {
  logMessage("removing %s", directory.c_str());
  removeDirectoryTree(directory);
  const std::string placeholder = placeholderFileOf(directory);
  if (!placeholder.empty()) DeleteFileA(placeholder.c_str());
}

[[noreturn]] void failExtraction(const RunContext& run, HWND dialog, int code) {
  if (!run.quietMode) {
    const std::u16string text = getConfigWideText(extractionFailureMessage(code));
    const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
    MessageBoxW(dialog, reinterpret_cast<const wchar_t*>(text.c_str()),
                reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
  }
  // Through the C library's exit so that the log's exit handler runs.
  exitRunningHandlers(ExitCode::Failure);
}

void printAndFlush(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}

// What follows the choice of a java.exe by hand: load it as a Java executable (the loader
// reports what fails) and remember it.
bool useLocatedJavaExe(const std::string& javaExe) {
  if (!loadJvmLibrary(true, javaExe.c_str(), true)) return false;
  rememberLocatedJvm(javaExe);
  return true;
}

// How long a cancelled transfer is given to stop (it checks between chunks, and a chunk's
// read is bounded by the connection's own timeouts).
constexpr int kCancelWaitMs = 5000;
constexpr int kCancelPollMs = 50;

RuntimeDownloadRun downloadRun(const RunContext& run, Progress& progress, HWND owner) {
  RuntimeDownloadRun download;
  download.instance = run.instanceHandle;
  download.ownerWindow = owner;
  download.progress = &progress;
  download.useLocatedJavaExe = &useLocatedJavaExe;
  const InstallMarkers markers = run.markers();
  download.giveUp = [markers] { markers.clear(); };
  return download;
}

// The progress dialog of the no-runtime flow was cancelled (its cancel action has cleared
// the start markers): the transfer is told to stop and given a moment to let go of its
// file, then the run ends as a cancelled progress dialog ends it, through the exit that
// removes the temporary directory.
template <typename Flow>
[[noreturn]] void endCancelledRun(Flow& flow) {
  flow.cancel.cancel();
  for (int waited = 0; !flow.finished && waited < kCancelWaitMs; waited += kCancelPollMs) Sleep(kCancelPollMs);
  exitRunningHandlers(ExitCode::Success);
}

// No runtime was found, or the search was skipped, and none is included. True when an
// archive was downloaded.
bool obtainRuntime(RunContext& run, Progress& progress, HWND dialog) {
  SilentProgress silent;
  switch (missingRuntimeAction(run.quietMode, getConfigInt(CFG_AUTO_DOWNLOAD_JRE), dialog != nullptr)) {
    case MissingRuntimeAction::Abort:
      logError("No JRE found");
      printAndFlush("No JRE found. Aborting.\n");
      run.markers().clear();
      // Through the C library's exit so that the log's exit handler runs.
      exitRunningHandlers(ExitCode::NoRuntimeQuiet);
    case MissingRuntimeAction::DownloadQuietly:
      printAndFlush("No JRE found. Trying to download.\n");
      return downloadJre(downloadRun(run, silent, nullptr));
    case MissingRuntimeAction::ObtainInDialog:
      return downloadJre(downloadRun(run, progress, dialog));
    case MissingRuntimeAction::ObtainInOwnDialog: {
      // The progress dialog is hidden in this configuration; it is shown now, runs the
      // no-runtime flow on a thread of its own and is closed by it. Where no window can be
      // made at all, the flow runs here, without one.
      // Shared with the dialog's thread, which may outlive the dialog.
      struct OwnDialogFlow {
        std::atomic<bool> downloaded{false};
        std::atomic<bool> finished{false};
        DownloadCancel cancel;
      };
      const auto flow = std::make_shared<OwnDialogFlow>();
      const long long shown = showProgressDialog(
          run.instanceHandle,
          [&run, flow](Progress& own, void* ownWindow) {
            RuntimeDownloadRun download = downloadRun(run, own, static_cast<HWND>(ownWindow));
            download.cancel = &flow->cancel;
            flow->downloaded = downloadJre(download);
            flow->finished = true;
          },
          progressDialogCancelAction(run));
      if (shown == -1) return downloadJre(downloadRun(run, silent, nullptr));
      if (shown == IDCANCEL || shown == IDOK) endCancelledRun(*flow);
      return flow->downloaded.load();
    }
  }
  return false;
}

void unpackIncludedFiles(const std::string& launcherTempDir) {
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

int runWork(RunContext& run, Progress& progress, void* dialogWindow) {
  HWND dialog = static_cast<HWND>(dialogWindow);
  logMessage("Starting work");
  progress.setPosition(1);
  progress.setRange(0, 400);
  if (!run.restartMode) verifyMediaFile(run.verifyIntegrity, progress, *run.media);

  if (run.restartMode) {
    // Restarted inside the directory an earlier run extracted: use it as it is.
    run.launcherTempDir = currentDirectory();
    setExpansionTempDirectory(run.launcherTempDir);
  } else {
    run.launcherTempDir = createLauncherTempDir();
    run.ownsTempDir = true;
    // Lives to the end of the process, like the run.
    setExitCleanup([&run] {
      if (run.ownsTempDir) removeRunTempDir(run.launcherTempDir);
    });
    setExpansionTempDirectory(run.launcherTempDir);
    prependNativeLibraryPath();
    enterTempDir(run.launcherTempDir);
    const int code =
        extractIncludedFiles(run.media->source(), run.launcherTempDir, run.configEndPosition, &run.unextractedPosition);
    if (code != kExtractOk) failExtraction(run, dialog, code);
  }
  // The Java side reads the unextracted block itself, and may replace the file later.
  run.media.reset();
  logMessage("Current working dir: %s", currentDirectory().c_str());

  IncludedRuntimeProbe probe;
  probe.fullPathOf = [](const char* name) { return fullPathOf(name); };
  probe.exists = [](const std::string& path) { return fileExists(path); };
  settleIncludedRuntime(run, probe);

  RuntimeSteps steps;
  steps.loadInstalled = [] { return loadJvmLibrary(false, nullptr, false); };
  steps.obtainRuntime = [&run, &progress, dialog] { return obtainRuntime(run, progress, dialog); };
  steps.setMarkers = [&run, dialog] { run.markers().setInstallStarted(true, dialog != nullptr, true); };
  steps.clearMarkers = [&run] { run.markers().clear(); };
  chooseAndLoadRuntime(run, getConfigInt(CFG_PREFER_INSTALLED_JRE) != 0, steps);
  enterTempDir(run.launcherTempDir);

  if (!run.restartMode) {
    run.progressStart = progressStartFor(run.jreIncluded, getConfigInt(CFG_INCLUDED_JRE_PACKED));
    if (run.jreIncluded) extractIncludedJre(progress);
  } else if (run.jreIncluded) {
    loadIncludedJre();
  }
  if (!run.restartMode) unpackIncludedFiles(run.launcherTempDir);

  startJavaWindowWatcher(progress, run.progressStart, run.markers());
  // The start markers: set while a start is under way (the per-process one only when a
  // dialog can be hidden by the watcher).
  steps.setMarkers();

  std::vector<std::u16string> arguments;
  splitCommandLine(reinterpret_cast<const char16_t*>(GetCommandLineW()), arguments);
  LaunchSettings launch;
  launch.semaphoreName = run.semaphoreName;
  launch.manualJre = run.manualJreSelection;
  launch.restart = run.restartMode;
  launch.tempDir = run.launcherTempDir;
  launch.unextractedPosition = run.unextractedPosition;
  launch.handOver = [&run] {
    run.ownsTempDir = false;
    setExitCleanup(nullptr);
  };
  if (!launchProgram(arguments, launch)) failLaunch();
  return 0;
}
