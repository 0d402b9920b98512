// The integrity check against the launcher's own file, with the progress dialog's bar.
#include <windows.h>
#include <commctrl.h>

#include "core/error_report.h"
#include "core/startup.h"
#include "media/media_file.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"

namespace {
void setBarPosition(void* dialog, int percent) {
  SendDlgItemMessageA(static_cast<HWND>(dialog), kProgressBarId, PBM_SETPOS,
                      static_cast<WPARAM>(percent), 0);
}
}  // namespace

void verifyMediaFile(void* dialogWindow) {
  IntegrityOutcome outcome;
  {
    std::unique_ptr<MediaFile> media = openMediaFile();
    const int64_t start = seekPayloadStart(media->source());
    logMessage("starting at %d", static_cast<int>(start));
    outcome = checkPayload(media->source(), verifyIntegrity,
                           dialogWindow ? &setBarPosition : nullptr, dialogWindow);
  }
  if (outcome.check == PayloadCheck::Skipped && dialogWindow) {
    // As if the check's quarter of the bar had run.
    HWND dialog = static_cast<HWND>(dialogWindow);
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(100, 400));
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETPOS, 101, 0);
  }
  if (outcome.intact()) return;

  // Shown whatever the error output mode: the user must learn to fetch the file again.
  const std::u16string text = getConfigWideText(CFG_WMSG_MEDIA_CORRUPT);
  const std::u16string caption = getConfigWideText(CFG_WMSG_CAPTION);
  MessageBoxW(static_cast<HWND>(dialogWindow), reinterpret_cast<const wchar_t*>(text.c_str()),
              reinterpret_cast<const wchar_t*>(caption.c_str()), MB_ICONERROR);
  exitWith(1);
}
