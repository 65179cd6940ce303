// The worker's steps around the engine: room making, sizing, working set,
// allocation, and whole runs over a fake system and over real memory.
#include <gtest/gtest.h>
#include <windows.h>

#include <map>

#include "memtest/worker.h"
#include "recording_sink.h"

using namespace memtest;

namespace {

constexpr uint64_t MB = 0x100000;

RandomSource Lcg() {
  auto s = std::make_shared<uint32_t>(99);
  return [s] { return (*s = *s * 1103515245u + 12345u) >> 8; };
}

// Memory services of a machine made up by the test; blocks are real memory.
class FakeSystem : public SystemMemory {
 public:
  MemoryFigures figures;
  uint64_t allocLimit = ~0ull;        // larger allocations fail
  uint64_t workingSetLimit = ~0ull;   // larger working sets are refused
  uint64_t wsMin = 32 * MB, wsMax = 32 * MB;
  bool getFails = false;
  std::vector<uint64_t> allocs;                    // every size asked for
  std::vector<std::pair<uint64_t, uint64_t>> sets;  // every working set asked for
  int live = 0;

  MemoryFigures Figures() override { return figures; }
  void* Alloc(uint64_t size) override {
    allocs.push_back(size);
    if (size > allocLimit) return nullptr;
    void* p = ::VirtualAlloc(nullptr, (SIZE_T)size, MEM_COMMIT, PAGE_READWRITE);
    if (p) ++live;
    return p;
  }
  uint8_t* Lock(void* b) override { return static_cast<uint8_t*>(b); }
  void Unlock(void*) override {}
  void Free(void* b) override {
    ::VirtualFree(b, 0, MEM_RELEASE);
    --live;
  }
  bool GetWorkingSet(uint64_t* mn, uint64_t* mx) override {
    if (getFails) return false;
    *mn = wsMin;
    *mx = wsMax;
    return true;
  }
  bool SetWorkingSet(uint64_t mn, uint64_t mx) override {
    sets.push_back({mn, mx});
    return mx <= workingSetLimit;
  }
};

Selection DataOnly() { return Selection{true, false, false, false, false}; }

}  // namespace

TEST(MemtestSizing, SizesFollowTheModeAndNeverOverflow) {
  const uint64_t G = 1024 * MB;
  MemoryFigures big{64 * G, 48 * G, 80 * G};
  struct Case {
    bool win9x, concurrent, quick;
    int percent;
    uint64_t room, block;
  } cases[] = {
      {false, false, false, 8, 48 * G, 48 * G},
      {false, true, false, 50, 48 * G / 100 * 50, 48 * G / 100 * 50},
      {false, false, true, 8, 48 * G, 7 * MB},
      {true, false, false, 8, k9xSizeLimit, k9xSizeLimit},
  };
  for (const Case& c : cases) {
    MemTestConfig cfg;
    cfg.win9x = c.win9x;
    cfg.concurrent = c.concurrent;
    cfg.quick = c.quick;
    cfg.percent = c.percent;
    EXPECT_EQ(RoomPassSize(big, cfg), c.room);
    EXPECT_EQ(TestBlockSize(big, cfg), c.block);
  }
  // 9x: the free paging file, at most twice the physical memory.
  MemTestConfig w9x;
  w9x.win9x = true;
  EXPECT_EQ(RoomPassSize(MemoryFigures{32 * MB, 8 * MB, 200 * MB}, w9x), 64 * MB);
  // Quick: an eighth of the available memory when that is less than 7 MB.
  MemTestConfig quick;
  quick.quick = true;
  EXPECT_EQ(TestBlockSize(MemoryFigures{64 * MB, 16 * MB, 0}, quick), 2 * MB);

  EXPECT_EQ(Shrink(16 * G), 15 * G);
  EXPECT_EQ(Shrink(0xFFFFFFFFFFFFFFF0ull), 0xEFFFFFFFFFFFFFF1ull);  // no overflow of size x 15
  EXPECT_EQ(Shrink(0x20000000), 0x1E000000u);                        // past 32 bits too
  EXPECT_GT(TouchStep(100), 0u);
  EXPECT_EQ(TouchStep(16 * MB), MB);
  EXPECT_EQ(TouchProgress(1, 0, MB), 5);
  EXPECT_EQ(TouchProgress(5, 15 * MB, MB), 92);
}

