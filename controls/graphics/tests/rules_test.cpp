// The graphics control's rules in process: settings scaling, the test
// list, the GDI steps' geometry, and the benchmark's arithmetic.
#include <gtest/gtest.h>

#include <cmath>

#include "gfxtest/rules.h"

using namespace gfxtest;

TEST(GraphicsSettings, TestCountsAreScaledByModeAndDirect3DHasAFloor) {
  struct Case {
    const char* name;
    int stored;
    bool check, autoRun;
    int expected;
  } cases[] = {
      {"DirectDraw", 200, true, false, 50},  {"Direct3D", 400, true, false, 100},
      {"DirectDraw", 200, false, true, 100}, {"Direct3D", 400, false, true, 200},
      {"Direct3D", 100, false, false, 400},  {"Direct3D", 100, true, true, 100},
      {"PixelDraw", 1200, false, false, 1200}, {"BitmapScroll", 3, true, false, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScaledCount(c.name, c.stored, c.check, c.autoRun), c.expected) << c.name << " " << c.stored;
}

TEST(GraphicsSettings, TableHoldsEveryValueOnceWithItsDefault) {
  const auto& table = SettingTable();
  EXPECT_EQ(table.size(), 33u);
  int scaled = 0;
  for (const Setting& s : table) scaled += s.scaled;
  EXPECT_EQ(scaled, 10);  // the ten test counts, never the benchmark counts
  for (const Setting& s : table) {
    if (std::string(s.name) == "DirectSoundEnable") {
      EXPECT_EQ(s.def, 0);
    }
    if (std::string(s.name) == "Direct3D") {
      EXPECT_EQ(s.def, 400);
    }
  }
  EXPECT_EQ(EnableNames().size(), 11u);
  EXPECT_EQ(EnableNames()[0], "DirectSoundEnable");
}

TEST(GraphicsTestList, DirectSoundGoesWithDirect3DOrDirectDraw) {
  // Only Direct3D and DirectDraw off: DirectSound is locked unchecked.
  std::vector<int> e = {1, 0, 0, 1, 1, 1, 1, 1, 1, 1, 1};
  std::vector<long> data = FillItemData(&e);
  EXPECT_EQ(data[0], kCheckable | kLockedOff);
  EXPECT_EQ(e[0], 0);
  EXPECT_EQ(data[3], kCheckable | kChecked);
  EXPECT_FALSE(CanCheckTest(0, &e, &data));
  // Checking DirectDraw unlocks it.
  EXPECT_TRUE(CanCheckTest(2, &e, &data));
  EXPECT_EQ(data[0], kCheckable);

  // Unchecking the last of Direct3D/DirectDraw clears and locks DirectSound.
  e = {1, 1, 0, 1, 0, 0, 0, 0, 0, 0, 0};
  data = FillItemData(&e);
  EXPECT_TRUE(CanUncheckTest(1, &e, &data));
  EXPECT_EQ(e[0], 0);
  EXPECT_EQ(data[0], kCheckable | kLockedOff);
}

TEST(GraphicsTestList, OneTestOtherThanDirectSoundStaysSelected) {
  struct Case {
    std::vector<int> enables;
    int index;
    int answer;
  } cases[] = {
      {{0, 0, 0, 1, 0, 0, 0, 0, 0, 0, 0}, 3, 0},  // the last test
      {{1, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 0},  // Direct3D with only DirectSound beside it
      {{0, 1, 1, 0, 0, 0, 0, 0, 0, 0, 0}, 1, 1},
      {{0, 0, 0, 1, 1, 0, 0, 0, 0, 0, 0}, 4, 1},
      {{1, 0, 1, 1, 0, 0, 0, 0, 0, 0, 0}, 2, 1},
  };
  for (Case& c : cases) {
    std::vector<long> data = FillItemData(&c.enables);
    EXPECT_EQ(CanUncheckTest(c.index, &c.enables, &data), c.answer) << c.index;
  }
}

TEST(GraphicsSteps, TinyClientAreasDivideByNothingAndScrollingStaysInItsTables) {
  EXPECT_EQ(SafeMod(12345, 0), 0);
  EXPECT_EQ(SafeMod(12345, -90), 0);
  EXPECT_EQ(SafeMod(7, 5), 2);
  // PixelTest's limits for clients of 0 .. 4 pixels are usable moduli.
  for (int right = 0; right < 5; ++right) EXPECT_GE(PixelLimit(0, right), 1) << right;
  EXPECT_EQ(PixelLimit(0, 500), 498);
  struct Case {
    int right, bottom, w, h, expected;
  } cases[] = {
      {349, 500, 350, 200, 0},   {500, 199, 350, 200, 0},  {0, 0, 350, 200, 0},
      {500, 300, 350, 200, 100}, {5000, 5000, 350, 200, kPointTableSize}, {400, 800, 250, 200, 150},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScrollRectangleCount(c.right, c.bottom, c.w, c.h), c.expected) << c.right << "x" << c.bottom;
  EXPECT_GE(kPointTableSize, 1002);
  EXPECT_EQ(RandomInRange(5, 5, 99), 0);
  EXPECT_EQ(RandomInRange(2, 4, 7), 7 % 3 + 2);
}

TEST(GraphicsSteps, PolygonVerticesLieOnTheCircleRoundedTowardZero) {
  int x = 0, y = 0;
  PolygonVertex(100, 100, 41, 4, 0, &x, &y);  // radius 20
  EXPECT_EQ(x, 120);
  EXPECT_EQ(y, 100);
  PolygonVertex(100, 100, 41, 4, 1, &x, &y);
  EXPECT_EQ(x, 100);  // cos(pi/2) is a hair above 0: truncated
  EXPECT_EQ(y, 80);
  PolygonVertex(100, 100, 40, 3, 1, &x, &y);
  EXPECT_EQ(x, 100 + (int)std::trunc(std::cos(2 * 3.141592653589793 / 3) * 20));
}

TEST(GraphicsBenchmark, LineLengthTakesTheNewPointsXInItsSecondTerm) {
  // From (0,0) to (3,4): sqrt(3^2 + 3^2); then to (6,0): sqrt(3^2 + (6-4)^2).
  double l = LineLength({3, 6}, {4, 0});
  EXPECT_DOUBLE_EQ(l, std::sqrt(18.0) + std::sqrt(13.0));
  EXPECT_DOUBLE_EQ(LineLength({}, {}), 0.0);
}

TEST(GraphicsBenchmark, ValuesNeedElapsedTimeAndPixels) {
  double v = 0;
  EXPECT_FALSE(BenchmarkValue(1e6, 0.0, &v));
  EXPECT_FALSE(BenchmarkValue(1e6, -1.0, &v));
  EXPECT_FALSE(BenchmarkValue(0.0, 10.0, &v));
  ASSERT_TRUE(BenchmarkValue(10710000.0, 300.0, &v));
  EXPECT_DOUBLE_EQ(v, 35.7);
  EXPECT_EQ(MillionPixelsText(35.27), "35.27 Million Pixels/Sec");
  EXPECT_NEAR(GeometricMean(2.0 * 8.0, 2), 4.0, 1e-12);
  EXPECT_EQ(GeometricMean(1.0, 0), 0.0);
  // Credit of the stretch benchmark: 4 x sum over i of wi x hi.
  double sum = 0;
  for (int i = 1; i <= 50; ++i) sum += (double)(i * 320 / 50) * (i * 300 / 50);
  EXPECT_DOUBLE_EQ(StretchCredit(320, 300), 4 * sum);
}

TEST(GraphicsBenchmark, ResolutionAndAdapterTexts) {
  EXPECT_EQ(ResolutionText(1280, 1024, 24), "Current Resolution:\t1280x1024 (24 bits per pixel)");
  EXPECT_EQ(ResolutionText(0, 1024, 24), "");
  EXPECT_EQ(VideoAdapterText("OEM String\tAcme VGA\nvesa vga memory size\t4096 KB\nLast\tno line feed", "VESA VGA Memory Size",
                             "OEM String"),
            "Video Type:\tAcme VGA\nVideo Memory:\t4096 KB");
  EXPECT_EQ(VideoAdapterText("", "VESA VGA Memory Size", "OEM String"), "Video Type:\tN/A\nVideo Memory:\tN/A");
}

TEST(GraphicsVideoMemory, ResultFileWords) {
  std::vector<uint8_t> file(74, 0);  // 37 words
  file[64] = 0xAA;
  EXPECT_EQ(VideoMemoryLine(file), "Video Memory Test:\tPASSED");
  file[64] = 0x55;
  file[68] = 0x34, file[69] = 0x12, file[72] = 0xAA;
  EXPECT_EQ(VideoMemoryLine(file), "Video Memory Error! Got 1234, Expected AA");
  file.resize(72);  // 36 words
  EXPECT_EQ(VideoMemoryLine(file), "");
}
