// Zentrel's runner values and its Test page on the framework, in a host
// window of the test's own: the four modes' values and settings, runs over
// real memory (the machine made to look small), the verdict lines, the
// result log, the troubleshooting tips and WM_TESTDONE to the control.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <sstream>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "testsupport/controls.h"
#include "testsupport/fakeinfo.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "memtest/testpage.h"
#include "runner.h"
#include "suite/controls.h"
#include "suite/info.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace memtest;
using testsupport::FakeInfoServer;
using testsupport::MessageCatcher;
using suite::WM_TESTDONE;

namespace {

constexpr uint64_t MB = 0x100000;
const wchar_t kTestKey[] = L"Software\\Kyt\\ZENTRELTEST\\Setting";

enum Ids { kResultList = IDC_TEST_RESULTS, kStartStop = IDC_TEST_STARTSTOP, kDescription = IDC_TEST_TEXT,
           kTestList = IDC_TEST_CHECKLIST };

std::string ReadAll(const std::string& name) {
  std::ifstream in(name, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Calls `seen` on the first line a worker thread adds to `list`, while the
// worker waits for it to be taken: its run is on then for certain, however
// soon it ends (a run over a few megabytes may start and end within one
// round of the test's message pump).
class FirstWorkerLine {
 public:
  FirstWorkerLine(HWND list, std::function<void()> seen) : list_(list), seen_(std::move(seen)) {
    ::SetWindowSubclass(list_, &FirstWorkerLine::Proc, 1, reinterpret_cast<DWORD_PTR>(this));
  }
  ~FirstWorkerLine() { ::RemoveWindowSubclass(list_, &FirstWorkerLine::Proc, 1); }
  FirstWorkerLine(const FirstWorkerLine&) = delete;
  FirstWorkerLine& operator=(const FirstWorkerLine&) = delete;

 private:
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp, UINT_PTR, DWORD_PTR ref) {
    auto* self = reinterpret_cast<FirstWorkerLine*>(ref);
    if (msg == LB_ADDSTRING && !self->fired_ && ::InSendMessage()) {
      self->fired_ = true;
      self->seen_();
    }
    return ::DefSubclassProc(hwnd, msg, wp, lp);
  }
  HWND list_;
  std::function<void()> seen_;
  bool fired_ = false;
};

// Zentrel's runner with its settings under a key of the tests' own.
class TestZentrelRunner : public CZentrelRunner {
 public:
  std::wstring SettingsKey() const override { return kTestKey; }
};

// The runner in a visible host window that catches WM_TESTDONE; the log and
// the help page live beside the test program.
class PageFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
    ::SetWindowPos(catcher.hwnd(), nullptr, 0, 0, 700, 560, SWP_NOZORDER | SWP_NOACTIVATE);
    ::ShowWindow(catcher.hwnd(), SW_SHOWNA);
    TheMemoryRun().machineLimit = 64 * MB;
    dir = appkit::Narrow(testsupport::TestBinDir());
    for (const char* f : {"KytMEM.LOG", "KytMEM3.LOG", "KytPROC.LOG"}) ::DeleteFileA((dir + f).c_str());
  }
  void TearDown() override {
    Close();
    TheMemoryRun().machineLimit = 0;
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
  }
  void Open(const char* cmdLine, std::vector<int> flags = {}) {
    const char* memNames[] = {"DataPatternEnable", "WalkOneEnable", "MoveInversionEnable", "WalkZeroEnable",
                              "RandomMemCopyEnable"};
    const char* cpuNames[] = {"GeneralRegisterEnable", "MathCalculationEnable", "MathPerformanceEnable",
                              "MMXArithEnable", "CPUSpeedEnable"};
    bool cpu = std::string(cmdLine).find("-ProcTest") != std::string::npos;
    for (size_t i = 0; i < flags.size(); ++i)
      appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, appkit::Widen(cpu ? cpuNames[i] : memNames[i]).c_str(),
                            flags[i]);
    ASSERT_TRUE(runner.Init(catcher.hwnd(), cmdLine));
    page = runner.GetSheet()->Test()->hwnd();
    ASSERT_NE(page, nullptr);
  }
  void Close() {
    runner.Cleanup();
    page = nullptr;
  }
  std::vector<std::wstring> Results() const { return testsupport::ListBoxLines(::GetDlgItem(page, kResultList)); }
  bool WaitIdle(DWORD ms) {
    return testsupport::PumpUntil([&] { return !runner.IsRunning() && !runner.GetSheet()->Test()->HasLiveWorker(); },
                                  ms);
  }
  void Click(int id) { ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), 0); }

  MessageCatcher catcher;
  TestZentrelRunner runner;
  HWND page = nullptr;
  std::string dir;
};

