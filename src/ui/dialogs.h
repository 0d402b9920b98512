// The launcher's dialogs: the window class of the progress dialog (template 103), the
// progress dialog itself, centring, wide text setters and the Pack200 progress ticker.
#pragma once

#include <string>

// Registers "MyDialogClass" (a dialog class with the installer's icon 1001).
void registerDialogClass();
// Shows the progress dialog (template 103) modally; it starts the work sequence (or, with
// CFG_HIDE_PROGRESS_DIALOG, the runtime download flow) on a thread of its own and returns
// the dialog's result when it ends.
long long showProgressDialog();
// Centres a window (HWND) on its parent, or on the desktop when it has none.
void centerWindow(void* window);
// Set texts with the wide window functions where the system has them.
void setWindowTextWide(void* window, const std::u16string& text);
void setDlgItemTextWide(void* dialog, int controlId, const std::u16string& text);
// The ticker (argument: the dialog HWND): moves the bar from 200 towards 300 while
// Pack200 unpacking runs.
void unpackProgressTicker(void* dialog);
// Starts unpackProgressTicker on a new thread at THREAD_PRIORITY_ABOVE_NORMAL.
void startUnpackProgressTicker(void* dialog);
// Written before the ticker starts / by the unpacking when it is done.
extern int untarDurationMs;
extern volatile bool unpackDone;
