// zentrel.mod end to end: the runner hosts the registered Zentrel control,
// a host window of this test drives it through the main program's launcher.
// The memory test runs over a machine made small (inherited by the module),
// so that a run stays short or, with too little memory, fails.
#include <gtest/gtest.h>

#include "testsupport/controls.h"
#include "test_host.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

class ZentrelModule : public HostTest {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"ZENTREL.OCX")), 0); }
  void TearDown() override {
    HostTest::TearDown();
    for (const wchar_t* log : {L"KytMEM.LOG", L"KytPROC.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }

  // The module's dialog, once it is set up.
  HWND WaitDialog(DWORD pid, const std::wstring& title) {
    HWND dlg = WaitForWindow(title, L"#32770", pid, 15000);
    if (dlg) PumpUntil([&] { return ::IsWindowVisible(dlg) != FALSE; }, 10000);
    return dlg;
  }
  DWORD LastPid() const { return launcher->Records().back()->processId; }
};

}  // namespace

TEST_F(ZentrelModule, AutoRunReportsTheErrorCountAndProcessId) {
  // 3 MB: too little memory for the test's blocks, one error.
  ASSERT_TRUE(testsupport::UseSmallMachine(3));
  ASSERT_EQ(launcher->StartModuleCommand(SuitePath(L"zentrel.mod") + L" -AutoRun -Check", suite::ModuleKindMemory), 1);
  DWORD pid = LastPid();
  WPARAM result = 99;
  ASSERT_TRUE(WaitDone(pid, &result));
  EXPECT_EQ(result, 1u);
  EXPECT_TRUE(launcher->Records().empty());
  HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (h) {
    EXPECT_TRUE(WaitDead(h, 10000));
    ::CloseHandle(h);
  }
}

TEST_F(ZentrelModule, DialogHostsTheControlUnderItsTitle) {
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"zentrel.mod") + L" -ProcTest", suite::ModuleKindProcessor), 1);
  DWORD pid = LastPid();
  HWND dlg = WaitDialog(pid, L"Processor Test");  // the control's title, from the arguments it got
  ASSERT_NE(dlg, nullptr);
  HWND control = FindChildById(dlg, 1006);
  ASSERT_NE(control, nullptr);
  RECT client{}, rc = ctltest::RectInParent(control);
  ::GetClientRect(dlg, &client);
  EXPECT_EQ(rc.left, 0);
  EXPECT_EQ(rc.top, 1);
  EXPECT_EQ(rc.right - rc.left, client.right - 1);
  EXPECT_EQ(rc.bottom - rc.top, client.bottom - 35);
  // Closed by the user before any Done: the host gets 0.
  ASSERT_TRUE(ClickButton(dlg, IDCANCEL));
  WPARAM result = 99;
  ASSERT_TRUE(WaitDone(pid, &result));
  EXPECT_EQ(result, 0u);
}

TEST_F(ZentrelModule, DiagCloseAbortsARunningTestAndTheModuleStillReports) {
  ASSERT_TRUE(testsupport::UseSmallMachine(1024));  // the whole of it, without -Check: a long run
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"zentrel.mod") + L" -AutoRun", suite::ModuleKindMemory), 1);
  DWORD pid = LastPid();
  HWND dlg = WaitDialog(pid, L"Memory Test");
  ASSERT_NE(dlg, nullptr);
  // The run started on DiagStart: its Start button reads Stop.
  ASSERT_TRUE(PumpUntil([&] { return FindChild(dlg, L"Button", L"&Stop") != nullptr; }, 10000));
  DWORD t0 = ::GetTickCount();
  launcher->CloseAll();  // the host window goes
  WPARAM result = 99;
  ASSERT_TRUE(WaitDone(pid, &result));
  EXPECT_EQ(result, 0u);  // aborted: no Done came
  EXPECT_LT(::GetTickCount() - t0, 30000u);  // ends, not hangs (a busy machine is slow)
}

TEST_F(ZentrelModule, CheckRunsInvisiblyAndReports) {
  ASSERT_TRUE(testsupport::UseSmallMachine(16));  // enough for a clean run, and a short one
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"zentrel.mod") + L" -AutoRun -Check", suite::ModuleKindMemory), 1);
  DWORD pid = LastPid();
  HWND dlg = WaitForWindow(L"Memory Test", L"#32770", pid, 15000);
  ASSERT_NE(dlg, nullptr);
  WPARAM result = 99;
  RECT rc{};
  PumpUntil([&] { return ::GetWindowRect(dlg, &rc) && rc.right == rc.left; }, 5000);
  if (::IsWindow(dlg)) {
    EXPECT_EQ(rc.right - rc.left, 0);
  }
  ASSERT_TRUE(WaitDone(pid, &result));
  EXPECT_EQ(result, 0u);  // a clean run
}
