// LANVET.EXE: the parallel loopback tester on the machine's own ports.
#include <windows.h>

#include "appkit/system.h"
#include "lanvet/lanvet.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  portio::MachineAccess access(!appkit::IsWindows9x(), L"\\\\.\\KYTNTIO", GENERIC_READ | GENERIC_WRITE,
                               FILE_ATTRIBUTE_NORMAL);
  return lanvet::RunLanvet(access);
}
