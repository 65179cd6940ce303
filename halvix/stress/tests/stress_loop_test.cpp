// The Stress Test dialog end to end: the stand-in main program started with
// "-Stress" runs the fake modules one by one and writes STRESS.LOG.
#include <gtest/gtest.h>

#include "appkit/binding.h"
#include "appkit/text.h"
#include "run_support.h"
#include "testsupport/machine.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace runtest;
using testsupport::Process;

namespace {

// Stands in for the outside monitor window: records "kyt_drelmak_msg".
class Monitor {
 public:
  Monitor() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"KytWSockWClass";
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, wc.lpszClassName, L"monitor", WS_OVERLAPPED, 0, 0, 10, 10, nullptr, nullptr,
                              wc.hInstance, nullptr);
    appkit::BindWindowObject(hwnd_, this, appkit::BoundKind::Plain);
  }
  ~Monitor() {
    appkit::UnbindWindowObject(hwnd_, appkit::BoundKind::Plain);
    ::DestroyWindow(hwnd_);
  }
  std::vector<std::pair<WPARAM, LPARAM>> seen;

 private:
  static LRESULT CALLBACK Proc(HWND w, UINT msg, WPARAM wp, LPARAM lp) {
    static const UINT drelmak = ::RegisterWindowMessageW(suite::kDrelmakMessage);
    auto* self = appkit::BoundObject<Monitor>(w, appkit::BoundKind::Plain);
    if (self && msg == drelmak) {
      self->seen.push_back({wp, lp});
      return 0;
    }
    return ::DefWindowProcW(w, msg, wp, lp);
  }
  HWND hwnd_;
};

}  // namespace

// The wait for a module to take input has one bound for every module of
// the list: the healthy modules here get the fixture's room to come up on a
// busy machine (a bound cut short for the frozen module below killed them
// too, and a module killed in the first loop read "PASSED (count: 1)").
TEST(StressRun, TwoLoopsOneByOneLogTheLastLoop) {
  RunFixture fx(L"two loops");
  fx.SetChoices(2, 0, 1);
  fx.WriteFile(L"modules.dat",
               ";Test Modules\r\n" +
                   fx.Line("Audio Pass", "-AutoRun -Work700 -TracePASS.TXT", "", "PASS.LOG", "0") +
                   fx.Line("Disk Errors", "-AutoRun -Result3 -TraceERR.TXT", "", "ERR.LOG 2", "1") +
                   fx.Line("Graphics Silent", "-AutoRun -NoResult -TraceSILENT.TXT", "", "SILENT.LOG", "2") +
                   // Disabled in lower case; its log name tries to leave the data directory.
                   fx.Line("Windows Off", "-AutoRun -TraceOFF.TXT", "(disabled)", "..\\keep.txt", "4"));
  fx.WriteFile(L"PASS.LOG", "old log");
  fx.WriteFile(L"ERR.LOG", "old log");
  fx.WriteFile(L"..\\keep.txt", "not ours");
  fx.WriteFile(L"STRESS.LOG", "old stress log");

  Monitor monitor;
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(dlg, 1026)), L"2");
  // The main window stays hidden.
  EXPECT_EQ(WaitDialog(host.Pid(), L"Halvix", 200), nullptr);

  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 60000)) << fx.ReadFile(L"STRESS.LOG");

  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 4u);
  const wchar_t* names[] = {L"Audio Pass", L"Disk Errors", L"Graphics Silent", L"Windows Off"};
  const wchar_t* states[] = {L"PASSED", L"FAILED (count: 2)", L"FAILED (count: 2)", L"(disabled)"};
  for (size_t i = 0; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i][0], names[i]);
    EXPECT_EQ(rows[i][1], states[i]) << i;
    EXPECT_TRUE(IsElapsedOrEmpty(rows[i][2])) << appkit::Narrow(rows[i][2]);
  }
  EXPECT_FALSE(rows[0][2].empty());  // ran twice for over half a second: time kept
  EXPECT_EQ(rows[3][2], L"");

  // STRESS.LOG: the header, the table of the last loop and the total.
  std::string log = fx.ReadFile(L"STRESS.LOG");
  const std::string head = "[Last Updated: ";
  ASSERT_EQ(log.compare(0, head.size(), head), 0) << log;
  size_t close = log.find("]\n");
  ASSERT_NE(close, std::string::npos);
  EXPECT_TRUE(IsLogTime(log.substr(head.size(), close - head.size()))) << log;
  std::string expect = "LOOP: 2\r\n" + ExpectedTable(rows);
  std::string rest = log.substr(close + 2);
  ASSERT_EQ(rest.compare(0, expect.size(), expect), 0) << rest;
  std::string total = rest.substr(expect.size());
  ASSERT_GE(total.size(), 2u);
  EXPECT_EQ(total.substr(total.size() - 2), "\r\n");
  EXPECT_TRUE(IsElapsedOrEmpty(std::wstring(total.begin(), total.end() - 2))) << total;
  EXPECT_NE(total, "\r\n");

  // Each module got its loop number and " -Append" (no stop on errors); the
  // quoted path survives the blank in the directory.
  std::string quoted = "\"" + appkit::Narrow(fx.FakeModule()) + "\"";
  EXPECT_EQ(fx.Lines(L"PASS.TXT"), (std::vector<std::string>{quoted + " -AutoRun -Work700 -TracePASS.TXT -L1 -Append",
                                                              quoted + " -AutoRun -Work700 -TracePASS.TXT -L2 -Append"}));
  EXPECT_FALSE(fx.Exists(L"OFF.TXT"));
  // The old logs of the list went; the file outside the data directory stayed.
  EXPECT_FALSE(fx.Exists(L"PASS.LOG"));
  EXPECT_FALSE(fx.Exists(L"ERR.LOG"));
  EXPECT_EQ(fx.ReadFile(L"..\\keep.txt"), "not ours");

  // The monitor heard of each loop's start and end with the module masks
  // (AUD 0x1, DISK 0x4, GRA 0x20; the end leaves out passed ones).
  testsupport::PumpUntil([&] { return monitor.seen.size() >= 4; }, 2000);
  EXPECT_EQ(monitor.seen, (std::vector<std::pair<WPARAM, LPARAM>>{
                              {0x10001, 0x25}, {0x20001, 0x24}, {0x10002, 0x25}, {0x20000, 0x24}}));

  // OK ends the program and keeps the choices.
  fx.SetDword(L"nTestNum", 7);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDOK));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  EXPECT_EQ(fx.GetDword(L"nTestNum"), 2u);
  EXPECT_EQ(fx.GetDword(L"nStopOnError"), 0u);
  EXPECT_EQ(fx.GetDword(L"nOneByOne"), 1u);
}

