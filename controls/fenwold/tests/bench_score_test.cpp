// The disk benchmark's block as the benchmark results read it: a run on
// this machine's C: drive, its lines scored against the shipped defaults.
#include <gtest/gtest.h>

#include <windows.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "disktest/bench.h"
#include "stress/benchscore.h"
#include "testsupport/process.h"

namespace {

class CollectingHost : public disktest::BenchHost {
 public:
  void ListLine(const std::string&) override {}
  void FileLine(const std::string& text) override { block += text + "\r\n"; }
  bool Aborted() override { return false; }
  void Progress(int) override {}
  void UsedDirectory(const std::string& path) override { directory = path; }
  void CountError() override { ++errors; }
  std::string block;
  std::string directory;  // the benchmark's folder, removed after the run as the page does
  int errors = 0;
};

int RowOf(const std::vector<stress::ResultRow>& rows, const std::string& label) {
  for (size_t i = 0; i < rows.size(); ++i)
    if (label == rows[i].label) return (int)i;
  return -1;
}

DWORD WINAPI NoGeometry(WORD, WORD, void*) { return 0; }
double NoTime(const std::wstring&, uint32_t, uint32_t, std::string*, HINSTANCE) { return 0; }
DWORD WINAPI NoSector(DWORD, DWORD, DWORD, DWORD, DWORD, void*, DWORD) { return 0; }

// A benchmark run on this machine's C: drive, on the NT family or through a
// Windows 9x system-access library that gives no geometry.
struct BenchRun {
  CollectingHost host;
  bool ran = false;
  explicit BenchRun(bool nine, bool timed = true) {
    disktest::BenchConfig config;
    config.letter = 'C';
    config.baseLoop = 200;
    if (!timed) config.timeReads = NoTime;
    config.texts = ::GetModuleHandleW(nullptr);
    config.nine = nine;
    if (nine) {
      config.access.getQuorrel = NoGeometry;
      config.access.readSector = NoSector;
    }
    ran = disktest::RunDiskBenchmark(config, host);
    if (!host.directory.empty()) testsupport::RemoveTree(std::wstring(host.directory.begin(), host.directory.end()));
  }
};

}  // namespace

TEST(DiskBenchmarkBlock, TheResultsReadItsTransferRateAndAccessTime) {
  BenchRun run(false);
  const CollectingHost& host = run.host;
  ASSERT_TRUE(run.ran);

  const std::vector<stress::ResultRow> rows = stress::ResultRows(true);
  const std::string defaults = testsupport::ReadFileBytes(testsupport::SuitePath(L"bnchdflt.dat"));
  ASSERT_FALSE(defaults.empty());
  const std::vector<long> values = stress::ReadDefaults(stress::ResultLines(defaults), rows);
  // Behind the file's heading and description lines, as a series writes it.
  const std::string file = "[Last Updated: 12/10/2026 09:00AM]\r\nThis machine\r\n\r\n" + host.block;
  const stress::ResultColumn column = stress::ReadResults(stress::ResultLines(file), rows, values);

  const int rate = RowOf(rows, "Fixed Disk Transfer Rate");
  const int access = RowOf(rows, "Fixed Disk Average Access Time");
  ASSERT_GE(rate, 0);
  ASSERT_GE(access, 0);
  double mbPerSecond = 0;
  ASSERT_TRUE(stress::LeadingNumber(column.cells[rate], &mbPerSecond)) << host.block;
  EXPECT_GT(mbPerSecond, 0.0) << host.block;
  // The benchmark counts no error for a figure it cannot take.
  EXPECT_EQ(host.errors, 0) << host.block;
  // The access time needs raw reads of the physical disk; where the system
  // refuses them the block says -1 ms and the score is incomplete rather
  // than made up.
  double ms = 0;
  ASSERT_TRUE(stress::LeadingNumber(column.cells[access], &ms)) << host.block;
  if (host.block.find("Average Access Time (C:)\t-1 ms\r\n") != std::string::npos) {
    EXPECT_EQ(ms, -1.0);
    EXPECT_TRUE(column.incomplete);
  } else {
    EXPECT_GT(ms, 0.0) << host.block;
  }
}

// Figures that cannot be taken are said on their lines, not counted as
// errors: on Windows 9x an access time the system-access library gives no
// geometry for; a transfer rate whose reads give no time.
TEST(DiskBenchmarkBlock, FiguresThatCannotBeTakenAreNoErrors) {
  {
    BenchRun run(true);
    ASSERT_TRUE(run.ran);
    EXPECT_NE(run.host.block.find("\r\nAverage Access Time (C:)\tFAILED\r\n"), std::string::npos) << run.host.block;
    EXPECT_EQ(run.host.errors, 0) << run.host.block;
  }
  {
    BenchRun run(false, false);
    ASSERT_TRUE(run.ran);
    EXPECT_NE(run.host.block.find("Fixed Drive Performance Test(s):\r\nFailed to do transfer rate test on Drive C:.\r\n"
                                  "Average Access Time (C:)\t"),
              std::string::npos)
        << run.host.block;
    EXPECT_EQ(run.host.block.find("===>Test failed."), std::string::npos) << run.host.block;
    EXPECT_EQ(run.host.errors, 0) << run.host.block;
  }
}

// The access-time line in the shape of the shipped reference files: on the
// NT family the first physical disk as drive C:, whatever drive was chosen,
// in whole milliseconds and -1 for no measurement; on Windows 9x the chosen
// drive with two decimals, FAILED for no measurement.
TEST(DiskBenchmarkBlock, AccessTimeLineKeepsTheReferenceFormat) {
  const HINSTANCE texts = ::GetModuleHandleW(nullptr);
  struct Case {
    char letter;
    double ms;
    bool nine;
    const char* line;
  } cases[] = {
      {'C', 9.0, false, "Average Access Time (C:)\t9 ms"},
      {'C', 8.6, false, "Average Access Time (C:)\t9 ms"},
      {'C', 12.4, false, "Average Access Time (C:)\t12 ms"},
      {'D', 12.4, false, "Average Access Time (C:)\t12 ms"},
      // A fast disk is measured, not missing: never "0 ms".
      {'C', 0.2, false, "Average Access Time (C:)\t1 ms"},
      {'C', 12.345, true, "Average Access Time (C:)\t12.35 ms"},
      {'D', 12.345, true, "Average Access Time (D:)\t12.35 ms"},
      {'C', 0.0, false, "Average Access Time (C:)\t-1 ms"},
      {'C', -1.0, false, "Average Access Time (C:)\t-1 ms"},
      {'E', (double)NAN, false, "Average Access Time (C:)\t-1 ms"},
      {'C', -1.0, true, "Average Access Time (C:)\tFAILED"},
      {'D', 0.0, true, "Average Access Time (D:)\tFAILED"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(disktest::AccessTimeLine(c.letter, c.ms, c.nine, texts), c.line)
        << c.letter << " " << c.ms << (c.nine ? " 9x" : " NT");

  // The shipped reference and default files hold the line as the control
  // writes it for their figure.
  for (const wchar_t* name : {L"bnchref.bnh", L"bnchdflt.dat"}) {
    const std::string data = testsupport::ReadFileBytes(testsupport::SuitePath(name));
    const std::string key = "Average Access Time (C:)\t";
    size_t at = data.find(key);
    ASSERT_NE(at, std::string::npos) << name;
    std::string line = data.substr(at, data.find("\r\n", at) - at);
    int ms = std::atoi(line.c_str() + key.size());
    ASSERT_GT(ms, 0) << line;
    EXPECT_EQ(disktest::AccessTimeLine('C', ms, false, texts), line);
  }
}
