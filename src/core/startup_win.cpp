// The start-up sequence on Windows: restart command lines, arguments, configuration,
// working directory, the create-log prompt, the launcher's own options, the single-instance
// rule, the question about a failed earlier run, and how the work sequence runs.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "coord/install_markers.h"
#include "coord/reboot.h"
#include "coord/single_instance.h"
#include "core/error_report.h"
#include "core/messages.h"
#include "core/startup.h"
#include "core/work_sequence.h"
#include "media/media_file.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
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

// "-q" and "-c": messages on standard error instead of boxes.
void enterQuietMode() {
  quietMode = true;
  showMessageBoxes = false;
}

}  // namespace

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
  if (commandLine == nullptr) commandLine = "";
  if (isRebootCommandLine(commandLine)) {
    rebootSystem();
    return 0;
  }
  if (isLanguageRestartCommandLine(commandLine)) {
    restartMode = true;
    quietMode = true;
  }
  InitCommonControls();

  std::vector<std::u16string> args;
  const bool argumentsBalanced = splitCommandLineChecked(
      reinterpret_cast<const char16_t*>(GetCommandLineW()), args);
  if (argumentsBalanced && takeCreateLogOption(args)) createLogRequested = true;

  loadConfiguration();
  instanceHandle = instance;
  // An unbalanced quote is reported only now, so that the configured text and output mode
  // apply to it.
  if (!argumentsBalanced) fatalConfigError(CFG_MSG_WRONG_PARAMETER);
  productWord = productWordFor(getConfigText(CFG_PRODUCT_KIND));

  if (!restartMode) {
    const std::string workingDirectory = getConfigText(CFG_WORKING_DIRECTORY);
    if (!workingDirectory.empty()) {
      SetCurrentDirectoryA(normalizePath(workingDirectory, true).c_str());
    }
  }

  if (createLogRequested) showCreateLogPrompt(productWord);

  verifyIntegrity = true;
  const LauncherOptions options = parseLauncherOptions(args);
  if (options.quiet) enterQuietMode();
  if (options.console) consoleAttached = attachConsole();
  if (options.splash) splashRequested = true;
  if (options.noCheck) verifyIntegrity = false;
  if (options.manual) manualJreSelection = true;
  if (options.needConsole && !consoleAttached) {
    consoleAttached = attachConsole();
    if (!consoleAttached) {
      MessageBoxA(nullptr, messages::kNoConsole, messages::kConsoleCaption, MB_OK);
      exitWith(1);
    }
  }

  if (!restartMode) enforceSingleInstance();
  logMessage("Init done");

  // The global marker survives a run that never reached the Java window: offer to pick a
  // runtime by hand this time.
  if (readInstallStarted(false) == 1 && !quietMode) {
    const std::u16string text = getConfigWideText(CFG_WMSG_LAST_RUN_FAILED);
    const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
    if (MessageBoxW(nullptr, reinterpret_cast<const wchar_t*>(text.c_str()),
                    reinterpret_cast<const wchar_t*>(caption.c_str()), MB_YESNO | MB_ICONEXCLAMATION) == IDYES) {
      manualJreSelection = true;
    }
  }

  if (quietMode && !splashRequested) {
    logMessage("Quiet installer.");
    runWork(nullptr);
  } else if (getConfigInt(CFG_HIDE_PROGRESS_DIALOG) != 0) {
    registerDialogClass();
    runWork(nullptr);
  } else {
    registerDialogClass();
    if (showProgressDialog() == -1) {
      // No dialog could be made (no desktop to show it on, for one): the installation still
      // runs, only without progress display.
      logError("Could not show the progress dialog (error %lu)", static_cast<unsigned long>(GetLastError()));
      runWork(nullptr);
    }
  }
  return 0;
}
