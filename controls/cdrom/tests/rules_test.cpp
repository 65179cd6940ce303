// The CD-ROM test's arithmetic: ranges, limits, the test file's name, the
// access schedules, the transfer rate and the MPC table.
#include <gtest/gtest.h>

#include <vector>

#include "appkit/text.h"
#include "cdtest/rules.h"

using namespace cdtest;

TEST(CdRules, DivisorsAreBroughtIntoRangeAndTheRestKept) {
  Settings raw;
  raw.loop = 0;
  raw.bufferMultiple = 0;
  raw.seekTestNum = -5;
  raw.testFileMinSizeK = -1;
  raw.testFileMaxSizeM = 31;
  Settings s = ClampSettings(raw);
  EXPECT_EQ(s.loop, 1);
  EXPECT_EQ(s.bufferMultiple, 1);
  EXPECT_EQ(s.seekTestNum, 1);
  EXPECT_EQ(s.testFileMinSizeK, 0);
  EXPECT_EQ(s.testFileMaxSizeM, 31);
  raw.bufferMultiple = 1 << 30;
  raw.seekTestNum = 1 << 30;
  raw.testFileMinSizeK = 1 << 30;
  s = ClampSettings(raw);
  EXPECT_EQ(s.bufferMultiple, 4096);
  EXPECT_EQ(s.seekTestNum, 10000);
  EXPECT_EQ(s.testFileMinSizeK, 1048576);
  // The defaults pass unchanged.
  Settings d = ClampSettings(Settings());
  EXPECT_EQ(d.bufferMultiple, 200);
  EXPECT_EQ(d.seekTestNum, 80);
  EXPECT_EQ(d.diskSize, 500);
}

TEST(CdRules, LimitsFollowTheSizeMode) {
  Settings s;  // defaults: 5 MB .. 30 MB, BufferMultiple 200
  Limits l = LimitsFor(s);
  EXPECT_EQ(l.largest, 30000000u);
  EXPECT_EQ(l.smallest, 5000000u);
  EXPECT_EQ(l.leastDiscSectors, 250000u);
  EXPECT_EQ(l.blockLimit, 12u);  // 5000 / 400
  s.testFileMinSizeK = 300;
  l = LimitsFor(s);
  EXPECT_EQ(l.smallest, 300u * 1024u);
  EXPECT_EQ(l.blockLimit, 50u);
  // A 16-bit count at most.
  s.testFileMinSizeK = 0;
  s.testFileMinSizeM = 4000;
  s.bufferMultiple = 1;
  EXPECT_EQ(LimitsFor(s).blockLimit, 0xFFFFu);
}

TEST(CdRules, SmallFileRuleAppliesOnlyBelowTheMegabytesInKilobyteMode) {
  Settings s;
  s.testFileMinSizeK = 600;
  SmallFile f = SmallFileRule(s, 1048576, 2048);  // 1 MB < 5 MB
  EXPECT_TRUE(f.small);
  EXPECT_EQ(f.bufferMultiple, 300);
  EXPECT_EQ(f.blockLimit, 1048576u / (300u * 2048u));
  EXPECT_FALSE(SmallFileRule(s, 5u * 1048576u, 2048).small);
  s.testFileMinSizeK = 0;
  EXPECT_FALSE(SmallFileRule(s, 1024, 2048).small);
  // A TestFileMinSizeK of 1 would make the block multiple 0: it stays 1.
  s.testFileMinSizeK = 1;
  f = SmallFileRule(s, 4096, 2048);
  EXPECT_EQ(f.bufferMultiple, 1);
  EXPECT_EQ(f.blockLimit, 2u);
  EXPECT_EQ(SmallFileRule(s, 4096, 0).bufferMultiple, 1);
}

TEST(CdRules, TestFileTakesTheDriveUnderTest) {
  EXPECT_EQ(TestFileOnDrive("E:\\testdata\\test6\\test1.dat", 'D'), "D:\\testdata\\test6\\test1.dat");
  EXPECT_EQ(TestFileOnDrive("", 'D'), "");
  EXPECT_EQ(BlockCount(5000000, 409600, 12), 12u);
  EXPECT_EQ(BlockCount(1000000, 409600, 12), 2u);
  EXPECT_EQ(BlockCount(1000000, 0, 12), 0u);
}

