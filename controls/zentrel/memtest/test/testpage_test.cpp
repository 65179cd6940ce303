// The Test page logic in a dialog of template 103 hosted by the test: runs
// over real memory (the machine made to look small), the verdict lines, the
// result log, the troubleshooting tips and WM_TESTDONE to the control.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <fstream>
#include <sstream>

#include "memtest/testpage.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace memtest;
using testsupport::MessageCatcher;

namespace {

constexpr uint64_t MB = 0x100000;

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Narrow(const std::wstring& w) { return std::string(w.begin(), w.end()); }

class Host : public TestPageHost {
 public:
  HWND control = nullptr;
  TestFlags flags{1, 1, 1, 1, 1};
  std::vector<std::wstring> boxes;
  int answer = IDYES;
  int RunnerMessageBox(const std::wstring& text, UINT) override {
    boxes.push_back(text);
    return answer;
  }
  HWND ControlWindow() override { return control; }
  HINSTANCE Resources() override { return ::GetModuleHandleW(nullptr); }
  TestFlags& Flags() override { return flags; }
  void SetResultTabStops(int, const int*) override {}
  HWND SheetWindow() override { return nullptr; }
};

// A page of template 103 driven by TestPageLogic, with a temporary
// directory for its log and a copy of the suite's help page.
class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_PROGRESS_CLASS};
    ::InitCommonControlsEx(&icc);
    char base[MAX_PATH];
    ::GetTempPathA(MAX_PATH, base);
    dir = std::string(base) + "memtest_page_" + std::to_string(::GetCurrentProcessId()) + "\\";
    ::CreateDirectoryA(dir.c_str(), nullptr);
    ::CreateDirectoryA((dir + "help").c_str(), nullptr);
    std::string help = Narrow(testsupport::SuiteDir()) + "help\\errhelp.htm";
    ::CopyFileA(help.c_str(), (dir + "help\\errhelp.htm").c_str(), FALSE);
    host.control = catcher.hwnd();
    settings.directory = dir;
    settings.machineLimit = 64 * MB;
  }
  void TearDown() override {
    Close();
    for (const char* f : {"KytMEM.LOG", "KytMEM3.LOG", "KytPROC.LOG", "help\\errhelp.htm"}) ::DeleteFileA((dir + f).c_str());
    ::RemoveDirectoryA((dir + "help").c_str());
    ::RemoveDirectoryA(dir.c_str());
  }

  void Open() {
    logic.reset(new TestPageLogic(host, settings));
    page = ::CreateDialogParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(103), nullptr, Proc,
                                reinterpret_cast<LPARAM>(logic.get()));
    ASSERT_NE(page, nullptr);
  }
  void Close() {
    if (!page) return;
    logic->StopTests();
    ::DestroyWindow(page);
    page = nullptr;
  }
  std::vector<std::wstring> Results() const { return testsupport::ListBoxLines(::GetDlgItem(page, kResultList)); }
  bool WaitIdle(DWORD ms) {
    return testsupport::PumpUntil([&] {
      HANDLE w = TheRunState().worker;
      return !logic->IsRunning() && (!w || ::WaitForSingleObject(w, 0) == WAIT_OBJECT_0);
    }, ms);
  }

  static INT_PTR CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    auto* l = reinterpret_cast<TestPageLogic*>(::GetWindowLongPtrW(h, DWLP_USER));
    if (msg == WM_INITDIALOG) {
      ::SetWindowLongPtrW(h, DWLP_USER, lp);
      return reinterpret_cast<TestPageLogic*>(lp)->OnInitDialog(h);
    }
    if (msg == WM_COMMAND && l) {
      LRESULT r = 0;
      if (l->OnCommand(wp, lp, &r)) {
        ::SetWindowLongPtrW(h, DWLP_MSGRESULT, r);
        return TRUE;
      }
    }
    return FALSE;
  }

  MessageCatcher catcher;
  Host host;
  PageSettings settings;
  std::unique_ptr<TestPageLogic> logic;
  HWND page = nullptr;
  std::string dir;
};

}  // namespace

