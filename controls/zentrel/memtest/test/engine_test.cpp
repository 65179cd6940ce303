// The pattern engine over clean regions and over regions with injected
// faults: each test's own FAILED text and the address, data and expected
// values of its "Addr = ..." line.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdio>
#include <cstring>

#include "memtest/engine.h"
#include "recording_sink.h"

using namespace memtest;

namespace {

struct TestRegion {
  explicit TestRegion(size_t blocks) : blocks(blocks) {
    mem = static_cast<uint8_t*>(::VirtualAlloc(nullptr, blocks * kBlockBytes, MEM_COMMIT, PAGE_READWRITE));
  }
  ~TestRegion() { ::VirtualFree(mem, 0, MEM_RELEASE); }
  Region region() const { return Region{mem, blocks}; }
  std::string Addr(size_t offset) const { return AddressText(reinterpret_cast<uintptr_t>(mem + offset)); }
  uint8_t* mem;
  size_t blocks;
};

std::string Hex(uint32_t v) {
  char b[16];
  std::snprintf(b, sizeof b, "%8.8lX", (unsigned long)v);
  return b;
}

// Always the blocks 0 and 8.
RandomSource FixedPair() {
  auto n = std::make_shared<int>(0);
  return [n] { return (uint32_t)((*n)++ % 2 ? 8 : 0); };
}

RandomSource Lcg() {
  auto s = std::make_shared<uint32_t>(12345);
  return [s] { return (*s = *s * 1103515245u + 12345u) >> 8; };
}

Selection Only(int which) {
  Selection s{false, false, false, false, false};
  bool* flags[] = {&s.dataPattern, &s.walkingOnes, &s.movingInversion, &s.walkingZeros, &s.randomCopy};
  *flags[which] = true;
  return s;
}

}  // namespace

TEST(MemtestEngine, CleanRegionPassesEveryTestWithItsLastPatternAndFullProgress) {
  TestRegion r(10);
  RecordingSink sink;
  ASSERT_EQ(RunPatternTests(r.region(), Selection{}, sink, Lcg()), Outcome::Passed);
  std::string end = r.Addr(10 * kBlockBytes);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{
                            "Initialize Memory Addresses:\t" + end + "h\tPASSED ",
                            "Verify Memory Addresses:\t" + end + "h\tPASSED ",
                            "Test Data Pattern:\tFFFFFFFFh\tPASSED ",
                            "Walking Ones Test:\t80000000h\tPASSED ",
                            "Moving Inversion Test:\t80000000h\tPASSED ",
                            "Walking Zeros Test:\t7FFFFFFFh\tPASSED ",
                            "Random Mem. Block Copy:\t\tPASSED ",
                        }));
  EXPECT_EQ(sink.progress.back(), 100);
  EXPECT_TRUE(sink.erasing);
  EXPECT_EQ(sink.erasingOn, sink.erasingOff);
}

TEST(MemtestEngine, PassPatternsFollowEachTestsSequence) {
  TestRegion r(8);
  struct Case {
    Outcome (*fn)(const Region&, TestSink&, FaultInjector*);
    std::vector<int> passes;  // which passes to look at (1-based)
    std::vector<uint32_t> patterns;
    int lastProgress, endProgress;
  } cases[] = {
      {DataPatternTest, {1, 2, 8, 9, 10, 16}, {0xAAAAAAAA, 0x55555555, 0x55555555, 0, 0xFFFFFFFF, 0xFFFFFFFF}, 28, 30},
      {WalkingOnesTest, {1, 2, 32, 33, 64}, {1, 2, 0x80000000, 1, 0x80000000}, 46, 50},
      {MovingInversionTest, {1, 2, 32, 33, 64}, {0xFFFFFFFF, 0xFFFFFFFE, 0x80000000, 0xFFFFFFFF, 0x80000000}, 66, 70},
      {WalkingZerosTest, {1, 2, 32, 33, 64}, {0xFFFFFFFE, 0xFFFFFFFD, 0x7FFFFFFF, 0xFFFFFFFE, 0x7FFFFFFF}, 86, 95},
  };
  for (const Case& c : cases) {
    RecordingSink sink;
    ASSERT_EQ(c.fn(r.region(), sink, nullptr), Outcome::Passed);
    for (size_t i = 0; i < c.passes.size(); ++i) {
      const std::string& text = sink.replaced.at(c.passes[i] - 1);
      EXPECT_NE(text.find("\t" + Hex(c.patterns[i]) + "h\tPASSED "), std::string::npos) << text;
    }
    EXPECT_EQ(sink.progress[sink.progress.size() - 2], c.lastProgress);
    EXPECT_EQ(sink.progress.back(), c.endProgress);
  }
}

