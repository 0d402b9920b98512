// Restarting the machine when the launcher is started with the reboot command line.
#pragma once

// Asks the system to restart. Returns when the request has been made (or has failed); the
// caller ends the process afterwards.
void rebootSystem();