TEST_F(PageFixture, ModeValuesSettingsAndLibraries) {
  CZentrelRunner plain;
  EXPECT_EQ(plain.SettingsKey(), L"Software\\Kyt\\ZENTREL\\Setting");
  EXPECT_EQ(plain.MakerKey(), L"Software\\Kyt");
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"nThread", 7);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"MaxMem", 64);
  Open("");
  EXPECT_EQ(runner.Title(), "Memory Test");
  EXPECT_EQ(runner.BaseName(), "KytMEM");
  EXPECT_EQ(runner.LogTitle(), L"Memory Test");
  EXPECT_EQ(runner.Setting("nThread"), 3);
  EXPECT_EQ(runner.Setting("MaxMem"), 64);
  EXPECT_EQ(runner.Setting("MemBenchMarkLoop"), 0x1400000);
  EXPECT_FALSE(runner.HasSetting("CPUSpeedEnable"));
  // No benchmark libraries beside the test: their entries stay empty.
  for (const char* entry : {"DoMemWriteBenchMark", "DoMemReadBenchMark", "DoWhetstoneTest", "DoDhrystoneTest"})
    EXPECT_EQ(runner.Entry(entry), nullptr) << entry;
  HWND freeMem = ::GetDlgItem(runner.GetSheet()->InfoPage()->hwnd(), IDC_INFO_FREEMEM);
  EXPECT_TRUE(::IsWindowEnabled(freeMem));
  Close();
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"RandomMemCopyEnable", 9), 1u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"CPUSpeedEnable", 9), 9u);  // the other mode's

  Open("-ProcTest");
  EXPECT_EQ(runner.BaseName(), "KytPROC");
  EXPECT_EQ(runner.Title(), "Processor Test");
  EXPECT_EQ(runner.LogTitle(), L"Processor Test");
  HICON icon = reinterpret_cast<HICON>(::SendMessageW(runner.GetSheet()->hwnd(), WM_GETICON, ICON_BIG, 0));
  EXPECT_EQ(icon, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(131)));
  EXPECT_TRUE(runner.HasSetting("CPUSpeedEnable"));
  EXPECT_FALSE(runner.HasSetting("MaxMem"));
  freeMem = ::GetDlgItem(runner.GetSheet()->InfoPage()->hwnd(), IDC_INFO_FREEMEM);
  EXPECT_FALSE(::IsWindowVisible(freeMem));
  EXPECT_FALSE(::IsWindowEnabled(freeMem));
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kDescription)),
            L"Click the Start button to verify the functionality of the processor installed in your system.");
  Close();
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"WhetMinTime", 9), 4u);

  // The benchmark modes show their results from the start, without options.
  Open("-Bench");
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, IDC_TEST_SHOWOPTIONS)));
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kResultList)));
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kDescription)), L"Memory Performance Tests");
}

