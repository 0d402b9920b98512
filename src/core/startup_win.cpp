// The start-up sequence on Windows: restart command lines, arguments, configuration,
// working directory, the create-log prompt and the launcher's own options.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>

#include "coord/reboot.h"
#include "core/error_report.h"
#include "core/messages.h"
#include "core/startup.h"
#include "core/work_sequence.h"
#include "media/media_file.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"

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

  logMessage("Init done");
  if (quietMode && !splashRequested) logMessage("Quiet installer.");
  // The progress dialog does not exist yet: every path runs the work on this thread.
  runWork(nullptr);
  return 0;
}