// A module that never takes input is killed when the wait for it runs out,
// in every loop, and the run goes on. Alone in its list, so that the short
// bound it gets is nobody else's.
TEST(StressRun, AModuleThatNeverTakesInputIsKilledInEveryLoop) {
  RunFixture fx(L"frozen");
  // Given up after two waits of 750 ms (it must still have come far enough
  // to leave its trace on a busy machine); nobody else shares the bound.
  fx.SetDword(L"nTimeoutCount", 2);
  fx.SetIdleWait(750);
  fx.SetChoices(2, 0, 1);
  fx.WriteFile(L"modules.dat",
               ";Test Modules\r\n" + fx.Line("Video Frozen", "-NeverIdle -TraceFROZEN.TXT", "", "FROZEN.LOG", "3"));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 60000)) << fx.ReadFile(L"STRESS.LOG");
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 1u);
  EXPECT_EQ(rows[0][1], L"FAILED (count: 2)");
  EXPECT_EQ(rows[0][2], L"");  // never ran
  EXPECT_EQ(fx.Lines(L"FROZEN.TXT").size(), 2u);
  // STRESS.LOG of the last loop: the kill line, then the table.
  std::string log = fx.ReadFile(L"STRESS.LOG");
  size_t close = log.find("]\n");
  ASSERT_NE(close, std::string::npos) << log;
  std::string expect = "LOOP: 2\r\n*** Process killed:\tVideo Frozen (due to timeout)\r\n" + ExpectedTable(rows);
  EXPECT_EQ(log.substr(close + 2, expect.size()), expect) << log;
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(StressRun, TwoLoopsOverTheMemoryModule) {
  // The real memory module beside a fake one, on a machine made to look
  // small so that the memory runs stay short (the module inherits this).
  ASSERT_EQ(testsupport::RegisterControl(testsupport::SuitePath(L"ZENTREL.OCX")), 0);
  ASSERT_TRUE(testsupport::UseSmallMachine(4));
  RunFixture fx(L"memory module");
  fx.SetChoices(2, 0, 1);
  std::string memory = "Memory Test|" + appkit::Narrow(testsupport::SuitePath(L"zentrel.mod")) +
                       "|-AutoRun -Check||KytMEM.LOG|11||\r\n";
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" + memory +
                                   fx.Line("Audio Pass", "-AutoRun -Work200 -TracePASS.TXT", "", "PASS.LOG", "0"));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(WaitStressRun(dlg, 120000)) << fx.ReadFile(L"STRESS.LOG");
  testsupport::UseWholeMachine();

  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][0], L"Memory Test");
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"PASSED");
  std::string log = fx.ReadFile(L"STRESS.LOG");
  size_t close = log.find("]\n");
  ASSERT_NE(close, std::string::npos) << log;
  std::string expect = "LOOP: 2\r\n" + ExpectedTable(rows);
  EXPECT_EQ(log.substr(close + 2, expect.size()), expect) << log;

  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}

