// One instance per installer path: a named semaphore whose name is derived from the
// installer's lower-cased full path; a second start brings the first one's windows forward
// and ends with exit code 0.
#pragma once

#include <string>

// Pure: the semaphore name for an instance identity ("Global\" prefix when global, every
// backslash turned into "_").
std::string composeSemaphoreName(const std::string& instanceIdentity, bool global);

// The identity of an installer at `modulePath`: the full, lower-case path with runs of
// backslashes collapsed, so every way of naming the same file gives the same identity.
std::string instanceIdentityFor(const std::string& modulePath);
// The Linux launcher's lock file for the installer at `modulePath` (its real path): under
// `root`, "vnq-" + the user's id + "-" + a 16-digit hex hash of the path + ".lock".
std::string instanceLockPath(const std::string& root, const std::string& modulePath, unsigned userId);
// On Linux: an exclusive flock on instanceLockPath; a second start says "This installer is
// already running." on standard error and ends with exit code 0. Returns the lock file's path.
// On Windows: returns when this process is the first instance (the semaphore stays held until the
// process ends; a semaphore that cannot be created at all also counts as first), with the
// semaphore's name, which the Java side is handed ("quoll.semaphoreName"). Otherwise
// activates the first instance's windows, logs "exiting" and ends the process with exit
// code 0.
std::string enforceSingleInstance();
// Writes this process's id as REG_DWORD under HKEY_CURRENT_USER
// "SOFTWARE\northgale\quoll\pids\", value named after this installer's identity. Failures
// are ignored.
void registerInstancePid();
// Reads it back; 0 when the key or value is missing or is not exactly four bytes.
unsigned long readInstancePid();
