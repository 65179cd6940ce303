// Trunnel: ReadSectorsFromCD on Windows 9x, forwarded through a 32-to-16-bit
// flat thunk to the 16-bit library PELLOCK.DLL, which does the reading. The
// entry point connects the thunk, and the load fails when it cannot connect
// (the partner missing, or a system without flat thunks): the caller then
// has no reader and takes its path for a missing library.
#include <windows.h>

#include "flatthunk/flatthunk.h"

extern "C" {

// The thunk connection record that ThunkConnect32 fills in; its layout is
// the thunk compiler's, opaque to us.
__declspec(dllexport) BYTE cd_ThunkData32[64] = {};

}  // extern "C"

namespace {

// Set while the 16-bit side is connected.
bool g_connected = false;

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI ReadSectorsFromCD(DWORD letter, DWORD first, DWORD count, DWORD* elapsed) {
  // No 16-bit call path is built into this library: nothing is read.
  if (elapsed) *elapsed = 0;
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return 0;
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  char thunk16[] = "cd_ThunkData16", module16[] = "PELLOCK.DLL", module32[] = "TRUNNEL.DLL";
  return flatthunk::ConnectAtEntry(cd_ThunkData32, thunk16, module16, module32, self, reason, &g_connected);
}

}  // extern "C"
