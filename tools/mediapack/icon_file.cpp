#include "icon_file.h"

#include <algorithm>

#include "binary_file.h"

namespace {

const char kPngSignature[] = "\x89PNG\r\n\x1a\n";

uint32_t loadBigU32(const uint8_t* p) {
  return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]);
}

std::string size(uint32_t w, uint32_t h) { return std::to_string(w) + "x" + std::to_string(h); }

std::string describe(size_t index, const IconImage& image) {
  return "image " + std::to_string(index + 1) + " (" + size(image.width, image.height) + ") ";
}

// Checks a DIB image against its directory entry; fills planes and bit count when 0.
bool checkBitmap(IconImage& image, std::string& problem) {
  const std::string& d = image.data;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(d.data());
  if (d.size() < 40) {
    problem = "holds " + std::to_string(d.size()) + " bytes, fewer than a bitmap header";
    return false;
  }
  uint32_t headerSize = loadU32(p);
  int32_t width = static_cast<int32_t>(loadU32(p + 4));
  int32_t height = static_cast<int32_t>(loadU32(p + 8));
  uint16_t planes = loadU16(p + 12);
  uint16_t bits = loadU16(p + 14);
  uint32_t compression = loadU32(p + 16);
  uint32_t colorsUsed = loadU32(p + 32);
  if (headerSize != 40) {
    problem = "is neither a PNG nor a bitmap with a 40-byte header (header size " + std::to_string(headerSize) + ")";
    return false;
  }
  if (width <= 0 || width > 256 || height <= 0 || height % 2 != 0 || height / 2 > 256) {
    problem = "has a bitmap of " + std::to_string(width) + " by " + std::to_string(height) +
              " pixels; an icon bitmap is 1 to 256 pixels wide and twice its height high (colours and mask)";
    return false;
  }
  uint32_t w = static_cast<uint32_t>(width), h = static_cast<uint32_t>(height / 2);
  if (w != image.width || h != image.height) {
    problem = "is listed as " + size(image.width, image.height) + " but its bitmap is " + size(w, h);
    return false;
  }
  static const uint16_t kBitCounts[] = {1, 4, 8, 16, 24, 32};
  if (planes != 1 || std::find(std::begin(kBitCounts), std::end(kBitCounts), bits) == std::end(kBitCounts)) {
    problem = "has a bitmap with " + std::to_string(planes) + " planes of " + std::to_string(bits) +
              " bits; icons use one plane of 1, 4, 8, 16, 24 or 32 bits";
    return false;
  }
  if (compression != 0) {
    problem = "has a compressed bitmap (compression " + std::to_string(compression) + "); icons use uncompressed ones";
    return false;
  }
  uint64_t palette = bits <= 8 ? (colorsUsed != 0 ? colorsUsed : 1u << bits) : colorsUsed;
  if (bits <= 8 && palette > (1u << bits)) {
    problem = "declares " + std::to_string(colorsUsed) + " palette colours for " + std::to_string(bits) + "-bit pixels";
    return false;
  }
  uint64_t colorRow = (uint64_t(w) * bits + 31) / 32 * 4;
  uint64_t maskRow = (uint64_t(w) + 31) / 32 * 4;
  uint64_t needed = 40 + 4 * palette + (colorRow + maskRow) * h;
  if (needed > d.size()) {
    problem = "holds " + std::to_string(d.size()) + " bytes but its " + std::to_string(bits) +
              "-bit bitmap with mask needs " + std::to_string(needed);
    return false;
  }
  if (image.planes == 0) image.planes = 1;
  if (image.bitCount == 0) image.bitCount = bits;
  return true;
}

bool checkPng(IconImage& image, std::string& problem) {
  const std::string& d = image.data;
  const uint8_t* p = reinterpret_cast<const uint8_t*>(d.data());
  if (d.size() < 33 || d.compare(12, 4, "IHDR") != 0 || loadBigU32(p + 8) != 13) {
    problem = "is a PNG without its header chunk";
    return false;
  }
  uint32_t w = loadBigU32(p + 16), h = loadBigU32(p + 20);
  if (w == 0 || h == 0 || w > 256 || h > 256) {
    problem = "is a PNG of " + size(w, h) + " pixels; icon images are 1 to 256 pixels each way";
    return false;
  }
  if (w != image.width || h != image.height) {
    problem = "is listed as " + size(image.width, image.height) + " but its PNG is " + size(w, h);
    return false;
  }
  uint8_t depth = p[24], colorType = p[25];
  int channels = colorType == 0 ? 1 : colorType == 2 ? 3 : colorType == 3 ? 1 : colorType == 4 ? 2 : colorType == 6 ? 4 : 0;
  if (channels == 0) {
    problem = "is a PNG with the unknown colour type " + std::to_string(colorType);
    return false;
  }
  if (image.planes == 0) image.planes = 1;
  if (image.bitCount == 0) image.bitCount = static_cast<uint16_t>(depth * channels);
  return true;
}

}  // namespace

