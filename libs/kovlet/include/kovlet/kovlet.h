// Kovlet: sequential memory write and read bandwidth over a buffer the
// caller supplies. The library exports DoMemWriteBenchMark (ordinal 1) and
// DoMemReadBenchMark (ordinal 2); callers bind them at run time by name.
//
// Both walk the buffer word by word from its start, `accesses` 32-bit
// accesses in all, wrapping at the end of the block (block size in KB). The
// walk is timed with QueryPerformanceCounter and repeated until the timed
// work lasts long enough to trust (the quickest of three such walks counts);
// the answer is MB/s (1 MB = 1,000,000
// bytes). A call that cannot measure (no buffer, an empty block, no accesses,
// no usable clock) answers 0.0: never an infinite or not-a-number value.
#pragma once
#include <windows.h>

#include <cstdint>

namespace kovlet {

// The shortest timed span a result rests on.
constexpr double kMinSeconds = 0.1;

// One timed walk: `passes` repetitions of `accesses` accesses over the block.
// Answers the seconds taken (0 when the clock failed).
double TimeWrites(uint32_t* buffer, uint64_t words, uint64_t accesses, uint64_t passes);
double TimeReads(const uint32_t* buffer, uint64_t words, uint64_t accesses, uint64_t passes);

enum class Access { Write, Read };
// The bandwidth as both exports answer it (0.0 for a call that cannot measure).
double Measure(Access access, uint32_t blockKB, uint32_t* buffer, uint32_t accesses, double minSeconds = kMinSeconds);

// MB/s of `bytes` moved in `seconds`; 0.0 when either is not positive or the
// result would not be finite.
double Rate(double bytes, double seconds);

}  // namespace kovlet

extern "C" {
double WINAPI DoMemWriteBenchMark(DWORD blockKB, DWORD* buffer, DWORD accesses);
double WINAPI DoMemReadBenchMark(DWORD blockKB, DWORD* buffer, DWORD accesses);
}
