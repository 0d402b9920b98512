// Windows-only declarations of the dialogs: the progress dialog's procedure, for code that
// opens template 103 itself.
#pragma once

#include <windows.h>

// The dialog procedure of template 103: centres the dialog, records it as the owner of
// error boxes, sets its texts and starts its worker thread; IDOK or IDCANCEL cancel the run.
INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);

// Shows dialog template `templateId` of the launcher modally with `procedure`: as a Unicode
// window where the system has them, so that the configured texts keep every character.
// Returns what the dialog ended with, or -1 when it could not be made.
INT_PTR showLauncherDialog(int templateId, HWND owner, DLGPROC procedure);