bool parseIconFile(const std::string& bytes, std::vector<IconImage>& images, std::string& problem) {
  images.clear();
  const uint8_t* p = reinterpret_cast<const uint8_t*>(bytes.data());
  if (bytes.size() < 6 || loadU16(p) != 0 || (loadU16(p + 2) != 1 && loadU16(p + 2) != 2)) {
    problem = "not an icon file (it does not begin with an icon directory)";
    return false;
  }
  if (loadU16(p + 2) == 2) {
    problem = "a cursor file, not an icon file";
    return false;
  }
  size_t count = loadU16(p + 4);
  if (count == 0) {
    problem = "the icon file holds no images";
    return false;
  }
  size_t directoryEnd = 6 + 16 * count;
  if (directoryEnd > bytes.size()) {
    problem = "the directory of " + std::to_string(count) + " images runs past the end of the file (" +
              std::to_string(bytes.size()) + " bytes)";
    return false;
  }
  if (count > kMaxIconImages) {
    problem = "the icon file lists " + std::to_string(count) + " images, more than " +
              std::to_string(kMaxIconImages);
    return false;
  }
  struct Range {
    uint64_t begin, end;
    size_t index;
  };
  std::vector<Range> ranges;
  for (size_t i = 0; i < count; ++i) {
    const uint8_t* e = p + 6 + 16 * i;
    IconImage image;
    image.width = e[0] == 0 ? 256 : e[0];
    image.height = e[1] == 0 ? 256 : e[1];
    image.colorCount = e[2];
    image.planes = loadU16(e + 4);
    image.bitCount = loadU16(e + 6);
    uint32_t length = loadU32(e + 8);
    uint32_t offset = loadU32(e + 12);
    if (length == 0 || offset < directoryEnd || uint64_t(offset) + length > bytes.size()) {
      problem = describe(i, image) + "lies outside the file: " + std::to_string(length) + " bytes at offset " +
                std::to_string(offset) + " of " + std::to_string(bytes.size());
      images.clear();
      return false;
    }
    ranges.push_back({offset, uint64_t(offset) + length, i});
    images.push_back(std::move(image));
  }
  // Images that share bytes are refused: it keeps the resources no larger than the file.
  std::sort(ranges.begin(), ranges.end(), [](const Range& a, const Range& b) { return a.begin < b.begin; });
  for (size_t k = 1; k < ranges.size(); ++k) {
    if (ranges[k].begin < ranges[k - 1].end) {
      size_t i = std::max(ranges[k].index, ranges[k - 1].index);
      problem = describe(i, images[i]) + "overlaps image " + std::to_string(std::min(ranges[k].index, ranges[k - 1].index) + 1);
      images.clear();
      return false;
    }
  }
  for (const Range& r : ranges) {
    IconImage& image = images[r.index];
    image.data = bytes.substr(r.begin, r.end - r.begin);
    image.png = image.data.compare(0, 8, std::string(kPngSignature, 8)) == 0;
  }
  for (size_t i = 0; i < images.size(); ++i) {
    std::string fault;
    if (!(images[i].png ? checkPng(images[i], fault) : checkBitmap(images[i], fault))) {
      problem = describe(i, images[i]) + fault;
      images.clear();
      return false;
    }
  }
  return true;
}

bool readIconFile(const std::string& path, std::vector<IconImage>& images, std::string& problem) {
  InputFile file;
  std::string error;
  if (!file.open(path, error)) {
    problem = "cannot read it: " + error;
    return false;
  }
  if (file.size() > int64_t(kMaxIconFileBytes)) {
    problem = "it has " + std::to_string(file.size()) + " bytes, more than an icon file may (" +
              std::to_string(kMaxIconFileBytes) + ")";
    return false;
  }
  std::string bytes(static_cast<size_t>(file.size()), '\0');
  if (!file.readAt(0, bytes.data(), bytes.size())) {
    problem = "cannot read it";
    return false;
  }
  return parseIconFile(bytes, images, problem);
}

std::string groupIconResource(const std::vector<IconImage>& images, const std::vector<uint16_t>& ids) {
  std::string out;
  auto u16 = [&](uint16_t v) {
    out.push_back(static_cast<char>(v & 0xFF));
    out.push_back(static_cast<char>(v >> 8));
  };
  u16(0);
  u16(1);
  u16(static_cast<uint16_t>(images.size()));
  for (size_t i = 0; i < images.size(); ++i) {
    const IconImage& image = images[i];
    out.push_back(static_cast<char>(image.width >= 256 ? 0 : image.width));
    out.push_back(static_cast<char>(image.height >= 256 ? 0 : image.height));
    out.push_back(static_cast<char>(image.colorCount));
    out.push_back('\0');
    u16(image.planes);
    u16(image.bitCount);
    appendU32(out, static_cast<uint32_t>(image.data.size()));
    u16(ids[i]);
  }
  return out;
}
