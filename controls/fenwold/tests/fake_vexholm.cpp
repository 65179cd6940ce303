// Stands in for the system-access library and its 16-bit partner in the
// Windows 9x tests: one fixed disk of 40 cylinders, 17 sectors and 4 heads
// whose sector 1 of cylinder 5 fails to verify, and one floppy drive.
#include <windows.h>

#include <cstring>

namespace {
LONG g_requests = 0;
}

extern "C" {

__declspec(dllexport) DWORD WINAPI GetQuorrel(DWORD infoClass, DWORD size, void* buffer) {
  char* b = static_cast<char*>(buffer);
  const char* text = nullptr;
  switch (infoClass & 0xFFFF) {
    case 6: text = "Drives:\t1\n"; break;
    case 3: text = b[0] == 0 ? "Drive A:\nTracks:\t80\t18\t2\n" : nullptr; break;
    case 4: text = (unsigned char)b[0] == 0x80 ? "Drive 80h\nCHS-Tracks:\t40\t17\t4\n" : nullptr; break;
  }
  if (!text || (size & 0xFFFF) <= std::strlen(text)) return 0;
  std::strcpy(b, text);
  return 1;
}

__declspec(dllexport) DWORD WINAPI ReadSector(DWORD drive, DWORD cylinder, DWORD head, DWORD sector, DWORD command,
                                              void* buffer, DWORD size) {
  ::InterlockedIncrement(&g_requests);
  if (!buffer || size != 512) return 0;
  if (drive == 0x80 && command == 0x0401 && cylinder == 5) return 0;
  return 1;
}

__declspec(dllexport) LONG WINAPI FakeRequestCount() { return g_requests; }

}  // extern "C"
