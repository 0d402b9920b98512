// Writes a media file: the stub's executable image (with the plan's icon and version
// information put into its resources), then the payload (header, configuration records,
// scrambled included files, the unextracted block), then zeros up to a multiple of 512
// bytes. Files are streamed; only an image being edited is held in memory.
#pragma once

#include <cstdint>
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

// The stub used when neither --stub nor the description names one: launcher.exe in the
// "win32" directory beside the directory of the running mediapack (build/win32/launcher.exe
// for build/host/mediapack), with ".." resolved in the text. `selfPath` is the mediapack
// executable's path.
std::string defaultStubPath(const std::string& selfPath);

// loadDescription + writeMediaFile; the stub is `stubOverride`, else the description's
// "stub", else `defaultStub`.
Status buildMediaFile(const std::string& descriptionPath, const std::string& outPath, const std::string& stubOverride,
                      const std::string& defaultStub);
