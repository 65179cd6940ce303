// The runner's rules, as tables of cases.
#include <gtest/gtest.h>

#include "appkit/propsheet.h"
#include "appkit/resmodule.h"
#include "ctlfw/rules.h"

using namespace ctlfw;

namespace {

struct SwitchCase {
  const char* line;
  bool autoRun;
  const char* suffix;
  bool check, bench, append, procTest;
  int loop, x, y;
  bool coverage;
  int coverageValue;
};

TEST(SwitchScan, Table) {
  const SwitchCase cases[] = {
      {"", false, "", false, false, false, false, 0, 0, 0, false, 8},
      {"-AutoRun3 -Check", true, "3", true, false, false, false, 0, 0, 0, false, 8},
      {"-autorun -check", true, "", true, false, false, false, 0, 0, 0, false, 8},
      {"-AutoRun12", true, "1", false, false, false, false, 0, 0, 0, false, 8},
      {"-C5", false, "", false, false, false, false, 0, 0, 0, true, 10},
      {"-C250", false, "", false, false, false, false, 0, 0, 0, true, 100},
      {"-C", false, "", false, false, false, false, 0, 0, 0, true, 8},
      {"-C75", false, "", false, false, false, false, 0, 0, 0, true, 75},
      {"-Check", false, "", true, false, false, false, 0, 0, 0, false, 8},
      {"-Check -C40", false, "", true, false, false, false, 0, 0, 0, true, 40},
      {"-ProcTest -Bench", false, "", false, true, false, true, 0, 0, 0, false, 8},
      {"-AutoRun -Bench -L7 -Append -C75", true, "", false, true, true, false, 7, 0, 0, true, 75},
      {"-X100 -Y-5 -L", false, "", false, false, false, false, 0, 100, 0, false, 8},
      {"-x12-y34", false, "", false, false, false, false, 0, 12, 34, false, 8},
      // Numbers that do not fit an int saturate instead of wrapping.
      {"-L99999999999999999999 -C99999999999", false, "", false, false, false, false, 2147483647, 0, 0, true, 100},
      // A '-' that matches nothing is skipped alone; text between switches is ignored.
      {"foo - -Q -Append bar", false, "", false, false, true, false, 0, 0, 0, false, 8},
      // "-Clear" is "-C" (the longer "-Check" does not match).
      {"-Clear", false, "", false, false, false, false, 0, 0, 0, true, 8},
  };
  for (const SwitchCase& c : cases) {
    SCOPED_TRACE(c.line);
    Switches s = ParseSwitches(c.line);
    EXPECT_EQ(s.autoRun, c.autoRun);
    EXPECT_EQ(s.runSuffix, c.suffix);
    EXPECT_EQ(s.check, c.check);
    EXPECT_EQ(s.bench, c.bench);
    EXPECT_EQ(s.append, c.append);
    EXPECT_EQ(s.procTest, c.procTest);
    EXPECT_EQ(s.loop, c.loop);
    EXPECT_EQ(s.x, c.x);
    EXPECT_EQ(s.y, c.y);
    EXPECT_EQ(s.coverage, c.coverage);
    EXPECT_EQ(s.coverageValue, c.coverageValue);
  }
}

TEST(RunnerSwitches, VideoTestIsAWordOfItsOwn) {
  EXPECT_TRUE(ParseSwitches("-AutoRun -VideoTest").videoTest);
  EXPECT_TRUE(ParseSwitches("-videotest-X3").videoTest);
  EXPECT_EQ(ParseSwitches("-videotest-X3").x, 3);
  EXPECT_FALSE(ParseSwitches("-Video -X3").videoTest);
}

TEST(RunnerClamps, CoverageAndThreads) {
  const struct {
    long long in;
    int coverage, threads;
  } cases[] = {{-5, 10, 1}, {0, 10, 1}, {1, 10, 1}, {2, 10, 2}, {3, 10, 3}, {4, 10, 3},
               {10, 10, 3}, {55, 55, 3}, {100, 100, 3}, {101, 100, 3}, {4000000000LL, 100, 3}};
  for (const auto& c : cases) {
    EXPECT_EQ(ClampCoverage(c.in), c.coverage) << c.in;
    EXPECT_EQ(ClampThreadCount(c.in), c.threads) << c.in;
  }
}

TEST(SizeProperty, NameAndValueRules) {
  const struct {
    const char* name;
    const char* value;
    bool ok;
    int cx, cy;
  } cases[] = {
      {"Size", "640 480", true, 640, 480},
      {"size", "640 480", true, 640, 480},
      {"SIZE", "300 200", true, 300, 200},
      {"Size", "64 480", false, 0, 0},    // 6 characters
      {"Sizes", "640 480", false, 0, 0},  // 5 letters
      {"Siz", "640 480", false, 0, 0},
      {"Title", "640 480", false, 0, 0},
      {"Size", "", false, 0, 0},
      {"Size", "1024768", true, 1024768, 0},    // one number: the other is 0
      {"Size", "abcdefgh", true, 0, 0},
      {"Size", "9999999999999 5", true, 2147483647, 5},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " / " + c.value);
    int cx = -1, cy = -1;
    EXPECT_EQ(ParseSizeProperty(c.name, c.value, &cx, &cy), c.ok);
    if (c.ok) {
      EXPECT_EQ(cx, c.cx);
      EXPECT_EQ(cy, c.cy);
    }
  }
}