TEST_F(PageFixture, AutomaticQuickRunPassesWritesTheLogAndReportsZeroErrors) {
  TheMemoryRun().machineLimit = 4 * MB;  // the whole available memory is tested
  Open("-AutoRun3 -L2");
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kDescription)),
            L"Click the Start button to verify the integrity of the memory  installed in your system.");
  EXPECT_EQ(testsupport::ListBoxLines(::GetDlgItem(page, kTestList)).at(4), L"Random Memory Block Copy Test");
  EXPECT_FALSE(runner.Abort());  // nothing runs
  bool running = false, refused = false;
  FirstWorkerLine first(::GetDlgItem(page, kResultList), [&] {
    running = runner.IsRunning();
    refused = !runner.DoTest();
  });
  ASSERT_TRUE(runner.DoTest());
  EXPECT_FALSE(runner.DoTest());  // its Start is on the way
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 60000, &done));
  EXPECT_TRUE(running);
  EXPECT_TRUE(refused) << "a DoTest while the worker runs";
  EXPECT_EQ(done.wp, 0u);
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

  // Bit 1 of one word stuck at 0: the address test's words there have it
  // clear, so the data pattern test is the first to see it.
  FaultInjector faults;
  faults.Add({Fault::StuckAt0, 5 * kBlockBytes + 0x400, 1, 0});
  TheMemoryRun().faults = &faults;
  TheMemoryRun().machineLimit = 8 * MB;  // a block of 16 x 64 KB holds the fault
  Open("-AutoRun -Check -Append");
  ASSERT_TRUE(runner.DoTest());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 60000, &done));
  TheMemoryRun().faults = nullptr;
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
  TheMemoryRun().machineLimit = 256 * MB;  // a long enough run to stop
  Open("-AutoRun");
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning(); }, 5000));
  ASSERT_TRUE(runner.Abort());
  ASSERT_TRUE(WaitIdle(30000));
  auto lines = Results();
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"===>Test Aborts."), lines.end());
  EXPECT_EQ(lines.back(), L"No Error Found.");
  EXPECT_FALSE(catcher.WaitFor(WM_TESTDONE, 300));
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kStartStop)), L"&Start");
}

TEST_F(PageFixture, ManualStartAsksFirstAndStopTestsWaitsForTheWorker) {
  TheMemoryRun().machineLimit = 256 * MB;
  Open("");
  {
    ctltest::MessageBoxAnswerer no(L"Memory Test", IDNO);
    Click(kStartStop);
  }
  EXPECT_FALSE(runner.IsRunning());
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kTestList)));  // unchanged
  {
    ctltest::MessageBoxAnswerer yes(L"Memory Test", IDYES);
    Click(kStartStop);
  }
  EXPECT_TRUE(runner.IsRunning());
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(page, kStartStop)), L"&Stop");
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(page, kTestList)));
  EXPECT_TRUE(::IsWindowVisible(::GetDlgItem(page, kResultList)));
  // Closing the sheet: the worker is stopped and fully out before StopTests returns.
  ctlfw::TestPage* test = runner.GetSheet()->Test();
  test->StopTests();
  EXPECT_FALSE(runner.IsRunning());
  EXPECT_FALSE(test->HasLiveWorker());
  EXPECT_TRUE(ctlfw::TheRunState().workers.empty());
  auto lines = Results();
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"===>Test Aborts."), lines.end());
  EXPECT_FALSE(catcher.WaitFor(WM_TESTDONE, 100));
}

TEST_F(PageFixture, CheckListKeepsOneTestAndTheProcessorTestNeedsTheServer) {
  Open("", {0, 0, 1, 0, 0});
  HWND list = ::GetDlgItem(page, kTestList);
  auto ask = [&](WPARAM q, int index) { return ::SendMessageW(page, WM_COMMAND, q, -index); };
  EXPECT_EQ(ask(103, 2), 0);  // the only selected test stays
  EXPECT_EQ(ask(104, 0), 1);
  ::SendMessageW(list, LB_SETITEMDATA, 0, 0x81);
  EXPECT_EQ(ask(103, 2), 1);
  Close();

  // No CPU speed: the MMX row is cleared and locked.
  Open("-ProcTest -AutoRun", {1, 1, 1, 1, 0});
  list = ::GetDlgItem(page, kTestList);
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 3, 0), 0x82);
  EXPECT_EQ(runner.Setting("MMXArithEnable"), 0);
  EXPECT_EQ(ask(104, 3), 0);  // MMX needs the CPU speed test
  EXPECT_EQ(ask(104, 4), 1);  // checking CPU speed frees the MMX row
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 3, 0), 0x80);
  ASSERT_TRUE(runner.DoTest());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 20000, &done));
  EXPECT_EQ(done.wp, 1u);  // no server to run the sub-tests: not a pass
  auto lines = Results();
  ASSERT_GE(lines.size(), 2u);
  EXPECT_EQ(lines.at(0), L"===>Test Failed.");
  EXPECT_EQ(lines.at(1), L"Found Error(s).");
  EXPECT_NE(ReadAll(dir + "KytPROC.LOG").find("Processor Test\r\n"), std::string::npos);
}

