// The serial tester on simulated UARTs with loopback plugs, fitted as
// HALVIX_SIMULATED_PORTS says (portio::FitPorts); the data loop still goes
// through the real COM ports. Built as KOPREL.EXE in a test folder.
#include <windows.h>

#include "koprel/koprel.h"
#include "portio/simulated.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  portio::SimulatedAccess access;
  char spec[256] = {};
  ::GetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", spec, sizeof spec - 1);
  portio::FitPorts(&access.ports, spec);
  return koprel::RunKoprel(access, false, ::GetCommandLineW());
}
