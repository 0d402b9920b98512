#include "resource_tree.h"

#include <algorithm>

#include "binary_file.h"

namespace {

constexpr size_t kMaxDataEntries = 65536;
constexpr size_t kMaxDirectoryEntries = 1 << 20;

// Index at which an id entry belongs: after the string names, in ascending id order.
template <typename T, typename NameOf>
size_t idPosition(const std::vector<T>& items, uint16_t id, NameOf nameOf) {
  size_t i = 0;
  while (i < items.size() && (nameOf(items[i]).isString || nameOf(items[i]).id < id)) ++i;
  return i;
}

class DirectoryReader {
 public:
  DirectoryReader(const PeFile& pe, const std::string& region) : pe_(pe), region_(region) {}

  bool readRoot(ResourceTree& tree) {
    std::vector<Entry> types;
    if (!entries(0, types, "the root")) return false;
    for (const Entry& t : types) {
      if (!t.subdirectory) return fail("a type entry points at data instead of a directory");
      ResourceType type;
      type.type = t.name;
      std::vector<Entry> names;
      if (!entries(t.offset, names, "a type directory")) return false;
      for (const Entry& n : names) {
        if (!n.subdirectory) return fail("a name entry points at data instead of a directory");
        ResourceEntry entry;
        entry.name = n.name;
        std::vector<Entry> languages;
        if (!entries(n.offset, languages, "a name directory")) return false;
        for (const Entry& l : languages) {
          if (l.subdirectory || l.name.isString) return fail("a language entry is not a numbered data entry");
          ResourceData data;
          data.language = l.name.id;
          if (!readData(l.offset, data)) return false;
          entry.languages.push_back(std::move(data));
        }
        type.entries.push_back(std::move(entry));
      }
      tree.types.push_back(std::move(type));
    }
    return true;
  }

  std::string problem;

 private:
  struct Entry {
    ResourceName name;
    bool subdirectory = false;
    uint32_t offset = 0;
  };

  bool fail(const std::string& what) {
    problem = "the resource directory is malformed: " + what;
    return false;
  }
  bool inside(uint64_t offset, uint64_t size) const { return offset + size <= region_.size(); }
  const uint8_t* at(size_t offset) const { return reinterpret_cast<const uint8_t*>(region_.data()) + offset; }

  bool entries(uint32_t offset, std::vector<Entry>& out, const char* what) {
    if (!inside(offset, 16)) return fail(std::string(what) + " lies outside the resource section");
    size_t count = size_t(loadU16(at(offset + 12))) + loadU16(at(offset + 14));
    if (!inside(uint64_t(offset) + 16, 8 * uint64_t(count))) {
      return fail(std::string(what) + " has more entries than the section holds");
    }
    visited_ += count;
    if (visited_ > kMaxDirectoryEntries) return fail("more than " + std::to_string(kMaxDirectoryEntries) + " entries");
    for (size_t i = 0; i < count; ++i) {
      size_t e = offset + 16 + 8 * i;
      uint32_t nameField = loadU32(at(e));
      uint32_t target = loadU32(at(e + 4));
      Entry entry;
      if (nameField & 0x80000000u) {
        uint32_t s = nameField & 0x7FFFFFFFu;
        if (!inside(s, 2)) return fail("a name string lies outside the resource section");
        size_t length = loadU16(at(s));
        if (!inside(uint64_t(s) + 2, 2 * uint64_t(length))) return fail("a name string runs past the resource section");
        // Entries may all point at one long string: counted per entry, the copies stay within
        // the section's size instead of growing with the number of entries.
        nameBytes_ += 2 * uint64_t(length);
        if (nameBytes_ > region_.size()) return fail("the name strings add up to more bytes than the resource section holds");
        entry.name.isString = true;
        for (size_t k = 0; k < length; ++k) entry.name.text.push_back(static_cast<char16_t>(loadU16(at(s + 2 + 2 * k))));
      } else {
        if (nameField > 0xFFFF) return fail("an id is larger than 65535");
        entry.name.id = static_cast<uint16_t>(nameField);
      }
      entry.subdirectory = (target & 0x80000000u) != 0;
      entry.offset = target & 0x7FFFFFFFu;
      out.push_back(std::move(entry));
    }
    // The order lookups rely on: string names first, then ids ascending.
    std::stable_sort(out.begin(), out.end(), [](const Entry& a, const Entry& b) {
      if (a.name.isString != b.name.isString) return a.name.isString;
      return !a.name.isString && a.name.id < b.name.id;
    });
    return true;
  }

