// The disk control's rules on tables of cases: the size clamps, the size
// schedule and each worker's own room, the benchmark's rate, and the
// geometry texts of the system-access library, hostile ones included.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "disktest/rules.h"

using namespace disktest;

TEST(DiskSizes, ClampsRunInTheirOrder) {
  struct Case {
    bool floppy, check;
    int64_t largest, inc, max;
    SizeSettings want;
  } cases[] = {
      {false, false, 20480000, 5000, 640000, {20480000, 5000, 640000}},
      {false, false, 40000000, 5000, 640000, {30000000, 5000, 640000}},
      {false, false, 500, 5000, 640000, {10000, 5000, 10000}},
      {false, false, 500000, 2000, 1000000, {500000, 5000, 500000}},
      {false, true, 20480000, 5000, 640000, {10240000, 5000, 640000}},
      {true, false, 2000000, 5000, 160000, {1280000, 5000, 160000}},
      {true, false, 1440000, 5000, 160000, {1440000, 5000, 160000}},
      {true, true, 1280000, 5000, 160000, {40000, 5000, 40000}},
      // The maximum falls below the increment: the increment follows it.
      {false, false, 10000, 9000, 8000, {10000, 8000, 8000}},
      {false, false, 10000, 0, 0, {10000, 5000, 5000}},
      // Registry values read as unsigned 32-bit numbers stay positive here.
      {false, false, 0xFFFFFFFFll, 0xFFFFFFFFll, 0xFFFFFFFFll, {30000000, 30000000, 30000000}},
  };
  for (const Case& c : cases) {
    SizeSettings s = ClampSizes(c.floppy, c.check, c.largest, c.inc, c.max);
    EXPECT_EQ(s.largest, c.want.largest) << c.largest;
    EXPECT_EQ(s.increment, c.want.increment) << c.largest;
    EXPECT_EQ(s.incrementMax, c.want.incrementMax) << c.largest;
  }
}

TEST(DiskSizes, DefaultScheduleDoublesTheBlockThenTheFile) {
  std::vector<SizeStep> s = SizeSchedule(5000, 640000, 20480000);
  std::vector<int64_t> files, blocks;
  for (const SizeStep& x : s) {
    files.push_back(x.file);
    blocks.push_back(x.block);
  }
  EXPECT_EQ(files, (std::vector<int64_t>{5000, 10000, 20000, 40000, 80000, 160000, 320000, 640000, 1280000, 2560000,
                                         5120000, 10240000, 20480000}));
  EXPECT_EQ(blocks.back(), 640000);
  EXPECT_EQ(blocks[7], 640000);
  // The block caps at the maximum even when doubling would pass it.
  std::vector<SizeStep> odd = SizeSchedule(5000, 12000, 50000);
  ASSERT_EQ(odd.size(), 5u);
  EXPECT_EQ(odd[2].block, 12000);
  EXPECT_EQ(odd[2].file, 12000);
  EXPECT_EQ(odd[4].file, 48000);
}

TEST(DiskSizes, EachWorkerMeasuresItsOwnRoom) {
  // 3,000,000 bytes free: the test stops after the 2,560,000-byte file.
  int64_t largest = WorkerLargestSize(3000000, 20480000);
  EXPECT_EQ(SizeSchedule(5000, 640000, largest).back().file, 2560000);
  // A full drive has no room at all; a large one is capped at 100 MB, then
  // at the configured size.
  EXPECT_EQ(WorkerLargestSize(0, 20480000), 0);
  EXPECT_EQ(WorkerLargestSize(50ull << 20, 20480000), 20480000);
  EXPECT_EQ(WorkerLargestSize(1ull << 40, 200000000), (int64_t)kMaxUsableSpace);
  // Percentages in 64 bits: no overflow at 30 MB files.
  EXPECT_EQ(SizePercent(30000000, 30000000), 100);
  EXPECT_EQ(SizePercent(5000, 20480000), 0);
  EXPECT_EQ(SizePercent(5, 0), 100);
  EXPECT_EQ(ProgressBetween(10, 60, 2), 20);
  EXPECT_EQ(ProgressBetween(10, 60, 8), 50);
}

TEST(DiskErrors, SystemTextsLoseTheirLineEnd) {
  EXPECT_EQ(SystemErrorText(31, "General Failure."), "General Failure.");
  std::string text = SystemErrorText(ERROR_ACCESS_DENIED, "x");
  ASSERT_FALSE(text.empty());
  EXPECT_NE(text.back(), '\n');
  EXPECT_NE(text.back(), '\r');
  uint8_t a[8] = {1, 2, 3, 4, 5, 6, 7, 8}, b[8] = {1, 2, 3, 4, 5, 6, 7, 8};
  EXPECT_EQ(FirstDifference(a, b, 8), -1);
  b[5] = 0;
  EXPECT_EQ(FirstDifference(a, b, 8), 5);
}