// Every block the test takes stays within what the machine can commit now
// (the larger of the physical and page-file figures, which already holds the
// physical memory, less an eighth), whatever the mode's own rule asks for.
TEST(MemtestSizing, BlocksNeverExceedWhatTheMachineCanCommitNow) {
  const uint64_t G = 1024 * MB, ALL = ~0ull;
  const struct Case {
    const char* machine;
    MemoryFigures m;  // total, available physical, available page file
    bool win9x, concurrent, quick;
    int percent;
    uint64_t room, block;
  } cases[] = {
      // A 64 GB Windows machine with a page file: the mode's sizes hold.
      {"big, page file", {64 * G, 48 * G, 80 * G}, false, false, false, 8, 48 * G, 48 * G},
      // This kind of host under Wine without swap: the page-file figure is
      // the available memory itself; three quarters of 24 GB and all of the
      // 20 GB free would leave nothing for anyone else.
      {"Wine, no swap", {24 * G, 20 * G, 20 * G}, false, false, false, 8, 20 * G / 8 * 7, 20 * G / 8 * 7},
      // Wine with 8 GB of free swap: the page-file figure holds both.
      {"Wine, swap", {24 * G, 20 * G, 28 * G}, false, false, false, 8, 18 * G, 20 * G},
      // Little free on a big machine: a room pass of 18 GB would be touched
      // into memory that is not there.
      {"little free", {24 * G, 2 * G, 2 * G}, false, false, false, 8, 2 * G / 8 * 7, 2 * G / 8 * 7},
      {"little free, -Check", {24 * G, 2 * G, 2 * G}, false, false, true, 8, 2 * G / 8 * 7, 7 * MB},
      {"little free, -C 50", {24 * G, 2 * G, 2 * G}, false, true, false, 50, 2 * G / 8 * 7, 2 * G / 100 * 50},
      {"small machine", {256 * MB, 200 * MB, 600 * MB}, false, false, false, 8, 192 * MB, 200 * MB},
      // No page file reported: the free physical memory still counts.
      {"no page-file figure", {1 * G, 512 * MB, 0}, false, false, false, 8, 448 * MB, 448 * MB},
      // The page-file figure below the physical one (NT, commit short): the
      // allocation itself fails past the commit room and shrinks.
      {"commit short", {16 * G, 8 * G, 2 * G}, false, false, false, 8, 7 * G, 7 * G},
      {"9x", {512 * MB, 300 * MB, 100 * MB}, true, false, false, 8, 100 * MB, k9xSizeLimit},
      {"9x, little free", {512 * MB, 64 * MB, 48 * MB}, true, false, false, 8, 48 * MB, 56 * MB},
      {"nothing free", {4 * G, 0, 0}, false, false, false, 8, 0, 0},
      // Figures at the top of the range overflow nothing.
      {"overflow", {ALL, ALL, ALL}, false, false, false, 8, ALL / 4 * 3 + 2, ALL - ALL / 8},
      {"overflow, 9x", {ALL, ALL, ALL}, true, false, false, 8, k9xSizeLimit, k9xSizeLimit},
      {"overflow, -C 1000", {ALL, ALL, ALL}, false, true, false, 1000, (ALL / 4 * 3 + 2) / 100 * 100, ALL - ALL / 8},
      {"overflow, -C -5", {ALL, ALL, ALL}, false, true, false, -5, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.machine);
    MemTestConfig cfg;
    cfg.win9x = c.win9x;
    cfg.concurrent = c.concurrent;
    cfg.quick = c.quick;
    cfg.percent = c.percent;
    EXPECT_EQ(RoomPassSize(c.m, cfg), c.room);
    EXPECT_EQ(TestBlockSize(c.m, cfg), c.block);
    EXPECT_LE(RoomPassSize(c.m, cfg), MemoryWithinReach(c.m));
    EXPECT_LE(TestBlockSize(c.m, cfg), MemoryWithinReach(c.m));
  }
}