  bool readData(uint32_t offset, ResourceData& data) {
    if (!inside(offset, 16)) return fail("a data entry lies outside the resource section");
    if (++dataEntries_ > kMaxDataEntries) return fail("more than " + std::to_string(kMaxDataEntries) + " data entries");
    uint32_t address = loadU32(at(offset));
    uint32_t size = loadU32(at(offset + 4));
    data.codePage = loadU32(at(offset + 8));
    dataBytes_ += size;
    if (dataBytes_ > pe_.bytes.size()) return fail("the data entries add up to more bytes than the file holds");
    if (!pe_.readAddress(address, size, data.bytes)) {
      return fail("the data at address " + std::to_string(address) + " (" + std::to_string(size) +
                  " bytes) does not lie in a section");
    }
    return true;
  }

  const PeFile& pe_;
  const std::string& region_;
  size_t visited_ = 0;
  uint64_t nameBytes_ = 0;
  size_t dataEntries_ = 0;
  uint64_t dataBytes_ = 0;
};

void put16(std::string& b, size_t at, uint16_t v) {
  b[at] = static_cast<char>(v & 0xFF);
  b[at + 1] = static_cast<char>(v >> 8);
}

void put32(std::string& b, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) b[at + i] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

size_t align(size_t value, size_t to) { return (value + to - 1) / to * to; }

}  // namespace

const ResourceEntry* ResourceTree::find(uint16_t type, uint16_t name) const {
  for (const ResourceType& t : types) {
    if (!t.type.is(type)) continue;
    for (const ResourceEntry& e : t.entries) {
      if (e.name.is(name)) return &e;
    }
  }
  return nullptr;
}

void ResourceTree::remove(uint16_t type, uint16_t name) {
  for (auto t = types.begin(); t != types.end(); ++t) {
    if (!t->type.is(type)) continue;
    t->entries.erase(std::remove_if(t->entries.begin(), t->entries.end(),
                                    [&](const ResourceEntry& e) { return e.name.is(name); }),
                     t->entries.end());
    if (t->entries.empty()) types.erase(t);
    return;
  }
}

void ResourceTree::put(uint16_t type, uint16_t name, uint16_t language, std::string bytes, uint32_t codePage) {
  auto typeIt = std::find_if(types.begin(), types.end(), [&](const ResourceType& t) { return t.type.is(type); });
  if (typeIt == types.end()) {
    ResourceType fresh;
    fresh.type.id = type;
    typeIt = types.insert(types.begin() + idPosition(types, type, [](const ResourceType& t) { return t.type; }), fresh);
  }
  auto& entries = typeIt->entries;
  auto entryIt = std::find_if(entries.begin(), entries.end(), [&](const ResourceEntry& e) { return e.name.is(name); });
  if (entryIt == entries.end()) {
    ResourceEntry fresh;
    fresh.name.id = name;
    entryIt = entries.insert(entries.begin() + idPosition(entries, name, [](const ResourceEntry& e) { return e.name; }),
                             fresh);
  }
  auto& languages = entryIt->languages;
  auto dataIt = std::find_if(languages.begin(), languages.end(), [&](const ResourceData& d) { return d.language == language; });
  if (dataIt == languages.end()) {
    dataIt = languages.begin();
    while (dataIt != languages.end() && dataIt->language < language) ++dataIt;
    dataIt = languages.insert(dataIt, ResourceData());
  }
  dataIt->language = language;
  dataIt->codePage = codePage;
  dataIt->bytes = std::move(bytes);
}

std::vector<uint16_t> ResourceTree::idsOf(uint16_t type) const {
  std::vector<uint16_t> ids;
  for (const ResourceType& t : types) {
    if (!t.type.is(type)) continue;
    for (const ResourceEntry& e : t.entries) {
      if (!e.name.isString) ids.push_back(e.name.id);
    }
  }
  return ids;
}

bool readResourceTree(const PeFile& pe, ResourceTree& tree, std::string& problem) {
  tree = ResourceTree();
  uint32_t root = pe.directoryAddress(kDirectoryResource);
  if (root == 0 || pe.directorySize(kDirectoryResource) == 0) return true;
  int index = pe.sectionAt(root, 16);
  if (index < 0) {
    problem = "the resource directory at address " + std::to_string(root) + " lies in no section";
    return false;
  }
  const PeSection& s = pe.sections[index];
  uint32_t within = root - s.virtualAddress;
  if (within >= s.rawSize) {
    problem = "the resource directory at address " + std::to_string(root) + " has no data in the file";
    return false;
  }
  std::string region = pe.bytes.substr(s.rawOffset + within, s.rawSize - within);
  DirectoryReader reader(pe, region);
  if (!reader.readRoot(tree)) {
    problem = reader.problem;
    return false;
  }
  return true;
}

