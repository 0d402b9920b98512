// Helpers of the resource, signing and Windows-builder tests: icon files and PE stubs made
// by hand from the file formats (sharing no code with the builder), a reader of the
// version resource, a check of the layout rules Windows loads images by, and running the
// independent tools (wrestool, objdump, openssl, osslsigncode) and Windows programs.
#pragma once

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <chrono>
#include <cstdlib>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "media_fixture.h"
#include "support/media_files.h"
#include "support/wine_run.h"

namespace mediatest {

// ---- icon files ----------------------------------------------------------------------

struct IcoImage {
  int size = 32;          // width and height in pixels
  uint32_t rgb = 0xFF0000;
  bool png = false;       // a PNG image instead of a 32-bit DIB
};

inline void add16(std::string& b, uint16_t v) {
  b.push_back(static_cast<char>(v & 0xFF));
  b.push_back(static_cast<char>(v >> 8));
}
inline void add32(std::string& b, uint32_t v) {
  for (int i = 0; i < 4; ++i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}
inline void addBig32(std::string& b, uint32_t v) {
  for (int i = 3; i >= 0; --i) b.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 32-bit DIB as icons store it: header with twice the height, BGRA rows, an empty mask.
inline std::string iconBitmap(int size, uint32_t rgb) {
  std::string b;
  add32(b, 40);
  add32(b, static_cast<uint32_t>(size));
  add32(b, static_cast<uint32_t>(size * 2));
  add16(b, 1);
  add16(b, 32);
  for (int i = 0; i < 6; ++i) add32(b, 0);
  for (int i = 0; i < size * size; ++i) {
    b.push_back(static_cast<char>(rgb & 0xFF));
    b.push_back(static_cast<char>((rgb >> 8) & 0xFF));
    b.push_back(static_cast<char>((rgb >> 16) & 0xFF));
    b.push_back('\xFF');
  }
  b.append(static_cast<size_t>((size + 31) / 32 * 4 * size), '\0');
  return b;
}

inline std::string pngChunk(const std::string& type, const std::string& data) {
  std::string c;
  addBig32(c, static_cast<uint32_t>(data.size()));
  std::string body = type + data;
  c += body;
  addBig32(c, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(body.data()), static_cast<uInt>(body.size()))));
  return c;
}

// An RGBA PNG of one colour.
inline std::string iconPng(int size, uint32_t rgb) {
  std::string header;
  addBig32(header, static_cast<uint32_t>(size));
  addBig32(header, static_cast<uint32_t>(size));
  header += std::string("\x08\x06\x00\x00\x00", 5);
  std::string raw;
  for (int y = 0; y < size; ++y) {
    raw.push_back('\0');  // filter: none
    for (int x = 0; x < size; ++x) {
      raw.push_back(static_cast<char>((rgb >> 16) & 0xFF));
      raw.push_back(static_cast<char>((rgb >> 8) & 0xFF));
      raw.push_back(static_cast<char>(rgb & 0xFF));
      raw.push_back('\xFF');
    }
  }
  uLongf length = compressBound(static_cast<uLong>(raw.size()));
  std::string packed(length, '\0');
  compress(reinterpret_cast<Bytef*>(&packed[0]), &length, reinterpret_cast<const Bytef*>(raw.data()),
           static_cast<uLong>(raw.size()));
  packed.resize(length);
  return std::string("\x89PNG\r\n\x1a\n", 8) + pngChunk("IHDR", header) + pngChunk("IDAT", packed) +
         pngChunk("IEND", "");
}

// An .ico file: directory, then the images in order.
inline std::string makeIco(const std::vector<IcoImage>& images) {
  std::vector<std::string> data;
  for (const IcoImage& i : images) data.push_back(i.png ? iconPng(i.size, i.rgb) : iconBitmap(i.size, i.rgb));
  std::string b;
  add16(b, 0);
  add16(b, 1);
  add16(b, static_cast<uint16_t>(images.size()));
  uint32_t offset = static_cast<uint32_t>(6 + 16 * images.size());
  for (size_t k = 0; k < images.size(); ++k) {
    b.push_back(static_cast<char>(images[k].size >= 256 ? 0 : images[k].size));
    b.push_back(static_cast<char>(images[k].size >= 256 ? 0 : images[k].size));
    b.push_back('\0');
    b.push_back('\0');
    add16(b, 1);
    add16(b, 32);
    add32(b, static_cast<uint32_t>(data[k].size()));
    add32(b, offset);
    offset += static_cast<uint32_t>(data[k].size());
  }
  for (const std::string& d : data) b += d;
  return b;
}

// ---- resource sections, written from the directory format --------------------------

// A type or name: a number, or a string when `text` is not empty.
struct ResName {
  uint16_t id = 0;
  std::string text;
  ResName(int number) : id(static_cast<uint16_t>(number)) {}
  ResName(const char* s) : text(s) {}
};
struct Res {
  ResName type, name;
  uint16_t language;
  std::string data;
};

// Lays out `resources` (grouped by type, then name, in the order given; ids and strings
// as the caller sorted them) for a section at `address`.
inline std::string resourceSection(const std::vector<Res>& resources, uint32_t address) {
  struct Name { std::string key; ResName name; std::vector<const Res*> items; };
  struct Type { std::string key; ResName type; std::vector<Name> names; };
  auto keyOf = [](const ResName& n) { return n.text.empty() ? "#" + std::to_string(n.id) : n.text; };
  std::vector<Type> types;
  for (const Res& r : resources) {
    Type* t = nullptr;
    for (Type& x : types) t = x.key == keyOf(r.type) ? &x : t;
    if (!t) t = &(types.push_back(Type{keyOf(r.type), r.type, {}}), types.back());
    Name* n = nullptr;
    for (Name& x : t->names) n = x.key == keyOf(r.name) ? &x : n;
    if (!n) n = &(t->names.push_back(Name{keyOf(r.name), r.name, {}}), t->names.back());
    n->items.push_back(&r);
  }
  size_t dirs = 16 + 8 * types.size();
  for (const Type& t : types) {
    dirs += 16 + 8 * t.names.size();
    for (const Name& n : t.names) dirs += 16 + 8 * n.items.size();
  }
  std::string out(dirs, '\0');
  size_t next = 0;
  auto directory = [&](size_t named, size_t ids) {
    size_t at = next;
    put16(out, at + 12, static_cast<uint16_t>(named));
    put16(out, at + 14, static_cast<uint16_t>(ids));
    next += 16 + 8 * (named + ids);
    return at;
  };
  auto nameField = [&](const ResName& n) -> uint32_t {
    if (n.text.empty()) return n.id;
    uint32_t at = static_cast<uint32_t>(out.size());
    add16(out, static_cast<uint16_t>(n.text.size()));
    for (char c : n.text) add16(out, static_cast<uint8_t>(c));
    return 0x80000000u | at;
  };
  auto namedCount = [](const auto& items, auto get) {
    size_t k = 0;
    for (const auto& i : items) k += get(i).text.empty() ? 0 : 1;
    return k;
  };
  auto typeOf = [](const Type& t) { return t.type; };
  auto nameOf = [](const Name& n) { return n.name; };
  size_t root = directory(namedCount(types, typeOf), types.size() - namedCount(types, typeOf));
  std::vector<size_t> typeDirs;
  for (size_t i = 0; i < types.size(); ++i) {
    size_t named = namedCount(types[i].names, nameOf);
    typeDirs.push_back(directory(named, types[i].names.size() - named));
  }
  std::vector<std::pair<size_t, const Res*>> leaves;
  for (size_t i = 0; i < types.size(); ++i) {
    put32(out, root + 16 + 8 * i, nameField(types[i].type));
    put32(out, root + 20 + 8 * i, 0x80000000u | static_cast<uint32_t>(typeDirs[i]));
    for (size_t j = 0; j < types[i].names.size(); ++j) {
      const Name& n = types[i].names[j];
      size_t at = directory(0, n.items.size());
      put32(out, typeDirs[i] + 16 + 8 * j, nameField(n.name));
      put32(out, typeDirs[i] + 20 + 8 * j, 0x80000000u | static_cast<uint32_t>(at));
      for (size_t k = 0; k < n.items.size(); ++k) {
        put32(out, at + 16 + 8 * k, n.items[k]->language);
        leaves.emplace_back(at + 20 + 8 * k, n.items[k]);
      }
    }
  }
  while (out.size() % 4) out.push_back('\0');
  size_t entries = out.size();
  out.append(16 * leaves.size(), '\0');
  for (size_t k = 0; k < leaves.size(); ++k) {
    put32(out, leaves[k].first, static_cast<uint32_t>(entries + 16 * k));
    while (out.size() % 8) out.push_back('\0');
    put32(out, entries + 16 * k, address + static_cast<uint32_t>(out.size()));
    put32(out, entries + 16 * k + 4, static_cast<uint32_t>(leaves[k].second->data.size()));
    out += leaves[k].second->data;
  }
  return out;
}

// A group icon directory listing RT_ICON `ids`, each a 16x16 32-bit image.
inline std::string groupOf(const std::vector<uint16_t>& ids) {
  std::string g;
  add16(g, 0);
  add16(g, 1);
  add16(g, static_cast<uint16_t>(ids.size()));
  for (uint16_t id : ids) {
    g += std::string("\x10\x10\x00\x00", 4);
    add16(g, 1);
    add16(g, 32);
    add32(g, static_cast<uint32_t>(iconBitmap(16, 0).size()));
    add16(g, id);
  }
  return g;
}

// The resources of the hand-made stubs: one with string type and name (string names come
// first in a directory), the launcher's icon group 1001 (RT_ICON 1 and 2) in `language`, a
// second group 2000 that shares RT_ICON 2 and has RT_ICON 3, a dialog and a manifest.
inline std::vector<Res> stubResources(uint16_t language = 1033) {
  return {
      {"MYDATA", "BLOB", 1033, "blob bytes"},
      {3, 1, language, iconBitmap(16, 0x111111)},
      {3, 2, language, iconBitmap(16, 0x222222)},
      {3, 3, 1033, iconBitmap(16, 0x333333)},
      {5, 103, 1033, "dialog 103 template"},
      {14, 1001, language, groupOf({1, 2})},
      {14, 2000, 1033, groupOf({2, 3})},
      {24, 1, 1033, "<assembly/>"},
  };
}

// ---- hand-made PE stubs ---------------------------------------------------------------

// Sections, in order: .text (code), .rsrc (unless withoutResources), .data (when
// dataAfterResources), .reloc (when withRelocations). File alignment 0x200, section
// alignment 0x1000; the import directory points into .text.
struct PeShape {
  bool pe32plus = false;
  bool withoutResources = false;
  bool dataAfterResources = false;
  bool withRelocations = true;
  bool fullHeaders = false;       // SizeOfHeaders leaves no room for another section header
  uint32_t checksum = 0;
  std::vector<Res> resources = stubResources();
  std::string rawResources;       // when set: the .rsrc bytes as given
};

constexpr uint32_t kPeFileAlignment = 0x200;
constexpr uint32_t kPeSectionAlignment = 0x1000;
inline const std::string kRelocations = std::string("\x00\x10\x00\x00\x10\x00\x00\x00\x08\x30\x10\x30\x00\x00\x00\x00", 16);

inline uint32_t alignTo(uint64_t v, uint32_t a) { return static_cast<uint32_t>((v + a - 1) / a * a); }

inline std::string makePe(const PeShape& shape) {
  struct Sec { std::string name, data; uint32_t flags; int directory; };
  std::vector<Sec> secs = {{".text", std::string(0x300, '\xCC'), 0x60000020u, -1}};
  if (!shape.withoutResources) secs.push_back({".rsrc", "", 0x40000040u, 2});
  if (shape.dataAfterResources) secs.push_back({".data", std::string(0x80, 'd'), 0xC0000040u, -1});
  if (shape.withRelocations) secs.push_back({".reloc", kRelocations, 0x42000040u, 5});
  uint32_t opt = shape.pe32plus ? 0xF0 : 0xE0;
  uint32_t headers = 0x400;
  // With full headers the section table ends exactly where the headers do.
  size_t h = shape.fullHeaders ? headers - 40 * secs.size() - 24 - opt : 0x80;
  size_t table = h + 24 + opt;
  std::string b(headers, '\0');
  b[0] = 'M';
  b[1] = 'Z';
  put32(b, 60, static_cast<uint32_t>(h));
  b.replace(h, 4, std::string("PE\0\0", 4));
  put16(b, h + 4, shape.pe32plus ? 0x8664 : 0x14C);
  put16(b, h + 6, static_cast<uint16_t>(secs.size()));
  put16(b, h + 20, static_cast<uint16_t>(opt));
  put16(b, h + 22, shape.pe32plus ? 0x0022 : 0x0102);
  size_t o = h + 24;
  put16(b, o, shape.pe32plus ? 0x20B : 0x10B);
  put32(b, o + 16, 0x1000);  // entry point
  put32(b, o + 32, kPeSectionAlignment);
  put32(b, o + 36, kPeFileAlignment);
  put16(b, o + 40, 6);       // OS version 6.0
  put16(b, o + 48, 6);       // subsystem version
  put32(b, o + 60, headers);
  put32(b, o + 64, shape.checksum);
  put16(b, o + 68, 2);       // GUI
  size_t dirs = o + (shape.pe32plus ? 112 : 96);
  put32(b, dirs - 4, 16);
  put32(b, dirs + 8, 0x1100);  // import directory inside .text
  put32(b, dirs + 12, 0x28);
  uint32_t address = kPeSectionAlignment;
  for (size_t i = 0; i < secs.size(); ++i) {
    Sec& s = secs[i];
    if (s.directory == 2) {
      s.data = shape.rawResources.empty() ? resourceSection(shape.resources, address) : shape.rawResources;
    }
    uint32_t raw = static_cast<uint32_t>(b.size());
    size_t h = table + 40 * i;
    b.replace(h, s.name.size(), s.name);
    put32(b, h + 8, static_cast<uint32_t>(s.data.size()));
    put32(b, h + 12, address);
    put32(b, h + 16, alignTo(s.data.size(), kPeFileAlignment));
    put32(b, h + 20, raw);
    put32(b, h + 36, s.flags);
    if (s.directory >= 0) {
      put32(b, dirs + 8 * s.directory, address);
      put32(b, dirs + 8 * s.directory + 4, static_cast<uint32_t>(s.data.size()));
    }
    b += s.data;
    b.resize(raw + alignTo(s.data.size(), kPeFileAlignment), '\0');
    address += alignTo(s.data.size(), kPeSectionAlignment);
  }
  put32(b, o + 56, address);  // SizeOfImage
  return b;
}

// ---- reading images back ----------------------------------------------------------------

struct PeSectionView {
  std::string name;
  uint32_t virtualSize, address, rawSize, rawOffset;
};
struct PeView {
  bool pe32plus = false;
  uint32_t sectionAlignment = 0, fileAlignment = 0, imageSize = 0, headersSize = 0, checksum = 0;
  size_t checksumOffset = 0;
  std::vector<std::pair<uint32_t, uint32_t>> directories;
  std::vector<PeSectionView> sections;
  size_t imageEnd() const { return sections.back().rawOffset + size_t(sections.back().rawSize); }
  const PeSectionView* sectionAt(uint32_t address) const {
    for (const auto& s : sections) {
      if (address >= s.address && address < s.address + std::max(s.virtualSize, s.rawSize)) return &s;
    }
    return nullptr;
  }
};

inline PeView viewPe(const std::string& f) {
  PeView v;
  size_t h = get32(f, 60);
  size_t n = get32(f, h + 6) & 0xFFFF;
  size_t opt = get32(f, h + 20) & 0xFFFF;
  size_t o = h + 24;
  v.pe32plus = (get32(f, o) & 0xFFFF) == 0x20B;
  v.sectionAlignment = get32(f, o + 32);
  v.fileAlignment = get32(f, o + 36);
  v.imageSize = get32(f, o + 56);
  v.headersSize = get32(f, o + 60);
  v.checksumOffset = o + 64;
  v.checksum = get32(f, o + 64);
  size_t dirs = o + (v.pe32plus ? 112 : 96);
  for (uint32_t i = 0; i < get32(f, dirs - 4) && i < 16; ++i) {
    v.directories.emplace_back(get32(f, dirs + 8 * i), get32(f, dirs + 8 * i + 4));
  }
  for (size_t i = 0; i < n; ++i) {
    size_t e = o + opt + 40 * i;
    std::string name = f.substr(e, 8);
    name = name.substr(0, name.find('\0'));
    v.sections.push_back({name, get32(f, e + 8), get32(f, e + 12), get32(f, e + 16), get32(f, e + 20)});
  }
  return v;
}

// The rules Windows loads an image by that an edit could break; empty when all hold.
inline std::vector<std::string> layoutFaults(const std::string& f) {
  std::vector<std::string> faults;
  PeView v = viewPe(f);
  uint32_t expected = alignTo(v.headersSize, v.sectionAlignment);
  for (const auto& s : v.sections) {
    if (s.address != expected) faults.push_back(s.name + ": address " + std::to_string(s.address) + ", expected " + std::to_string(expected));
    expected = alignTo(s.address + uint64_t(std::max(s.virtualSize, s.rawSize)), v.sectionAlignment);
    if (s.rawSize % v.fileAlignment || s.rawOffset % v.fileAlignment) faults.push_back(s.name + ": raw data not aligned");
    if (s.rawOffset + size_t(s.rawSize) > f.size()) faults.push_back(s.name + ": raw data outside the file");
  }
  if (v.imageSize != expected) faults.push_back("SizeOfImage " + std::to_string(v.imageSize) + ", expected " + std::to_string(expected));
  for (size_t d : {size_t(2), size_t(5)}) {
    if (d < v.directories.size() && v.directories[d].second && !v.sectionAt(v.directories[d].first)) {
      faults.push_back("directory " + std::to_string(d) + " points outside every section");
    }
  }
  return faults;
}

// The PE checksum computed word by word, the checksum field read as zero.
inline uint32_t referencePeChecksum(std::string f) {
  PeView v = viewPe(f);
  put32(f, v.checksumOffset, 0);
  uint64_t length = f.size();
  if (f.size() % 2) f.push_back('\0');
  uint32_t sum = 0;
  for (size_t i = 0; i < f.size(); i += 2) {
    sum += static_cast<uint8_t>(f[i]) | static_cast<uint8_t>(f[i + 1]) << 8;
    sum = (sum & 0xFFFF) + (sum >> 16);
  }
  sum = (sum & 0xFFFF) + (sum >> 16);
  return static_cast<uint32_t>(sum + length);
}

// A version resource read block by block: the fixed versions and every string, keyed
// "StringFileInfo/040904b0/CompanyName" (table key as stored), plus the translation.
struct VersionView {
  bool ok = false;
  uint32_t fileMs = 0, fileLs = 0, productMs = 0, productLs = 0, fileType = 0;
  std::map<std::string, std::u16string> strings;
  std::string translation;  // raw 4 bytes
};

inline std::string asciiOf(const std::u16string& s) { return std::string(s.begin(), s.end()); }
inline uint16_t get16(const std::string& b, size_t at) {
  return static_cast<uint16_t>(static_cast<uint8_t>(b.at(at)) | static_cast<uint8_t>(b.at(at + 1)) << 8);
}

inline void readVersionBlock(const std::string& b, size_t at, size_t end, const std::string& path, VersionView& v) {
  if (at + 6 > end) return;
  size_t length = get16(b, at);
  size_t valueLength = get16(b, at + 2);
  bool text = get16(b, at + 4) == 1;
  size_t blockEnd = std::min(end, at + length);
  std::u16string key;
  size_t p = at + 6;
  while (p + 1 < blockEnd && (b[p] || b[p + 1])) {
    key.push_back(char16_t(uint8_t(b[p]) | uint8_t(b[p + 1]) << 8));
    p += 2;
  }
  p = (p + 2 + 3) / 4 * 4;
  std::string name = path.empty() ? asciiOf(key) : path + "/" + asciiOf(key);
  size_t valueBytes = text ? 2 * valueLength : valueLength;
  if (name == "VS_VERSION_INFO" && valueBytes >= 52 && get32(b, p) == 0xFEEF04BDu) {
    v.ok = true;
    v.fileMs = get32(b, p + 8);
    v.fileLs = get32(b, p + 12);
    v.productMs = get32(b, p + 16);
    v.productLs = get32(b, p + 20);
    v.fileType = get32(b, p + 36);
  } else if (text && valueLength > 0) {
    std::u16string value;
    for (size_t k = 0; k + 1 < valueLength; ++k) value.push_back(char16_t(get16(b, p + 2 * k)));
    v.strings[name.substr(name.find('/') + 1)] = value;
  } else if (asciiOf(key) == "Translation") {
    v.translation = b.substr(p, valueBytes);
  }
  p = (p + valueBytes + 3) / 4 * 4;
  while (p + 6 <= blockEnd) {
    size_t child = get16(b, p);
    if (child == 0) break;
    readVersionBlock(b, p, blockEnd, name, v);
    p = (p + child + 3) / 4 * 4;
  }
}

inline VersionView readVersion(const std::string& resource) {
  VersionView v;
  readVersionBlock(resource, 0, resource.size(), "", v);
  return v;
}

// ---- other programs ---------------------------------------------------------------------

struct ProgramRun {
  int code = -1;   // exit code; -1 when it could not start or was killed
  std::string out, err;
};

// Runs a host program (found on PATH) with output captured through files, killed after
// `timeoutMs`.
inline ProgramRun runProgram(const std::vector<std::string>& argv, int timeoutMs = 60000) {
  ProgramRun r;
  TempDir dir;
  std::string outPath = dir / "out", errPath = dir / "err";
  pid_t pid = fork();
  if (pid == 0) {
    int in = open("/dev/null", O_RDONLY);
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(in, 0);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
  int status = 0;
  while (waitpid(pid, &status, WNOHANG) == 0) {
    if (std::chrono::steady_clock::now() > deadline) {
      kill(pid, SIGKILL);
      waitpid(pid, &status, 0);
      return r;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.out = readFile(outPath);
  r.err = readFile(errPath);
  return r;
}

inline bool haveProgram(const std::string& name) {
  return runProgram({"sh", "-c", "command -v " + name}).code == 0;
}

// The shipped i686 stub: $LAUNCHER_I686_STUB, else launcher.exe of the i686 tree beside
// the x86_64 one (build/win32 beside build/win64).
inline std::string i686Stub() {
  if (const char* env = std::getenv("LAUNCHER_I686_STUB")) return env;
  std::string tree = windowsTree();
  if (tree.size() >= 5 && tree.compare(tree.size() - 5, 5, "win64") == 0) tree.replace(tree.size() - 5, 5, "win32");
  return tree + "/launcher.exe";
}

// Starts the test Wine prefix's server once (idempotent), so Windows programs start fast.
inline void wineReady() {
  static bool done = false;
  if (done) return;
  done = true;
  runProgram({LAUNCHER_SOURCE_DIR "/scripts/wine-up.sh"}, 300000);
}

inline WineResult runWindows(const std::string& program, const std::vector<std::string>& args,
                             const std::string& workingDirectory = "", int timeoutMs = 60000) {
  wineReady();
  WineCommand command;
  command.program = program;
  command.args = args;
  command.workingDirectory = workingDirectory;
  command.timeoutMs = timeoutMs;
  return runUnderWine(command);
}

}  // namespace mediatest
