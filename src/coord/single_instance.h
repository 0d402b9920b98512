// One instance per installer path: a named semaphore whose name is derived from the
// installer's lower-cased full path; a second start brings the first one's windows forward
// and ends with exit code 0.
#pragma once

#include <string>

// The semaphore's name, handed to the Java side ("quoll.semaphoreName"); empty until
// enforceSingleInstance ran (and on a language restart).
extern std::string semaphoreName;

// Pure: the semaphore name for an instance identity ("Global\" prefix when global, every
// backslash turned into "_").
std::string composeSemaphoreName(const std::string& instanceIdentity, bool global);
// Returns when this process is the first instance; otherwise activates the first
// instance's windows and ends the process with exit code 0.
void enforceSingleInstance();
// Writes / reads this installer's instance process id under "SOFTWARE\northgale\quoll\pids\".
void registerInstancePid();
unsigned long readInstancePid();
