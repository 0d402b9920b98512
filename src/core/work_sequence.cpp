#include "core/work_sequence.h"

#include "media/extract.h"

bool jreIncluded = false;
int progressStart = 0;

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