TEST(MemtestWorker, QuickRunOnAMinimumThatCoversTheBlockPasses) {
  FakeSystem sys;
  sys.figures = {64 * MB, 64 * MB, 64 * MB};  // quick: 64 MB / 8 = 8 MB, capped at 7 MB
  MemTestConfig c;
  c.quick = true;
  c.selection = DataOnly();
  RecordingSink sink;
  ASSERT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Passed);
  ASSERT_GE(sink.lines.size(), 7u);
  EXPECT_EQ(sink.lines[0], "Optimizing Test Memory Size...");
  EXPECT_EQ(sink.lines[1], "Test Memory Allocated:\t7168 KB\tOK");
  EXPECT_EQ(sink.lines[2], "Test Memory Blocks:\t0112 blks");
  EXPECT_EQ(sink.lines[3].rfind("Start Address:\t", 0), 0u);
  EXPECT_EQ(sink.lines[6], "Test Data Pattern:\tFFFFFFFFh\tPASSED ");
  // Five room passes of three quarters of the memory, then the block.
  EXPECT_EQ(sys.allocs, (std::vector<uint64_t>{48 * MB, 48 * MB, 48 * MB, 48 * MB, 48 * MB, 7 * MB}));
  // The minimum (32 MB) already held 7 MB: nothing was grown, the limits only put back.
  EXPECT_EQ(sys.sets, (std::vector<std::pair<uint64_t, uint64_t>>{{32 * MB, 32 * MB}}));
  EXPECT_EQ(sys.live, 0);
  // Room-making progress runs 5..18, 23..36, ... 77..90.
  EXPECT_EQ(sink.progress.front(), 5);
}

TEST(MemtestWorker, RefusedAllocationsShrinkRoomAndBlockDownToTheLowMemoryLimit) {
  FakeSystem sys;
  sys.figures = {16 * MB, 4 * MB, 0};
  sys.allocLimit = 3 * MB;
  MemTestConfig c;
  c.concurrent = true;
  c.percent = 100;
  c.selection = DataOnly();
  RecordingSink sink;
  ASSERT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Passed);
  // One room pass (concurrent): three quarters of 16 MB shrinking by 1/16 until it fits.
  std::vector<uint64_t> room;
  for (uint64_t s = RoomPassSize(sys.figures, c); s > 3 * MB; s = Shrink(s)) room.push_back(s);
  EXPECT_EQ(std::vector<uint64_t>(sys.allocs.begin(), sys.allocs.begin() + room.size()), room);
  EXPECT_LE(sys.allocs[room.size()], 3 * MB);
  // The block: about 4 MB refused, shrinking by 1/16 until 3 MB or less is taken.
  EXPECT_EQ(sys.allocs[room.size() + 1], TestBlockSize(sys.figures, c));
  EXPECT_LE(sys.allocs.back(), 3 * MB);
  EXPECT_EQ(sys.live, 0);

  FakeSystem none;
  none.figures = {16 * MB, 4 * MB, 0};
  none.allocLimit = 256 * 1024;
  RecordingSink sink2;
  ASSERT_EQ(RunMemoryTest(none, c, sink2, Lcg()), Outcome::Failed);
  EXPECT_EQ(sink2.lines.back(), "===>Memory Allocation Failed!");
  EXPECT_GE(none.allocs.back(), kLowMemoryLimit);
}

