// The work sequence of the Linux launcher: the Windows one's steps with their Linux meanings.
// No dialogs (errors and the no-runtime case go to standard error), no registry markers, no
// Java-window watcher, no Pack200; the Java side runs on a thread of its own with a stack the
// size the JDK's launcher gives its main thread.
#include <pthread.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <vector>

#include "app/included_jre.h"
#include "app/work_sequence.h"
#include "base/error_report.h"
#include "jvm/java_vm_launcher.h"
#include "jvm/jvm_library.h"
#include "payload/extract.h"
#include "payload/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/expand_variables.h"
#include "platform/temp_dir.h"
#include "runtime/download.h"
#include "runtime_search/jre_search.h"

namespace {
// The stack of the thread that creates the VM and runs main: large enough for deep Java
// recursion in the program's main thread (the JDK's launcher takes the VM's default, 1 MiB,
// or -Xss; 8 MiB covers both without parsing the options).
constexpr size_t kJavaThreadStack = size_t(8) << 20;

std::string currentDirectory() {
  char* directory = getcwd(nullptr, 0);
  if (directory == nullptr) return std::string();
  std::string out(directory);
  free(directory);
  return out;
}

void enterTempDir(const std::string& directory) {
  if (chdir(directory.c_str()) != 0) {
    logError("Could not change working dir to %s", directory.c_str());
    fatalInternalError(InternalError::TempDirectory);
  }
}

[[noreturn]] void failExtraction(const RunContext& run, Progress& progress, int code) {
  progress.hide();
  if (!run.quietMode) reportWideError(getConfigWideText(extractionFailureMessage(code)));
  exitRunningHandlers(ExitCode::Failure);
}

void printAndFlush(const char* text) {
  fputs(text, stdout);
  fflush(stdout);
}

// An installed runtime found by the search: its bin/java gives the home whose libjvm.so
// is loaded.
bool loadInstalledRuntime() {
  std::string javaExe, label;
  if (searchJvm(javaExe, label) == NOT_FOUND) {
    logError("No JVM found");
    return false;
  }
  const size_t bin = javaExe.rfind("/bin/java");
  if (bin == std::string::npos) return false;
  return loadLibjvm(javaExe.substr(0, bin));
}

// No runtime was found and none is included. There is no dialog on Linux: with a download
// address and automatic download (or outside quiet mode, where the user started the
// installer by hand and asked for nothing else) the runtime is downloaded; otherwise the
// run ends as a quiet run without a runtime does, after (outside quiet mode) the configured
// explanation on standard error.
bool obtainRuntime(const RunContext& run, Progress& progress) {
  const std::string location = getConfigText(CFG_JRE_DOWNLOAD_LOCATION);
  const bool download =
      !location.empty() && (getConfigInt(CFG_AUTO_DOWNLOAD_JRE) != 0 || !run.quietMode);
  switch (missingRuntimeAction(true, download ? 1 : 0, false)) {
    case MissingRuntimeAction::DownloadQuietly:
      printAndFlush("No JRE found. Trying to download.\n");
      downloadArchive(progress, location);
      return true;
    default:
      progress.hide();
      if (!run.quietMode) reportConfigError(CFG_MSG_NO_JVM);
      logError("No JRE found");
      printAndFlush("No JRE found. Aborting.\n");
      exitRunningHandlers(ExitCode::NoRuntimeQuiet);
  }
}

struct JavaStart {
  const std::vector<std::u16string>* arguments;
  const LaunchSettings* settings;
  bool launched;
};

void* startJava(void* context) {
  auto* start = static_cast<JavaStart*>(context);
  start->launched = launchProgram(*start->arguments, *start->settings);
  return nullptr;
}

// launchProgram on a new thread (the process's first thread has a stack the VM cannot
// guard well); on this one when no thread can be made.
bool launchOnOwnThread(const std::vector<std::u16string>& arguments, const LaunchSettings& settings) {
  JavaStart start{&arguments, &settings, false};
  pthread_attr_t attributes;
  pthread_attr_init(&attributes);
  pthread_attr_setstacksize(&attributes, kJavaThreadStack);
  pthread_t thread;
  const int created = pthread_create(&thread, &attributes, &startJava, &start);
  pthread_attr_destroy(&attributes);
  if (created != 0) {
    logError("Could not start the Java thread (error %d)", created);
    startJava(&start);
  } else {
    pthread_join(thread, nullptr);
  }
  return start.launched;
}
}  // namespace

int runWork(RunContext& run, Progress& progress, void*) {
  logMessage("Starting work");
  progress.setPosition(1);
  progress.setRange(0, 400);
  if (!run.restartMode) verifyMediaFile(run.verifyIntegrity, progress, *run.media);

  if (run.restartMode) {
    run.launcherTempDir = currentDirectory();
    setExpansionTempDirectory(run.launcherTempDir);
  } else {
    run.launcherTempDir = createLauncherTempDir();
    removeTempDirAtExit(run.launcherTempDir);
    setExpansionTempDirectory(run.launcherTempDir);
    enterTempDir(run.launcherTempDir);
    const int code =
        extractIncludedFiles(run.media->source(), run.launcherTempDir, run.configEndPosition, &run.unextractedPosition);
    if (code != kExtractOk) failExtraction(run, progress, code);
  }
  run.media.reset();
  logMessage("Current working dir: %s", currentDirectory().c_str());

  IncludedRuntimeProbe probe;
  probe.fullPathOf = [](const char* name) {
    const std::string directory = currentDirectory();
    return directory.empty() ? std::string() : directory + "/" + name;
  };
  probe.exists = [](const std::string& path) { return access(path.c_str(), F_OK) == 0; };
  settleIncludedRuntime(run, probe);

  RuntimeSteps steps;
  steps.loadInstalled = [] { return loadInstalledRuntime(); };
  steps.obtainRuntime = [&run, &progress] { return obtainRuntime(run, progress); };
  // The start markers live in the registry, which Linux does not have.
  steps.setMarkers = [] {};
  steps.clearMarkers = [] {};
  chooseAndLoadRuntime(run, getConfigInt(CFG_PREFER_INSTALLED_JRE) != 0, steps);
  enterTempDir(run.launcherTempDir);

  if (!run.restartMode) {
    run.progressStart = progressStartFor(run.jreIncluded, 0);
    if (run.jreIncluded) extractIncludedJre(progress);
  } else if (run.jreIncluded) {
    loadIncludedJre();
  }
  if (!run.restartMode && !packedIncludedFiles(getConfigText(CFG_INCLUDED_FILE_NAMES),
                                               getConfigInt(CFG_INCLUDED_FILE_COUNT)).empty()) {
    logMessage("Pack200 files among the included files are not restored on Linux");
  }
  // The Java program's output takes the terminal over from here.
  progress.hide();

  LaunchSettings launch;
  launch.semaphoreName = run.semaphoreName;
  launch.manualJre = run.manualJreSelection;
  launch.restart = run.restartMode;
  launch.tempDir = run.launcherTempDir;
  launch.unextractedPosition = run.unextractedPosition;
  launch.linuxVm = true;
  if (!launchOnOwnThread(run.arguments, launch)) {
    logError("Could not start JVM");
    fatalConfigError(CFG_MSG_JVM_NOT_STARTED);
  }
  return 0;
}
