#include "stub_resources.h"

#include <set>

#include "binary_file.h"

namespace {

constexpr uint32_t kResourceSectionFlags = 0x40000040u;  // initialised data, readable

// The RT_ICON ids a group directory lists (as many as fit in its bytes).
void iconIdsOf(const std::string& group, std::set<uint16_t>& ids) {
  const uint8_t* p = reinterpret_cast<const uint8_t*>(group.data());
  if (group.size() < 6) return;
  size_t count = loadU16(p + 4);
  for (size_t i = 0; i < count && 6 + 14 * (i + 1) <= group.size(); ++i) ids.insert(loadU16(p + 6 + 14 * i + 12));
}

void addToInitialisedSize(PeFile& pe, int64_t delta) {
  size_t at = pe.optionalHeader + 8;
  uint32_t value = loadU32(reinterpret_cast<const uint8_t*>(pe.bytes.data()) + at);
  value = static_cast<uint32_t>(int64_t(value) + delta);
  for (int i = 0; i < 4; ++i) pe.bytes[at + i] = static_cast<char>((value >> (8 * i)) & 0xFF);
}

std::string padded(std::string data, uint32_t alignment) {
  data.resize(alignUp(static_cast<uint32_t>(data.size()), alignment), '\0');
  return data;
}

// Whether the resource section can be rebuilt where it is: it starts with the resource
// directory, holds nothing another directory points at, and is followed at most by the
// base relocation section, which may move because nothing addresses it but its directory.
bool rebuildableInPlace(const PeFile& pe, int r) {
  const PeSection& rs = pe.sections[r];
  if (rs.virtualAddress != pe.directoryAddress(kDirectoryResource) || rs.rawSize == 0) return false;
  size_t tail = pe.sections.size() - size_t(r) - 1;
  if (tail > 1) return false;
  if (tail == 1) {
    const PeSection& reloc = pe.sections.back();
    if (reloc.virtualAddress != pe.directoryAddress(kDirectoryBaseReloc) || reloc.rawSize == 0 ||
        pe.directorySize(kDirectoryBaseReloc) > reloc.memorySize()) {
      return false;
    }
  }
  for (uint32_t d = 0; d < pe.directoryCount; ++d) {
    if (d == kDirectoryResource || d == kDirectorySecurity || (d == kDirectoryBaseReloc && tail == 1)) continue;
    if (pe.directorySize(static_cast<int>(d)) == 0) continue;
    int at = pe.sectionAt(pe.directoryAddress(static_cast<int>(d)));
    if (at < 0 || at >= r) return false;
  }
  return true;
}

}  // namespace

bool applyResourceChanges(ResourceTree& tree, const ResourceChanges& changes, std::string& problem) {
  if (!changes.icon.empty()) {
    uint16_t language = 0;
    std::set<uint16_t> oldImages, shared;
    for (const ResourceType& type : tree.types) {
      if (!type.type.is(kResourceGroupIcon)) continue;
      for (const ResourceEntry& group : type.entries) {
        bool ours = group.name.is(kInstallerIconGroup);
        for (const ResourceData& d : group.languages) iconIdsOf(d.bytes, ours ? oldImages : shared);
        if (ours && !group.languages.empty()) language = group.languages.front().language;
      }
    }
    tree.remove(kResourceGroupIcon, kInstallerIconGroup);
    for (uint16_t id : oldImages) {
      if (!shared.count(id)) tree.remove(kResourceIcon, id);
    }
    std::vector<uint16_t> used = tree.idsOf(kResourceIcon);
    std::set<uint16_t> taken(used.begin(), used.end());
    std::vector<uint16_t> ids;
    uint32_t next = 1;
    for (const IconImage& image : changes.icon) {
      while (next <= 0xFFFF && taken.count(static_cast<uint16_t>(next))) ++next;
      if (next > 0xFFFF) {
        problem = "no free icon resource ids are left for " + std::to_string(changes.icon.size()) + " images";
        return false;
      }
      ids.push_back(static_cast<uint16_t>(next));
      tree.put(kResourceIcon, static_cast<uint16_t>(next), language, image.data);
      ++next;
    }
    tree.put(kResourceGroupIcon, kInstallerIconGroup, language, groupIconResource(changes.icon, ids));
  }
  if (changes.setVersion) {
    std::string bytes = versionResource(changes.version);
    if (bytes.empty()) {
      problem = "the version information is longer than the 65535 bytes a version resource can hold";
      return false;
    }
    for (uint16_t id : tree.idsOf(kResourceVersion)) tree.remove(kResourceVersion, id);
    tree.put(kResourceVersion, 1, changes.version.language, std::move(bytes));
  }
  return true;
}

