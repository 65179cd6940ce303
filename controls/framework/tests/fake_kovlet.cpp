// Stands in for the memory-bandwidth library: only the write entry exists.
#include <windows.h>

extern "C" __declspec(dllexport) double DoMemWriteBenchMark() { return 1.0; }
