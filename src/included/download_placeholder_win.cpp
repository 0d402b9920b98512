// Stand-in for the no-runtime flow until it exists: nothing can be obtained, so the run ends
// the way a cancelled no-runtime dialog ends it, with the message that no runtime was found.
#include "coord/install_markers.h"
#include "core/error_report.h"
#include "included/download.h"
#include "media/config_table.h"
#include "platform/diagnostic_log.h"

int downloadJre(void*) {
  logMessage("Runtime download not available in this build");
  // As after Cancel: the next start must not take this run for one that died on the way.
  setInstallStarted(false, true, true);
  fatalConfigError(CFG_MSG_NO_JVM_BITS, "32");
}
