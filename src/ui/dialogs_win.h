// Windows-only declarations of the dialogs: the progress dialog's procedure, for code that
// opens template 103 itself.
#pragma once

#include <windows.h>

#include <functional>
#include <memory>

#include "base/progress.h"

// The Progress of a dialog window with the progress dialog's controls (kProgressBarId,
// kMessageTextId, kStatusTextId). Every call is a message to the window, so it may come from
// any thread, and is harmless once the window is gone.
std::unique_ptr<Progress> makeDialogProgress(HWND dialog);

// The dialog procedure of template 103: centres the dialog, records it as the owner of
// error boxes, sets its texts and starts its job (the ProgressDialogRun of showProgressDialog,
// handed over as the creation parameter); IDOK or IDCANCEL cancel the run.
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
// A command of the progress dialog: IDOK and IDCANCEL log "Canceled installer", run
// `onCancel` (when set) and end the dialog; true when the command was one of them.
bool handleProgressDialogCommand(HWND dialog, int id, const std::function<void()>& onCancel);

// Shows dialog template `templateId` of module `instance` (null: the executable) modally
// with `procedure` and `parameter` for WM_INITDIALOG: as a Unicode window where the system
// has them, so that the configured texts keep every character. Returns what the dialog
// ended with, or -1 when it could not be made.
INT_PTR showLauncherDialog(void* instance, int templateId, HWND owner, DLGPROC procedure, LPARAM parameter = 0);