TEST(DiskBenchmark, RatesNeedTimeThatPassed) {
  EXPECT_DOUBLE_EQ(TransferRateMBs(1999, 16384, 1.0), 1999.0 * 16384 / (1024.0 * 1024.0));
  for (double bad : {0.0, -1.0, std::nan("")}) EXPECT_EQ(TransferRateMBs(100, 16384, bad), 0.0) << bad;
  EXPECT_EQ(TransferRateMBs(0, 16384, 1.0), 0.0);
  // 2000 x 16 KB, 1000 x 32 KB, 500 x 64 KB, 250 x 128 KB.
  EXPECT_EQ(ReadRounds(2000, 16), 2000u);
  EXPECT_EQ(ReadRounds(2000, 32), 1000u);
  EXPECT_EQ(ReadRounds(2000, 64), 500u);
  EXPECT_EQ(ReadRounds(2000, 128), 250u);
  // Always one read to time.
  EXPECT_EQ(ReadRounds(0, 128), 2u);
  EXPECT_EQ(PlanAccessTime(2).rounds, 0u);
  EXPECT_EQ(PlanAccessTime(0).rounds, 0u);
  EXPECT_EQ(PlanAccessTime(3).rounds, 1u);
  EXPECT_EQ(PlanAccessTime(10000).rounds, 100u);
  EXPECT_EQ(PlanAccessTime(10000).distanceCylinders, 3333u);
}

TEST(DiskGeometry, ParsesTheLabelledNumbersAndRefusesHostileTexts) {
  Geometry g;
  const char ok[] = "Drive 80h\nCHS-Tracks:\t2000\t63\t16\nOther:\t1\n";
  ASSERT_TRUE(FindGeometry(ok, sizeof ok, "CHS-Tracks:", &g));
  EXPECT_EQ(g.cylinders, 2000u);
  EXPECT_EQ(g.sectors, 63u);
  EXPECT_EQ(g.heads, 16u);

  struct Bad {
    const char* text;
    const char* why;
  } bad[] = {
      {"Tracks:\t80\t18\t2\n", "other label"},
      {"CHS-Tracks:\t2000\t63", "third number missing"},
      {"CHS-Tracks:", "nothing after the label"},
      {"CHS-Tracks:\tabc\t1\t2", "not a number"},
      {"", "empty"},
  };
  for (const Bad& b : bad) EXPECT_FALSE(FindGeometry(b.text, strlen(b.text) + 1, "CHS-Tracks:", &g)) << b.why;

  // A reply without a terminating zero is read only within its size.
  char unterminated[24];
  memcpy(unterminated, "CHS-Tracks:\t10\t20\t30\t99", 24);
  ASSERT_TRUE(FindGeometry(unterminated, 19, "CHS-Tracks:", &g));
  EXPECT_EQ(g.heads, 3u);  // cut at the buffer's end: "...\t3"
  EXPECT_FALSE(FindGeometry(unterminated, 15, "CHS-Tracks:", &g));

  EXPECT_EQ(ParseDriveCount("Drives:\t2\n", 11), 2u);
  EXPECT_EQ(ParseDriveCount("no tab here", 12), 0u);
  EXPECT_EQ(ParseDriveCount("x\t-4", 5), 0u);
}

TEST(DiskGeometry, TranslationSizeCheckAndFunnelOrder) {
  Geometry big{2000, 63, 16};
  Geometry t = TranslatedGeometry(big);
  EXPECT_EQ(t.cylinders, 1000u);
  EXPECT_EQ(t.heads, 32u);
  EXPECT_FALSE(SkipsVerify(t));
  // 16384 x 16 x 63 translates to 1024 x 256 x 63 = 0xFC0000 sectors.
  EXPECT_TRUE(SkipsVerify(TranslatedGeometry(Geometry{16384, 63, 16})));
  EXPECT_FALSE(SkipsVerify(TranslatedGeometry(Geometry{16383, 63, 16})));
  // The product never wraps in 32 bits.
  EXPECT_TRUE(SkipsVerify(Geometry{1024, 0xFFFFFF, 0xFFFF}));
  EXPECT_EQ(FunnelOrder(8), (std::vector<uint32_t>{1, 6, 3, 4, 5, 2, 7}));
  EXPECT_TRUE(FunnelOrder(1).empty());
  EXPECT_TRUE(FunnelOrder(0).empty());
}
