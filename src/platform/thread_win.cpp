#include "platform/thread_win.h"

#include <windows.h>

#include <memory>

namespace {
DWORD WINAPI runJob(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> job(static_cast<std::function<void()>*>(parameter));
  (*job)();
  return 0;
}
}  // namespace

bool startThread(std::function<void()> job, bool aboveNormal) {
  auto* owned = new std::function<void()>(std::move(job));
  HANDLE thread = CreateThread(nullptr, 0, &runJob, owned, 0, nullptr);
  if (thread == nullptr) {
    delete owned;
    return false;
  }
  if (aboveNormal) SetThreadPriority(thread, THREAD_PRIORITY_ABOVE_NORMAL);
  CloseHandle(thread);
  return true;
}
