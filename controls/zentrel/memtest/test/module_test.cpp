// The memory test end to end: zentrel.mod started and driven through the
// module protocol ("kyt_diag_msg" codes 0 and 1) runs the memory test over
// real memory, writes its result log beside itself and reports its error
// count to the host. The machine is made to look small (the worker reads
// HALVIX_MEMTEST_MACHINE_MB, inherited by the module) so the runs stay short.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "appkit/registry.h"
#include "testsupport/controls.h"
#include "suite/diag.h"
#include "testsupport/process.h"

using namespace testsupport;

namespace {

class MemoryModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RunRegsvr32(SuitePath(L"ZENTREL.OCX")), 0); }

  void SetUp() override {
    // Every memory test selected.
    const wchar_t key[] = L"Software\\Kyt\\ZENTREL\\Setting";
    for (const wchar_t* name :
         {L"DataPatternEnable", L"WalkOneEnable", L"MoveInversionEnable", L"WalkZeroEnable", L"RandomMemCopyEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, key, name, 1);
    for (const wchar_t* log : {L"KytMEM.LOG", L"KytMEM3.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }
  void TearDown() override {
    for (const wchar_t* log : {L"KytMEM.LOG", L"KytMEM3.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }

  // A log left by an earlier run.
  static void EarlierLog() {
    std::ofstream old(SuitePath(L"KytMEM.LOG").c_str(), std::ios::binary);
    old << "an earlier stress loop\r\n";
  }

  // Runs the module on a machine of `mb` megabytes; its reported result.
  WPARAM Run(const std::wstring& args, unsigned mb) {
    ctltest::UseSmallMachine(mb);
    WPARAM result = 99;
    EXPECT_TRUE(RunModule(args, &result)) << args.c_str();
    return result;
  }

  // Starts zentrel.mod as the main program does and waits for its report.
  bool RunModule(const std::wstring& args, WPARAM* result) {
    Process p;
    return ctltest::StartModuleAndWaitReport(p, SuitePath(L"zentrel.mod"), args, result) && p.WaitExit(20000);
  }
};

}  // namespace

TEST_F(MemoryModule, AutoRunCheckRunsEveryPatternWritesTheLogAndReportsNoError) {
  ASSERT_EQ(Run(L"-AutoRun -Check", 64), 0u);
  std::string log = ReadFileBytes(SuitePath(L"KytMEM.LOG"));
  ASSERT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  // "%m/%d/%Y %I:%M%p"
  ASSERT_GT(log.size(), 35u);
  EXPECT_EQ(log.substr(15, 18).find_first_not_of("0123456789/: APM"), std::string::npos) << log.substr(0, 40);
  EXPECT_EQ(log.substr(17, 1) + log.substr(20, 1) + log.substr(25, 1) + log.substr(28, 1) + log.substr(33, 1), "// :]");
  EXPECT_NE(log.find("]\r\n\r\nMemory Test\r\nOptimizing Test Memory Size...\r\nTest Memory Allocated:\t"), std::string::npos);
  for (const char* line : {"Initialize Memory Addresses:\t", "Verify Memory Addresses:\t",
                           "Test Data Pattern:\tFFFFFFFFh\tPASSED \r\n", "Walking Ones Test:\t80000000h\tPASSED \r\n",
                           "Moving Inversion Test:\t80000000h\tPASSED \r\n",
                           "Walking Zeros Test:\t7FFFFFFFh\tPASSED \r\n", "Random Mem. Block Copy:\t\tPASSED \r\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  const std::string tail = "\r\n \r\nNo Error Found.\r\n";
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(MemoryModule, LoopRunWritesTheDigitsLogAndAppendKeepsACleanRunOut) {
  ASSERT_EQ(Run(L"-AutoRun3 -L2", 16), 0u);  // the whole available memory is tested (no -Check)
  std::string log = ReadFileBytes(SuitePath(L"KytMEM3.LOG"));
  EXPECT_NE(log.find("]\r\n\r\nMemory Test - Loop 2\r\n"), std::string::npos) << log.substr(0, 80);
  EXPECT_EQ(::GetFileAttributesW(SuitePath(L"KytMEM.LOG").c_str()), INVALID_FILE_ATTRIBUTES);

  // -Append: a run without errors leaves the log as it was.
  EarlierLog();
  ASSERT_EQ(Run(L"-AutoRun -Check -Append -L5", 64), 0u);
  EXPECT_EQ(ReadFileBytes(SuitePath(L"KytMEM.LOG")), "an earlier stress loop\r\n");
}

TEST_F(MemoryModule, AFailedRunReportsItsErrorToTheHostAndAppendsToTheLog) {
  EarlierLog();
  // 3 MB of memory: with -Check the block holds 384 KB, fewer than 8 blocks.
  ASSERT_EQ(Run(L"-AutoRun -Check -Append -L4", 3), 1u);
  std::string log = ReadFileBytes(SuitePath(L"KytMEM.LOG"));
  ASSERT_EQ(log.rfind("an earlier stress loop\r\n[Last Updated: ", 0), 0u) << log;
  // -Check keeps the loop number out of the title.
  EXPECT_NE(log.find("]\r\n\r\nMemory Test\r\nOptimizing Test Memory Size...\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Test Memory Blocks:\t0006 blks\r\n"), std::string::npos) << log;
  const std::string end =
      "===>Physical memory low, please close other program(s).\r\n===>Test Failed.\r\n \r\nFound Error(s).\r\n\r\n";
  ASSERT_GE(log.size(), end.size());
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
  EXPECT_EQ(log.find("Troubleshooting"), std::string::npos);  // the tips follow the log
}
