#include "payload/media_file.h"

#include "base/error_report.h"
#include "platform/paths.h"

std::unique_ptr<MediaFile> openMediaFile() { return openMediaFileAt(getModulePath().c_str()); }

int64_t loadConfiguration() {
  std::unique_ptr<MediaFile> file = openMediaFile();
  return loadConfigurationFrom(*file);
}

int64_t loadConfigurationFrom(MediaFile& media) {
  const int64_t configEnd = readConfiguration(media.source(), configTable());
  const int type = getConfigInt(CFG_EXECUTABLE_TYPE);
  if (type != 1 && type != 5) setErrorsInMessageBoxes(false);
  return configEnd;
}
