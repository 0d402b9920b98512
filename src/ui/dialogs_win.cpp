// The dialog class, the progress dialog, centring, the wide text setters and the Pack200
// progress ticker on Windows.
#include <windows.h>
#include <commctrl.h>

#include "ui/dialogs.h"
#include "ui/dialogs_win.h"

#include "coord/install_markers.h"
#include "core/error_report.h"
#include "core/startup.h"
#include "core/work_sequence.h"
#include "included/download.h"
#include "media/config_table.h"
#include "media/verify.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/text.h"

namespace {
constexpr char kDialogClassName[] = "MyDialogClass";
// Posted by the worker thread when its job has returned: the dialog has nothing left to
// show, and the run ends with it (the Java program has ended, or the download flow is over).
constexpr UINT kWorkerFinishedMessage = WM_APP + 1;
// Texts set through the narrow functions are cut to what their buffer held.
constexpr size_t kNarrowTextLimit = 8191;

using SetWindowTextWFn = BOOL(WINAPI*)(HWND, LPCWSTR);
using SetDlgItemTextWFn = BOOL(WINAPI*)(HWND, int, LPCWSTR);

struct WideSetters {
  SetWindowTextWFn setWindowText = nullptr;
  SetDlgItemTextWFn setDlgItemText = nullptr;
};

bool wideFunctionsForcedMissing = false;

// Looked up once, on first use; systems without the wide functions get the narrow ones.
const WideSetters& wideSetters() {
  static const WideSetters setters = [] {
    WideSetters found;
    if (!isNT()) return found;
    HMODULE user = GetModuleHandleA("user32.dll");
    if (user == nullptr) return found;
    found.setWindowText = reinterpret_cast<SetWindowTextWFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetWindowTextW")));
    found.setDlgItemText = reinterpret_cast<SetDlgItemTextWFn>(
        reinterpret_cast<void*>(GetProcAddress(user, "SetDlgItemTextW")));
    return found;
  }();
  return setters;
}

std::string narrowWindowText(const std::u16string& text) {
  std::string narrow = wideToNarrowLossy(text);
  if (narrow.size() > kNarrowTextLimit) narrow.resize(kNarrowTextLimit);
  return narrow;
}

const wchar_t* wide(const std::u16string& text) { return reinterpret_cast<const wchar_t*>(text.c_str()); }

HINSTANCE moduleInstance() {
  return instanceHandle != nullptr ? static_cast<HINSTANCE>(instanceHandle) : GetModuleHandleA(nullptr);
}

DWORD WINAPI progressWorker(LPVOID parameter) {
  HWND dialog = static_cast<HWND>(parameter);
  if (getConfigInt(CFG_HIDE_PROGRESS_DIALOG) != 0) {
    runDownloadFlow(dialog);
  } else {
    runWork(dialog);
  }
  PostMessageA(dialog, kWorkerFinishedMessage, 0, 0);
  return 0;
}

DWORD WINAPI tickerThread(LPVOID dialog) {
  unpackProgressTicker(dialog);
  return 0;
}

void initProgressDialog(HWND dialog) {
  centerWindow(dialog);
  errorOwnerWindow = dialog;
  SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  setDlgItemTextWide(dialog, kMessageTextId, getConfigWideText(CFG_WMSG_PREPARING));
  setWindowTextWide(dialog, getConfigWideText(CFG_WMSG_CAPTION));
  setDlgItemTextWide(dialog, IDCANCEL, getConfigWideText(CFG_WMSG_CANCEL));
  HANDLE worker = CreateThread(nullptr, 0, &progressWorker, dialog, 0, nullptr);
  if (worker != nullptr) CloseHandle(worker);
}
}  // namespace

