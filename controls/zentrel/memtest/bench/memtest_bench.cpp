// How many megabytes per second the data pattern test verifies on this
// machine: runs it over a block of real memory and times it with the
// performance counter. Usage: memtest_bench [MB of the block] [runs]
#include <windows.h>

#include <cstdio>
#include <cstdlib>

#include "memtest/engine.h"

namespace {

class NullSink : public memtest::TestSink {
 public:
  int AddLine(const std::string&) override { return 0; }
  void ReplaceLine(int, const std::string& text) override { last = text; }
  void SetProgress(int) override {}
  void SetErasing(bool) override {}
  bool AbortRequested() override { return false; }
  std::string last;
};

}  // namespace

int main(int argc, char** argv) {
  size_t mb = argc > 1 ? (size_t)std::atoi(argv[1]) : 64;
  int runs = argc > 2 ? std::atoi(argv[2]) : 3;
  if (mb < 1 || runs < 1) return 2;
  memtest::Region r;
  r.blocks = mb * 16;
  r.start = static_cast<uint8_t*>(::VirtualAlloc(nullptr, r.blocks * memtest::kBlockBytes, MEM_COMMIT, PAGE_READWRITE));
  if (!r.start) {
    std::printf("cannot allocate %u MB\n", (unsigned)mb);
    return 1;
  }
  LARGE_INTEGER freq, t0, t1;
  ::QueryPerformanceFrequency(&freq);
  double best = 0;
  for (int i = 0; i < runs; ++i) {
    NullSink sink;
    ::QueryPerformanceCounter(&t0);
    memtest::Outcome o = memtest::DataPatternTest(r, sink);
    ::QueryPerformanceCounter(&t1);
    double seconds = (double)(t1.QuadPart - t0.QuadPart) / (double)freq.QuadPart;
    if (o != memtest::Outcome::Passed || seconds <= 0) {
      std::printf("run %d: failed (%s)\n", i + 1, sink.last.c_str());
      return 1;
    }
    // 16 passes, each writing, checking and re-reading the whole block.
    double rate = (double)mb * 16 / seconds;
    std::printf("run %d: %u MB x 16 passes in %.3f s = %.0f MB/s verified (%.0f MB/s of block per full test)\n", i + 1,
                (unsigned)mb, seconds, rate, (double)mb / seconds);
    if (rate > best) best = rate;
  }
  std::printf("data pattern test: %.0f MB/s verified (best of %d)\n", best, runs);
  ::VirtualFree(r.start, 0, MEM_RELEASE);
  return 0;
}
