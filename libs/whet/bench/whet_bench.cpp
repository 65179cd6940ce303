// Processor-benchmark driver for the Whetstone loops.
//   whet_bench LOOPS           runs the modules LOOPS times; prints seconds and MWIPS
//   whet_bench --values LOOPS  prints what the modules leave behind, to the last bit
// On Windows the timing goes through whet.dll's DoWhetstoneTest (beside the
// program or in the build's suite folder), as the processor benchmark calls it. Elsewhere this is a native
// build of the same loop source, to set beside it (bench/build-native).
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "whet/whet.h"

#ifdef _WIN32
#include <string>
#else
#include <time.h>
#endif

namespace {

int PrintValues(int loops) {
  whet::Outcome o = whet::RunLoops(loops);
  for (int i = 1; i < 5; ++i) std::printf("e1[%d] %a %.17g\n", i, o.e1[i], o.e1[i]);
  std::printf("x %a %.17g\ny %a %.17g\nz %a %.17g\n", o.x, o.x, o.y, o.y, o.z, o.z);
  std::printf("j %d k %d l %d\n", o.j, o.k, o.l);
  return 0;
}

double TimeLoops(int loops) {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1.0;
  std::wstring dll(path, n);
  dll = dll.substr(0, dll.find_last_of(L"\\/") + 1);
  // The build keeps the library in the suite's folder beside bench\.
  HMODULE lib = ::LoadLibraryW((dll + L"whet.dll").c_str());
  if (!lib) lib = ::LoadLibraryW((dll + L"..\\suite\\whet.dll").c_str());
  if (!lib) return -1.0;
  using Fn = double(WINAPI*)(int);
  auto fn = reinterpret_cast<Fn>(::GetProcAddress(lib, "DoWhetstoneTest"));
  double t = fn ? fn(loops) : -1.0;
  ::FreeLibrary(lib);
  return t;
#else
  timespec a{}, b{};
  clock_gettime(CLOCK_MONOTONIC, &a);
  whet::RunLoops(loops);
  clock_gettime(CLOCK_MONOTONIC, &b);
  return (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
#endif
}

}  // namespace

int main(int argc, char** argv) {
  bool values = argc > 1 && std::strcmp(argv[1], "--values") == 0;
  int first = values ? 2 : 1;
  int loops = argc > first ? std::atoi(argv[first]) : 0;
  if (loops <= 0) {
    std::fprintf(stderr, "usage: whet_bench [--values] LOOPS\n");
    return 2;
  }
  if (values) return PrintValues(loops);
  double t = TimeLoops(loops);
  if (t <= 0.0) {
    std::fprintf(stderr, "whet_bench: the loops could not be timed\n");
    return 1;
  }
  std::printf("%d loops: %.3f s, %.1f MWIPS\n", loops, t, loops / (t * 10.0));
  return 0;
}
