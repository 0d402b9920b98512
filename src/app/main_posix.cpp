// The Linux launcher's process entry; everything else lives in the library.
#include "app/startup.h"

int main(int argc, char** argv) { return runLinuxLauncher(argc, argv); }