bool replaceResources(PeFile& pe, const ResourceTree& tree, std::string& problem) {
  uint32_t oldAddress = pe.directoryAddress(kDirectoryResource);
  int r = oldAddress != 0 && pe.directorySize(kDirectoryResource) != 0 ? pe.sectionAt(oldAddress) : -1;
  if (pe.directoryCount <= kDirectoryResource) {
    problem = "its optional header has no resource directory entry";
    return false;
  }

  if (r >= 0 && rebuildableInPlace(pe, r)) {
    PeSection& rs = pe.sections[r];
    bool relocationsFollow = size_t(r) + 1 < pe.sections.size();
    std::string relocations;
    if (relocationsFollow) relocations = pe.bytes.substr(pe.sections.back().rawOffset, pe.sections.back().rawSize);
    std::string data = writeResourceSection(tree, rs.virtualAddress);
    uint32_t oldRaw = rs.rawSize;
    rs.virtualSize = static_cast<uint32_t>(data.size());
    rs.rawSize = alignUp(rs.virtualSize, pe.fileAlignment);
    addToInitialisedSize(pe, int64_t(rs.rawSize) - oldRaw);
    pe.setDirectory(kDirectoryResource, rs.virtualAddress, rs.virtualSize);
    pe.bytes.resize(rs.rawOffset);
    pe.bytes += padded(std::move(data), pe.fileAlignment);
    if (relocationsFollow) {
      PeSection& reloc = pe.sections.back();
      reloc.virtualAddress = alignUp(rs.virtualAddress + rs.memorySize(), pe.sectionAlignment);
      reloc.rawOffset = static_cast<uint32_t>(pe.bytes.size());
      pe.bytes += relocations;
      pe.setDirectory(kDirectoryBaseReloc, reloc.virtualAddress, pe.directorySize(kDirectoryBaseReloc));
    }
    pe.storeHeaders();
    return true;
  }

  // A new last section; the old resources (if any) stay where they are, unused.
  size_t tableEnd = pe.sectionTable + 40 * (pe.sections.size() + 1);
  uint64_t firstRaw = pe.bytes.size();
  uint64_t rawEnd = 0;
  for (const PeSection& s : pe.sections) {
    if (s.rawSize == 0) continue;
    firstRaw = std::min<uint64_t>(firstRaw, s.rawOffset);
    rawEnd = std::max<uint64_t>(rawEnd, uint64_t(s.rawOffset) + s.rawSize);
  }
  if (tableEnd > pe.sizeOfHeaders || tableEnd > firstRaw) {
    problem = "its resources cannot be rebuilt in place and its headers leave no room for another section";
    return false;
  }
  const PeSection& last = pe.sections.back();
  PeSection rs;
  rs.name = ".rsrc";
  rs.virtualAddress = alignUp(last.virtualAddress + last.memorySize(), pe.sectionAlignment);
  rs.characteristics = kResourceSectionFlags;
  std::string data = writeResourceSection(tree, rs.virtualAddress);
  rs.virtualSize = static_cast<uint32_t>(data.size());
  rs.rawSize = alignUp(rs.virtualSize, pe.fileAlignment);
  rs.rawOffset = alignUp(static_cast<uint32_t>(rawEnd), pe.fileAlignment);
  if (uint64_t(rs.virtualAddress) + rs.memorySize() > 0x80000000u) {
    problem = "the image would grow beyond 2 GiB";
    return false;
  }
  pe.bytes.resize(rs.rawOffset, '\0');
  pe.bytes += padded(std::move(data), pe.fileAlignment);
  pe.sections.push_back(rs);
  addToInitialisedSize(pe, rs.rawSize);
  pe.setDirectory(kDirectoryResource, rs.virtualAddress, rs.virtualSize);
  pe.storeHeaders();
  return true;
}

Status editStubResources(std::string& image, const ResourceChanges& changes, const std::string& stubPath) {
  auto refuse = [&](const std::string& what) {
    return Status::failure(kExitBadInput, "stub " + stubPath + ": cannot set the icon or version information: " + what);
  };
  PeFile pe;
  std::string problem;
  if (!parsePeFile(std::move(image), pe, problem)) return refuse(problem);
  ResourceTree tree;
  if (!readResourceTree(pe, tree, problem)) return refuse(problem);
  if (!applyResourceChanges(tree, changes, problem)) return refuse(problem);
  if (!replaceResources(pe, tree, problem)) return refuse(problem);
  image = std::move(pe.bytes);
  return Status::success();
}