TEST(CdRules, ATestFileMustOpenByItsAnsiName) {
  struct Case {
    const wchar_t* path;
    const wchar_t* throughAnsi;  // nullptr: the same
    bool opens;
  };
  const Case cases[] = {
      {L"Q:\\data\\x.bin", nullptr, true},
      {L"Q:\\data.\\x.bin", nullptr, true},  // only the last name loses its dot
      {L"Q:\\data\\x.bin.", nullptr, false},
      {L"Q:\\data\\x.bin ", nullptr, false},
      {L"Q:\\data\\x.bin..", nullptr, false},
      {L"Q:\\data\\\u6587\u5b57.bin", L"Q:\\data\\??.bin", false},
      {L"Q:\\\u6587\\x.bin", L"Q:\\?\\x.bin", false},
      {L"", nullptr, false},
  };
  for (const Case& c : cases)
    EXPECT_EQ(OpensByTheNameFound(c.path, c.throughAnsi ? c.throughAnsi : c.path), c.opens)
        << appkit::Narrow(c.path, CP_UTF8);
}

TEST(CdRules, FullStrokeReadsAlternateBetweenTheEndsClosingIn) {
  // N = 6 on a disc of 10,000 sectors: read 0 (not counted) near the start,
  // then end, start, end, ...
  std::vector<uint32_t> sectors;
  for (uint32_t i = 0; i <= 6; ++i) sectors.push_back(FullStrokeSector(10000, 6, i));
  EXPECT_EQ(sectors, (std::vector<uint32_t>{103, 9900, 102, 9899, 101, 9898, 100}));
  EXPECT_TRUE(DiscLargeEnoughForFullStroke(250000, 250000, 80));
  EXPECT_FALSE(DiscLargeEnoughForFullStroke(249999, 250000, 80));
  // With no least size set a tiny disc still fails rather than wrapping.
  EXPECT_FALSE(DiscLargeEnoughForFullStroke(150, 0, 80));
  EXPECT_FALSE(DiscLargeEnoughForFullStroke(239, 0, 80));
  EXPECT_TRUE(DiscLargeEnoughForFullStroke(240, 0, 80));
}

TEST(CdRules, RandomSectorsStayOnTheDisc) {
  uint32_t sector = 0;
  ASSERT_TRUE(RandomSector(0, 1000, &sector));
  EXPECT_EQ(sector, 100u);
  ASSERT_TRUE(RandomSector(0xFFFFFFFFu, 1000, &sector));
  EXPECT_EQ(sector, 0xFFFFFFFFu % 800u + 100u);
  EXPECT_LT(sector, 900u);
  EXPECT_FALSE(RandomSector(5, 200, &sector)) << "no room on a disc of 200 sectors";
  EXPECT_FALSE(RandomSector(5, 0, &sector));
  // 32 calls, one bit each, first call in the highest bit.
  int calls = 0;
  EXPECT_EQ(Random32([&] { return ++calls == 1 ? 1 : 2; }), 0x80000000u);
  EXPECT_EQ(calls, 32);
  EXPECT_EQ(Random32([] { return 3; }), 0xFFFFFFFFu);
}

TEST(CdRules, TransferRateNeedsTimedBlocksAndTime) {
  double rate = 0;
  // 11 blocks of 400 KB: the 10 timed ones in 2 s.
  ASSERT_TRUE(TransferRateKBs(409600, 11, 2.0, &rate));
  EXPECT_DOUBLE_EQ(rate, 2000.0);
  EXPECT_FALSE(TransferRateKBs(409600, 1, 2.0, &rate)) << "the first block is never timed";
  EXPECT_FALSE(TransferRateKBs(409600, 11, 0.0, &rate)) << "no elapsed time is no rate";
  EXPECT_FALSE(TransferRateKBs(0, 11, 1.0, &rate)) << "a rate of 0 is a failure";
  EXPECT_EQ(SpeedFactor(310), 2);
  EXPECT_EQ(SpeedFactor(1200), 8);
  EXPECT_EQ(SpeedFactor(224.9), 1);
  EXPECT_EQ(SpeedFactor(225), 2);
}

TEST(CdRules, MpcLevelIsTheHighestRowMetOnBothCounts) {
  struct Case {
    double rate;
    uint32_t ms;
    int level;
  };
  const Case cases[] = {
      {310, 380, 2}, {700, 300, 2}, {700, 250, 3}, {600.9, 250, 3}, {599.99, 100, 2}, {150, 1000, 1},
      {149.99, 100, 0}, {2000, 1001, 0}, {300, 401, 1},
  };
  for (const Case& c : cases) EXPECT_EQ(MpcLevel(c.rate, c.ms), c.level) << c.rate << " KB/s " << c.ms << " ms";
}