TEST(MemtestWorker, WorkingSetGrowthShrinksByOneMegabyteAndRestoresTheLimits) {
  FakeSystem sys;
  sys.figures = {16 * MB, 12 * MB, 16 * MB};
  sys.wsMin = 1 * MB;
  sys.wsMax = 2 * MB;
  sys.workingSetLimit = 10 * MB;
  MemTestConfig c;
  c.selection = DataOnly();
  RecordingSink sink;
  ASSERT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Passed);
  EXPECT_EQ(sink.lines[1], "Test Memory Allocated:\t10240 KB\tOK");
  ASSERT_EQ(sys.sets.size(), 4u);
  EXPECT_EQ(sys.sets[0], std::make_pair(12 * MB, 12 * MB));
  EXPECT_EQ(sys.sets[2], std::make_pair(10 * MB, 10 * MB));
  EXPECT_EQ(sys.sets[3], std::make_pair(1 * MB, 2 * MB));  // restored

  FakeSystem fails;
  fails.figures = sys.figures;
  fails.getFails = true;
  RecordingSink sink2;
  ASSERT_EQ(RunMemoryTest(fails, c, sink2, Lcg()), Outcome::Failed);
  EXPECT_EQ(sink2.lines.back(), "Failed to get process workingset size");

  // Windows 9x has no working set to grow.
  FakeSystem w9x;
  w9x.figures = {16 * MB, 2 * MB, 4 * MB};
  w9x.getFails = true;
  c.win9x = true;
  RecordingSink sink3;
  EXPECT_EQ(RunMemoryTest(w9x, c, sink3, Lcg()), Outcome::Passed);
}

TEST(MemtestWorker, ConcurrentBlockIsCappedByMaxMemAndLowMemoryFails) {
  FakeSystem sys;
  sys.figures = {64 * MB, 40 * MB, 0};
  MemTestConfig c;
  c.concurrent = true;
  c.percent = 50;
  c.maxMemMB = 1;
  c.selection = DataOnly();
  RecordingSink sink;
  ASSERT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Passed);
  EXPECT_EQ(sys.allocs.front(), 48 * MB / 100 * 50);
  EXPECT_EQ(sink.lines[1], "Test Memory Allocated:\t1024 KB\tOK");
  EXPECT_EQ(sink.lines[2], "Test Memory Blocks:\t0016 blks");

  FakeSystem low;
  low.figures = {64 * MB, 400 * 1024, 64 * MB};
  c.concurrent = false;
  RecordingSink sink2;
  ASSERT_EQ(RunMemoryTest(low, c, sink2, Lcg()), Outcome::Failed);
  EXPECT_EQ(sink2.lines.back(), "===>Physical memory low, please close other program(s).");
  EXPECT_EQ(sink2.lines[2], "Test Memory Blocks:\t0006 blks");
  EXPECT_EQ(low.live, 0);
}

TEST(MemtestWorker, AbortDuringRoomMakingStopsBeforeTheBlock) {
  FakeSystem sys;
  sys.figures = {32 * MB, 32 * MB, 0};
  MemTestConfig c;
  RecordingSink sink;
  sink.abortWhen = [] { return true; };
  EXPECT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Aborted);
  EXPECT_EQ(sys.allocs.size(), 1u);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"Optimizing Test Memory Size..."}));
}

TEST(MemtestWorker, QuickRunOverRealMemoryPassesEveryTest) {
  RealSystemMemory sys(64 * MB);  // the machine as if it had 64 MB
  MemTestConfig c;
  c.quick = true;
  RecordingSink sink;
  ASSERT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Passed);
  EXPECT_EQ(sink.lines.back(), "Random Mem. Block Copy:\t\tPASSED ");
  EXPECT_EQ(sink.lines.size(), 11u);
}

// Stop during a room-making pass acts within a megabyte, not at the end of a
// pass that touches three quarters of the machine: the flag goes up once the
// pass has touched its first sixteenth (3 MB, progress 6), and the pass ends
// before it reaches the next one.
TEST(MemtestWorker, StopActsInTheMiddleOfARoomMakingPass) {
  FakeSystem sys;
  sys.figures = {64 * MB, 64 * MB, 64 * MB};  // a room pass of 48 MB
  MemTestConfig c;
  RecordingSink sink;
  sink.abortWhen = [&] { return !sink.progress.empty() && sink.progress.back() >= 6; };
  EXPECT_EQ(RunMemoryTest(sys, c, sink, Lcg()), Outcome::Aborted);
  EXPECT_EQ(sys.allocs, std::vector<uint64_t>{48 * MB});
  EXPECT_EQ(sink.progress, (std::vector<int>{5, 5, 6}));
  EXPECT_EQ(sys.live, 0);
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"Optimizing Test Memory Size..."}));
}