TEST(SheetPlacement, MinimumsAndMargins) {
  const struct {
    int cx, cy, w, h;
  } cases[] = {{640, 480, 636, 476}, {300, 200, 356, 236}, {360, 240, 356, 236},
               {359, 239, 356, 236}, {361, 241, 357, 237}, {0, 0, 356, 236}, {1000, 100, 996, 236}};
  for (const auto& c : cases) {
    SheetRect r = SheetRectFor(c.cx, c.cy);
    EXPECT_EQ(r.x, 2);
    EXPECT_EQ(r.y, 2);
    EXPECT_EQ(r.cx, c.w) << c.cx;
    EXPECT_EQ(r.cy, c.h) << c.cy;
  }
}

TEST(RunnerFiles, ResourceLibraryAndDirectory) {
  EXPECT_EQ(appkit::ResourceModulePathFor(L"C:\\Suite\\ZENTREL.OCX"), L"C:\\Suite\\ZENTREL.DLL");
  EXPECT_EQ(appkit::ResourceModulePathFor(L"a.ocx"), L"a.DLL");
  EXPECT_EQ(appkit::ResourceModulePathFor(L".ocx"), L"");
  EXPECT_EQ(appkit::ResourceModulePathFor(L""), L"");
  EXPECT_EQ(DirectoryPart(L"C:\\Suite\\quorrel.ocx"), L"C:\\Suite\\");
  EXPECT_EQ(DirectoryPart(L"C:\\"), L"C:\\");
  EXPECT_EQ(DirectoryPart(L"quorrel.ocx"), L"");
}

TEST(FreeMemoryRules, BlockBoundByTotalPhysicalMemory) {
  const uint64_t MB = 1ull << 20, GB = 1ull << 30;
  const struct {
    bool nt;
    uint64_t maxWorkingSet, availPhys, availPageFile, totalPhys, size;
  } cases[] = {
      // NT: the working set the first step grew, up to the whole machine.
      {true, 32 * MB, 16 * GB, 20 * GB, 24 * GB, 32 * MB},
      {true, 8 * GB, 16 * GB, 1 * GB, 24 * GB, 8 * GB},  // more than the page file has free
      {true, 0, 16 * GB, 20 * GB, 24 * GB, kFreeMemoryFloor},
      {true, 4095, 16 * GB, 20 * GB, 24 * GB, kFreeMemoryFloor},
      // 9x: free page file or three times the memory, at most 240 MB.
      {false, 0, 100 * MB, 50 * MB, 512 * MB, 50 * MB},
      {false, 0, 100 * MB, 2 * GB, 512 * MB, 240 * MB},
      {false, 0, 32 * MB, 100 * MB, 64 * MB, 64 * MB},
      {false, 0, 16 * MB, 100 * MB, 20 * MB, 20 * MB},  // three times 20 MB, but only 20 MB there
      {false, 0, 32 * MB, 0, 64 * MB, kFreeMemoryFloor},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << (c.nt ? "NT" : "9x") << " ws " << c.maxWorkingSet << " phys free "
                                      << c.availPhys << " pf " << c.availPageFile << " phys " << c.totalPhys);
    EXPECT_EQ(FreeMemoryBlockSize(c.nt, c.maxWorkingSet, c.availPhys, c.availPageFile, c.totalPhys), c.size);
  }
}

// What the machine can commit now: the page-file figure already holds the
// physical memory (NT's commit room, Wine's available memory plus free
// swap), so the two are not added; an eighth is kept back.
TEST(FreeMemoryRules, CommittableNowCountsPhysicalMemoryOnceAndKeepsAMargin) {
  const uint64_t MB = 1ull << 20, GB = 1ull << 30, ALL = ~0ull;
  const struct {
    const char* machine;
    uint64_t availPhys, availPageFile, room;
  } cases[] = {
      {"Windows, page file", 20 * GB, 36 * GB, 36 * GB / 8 * 7},
      {"Wine, no swap", 20 * GB, 20 * GB, 20 * GB / 8 * 7},  // not 40 GB less a margin
      {"Wine, 8 GB swap free", 20 * GB, 28 * GB, 28 * GB / 8 * 7},
      {"no page-file figure", 1 * GB, 0, 1 * GB / 8 * 7},
      {"commit short", 8 * GB, 2 * GB, 8 * GB / 8 * 7},  // the allocation itself fails past the commit room
      {"little free", 64 * MB, 64 * MB, 56 * MB},
      {"nothing", 0, 0, 0},
      {"overflow", ALL, ALL, ALL - ALL / 8},
  };
  for (const auto& c : cases) EXPECT_EQ(CommittableNow(c.availPhys, c.availPageFile), c.room) << c.machine;
}