// A bit 0 stuck at 1 in one word of block 8, armed when the chosen test
// begins (the address test runs clean before it).
TEST(MemtestEngine, StuckBitFailsEachPatternTestWithItsOwnLine) {
  const size_t victim = 8 * kBlockBytes + 0x1234;
  struct Case {
    int test;
    const char* failed;
    const char* lastPassed;  // the line's text before the failure, or ""
    uint32_t data, expected;
  } cases[] = {
      {0, "Test Data Pattern:\tFAILED ", "", 0xAAAAAAAB, 0xAAAAAAAA},
      {1, "Walking Ones Test:\tFAILED ", "Walking Ones Test:\t00000001h\tPASSED ", 3, 2},
      {2, "Moving Inversion Test:\t\tFAILED ", "Moving Inversion Test:\tFFFFFFFFh\tPASSED ", 0xFFFFFFFF, 0xFFFFFFFE},
      {3, "Walking Zeros Test:\t\tFAILED ", "", 0xFFFFFFFF, 0xFFFFFFFE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failed);
    TestRegion r(10);
    FaultInjector faults;
    faults.Add({Fault::StuckAt1, victim, 0, 0});
    faults.Arm(false);
    RecordingSink sink;
    sink.onAdd = [&](const std::string& l) { if (l == " ") faults.Arm(true); };
    // Every test after the failing one is selected too: none of them may run.
    Selection sel;
    bool* flags[] = {&sel.dataPattern, &sel.walkingOnes, &sel.movingInversion, &sel.walkingZeros};
    for (int i = 0; i < c.test; ++i) *flags[i] = false;
    ASSERT_EQ(RunPatternTests(r.region(), sel, sink, FixedPair(), &faults), Outcome::Failed);
    ASSERT_EQ(sink.lines.size(), 4u);
    EXPECT_EQ(sink.lines[2], c.failed);
    EXPECT_EQ(sink.lines[3], "Addr = " + r.Addr(victim & ~3u) + ", Data = " + Hex(c.data) + ", Expected = " + Hex(c.expected));
    if (*c.lastPassed) {
      EXPECT_EQ(sink.replaced.at(sink.replaced.size() - 2), c.lastPassed);
    }
    EXPECT_TRUE(sink.erasing);
  }
}

TEST(MemtestEngine, StuckBitFailsTheAddressTestWithSixteenBitValues) {
  TestRegion r(10);
  const size_t victim = 3 * kBlockBytes + 0x40;  // block k = 4, offset 0x40
  FaultInjector faults;
  faults.Add({Fault::StuckAt1, victim, 0, 0});
  RecordingSink sink;
  ASSERT_EQ(RunPatternTests(r.region(), Selection{}, sink, FixedPair(), &faults), Outcome::Failed);
  uint16_t expected = (uint16_t)((0x40 + 4) * 2);
  char tail[64];
  std::snprintf(tail, sizeof tail, ", Data = %4.4X, Expected = %4.4X", expected | 1, expected);
  ASSERT_EQ(sink.lines.size(), 3u);
  EXPECT_EQ(sink.lines[1], "Verify Memory Addresses:\t" + r.Addr(victim) + "h\tFAILED ");
  EXPECT_EQ(sink.lines[2], "Addr = " + r.Addr(victim) + tail);
}

TEST(MemtestEngine, CoupledAddressIsFoundByAddressTestAndDataPatternReread) {
  // Writing the aggressor (later in the same block) inverts bit 5 of the victim.
  const size_t victim = 2 * kBlockBytes + 0x100, aggressor = 2 * kBlockBytes + 0x200;
  {
    TestRegion r(10);
    FaultInjector faults;
    faults.Add({Fault::Coupled, victim, 5, aggressor});
    RecordingSink sink;
    ASSERT_EQ(RunPatternTests(r.region(), Selection{}, sink, FixedPair(), &faults), Outcome::Failed);
    uint16_t expected = (uint16_t)((0x100 + 3) * 2);
    char tail[64];
    std::snprintf(tail, sizeof tail, ", Data = %4.4X, Expected = %4.4X", expected ^ 0x20, expected);
    EXPECT_EQ(sink.lines.back(), "Addr = " + r.Addr(victim) + tail);
  }
  {
    TestRegion r(10);
    FaultInjector faults;
    faults.Add({Fault::Coupled, victim, 5, aggressor});
    faults.Arm(false);
    RecordingSink sink;
    sink.onAdd = [&](const std::string& l) { if (l == " ") faults.Arm(true); };
    ASSERT_EQ(RunPatternTests(r.region(), Only(0), sink, FixedPair(), &faults), Outcome::Failed);
    EXPECT_EQ(sink.lines[2], "Test Data Pattern:\tFAILED ");
    EXPECT_EQ(sink.lines[3], "Addr = " + r.Addr(victim) + ", Data = AAAAAA8A, Expected = AAAAAAAA");
  }
}