TEST_F(PageFixture, AutomaticQuickRunPassesWritesTheLogAndReportsZeroErrors) {
  settings.autoRun = true;
  settings.digit = "3";
  settings.loop = 2;
  settings.machineLimit = 16 * MB;  // the whole available memory is tested
  Open();
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kDescription)),
            L"Click the Start button to verify the integrity of the memory  installed in your system.");
  EXPECT_EQ(testsupport::ListBoxLines(::GetDlgItem(page, kTestList)).at(4), L"Random Memory Block Copy Test");
  EXPECT_FALSE(logic->Abort());  // nothing runs
  ASSERT_TRUE(logic->DoTest());
  EXPECT_FALSE(logic->DoTest());  // its Start is on the way
  ASSERT_TRUE(testsupport::PumpUntil([&] { return logic->IsRunning(); }, 5000));
  EXPECT_FALSE(logic->DoTest());  // refused while the worker runs
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 60000, &done));
  EXPECT_EQ(done.wp, 0u);
  EXPECT_TRUE(host.boxes.empty());  // no three-minute question in an automatic run
  auto lines = Results();
  ASSERT_GE(lines.size(), 13u);
  EXPECT_EQ(lines[0], L"Optimizing Test Memory Size...");
  EXPECT_EQ(lines[lines.size() - 2], L" ");
  EXPECT_EQ(lines.back(), L"No Error Found.");
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kStartStop)), L"&Start");

  std::string log = ReadAll(dir + "KytMEM3.LOG");
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u);
  EXPECT_NE(log.find("]\r\n\r\nMemory Test - Loop 2\r\nOptimizing Test Memory Size...\r\n"), std::string::npos);
  for (const char* l : {"Test Data Pattern:\tFFFFFFFFh\tPASSED \r\n", "Walking Ones Test:\t80000000h\tPASSED \r\n",
                        "Moving Inversion Test:\t80000000h\tPASSED \r\n", "Walking Zeros Test:\t7FFFFFFFh\tPASSED \r\n",
                        "Random Mem. Block Copy:\t\tPASSED \r\n", " \r\nNo Error Found.\r\n"})
    EXPECT_NE(log.find(l), std::string::npos) << l;
}

TEST_F(PageFixture, InjectedFaultFailsTheRunWithOneErrorTipsAndLog) {
  settings.autoRun = true;
  settings.check = true;
  settings.append = true;
  // Bit 1 of one word stuck at 0: the address test's words there have it
  // clear, so the data pattern test is the first to see it.
  FaultInjector faults;
  faults.Add({Fault::StuckAt0, 5 * kBlockBytes + 0x400, 1, 0});
  TheRunState().faults = &faults;
  Open();
  ASSERT_TRUE(logic->DoTest());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 60000, &done));
  TheRunState().faults = nullptr;
  EXPECT_EQ(done.wp, 1u);
  auto lines = Results();
  auto at = [&](const std::wstring& text) { return std::find(lines.begin(), lines.end(), text) - lines.begin(); };
  size_t failed = at(L"Test Data Pattern:\tFAILED ");
  ASSERT_LT(failed, lines.size());
  EXPECT_EQ(lines[failed + 1].rfind(L"Addr = ", 0), 0u);
  EXPECT_NE(lines[failed + 1].find(L", Data = AAAAAAA8, Expected = AAAAAAAA"), std::string::npos);
  EXPECT_EQ(lines[failed + 2], L"===>Test Failed.");
  EXPECT_EQ(lines[failed + 3], L" ");
  EXPECT_EQ(lines[failed + 4], L"Found Error(s).");
  EXPECT_EQ(lines[failed + 5], L"");
  EXPECT_EQ(lines[failed + 6], L"Troubleshooting Tips:");
  EXPECT_GT(lines.size(), failed + 8);
  EXPECT_EQ(at(L"Walking Ones Test:\t80000000h\tPASSED "), (ptrdiff_t)lines.size());  // the run stopped

  // -Append with an error: the log holds the run, not the tips, and ends with an empty line.
  std::string log = ReadAll(dir + "KytMEM.LOG");
  EXPECT_NE(log.find("Test Data Pattern:\tFAILED \r\nAddr = "), std::string::npos);
  EXPECT_NE(log.find("Found Error(s).\r\n\r\n"), std::string::npos);
  EXPECT_EQ(log.find("Troubleshooting"), std::string::npos);
}