void registerDialogClass() {
  HINSTANCE instance = moduleInstance();
  const UINT style = CS_DBLCLKS | CS_SAVEBITS | CS_BYTEALIGNWINDOW;
  HCURSOR arrow = LoadCursorA(nullptr, IDC_ARROW);
  HBRUSH background = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
  // A second registration (the dialog may be needed twice in one run) fails harmlessly.
  if (isNT()) {
    // A Unicode class: the caption set through SetWindowTextW would otherwise pass through
    // the ANSI code page on its way to the default procedure and lose what it cannot hold.
    WNDCLASSW dialogClass = {};
    dialogClass.style = style;
    dialogClass.lpfnWndProc = DefDlgProcW;
    dialogClass.cbClsExtra = 0;
    dialogClass.cbWndExtra = DLGWINDOWEXTRA;
    dialogClass.hInstance = instance;
    dialogClass.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(kInstallerIconId));
    dialogClass.hCursor = arrow;
    dialogClass.hbrBackground = background;
    dialogClass.lpszMenuName = nullptr;
    dialogClass.lpszClassName = L"MyDialogClass";
    RegisterClassW(&dialogClass);
    return;
  }
  WNDCLASSA dialogClass = {};
  dialogClass.style = style;
  dialogClass.lpfnWndProc = DefDlgProcA;
  dialogClass.cbClsExtra = 0;
  dialogClass.cbWndExtra = DLGWINDOWEXTRA;
  dialogClass.hInstance = instance;
  dialogClass.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kInstallerIconId));
  dialogClass.hCursor = arrow;
  dialogClass.hbrBackground = background;
  dialogClass.lpszMenuName = nullptr;
  dialogClass.lpszClassName = kDialogClassName;
  RegisterClassA(&dialogClass);
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      initProgressDialog(dialog);
      return TRUE;
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      if (id != IDOK && id != IDCANCEL) return FALSE;
      logMessage("Canceled installer");
      setInstallStarted(false, true, true);
      EndDialog(dialog, id);
      return TRUE;
    }
    case kWorkerFinishedMessage:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_DESTROY:
      // Error boxes shown after the dialog has gone must not name a dead owner, or they
      // would not appear at all.
      if (errorOwnerWindow == dialog) errorOwnerWindow = nullptr;
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR showLauncherDialog(int templateId, HWND owner, DLGPROC procedure) {
  if (isNT()) {
    return DialogBoxParamW(moduleInstance(), MAKEINTRESOURCEW(templateId), owner, procedure, 0);
  }
  return DialogBoxParamA(moduleInstance(), MAKEINTRESOURCEA(templateId), owner, procedure, 0);
}

long long showProgressDialog() { return showLauncherDialog(kProgressDialogTemplate, nullptr, &progressDialogProc); }

void centerWindow(void* windowHandle) {
  HWND window = static_cast<HWND>(windowHandle);
  HWND parent = GetParent(window);
  if (parent == nullptr) parent = GetDesktopWindow();
  RECT windowRect = {};
  RECT parentRect = {};
  GetWindowRect(window, &windowRect);
  GetWindowRect(parent, &parentRect);
  const ScreenPoint origin =
      centeredOrigin(parentRect.left, parentRect.top, parentRect.right, parentRect.bottom,
                     windowRect.left, windowRect.top, windowRect.right, windowRect.bottom);
  POINT position = {origin.x, origin.y};
  // A child control is placed in its parent's client coordinates, not on the screen.
  if (GetWindowLongPtrA(window, GWL_STYLE) & WS_CHILD) MapWindowPoints(HWND_DESKTOP, parent, &position, 1);
  SetWindowPos(window, HWND_TOP, position.x, position.y, 0, 0, SWP_NOSIZE);
}

void setWindowTextWide(void* window, const std::u16string& text) {
  const WideSetters& setters = wideSetters();
  if (setters.setWindowText != nullptr && !wideFunctionsForcedMissing) {
    setters.setWindowText(static_cast<HWND>(window), wide(text));
  } else {
    SetWindowTextA(static_cast<HWND>(window), narrowWindowText(text).c_str());
  }
}

void setDlgItemTextWide(void* dialog, int controlId, const std::u16string& text) {
  const WideSetters& setters = wideSetters();
  if (setters.setDlgItemText != nullptr && !wideFunctionsForcedMissing) {
    setters.setDlgItemText(static_cast<HWND>(dialog), controlId, wide(text));
  } else {
    SetDlgItemTextA(static_cast<HWND>(dialog), controlId, narrowWindowText(text).c_str());
  }
}

void unpackProgressTicker(void* dialogWindow) {
  HWND dialog = static_cast<HWND>(dialogWindow);
  TickerSteps steps;
  steps.untarDurationMs = untarDurationMs;
  steps.done = [] { return unpackDone.load(); };
  steps.sleep = [](int ms) { Sleep(static_cast<DWORD>(ms)); };
  steps.setPosition = [dialog](int position) {
    SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  };
  runUnpackTicker(steps);
}

void startUnpackProgressTicker(void* dialog) {
  if (dialog == nullptr) return;
  HANDLE thread = CreateThread(nullptr, 0, &tickerThread, dialog, 0, nullptr);
  if (thread == nullptr) return;
  SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
  CloseHandle(thread);
}

void runDownloadFlow(void* dialog) { downloadJre(dialog); }

void setWideTextFunctionsMissingForTesting(bool missing) { wideFunctionsForcedMissing = missing; }
