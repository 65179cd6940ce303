// The library's two exports and its entry point.
#include "kovlet/kovlet.h"

extern "C" {

double WINAPI DoMemWriteBenchMark(DWORD blockKB, DWORD* buffer, DWORD accesses) {
  return kovlet::Measure(kovlet::Access::Write, blockKB, reinterpret_cast<uint32_t*>(buffer), accesses);
}

double WINAPI DoMemReadBenchMark(DWORD blockKB, DWORD* buffer, DWORD accesses) {
  return kovlet::Measure(kovlet::Access::Read, blockKB, reinterpret_cast<uint32_t*>(buffer), accesses);
}

BOOL WINAPI DllMain(HINSTANCE, DWORD, LPVOID) { return TRUE; }

}  // extern "C"
