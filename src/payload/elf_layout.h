// Where the payload starts in a Linux launcher (an x86_64 ELF image). A Windows launcher's
// payload follows the raw data of its last section-table entry; an ELF image has no such
// entry, so the payload starts where the last thing the image's headers describe ends: the
// section header table, the program header table or the file contents of any section,
// whichever ends latest. Sections that occupy no file space (.bss) are not counted.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// The first four bytes of every ELF file.
constexpr uint8_t kElfMagic[4] = {0x7f, 'E', 'L', 'F'};

// True when `bytes` (at least 4) begin with the ELF magic.
bool isElfImage(const uint8_t* bytes, size_t count);

// Reads `count` bytes at absolute offset `offset`; false when they are not all there.
using ElfReadAt = std::function<bool(int64_t offset, void* buffer, size_t count)>;

// The payload start of a 64-bit little-endian ELF image of `fileSize` bytes read through
// `readAt`. False, with `problem` saying why, for another class or byte order, or when a
// header table or a section lies outside the file (or beyond 2 GiB).
bool elfPayloadStart(const ElfReadAt& readAt, int64_t fileSize, int64_t& start, std::string& problem);
