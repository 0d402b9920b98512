// The integrity check against the launcher's own file, with the progress dialog's bar.
#include <windows.h>

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
    // As if the check's quarter of the bar had run.
    progress.setRange(100, 400);
    progress.setPosition(101);
  }
  if (outcome.intact()) return;

  // Shown whatever the error output mode: the user must learn to fetch the file again.
  const std::u16string text = getConfigWideText(CFG_WMSG_MEDIA_CORRUPT);
  const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
  MessageBoxW(static_cast<HWND>(errorOwnerWindow()), reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
  exitWith(ExitCode::Failure);
}
