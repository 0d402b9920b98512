// Puts the installer's own icon and version information into the launcher image: the
// resource directory is read, changed and written again as a new resource section, and
// the headers that describe the image are brought in line, so that the result loads like
// the stub did and its payload still begins right after the last section's raw data.
#pragma once

#include <string>
#include <vector>

#include "icon_file.h"
#include "pe_file.h"
#include "resource_tree.h"
#include "status.h"
#include "version_info.h"

// The icon group that the dialogs, the window class and Explorer show.
constexpr uint16_t kInstallerIconGroup = 1001;

struct ResourceChanges {
  std::vector<IconImage> icon;  // replaces icon group 1001 when not empty
  bool setVersion = false;
  VersionInfo version;          // replaces every version resource when setVersion
};

// Applies `changes` to the tree: the images of the old group 1001 that no other group uses
// are dropped, the new images get the lowest free RT_ICON ids, and the group keeps the
// old group's language (neutral when there was none). False with `problem` when no ids
// are left or the version texts are too long for the resource.
bool applyResourceChanges(ResourceTree& tree, const ResourceChanges& changes, std::string& problem);

// Rewrites `pe` with `tree` as its resources. When the resource section is the last one,
// or followed only by the base relocation section, it is rebuilt in place (relocations
// moved behind it); otherwise a new section is added at the end. Image size, directories
// and section table are updated; the checksum field is left to the caller. False with
// `problem` (no file name) when the image offers no room for that.
bool replaceResources(PeFile& pe, const ResourceTree& tree, std::string& problem);

// Reads the stub image, applies `changes` and stores the result in `image`. Exit code 2
// with a message naming `stubPath` when the stub's headers or resources cannot be edited.
Status editStubResources(std::string& image, const ResourceChanges& changes, const std::string& stubPath);
