// The integrity check against the launcher's own file, with the progress dialog's bar.
#include <windows.h>

#include "base/error_report.h"
#include "payload/media_file.h"
#include "payload/verify.h"

void verifyMediaFile(bool verify, Progress& progress, MediaFile& media) {
  const IntegrityOutcome outcome = checkMediaFile(verify, progress, media);
  if (outcome.intact()) return;

  // Shown whatever the error output mode: the user must learn to fetch the file again.
  const std::u16string text = getConfigWideText(CFG_WMSG_MEDIA_CORRUPT);
  const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
  MessageBoxW(static_cast<HWND>(errorOwnerWindow()), reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
  exitWith(ExitCode::Failure);
}
