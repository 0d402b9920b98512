// The launcher's process entry; everything else lives in the library.
#include <windows.h>

#include "app/startup.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  return runLauncher(instance, commandLine);
}
