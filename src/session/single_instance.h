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
// Returns when this process is the first instance (the semaphore stays held until the
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
