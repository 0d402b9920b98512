#include "runtime_bundle.h"

#include <chrono>
#include <climits>
#include <cstdio>

#include "jlink.h"
#include "base/config_table.h"
#include "runtime_dir.h"

namespace {

std::string mebibytes(int64_t bytes) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", static_cast<double>(bytes) / (1024.0 * 1024.0));
  return text;
}

}  // namespace

std::string progressLine(const PackProgress& p) {
  const int percent = p.bytesTotal > 0 ? static_cast<int>(100 * p.bytesDone / p.bytesTotal) : 100;
  return "packing the runtime: " + std::to_string(percent) + "% (" + std::to_string(p.entriesDone) + " of " +
         std::to_string(p.entriesTotal) + " entries, " + mebibytes(p.bytesDone) + " of " + mebibytes(p.bytesTotal) +
         " MiB)";
}

Status bundleRuntime(BuildPlan& plan, const std::string& stubPath, const std::string& scratchDir,
                     const BundleOptions& options) {
  RuntimeSource& runtime = plan.runtime;
  RuntimeTarget target;
  Status s = runtimeTargetOfStub(stubPath, target);
  if (!s.ok()) return s;

  std::string dir = runtime.dir;
  std::string where = "runtime " + dir;
  if (runtime.jlink) {
    dir = scratchDir + "/jlink-image";
    where = "runtime made by jlink from " + runtime.request.jdk;
    if (options.progress) *options.progress << "making the runtime with " << jlinkProgram(runtime.request.jdk) << "\n";
    s = makeJlinkRuntime(runtime.request, target, dir, "\"runtime.jlink\"");
    if (!s.ok()) return s;
  }

  std::vector<RuntimeEntry> entries;
  s = scanRuntimeDirectory(dir, where, target, entries);
  if (!s.ok()) return s;
  const std::string preferred = plan.narrow.count(CFG_PREFERRED_VM_TYPE) ? plan.narrow[CFG_PREFERRED_VM_TYPE] : "";
  std::string library;
  s = checkRuntimeLibrary(entries, where, target, preferred, library);
  if (!s.ok()) return s;

  PackOptions pack;
  pack.threads = options.threads;
  using Clock = std::chrono::steady_clock;
  Clock::time_point shown = Clock::now() - std::chrono::seconds(1);
  size_t width = 0;
  if (options.progress) {
    pack.progress = [&](const PackProgress& p) {
      const bool last = p.entriesDone == p.entriesTotal;
      if (!last && Clock::now() - shown < std::chrono::milliseconds(100)) return;
      shown = Clock::now();
      std::string line = progressLine(p);
      const size_t length = line.size();
      if (line.size() < width) line.append(width - line.size(), ' ');
      width = length;
      *options.progress << "\r" << line << std::flush;
    };
  }
  const std::string archive = scratchDir + "/" + kRuntimeArchiveName;
  PackedRuntime packed;
  s = packRuntime(entries, target.os, archive, pack, packed);
  if (options.progress) {
    std::string line = s.ok() ? "packed the runtime: " + std::to_string(entries.size()) + " entries, " +
                                    mebibytes(packed.tarSize) + " MiB, " + mebibytes(packed.archiveSize) +
                                    " MiB compressed"
                              : std::string();
    if (line.size() < width) line.append(width - line.size(), ' ');
    *options.progress << "\r" << line << "\n" << std::flush;
  }
  if (!s.ok()) return s;

  if (packed.tarSize > INT32_MAX) {
    return Status::failure(kExitBadInput, where + ": the runtime takes " + std::to_string(packed.tarSize) +
                                              " bytes unpacked; the launcher's size record holds less than 2 GiB");
  }
  IncludedFile& file = plan.files.at(runtime.fileIndex);
  file.source = archive;
  file.size = packed.archiveSize;
  plan.narrow[CFG_INCLUDED_JRE_SIZE] = std::to_string(packed.tarSize);
  plan.narrow[CFG_INCLUDED_JRE_PACKED] = "0";
  return Status::success();
}
