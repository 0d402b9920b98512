// The integrity check against the Linux launcher's own file; a damaged file is reported on
// standard error (there are no message boxes here).
#include "base/error_report.h"
#include "payload/media_file.h"
#include "payload/verify.h"
#include "platform/diagnostic_log.h"

namespace {
void setBarPosition(void* progress, int percent) { static_cast<Progress*>(progress)->setPosition(percent); }
}  // namespace

void verifyMediaFile(bool verify, Progress& progress) {
  std::unique_ptr<MediaFile> media = openMediaFile();
  verifyMediaFile(verify, progress, *media);
}

void verifyMediaFile(bool verify, Progress& progress, MediaFile& media) {
  const int64_t start = seekPayloadStart(media.source());
  logMessage("starting at %d", static_cast<int>(start));
  const IntegrityOutcome outcome =
      checkPayload(media.source(), verify, progress.shown() ? &setBarPosition : nullptr, &progress);
  if (outcome.check == PayloadCheck::Skipped && progress.shown()) {
    progress.setRange(100, 400);
    progress.setPosition(101);
  }
  if (outcome.intact()) return;
  logError("media file corrupt (checksum %08x, expected %08x)", outcome.computed, outcome.expected);
  progress.hide();
  reportWideError(getConfigWideText(CFG_WMSG_MEDIA_CORRUPT));
  exitWith(ExitCode::Failure);
}
