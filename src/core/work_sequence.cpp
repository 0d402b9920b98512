#include "core/work_sequence.h"

#include "media/extract.h"

bool jreIncluded = false;
int progressStart = 0;

ConfigId extractionFailureMessage(int code) {
  return code == kExtractWriteFailed ? CFG_WMSG_DISK_FULL : CFG_WMSG_MEDIA_CORRUPT;
}
