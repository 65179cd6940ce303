// Vexholm, the system-access library of Windows 9x: GetQuorrel (low-level
// system information by class) and ReadSector (BIOS disk services), each
// forwarded through a 32-to-16-bit flat thunk to the 16-bit library
// MIRVANE.DLL, which does the work. The entry point connects the thunk, and
// the load fails when it cannot connect (the partner missing, or a system
// without flat thunks): the callers then behave as on a system without the
// library.
#include <windows.h>

#include "flatthunk/flatthunk.h"

extern "C" {

// The thunk connection record that ThunkConnect32 fills in; its layout is
// the thunk compiler's, opaque to us.
__declspec(dllexport) BYTE diag_ThunkData32[64] = {};

}  // extern "C"

namespace {

// Set while the 16-bit side is connected.
bool g_connected = false;

// No 16-bit call path is built into this library: every call fails.
DWORD NotForwarded() {
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI GetQuorrel(DWORD infoClass, DWORD size, void* buffer) { return NotForwarded(); }

__declspec(dllexport) DWORD WINAPI ReadSector(DWORD drive, DWORD cylinder, DWORD head, DWORD sector, DWORD command,
                                              void* buffer, DWORD size) {
  return NotForwarded();
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  char thunk16[] = "diag_ThunkData16", module16[] = "MIRVANE.DLL", module32[] = "VEXHOLM.DLL";
  return flatthunk::ConnectAtEntry(diag_ThunkData32, thunk16, module16, module32, self, reason, &g_connected);
}

}  // extern "C"
