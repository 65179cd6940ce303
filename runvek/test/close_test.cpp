// zentrel.mod closed at the worst moments: while its test runs, by every
// way a user or a host closes it, while its control asks a question or
// waits for an abort, and while its benchmark waits for the processor's
// lines. The module ends, reports once, and leaves its files whole.
#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "boxes.h"
#include "suite/diag.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/fakeinfo.h"
#include "testsupport/machine.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kSettings[] = L"Software\\Kyt\\ZENTREL\\Setting";

UINT Diag() { return ::RegisterWindowMessageW(suite::kDiagMessage); }

void PostDiagClose(const Process& p) { ::PostThreadMessageW(p.MainThreadId(), Diag(), suite::DiagClose, 0); }

void PressAltF4(HWND dialog) {
  ::SetForegroundWindow(dialog);
  PumpUntil([&] { return ::GetForegroundWindow() == dialog; }, 2000);
  INPUT in[4] = {};
  for (INPUT& i : in) i.type = INPUT_KEYBOARD;
  in[0].ki.wVk = VK_MENU;
  in[1].ki.wVk = VK_F4;
  in[2].ki.wVk = VK_F4;
  in[2].ki.dwFlags = KEYEVENTF_KEYUP;
  in[3].ki.wVk = VK_MENU;
  in[3].ki.dwFlags = KEYEVENTF_KEYUP;
  ::SendInput(4, in, sizeof(INPUT));
}

// A module started as a host starts it, with this test as the host.
class HostedModule {
 public:
  bool Start(const std::wstring& args) {
    if (!p.Start(SuitePath(L"zentrel.mod"), args) || !p.WaitIdle(10000)) return false;
    ctltest::PostHostAndStart(p, host.hwnd());
    HWND page = WaitForWindowOf(p.Pid(), [](HWND w) { return FindChildById(w, 1007) != nullptr; }, 30000);
    if (!page) return false;
    button = FindChildById(page, 1007);
    results = FindChildById(page, 1005);
    dialog = page;
    while (::GetParent(dialog)) dialog = ::GetParent(dialog);
    return true;
  }
  bool WaitRunning() {
    return PumpUntil([&] { return GetText(button) == L"&Stop"; }, 30000);
  }
  void ClickStartStop() {
    ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(1007, BN_CLICKED), (LPARAM)button);
  }
  // A message box of the control (it has no owner), with its text.
  HWND WaitBox(std::wstring* text) {
    HWND box = WaitForWindowOf(
        p.Pid(), [&](HWND w) { return w != dialog && ClassOf(w) == L"#32770" && !boxes::Text(w).empty(); }, 15000);
    if (box) *text = boxes::Text(box);
    return box;
  }
  // Waits (pumping) for the end of the process; its reports to the host.
  bool WaitEnd(DWORD ms, std::vector<WPARAM>* reports) {
    bool ended = PumpUntil([&] { return !p.Running(); }, ms);
    PumpUntil([] { return false; }, 300);  // a report posted on the way out
    for (const MessageCatcher::Caught& m : host.Take())
      if (m.msg == Diag() && (DWORD)m.lp == p.Pid()) reports->push_back(m.wp);
    return ended;
  }

  Process p;
  MessageCatcher host;
  HWND dialog = nullptr, button = nullptr, results = nullptr;
};

class ModuleClose : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"ZENTREL.OCX")), 0); }
  void SetUp() override {
    for (const wchar_t* name :
         {L"DataPatternEnable", L"WalkOneEnable", L"MoveInversionEnable", L"WalkZeroEnable", L"RandomMemCopyEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kSettings, name, 1);
    RemoveFiles();
  }
  void TearDown() override {
    appkit::RegKey key;
    if (key.Open(HKEY_CURRENT_USER, kSettings, KEY_SET_VALUE)) key.DeleteValue(L"nWaitCpu");
    RemoveFiles();
  }
  static void RemoveFiles() {
    for (const wchar_t* f : {L"KytMEM.LOG", L"KytPROC.LOG", L"BNCHMARK.BNH"}) ::DeleteFileW(SuitePath(f).c_str());
  }
};

}  // namespace

// Every way to close the module while its memory test runs over the whole
// machine aborts the run: the module ends, reports 0 once (no Done came),
// and its log closes with the aborted run's verdict.
TEST_F(ModuleClose, EveryWayOfClosingARunningTestEndsTheModuleWhichReportsOnce) {
  struct Closer {
    const char* name;
    std::function<void(HostedModule&)> close;
  };
  const Closer closers[] = {
      {"WM_CLOSE", [](HostedModule& m) { ::PostMessageW(m.dialog, WM_CLOSE, 0, 0); }},
      {"the system menu's Close", [](HostedModule& m) { ::PostMessageW(m.dialog, WM_SYSCOMMAND, SC_CLOSE, 0); }},
      {"Alt+F4", [](HostedModule& m) { PressAltF4(m.dialog); }},
      {"the Close button", [](HostedModule& m) { ClickButton(m.dialog, IDCANCEL); }},
      {"the host's DiagClose", [](HostedModule& m) { PostDiagClose(m.p); }},
      {"Stop, then Close at once",
       [](HostedModule& m) {
         m.ClickStartStop();
         ::PostMessageW(m.dialog, WM_CLOSE, 0, 0);
       }},
      {"a second close while the first waits",
       [](HostedModule& m) {
         ::PostMessageW(m.dialog, WM_CLOSE, 0, 0);
         PumpUntil([] { return false; }, 300);
         ::PostMessageW(m.dialog, WM_CLOSE, 0, 0);
         PostDiagClose(m.p);
       }},
  };
  ASSERT_TRUE(testsupport::UseSmallMachine(1024));
  for (const Closer& c : closers) {
    SCOPED_TRACE(c.name);
    RemoveFiles();
    HostedModule m;
    ASSERT_TRUE(m.Start(L"-AutoRun"));
    ASSERT_TRUE(m.WaitRunning());
    c.close(m);
    std::vector<WPARAM> reports;
    EXPECT_TRUE(m.WaitEnd(60000, &reports));
    EXPECT_EQ(reports, std::vector<WPARAM>{0});
    std::vector<std::string> log = SplitLines(ReadTextFile(SuitePath(L"KytMEM.LOG")));
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], "===>Test Aborts.");
    EXPECT_EQ(log.back(), "No Error Found.");
  }
}

