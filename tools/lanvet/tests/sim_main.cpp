// The parallel tester on simulated ports with loopback plugs, fitted as
// HALVIX_SIMULATED_PORTS says (portio::FitPorts). Built as LANVET.EXE in a
// test folder.
#include <windows.h>

#include "lanvet/lanvet.h"
#include "portio/simulated.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  portio::SimulatedAccess access;
  char spec[256] = {};
  ::GetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", spec, sizeof spec - 1);
  portio::FitPorts(&access.ports, spec);
  return lanvet::RunLanvet(access);
}
