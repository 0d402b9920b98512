// Icon files (.ico) for the media file's icon: read and checked image by image, and turned
// into the two resource kinds Windows loads icons from (one RT_ICON per image and the
// RT_GROUP_ICON directory that lists them).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

// One image of an icon file, with the directory fields that Windows chooses images by.
struct IconImage {
  uint32_t width = 0;    // pixels, 1 to 256 (the directory stores 256 as 0)
  uint32_t height = 0;
  uint8_t colorCount = 0;
  uint16_t planes = 0;
  uint16_t bitCount = 0;
  bool png = false;
  std::string data;      // the image as stored: a DIB (header, palette, colour bits, mask) or a PNG
};

constexpr size_t kMaxIconFileBytes = 16 << 20;
constexpr size_t kMaxIconImages = 1024;

// Parses the bytes of an .ico file. Every image must lie inside the file without
// overlapping the others and be a complete DIB or a PNG whose size matches its directory
// entry. Planes and bit count left 0 in the directory are taken from the image itself.
// False with `problem` describing the first fault ("image 2 (32x32): ...").
bool parseIconFile(const std::string& bytes, std::vector<IconImage>& images, std::string& problem);

// Reads `path` (at most kMaxIconFileBytes) and parses it; `problem` does not name the file.
bool readIconFile(const std::string& path, std::vector<IconImage>& images, std::string& problem);

// The RT_GROUP_ICON resource listing `images` under the RT_ICON ids `ids` (same order).
std::string groupIconResource(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids);
