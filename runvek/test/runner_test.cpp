// The runner as a program: started under a module's name or an unknown one,
// driven through "kyt_diag_msg" from this test as its host, judged by what
// it posts back and how it exits.
#include <gtest/gtest.h>

#include "appkit/text.h"
#include "boxes.h"
#include "modem_control.h"
#include "suite/diag.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

class RunnerTest : public ::testing::Test {
 protected:
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  MessageCatcher host;

  void PostProtocol(const Process& p) {
    ASSERT_TRUE(::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagHostWindow, (LPARAM)host.hwnd()));
    ASSERT_TRUE(::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagStart, (LPARAM)p.Pid()));
  }
};

}  // namespace

TEST_F(RunnerTest, UnknownNameShowsErrorDialogAndReportsZeroToItsHost) {
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"runvek.exe"), L"-AutoRun")) << p.LastError().c_str();
  ASSERT_TRUE(p.WaitIdle(10000));
  HWND dlg = WaitForWindow(L"Runvek", L"#32770", p.Pid(), 10000);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(dlg) != FALSE; }, 10000));  // set up and shown
  EXPECT_NE(FindChild(dlg, L"Static", L"Incorrect module name!!!"), nullptr);
  EXPECT_EQ(GetText(::GetDlgItem(dlg, IDCANCEL)), L"E&xit");
  PostProtocol(p);
  // A code the module drops, then the user's Exit.
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagActivate, 0);
  PumpUntil([] { return false; }, 200);
  ASSERT_TRUE(ClickButton(dlg, IDCANCEL));
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 10000, &done));
  EXPECT_EQ(done.wp, 0u);  // closed by the user, no Done: 0
  EXPECT_EQ((DWORD)done.lp, p.Pid());
  ASSERT_TRUE(p.WaitExit(10000));
}

TEST_F(RunnerTest, StartedByHandItReportsNothing) {
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"runvek.exe"))) << p.LastError().c_str();
  HWND dlg = WaitForWindow(L"Runvek", L"#32770", p.Pid(), 10000);
  ASSERT_NE(dlg, nullptr);
  // Only the host window, no cookie: nothing may be posted.
  ASSERT_TRUE(::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagHostWindow, (LPARAM)host.hwnd()));
  PumpUntil([] { return false; }, 200);
  ASSERT_TRUE(ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(p.WaitExitPumping(10000));
  PumpUntil([] { return false; }, 200);
  EXPECT_TRUE(host.Take().empty());
}

// modem.mod with its control not registered in the prefix: started by a
// user, the runner says so, and the protocol messages that arrive while its
// message box is up still count.
TEST_F(RunnerTest, MissingControlIsReportedAndCountsAsFailed) {
  UnregisterModemControl();
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"modem.mod"))) << p.LastError().c_str();
  ASSERT_TRUE(p.WaitIdle(10000));
  HWND box = boxes::WaitForOwnedBox(p.Pid(), 10000);
  ASSERT_NE(box, nullptr);
  EXPECT_NE(boxes::Text(box).find(L"could not be created"), std::wstring::npos) << boxes::Text(box).c_str();
  EXPECT_EQ(GetText(box), L"Modem");
  PostProtocol(p);
  PumpUntil([] { return false; }, 300);
  ASSERT_TRUE(ClickButton(box, IDOK));
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 10000, &done));
  EXPECT_EQ(done.wp, 1u);
  EXPECT_EQ((DWORD)done.lp, p.Pid());
  ASSERT_TRUE(p.WaitExit(10000));
  EXPECT_EQ(p.ExitCode(), 1u);
}

// A run of a host's own has nobody to close a message box: it shows none and
// ends as soon as the host has started it, reporting the failure.
TEST_F(RunnerTest, UnattendedRunWithoutItsControlEndsAtOnceWithResultOne) {
  UnregisterModemControl();
  for (const wchar_t* args : {L"-AutoRun", L"-Check", L"-autorun3 -Check -L2"}) {
    SCOPED_TRACE(args);
    Process p;
    ASSERT_TRUE(p.Start(SuitePath(L"modem.mod"), args)) << p.LastError().c_str();
    ASSERT_TRUE(p.WaitIdle(10000));
    PostProtocol(p);
    DWORD t0 = ::GetTickCount();
    bool boxSeen = false;
    PumpUntil([&] {
      boxSeen = boxSeen || boxes::FindOwnedBox(p.Pid()) != nullptr;
      return !p.Running();
    }, 10000);
    // Ended by the host's start, well before the wait for a host runs out.
    ASSERT_TRUE(p.WaitExit(0));
    EXPECT_LT(::GetTickCount() - t0, 3000u);
    EXPECT_FALSE(boxSeen);
    MessageCatcher::Caught done{};
    ASSERT_TRUE(host.WaitFor(diag, 1000, &done));
    EXPECT_EQ(done.wp, 1u);
    EXPECT_EQ((DWORD)done.lp, p.Pid());
    EXPECT_EQ(p.ExitCode(), 1u);
  }
}

// Started with the switches but by no host: it does not stay behind hidden.
TEST_F(RunnerTest, UnattendedRunWithoutControlOrHostStillEnds) {
  UnregisterModemControl();
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"modem.mod"), L"-AutoRun -Check")) << p.LastError().c_str();
  bool boxSeen = false;
  PumpUntil([&] {
    boxSeen = boxSeen || boxes::FindOwnedBox(p.Pid()) != nullptr;
    return !p.Running();
  }, 20000);
  ASSERT_TRUE(p.WaitExit(0));
  EXPECT_FALSE(boxSeen);
  EXPECT_EQ(p.ExitCode(), 1u);
}

TEST_F(RunnerTest, DiagCloseEndsTheModuleEvenWithItsMessageUp) {
  UnregisterModemControl();
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"modem.mod"))) << p.LastError().c_str();
  ASSERT_TRUE(p.WaitIdle(10000));
  ASSERT_NE(boxes::WaitForOwnedBox(p.Pid(), 10000), nullptr);
  PostProtocol(p);
  ASSERT_TRUE(::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0));
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 10000, &done));
  EXPECT_EQ(done.wp, 1u);
  EXPECT_EQ((DWORD)done.lp, p.Pid());
  EXPECT_TRUE(p.WaitExit(10000));
}

TEST_F(RunnerTest, PlacedByXAndYOnlyWhenBothAreGiven) {
  struct Case {
    const wchar_t* args;
    bool placed;
  } cases[] = {{L"-X100 -Y50", true}, {L"-X100", false}};
  UnregisterModemControl();
  for (const Case& c : cases) {
    Process p;
    ASSERT_TRUE(p.Start(SuitePath(L"modem.mod"), c.args)) << p.LastError().c_str();
    HWND box = boxes::WaitForOwnedBox(p.Pid(), 10000);
    ASSERT_NE(box, nullptr) << c.args;
    HWND dlg = ::GetWindow(box, GW_OWNER);
    RECT rc{};
    ::GetWindowRect(dlg, &rc);
    EXPECT_EQ(rc.left == 100 && rc.top == 50, c.placed) << c.args << " at " << rc.left << "," << rc.top;
    ClickButton(box, IDOK);
    EXPECT_TRUE(p.WaitExit(10000));
  }
}