// Each row of the check list chooses its own test: a run with some rows
// chosen shows the lines of those tests and of no other.
TEST_F(PageFixture, EachChosenRowRunsItsOwnTest) {
  const std::vector<std::wstring> memoryLines = {L"Test Data Pattern:\t", L"Walking Ones Test:\t",
                                                 L"Moving Inversion Test:\t", L"Walking Zeros Test:\t",
                                                 L"Random Mem. Block Copy:\t"};
  const std::vector<std::wstring> processorLines = {L"General Register Test:\t", L"Mathematical Calculation Test:\t",
                                                    L"Math Performance Test:\t", L"MMX Arithmetic Test:\t",
                                                    L"CPU Speed:\t"};
  struct Case {
    bool processor;
    std::vector<int> flags;
  } cases[] = {
      {false, {1, 0, 0, 0, 0}}, {false, {0, 1, 0, 0, 0}}, {false, {0, 0, 1, 0, 0}},
      {false, {0, 0, 0, 1, 0}}, {false, {0, 0, 0, 0, 1}}, {true, {1, 0, 0, 0, 0}},
      {true, {0, 1, 0, 0, 0}},  {true, {0, 0, 1, 0, 0}},  {true, {0, 0, 0, 1, 1}},
      {true, {0, 0, 0, 0, 1}},
  };
  TheMemoryRun().machineLimit = 8 * MB;
  testsupport::FakeInfoServer server(testsupport::TempDir());
  ASSERT_TRUE(server.Ok());
  for (const Case& c : cases) {
    std::string name = (c.processor ? "processor" : "memory");
    for (int f : c.flags) name += " " + std::to_string(f);
    SCOPED_TRACE(name);
    Open(c.processor ? "-ProcTest -AutoRun -Check" : "-AutoRun -Check", c.flags);
    ASSERT_TRUE(runner.DoTest());
    MessageCatcher::Caught done{};
    ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 60000, &done));
    EXPECT_EQ(done.wp, 0u);
    const auto lines = Results();
    const auto& expected = c.processor ? processorLines : memoryLines;
    for (size_t row = 0; row < expected.size(); ++row) {
      bool shown = std::any_of(lines.begin(), lines.end(),
                               [&](const std::wstring& l) { return l.rfind(expected[row], 0) == 0; });
      EXPECT_EQ(shown, c.flags[row] == 1) << "row " << row;
    }
    Close();
  }
}

TEST_F(PageFixture, ProcessorRunAsksTheServerAndReportsItsVerdict) {
  testsupport::FakeInfoServer server(testsupport::TempDir());
  ASSERT_TRUE(server.Ok());
  server.SetSelfTest(3, 0, "46480.00");
  server.SetSelfTest(4, 0, "34960.00");
  server.SetSelfTest(5, 0, "2096.00");
  Open("-ProcTest -AutoRun");
  ASSERT_TRUE(runner.DoTest());
  MessageCatcher::Caught done{};
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 30000, &done));
  EXPECT_EQ(done.wp, 0u);
  EXPECT_EQ(Results(), (std::vector<std::wstring>{L"General Register Test:\tPASSED",
                                                  L"Mathematical Calculation Test:\tPASSED",
                                                  L"Math Performance Test:\tPASSED",
                                                  L"Math Performance Index:\t46480.00",
                                                  L"MMX Arithmetic Test:\tPASSED",
                                                  L"MMX Performance Index:\t34960.00",
                                                  L"CPU Speed:\t2096.00 MHz",
                                                  L"",
                                                  L"No Error Found."}));
  EXPECT_EQ(server.SelfTests(), (std::vector<unsigned>{0, 1, 0, 2, 0, 3, 0, 4, 0, 5}));
  Close();

  // The register test fails: one error, the verdict, the tips, the log.
  server.SetSelfTest(1, 1);
  Open("-ProcTest -AutoRun -C50");  // concurrent: no MMX test
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 30000, &done));
  EXPECT_EQ(done.wp, 1u);
  auto lines = Results();
  ASSERT_GE(lines.size(), 9u);
  EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 9),
            (std::vector<std::wstring>{L"General Register Test:\tFAILED", L"Mathematical Calculation Test:\tPASSED",
                                       L"Math Performance Test:\tPASSED", L"Math Performance Index:\t46480.00",
                                       L"CPU Speed:\t2096.00 MHz", L"", L"===>Test Failed.", L"Found Error(s).",
                                       L""}));
  EXPECT_EQ(lines.at(9), L"Troubleshooting Tips:");
  std::string log = ReadAll(dir + "KytPROC.LOG");
  EXPECT_NE(log.find("]\r\n\r\nProcessor Test\r\nGeneral Register Test:\tFAILED\r\n"), std::string::npos) << log;
  const std::string end = "\r\n===>Test Failed.\r\nFound Error(s).\r\n";
  ASSERT_GT(log.size(), end.size());
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
}

