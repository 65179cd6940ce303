// The Benchmark Details dialog and the View Test Log dialog, opened as the
// results and stress dialogs open them, with the stand-in main program.
#include <gtest/gtest.h>

#include <algorithm>
#include <cwctype>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "run_support.h"
#include "stress/benchdialogs.h"
#include "stress/benchscore.h"
#include "testsupport/process.h"
#include "testsupport/shot.h"
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

std::wstring Row(HWND results, const std::wstring& label, int column) {
  HWND table = testsupport::FindChildById(results, 1101);
  auto labels = testsupport::ListViewItems(table, 0);
  auto cells = testsupport::ListViewItems(table, column);
  for (size_t i = 0; i < labels.size() && i < cells.size(); ++i)
    if (labels[i] == label) return cells[i];
  return L"<no row>";
}

}  // namespace

TEST(BenchDetails, DescriptionIsSavedAsTheSecondLineAndLoadDefaultReplacesTheReference) {
  RunFixture fx(L"details");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"bnchdflt.dat", kDefaults);
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  fx.WriteFile(L"bnchref.bnh", "old reference\r\n");
  Process host;
  HWND dlg = nullptr, results = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenBenchResults(fx, host, &dlg, &results));
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 1), L"200.00");
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 2), L"");

  // This system's file: its empty second line stays in the list; a
  // description entered goes in before it.
  ::PostMessageW(results, WM_COMMAND, 1103, 1);
  HWND details = WaitWindowHolding(host.Pid(), L"Benchmarks", 1099, 10000);
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
  // Only the new line goes in: every other byte stays, the first line's
  // LF-only end too.
  std::string expected = kResults;
  expected.replace(expected.find("]\n") + 2, 0, "My test machine\r\n");
  EXPECT_EQ(fx.ReadFile(L"BNCHMARK.BNH"), expected);
  EXPECT_EQ(Row(results, L"Description", 1), L"My test machine");
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 1), L"200.00");

  // The reference file: "Load Default" then OK makes it a copy of the defaults.
  ::PostMessageW(results, WM_COMMAND, 1103, 2);
  details = WaitWindowHolding(host.Pid(), L"Benchmarks", 1099, 10000);
  ASSERT_NE(details, nullptr);
  EXPECT_FALSE(::IsWindowVisible(testsupport::FindChildById(details, 1097)));
  ASSERT_TRUE(testsupport::ClickButton(details, 1107));
  ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(details, 5000));
  EXPECT_EQ(fx.ReadFile(L"bnchref.bnh"), kDefaults);
  EXPECT_EQ(Row(results, L"Qev Benchmark Score", 2), L"100.00");
  EXPECT_EQ(Row(results, L"Description", 2), L"Default values");

  ASSERT_NO_FATAL_FAILURE(CloseResultsAndHost(results, dlg, host));
}

