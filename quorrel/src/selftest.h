// The processor self-tests that the server runs for the memory and
// processor control ("kyt_quorrel_msg2"): general registers, mathematical
// calculation, math performance, MMX arithmetic and CPU speed. A test's
// figure or failure text goes to "LastResult".
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "cpuinfo.h"

namespace quorrel {

constexpr double kSelfTestPi = 3.1415926535;
constexpr uint32_t kMmxEvaluations = 20000000;
constexpr uint32_t kMmxExpectedSum = 45511616;

using LastResultWriter = std::function<void(const std::string&)>;

// Loads 0, 0x55555555 and 0xAAAAAAAA into the accumulator and the frame
// pointer and compares each; 0 pass, 1 fail.
uint32_t RegisterSelfTest();
// The thirteen checks of the floating-point library; on the first failure
// its text goes to `failure` and the answer is 1.
uint32_t MathSelfTest(std::string* failure);
// The text of a failed check (1..13): its argument(s) and result; check 8
// takes base, exponent and result, check 13 the sum and i - 1 in `extra`.
std::string MathFailureText(int check, double argument, double result, double extra = 0);
// 2,000 passes of sin^2 + cos^2 over pi / 1 .. pi / 180, timed on `nowMs`:
// the milliseconds, or 0 when a sum was out of range or no time passed.
double MathBenchmark(const std::function<double()>& nowMs);
// (280,000 / ms) x 4.15; false for no elapsed time.
bool MathPerformanceIndex(double ms, double* index);
// One MMX multiply-add evaluation over the two arrays of eight values (the
// sum of the accumulator's halves); leaves the MMX state to the caller.
uint32_t MmxEvaluate(const uint32_t* a, const uint32_t* b);
// `count` evaluations, compared after every second one; the last sum
// (the first wrong one when they differ). Leaves the MMX state (EMMS).
uint32_t MmxLoop(uint32_t count);
// (evaluations / ms, whole) x 0.0437; false for no elapsed time.
bool MmxPerformanceIndex(uint32_t evaluations, double ms, double* index);

// Test `test` (1..5) on `p`: 0 passed, 1 failed (also for any other
// number), SELFTEST_NO_MMX, or SELFTEST_NOT_AVAILABLE when this machine
// cannot run it (its "LastResult" then says so).
uint32_t RunProcessorSelfTest(unsigned test, CpuPlatform& p, const LastResultWriter& write);
// On this machine, writing "LastResult" of the server's settings.
uint32_t RunProcessorSelfTest(unsigned test, const SystemBindings& system);

}  // namespace quorrel
