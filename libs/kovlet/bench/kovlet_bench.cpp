// Measures, on this machine:
//  1. Kovlet's read rate over 1 MB and 64 MB blocks against a plain
//     optimised read loop over the same block, timed alike (the quickest of
//     three spans of at least 0.1 s); five rounds, alternating; the medians
//     are compared;
//  2. the spread of the memory benchmark's averages and of the Dhrystone and
//     Whetstone results over five runs, run as Zentrel's benchmarks run them
//     (five block sizes with MemBenchMarkLoop accesses; the processor loops
//     with their default counts and the second, longer run).
// With "walk kovlet|plain <KB> <passes>" it only reads a block of that size
// that many times, through the library's read walk or the plain loop, so
// that an outside timer can set the two side by side on equal work.
// Loads kovlet.dll, dhry.dll and whet.dll from the suite directory given as
// the first argument (default: ..\suite beside this program). Prints its
// figures; run it by hand.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "kovlet/kovlet.h"

namespace {

using MemFn = double(WINAPI*)(DWORD, DWORD*, DWORD);
using CpuFn = double(WINAPI*)(int);

double Seconds() {
  static LARGE_INTEGER f = [] {
    LARGE_INTEGER x;
    ::QueryPerformanceFrequency(&x);
    return x;
  }();
  LARGE_INTEGER t;
  ::QueryPerformanceCounter(&t);
  return (double)t.QuadPart / (double)f.QuadPart;
}

volatile uint32_t g_sink;

// The plain loop: sums the block's words, repeated until 0.1 s have passed.
__attribute__((noinline)) uint32_t SumBlock(const uint32_t* p, size_t words) {
  uint32_t s = 0;
  for (size_t i = 0; i < words; ++i) s += p[i];
  return s;
}

double PlainReadRateOnce(const uint32_t* p, size_t words) {
  uint64_t passes = 0;
  uint32_t s = 0;
  double start = Seconds(), now;
  do {
    s += SumBlock(p, words);
    asm volatile("" ::: "memory");
    ++passes;
  } while ((now = Seconds()) - start < 0.1);
  g_sink = s;
  return (double)passes * words * 4 / (now - start) / 1e6;
}

// As the library times its walks: the quickest of three spans of 0.1 s.
double PlainReadRate(const uint32_t* p, size_t words) {
  SumBlock(p, words);
  double best = 0;
  for (int i = 0; i < 3; ++i) best = std::max(best, PlainReadRateOnce(p, words));
  return best;
}

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

void Spread(const char* name, const std::vector<double>& v, const char* unit) {
  double mn = *std::min_element(v.begin(), v.end()), mx = *std::max_element(v.begin(), v.end());
  double mean = 0;
  for (double x : v) mean += x;
  mean /= v.size();
  std::printf("%-22s", name);
  for (double x : v) std::printf(" %10.1f", x);
  std::printf("  %s; min %.1f max %.1f, spread (max-min)/mean %.1f%%\n", unit, mn, mx, 100 * (mx - mn) / mean);
}

// The processor loop as the benchmark runs it: default count, then one
// longer run when the first lasted less than the minimum time.
double CpuRate(CpuFn fn, int count, double minTime, double divisor) {
  double t = fn(count);
  if (t > 0 && minTime > t) {
    double next = std::floor(count * (minTime / t) * 1.1);
    count = next >= 2147483647.0 ? 2147483647 : (int)next;
    t = fn(count);
  }
  return t > 0 ? count / (t * divisor) : 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 5 && std::string(argv[1]) == "walk") {
    size_t words = (size_t)std::strtoul(argv[3], nullptr, 10) * 256;
    uint64_t passes = std::strtoull(argv[4], nullptr, 10);
    std::vector<uint32_t> block(words ? words : 1, 1);
    if (std::string(argv[2]) == "kovlet") {
      kovlet::TimeReads(block.data(), words, words, passes);
    } else {
      uint32_t s = 0;
      for (uint64_t p = 0; p < passes; ++p) {
        s += SumBlock(block.data(), words);
        asm volatile("" ::: "memory");  // no pass merged with another
      }
      g_sink = s;
    }
    return 0;
  }
  std::string dir;
  if (argc > 1) {
    dir = argv[1];
  } else {
    char self[MAX_PATH];
    ::GetModuleFileNameA(nullptr, self, MAX_PATH);
    dir = self;
    dir = dir.substr(0, dir.find_last_of('\\') + 1) + "..\\suite";
  }
  if (!dir.empty() && dir.back() != '\\') dir += '\\';
  HMODULE kovlet = ::LoadLibraryA((dir + "kovlet.dll").c_str());
  HMODULE dhry = ::LoadLibraryA((dir + "dhry.dll").c_str());
  HMODULE whet = ::LoadLibraryA((dir + "whet.dll").c_str());
  if (!kovlet || !dhry || !whet) {
    std::printf("cannot load the libraries from %s\n", dir.c_str());
    return 1;
  }
  auto read = reinterpret_cast<MemFn>(::GetProcAddress(kovlet, "DoMemReadBenchMark"));
  auto write = reinterpret_cast<MemFn>(::GetProcAddress(kovlet, "DoMemWriteBenchMark"));
  auto dhrystone = reinterpret_cast<CpuFn>(::GetProcAddress(dhry, "DoDhrystoneTest"));
  auto whetstone = reinterpret_cast<CpuFn>(::GetProcAddress(whet, "DoWhetstoneTest"));

  std::printf("== Read rate, Kovlet against a plain read loop (MB/s, median of 5)\n");
  const size_t maxWords = 64u * 1024 * 1024 / 4;
  std::vector<uint32_t> block(maxWords);
  for (size_t i = 0; i < maxWords; ++i) block[i] = (uint32_t)i;
  for (DWORD kb : {1024u, 65536u}) {
    size_t words = (size_t)kb * 256;
    std::vector<double> k, p;
    for (int round = 0; round < 5; ++round) {
      // One walk over the block per measured pass, repeated by the library.
      k.push_back(read(kb, reinterpret_cast<DWORD*>(block.data()), (DWORD)words));
      p.push_back(PlainReadRate(block.data(), words));
    }
    double km = Median(k), pm = Median(p);
    std::printf("%6lu KB block: Kovlet %10.1f  plain loop %10.1f  Kovlet/plain %.3f\n", (unsigned long)kb, km, pm,
                km / pm);
  }

  std::printf("== Five benchmark runs\n");
  std::vector<uint32_t> buffer(1024 * 256);
  std::vector<double> readAvg, writeAvg, dhryK, whetM;
  const DWORD sizes[] = {4, 16, 64, 256, 1024};
  for (int run = 0; run < 5; ++run) {
    double r = 0, w = 0;
    for (DWORD s : sizes) r += read(s, reinterpret_cast<DWORD*>(buffer.data()), 0x1400000);
    for (DWORD s : sizes) w += write(s, reinterpret_cast<DWORD*>(buffer.data()), 0x1400000);
    readAvg.push_back(r / 5);
    writeAvg.push_back(w / 5);
    dhryK.push_back(CpuRate(dhrystone, 1000000, 2, 1000.0));
    whetM.push_back(CpuRate(whetstone, 1000, 4, 10.0));
  }
  Spread("Memory Read Average", readAvg, "MB/Sec");
  Spread("Memory Write Average", writeAvg, "MB/Sec");
  Spread("Dhrystone", dhryK, "K Dhrystones/Sec");
  Spread("Whetstone", whetM, "MWIPS");
  return 0;
}
