// Vexholm, the system-access library of Windows 9x: GetQuorrel (low-level
// system information by class) and ReadSector (BIOS disk services), each
// forwarded through a 32-to-16-bit flat thunk to the 16-bit library
// MIRVANE.DLL, which does the work. Without that partner (or on Windows NT,
// which has no flat thunks) every entry answers 0: not bound, and the
// callers take their paths for a system without the library.
#include <windows.h>

extern "C" {

// The thunk connection record that ThunkConnect32 fills in; its layout is
// the thunk compiler's, opaque to us.
__declspec(dllexport) BYTE diag_ThunkData32[64] = {};

}  // extern "C"

namespace {

typedef BOOL(WINAPI* ThunkConnect32Fn)(void* thunkData, LPSTR thunk16, LPSTR module16, LPSTR module32, HMODULE self,
                                       DWORD reason);

// Set when the 16-bit side answered the connection and can take calls.
bool g_bound = false;

DWORD NotBound() {
  ::SetLastError(ERROR_PROC_NOT_FOUND);
  return 0;
}

}  // namespace

extern "C" {

__declspec(dllexport) DWORD WINAPI GetQuorrel(DWORD infoClass, DWORD size, void* buffer) {
  if (!g_bound || !buffer || (size & 0xFFFF) == 0) return NotBound();
  // The 16-bit partner would take (class, size, buffer as 16:16) here.
  return NotBound();
}

__declspec(dllexport) DWORD WINAPI ReadSector(DWORD drive, DWORD cylinder, DWORD head, DWORD sector, DWORD command,
                                              void* buffer, DWORD size) {
  if (!g_bound || !buffer || size < 512) return NotBound();
  return NotBound();
}

BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason != DLL_PROCESS_ATTACH && reason != DLL_PROCESS_DETACH) return TRUE;
  // Flat thunks exist only on Windows 9x, where kernel32 offers the connection.
  auto connect = reinterpret_cast<ThunkConnect32Fn>(
      ::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), "ThunkConnect32"));
  if (!connect || (::GetVersion() & 0x80000000u) == 0) return TRUE;
  char thunk16[] = "diag_ThunkData16", module16[] = "MIRVANE.DLL", module32[] = "VEXHOLM.DLL";
  BOOL ok = connect(diag_ThunkData32, thunk16, module16, module32, self, reason);
  if (reason == DLL_PROCESS_ATTACH) {
    // A partner that is there but does not connect fails the load; a
    // missing one leaves every entry not bound.
    if (!ok && ::SearchPathA(nullptr, module16, nullptr, 0, nullptr, nullptr)) return FALSE;
    g_bound = false;  // no 16-bit call path is built into this library
  }
  return TRUE;
}

}  // extern "C"
