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
      {"PixelDraw", 1200, false, false, 1200},
      // A count that asks for steps keeps one after the division: 3 / 4 must
      // not turn a chosen test into one that tests nothing.
      {"BitmapScroll", 3, true, false, 1}, {"BitmapScroll", 1, false, true, 1},
      // Counts that ask for nothing stay so (the run then says so), and the
      // largest values stay what they are (each step still polls for Stop).
      {"PixelDraw", 0, true, false, 0}, {"PixelDraw", -1, false, false, -1},
      {"PixelDraw", 0x7FFFFFFF, false, true, 0x3FFFFFFF}, {"Direct3D", -1, true, false, 100},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ScaledCount(c.name, c.stored, c.check, c.autoRun), c.expected) << c.name << " " << c.stored;
}

TEST(GraphicsVerdicts, ABatchThatRanNoStepDidNotPass) {
  struct Case {
    bool ok;
    int steps;
    Verdict expected;
  } cases[] = {
      {true, 1, Verdict::Passed},     {true, 4000000, Verdict::Passed},
      {true, 0, Verdict::NotTested},  // a count of 0 or less, or stopped before the first step
      {false, 0, Verdict::Failed},    {false, 7, Verdict::Failed},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(BatchVerdict(c.ok, c.steps), c.expected) << c.ok << " " << c.steps;
    EXPECT_EQ(IsError(BatchVerdict(c.ok, c.steps)), c.expected != Verdict::Passed);
  }
}

TEST(GraphicsVerdicts, ARunWithoutAResultLineTestedNothingUnlessItWasStopped) {
  struct Case {
    int lines;
    bool stopped;
    bool nothing;
  } cases[] = {
      {0, false, true},  // "Loop" 0 or less: no pass, no line
      {0, true, false},  // stopped before the first test: the run says it was aborted
      {1, false, false}, {11, false, false}, {3, true, false},
  };
  for (const Case& c : cases) EXPECT_EQ(NothingTested(c.lines, c.stopped), c.nothing) << c.lines << c.stopped;
}

namespace {
// A device that answers from a script (its last answer for ever) on a clock
// that moves 10 ms per look.
struct FakeDevice {
  std::vector<Poll> script;
  size_t looks = 0, restores = 0, pumps = 0;
  unsigned clock = 0;
  int stopAtPump = -1;  // the pump at which Stop arrives
  DeviceWait Wait(unsigned boundMs) {
    DeviceWait w;
    w.attempt = [this] {
      clock += 10;
      Poll p = script[looks < script.size() ? looks : script.size() - 1];
      ++looks;
      return p;
    };
    w.restore = [this] { ++restores; };
    w.between = [this] { ++pumps; };
    w.stopRequested = [this] { return stopAtPump >= 0 && (int)pumps >= stopAtPump; };
    w.nowMs = [this] { return clock; };
    w.boundMs = boundMs;
    return w;
  }
};
}  // namespace

TEST(GraphicsDeviceWait, ABusyOrLostDeviceIsWaitedForWithinItsBoundAndStopEndsTheWaitAtOnce) {
  struct Case {
    const char* what;
    std::vector<Poll> script;
    int stopAtPump;
    unsigned clockStart;
    WaitEnd end;
    size_t looks, restores;
  } cases[] = {
      {"ready at once", {Poll::Done}, -1, 0, WaitEnd::Done, 1, 0},
      {"busy twice", {Poll::Busy, Poll::Busy, Poll::Done}, -1, 0, WaitEnd::Done, 3, 0},
      {"lost once, restored", {Poll::Lost, Poll::Done}, -1, 0, WaitEnd::Done, 2, 1},
      {"fails", {Poll::Busy, Poll::Error}, -1, 0, WaitEnd::Error, 2, 0},
      // Never completes: the bound of 2000 ms on a clock of 10 ms per look.
      {"never completes", {Poll::Busy}, -1, 0, WaitEnd::TimedOut, 200, 0},
      {"lost for ever", {Poll::Lost}, -1, 0, WaitEnd::TimedOut, 200, 200},
      {"clock wraps", {Poll::Busy}, -1, 0xFFFFFF00u, WaitEnd::TimedOut, 200, 0},
      // Stop during a wait that would never end: the wait ends at that poll.
      {"stopped", {Poll::Busy}, 3, 0, WaitEnd::Stopped, 3, 0},
  };
  for (const Case& c : cases) {
    FakeDevice d;
    d.script = c.script;
    d.stopAtPump = c.stopAtPump;
    d.clock = c.clockStart;
    EXPECT_EQ(WaitForDevice(d.Wait(2000)), c.end) << c.what;
    EXPECT_EQ(d.looks, c.looks) << c.what;
    EXPECT_EQ(d.restores, c.restores) << c.what;
  }
}

TEST(GraphicsDeviceWait, AStepIsJudgedByItsTimeAfterABlockingCall) {
  EXPECT_FALSE(StepOverran(0, 10000));
  EXPECT_FALSE(StepOverran(10000, 10000));
  EXPECT_TRUE(StepOverran(10000.5, 10000));
  EXPECT_TRUE(StepOverran(std::nan(""), 10000));
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