// Free Memory never takes more than the machine can commit now, also when the
// working set it grew (the total page file) or the physical memory is larger.
TEST(FreeMemoryRules, BlockNeverExceedsWhatTheMachineCanCommitNow) {
  const uint64_t MB = 1ull << 20, GB = 1ull << 30, ALL = ~0ull;
  const struct {
    const char* machine;
    bool nt;
    uint64_t maxWorkingSet, availPhys, availPageFile, totalPhys, size;
  } cases[] = {
      // A 24 GB host under Wine without swap, 20 GB free: the working set
      // grown to the page file's 24 GB would take the whole machine.
      {"Wine, no swap", true, 24 * GB, 20 * GB, 20 * GB, 24 * GB, 20 * GB / 8 * 7},
      {"NT, working set past the machine", true, 40 * GB, 16 * GB, 20 * GB, 24 * GB, 20 * GB / 8 * 7},
      {"little free", true, 24 * GB, 2 * GB, 2 * GB, 24 * GB, 2 * GB / 8 * 7},
      {"less than the floor free", true, 24 * GB, 1 * MB, 1 * MB, 24 * GB, 0},
      {"nothing free", true, 24 * GB, 0, 0, 24 * GB, 0},
      {"9x, little free", false, 0, 64 * MB, 200 * MB, 512 * MB, 200 * MB / 8 * 7},
      {"overflow", true, ALL, ALL, ALL, ALL, ALL - ALL / 8},
      {"overflow, 9x", false, ALL, ALL, ALL, ALL, 0xF000000},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FreeMemoryBlockSize(c.nt, c.maxWorkingSet, c.availPhys, c.availPageFile, c.totalPhys), c.size)
        << c.machine;
}

TEST(FreeMemoryRules, ShrinkingEndsAtTheFloor) {
  EXPECT_EQ(ShrinkFreeMemoryBlock(16 * 0x100000ull), 15 * 0x100000ull);
  EXPECT_EQ(ShrinkFreeMemoryBlock(0x111112), kFreeMemoryFloor);  // 15/16 lands on the floor
  EXPECT_EQ(ShrinkFreeMemoryBlock(0x111111), 0u);
  EXPECT_EQ(ShrinkFreeMemoryBlock(kFreeMemoryFloor), 0u);
  EXPECT_EQ(ShrinkFreeMemoryBlock(~0ull), 0xEFFFFFFFFFFFFFFFull);  // no overflow
  // From a whole machine's memory to nothing in a bounded number of tries.
  int tries = 0;
  for (uint64_t size = 64ull << 30; size; size = ShrinkFreeMemoryBlock(size)) ASSERT_LT(++tries, 300);
}

TEST(FreeMemoryRules, ProgressStepsAndSmallBlocks) {
  const uint64_t MB = 1ull << 20;
  const struct {
    int round;
    uint64_t offset, size;
    int pos;
  } cases[] = {
      {1, 0, 16 * MB, 5},          // each round starts at round * 18 - 13
      {1, 1 * MB, 16 * MB, 6},     // and moves one a sixteenth of the block
      {1, 4096, 16 * MB, -1},      // between steps: no move
      {5, 15 * MB, 16 * MB, 92},
      {2, 0, 3 * 4096, 23},
      {2, 4096, 3 * 4096, -1},     // 4096 is no multiple of the 768-byte step
      {3, 0, 4095, -1},            // less than a page: no step, no move
      {3, 0, 0, -1},
  };
  for (const auto& c : cases)
    EXPECT_EQ(FreeMemoryProgress(c.round, c.offset, c.size), c.pos) << c.round << " " << c.offset << " " << c.size;
}

TEST(PageLayout, StretchInsideKeepsLeftAndTop) {
  RECT container{100, 100, 500, 400};
  RECT child{110, 130, 200, 200};
  RECT r = appkit::StretchedRect(container, child, 5, false);
  EXPECT_EQ(r.left, 110);
  EXPECT_EQ(r.top, 130);
  EXPECT_EQ(r.right, 495);
  EXPECT_EQ(r.bottom, 395);
  r = appkit::StretchedRect(container, child, 5, true);
  EXPECT_EQ(r.right, 495);
  EXPECT_EQ(r.bottom, 200);
  // A container smaller than the child's position never gives a negative size.
  RECT tiny{100, 100, 112, 120};
  r = appkit::StretchedRect(tiny, child, 5, false);
  EXPECT_EQ(r.right, 110);
  EXPECT_EQ(r.bottom, 130);
}

}  // namespace
