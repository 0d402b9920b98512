// The start-up sequence of the Linux launcher: arguments from argv, the configuration from
// its own ELF file, the working directory, the launcher's own options, the lock-file single
// instance, and the work sequence on the main thread with its progress on the terminal.
#include <unistd.h>

#include <memory>

#include "app/startup.h"
#include "app/work_sequence.h"
#include "base/error_report.h"
#include "base/text.h"
#include "payload/media_file.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "session/single_instance.h"
#include "ui/terminal_progress.h"

int runLinuxLauncher(int argc, char** argv) {
  // Lives to the end of the process: the VM's threads may outlast this function's frame.
  RunContext& run = *new RunContext();
  std::vector<std::u16string> args;
  for (int i = 0; i < argc; ++i) args.push_back(utf8ToUtf16(argv[i] != nullptr ? argv[i] : ""));
  if (argc > 1 && isLanguageRestartCommandLine(argv[1])) {
    run.restartMode = true;
    run.quietMode = true;
  }
  const bool createLog = takeCreateLogOption(args);
  if (createLog) setCreateLogRequested(true);

  run.media = openMediaFile();
  run.configEndPosition = loadConfigurationFrom(*run.media);
  // Nothing to show boxes on: every message goes to standard error.
  setErrorsInMessageBoxes(false);
  run.productWord = productWordFor(getConfigText(CFG_PRODUCT_KIND));

  if (!run.restartMode) {
    const std::string workingDirectory = getConfigText(CFG_WORKING_DIRECTORY);
    if (!workingDirectory.empty() && chdir(systemPath(normalizePath(workingDirectory, true)).c_str()) != 0) {
      logError("Could not change working dir to %s", workingDirectory.c_str());
    }
  }

  applyLauncherOptions(parseLauncherOptions(args), run);
  if (!run.restartMode) run.semaphoreName = enforceSingleInstance();
  logMessage("Init done");
  run.arguments = args;

  // A progress line only for a person watching a terminal.
  std::unique_ptr<Progress> progress;
  if (!run.quietMode && isatty(STDERR_FILENO)) {
    progress.reset(new TerminalProgress(stderr));
  } else {
    progress.reset(new SilentProgress());
  }
  runWork(run, *progress, nullptr);
  return 0;
}
