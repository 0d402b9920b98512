#include "media/media_file.h"

#include "core/error_report.h"
#include "platform/paths.h"

std::unique_ptr<MediaFile> openMediaFile() { return openMediaFileAt(getModulePath().c_str()); }

void loadConfiguration() {
  {
    std::unique_ptr<MediaFile> file = openMediaFile();
    configEndPosition = readConfiguration(file->source(), configTable());
  }
  const int type = getConfigInt(CFG_EXECUTABLE_TYPE);
  if (type != 1 && type != 5) showMessageBoxes = false;
}
