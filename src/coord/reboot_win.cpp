// Placeholder until the restart with its privilege handling is in place: the request is
// only recorded, so a reboot command line ends quietly.
#include "coord/reboot.h"

#include <windows.h>

#include "platform/diagnostic_log.h"

void rebootSystem() {
  Sleep(100);
  logMessage("reboot requested");
}
