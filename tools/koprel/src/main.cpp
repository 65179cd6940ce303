// KOPREL.EXE: the serial loopback tester on the machine's own ports.
#include <windows.h>

#include "appkit/system.h"
#include "koprel/koprel.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  bool windows9x = appkit::IsWindows9x();
  portio::MachineAccess access(!windows9x, L"\\\\.\\kytntio", 0, FILE_ATTRIBUTE_SYSTEM);
  return koprel::RunKoprel(access, windows9x, ::GetCommandLineW());
}
