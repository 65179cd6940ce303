// The processor self-tests: their checks on this processor, their answers
// and "LastResult" texts on canned machines, the cases this machine cannot
// run, and failed measurements that never divide by zero.
#include <gtest/gtest.h>

#include "cpu_fake.h"
#include "selftest.h"
#include "suite/info.h"

using namespace cputest;

namespace {

// A modern processor with MMX and a time-stamp counter.
void ModernLeaves(CannedCpuid& c) {
  c.Vendor(0x16, "GenuineIntel").Set(1, 0x906EA, 0, 0, 0xBFEBFBFF);
}
// A 486 with CPUID: neither MMX nor a time-stamp counter.
void OldLeaves(CannedCpuid& c) { c.Vendor(1, "GenuineIntel").Set(1, 0x435, 0, 0, 0x3); }

struct Answered {
  uint32_t answer;
  std::vector<std::string> written;
};

Answered SelfTest(unsigned test, FakePlatform& p) {
  Answered r;
  r.answer = RunProcessorSelfTest(test, p, [&r](const std::string& t) { r.written.push_back(t); });
  return r;
}

}  // namespace

TEST(SelfTest, ChecksPassOnThisProcessor) {
  EXPECT_EQ(RegisterSelfTest(), 0u);
  std::string failure = "untouched";
  EXPECT_EQ(MathSelfTest(&failure), 0u);
  EXPECT_EQ(failure, "untouched") << "nothing is written on a pass";
  EXPECT_EQ(MmxLoop(1000), kMmxExpectedSum);
  alignas(8) uint32_t a[8], b[8];
  for (int i = 0; i < 8; ++i) {
    a[i] = 0x00010002;  // words 2 and 1
    b[i] = 0x00030004;  // words 4 and 3
  }
  // 2 x 4 + 1 x 3 = 11 in each of the eight 32-bit results.
  EXPECT_EQ(MmxEvaluate(a, b), 88u);
  asm volatile("emms");
  b[7] = 0xFFFF0000;  // word -1 times 1: one result 2 x 0 + 1 x -1
  EXPECT_EQ(MmxEvaluate(a, b), 77u - 1u);
  asm volatile("emms");
}

TEST(SelfTest, FailureTextsOfTheMathChecks) {
  EXPECT_EQ(MathFailureText(1, 1.5707963, 0.5), "sin( 1.570796 ) = 1, not 0.500000");
  EXPECT_EQ(MathFailureText(8, 2.0, 10.0, 1000.0), "2 to the power of 10 = 1024, not 1000");
  EXPECT_EQ(MathFailureText(10, 9000.0, 9.2), "log( 9000.000000 ) = 9.104980, not 9.200000");
  EXPECT_EQ(MathFailureText(13, 0, 1.25, 6), "sin2(x) + con2(x) = 1, not 1.2500000000,  pi/6 < x < pi");
}

TEST(SelfTest, AnswersAndTextsOnCannedMachines) {
  FakePlatform p;
  ModernLeaves(p.cpu);
  p.tscMhz = 2096.003;
  p.clock = {1000.0, 1025.0};  // every timed test takes 25 ms

  Answered r = SelfTest(suite::SELFTEST_REGISTERS, p);
  EXPECT_EQ(r.answer, 0u);
  EXPECT_TRUE(r.written.empty());
  EXPECT_EQ(SelfTest(suite::SELFTEST_MATH, p).answer, 0u);

  p.clockAt = 0;
  r = SelfTest(suite::SELFTEST_MATH_SPEED, p);
  EXPECT_EQ(r.answer, 0u);
  EXPECT_EQ(r.written, std::vector<std::string>{"46480.00"});  // 280,000 / 25 x 4.15

  p.clockAt = 0;
  r = SelfTest(suite::SELFTEST_MMX, p);
  EXPECT_EQ(r.answer, 0u);
  EXPECT_EQ(r.written, std::vector<std::string>{"34960.00"});  // 800,000 a ms x 0.0437

  r = SelfTest(suite::SELFTEST_CPU_SPEED, p);
  EXPECT_EQ(r.answer, 0u);
  EXPECT_EQ(r.written, std::vector<std::string>{"2096.00"});

  for (unsigned bad : {0u, 6u, 100u}) {
    r = SelfTest(bad, p);
    EXPECT_EQ(r.answer, 1u) << bad;
    EXPECT_TRUE(r.written.empty()) << bad;
  }
  // On Windows NT every test has the port driver open for its call only.
  EXPECT_EQ(p.driverOpened, 5) << "not for a number that names no test";
  EXPECT_EQ(p.driverClosed, 0) << "it never opened here";
}

