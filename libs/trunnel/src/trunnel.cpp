// Trunnel: ReadSectorsFromCD on Windows 9x, forwarded through a 32-to-16-bit
// flat thunk to the 16-bit library PELLOCK.DLL, which does the reading. The
// entry point connects the thunk, and the load fails when it cannot connect
// (the partner missing, or a system without flat thunks): the caller then
// has no reader and takes its path for a missing library.
#include <windows.h>

extern "C" {

// The thunk connection record that ThunkConnect32 fills in; its layout is
// the thunk compiler's, opaque to us.
__declspec(dllexport) BYTE cd_ThunkData32[64] = {};

}  // extern "C"

namespace {

typedef BOOL(WINAPI* ThunkConnect32Fn)(void* thunkData, LPSTR thunk16, LPSTR module16, LPSTR module32, HMODULE self,
                                       DWORD reason);

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
  if (reason != DLL_PROCESS_ATTACH && reason != DLL_PROCESS_DETACH) return TRUE;
  if (reason == DLL_PROCESS_DETACH && !g_connected) return TRUE;
  // Flat thunks exist only on Windows 9x, where kernel32 offers the connection.
  auto connect = reinterpret_cast<ThunkConnect32Fn>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "ThunkConnect32"));
  char thunk16[] = "cd_ThunkData16", module16[] = "PELLOCK.DLL", module32[] = "TRUNNEL.DLL";
  BOOL ok = connect && connect(cd_ThunkData32, thunk16, module16, module32, self, reason);
  if (reason == DLL_PROCESS_DETACH) {
    g_connected = false;
    return TRUE;
  }
  g_connected = ok != FALSE;
  return g_connected;
}

}  // extern "C"