// No benchmark library lies beside the test: an automatic benchmark run
// says what it could not measure and reports no error, so that a series
// goes on with its next module.
TEST_F(PageFixture, AutomaticBenchmarksWithoutTheirLibrariesReportNoError) {
  struct Case {
    const char* cmdLine;
    std::vector<std::wstring> lines;
  } cases[] = {
      {"-AutoRun -Bench", {L"Memory Benchmark:\tkovlet.dll is not available"}},
      {"-AutoRun -Bench -ProcTest",
       {L"CPU Performance Tests:", L"Dhrystone:\tnot available (dhry.dll is missing)",
        L"Whetstone:\tnot available (whet.dll is missing)"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.cmdLine);
    // No information server here: one wait for the processor's lines.
    appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"nWaitCpu", 1);
    Open(c.cmdLine);
    ASSERT_TRUE(runner.DoTest());
    MessageCatcher::Caught done{};
    ASSERT_TRUE(catcher.WaitFor(WM_TESTDONE, 30000, &done));
    EXPECT_EQ(done.wp, 0u);
    ASSERT_TRUE(WaitIdle(10000));
    EXPECT_EQ(Results(), c.lines);
    Close();
  }
}

TEST_F(PageFixture, ProcessorBenchmarkReadsTheCpuLinesOfTheServersFile) {
  testsupport::FakeInfoServer server(testsupport::TempDir());
  ASSERT_TRUE(server.Ok());
  ASSERT_TRUE(server.PublishModulePath());
  server.SetFixture(2,
                    "\r\n@3CPU Identification\r\n;CPU Type:\tmarker\r\nCPU Type:\tAuthenticAMD, AMD EPYC\r\n"
                    "Family:\t26\r\nCPU SPEED:\t2096 MHz\r\n \r\n");
  CpuInfo& info = TheCpuInfo();
  info.lines.typeLine = "from an earlier run";
  Open("-ProcTest -Bench");
  ASSERT_TRUE(runner.DoTest());
  // A fresh gathering of the processor's file (no reuse), then the reader.
  FakeInfoServer::Request r{};
  ASSERT_TRUE(server.WaitForRequest(10000, &r));
  EXPECT_EQ(r.category, 2u);
  EXPECT_FALSE(r.reuse);
  EXPECT_EQ(r.client, page);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return info.ready != 0; }, 15000));
  EXPECT_EQ(info.lines.typeLine, "CPU Type:\tAuthenticAMD, AMD EPYC");
  EXPECT_EQ(info.lines.speedLine, "CPU SPEED:\t2096 MHz");
  EXPECT_EQ(info.mutexWaitMs, 10000u);  // nWaitCpu 20 x 500 ms
  ASSERT_TRUE(WaitIdle(10000));

  // Without the file both lines are empty, and the page is told all the same.
  ::DeleteFileW(server.FilePath(2).c_str());
  server.SetMode(FakeInfoServer::Mode::ReplyOtherCategory);
  info.ready = 0;
  ::PostMessageW(page, runner.GetSheet()->QuorrelMessage(), suite::INFO_REPLY_READY, 2);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return info.ready != 0; }, 15000));
  EXPECT_EQ(info.lines.typeLine, "");
  EXPECT_EQ(info.lines.speedLine, "");
}

}  // namespace
