// The start-up sequence on Windows: restart command lines, arguments, configuration,
// working directory, the create-log prompt, the launcher's own options, the single-instance
// rule, the question about a failed earlier run, and how the work sequence runs.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "app/startup.h"
#include "app/work_sequence.h"
#include "base/error_report.h"
#include "base/messages.h"
#include "payload/media_file.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/system_library.h"
#include "session/install_markers.h"
#include "session/reboot.h"
#include "session/single_instance.h"
#include "ui/dialogs.h"

namespace {

bool isUsableHandle(HANDLE h) {
  return h != nullptr && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN;
}

// A GUI program starts without standard streams unless its caller redirected them; once a
// console is there, unconnected streams are bound to it so that quiet-mode messages show.
// Redirected streams are left alone.
void bindStreamsToConsole(bool hadOutput, bool hadError) {
  if (!hadOutput) freopen("CONOUT$", "w", stdout);
  if (!hadError) freopen("CONOUT$", "w", stderr);
}

}  // namespace

std::function<void()> progressDialogCancelAction(const RunContext& run) {
  const InstallMarkers markers = run.markers();
  return [markers] { markers.clear(); };
}

bool attachConsole() {
  const bool hadOutput = isUsableHandle(GetStdHandle(STD_OUTPUT_HANDLE));
  const bool hadError = isUsableHandle(GetStdHandle(STD_ERROR_HANDLE));
  using AttachConsoleFn = BOOL(WINAPI*)(DWORD);
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  auto attach = kernel != nullptr ? reinterpret_cast<AttachConsoleFn>(
                                        reinterpret_cast<void*>(GetProcAddress(kernel, "AttachConsole")))
                                  : nullptr;
  bool attached = false;
  if (attach != nullptr) {
    // Access denied means the process has a console already.
    attached = attach(ATTACH_PARENT_PROCESS) || GetLastError() == ERROR_ACCESS_DENIED;
  }
  if (!attached) attached = AllocConsole() != FALSE;
  if (attached) bindStreamsToConsole(hadOutput, hadError);
  return attached;
}

int runLauncher(void* instance, const char* commandLine) {
  // Before anything loads a library by name: an installer is started from a folder full of
  // files nobody checked, and none of them may stand in for a library the process loads.
  const DllSearch dllSearch = restrictDllSearch();
  if (commandLine == nullptr) commandLine = "";
  if (isRebootCommandLine(commandLine)) {
    rebootSystem();
    return 0;
  }
  // Lives to the end of the process: after a cancelled progress dialog this function returns
  // while the work may still be running on the dialog's thread.
  RunContext& run = *new RunContext();
  if (isLanguageRestartCommandLine(commandLine)) {
    run.restartMode = true;
    run.quietMode = true;
  }
  InitCommonControls();

  std::vector<std::u16string> args;
  const bool argumentsBalanced = splitCommandLineChecked(
      reinterpret_cast<const char16_t*>(GetCommandLineW()), args);
  const bool createLog = argumentsBalanced && takeCreateLogOption(args);
  if (createLog) setCreateLogRequested(true);

  run.media = openMediaFile();
  run.configEndPosition = loadConfigurationFrom(*run.media);
  run.instanceHandle = instance;
  // An unbalanced quote is reported only now, so that the configured text and output mode
  // apply to it.
  if (!argumentsBalanced) fatalConfigError(CFG_MSG_WRONG_PARAMETER);
  run.productWord = productWordFor(getConfigText(CFG_PRODUCT_KIND));
  logMessage(dllSearch == DllSearch::Restricted
                 ? "DLL search restricted to the system directory"
                 : "DLL search cannot be restricted on this system; only the current directory was left out");

  if (!run.restartMode) {
    const std::string workingDirectory = getConfigText(CFG_WORKING_DIRECTORY);
    if (!workingDirectory.empty()) {
      SetCurrentDirectoryA(normalizePath(workingDirectory, true).c_str());
    }
  }

  if (createLog) showCreateLogPrompt(run.productWord);

  const LauncherOptions options = parseLauncherOptions(args);
  applyLauncherOptions(options, run);
  if (options.console) run.consoleAttached = attachConsole();
  if (options.needConsole && !run.consoleAttached) {
    run.consoleAttached = attachConsole();
    if (!run.consoleAttached) {
      MessageBoxA(nullptr, messages::kNoConsole, messages::kConsoleCaption, MB_OK);
      exitWith(ExitCode::Failure);
    }
  }

  if (!run.restartMode) run.semaphoreName = enforceSingleInstance();
  logMessage("Init done");

  // The global marker survives a run that never reached the Java window: offer to pick a
  // runtime by hand this time.
  if (readInstallStarted(false) == 1 && !run.quietMode) {
    const std::u16string text = getConfigWideText(CFG_WMSG_LAST_RUN_FAILED);
    const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
    if (MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                    reinterpret_cast<const wchar_t*>(caption.c_str()), MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
      run.manualJreSelection = true;
    }
  }

  SilentProgress silent;
  if (run.quietMode && !run.splashRequested) {
    logMessage("Quiet installer.");
    runWork(run, silent, nullptr);
  } else if (getConfigInt(CFG_HIDE_PROGRESS_DIALOG) != 0) {
    registerDialogClass(run.instanceHandle);
    runWork(run, silent, nullptr);
  } else {
    registerDialogClass(run.instanceHandle);
    const long long shown = showProgressDialog(
        run.instanceHandle, [&run](Progress& progress, void* dialog) { runWork(run, progress, dialog); },
        progressDialogCancelAction(run));
    if (shown == -1) {
      // No dialog could be made (no desktop to show it on, for one): the installation still
      // runs, only without progress display.
      logError("Could not show the progress dialog (error %lu)", static_cast<unsigned long>(GetLastError()));
      runWork(run, silent, nullptr);
    }
  }
  return 0;
}
