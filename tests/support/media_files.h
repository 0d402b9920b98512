// Media files for the end-to-end tests: a copy of the launcher stub with a payload behind
// its executable image, the way the builder lays one out.
#pragma once

#include <string>

#include "support/payload_bytes.h"

// The Windows build tree whose programs the tests run: $LAUNCHER_WINDOWS_TREE when set (the
// 32-bit entries point it at the shipped i686 tree), else the tree this suite was built for.
std::string windowsTree();

// The launcher.exe the end-to-end tests run: $LAUNCHER_EXE when set, else the one in the
// Windows build tree.
std::string launcherExePath();

// Whole-file helpers; they throw std::runtime_error naming the path on failure.
Bytes readFileBytes(const std::string& path);
void writeFileBytes(const std::string& path, const Bytes& bytes);

// The PE header fields that place the payload. Throws when they do not lie inside `image`.
struct PeLayout {
  uint32_t peHeader = 0;            // e_lfanew
  uint32_t sections = 0;
  uint32_t optionalHeaderSize = 0;
  uint32_t lastSectionEntry = 0;    // file offset of the last section-table entry
  uint32_t lastRawSize = 0;
  uint32_t lastRawOffset = 0;
  size_t imageEnd() const { return size_t(lastRawOffset) + lastRawSize; }
};
PeLayout peLayoutOf(const Bytes& image);

// stub[0, image end) + payload, zero-padded to a multiple of 512 bytes unless `pad` is
// false (a payload cut short must end the file for the cut to show).
Bytes composeMediaFile(const Bytes& stub, const Bytes& payload, bool pad = true);
// Writes composeMediaFile(launcher stub, payload, pad) to `outPath`.
void writeMediaFile(const std::string& outPath, const Bytes& payload, bool pad = true);