// A run started by the user, then the host goes (the main program closes):
// the control's question before the run, or its "Please wait" after Stop,
// is answered, and the module ends and reports instead of waiting for a
// click behind a dialog that is gone.
TEST_F(ModuleClose, AHostsCloseAnswersTheControlsQuestionAndItsWaitForTheAbort) {
  struct Case {
    const char* when;
    bool started;  // the question answered Yes and the run stopped
    const wchar_t* box;
  };
  const Case cases[] = {
      {"the question before the run", false,
       L"The memory test will take about 3 minutes.  Do you want to start now?"},
      {"the wait for the abort", true, L"Please wait for the test to abort."},
  };
  ASSERT_TRUE(testsupport::UseSmallMachine(1024));
  for (const Case& c : cases) {
    SCOPED_TRACE(c.when);
    RemoveFiles();
    HostedModule m;
    ASSERT_TRUE(m.Start(L""));
    m.ClickStartStop();
    std::wstring text;
    HWND box = m.WaitBox(&text);
    ASSERT_NE(box, nullptr);
    if (c.started) {
      ASSERT_TRUE(ClickButton(box, IDYES));
      ASSERT_TRUE(m.WaitRunning());
      m.ClickStartStop();
      box = m.WaitBox(&text);
      ASSERT_NE(box, nullptr);
    }
    EXPECT_EQ(text, c.box);
    PostDiagClose(m.p);
    std::vector<WPARAM> reports;
    EXPECT_TRUE(m.WaitEnd(30000, &reports));
    EXPECT_EQ(reports, std::vector<WPARAM>{0});
    // Answered No: nothing ran, nothing was written.
    EXPECT_EQ(::GetFileAttributesW(SuitePath(L"KytMEM.LOG").c_str()) != INVALID_FILE_ATTRIBUTES, c.started);
  }
}

// The processor benchmark closed while it waits for the processor's lines
// (a minute with the longest wait the settings allow, and no server to
// give them): the wait ends with the stop, and the block in BNCHMARK.BNH
// closes with the aborted run's line instead of being cut off when the
// module gives up on its worker.
TEST_F(ModuleClose, AProcessorBenchmarkClosedInItsWaitForTheProcessorClosesItsBlock) {
  ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server is running";
  appkit::RegWriteDword(HKEY_CURRENT_USER, kSettings, L"nWaitCpu", 120);
  const std::string header = "[Last Updated: the series]\n\r\nOS Type:\tWindows NT [6.01.7601]\r\n\r\n";
  ASSERT_TRUE(WriteFileBytes(SuitePath(L"BNCHMARK.BNH"), header));
  HostedModule m;
  ASSERT_TRUE(m.Start(L"-AutoRun -ProcTest -Bench"));
  ASSERT_TRUE(PumpUntil(
      [&] {
        std::vector<std::wstring> lines = ListBoxLines(m.results);
        return !lines.empty() && lines[0] == L"CPU Performance Tests:";
      },
      30000));
  PostDiagClose(m.p);
  std::vector<WPARAM> reports;
  EXPECT_TRUE(m.WaitEnd(90000, &reports));
  EXPECT_EQ(reports, std::vector<WPARAM>{0});
  EXPECT_EQ(ReadFileBytes(SuitePath(L"BNCHMARK.BNH")), header + "CPU Performance Tests:\r\n===>Test Aborts.\r\n\r\n");
}

// The processor test closed while the information server works on a
// sub-test and does not answer (it hangs): the module gives up the wait for
// the stop and ends; the run is logged as stopped, not as a processor that
// failed once the server's time was up.
TEST_F(ModuleClose, AProcessorTestClosedWhileTheServerDoesNotAnswerEndsAsStopped) {
  ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server is running";
  FakeInfoServer server(SuiteDir());
  ASSERT_TRUE(server.Ok());
  server.PublishModulePath();
  server.SetHangOnSelfTest(true);
  for (const wchar_t* name : {L"GeneralRegisterEnable", L"MathCalculationEnable", L"MathPerformanceEnable",
                              L"MMXArithEnable", L"CPUSpeedEnable"})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kSettings, name, 1);
  HostedModule m;
  ASSERT_TRUE(m.Start(L"-AutoRun -ProcTest"));
  ASSERT_TRUE(PumpUntil(
      [&] {
        std::vector<std::wstring> lines = ListBoxLines(m.results);
        return !lines.empty() && lines[0] == L"General Register Test:" && !server.SelfTests().empty();
      },
      30000));
  PostDiagClose(m.p);
  std::vector<WPARAM> reports;
  EXPECT_TRUE(m.WaitEnd(60000, &reports));
  EXPECT_EQ(reports, std::vector<WPARAM>{0});
  std::vector<std::string> log = SplitLines(ReadTextFile(SuitePath(L"KytPROC.LOG")));
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(std::vector<std::string>(log.begin() + 3, log.end()),
            (std::vector<std::string>{"General Register Test:", "===>Test Aborts.", "No Error Found."}));
}
