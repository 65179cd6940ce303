#include "selftest.h"

#include <cmath>

#include "cpu_resource.h"
#include "format.h"
#include "settings.h"
#include "suite/info.h"
#include "texts.h"

namespace quorrel {

uint32_t RegisterSelfTest() {
  uint32_t bad;
  // The frame pointer is saved on the stack around its use; the mismatch
  // count lives in ECX, which the test does not touch otherwise.
  asm volatile(
      "xorl %%ecx, %%ecx\n\t"
#if defined(__x86_64__)
      "pushq %%rbp\n\t"
#else
      "pushl %%ebp\n\t"
#endif
      "movl $0, %%eax\n\t"
      "cmpl $0, %%eax\n\t"
      "je 1f\n\t"
      "incl %%ecx\n"
      "1:\n\t"
      "movl $0x55555555, %%eax\n\t"
      "cmpl $0x55555555, %%eax\n\t"
      "je 2f\n\t"
      "incl %%ecx\n"
      "2:\n\t"
      "movl $0xAAAAAAAA, %%eax\n\t"
      "cmpl $0xAAAAAAAA, %%eax\n\t"
      "je 3f\n\t"
      "incl %%ecx\n"
      "3:\n\t"
      "movl $0, %%ebp\n\t"
      "cmpl $0, %%ebp\n\t"
      "je 4f\n\t"
      "incl %%ecx\n"
      "4:\n\t"
      "movl $0x55555555, %%ebp\n\t"
      "cmpl $0x55555555, %%ebp\n\t"
      "je 5f\n\t"
      "incl %%ecx\n"
      "5:\n\t"
      "movl $0xAAAAAAAA, %%ebp\n\t"
      "cmpl $0xAAAAAAAA, %%ebp\n\t"
      "je 6f\n\t"
      "incl %%ecx\n"
      "6:\n\t"
#if defined(__x86_64__)
      "popq %%rbp\n\t"
#else
      "popl %%ebp\n\t"
#endif
      : "=&c"(bad)
      :
      : "eax", "cc", "memory");
  return bad ? 1 : 0;
}

std::string MathFailureText(int check, double argument, double result, double extra) {
  std::string format = Str(IDS_MATH_CHECK_FIRST + (UINT)check - 1);
  if (check == 8) return FormatA(format.c_str(), argument, result, extra);
  if (check == 13) return FormatA(format.c_str(), result, (int)extra);
  return FormatA(format.c_str(), argument, result);
}

namespace {
bool Near(double value, double expected) { return std::fabs(value - expected) <= 0.000001; }
bool UnitSum(double s) { return s >= 0.9999999999 && s <= 1.0000000001; }
}  // namespace

uint32_t MathSelfTest(std::string* failure) {
  // Read through a volatile, so that the library computes every value here.
  volatile double pi = kSelfTestPi;
  const double x = pi / 2.0;
  auto fail = [&](int check, double a, double r, double extra = 0) {
    if (failure) *failure = MathFailureText(check, a, r, extra);
    return 1u;
  };
  double r;
  if ((r = std::sin(x)) != 1.0) return fail(1, x, r);
  if (!Near(r = std::sinh(x), 2.301298)) return fail(2, x, r);
  if (!Near(r = std::cos(x), 0.0)) return fail(3, x, r);
  if (!Near(r = std::cosh(x), 2.509178)) return fail(4, x, r);
  volatile double y = 0.32696;
  if (!Near(r = std::asin(y), 0.333085)) return fail(5, y, r);
  if (!Near(r = std::acos(y), 1.237711)) return fail(6, y, r);
  volatile double z = -862.42;
  if (!Near(r = std::atan(z), -1.569637)) return fail(7, z, r);
  volatile double two = 2.0, ten = 10.0;
  if ((r = std::pow(two, ten)) != 1024.0) return fail(8, two, ten, r);
  if (!Near(r = pi / 2.0, 1.570796)) return fail(9, pi, r);
  volatile double w = 9000.0;
  if (!Near(r = std::log(w), 9.10498)) return fail(10, w, r);
  if (!Near(r = std::log10(w), 3.954243)) return fail(11, w, r);
  volatile double v = 2.302585093;
  if (!Near(r = std::exp(v), 10.0)) return fail(12, v, r);
  for (int i = 1; i <= 180; ++i) {
    double s = std::pow(std::sin(pi / i), 2.0) + std::pow(std::cos(pi / i), 2.0);
    if (!UnitSum(s)) return fail(13, 0, s, i - 1);
  }
  return 0;
}

double MathBenchmark(const std::function<double()>& nowMs) {
  volatile double pi = kSelfTestPi;
  bool error = false;
  double start = nowMs();
  for (int pass = 0; pass < 2000; ++pass) {
    const double p = pi;
    for (int i = 1; i <= 180; ++i) {
      double s = std::pow(std::sin(p / i), 2.0) + std::pow(std::cos(p / i), 2.0);
      if (!UnitSum(s)) {
        error = true;
        break;
      }
    }
  }
  double elapsed = nowMs() - start;
  if (error || !(elapsed > 0)) return 0;
  return elapsed;
}

bool MathPerformanceIndex(double ms, double* index) {
  if (!(ms > 0)) return false;
  *index = (280000.0 / ms) * 4.15;
  return true;
}

__attribute__((target("mmx"))) uint32_t MmxEvaluate(const uint32_t* a, const uint32_t* b) {
  uint32_t lo, hi;
  asm volatile(
      "pxor %%mm0, %%mm0\n\t"
      "movq (%2), %%mm1\n\t"
      "pmaddwd (%3), %%mm1\n\t"
      "paddd %%mm1, %%mm0\n\t"
      "movq 8(%2), %%mm1\n\t"
      "pmaddwd 8(%3), %%mm1\n\t"
      "paddd %%mm1, %%mm0\n\t"
      "movq 16(%2), %%mm1\n\t"
      "pmaddwd 16(%3), %%mm1\n\t"
      "paddd %%mm1, %%mm0\n\t"
      "movq 24(%2), %%mm1\n\t"
      "pmaddwd 24(%3), %%mm1\n\t"
      "paddd %%mm1, %%mm0\n\t"
      "movd %%mm0, %0\n\t"
      "psrlq $32, %%mm0\n\t"
      "movd %%mm0, %1\n\t"
      : "=&r"(lo), "=&r"(hi)
      : "r"(a), "r"(b)
      : "mm0", "mm1", "memory");
  return lo + hi;
}

uint32_t MmxLoop(uint32_t count) {
  alignas(8) uint32_t a[8], b[8];
  for (int i = 0; i < 8; ++i) {
    a[i] = 0x12345678;
    b[i] = 0x00000101;
  }
  uint32_t sum = 0;
  for (uint32_t n = 1; n <= count; ++n) {
    sum = MmxEvaluate(a, b);
    if (n % 2 == 0 && sum != kMmxExpectedSum) break;
  }
  asm volatile("emms");
  return sum;
}

bool MmxPerformanceIndex(uint32_t evaluations, double ms, double* index) {
  if (!(ms > 0)) return false;
  double rate = std::floor(evaluations / ms);
  *index = rate * 0.0437;
  return true;
}

namespace {

uint32_t RunSelfTest(unsigned test, CpuPlatform& p, const LastResultWriter& write) {
  switch (test) {
    case suite::SELFTEST_REGISTERS:
      return RegisterSelfTest();
    case suite::SELFTEST_MATH: {
      std::string failure;
      uint32_t r = MathSelfTest(&failure);
      if (r) write(failure);
      return r;
    }
    case suite::SELFTEST_MATH_SPEED: {
      // Timed on the performance counter: no port is needed, so the test
      // runs on every system.
      double index = 0;
      if (!MathPerformanceIndex(MathBenchmark([&p] { return p.NowMs(); }), &index)) return 1;
      write(FormatA("%.2f", index));
      return 0;
    }
    default:
      break;
  }
  ProcessorFacts f = GatherProcessorFacts(p, true, false);
  if (test == suite::SELFTEST_MMX) {
    if (!(f.id.features & kFeatureMmx)) return suite::SELFTEST_NO_MMX;
    double start = p.NowMs();
    uint32_t sum = MmxLoop(kMmxEvaluations);
    double elapsed = p.NowMs() - start;
    if (sum != kMmxExpectedSum) return 1;
    double index = 0;
    if (!MmxPerformanceIndex(kMmxEvaluations, elapsed, &index)) return 1;  // a failed measurement
    write(FormatA("%.2f", index));
    return 0;
  }
  // The CPU speed: the time-stamp counter, or the timer where the ports may
  // be used. Without either the test cannot run here.
  if (!(f.id.features & kFeatureTsc) && !p.PortAccess()) {
    write(Str(IDS_SELFTEST_NOT_AVAILABLE));
    return suite::SELFTEST_NOT_AVAILABLE;
  }
  ClockReading c;
  if (!ReadProcessorClock(p, f.id, &c)) return 1;
  write(FormatClock(c));
  return 0;
}

}  // namespace

uint32_t RunProcessorSelfTest(unsigned test, CpuPlatform& p, const LastResultWriter& write) {
  if (test < suite::SELFTEST_REGISTERS || test > suite::SELFTEST_CPU_SPEED) return 1;
  bool driver = !p.Windows9x() && p.OpenPortDriver();
  uint32_t result = RunSelfTest(test, p, write);
  if (driver) p.ClosePortDriver();
  return result;
}

uint32_t RunProcessorSelfTest(unsigned test, const SystemBindings& system) {
  std::unique_ptr<CpuPlatform> p = MakeMachineCpuPlatform(system);
  return RunProcessorSelfTest(test, *p, [](const std::string& text) { WriteLastResult(text); });
}

}  // namespace quorrel
