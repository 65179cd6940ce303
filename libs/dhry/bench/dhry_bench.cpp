// Processor-benchmark driver for the Dhrystone loop.
//   dhry_bench RUNS           runs the main loop RUNS times; prints seconds and K Dhrystones/s
//   dhry_bench --values RUNS  prints what the loop leaves behind, to the last bit
// On Windows the timing goes through dhry.dll's DoDhrystoneTest (beside the
// program or in the build's suite folder), as the processor benchmark calls it. Elsewhere this is a native
// build of the same loop source, to set beside it (bench/build-native).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "dhry/dhry.h"

#ifdef _WIN32
#include <string>
#else
#include <time.h>
#endif

namespace {

int PrintValues(int runs) {
  dhry::Outcome o = dhry::RunLoops(runs);
  std::printf("Int_Glob %d Bool_Glob %d Ch_1_Glob %c Ch_2_Glob %c\n", o.intGlob, o.boolGlob, o.ch1Glob, o.ch2Glob);
  std::printf("Arr_1_Glob[8] %d Arr_2_Glob[8][7] %d\n", o.arr1Glob8, o.arr2Glob87);
  std::printf("Ptr_Glob %d %d %s\nNext_Ptr_Glob %d %d\n", o.ptrGlobIntComp, o.ptrGlobEnumComp, o.ptrGlobStr.c_str(),
              o.nextPtrIntComp, o.nextPtrEnumComp);
  std::printf("Int_1_Loc %d Int_2_Loc %d Int_3_Loc %d Enum_Loc %d\n", o.int1Loc, o.int2Loc, o.int3Loc, o.enumLoc);
  std::printf("Str_1_Loc %s\nStr_2_Loc %s\n", o.str1Loc.c_str(), o.str2Loc.c_str());
  return 0;
}

double TimeLoops(int runs) {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1.0;
  std::wstring dll(path, n);
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1);
  // The build keeps the library in the suite's folder beside bench\.
  HMODULE lib = ::LoadLibraryW((dll + L"dhry.dll").c_str());
  if (!lib) lib = ::LoadLibraryW((dll + L"..\\suite\\dhry.dll").c_str());
  if (!lib) return -1.0;
  using Fn = double(WINAPI*)(int);
  auto fn = reinterpret_cast<Fn>(::GetProcAddress(lib, "DoDhrystoneTest"));
  double t = fn ? fn(runs) : -1.0;
  ::FreeLibrary(lib);
  return t;
#else
  timespec a{}, b{};
  clock_gettime(CLOCK_MONOTONIC, &a);
  dhry::RunLoops(runs);
  clock_gettime(CLOCK_MONOTONIC, &b);
  return (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  bool values = argc > 1 && std::strcmp(argv[1], "--values") == 0;
  int first = values ? 2 : 1;
  int runs = argc > first ? std::atoi(argv[first]) : 0;
  if (runs <= 0) {
    std::fprintf(stderr, "usage: dhry_bench [--values] RUNS\n");
    return 2;
  }
  if (values) return PrintValues(runs);
  double t = TimeLoops(runs);
  if (t <= 0.0) {
    std::fprintf(stderr, "dhry_bench: the runs could not be timed\n");
    return 1;
  }
  std::printf("%d runs: %.3f s, %.1f K Dhrystones/s\n", runs, t, runs / (t * 1000.0));
  return 0;
}
