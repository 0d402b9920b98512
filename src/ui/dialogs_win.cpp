// The dialog class, the progress dialog, centring, the wide text setters and the Pack200
// progress ticker on Windows.
#include <windows.h>
#include <commctrl.h>

#include "base/config_table.h"
#include "base/error_report.h"
#include "base/text.h"
#include "platform/diagnostic_log.h"
#include "platform/paths.h"
#include "platform/thread_win.h"
#include "ui/dialogs.h"
#include "ui/dialogs_win.h"

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

HINSTANCE moduleInstance(void* instance) {
  return instance != nullptr ? static_cast<HINSTANCE>(instance) : GetModuleHandleA(nullptr);
}

class DialogProgress final : public Progress {
 public:
  explicit DialogProgress(HWND dialog) : dialog_(dialog) {}
  void setRange(int low, int high) override {
    SendDlgItemMessageA(dialog_, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(low, high));
  }
  void setPosition(int position) override {
    SendDlgItemMessageA(dialog_, kProgressBarId, PBM_SETPOS, static_cast<WPARAM>(position), 0);
  }
  void setText(const std::u16string& text) override { setDlgItemTextWide(dialog_, kMessageTextId, text); }
  void setDetail(const std::u16string& text) override { setDlgItemTextWide(dialog_, kStatusTextId, text); }
  void showDetail(bool shown) override { ShowWindow(GetDlgItem(dialog_, kStatusTextId), shown ? SW_SHOW : SW_HIDE); }
  void hide() override { ShowWindow(dialog_, SW_HIDE); }
  bool shown() const override { return true; }

 private:
  HWND dialog_;
};

// What showProgressDialog hands its dialog: the job and the cancel action.
struct ProgressDialogRun {
  ProgressDialogJob job;
  std::function<void()> onCancel;
};

ProgressDialogRun* runOf(HWND dialog) {
  return reinterpret_cast<ProgressDialogRun*>(GetWindowLongPtrA(dialog, DWLP_USER));
}

void initProgressDialog(HWND dialog, ProgressDialogRun* run) {
  SetWindowLongPtrA(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(run));
  centerWindow(dialog);
  setErrorOwnerWindow(dialog);
  SendDlgItemMessageA(dialog, kProgressBarId, PBM_SETRANGE, 0, MAKELPARAM(0, 100));
  setDlgItemTextWide(dialog, kMessageTextId, getConfigWideText(CFG_WMSG_PREPARING));
  setWindowTextWide(dialog, getConfigWideText(CFG_WMSG_CAPTION));
  setDlgItemTextWide(dialog, IDCANCEL, getConfigWideText(CFG_WMSG_CANCEL));
  if (run == nullptr || !run->job) return;
  // Kept to the end of the process: threads the job starts (the watcher, the ticker) may
  // still report after the dialog has gone.
  Progress* progress = makeDialogProgress(dialog).release();
  const ProgressDialogJob job = run->job;
  startThread(
      [job, progress, dialog] {
        job(*progress, dialog);
        // The job has returned: the dialog has nothing left to show, and the run ends with it
        // (the Java program has ended, or the download flow is over).
        PostMessageA(dialog, kWorkerFinishedMessage, 0, 0);
      },
      false);
}
}  // namespace

std::unique_ptr<Progress> makeDialogProgress(HWND dialog) { return std::make_unique<DialogProgress>(dialog); }

void registerDialogClass(void* module) {
  HINSTANCE instance = moduleInstance(module);
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

bool handleProgressDialogCommand(HWND dialog, int id, const std::function<void()>& onCancel) {
  if (id != IDOK && id != IDCANCEL) return false;
  logMessage("Canceled installer");
  if (onCancel) onCancel();
  EndDialog(dialog, id);
  return true;
}

INT_PTR CALLBACK progressDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      initProgressDialog(dialog, reinterpret_cast<ProgressDialogRun*>(lParam));
      return TRUE;
    case WM_COMMAND: {
      const ProgressDialogRun* run = dialog != nullptr ? runOf(dialog) : nullptr;
      static const std::function<void()> kNoCancelAction;
      return handleProgressDialogCommand(dialog, LOWORD(wParam), run != nullptr ? run->onCancel : kNoCancelAction)
                 ? TRUE
                 : FALSE;
    }
    case kWorkerFinishedMessage:
      EndDialog(dialog, 0);
      return TRUE;
    case WM_DESTROY:
      // Error boxes shown after the dialog has gone must not name a dead owner, or they
      // would not appear at all.
      if (errorOwnerWindow() == dialog) setErrorOwnerWindow(nullptr);
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR showLauncherDialog(void* instance, int templateId, HWND owner, DLGPROC procedure, LPARAM parameter) {
  if (isNT()) {
    return DialogBoxParamW(moduleInstance(instance), MAKEINTRESOURCEW(templateId), owner, procedure, parameter);
  }
  return DialogBoxParamA(moduleInstance(instance), MAKEINTRESOURCEA(templateId), owner, procedure, parameter);
}

long long showProgressDialog(void* instance, ProgressDialogJob job, std::function<void()> onCancel) {
  ProgressDialogRun run{std::move(job), std::move(onCancel)};
  return showLauncherDialog(instance, kProgressDialogTemplate, nullptr, &progressDialogProc,
                            reinterpret_cast<LPARAM>(&run));
}

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

void unpackProgressTicker(Progress& progress, int untarDurationMs, const std::atomic<bool>& done) {
  TickerSteps steps;
  steps.untarDurationMs = untarDurationMs;
  steps.done = [&done] { return done.load(); };
  steps.sleep = [](int ms) { Sleep(static_cast<DWORD>(ms)); };
  steps.setPosition = [&progress](int position) { progress.setPosition(position); };
  runUnpackTicker(steps);
}

void startUnpackProgressTicker(Progress& progress, int untarDurationMs,
                               std::shared_ptr<const std::atomic<bool>> done) {
  if (!progress.shown()) return;
  startThread([&progress, untarDurationMs, done] { unpackProgressTicker(progress, untarDurationMs, *done); },
              true);
}

void setWideTextFunctionsMissingForTesting(bool missing) { wideFunctionsForcedMissing = missing; }