// A click of the mouse on the header of "This System" or "Ref. System"
// opens the details of that column's file.
TEST(BenchDetails, AClickOnASystemsColumnHeaderOpensItsDetails) {
  RunFixture fx(L"details by click");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"bnchdflt.dat", kDefaults);
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  fx.WriteFile(L"bnchref.bnh", "[Last Updated: 01/02/2003 10:00AM]\nReference machine\r\nOS Type:\tX\r\n");
  Process host;
  HWND dlg = nullptr, results = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenBenchResults(fx, host, &dlg, &results));
  HWND table = testsupport::FindChildById(results, 1101);
  HWND header = testsupport::FindChild(table, L"SysHeader32");
  ASSERT_NE(header, nullptr);
  ASSERT_EQ(testsupport::GetText(results), L"Benchmarks");
  // The middle of a column's header on the screen.
  auto headerPoint = [&](int column) {
    RECT r{};
    ::GetWindowRect(header, &r);
    int left = r.left;
    for (int i = 0; i < column; ++i) left += (int)::SendMessageW(table, LVM_GETCOLUMNWIDTH, i, 0);
    int width = (int)::SendMessageW(table, LVM_GETCOLUMNWIDTH, column, 0);
    return POINT{std::min<LONG>(left + width / 2, r.right - 4), (r.top + r.bottom) / 2};
  };

  const struct {
    int column;
    const wchar_t* file;
    int shownButton;  // "Save As ..." for this system's file, "Load Default" for the reference
    const wchar_t* shot;
  } kCases[] = {{1, L"BNCHMARK.BNH", 1097, L"details_this_system.bmp"},
                {2, L"bnchref.bnh", 1107, L"details_ref_system.bmp"}};
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.column);
    ASSERT_TRUE(testsupport::MouseClickAt(headerPoint(c.column)));
    HWND details = WaitWindowHolding(host.Pid(), L"Benchmarks", 1099, 10000);
    ASSERT_NE(details, nullptr) << "the click on the header opened no details";
    std::wstring shown = fx.dir() + c.file;
    for (wchar_t& ch : shown) ch = (wchar_t)towlower(ch);
    EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(details, 1102)), shown);
    EXPECT_TRUE(::IsWindowVisible(testsupport::FindChildById(details, c.shownButton)));
    mediatest::SaveWindowShot(details, c.shot);
    ASSERT_TRUE(testsupport::ClickButton(details, IDCANCEL));
    ASSERT_TRUE(testsupport::WaitWindowGone(details, 10000));
  }

  ASSERT_NO_FATAL_FAILURE(CloseResultsAndHost(results, dlg, host));
}

