// Starting the launcher's helper threads (Windows only).
#pragma once

#include <functional>

// Runs `job` on a thread of its own, at THREAD_PRIORITY_ABOVE_NORMAL when `aboveNormal`.
// Nobody waits for the thread: its handle is closed at once. False when no thread could be
// made, in which case `job` does not run.
bool startThread(std::function<void()> job, bool aboveNormal);
