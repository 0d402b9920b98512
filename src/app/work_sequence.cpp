#include "app/work_sequence.h"

#include "payload/extract.h"
#include "platform/diagnostic_log.h"

namespace {
constexpr char kPackSuffix[] = ".pack";
constexpr size_t kPackSuffixLength = sizeof kPackSuffix - 1;
}  // namespace

ConfigId extractionFailureMessage(int code) {
  return code == kExtractWriteFailed ? CFG_WMSG_DISK_FULL : CFG_WMSG_MEDIA_CORRUPT;
}

RuntimeChoice chooseRuntime(bool included, bool manualSelection, bool preferInstalled) {
  if (manualSelection) return RuntimeChoice::ObtainWithoutSearch;
  if (!included) return RuntimeChoice::SearchThenObtain;
  return preferInstalled ? RuntimeChoice::SearchThenIncluded : RuntimeChoice::UseIncluded;
}

bool searchesInstalled(RuntimeChoice choice) {
  return choice == RuntimeChoice::SearchThenIncluded || choice == RuntimeChoice::SearchThenObtain;
}

MissingRuntimeAction missingRuntimeAction(bool quiet, int autoDownloadJre, bool hasDialog) {
  if (quiet) {
    return autoDownloadJre != 0 ? MissingRuntimeAction::DownloadQuietly : MissingRuntimeAction::Abort;
  }
  return hasDialog ? MissingRuntimeAction::ObtainInDialog : MissingRuntimeAction::ObtainInOwnDialog;
}

int progressStartFor(bool included, int includedJrePacked) {
  if (!included) return 100;
  return includedJrePacked != 0 ? 300 : 200;
}

bool isPackedIncludedFile(const std::string& name) {
  return name.size() > kPackSuffixLength &&
         name.compare(name.size() - kPackSuffixLength, kPackSuffixLength, kPackSuffix) == 0;
}

std::vector<std::string> packedIncludedFiles(const std::string& names, int count) {
  std::vector<std::string> packed;
  for (const std::string& name : includedFileNames(names, count)) {
    if (isPackedIncludedFile(name)) packed.push_back(name);
  }
  return packed;
}

void settleIncludedRuntime(RunContext& run, const IncludedRuntimeProbe& probe) {
  const std::string archive = probe.fullPathOf("jre.tar.gz");
  logMessage("Full JRE path: %s", archive.c_str());
  run.jreIncluded = !archive.empty() && probe.exists(archive);
  if (!run.jreIncluded && run.restartMode) {
    const std::string extracted = probe.fullPathOf("jre");
    logMessage("Checking extracted JRE: %s", extracted.c_str());
    run.jreIncluded = !extracted.empty() && probe.exists(extracted);
  }
  logMessage("%s", run.jreIncluded ? "JRE included" : "No JRE included");
  if (run.manualJreSelection && run.jreIncluded) {
    logMessage("Included JRE not used because of manual switch");
    run.jreIncluded = false;
  }
}

void chooseAndLoadRuntime(RunContext& run, bool preferInstalled, const RuntimeSteps& steps) {
  const RuntimeChoice choice = chooseRuntime(run.jreIncluded, run.manualJreSelection, preferInstalled);
  switch (choice) {
    case RuntimeChoice::UseIncluded:
      return;
    case RuntimeChoice::SearchThenIncluded:
      steps.setMarkers();
      if (steps.loadInstalled()) {
        // The installed runtime is used; the included archive stays packed.
        run.jreIncluded = false;
      } else {
        steps.clearMarkers();
      }
      return;
    case RuntimeChoice::SearchThenObtain:
    case RuntimeChoice::ObtainWithoutSearch:
      steps.setMarkers();
      if (searchesInstalled(choice) && steps.loadInstalled()) return;
      if (steps.obtainRuntime()) run.jreIncluded = true;
      return;
  }
}
