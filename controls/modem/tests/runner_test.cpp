// The modem runner in a window of the test's own: its 28 settings with
// their defaults and clamps, what -Check leaves alone, and the switches that
// name the log and pick the pages.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "appkit/registry.h"
#include "ctlfw/sheet.h"
#include "runner.h"
#include "testsupport/controls.h"
#include "testsupport/runner_fixture.h"

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\ModemRunnerTest\\Setting";

class TestRunner : public CModemRunner {
 public:
  std::wstring SettingsKey() const override { return kKey; }
};

class ModemRunner : public testsupport::RunnerFixture<TestRunner> {};

TEST_F(ModemRunner, EverySettingIsWrittenBackWithItsDefault) {
  ASSERT_TRUE(runner.Init(window, ""));
  EXPECT_EQ(runner.Title(), "Modem Test");
  EXPECT_EQ(runner.BaseName(), "KytMODM");
  EXPECT_EQ(runner.InfoCategory(), 11);
  EXPECT_EQ(ctltest::SheetTabs(runner.GetSheet()->hwnd()), (std::vector<std::wstring>{L"Information", L"Test"}));
  runner.Cleanup();
  const std::pair<const wchar_t*, DWORD> defaults[] = {
      {L"Loop", 1},           {L"ConnectionTest", 0},      {L"BBSBaudRate", 19200},        {L"ATT1BaudRate", 0},
      {L"ShortTimeout", 2000}, {L"StandardTimeout", 3000}, {L"LongTimeout", 12000},        {L"ConnectTimeout", 30000},
      {L"ATT1Timeout", 5000},  {L"TestBaudRate", 300},     {L"InnerLoopDelay", 100},       {L"CheckConnectSpeed", 0},
      {L"TestATS6Jump", 500},  {L"TestATS6Repeat", 4},     {L"TestATS6Sample", 30},        {L"TestATS6Percent", 20},
      {L"TestATS6Period", 20}, {L"TestATS6Sleep", 6000},   {L"DefaultVolume", 50000},      {L"TestATS6BeginNoise", 500},
      {L"TestATS6ToneTolerance", 1}, {L"DialtoneTestEnable", 0}, {L"StandardTestEnable", 1}, {L"AdvancedTestEnable", 1},
      {L"nThread", 1},
  };
  for (const auto& [name, value] : defaults) EXPECT_EQ(Get(name), value) << name;
  EXPECT_EQ(GetText(L"BBSNumber"), L"");
  EXPECT_EQ(GetText(L"TestATS6"), L"");
  EXPECT_EQ(GetText(L"TestATS6Input"), L"LINEIN");
}

TEST_F(ModemRunner, ClampsAndTheCheckSwitch) {
  const struct {
    DWORD repeat, threads;
    DWORD repeatRead, threadsRead;
  } cases[] = {{9, 7, 5, 3}, {6, 4, 5, 3}, {5, 3, 5, 3}, {1, 0, 2, 1}};
  for (const auto& c : cases) {
    Set(L"TestATS6Repeat", c.repeat);
    Set(L"nThread", c.threads);
    ASSERT_TRUE(runner.Init(window, ""));
    EXPECT_EQ(runner.Setting("TestATS6Repeat"), (int)c.repeatRead) << c.repeat;
    EXPECT_EQ(runner.Setting("nThread"), (int)c.threadsRead) << c.threads;
    runner.Cleanup();
    EXPECT_EQ(Get(L"TestATS6Repeat"), c.repeatRead) << "written back clamped";
    EXPECT_EQ(Get(L"nThread"), c.threadsRead);
  }

  // -Check runs without the dial-tone test and keeps the stored choice.
  Set(L"DialtoneTestEnable", 1);
  ASSERT_TRUE(runner.Init(window, "-AutoRun -Check"));
  EXPECT_EQ(runner.Setting("DialtoneTestEnable"), 0);
  runner.Cleanup();
  EXPECT_EQ(Get(L"DialtoneTestEnable"), 1u);

  SetText(L"TestATS6Input", L"linein");
  SetText(L"BBSNumber", L"5551234");
  ASSERT_TRUE(runner.Init(window, ""));
  EXPECT_EQ(runner.ToneInput(), "LINEIN");
  EXPECT_EQ(runner.BbsNumber(), "5551234");
  runner.Cleanup();
  EXPECT_EQ(GetText(L"TestATS6Input"), L"LINEIN");
  EXPECT_EQ(GetText(L"BBSNumber"), L"5551234");
}

TEST_F(ModemRunner, AutoRunDigitAndLoopNameTheRun) {
  ASSERT_TRUE(runner.Init(window, "-AutoRun2 -L5"));
  EXPECT_EQ(runner.RunSuffix(), "2");
  EXPECT_EQ(runner.Options().loop, 5);
  EXPECT_EQ(ctltest::SheetTabs(runner.GetSheet()->hwnd()), (std::vector<std::wstring>{L"Test"}));
  EXPECT_FALSE(runner.Init(window, "")) << "one Init per control";
  EXPECT_TRUE(runner.SetProp("SIZE", "800 600"));
  EXPECT_FALSE(runner.SetProp("Size", "80 60"));
}

}  // namespace
