// BNCHMARK.BNH as a benchmark run appends its block, on the small disk of
// with_small_disk.sh: the score and the report read every line of the file
// as a result, so a block the disk has no room for is taken back whole and
// the run can say so.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "ctlfw/benchfile.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using ctlfw::BenchmarkFile;

namespace {

// The lines of a memory benchmark's block, `n` block lines in all.
std::vector<std::string> MemoryBlock(int n) {
  std::vector<std::string> lines = {"Memory Size:\t4095.50 MB", "", "Memory Read Performance Tests:"};
  for (int i = 0; i < n; ++i) lines.push_back(std::to_string(4 << (i % 9)) + "K Blocks:\t" + std::to_string(10000 + i) + ".25 MB/Sec");
  lines.push_back("Memory Read Average:\t12345.67 MB/Sec");
  lines.push_back("");
  return lines;
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& l : lines) text += l + "\r\n";
  return text;
}

}  // namespace

TEST(BenchmarkFileSmallDisk, ABlockTheDiskHasNoRoomForIsTakenBackWhole) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring path = disk.root() + L"BNCHMARK.BNH";
  // The header and the processor's block, as the series and the module
  // before this one left them.
  const std::string before =
      "[Last Updated: 12/11/2026 09:00AM]\n\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n"
      "CPU Performance Tests:\r\nDhrystone:\t21000.5 K Dhrystones/Sec\r\nWhetstone:\t4000.1 MWIPS\r\n\r\n";
  ASSERT_TRUE(testsupport::WriteFileBytes(path, before));
  // The file may grow only into the rest of its one block: the first lines
  // of the block fit, the later ones do not.
  ASSERT_TRUE(disk.FillSpace());
  const std::vector<std::string> block = MemoryBlock(150);
  ASSERT_GT(Joined(block).size(), 4096u);
  {
    BenchmarkFile file(path);
    ASSERT_TRUE(file.IsOpen());
    for (const std::string& line : block) file.WriteLine(line);
    file.Close();
    EXPECT_TRUE(file.Failed());
    const std::string said = file.FailureLine(::GetModuleHandleW(nullptr));
    EXPECT_EQ(said.rfind("Cannot write K:\\BNCHMARK.BNH: ", 0), 0u) << said;
    EXPECT_NE(said.find("This run's results are not in it."), std::string::npos) << said;
  }
  const std::string now = testsupport::ReadFileBytes(path);
  EXPECT_TRUE(now == before) << "the file does not hold the earlier blocks alone: " << now.size() << " bytes, ending \""
                             << now.substr(now.size() > 60 ? now.size() - 60 : 0) << "\"";

  // With room again the next run's block goes in whole.
  disk.Free();
  {
    BenchmarkFile file(path);
    for (const std::string& line : block) file.WriteLine(line);
    EXPECT_FALSE(file.Failed());
    EXPECT_EQ(file.FailureLine(::GetModuleHandleW(nullptr)), "");
  }
  EXPECT_TRUE(testsupport::ReadFileBytes(path) == before + Joined(block));
}
