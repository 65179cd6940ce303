// The memory and processor benchmarks' steps with stand-in libraries: the
// lines of the list and of BNCHMARK.BNH, the series' order, aborts, the
// second run of a short processor loop, and figures that are no results
// (said on their lines, never an error of the run).
#include <gtest/gtest.h>

#include <climits>
#include <cmath>
#include <string>
#include <vector>

#include "memtest/bench.h"
#include "recording_sink.h"

using namespace memtest;

namespace {

constexpr uint64_t MB = 0x100000;

class FakeSystem : public SystemMemory {
 public:
  MemoryFigures figures{512 * MB, 256 * MB, 1024 * MB};
  bool allocFails = false, lockFails = false;
  int live = 0;
  MemoryFigures Figures() override { return figures; }
  void* Alloc(uint64_t size) override {
    if (allocFails) return nullptr;
    ++live;
    return ::VirtualAlloc(nullptr, (SIZE_T)size, MEM_COMMIT, PAGE_READWRITE);
  }
  uint8_t* Lock(void* b) override { return lockFails ? nullptr : static_cast<uint8_t*>(b); }
  void Unlock(void*) override {}
  void Free(void* b) override {
    ::VirtualFree(b, 0, MEM_RELEASE);
    --live;
  }
  bool GetWorkingSet(uint64_t*, uint64_t*) override { return false; }
  bool SetWorkingSet(uint64_t, uint64_t) override { return false; }
};

class RecordingFile : public BenchFile {
 public:
  std::string text;
  void WriteLine(const std::string& line) override { text += line + "\r\n"; }
};

// Stand-in bandwidth entries: the figure is the block size in KB (read) or
// half of it (write); every call is kept.
struct MemCall {
  bool read;
  DWORD size, loops;
};
std::vector<MemCall> g_memCalls;
bool g_special16K = false;
double g_memFigureFor16K = 0;  // the figure for 16 KB when g_special16K
double WINAPI FakeRead(DWORD size, DWORD* buffer, DWORD loops) {
  g_memCalls.push_back({true, size, loops});
  buffer[size * 256 - 1] = 1;  // the block lies inside the buffer
  if (size == 16 && g_special16K) return g_memFigureFor16K;
  return size;
}
double WINAPI FakeWrite(DWORD size, DWORD* buffer, DWORD loops) {
  g_memCalls.push_back({false, size, loops});
  buffer[size * 256 - 1] = 2;
  return size / 2.0;
}

// Stand-in processor loops: the seconds come from a table by call.
std::vector<int> g_dhryCounts, g_whetCounts;
std::vector<double> g_dhrySeconds, g_whetSeconds;
double Next(std::vector<int>& counts, const std::vector<double>& seconds, int count) {
  counts.push_back(count);
  size_t i = counts.size() - 1;
  return i < seconds.size() ? seconds[i] : seconds.back();
}
double WINAPI FakeDhry(int count) { return Next(g_dhryCounts, g_dhrySeconds, count); }
double WINAPI FakeWhet(int count) { return Next(g_whetCounts, g_whetSeconds, count); }

class BenchSteps : public ::testing::Test {
 protected:
  void SetUp() override {
    g_memCalls.clear();
    g_special16K = false;
    g_dhryCounts.clear();
    g_whetCounts.clear();
    g_dhrySeconds = {2.5};
    g_whetSeconds = {5.0};
  }
  std::vector<DWORD> pauses;
  std::function<void(DWORD)> pause = [this](DWORD ms) { pauses.push_back(ms); };
  FakeSystem sys;
  RecordingSink sink;
  RecordingFile file;
};

const char* const kMemoryBlock =
    "Memory Size:\t512.00 MB\r\n"
    "\r\n"
    "Memory Read Performance Tests:\r\n"
    "4K Blocks:\t4.00 MB/Sec\r\n"
    "16K Blocks:\t16.00 MB/Sec\r\n"
    "64K Blocks:\t64.00 MB/Sec\r\n"
    "256K Blocks:\t256.00 MB/Sec\r\n"
    "1024K Blocks:\t1024.00 MB/Sec\r\n"
    "Memory Read Average:\t272.80 MB/Sec\r\n"
    "\r\n"
    "Memory Write Performance Tests:\r\n"
    "4K Blocks:\t2.00 MB/Sec\r\n"
    "16K Blocks:\t8.00 MB/Sec\r\n"
    "64K Blocks:\t32.00 MB/Sec\r\n"
    "256K Blocks:\t128.00 MB/Sec\r\n"
    "1024K Blocks:\t512.00 MB/Sec\r\n"
    "Memory Write Average:\t136.40 MB/Sec\r\n";

TEST_F(BenchSteps, MemorySeriesWritesTheBlockInItsLayout) {
  MemoryBenchConfig c{FakeRead, FakeWrite, 12345};
  EXPECT_EQ(RunMemoryBenchmark(c, sys, sink, file, pause), Outcome::Passed);
  EndBenchFile(file, false, false);
  EXPECT_EQ(file.text, std::string(kMemoryBlock) + "\r\n");
  // Five sizes each way, in order, with the loop count of the settings.
  ASSERT_EQ(g_memCalls.size(), 10u);
  for (size_t i = 0; i < 10; ++i) {
    EXPECT_EQ(g_memCalls[i].read, i < 5);
    EXPECT_EQ(g_memCalls[i].size, kBenchBlockSizes[i % 5]);
    EXPECT_EQ(g_memCalls[i].loops, 12345u);
  }
  EXPECT_EQ(sink.progress, (std::vector<int>{0, 20, 40, 60, 80, 0, 20, 40, 60, 80, 0}));
  // The list shows the allocation and a blank after the read average.
  ASSERT_GE(sink.lines.size(), 5u);
  EXPECT_EQ(sink.lines[1], "Test Memory Allocated:\t1024 KB");
  EXPECT_EQ(sink.lines[2].rfind("Start Address:\t", 0), 0u);
  EXPECT_EQ(sink.lines[10], " ");
  EXPECT_EQ(pauses, std::vector<DWORD>{1000});
  EXPECT_EQ(sys.live, 0);
}

TEST_F(BenchSteps, AbortDuringTheReadSeriesSkipsItsAverageAndTheWriteSeries) {
  int sizes = 0;
  sink.onAdd = [&](const std::string& line) {
    if (line.find("K Blocks:") != std::string::npos) ++sizes;
  };
  sink.abortWhen = [&] { return sizes == 2; };
  MemoryBenchConfig c{FakeRead, FakeWrite, 100};
  EXPECT_EQ(RunMemoryBenchmark(c, sys, sink, file, pause), Outcome::Aborted);
  EndBenchFile(file, true, false);
  EXPECT_EQ(file.text,
            "Memory Size:\t512.00 MB\r\n\r\nMemory Read Performance Tests:\r\n4K Blocks:\t4.00 MB/Sec\r\n"
            "16K Blocks:\t16.00 MB/Sec\r\n===>Test Aborts.\r\n\r\n");
  EXPECT_EQ(g_memCalls.size(), 2u);
  EXPECT_EQ(sys.live, 0);
}

TEST_F(BenchSteps, MemoryFiguresThatAreNoResultAreSaidButCountNoError) {
  for (double bad : {0.0, -3.0, (double)NAN, (double)INFINITY}) {
    SetUp();
    RecordingFile f;
    RecordingSink s;
    g_special16K = true;
    g_memFigureFor16K = bad;
    MemoryBenchConfig c{FakeRead, FakeWrite, 100};
    EXPECT_EQ(RunMemoryBenchmark(c, sys, s, f, pause), Outcome::Passed) << bad;
    EXPECT_NE(f.text.find("16K Blocks:\tMeasurement failed\r\n"), std::string::npos);
    // The average rests on the four sizes that were measured.
    EXPECT_NE(f.text.find("Memory Read Average:\t337.00 MB/Sec\r\n"), std::string::npos) << f.text;
    EXPECT_EQ(f.text.find("inf"), std::string::npos);
    EXPECT_EQ(f.text.find("nan"), std::string::npos);
  }
}

TEST_F(BenchSteps, MemoryBenchmarkWithoutItsLibraryOrMemoryMeasuresNothingAndCountsNoError) {
  MemoryBenchConfig missing{FakeRead, nullptr, 100};
  EXPECT_EQ(RunMemoryBenchmark(missing, sys, sink, file, pause), Outcome::Passed);
  EXPECT_EQ(file.text, "");
  EXPECT_EQ(sink.lines, std::vector<std::string>{"Memory Benchmark:\tkovlet.dll is not available"});

  MemoryBenchConfig c{FakeRead, FakeWrite, 100};
  sys.allocFails = true;
  RecordingSink s2;
  EXPECT_EQ(RunMemoryBenchmark(c, sys, s2, file, pause), Outcome::Passed);
  EXPECT_EQ(s2.lines.back(), "Failed to allocate memory");
  sys.allocFails = false;
  sys.lockFails = true;
  RecordingSink s3;
  EXPECT_EQ(RunMemoryBenchmark(c, sys, s3, file, pause), Outcome::Passed);
  EXPECT_EQ(s3.lines.back(), "Failed to lock allocated memory");
  EXPECT_TRUE(g_memCalls.empty());
  EXPECT_EQ(sys.live, 0);
}

TEST(BenchRescale, SecondRunCountFollowsTheRuleAndStaysAnInt) {
  struct Case {
    int count;
    double minTime, seconds;
    int expected;
  } cases[] = {
      {1000000, 2, 0.5, 4400000},  // 1,000,000 x 4 x 1.1
      {1000, 4, 2.0, 2200},
      {1000, 4, 4.0, 0},  // long enough: no second run
      {1000, 4, 9.0, 0},
      {1000, 4, 0.0, 0},  // no usable time: no second run
      {1000, 4, -1.0, 0},
      {1000, 4, NAN, 0},
      {1000000, 2, 1e-9, INT_MAX},  // a huge factor is capped
      {0, 2, 0.5, 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(RescaledCount(c.count, c.minTime, c.seconds), c.expected) << c.count << " " << c.seconds;
}

TEST_F(BenchSteps, ProcessorBenchmarkRerunsAShortLoopAndKeepsOnlyItsSecondResult) {
  g_dhrySeconds = {0.5, 2.2};
  g_whetSeconds = {8.0};
  CpuInfoLines cpu{"CPU Type:\tTest Processor", "CPU Speed:\t1000 MHz"};
  int asked = 0;
  auto lines = [&]() -> const CpuInfoLines* { return ++asked >= 3 ? &cpu : nullptr; };
  CpuBenchConfig c{FakeDhry, FakeWhet};
  EXPECT_EQ(RunCpuBenchmark(c, lines, sink, file, pause), Outcome::Passed);
  EndBenchFile(file, false, false);
  EXPECT_EQ(g_dhryCounts, (std::vector<int>{1000000, 4400000}));
  EXPECT_EQ(g_whetCounts, std::vector<int>{1000});
  // 4,400,000 / (2.2 s x 1000) and 1000 / (8 s x 10).
  EXPECT_EQ(file.text,
            "CPU Performance Tests:\r\nCPU Type:\tTest Processor\r\nCPU Speed:\t1000 MHz\r\n"
            "Dhrystone:\t2000.0 K Dhrystones/Sec\r\nWhetstone:\t12.5 MWIPS\r\n\r\n");
  EXPECT_EQ(sink.lines, (std::vector<std::string>{"CPU Performance Tests:", "CPU Type:\tTest Processor",
                                                  "CPU Speed:\t1000 MHz", "Dhrystone:\t2000.0 K Dhrystones/Sec",
                                                  "Whetstone:\t12.5 MWIPS"}));
  EXPECT_EQ(sink.progress, (std::vector<int>{30, 70, 100}));
  // Two waits of 500 ms for the processor's lines, then the pauses between steps.
  EXPECT_EQ(pauses, (std::vector<DWORD>{500, 500, 500, 1000}));
}

TEST_F(BenchSteps, ProcessorBenchmarkWithoutTheProcessorLinesOrALibrary) {
  // The lines never come: nWaitCpu waits, then the loops run without them;
  // whet.dll is missing: that loop is skipped, which is no error.
  CpuBenchConfig c{FakeDhry, nullptr};
  c.waitCpu = 3;
  EXPECT_EQ(RunCpuBenchmark(c, [] { return (const CpuInfoLines*)nullptr; }, sink, file, pause), Outcome::Passed);
  EXPECT_EQ(file.text, "CPU Performance Tests:\r\nDhrystone:\t400.0 K Dhrystones/Sec\r\n");
  EXPECT_EQ(sink.lines.back(), "Whetstone:\tnot available (whet.dll is missing)");
  EXPECT_EQ(pauses, (std::vector<DWORD>{500, 500, 500, 500, 1000}));
}

TEST_F(BenchSteps, ALoopWithoutATimeIsNoResultAndAnAbortStopsBeforeTheNextLoop) {
  g_dhrySeconds = {0.0};
  CpuBenchConfig c{FakeDhry, FakeWhet};
  c.waitCpu = 0;
  // Said on its line, which leaves the score incomplete; no error.
  EXPECT_EQ(RunCpuBenchmark(c, [] { return (const CpuInfoLines*)nullptr; }, sink, file, pause), Outcome::Passed);
  EXPECT_EQ(file.text, "CPU Performance Tests:\r\nDhrystone:\tMeasurement failed\r\nWhetstone:\t20.0 MWIPS\r\n");
  EXPECT_EQ(g_dhryCounts, std::vector<int>{1000000});  // no second run on a zero time

  SetUp();
  RecordingSink s;
  RecordingFile f;
  s.abortWhen = [&] { return !g_dhryCounts.empty(); };
  EXPECT_EQ(RunCpuBenchmark(c, [] { return (const CpuInfoLines*)nullptr; }, s, f, pause), Outcome::Aborted);
  EXPECT_TRUE(g_whetCounts.empty());
}

// Stop (or a closing module) is seen while the benchmark waits for the
// processor's lines, and a loop that was too short is not run again after
// it: the run ends with what it has instead of holding the stop for up to a
// minute.
TEST_F(BenchSteps, StopEndsTheWaitForTheProcessorLinesAndSkipsTheLongerRun) {
  struct Case {
    const char* when;
    int stopAt;  // 0: the second wait, 1: Dhrystone's first run, 2: Whetstone's
    std::vector<int> dhry, whet;
    std::vector<DWORD> pauses;
    const char* file;
  };
  const Case cases[] = {
      {"in the wait for the lines", 0, {}, {}, {500, 500},
       "CPU Performance Tests:\r\n"},
      {"in Dhrystone's first run", 1, {1000000}, {}, {},
       "CPU Performance Tests:\r\nDhrystone:\t2000.0 K Dhrystones/Sec\r\n"},
      {"in Whetstone's first run", 2, {1000000, 4400000},
       {1000}, {500}, "CPU Performance Tests:\r\nDhrystone:\t454.5 K Dhrystones/Sec\r\nWhetstone:\t50.0 MWIPS\r\n"},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(k.when);
    SetUp();
    pauses.clear();
    RecordingSink s;
    RecordingFile f;
    g_dhrySeconds = {0.5, 9.68};
    g_whetSeconds = {2.0, 8.0};
    CpuBenchConfig c{FakeDhry, FakeWhet};
    c.waitCpu = 120;  // a minute of half-second waits
    const bool waitsForLines = k.stopAt == 0;
    CpuInfoLines cpu{"CPU Type:\tTest Processor", ""};
    auto lines = [&]() -> const CpuInfoLines* { return waitsForLines ? nullptr : &cpu; };
    s.abortWhen = [&] {
      if (k.stopAt == 0) return pauses.size() >= 2;
      return !(k.stopAt == 1 ? g_dhryCounts : g_whetCounts).empty();
    };
    EXPECT_EQ(RunCpuBenchmark(c, lines, s, f, pause), Outcome::Aborted);
    EXPECT_EQ(g_dhryCounts, k.dhry);
    EXPECT_EQ(g_whetCounts, k.whet);
    EXPECT_EQ(pauses, k.pauses);
    std::string expected = k.file;
    if (!waitsForLines) expected.insert(std::string("CPU Performance Tests:\r\n").size(), "CPU Type:\tTest Processor\r\n");
    EXPECT_EQ(f.text, expected);
  }
}

TEST(BenchResultsFileTest, AppendsToAnExistingFileOnlyAndSharesItWithNobody) {
  wchar_t dir[MAX_PATH];
  ::GetTempPathW(MAX_PATH, dir);
  std::wstring path = std::wstring(dir) + L"memtest_bench_test.bnh";
  ::DeleteFileW(path.c_str());
  {
    BenchResultsFile missing(path);
    EXPECT_FALSE(missing.IsOpen());
    missing.WriteLine("nothing");  // goes nowhere
  }
  EXPECT_EQ(::GetFileAttributesW(path.c_str()), INVALID_FILE_ATTRIBUTES);

  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD put;
  ::WriteFile(h, "head\r\n", 6, &put, nullptr);
  ::CloseHandle(h);
  {
    BenchResultsFile f(path);
    ASSERT_TRUE(f.IsOpen());
    HANDLE other = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                 OPEN_EXISTING, 0, nullptr);
    EXPECT_EQ(other, INVALID_HANDLE_VALUE);
    if (other != INVALID_HANDLE_VALUE) ::CloseHandle(other);
    f.WriteLine("Memory Size:\t1.00 MB");
  }
  h = ::CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  char buf[64] = {};
  ::ReadFile(h, buf, sizeof buf - 1, &put, nullptr);
  ::CloseHandle(h);
  EXPECT_STREQ(buf, "head\r\nMemory Size:\t1.00 MB\r\n");
  ::DeleteFileW(path.c_str());
}

}  // namespace
