// Fenwold's runner in a window of the test's own: the three modes' captions,
// categories and log names, the size settings with their clamps, and what
// goes back to the registry (nothing of the sizes under -Check).
#include <gtest/gtest.h>
#include <windows.h>

#include "appkit/registry.h"
#include "ctlfw/sheet.h"
#include "runner.h"
#include "testsupport/runner_fixture.h"

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\FenwoldRunnerTest\\Setting";

class TestRunner : public CFenwoldRunner {
 public:
  std::wstring SettingsKey() const override { return kKey; }
};

class FenwoldRunner : public testsupport::RunnerFixture<TestRunner> {};

}  // namespace

TEST_F(FenwoldRunner, ModesNameTheirCaptionCategoryAndLog) {
  struct Case {
    const char* cmd;
    const char* caption;
    int category;
    const char* base;
  } cases[] = {
      {"", "Disk Test - Fixed Drive", 9, "KytDISK"},
      {"-floppy -AutoRun", "Disk Test - Removable Drive", 10, "KytFLPY"},
      {"-NetDisk", "Disk Test - Network Disk", 13, "KytDISK"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(runner.Init(window, c.cmd)) << c.cmd;
    EXPECT_EQ(runner.Title(), c.caption);
    EXPECT_EQ(runner.InfoCategory(), c.category);
    EXPECT_EQ(runner.BaseName(), c.base);
    runner.Cleanup();
  }
  EXPECT_TRUE(IsNetDiskModuleName(L"NFENWOLD.MOD"));
  EXPECT_TRUE(IsNetDiskModuleName(L"nfenwold.mod"));
  EXPECT_FALSE(IsNetDiskModuleName(L"fenwold.mod"));
  EXPECT_FALSE(IsNetDiskModuleName(L"NFEN"));
}

TEST_F(FenwoldRunner, SizesAreClampedAndWrittenBack) {
  Set(L"nLargestSize", 500000);
  Set(L"nIncrement", 2000);
  Set(L"nIncrementMax", 1000000);
  Set(L"nThread", 7);
  ASSERT_TRUE(runner.Init(window, ""));
  EXPECT_EQ(runner.Setting("nLargestSize"), 500000);
  EXPECT_EQ(runner.Setting("nIncrement"), 5000);
  EXPECT_EQ(runner.Setting("nIncrementMax"), 500000);
  EXPECT_EQ(runner.Setting("nThread"), 3);
  EXPECT_EQ(runner.Setting("BaseLoop"), 2000);
  runner.Cleanup();
  EXPECT_EQ(Get(L"nIncrement"), 5000u);
  EXPECT_EQ(Get(L"nIncrementMax"), 500000u);
  EXPECT_EQ(Get(L"RandomRatio"), 50u);
  // Floppy mode reads its own keys.
  Set(L"nFloppyLargestSize", 2000000);
  ASSERT_TRUE(runner.Init(window, "-Floppy"));
  EXPECT_EQ(runner.Setting("nFloppyLargestSize"), 1280000);
  EXPECT_FALSE(runner.HasSetting("BaseLoop"));
}

TEST_F(FenwoldRunner, CheckRunsLeaveTheConfiguredSizesAlone) {
  Set(L"nFloppyLargestSize", 1000000);
  Set(L"nFloppyIncrementMax", 160000);
  ASSERT_TRUE(runner.Init(window, "-Floppy -Check"));
  EXPECT_EQ(runner.Setting("nFloppyLargestSize"), 40000);
  EXPECT_EQ(runner.Setting("nFloppyIncrementMax"), 40000);
  runner.Cleanup();
  EXPECT_EQ(Get(L"nFloppyLargestSize"), 1000000u);
  EXPECT_EQ(Get(L"nFloppyIncrementMax"), 160000u);
}
