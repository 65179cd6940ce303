// The timed walks of the memory bandwidth library.
#include <cmath>

#include "kovlet/kovlet.h"

namespace kovlet {
namespace {

// Keeps the sum of the read walk alive, so that no load is left out.
volatile uint32_t g_readSink;

double Now(bool* ok) {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f{};
    if (!::QueryPerformanceFrequency(&f)) f.QuadPart = 0;
    return f;
  }();
  LARGE_INTEGER t{};
  if (frequency.QuadPart <= 0 || !::QueryPerformanceCounter(&t)) {
    *ok = false;
    return 0;
  }
  return (double)t.QuadPart / (double)frequency.QuadPart;
}

// `accesses` stores from the start of the block, wrapping at its end; each
// word takes the running access number.
void WriteWalk(uint32_t* buffer, uint64_t words, uint64_t accesses) {
  uint32_t counter = 0;
  while (accesses > 0) {
    uint64_t n = accesses < words ? accesses : words;
    for (uint64_t i = 0; i < n; ++i) buffer[i] = counter + (uint32_t)i;
    counter += (uint32_t)n;
    accesses -= n;
  }
}

uint32_t ReadWalk(const uint32_t* buffer, uint64_t words, uint64_t accesses) {
  uint32_t sum = 0;
  while (accesses > 0) {
    uint64_t n = accesses < words ? accesses : words;
    for (uint64_t i = 0; i < n; ++i) sum += buffer[i];
    accesses -= n;
  }
  return sum;
}

}  // namespace

double TimeWrites(uint32_t* buffer, uint64_t words, uint64_t accesses, uint64_t passes) {
  bool ok = true;
  double start = Now(&ok);
  for (uint64_t p = 0; p < passes; ++p) {
    WriteWalk(buffer, words, accesses);
    // Every pass goes to memory: none may be merged with another.
    asm volatile("" ::: "memory");
  }
  double end = Now(&ok);
  return ok && end > start ? end - start : 0.0;
}

double TimeReads(const uint32_t* buffer, uint64_t words, uint64_t accesses, uint64_t passes) {
  bool ok = true;
  uint32_t sum = 0;
  double start = Now(&ok);
  for (uint64_t p = 0; p < passes; ++p) {
    sum += ReadWalk(buffer, words, accesses);
    asm volatile("" ::: "memory");
  }
  double end = Now(&ok);
  g_readSink = sum;
  return ok && end > start ? end - start : 0.0;
}

double Rate(double bytes, double seconds) {
  if (!(bytes > 0) || !(seconds > 0)) return 0.0;
  double r = bytes / seconds / 1000000.0;
  return std::isfinite(r) && r > 0 ? r : 0.0;
}

double Measure(Access access, uint32_t blockKB, uint32_t* buffer, uint32_t accesses, double minSeconds) {
  if (!buffer || blockKB == 0 || accesses == 0) return 0.0;
  // 64-bit: a block of 4 GB or more still has its right number of words.
  const uint64_t words = (uint64_t)blockKB * 1024 / 4;
  auto timed = [&](uint64_t passes) {
    return access == Access::Write ? TimeWrites(buffer, words, accesses, passes)
                                   : TimeReads(buffer, words, accesses, passes);
  };
  // One walk warms the block (and the pages) before anything is timed.
  timed(1);
  // Doubles the repetitions until the walk lasts long enough to trust.
  uint64_t passes = 1;
  for (int round = 0; round < 40; ++round) {
    double seconds = timed(passes);
    if (seconds <= 0) {
      // A clock that does not move over a whole walk cannot time it.
      if (passes >= (1ull << 30)) return 0.0;
      passes *= 2;
      continue;
    }
    if (seconds >= minSeconds || passes >= (1ull << 30)) {
      // The quickest of three timed walks: other work on the machine only
      // ever slows a walk down.
      for (int again = 0; again < 2; ++again) {
        double s = timed(passes);
        if (s > 0 && s < seconds) seconds = s;
      }
      return Rate((double)accesses * 4.0 * (double)passes, seconds);
    }
    // Aim a little past the minimum in one step when the walk is far too short.
    double factor = minSeconds / seconds * 1.2;
    uint64_t next = factor > 2.0 ? (uint64_t)((double)passes * factor) : passes * 2;
    passes = next > passes ? next : passes + 1;
    if (passes > (1ull << 30)) passes = 1ull << 30;
  }
  return 0.0;
}

}  // namespace kovlet
