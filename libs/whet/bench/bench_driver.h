// The processor-benchmark drivers' common part: the command line, the
// timing, and the values printout.
//   NAME COUNT           runs the loops COUNT times; prints seconds and the rate
//   NAME --values COUNT  prints what the loops leave behind, to the last bit
// On Windows the timing goes through the library's export (the library
// beside the program or in the build's suite folder), as the processor
// benchmark calls it. Elsewhere the driver is a native build of the same
// loop source, to set beside it (bench/build-native).
#pragma once
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifdef _WIN32
#include <windows.h>

#include <string>
#else
#include <time.h>
#endif

namespace benchdriver {

struct Driver {
  const char* name;
  const wchar_t* dll;
  const char* entry;                        // (int count) -> seconds, WINAPI
  void (*runLoops)(int count);              // the loops in this process
  void (*printValues)(int count);           // what the loops leave behind
  void (*printRate)(int count, double seconds);
};

inline double TimeLoops(const Driver& d, int count) {
#ifdef _WIN32
  wchar_t path[MAX_PATH];
  DWORD n = ::GetModuleFileNameW(nullptr, path, MAX_PATH);
  if (n == 0 || n >= MAX_PATH) return -1.0;
  std::wstring dir(path, n);
  dir = dir.substr(0, dir.find_last_of(L"\\/") + 1);
  HMODULE lib = ::LoadLibraryW((dir + d.dll).c_str());
  if (!lib) lib = ::LoadLibraryW((dir + L"..\\suite\\" + d.dll).c_str());
  if (!lib) return -1.0;
  using Fn = double(WINAPI*)(int);
  auto fn = reinterpret_cast<Fn>(::GetProcAddress(lib, d.entry));
  double t = fn ? fn(count) : -1.0;
  ::FreeLibrary(lib);
  return t;
#else
  timespec a{}, b{};
  clock_gettime(CLOCK_MONOTONIC, &a);
  d.runLoops(count);
  clock_gettime(CLOCK_MONOTONIC, &b);
  return (double)(b.tv_sec - a.tv_sec) + (double)(b.tv_nsec - a.tv_nsec) / 1e9;
#endif
}

inline int Main(const Driver& d, int argc, char** argv) {
  bool values = argc > 1 && std::strcmp(argv[1], "--values") == 0;
  int first = values ? 2 : 1;
  int count = argc > first ? std::atoi(argv[first]) : 0;
  if (count <= 0) {
    std::fprintf(stderr, "usage: %s [--values] COUNT\n", d.name);
    return 2;
  }
  if (values) {
    d.printValues(count);
    return 0;
  }
  double t = TimeLoops(d, count);
  if (t <= 0.0) {
    std::fprintf(stderr, "%s: the loops could not be timed\n", d.name);
    return 1;
  }
  d.printRate(count, t);
  return 0;
}

}  // namespace benchdriver
