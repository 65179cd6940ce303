// Processor-benchmark driver for the Whetstone loops (see bench_driver.h):
// whet_bench LOOPS prints seconds and MWIPS.
#include "bench_driver.h"
#include "whet/whet.h"

namespace {

void PrintValues(int loops) {
  whet::Outcome o = whet::RunLoops(loops);
  for (int i = 1; i < 5; ++i) std::printf("e1[%d] %a %.17g\n", i, o.e1[i], o.e1[i]);
  std::printf("x %a %.17g\ny %a %.17g\nz %a %.17g\n", o.x, o.x, o.y, o.y, o.z, o.z);
  std::printf("j %d k %d l %d\n", o.j, o.k, o.l);
}

void PrintRate(int loops, double seconds) {
  std::printf("%d loops: %.3f s, %.1f MWIPS\n", loops, seconds, loops / (seconds * 10.0));
}

}  // namespace

int main(int argc, char** argv) {
  const benchdriver::Driver d{"whet_bench", L"whet.dll", "DoWhetstoneTest",
                              [](int loops) { whet::RunLoops(loops); }, PrintValues, PrintRate};
  return benchdriver::Main(d, argc, argv);
}
