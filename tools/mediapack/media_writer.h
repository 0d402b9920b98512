// Writes a media file: the stub's executable image (with the plan's icon and version
// information put into its resources), then the payload (header, configuration records,
// scrambled included files, the unextracted block), then zeros up to a multiple of 512
// bytes. Files are streamed; only an image being edited is held in memory.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "base/payload_format.h"
#include "description.h"
#include "status.h"

// The media file is padded with zeros to a multiple of this many bytes.
constexpr int64_t kMediaAlignment = 512;

// The configuration section: narrowCount, narrow records, wideCount, wide records (ids in
// ascending order).
std::string configurationSection(const BuildPlan& plan);

// Writes `outPath` from `plan` behind the stub at `stubPath`. The file appears only when
// complete (written beside it, then renamed). A stub with a nonzero PE checksum gets one
// computed over the whole media file; zero stays zero. Exit code 2 for a stub that cannot
// take a payload (or the plan's resources) or a result of 2 GiB or more; 1 when reading an
// input or writing fails.
Status writeMediaFile(const BuildPlan& plan, const std::string& stubPath, const std::string& outPath);

// loadDescription, the runtime bundled (see runtime_bundle.h) when the description has one,
// then writeMediaFile. The stub is `stubOverride`, else the description's "stub", else the
// Windows stub that mediapack ships with, found relative to `selfPath` (the mediapack
// executable's path; see shipped_files.h), as is the runtime jar that "launcherRuntime" asks
// for. No stub anywhere is exit code 2, naming where it was looked for. `progress` receives a
// progress line while a runtime is packed (null: none).
Status buildMediaFile(const std::string& descriptionPath, const std::string& outPath, const std::string& stubOverride,
                      const std::string& selfPath, std::ostream* progress = nullptr);
