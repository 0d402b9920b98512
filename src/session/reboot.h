// Restarting the machine when the launcher is started with the reboot command line.
#pragma once

// Waits five seconds, enables the shutdown privilege (on NT systems) and asks the system to
// restart. Returns when the request has been made, or quietly when the privilege cannot be
// had; the caller ends the process afterwards.
void rebootSystem();