TEST(StressRun, StopOnErrorsStopsAtANegativeResult) {
  RunFixture fx(L"stop on errors");
  fx.SetChoices(2, 1, 1);
  fx.WriteFile(L"modules.dat",
               ";Test Modules\r\n" +
                   fx.Line("Audio Pass", "-AutoRun -Work200 -TracePASS.TXT", "", "PASS.LOG", "") +
                   // A negative result is a failure like any other.
                   fx.Line("Disk Errors", "-AutoRun -Work200 -Result-2 -TraceERR.TXT", "", "ERR.LOG", "") +
                   fx.Line("Graphics Silent", "-AutoRun -NoResult -TraceSILENT.TXT", "", "SILENT.LOG", ""));

  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  HWND stopped = testsupport::FindChildById(dlg, 1047);
  ASSERT_TRUE(WaitStressRun(dlg, 30000));
  EXPECT_EQ(testsupport::GetText(stopped), L"*Stopped at Loop 1    ");

  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 3u);
  EXPECT_EQ(rows[0][1], L"PASSED");
  EXPECT_EQ(rows[1][1], L"FAILED (count: 1)");
  EXPECT_EQ(rows[2][1], L"");
  EXPECT_FALSE(fx.Exists(L"SILENT.TXT"));
  EXPECT_EQ(fx.Lines(L"ERR.TXT").size(), 1u);
  // Without " -Append": stop on errors is on.
  EXPECT_EQ(fx.Lines(L"PASS.TXT"), std::vector<std::string>{"\"" + appkit::Narrow(fx.FakeModule()) +
                                                             "\" -AutoRun -Work200 -TracePASS.TXT -L1"});

  std::string log = fx.ReadFile(L"STRESS.LOG");
  size_t close = log.find("]\n");
  ASSERT_NE(close, std::string::npos) << log;
  std::string expect = "LOOP: 1\r\n" + ExpectedTable(rows);
  EXPECT_EQ(log.substr(close + 2, expect.size()), expect);

  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
  // Cancel keeps the stored choices as they were.
  EXPECT_EQ(fx.GetDword(L"nTestNum"), 2u);
}

TEST(StressRun, StopAsksProtocolModulesToQuitAndEndsTheOthers) {
  RunFixture fx(L"stop");
  fx.SetChoices(3, 0, 0);
  // The second module has no log name: it is not spoken to and is ended.
  fx.WriteFile(L"modules.dat", ";Test Modules\r\n" +
                                   fx.Line("Audio Long", "-AutoRun -Work20000 -TraceLONG.TXT", "", "LONG.LOG", "") +
                                   fx.Line("Disk Plain", "-Work20000 -TracePLAIN.TXT", "", "", ""));
  Process host;
  HWND dlg = fx.OpenDialog(host, L"-Stress");
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] {
        auto rows = ListRows(dlg);
        return rows.size() == 2 && rows[0][1] == L"Running..." && rows[1][1] == L"Running..." &&
               fx.Exists(L"PLAIN.TXT");
      },
      15000));
  EXPECT_EQ(testsupport::GetText(dlg), L"Stress Test - LOOP 1");
  DWORD t0 = ::GetTickCount();
  ASSERT_TRUE(testsupport::ClickButton(dlg, 1025));
  // Both end long before their 20 s: the protocol module reports 0 on its way out.
  ASSERT_TRUE(testsupport::PumpUntil(
      [&] { return fx.ReadFile(L"STRESS.LOG").find("Total Elapsed Time:") != std::string::npos; }, 15000));
  EXPECT_LT(::GetTickCount() - t0, 30000u);  // ends, not hangs (a busy machine is slow)
  auto rows = ListRows(dlg);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0][1], L"Aborted.");
  EXPECT_EQ(rows[1][1], L"Aborted.");
  EXPECT_EQ(testsupport::GetText(testsupport::FindChildById(dlg, 1047)), L"*Stopped at Loop 1    ");
  EXPECT_EQ(testsupport::GetText(dlg), L"Stress Test");
  // Only the protocol module heard code 2.
  EXPECT_EQ(fx.Lines(L"LONG.TXT").size(), 2u);
  EXPECT_EQ(fx.Lines(L"LONG.TXT").back(), "code 2");
  EXPECT_EQ(fx.Lines(L"PLAIN.TXT").size(), 1u);
  ASSERT_TRUE(testsupport::ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(host.WaitExitPumping(10000));
}