TEST(MemtestEngine, RandomBlockCopyReportsBothAddressesAndWords) {
  TestRegion r(10);
  const size_t off = 0x88;
  FaultInjector faults;
  faults.Add({Fault::StuckAt1, 8 * kBlockBytes + off, 0, 0});
  faults.Arm(false);
  RecordingSink sink;
  sink.onAdd = [&](const std::string& l) { if (l == "Random Mem. Block Copy:") faults.Arm(true); };
  ASSERT_EQ(RunPatternTests(r.region(), Only(4), sink, FixedPair(), &faults), Outcome::Failed);
  // Block 0 still holds the address test's words (block number k = 1).
  uint32_t source = (uint32_t)((off + 1) * 2) | ((uint32_t)((off + 2 + 1) * 2) << 16);
  EXPECT_EQ(sink.lines.back(), "FromAddr = " + r.Addr(off) + " ToAddr = " + r.Addr(8 * kBlockBytes + off) +
                                   ", Data = " + Hex(source) + ", Expected = " + Hex(source | 1) + ", FAILED ");
  EXPECT_EQ(sink.lines[2], "Random Mem. Block Copy:");
}

TEST(MemtestEngine, EightBlocksCopyNothingAndPassWithANote) {
  TestRegion r(8);
  RecordingSink sink;
  int draws = 0;
  RandomSource counting = [&] { return (uint32_t)++draws; };
  ASSERT_EQ(RandomBlockCopyTest(r.region(), sink, counting), Outcome::Passed);
  EXPECT_EQ(draws, 0);
  ASSERT_EQ(sink.lines.size(), 2u);
  EXPECT_EQ(sink.lines[0], "Random Mem. Block Copy:\t\tPASSED ");
  EXPECT_NE(sink.lines[1].find("Too little memory to copy"), std::string::npos);
  EXPECT_TRUE(sink.erasing);
}

TEST(MemtestEngine, AbortIsHonouredBetweenPassesAndRounds) {
  TestRegion r(10);
  struct Case {
    Selection sel;
    int afterProgressCalls;
  } cases[] = {{Only(1), 25}, {Only(4), 30}, {Only(0), 12}};
  for (const Case& c : cases) {
    RecordingSink sink;
    sink.abortWhen = [&] { return (int)sink.progress.size() >= c.afterProgressCalls; };
    EXPECT_EQ(RunPatternTests(r.region(), c.sel, sink, Lcg()), Outcome::Aborted);
    for (const std::string& l : sink.lines) EXPECT_EQ(l.find("FAILED"), std::string::npos) << l;
    EXPECT_TRUE(sink.erasing);
  }
}

TEST(MemtestEngine, AddressesKeepEightDigitsAndShowAllOfALongOne) {
  EXPECT_EQ(AddressText(0x1234), "00001234");
  EXPECT_EQ(AddressText(0xDEADBEEF), "DEADBEEF");
  EXPECT_EQ(AddressText((uintptr_t)0x7FF123456780ull), "7FF123456780");
}

// Stop acts within a megabyte in every step, also in the middle of the
// address initialisation and of a pass over a large block: the stop flag
// goes up as soon as the step has written its first word, and the step may
// then write at most kStopCheckBlocks more blocks.
TEST(MemtestEngine, StopActsWithinAMegabyteInTheMiddleOfEveryStep) {
  constexpr size_t kBlocks = 160;  // 10 MB
  const uint8_t kUntouched = 0xC3;  // no test writes a byte pair 0xC3C3 (address values are even)
  TestRegion r(kBlocks);
  const struct {
    const char* name;
    Outcome (*fn)(const Region&, TestSink&, FaultInjector*);
  } steps[] = {{"address", AddressTest},
               {"data pattern", DataPatternTest},
               {"walking ones", WalkingOnesTest},
               {"moving inversion", MovingInversionTest},
               {"walking zeros", WalkingZerosTest}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.name);
    std::memset(r.mem, kUntouched, kBlocks * kBlockBytes);
    auto written = [&](size_t block) {
      const uint8_t* b = r.mem + block * kBlockBytes;
      return b[0] != kUntouched || b[1] != kUntouched;
    };
    RecordingSink sink;
    sink.abortWhen = [&] { return written(0); };
    EXPECT_EQ(step.fn(r.region(), sink, nullptr), Outcome::Aborted);
    size_t blocks = 0;
    while (blocks < kBlocks && written(blocks)) ++blocks;
    EXPECT_GT(blocks, 0u);
    EXPECT_LE(blocks, kStopCheckBlocks);
    for (const std::string& l : sink.lines) EXPECT_EQ(l.find("PASSED"), std::string::npos) << l;
    EXPECT_TRUE(sink.erasing);
  }
}
