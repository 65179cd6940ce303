// How fast the benchmark's sequential reads go here (run by hand): the
// benchmark's own timing routine over the four block sizes on a 256 KB file
// made as the benchmark makes it. Argument: the file's path (kept).
#include <windows.h>

#include <cstdio>
#include <string>

#include "appkit/text.h"
#include "disktest/bench.h"
#include "disktest/rules.h"

int main(int argc, char** argv) {
  if (argc < 2) return 2;
  std::wstring path = appkit::Widen(argv[1]);
  uint32_t baseLoop = argc > 2 ? (uint32_t)atoi(argv[2]) : 2000;
  for (uint32_t kb : {16u, 32u, 64u, 128u}) {
    std::string problem;
    uint32_t rounds = disktest::ReadRounds(baseLoop, kb);
    double rate = disktest::TimeSequentialReads(path, kb * 1024, rounds, &problem, nullptr);
    std::printf("%3u KB x %4u reads: %.2f MB/s %s\n", kb, rounds, rate, problem.c_str());
  }
  return 0;
}
