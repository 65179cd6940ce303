// Loads a library as its callers do (LoadLibrary by full path) and ends with
// 0 when it loaded, else the load's error code; kLoadProbeWrongSystem when the
// system it sees is not the one named by its first argument ("9x" or "nt").
// Usage: load_probe.exe 9x|nt <library path>
#include <windows.h>

#include <cstring>

#include "load_probe.h"

int main(int argc, char** argv) {
  if (argc < 3) return 1;
  bool expect9x = std::strcmp(argv[1], "9x") == 0;
  bool is9x = (::GetVersion() & 0x80000000u) != 0;
  if (is9x != expect9x) return (int)kLoadProbeWrongSystem;
  ::SetLastError(0);
  HMODULE lib = ::LoadLibraryA(argv[2]);
  if (!lib) return (int)::GetLastError();
  ::FreeLibrary(lib);
  return 0;
}
