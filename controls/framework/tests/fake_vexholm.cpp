// Stands in for the system-access library: answers the start-up class.
#include <windows.h>

#include <cstring>

extern "C" __declspec(dllexport) DWORD WINAPI GetQuorrel(WORD infoClass, WORD size, void* buffer) {
  if (infoClass != 11 || size != 2048 || !buffer) return 0;
  std::strcpy(static_cast<char*>(buffer), "vexholm-startup");
  return 1;
}
