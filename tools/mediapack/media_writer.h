// Writes a media file: the stub's executable image (with the plan's icon and version
// information put into its resources), then the payload (header, configuration records,
// scrambled included files, the unextracted block), then zeros up to a multiple of 512
// bytes. Files are streamed; only an image being edited is held in memory.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>

#include "description.h"
#include "status.h"

constexpr uint32_t kMediaMagic = 0xE8E413D5u;
constexpr int64_t kMediaHeaderSize = 20;  // magic, checksumPresent, expectedCrc, checkedLength
constexpr uint8_t kScrambleMask = 0xA7;
constexpr int64_t kMediaAlignment = 512;
constexpr int64_t kMediaSizeLimit = int64_t(1) << 31;  // the launcher holds positions in 32 bits

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

// loadDescription, the runtime bundled (see runtime_bundle.h) when the description has one,
// then writeMediaFile; the stub is `stubOverride`, else the description's "stub", else
// `defaultStub`. `progress` receives a progress line while a runtime is packed (null: none).
Status buildMediaFile(const std::string& descriptionPath, const std::string& outPath, const std::string& stubOverride,
                      const std::string& defaultStub, std::ostream* progress = nullptr);
