// Stand-in for the runtime download flow until it exists: the dialog opened for it closes
// again at once and the run goes on without a runtime.
#include "platform/diagnostic_log.h"
#include "ui/dialogs.h"

void runDownloadFlow(void*) { logMessage("Runtime download not available in this build"); }