namespace {

// A results file of `bytes` bytes or a line more. Lines of some 120
// characters: the size matters here, and the dialog's list fills slowly
// line by line.
std::string BigResults(size_t bytes) {
  std::string s = "[Last Updated: 12/10/2026 08:00AM]\n" "Old machine\r\n" "OS Type:\tWindows NT [6.01.7601]\r\n\r\n";
  const std::string figure = "\t" + std::string(100, '7') + " MB/Sec\n";
  for (int i = 0; s.size() < bytes; ++i) s += "Line " + std::to_string(i) + ":" + figure;
  return s;
}

bool IsReadOnly(HWND edit) { return (::GetWindowLongW(edit, GWL_STYLE) & ES_READONLY) != 0; }

// Writes a file that the results dialog may still be reading (it loads its
// column again when the details dialog closes): retried while it is held.
bool WriteWhenFree(const std::wstring& path, const std::string& bytes) {
  bool written = false;
  testsupport::PumpUntil(
      [&] {
        written = testsupport::WriteFileBytes(path, bytes);
        return written || ::GetLastError() != ERROR_SHARING_VIOLATION;
      },
      10000);
  return written;
}

// The visible windows of a process with their static texts, for a failure
// message (a message box that stands in the way says why).
struct WindowWalk {
  DWORD pid;
  std::string out;
};

BOOL CALLBACK AddVisibleWindow(HWND w, LPARAM lp) {
  auto* walk = reinterpret_cast<WindowWalk*>(lp);
  DWORD owner = 0;
  ::GetWindowThreadProcessId(w, &owner);
  if (owner != walk->pid || !::IsWindowVisible(w)) return TRUE;
  walk->out += "[" + appkit::Narrow(testsupport::GetText(w)) + "]";
  for (HWND c = ::GetWindow(w, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (testsupport::ClassOf(c) == L"Static") walk->out += " " + appkit::Narrow(testsupport::GetText(c));
  walk->out += "\n";
  return TRUE;
}

std::string VisibleWindowsOf(DWORD pid) {
  WindowWalk walk{pid, {}};
  ::EnumWindows(&AddVisibleWindow, reinterpret_cast<LPARAM>(&walk));
  return walk.out;
}

}  // namespace

// Hostile results files: OK without a change leaves every byte, and a new
// description changes that line and nothing else. What the dialog cannot
// hold exactly is not changed, and the dialog says why.
TEST(BenchDetails, OkWritesOnlyWhatTheUserChanged) {
  RunFixture fx(L"details hostile");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"bnchdflt.dat", kDefaults);
  const std::string head = "[Last Updated: 12/10/2026 08:00AM]\n";
  const std::string nul(1, '\0');
  const std::string big = BigResults(1400 * 1024);
  const struct {
    const char* name;
    std::string file;
    bool editable;
    std::string expected;  // after "New machine" was entered (editable ones)
    bool note = !editable;  // a note says what is not shown or cannot change
  } kCases[] = {
      {"1.4 MB", big, true, head + "New machine" + big.substr(head.size() + 11), true},
      {"lines longer than 1,023 characters", head + "Old\r\nCPU Type:\t" + std::string(3000, 'c') + "\r\n" +
                                                 std::string(1500, 'z') + "\n",
       true, head + "New machine\r\nCPU Type:\t" + std::string(3000, 'c') + "\r\n" + std::string(1500, 'z') + "\n"},
      {"a NUL in a line", head + "Old\r\nOS Type:\tX" + nul + "after the NUL\r\nEnd", true,
       head + "New machine\r\nOS Type:\tX" + nul + "after the NUL\r\nEnd"},
      {"a description of 200 characters", head + std::string(200, 'D') + "\r\nOS Type:\tX\r\n", true,
       head + "New machine\r\nOS Type:\tX\r\n"},
      {"a NUL in the description", head + "Old" + nul + "machine\r\nOS Type:\tX\r\n", false, ""},
      {"too large to be held", BigResults((size_t)stress::kMaxDetailsFile + 4096), false, ""},
  };
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Bench");
  ASSERT_NE(dlg, nullptr);
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1028));
  HWND results = WaitWindowHolding(host.Pid(), L"Benchmarks", 1101, 10000);
  ASSERT_NE(results, nullptr);
  const std::wstring path = fx.dir() + L"BNCHMARK.BNH";
  auto openDetails = [&] {
    ::PostMessageW(results, WM_COMMAND, 1103, 1);
    return WaitWindowHolding(host.Pid(), L"Benchmarks", 1099, 30000);
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ASSERT_TRUE(WriteWhenFree(path, c.file));

    HWND details = openDetails();
    ASSERT_NE(details, nullptr);
    HWND description = testsupport::FindChildById(details, 1099);
    HWND note = testsupport::FindChildById(details, 1122);
    EXPECT_EQ(IsReadOnly(description), !c.editable);
    EXPECT_EQ(testsupport::GetText(note).empty(), !c.note) << appkit::Narrow(testsupport::GetText(note));
    ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
    ASSERT_TRUE(testsupport::WaitWindowGone(details, 30000)) << VisibleWindowsOf(host.Pid());
    EXPECT_TRUE(testsupport::ReadFileBytes(path) == c.file) << "OK without a change rewrote the file";

    details = openDetails();
    ASSERT_NE(details, nullptr);
    // Set as a program would; the user cannot type into a read-only box.
    ::SendMessageW(testsupport::FindChildById(details, 1099), WM_SETTEXT, 0, (LPARAM)L"New machine");
    ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
    ASSERT_TRUE(testsupport::WaitWindowGone(details, 30000)) << VisibleWindowsOf(host.Pid());
    const std::string after = testsupport::ReadFileBytes(path);
    EXPECT_TRUE(after == (c.editable ? c.expected : c.file))
        << "size " << after.size() << ", first bytes: " << after.substr(0, 80);
  }

  ASSERT_NO_FATAL_FAILURE(CloseResultsAndHost(results, dlg, host));
}

