// The library's export and its entry point.
#include "whet/whet.h"

extern "C" {

double WINAPI DoWhetstoneTest(int loops) {
  if (loops <= 0) return 0.0;
  LARGE_INTEGER f{}, a{}, b{};
  if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0 || !::QueryPerformanceCounter(&a)) return 0.0;
  whet::RunLoops(loops);
  if (!::QueryPerformanceCounter(&b) || b.QuadPart <= a.QuadPart) return 0.0;
  return (double)(b.QuadPart - a.QuadPart) / (double)f.QuadPart;
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
