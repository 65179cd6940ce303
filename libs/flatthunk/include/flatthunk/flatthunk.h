// The 32-bit side of a flat thunk to a 16-bit partner library, as the
// Windows 9x builds of the hardware access libraries use it: the library's
// entry point connects the thunk when a process loads it, and the load fails
// when it cannot connect (the partner missing, or a system without flat
// thunks: only Windows 9x's kernel32 offers the connection).
#pragma once
#include <windows.h>

namespace flatthunk {

// DllMain's work for such a library. `thunkData` is its exported connection
// record (ThunkConnect32 fills it in; its layout is the thunk compiler's),
// the names those the thunk was compiled with, `connected` the library's
// flag of a connected thunk. At process attach: connects, and answers FALSE
// (failing the load) when it cannot; at process detach: tells a connected
// thunk. Other reasons answer TRUE.
inline BOOL ConnectAtEntry(void* thunkData, char* thunk16, char* module16, char* module32, HINSTANCE self,
                           DWORD reason, bool* connected) {
  typedef BOOL(WINAPI * ThunkConnect32Fn)(void* thunkData, LPSTR thunk16, LPSTR module16, LPSTR module32,
                                          HMODULE self, DWORD reason);
  if (reason != DLL_PROCESS_ATTACH && reason != DLL_PROCESS_DETACH) return TRUE;
  if (reason == DLL_PROCESS_DETACH && !*connected) return TRUE;
  auto connect = reinterpret_cast<ThunkConnect32Fn>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "ThunkConnect32"));
  BOOL ok = connect && connect(thunkData, thunk16, module16, module32, self, reason);
  if (reason == DLL_PROCESS_DETACH) {
    *connected = false;
    return TRUE;
  }
  *connected = ok != FALSE;
  return *connected;
}

}  // namespace flatthunk