// "Load Default" without a default file replaces nothing: the reference
// file stays as it was (it used to become empty at OK).
TEST(BenchDetails, LoadDefaultWithoutTheDefaultFileChangesNothing) {
  RunFixture fx(L"details no default");
  fx.WriteFile(L"bnchmark.dat", ";Test Modules\r\n" + fx.Line("One Bench", "-AutoRun", "", "1.LOG", ""));
  fx.WriteFile(L"BNCHMARK.BNH", kResults);
  const std::string reference = "[Last Updated: 01/02/2003 10:00AM]\nReference machine\r\nOS Type:\tX\r\n";
  fx.WriteFile(L"bnchref.bnh", reference);
  Process host;
  HWND dlg = nullptr, results = nullptr;
  ASSERT_NO_FATAL_FAILURE(OpenBenchResults(fx, host, &dlg, &results));
  ::PostMessageW(results, WM_COMMAND, 1103, 2);
  HWND details = WaitWindowHolding(host.Pid(), L"Benchmarks", 1099, 10000);
  ASSERT_NE(details, nullptr);
  ::PostMessageW(details, WM_COMMAND, 1107, 0);
  const std::wstring said =
      L"The default values could not be loaded from " + fx.dir() + L"bnchdflt.dat. Nothing was changed.";
  HWND box = testsupport::WaitForWindowOf(
      host.Pid(),
      [&](HWND w) { return w != details && ::IsWindowVisible(w) && testsupport::FindChild(w, L"Static", said); },
      10000);
  ASSERT_NE(box, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(box, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(box, 10000));
  // The reference is still shown, and OK leaves it as it was.
  auto lines = testsupport::ListBoxLines(testsupport::FindChildById(details, 1024));
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], L"OS Type:\tX");
  EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(details, 1099)), L"Reference machine");
  ASSERT_TRUE(testsupport::ClickButton(details, IDOK));
  ASSERT_TRUE(testsupport::WaitWindowGone(details, 10000));
  EXPECT_EQ(fx.ReadFile(L"bnchref.bnh"), reference);

  ASSERT_NO_FATAL_FAILURE(CloseResultsAndHost(results, dlg, host));
}

TEST(TestLog, AModuleLogFollowsStressLogAndAnOlderLoopIsPointedOut) {
  RunFixture fx(L"test log");
  fx.WriteFile(L"STRESS.LOG", "[Last Updated: 12/10/2026 08:00AM]\nLOOP: 3\r\nMemory Test\tPASSED\r\n");
  fx.WriteFile(L"KytMEM.LOG", "12/10/2026 07:59AM\r\nMemory Test Loop 2\r\nData Pattern Test\tPASSED\r\n");
  fx.WriteFile(L"SAME.LOG", "12/10/2026 07:59AM\r\nMemory Test Loop 3\r\n");
  fx.WriteFile(L"NOLOOP.LOG", "12/10/2026 07:59AM\r\nMemory Test\r\n");

  stress::LogView v = stress::ReadLogView(fx.dir(), L"KytMEM.LOG 90", L"STRESS.LOG", 60);
  EXPECT_EQ(v.lines, (std::vector<std::string>{"[Last Updated: 12/10/2026 08:00AM]", "LOOP: 3", "Memory Test\tPASSED",
                                               "", "12/10/2026 07:59AM", "Memory Test Loop 2",
                                               "Data Pattern Test\tPASSED"}));
  EXPECT_EQ(v.tabStop, 90);
  EXPECT_TRUE(v.fromLastLoop);

  // Equal loops, a log without a loop number, or only one file: no note.
  EXPECT_FALSE(stress::ReadLogView(fx.dir(), L"SAME.LOG", L"STRESS.LOG", 60).fromLastLoop);
  EXPECT_FALSE(stress::ReadLogView(fx.dir(), L"NOLOOP.LOG", L"STRESS.LOG", 60).fromLastLoop);
  v = stress::ReadLogView(fx.dir(), L"STRESS.LOG", L"", 60);
  EXPECT_EQ(v.lines.size(), 3u);
  EXPECT_EQ(v.tabStop, 60);
  EXPECT_FALSE(v.fromLastLoop);
  // A module log that is missing adds nothing after the empty line.
  v = stress::ReadLogView(fx.dir(), L"MISSING.LOG", L"STRESS.LOG", 60);
  EXPECT_EQ(v.lines.size(), 4u);
  EXPECT_EQ(v.lines.back(), "");
}

TEST(TestLog, LoopNumbersOfLogs) {
  EXPECT_EQ(stress::LogLoopNumber("LOOP: 3"), 3);
  EXPECT_EQ(stress::LogLoopNumber("Memory Test loop 12)"), 12);
  EXPECT_EQ(stress::LogLoopNumber("Memory Test"), 0);
  EXPECT_EQ(stress::LogLoopNumber("LOOP"), 0);
  EXPECT_EQ(stress::LogLoopNumber(std::string(5000, 'L') + "LOOP: 7"), 7);
}
