// The integrity check against the Linux launcher's own file; a damaged file is reported on
// standard error (there are no message boxes here).
#include "base/error_report.h"
#include "payload/media_file.h"
#include "payload/verify.h"
#include "platform/diagnostic_log.h"

void verifyMediaFile(bool verify, Progress& progress, MediaFile& media) {
  const IntegrityOutcome outcome = checkMediaFile(verify, progress, media);
  if (outcome.intact()) return;
  logError("media file corrupt (checksum %08x, expected %08x)", outcome.computed, outcome.expected);
  progress.hide();
  reportWideError(getConfigWideText(CFG_WMSG_MEDIA_CORRUPT));
  exitWith(ExitCode::Failure);
}
