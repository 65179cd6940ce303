// The disk benchmark's block as the benchmark results read it: a run on
// this machine's C: drive, its lines scored against the shipped defaults.
#include <gtest/gtest.h>

#include <windows.h>

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

}  // namespace

TEST(DiskBenchmarkBlock, TheResultsReadItsTransferRateAndAccessTime) {
  disktest::BenchConfig config;
  config.letter = 'C';
  config.baseLoop = 200;
  config.texts = ::GetModuleHandleW(nullptr);
  CollectingHost host;
  const bool ran = disktest::RunDiskBenchmark(config, host);
  if (!host.directory.empty()) testsupport::RemoveTree(std::wstring(host.directory.begin(), host.directory.end()));
  ASSERT_TRUE(ran);

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
  // The access time needs raw reads of the physical disk; where the system
  // refuses them the block says FAILED, counts an error, and the score is
  // incomplete rather than made up.
  double ms = 0;
  if (host.block.find("Average Access Time (C:)\tFAILED") != std::string::npos) {
    EXPECT_EQ(host.errors, 1);
    EXPECT_FALSE(stress::LeadingNumber(column.cells[access], &ms) && ms > 0) << column.cells[access];
    EXPECT_TRUE(column.incomplete);
  } else {
    EXPECT_EQ(host.errors, 0) << host.block;
    ASSERT_TRUE(stress::LeadingNumber(column.cells[access], &ms)) << host.block;
    EXPECT_GT(ms, 0.0);
  }
}
