// Window enumeration, activation and the Java-window watcher on Windows.
#include <windows.h>
#include <commctrl.h>

#include <atomic>
#include <cstdio>
#include <vector>

#include "base/config_table.h"
#include "base/error_report.h"
#include "platform/diagnostic_log.h"
#include "platform/thread_win.h"
#include "session/install_markers.h"
#include "session/windows_watch.h"

namespace {
constexpr DWORD kConsoleTitleBuffer = 8192;
constexpr DWORD kConsoleTitleSettleMs = 40;

std::atomic<unsigned> watchRoundMs{100};

// The launcher's own console window; determined at the first count and never again.
bool consoleWindowDetermined = false;
HWND consoleWindow = nullptr;

struct EnumState {
  DWORD enumTargetPid = 0;
  int enumCount = 0;
  bool restore = false;
};

bool belongsTo(HWND window, DWORD processId) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  return owner == processId;
}

BOOL CALLBACK countWindow(HWND window, LPARAM parameter) {
  EnumState& state = *reinterpret_cast<EnumState*>(parameter);
  if (IsWindowVisible(window) && belongsTo(window, state.enumTargetPid) && window != consoleWindow) {
    ++state.enumCount;
  }
  return TRUE;
}

BOOL CALLBACK activateWindow(HWND window, LPARAM parameter) {
  const EnumState& state = *reinterpret_cast<const EnumState*>(parameter);
  if (!IsWindowVisible(window) || !belongsTo(window, state.enumTargetPid)) return TRUE;
  logMessage("found window %p", static_cast<void*>(window));
  if (state.restore && IsIconic(window)) {
    logMessage("restore");
    ShowWindow(window, SW_RESTORE);
  }
  logMessage("foreground");
  SetForegroundWindow(window);
  logMessage("popup");
  SetForegroundWindow(GetLastActivePopup(window));
  logMessage("done");
  return TRUE;
}
}  // namespace

void findConsoleWindow() {
  if (consoleWindowDetermined) return;
  consoleWindowDetermined = true;
  consoleWindow = nullptr;
  if (getConfigInt(CFG_EXECUTABLE_TYPE) == 1) return;  // windowed: no console of its own

  std::vector<char> saved(kConsoleTitleBuffer);
  if (GetConsoleTitleA(saved.data(), kConsoleTitleBuffer) == 0) return;
  // The console window belongs to another process, so it is found by a title nobody else
  // has at this moment.
  char unique[64];
  snprintf(unique, sizeof unique, "%lu/%lu", static_cast<unsigned long>(GetTickCount()),
           static_cast<unsigned long>(GetCurrentProcessId()));
  if (!SetConsoleTitleA(unique)) return;
  Sleep(kConsoleTitleSettleMs);
  consoleWindow = FindWindowA(nullptr, unique);
  SetConsoleTitleA(saved.data());
}

int countVisibleProcessWindows(unsigned long processId) {
  EnumState state;
  state.enumTargetPid = processId;
  findConsoleWindow();
  EnumWindows(&countWindow, reinterpret_cast<LPARAM>(&state));
  return state.enumCount;
}

void activateProcessWindows(unsigned long processId, bool restore) {
  EnumState state;
  state.enumTargetPid = processId;
  state.restore = restore;
  EnumWindows(&activateWindow, reinterpret_cast<LPARAM>(&state));
}

void watchJavaWindow(Progress& progress, int progressStart, const InstallMarkers& markers) {
  const DWORD self = GetCurrentProcessId();
  JavaWindowWait wait;
  wait.progressStart = progressStart;
  wait.noStartupTimeout = getConfigInt(CFG_NO_STARTUP_TIMEOUT) != 0;
  wait.countWindows = [self] { return countVisibleProcessWindows(self); };
  wait.readMarker = [] { return readInstallStarted(true); };
  wait.setPosition = [&progress](int position) { progress.setPosition(position); };
  wait.sleepRound = [] { Sleep(watchRoundMs.load()); };
  wait.timeout = [] {
    logMessage("timeout");
    fatalWideConfigError(CFG_WMSG_JVM_START_TIMEOUT);
  };
  waitForJavaWindow(wait);
  markers.setInstallStarted(false, true, false);
  logMessage("Java window visible");
  progress.hide();
}

void startJavaWindowWatcher(Progress& progress, int progressStart, const InstallMarkers& markers) {
  if (!progress.shown()) return;
  startThread([&progress, progressStart, markers] { watchJavaWindow(progress, progressStart, markers); }, true);
}

void setWatchRoundMsForTesting(unsigned ms) { watchRoundMs = ms; }
