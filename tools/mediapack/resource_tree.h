// The resources of an executable as a three-level tree (type, name, language), read from
// and written to the resource directory format. Reading checks every offset and bounds the
// work, since the stub is outside input.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pe_file.h"

enum : uint16_t {
  kResourceIcon = 3,
  kResourceData = 10,  // RT_RCDATA
  kResourceGroupIcon = 14,
  kResourceVersion = 16,
};

// A type or name: a number, or a UTF-16 string (kept as found).
struct ResourceName {
  bool isString = false;
  uint16_t id = 0;
  std::u16string text;
  bool is(uint16_t number) const { return !isString && id == number; }
};

struct ResourceData {
  uint16_t language = 0;
  uint32_t codePage = 0;
  std::string bytes;
};

struct ResourceEntry {
  ResourceName name;
  std::vector<ResourceData> languages;  // in directory order
};

struct ResourceType {
  ResourceName type;
  std::vector<ResourceEntry> entries;   // string names first (as found), then ids ascending
};

struct ResourceTree {
  std::vector<ResourceType> types;      // the same order rule as entries

  // The entry `name` of type `type`; nullptr when absent.
  const ResourceEntry* find(uint16_t type, uint16_t name) const;
  // Removes the entry (every language) and a type left empty.
  void remove(uint16_t type, uint16_t name);
  // Sets the data of (type, name, language), inserting type and name in id order.
  void put(uint16_t type, uint16_t name, uint16_t language, std::string bytes, uint32_t codePage = 0);
  // Every numeric name in use under `type`.
  std::vector<uint16_t> idsOf(uint16_t type) const;
};

// Reads the tree whose root directory is at the address of the image's resource data
// directory. An image without resources gives an empty tree. False with `problem` (no file
// name) when the directory is malformed; at most 65536 data entries and as many bytes of
// data as the image holds are accepted, so a hostile directory cannot make it run long or
// allocate without end.
bool readResourceTree(const PeFile& pe, ResourceTree& tree, std::string& problem);

// The bytes of a resource section holding `tree`, for a section placed at `sectionAddress`
// (the data entries hold addresses). Time stamps are zero so that builds are reproducible.
std::string writeResourceSection(const ResourceTree& tree, uint32_t sectionAddress);