std::string writeResourceSection(const ResourceTree& tree, uint32_t sectionAddress) {
  // Directories breadth first (root, types, names), then name strings, then data entries,
  // then the data, the way resource compilers lay them out.
  size_t directories = 16 + 8 * tree.types.size();
  size_t strings = 0;
  size_t leaves = 0;
  auto stringSize = [](const ResourceName& n) { return n.isString ? align(2 + 2 * n.text.size(), 2) : 0; };
  for (const ResourceType& t : tree.types) {
    directories += 16 + 8 * t.entries.size();
    strings += stringSize(t.type);
    for (const ResourceEntry& e : t.entries) {
      directories += 16 + 8 * e.languages.size();
      strings += stringSize(e.name);
      leaves += e.languages.size();
    }
  }
  size_t stringStart = directories;
  size_t entryStart = align(stringStart + strings, 8);
  size_t dataStart = entryStart + 16 * leaves;
  size_t total = dataStart;
  for (const ResourceType& t : tree.types) {
    for (const ResourceEntry& e : t.entries) {
      for (const ResourceData& d : e.languages) total = align(total, 8) + d.bytes.size();
    }
  }
  std::string out(align(total, 8), '\0');

  size_t nextDirectory = 0, nextString = stringStart, nextEntry = entryStart, nextData = dataStart;
  auto directory = [&](size_t named, size_t numbered) {
    size_t at = nextDirectory;
    put16(out, at + 12, static_cast<uint16_t>(named));
    put16(out, at + 14, static_cast<uint16_t>(numbered));
    nextDirectory += 16 + 8 * (named + numbered);
    return at;
  };
  auto nameField = [&](const ResourceName& n) -> uint32_t {
    if (!n.isString) return n.id;
    size_t at = nextString;
    put16(out, at, static_cast<uint16_t>(n.text.size()));
    for (size_t k = 0; k < n.text.size(); ++k) put16(out, at + 2 + 2 * k, n.text[k]);
    nextString += stringSize(n);
    return 0x80000000u | static_cast<uint32_t>(at);
  };
  auto countNamed = [](const auto& items, auto nameOf) {
    size_t named = 0;
    for (const auto& item : items) named += nameOf(item).isString ? 1 : 0;
    return named;
  };
  auto typeName = [](const ResourceType& t) -> const ResourceName& { return t.type; };
  auto entryName = [](const ResourceEntry& e) -> const ResourceName& { return e.name; };

  size_t root = directory(countNamed(tree.types, typeName), tree.types.size() - countNamed(tree.types, typeName));
  std::vector<size_t> typeDirectories;
  for (size_t i = 0; i < tree.types.size(); ++i) {
    const ResourceType& t = tree.types[i];
    size_t named = countNamed(t.entries, entryName);
    size_t at = directory(named, t.entries.size() - named);
    typeDirectories.push_back(at);
    put32(out, root + 16 + 8 * i, nameField(t.type));
    put32(out, root + 16 + 8 * i + 4, 0x80000000u | static_cast<uint32_t>(at));
  }
  for (size_t i = 0; i < tree.types.size(); ++i) {
    const ResourceType& t = tree.types[i];
    for (size_t j = 0; j < t.entries.size(); ++j) {
      const ResourceEntry& e = t.entries[j];
      size_t at = directory(0, e.languages.size());
      put32(out, typeDirectories[i] + 16 + 8 * j, nameField(e.name));
      put32(out, typeDirectories[i] + 16 + 8 * j + 4, 0x80000000u | static_cast<uint32_t>(at));
      for (size_t k = 0; k < e.languages.size(); ++k) {
        const ResourceData& d = e.languages[k];
        nextData = align(nextData, 8);
        put32(out, at + 16 + 8 * k, d.language);
        put32(out, at + 16 + 8 * k + 4, static_cast<uint32_t>(nextEntry));
        put32(out, nextEntry, sectionAddress + static_cast<uint32_t>(nextData));
        put32(out, nextEntry + 4, static_cast<uint32_t>(d.bytes.size()));
        put32(out, nextEntry + 8, d.codePage);
        out.replace(nextData, d.bytes.size(), d.bytes);
        nextEntry += 16;
        nextData += d.bytes.size();
      }
    }
  }
  return out;
}