TEST(SelfTest, TimedTestsWithoutElapsedTimeFail) {
  FakePlatform p;
  ModernLeaves(p.cpu);
  p.clock = {500.0};  // the clock stands still
  for (unsigned t : {suite::SELFTEST_MATH_SPEED, suite::SELFTEST_MMX}) {
    Answered r = SelfTest(t, p);
    EXPECT_EQ(r.answer, 1u) << t;
    EXPECT_TRUE(r.written.empty()) << t;
  }
  p.clock = {500.0, 400.0};  // and backwards
  p.clockAt = 0;
  EXPECT_EQ(SelfTest(suite::SELFTEST_MATH_SPEED, p).answer, 1u);
  // A counter that did not advance is no measurement either.
  p.tscWorks = false;
  EXPECT_EQ(SelfTest(suite::SELFTEST_CPU_SPEED, p).answer, 1u);
}

TEST(SelfTest, WhatAnOlderProcessorOrThisSystemCannotRun) {
  FakePlatform p;
  OldLeaves(p.cpu);
  p.ticks = 700;
  // No MMX: the answer says so and "LastResult" stays as it was.
  Answered r = SelfTest(suite::SELFTEST_MMX, p);
  EXPECT_EQ(r.answer, suite::SELFTEST_NO_MMX);
  EXPECT_TRUE(r.written.empty());
  // No counter and no driver on NT: the speed cannot be measured here, and
  // the timer's ports are never touched.
  r = SelfTest(suite::SELFTEST_CPU_SPEED, p);
  EXPECT_EQ(r.answer, suite::SELFTEST_NOT_AVAILABLE);
  EXPECT_EQ(r.written, std::vector<std::string>{"not available"});
  EXPECT_EQ(p.timerRuns, 0);
  // The same where ports are refused outright (a system that only claims to
  // be Windows 9x).
  p.win9x = true;
  EXPECT_EQ(SelfTest(suite::SELFTEST_CPU_SPEED, p).answer, suite::SELFTEST_NOT_AVAILABLE);
  EXPECT_EQ(p.timerRuns, 0);
  // Where the ports work, the timer measures: 202,000 / 700.
  p.portsAllowed = true;
  r = SelfTest(suite::SELFTEST_CPU_SPEED, p);
  EXPECT_EQ(r.answer, 0u);
  EXPECT_EQ(r.written, std::vector<std::string>{"288.57"});
  p.ticks = 0;
  r = SelfTest(suite::SELFTEST_CPU_SPEED, p);
  EXPECT_EQ(r.answer, 1u) << "the timer did not advance";
  EXPECT_TRUE(r.written.empty());
  // On NT with the driver open the ports work too.
  p.win9x = false;
  p.driverExists = true;
  p.ticks = 800;
  p.cpu.Set(1, 0x525, 0, 0, 0x1);  // a Pentium without the counter: 178,800
  r = SelfTest(suite::SELFTEST_CPU_SPEED, p);
  EXPECT_EQ(r.written, std::vector<std::string>{"223.50"});
  EXPECT_EQ(p.driverClosed, 1);
}

TEST(SelfTest, ThisMachine) {
  // Every test runs here (the speed through the time-stamp counter); the
  // raw port access the timer would need is refused without a fault.
  std::unique_ptr<CpuPlatform> p = MakeMachineCpuPlatform(SystemBindings());
  for (unsigned t = 1; t <= 5; ++t) {
    std::vector<std::string> written;
    uint32_t answer = RunProcessorSelfTest(t, *p, [&](const std::string& s) { written.push_back(s); });
    EXPECT_EQ(answer, 0u) << t;
    if (t >= 3) {
      ASSERT_EQ(written.size(), 1u) << t;
      EXPECT_GT(atof(written[0].c_str()), 0.0) << written[0];
      std::printf("[ measured ] self-test %u: %s\n", t, written[0].c_str());
    }
  }
  EXPECT_FALSE(MachinePortAccess());
  EXPECT_FALSE(p->PortAccess());
  EXPECT_EQ(p->MathType(), 3);
}
