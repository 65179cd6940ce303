// Netrick, the network tool (netrick.exe). It ignores its command line.
#include <windows.h>

#include "netrick.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  netrick::CNetrickApp app;
  return app.Run();
}
