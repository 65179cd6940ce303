// The Benchmark Details dialog and the View Test Log dialog, opened as the
// results and stress dialogs open them, with the stand-in main program.
#include <gtest/gtest.h>

#include <cwctype>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "run_support.h"
#include "stress/benchscore.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

const char kDefaults[] =
    "[Last Updated: 01/01/1999 12:00AM]\r\nDefault values\r\nOS Type:\tWindows NT [4.00.1381]\r\n\r\n"
    "CPU Performance Tests:\r\nDhrystone:\t200.0 K Dhrystones/Sec\r\nWhetstone:\t60.0 MWIPS\r\n\r\n";
const char kResults[] =
    "[Last Updated: 12/10/2026 08:00AM]\n\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n"
    "CPU Performance Tests:\r\nDhrystone:\t400.0 K Dhrystones/Sec\r\nWhetstone:\t120.0 MWIPS\r\n\r\n";

// A window of the host with this title that holds control `id`.
HWND WaitWindowWith(DWORD pid, const std::wstring& title, int id, DWORD ms) {
  HWND found = nullptr;
  testsupport::PumpUntil(
      [&] {
        HWND w = nullptr;
        while ((w = ::FindWindowExW(nullptr, w, nullptr, title.c_str())) != nullptr) {
          DWORD owner = 0;
          ::GetWindowThreadProcessId(w, &owner);
          if (owner == pid && ::IsWindowVisible(w) && testsupport::FindChildById(w, id)) {
            found = w;
            return true;
          }
        }
        return false;
      },
      ms);
  return found;
}

std::wstring Row(HWND results, const std::wstring& label, int column) {
  HWND table = testsupport::FindChildById(results, 1101);
  auto labels = testsupport::ListViewItems(table, 0);
  auto cells = testsupport::ListViewItems(table, column);
  for (size_t i = 0; i < labels.size() && i < cells.size(); ++i)
    if (labels[i] == label) return cells[i];
  return L"<no row>";
}

// A real click on the first row of the module list (the dialog reads the
// cursor's position).
void ClickFirstModule(HWND dlg) {
  HWND list = testsupport::FindChildById(dlg, 1024);
  RECT r;
  ::GetWindowRect(list, &r);
  ::SetForegroundWindow(dlg);
  ::SetCursorPos(r.left + 30, r.top + 30);
  INPUT in[2] = {};
  in[0].type = in[1].type = INPUT_MOUSE;
  in[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
  in[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
  ::SendInput(2, in, sizeof(INPUT));
  testsupport::PumpUntil([] { return false; }, 500);
}

}  // namespace

TEST(BenchDetails, DescriptionIsSavedAsTheSecondLineAndLoadDefaultReplacesTheReference) {
  RunFixture fx(L"details");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"bnchdflt.dat", kDefaults);
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  fx.WriteFile(L"bnchref.bnh", "old reference\r\n");
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND results = WaitWindowWith(host.Pid(), L"Benchmarks", 1101, 10000);
  ASSERT_NE(results, nullptr);
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 1), L"200.00");
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 2), L"");

  // This system's file: its empty second line stays in the list; a
  // description entered goes in before it.
  ::PostMessageW(results, WM_COMMAND, 1103, 1);
  HWND details = WaitWindowWith(host.Pid(), L"Benchmarks", 1099, 10000);
  ASSERT_NE(details, nullptr);
  // The path shown in lower case.
  std::wstring shown = fx.dir() + L"BNCHMARK.BNH";
  for (wchar_t& ch : shown) ch = (wchar_t)towlower(ch);
  EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(details, 1102)), shown);
  auto lines = testsupport::ListBoxLines(testsupport::FindChildById(details, 1024));
  ASSERT_EQ(lines.size(), 8u);
  EXPECT_EQ(lines[1], L"");
  EXPECT_TRUE(::IsWindowVisible(testsupport::FindChildById(details, 1097)));
  EXPECT_FALSE(::IsWindowVisible(testsupport::FindChildById(details, 1107)));
  ::SendMessageW(testsupport::FindChildById(details, 1099), WM_SETTEXT, 0, (LPARAM)L"My test machine");
  ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(details, 5000));
  std::string expected = kResults;
  expected.replace(expected.find("]\n") + 2, 0, "My test machine\r\n");
  expected.replace(0, expected.find("]\n") + 2, "[Last Updated: 12/10/2026 08:00AM]\r\n");
  EXPECT_EQ(fx.ReadFile(L"BNCHMARK.BNH"), expected);
  EXPECT_EQ(Row(results, L"Description", 1), L"My test machine");
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 1), L"200.00");

  // The reference file: "Load Default" then OK makes it a copy of the defaults.
  ::PostMessageW(results, WM_COMMAND, 1103, 2);
  details = WaitWindowWith(host.Pid(), L"Benchmarks", 1099, 10000);
  ASSERT_NE(details, nullptr);
  EXPECT_FALSE(::IsWindowVisible(testsupport::FindChildById(details, 1097)));
  ASSERT_TRUE(testsupport::ClickButton(details, 1107));
  ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(details, 5000));
  EXPECT_EQ(fx.ReadFile(L"bnchref.bnh"), kDefaults);
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 2), L"100.00");
  EXPECT_EQ(Row(results, L"Description", 2), L"Default values");

  ASSERT_TRUE(testsupport::ClickButton(results, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(results, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(TestLog, AModuleLogFollowsStressLogAndAnOlderLoopIsPointedOut) {
  RunFixture fx(L"test log");
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" + fx.Line("Memory Test", "-AutoRun", "", "KytMEM.LOG 90", ""));
  fx.WriteFile(L"STRESS.LOG", "[Last Updated: 12/10/2026 08:00AM]\nLOOP: 3\r\nMemory Test\tPASSED\r\n");
  fx.WriteFile(L"KytMEM.LOG", "12/10/2026 07:59AM\r\nMemory Test Loop 2\r\nData Pattern Test\tPASSED\r\n");
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ClickFirstModule(dlg);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND view = WaitWindowWith(host.Pid(), L"View Test Log - Memory Test", 1024, 10000);
  ASSERT_NE(view, nullptr);
  auto lines = testsupport::ListBoxLines(testsupport::FindChildById(view, 1024));
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"[Last Updated: 12/10/2026 08:00AM]", L"LOOP: 3", L"Memory Test\tPASSED",
                                              L"", L"12/10/2026 07:59AM", L"Memory Test Loop 2",
                                              L"Data Pattern Test\tPASSED"}));
  // The module's log is from loop 2, STRESS.LOG from loop 3.
  HWND box = WaitOtherWindow(host.Pid(), L"Stress Test", dlg, 5000);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(testsupport::FindChild(box, L"Static", L"The test result for selected module is from last loop."),
            nullptr);
  ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(box, 5000));
  ASSERT_TRUE(testsupport::ClickButton(view, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(view, 5000));
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(TestLog, LoopNumbersOfLogs) {
  EXPECT_EQ(stress::LogLoopNumber("LOOP: 3"), 3);
  EXPECT_EQ(stress::LogLoopNumber("Memory Test loop 12)"), 12);
  EXPECT_EQ(stress::LogLoopNumber("Memory Test"), 0);
  EXPECT_EQ(stress::LogLoopNumber("LOOP"), 0);
  EXPECT_EQ(stress::LogLoopNumber(std::string(5000, 'L') + "LOOP: 7"), 7);
}