TEST_F(PageFixture, StopAbortsTheRunAndAnAbortedAutomaticRunPostsNoDone) {
  settings.autoRun = true;
  settings.machineLimit = 256 * MB;  // a long enough run to stop
  Open();
  ASSERT_TRUE(logic->DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return logic->IsRunning(); }, 5000));
  ASSERT_TRUE(logic->Abort());
  ASSERT_TRUE(WaitIdle(30000));
  auto lines = Results();
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"===>Test Aborts."), lines.end());
  EXPECT_EQ(lines.back(), L"No Error Found.");
  EXPECT_TRUE(host.boxes.empty());  // no "Please wait" box in an automatic run
  EXPECT_FALSE(catcher.WaitFor(WM_TESTDONE, 300));
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kStartStop)), L"&Start");
}

TEST_F(PageFixture, ManualStartAsksFirstAndStopTestsWaitsForTheWorker) {
  settings.machineLimit = 256 * MB;
  Open();
  host.answer = IDNO;
  ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(kStartStop, BN_CLICKED), 0);
  ASSERT_EQ(host.boxes.size(), 1u);
  EXPECT_EQ(host.boxes[0], L"The memory test will take about 3 minutes.  Do you want to start now?");
  EXPECT_FALSE(logic->IsRunning());
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kTestList)));  // unchanged

  host.answer = IDYES;
  ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(kStartStop, BN_CLICKED), 0);
  EXPECT_TRUE(logic->IsRunning());
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kStartStop)), L"&Stop");
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, kTestList)));
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kResultList)));
  // Closing the sheet: the worker is stopped and fully out before StopTests returns.
  logic->StopTests();
  EXPECT_FALSE(logic->IsRunning());
  EXPECT_EQ(TheRunState().worker, nullptr);
  EXPECT_FALSE(logic->started());
  auto lines = Results();
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"===>Test Aborts."), lines.end());
  EXPECT_FALSE(catcher.WaitFor(WM_TESTDONE, 100));
}

TEST_F(PageFixture, CheckListKeepsOneTestAndProcessorRowsAreNotAvailable) {
  host.flags = {0, 0, 1, 0, 0};
  Open();
  HWND list = ::GetDlgItem(page, kTestList);
  auto ask = [&](WPARAM q, int index) { return ::SendMessageW(page, WM_COMMAND, q, -index); };
  EXPECT_EQ(ask(103, 2), 0);  // the only selected test stays
  EXPECT_EQ(ask(104, 0), 1);
  ::SendMessageW(list, LB_SETITEMDATA, 0, 0x81);
  EXPECT_EQ(ask(103, 2), 1);
  Close();

  settings.mode = PageMode::Processor;
  settings.autoRun = true;
  settings.baseName = "KytPROC";
  settings.title = "Processor Test";
  host.flags = {1, 1, 1, 1, 0};  // no CPU speed: the MMX row is cleared and locked
  Open();
  list = ::GetDlgItem(page, kTestList);
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 3, 0), 0x82);
  EXPECT_EQ(host.flags[3], 0);
  EXPECT_EQ(ask(104, 3), 0);  // MMX needs the CPU speed test
  EXPECT_EQ(ask(104, 4), 1);  // checking CPU speed frees the MMX row
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 3, 0), 0x80);
  ASSERT_TRUE(logic->DoTest());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 20000, &done));
  EXPECT_EQ(done.wp, 1u);  // nothing was verified: not a pass
  auto lines = Results();
  EXPECT_EQ(lines.at(0), L"General Register Test:\tnot available");
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"Found Error(s)."), lines.end());
  EXPECT_NE(ReadAll(dir + "KytPROC.LOG").find("Processor Test\r\n"), std::string::npos);
}
