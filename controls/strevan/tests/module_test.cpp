// strevan.mod -AutoRun end to end through the module protocol, with COM2
// of the test's prefix backed by an echo peer (with_com_ports.sh): the suite's own
// testers (no port access here), the testers on simulated plugs, and
// stand-in testers that hang or leave a result without a verdict, each in a
// folder of its own with a copy of the control.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Strevan\\Setting";
const wchar_t kSerialKey[] = L"Software\\Kyt\\Koprel\\Setting";

std::string Unix(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

std::wstring PortSim(const wchar_t* name) { return TestBinDir() + L"portsim\\" + name; }
std::wstring FakeTester() { return TestBinDir() + L"strevan_fake_tester.exe"; }

class StrevanModule : public ::testing::Test {
 protected:
  KeyAside aside{kKey, L"Software\\Kyt\\TestAside\\Strevan"};
  KeyAside serialAside{kSerialKey, L"Software\\Kyt\\TestAside\\Koprel"};
  std::wstring copy;
  void SetUp() override {
    char ports[128] = {};
    if (!::GetEnvironmentVariableA("HALVIX_COM_PORTS", ports, sizeof ports)) GTEST_SKIP() << "run through with_com_ports.sh";
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
    // The serial tester tests COM2, where the echo peer is, and allows the
    // peer, a script on a busy machine, gaps of up to a second.
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kSerialKey);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kSerialKey, L"COM1", 0);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kSerialKey, L"COM2", 1);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kSerialKey, L"ReadIntervalTimeout", 1000);
  }
  void TearDown() override {
    if (!copy.empty()) {
      EXPECT_EQ(RegisterControl(SuitePath(L"STREVAN.OCX")), 0);
      RemoveTree(copy);
    }
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kSerialKey);
    for (const char* v : {"HALVIX_SIMULATED_PORTS", "HALVIX_FAKE_KOPREL", "HALVIX_FAKE_LANVET"})
      ::SetEnvironmentVariableA(v, nullptr);
  }
  void Set(const wchar_t* name, DWORD v) { appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, v); }

  // A folder with the control, its module program and the given testers
  // (source, name), the control registered from there.
  std::wstring MakeCopy(const std::vector<std::pair<std::wstring, const wchar_t*>>& testers) {
    copy = TempDir() + L"strevan_copy\\";
    RemoveTree(copy);
    EXPECT_TRUE(::CreateDirectoryW(copy.c_str(), nullptr));
    for (const wchar_t* f : {L"STREVAN.OCX", L"strevan.mod"})
      EXPECT_TRUE(::CopyFileW(SuitePath(f).c_str(), (copy + f).c_str(), FALSE)) << f;
    for (auto& [from, name] : testers) EXPECT_TRUE(::CopyFileW(from.c_str(), (copy + name).c_str(), FALSE)) << name;
    EXPECT_EQ(RegisterControl(copy + L"STREVAN.OCX"), 0);
    return copy;
  }

  // strevan.mod -AutoRun in `dir`: its reported result; the log's text.
  WPARAM Run(const std::wstring& dir, std::string* log) {
    ::DeleteFileW((dir + L"KytPORT.LOG").c_str());
    Process p;
    WPARAM result = 99;
    EXPECT_TRUE(ctltest::StartModuleAndWaitReport(p, dir + L"strevan.mod", L"-AutoRun", &result, 180000));
    EXPECT_TRUE(p.WaitExit(30000));
    *log = Unix(ReadFileBytes(dir + L"KytPORT.LOG"));
    return result;
  }
};

}  // namespace

TEST_F(StrevanModule, TheSuiteTestersWithoutPortAccessFailWithTheirNotFoundLines) {
  ASSERT_EQ(RegisterControl(SuitePath(L"STREVAN.OCX")), 0);
  std::string log;
  EXPECT_EQ(Run(SuiteDir(), &log), 1u);
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  EXPECT_NE(log.find("\nI/O Ports Test\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\nPrinter Port Test:\n[kytntio.sys not found]\n"
                     "Printer Port Loopback Test\tFAILED [378][strb-slct]\n\n"
                     "Serial Port Test:(3F8/2F8/3E8/2E8)\n"
                     "Serial Port Loopback Test\tFAILED [2F8][port not detected]\n\n"
                     "Found Error(s).\n"),
            std::string::npos)
      << log;
  // The testers wrote their files where the page read them.
  EXPECT_FALSE(ReadFileBytes(SuitePath(L"KOPREL.TXT")).empty());
  EXPECT_FALSE(ReadFileBytes(SuitePath(L"LANVET.TXT")).empty());
}

TEST_F(StrevanModule, BothTestersPassOnSimulatedPlugsAndTheEchoPeer) {
  std::wstring dir = MakeCopy({{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {PortSim(L"KOPREL.EXE"), L"KOPREL.EXE"}});
  ::SetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", "uart:other,lpt:plug");
  std::string log;
  EXPECT_EQ(Run(dir, &log), 0u);
  EXPECT_NE(log.find("\nPrinter Port Test:\nPrinter Port Loopback Test\tPASSED [378] \n\n"
                     "Serial Port Test:(3F8/2F8/3E8/2E8)\nSerial Port Loopback Test\tPASSED [2F8] \n\n"
                     "No Error Found.\n"),
            std::string::npos)
      << log;
}

TEST_F(StrevanModule, FailuresOfOneGroupCountOneError) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::wstring, const wchar_t*>> testers;
    const char* fakeKoprel;
    const char* expected;  // in the log, %s: the folder
    DWORD maxLoop;
    const char* plugs = "uart:other,lpt:plug";
  } cases[] = {
      {"printer plug without its data line",
       {{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {PortSim(L"KOPREL.EXE"), L"KOPREL.EXE"}},
       "",
       "Printer Port Loopback Test\tFAILED [378][d0-error]\n",
       100,
       "uart:other,lpt:nodata"},
      {"serial tester missing",
       {{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}},
       "",
       "PASSED [378] \n\nA necessary file or module doesn't exist.(%sKOPREL.PIF)\n\nFound Error(s).\n",
       100},
      {"a result without the verdict line",
       {{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {FakeTester(), L"KOPREL.EXE"}},
       "text:Testing Serial Port(s)\t\t2F8h |",
       "Serial Port Test:(3F8/2F8/3E8/2E8)\nTesting Serial Port(s)\t\t2F8h \n\nFound Error(s).\n",
       100},
      {"a tester that hangs",
       {{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {FakeTester(), L"KOPREL.EXE"}},
       "hang",
       "Serial Port Test:(3F8/2F8/3E8/2E8)\n===>The test program did not end in time and was stopped.\n\n"
       "Found Error(s).\n",
       10},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::wstring dir = MakeCopy(c.testers);
    ::SetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", c.plugs);
    ::SetEnvironmentVariableA("HALVIX_FAKE_KOPREL", c.fakeKoprel);
    Set(L"MaxLoop", c.maxLoop);
    std::string log;
    DWORD started = ::GetTickCount();
    EXPECT_EQ(Run(dir, &log), 1u);
    char expected[1024];
    std::snprintf(expected, sizeof expected, c.expected, appkit::Narrow(dir).c_str());
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    if (std::string(c.fakeKoprel) == "hang") {
      EXPECT_GE(::GetTickCount() - started, 2000u) << "the tester had its ten waits of 200 ms";
      DWORD pid = (DWORD)std::stoul("0" + ReadFileBytes(dir + L"KOPREL.PID"));
      HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
      EXPECT_TRUE(!h || ::WaitForSingleObject(h, 5000) == WAIT_OBJECT_0) << "the hung tester was ended";
      if (h) ::CloseHandle(h);
    }
    TearDown();
    copy.clear();
  }
}

TEST_F(StrevanModule, NothingChosenButAPortThereIsNoTest) {
  std::wstring dir = MakeCopy({{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {PortSim(L"KOPREL.EXE"), L"KOPREL.EXE"}});
  Set(L"bLPT", 0);
  Set(L"bCom", 0);
  std::string log;
  EXPECT_EQ(Run(dir, &log), 0u);
  EXPECT_NE(log.find("\nNo Test Selected !!!\n"), std::string::npos) << log;
  EXPECT_EQ(log.find("Port Test:"), std::string::npos) << log;
}

TEST_F(StrevanModule, AskedToCloseDuringAHungTesterTheModuleStopsAtOnce) {
  std::wstring dir = MakeCopy({{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {FakeTester(), L"KOPREL.EXE"}});
  ::SetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", "lpt:plug");
  ::SetEnvironmentVariableA("HALVIX_FAKE_KOPREL", "hang");
  Set(L"MaxLoop", 1000);  // 200 s
  ::DeleteFileW((dir + L"KOPREL.PID").c_str());
  Process p;
  ASSERT_TRUE(p.Start(dir + L"strevan.mod", L"-AutoRun"));
  ASSERT_TRUE(p.WaitIdle(10000));
  MessageCatcher host;
  UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
  ASSERT_TRUE(PumpUntil([&] { return !ReadFileBytes(dir + L"KOPREL.PID").empty(); }, 60000)) << "the tester started";
  DWORD asked = ::GetTickCount();
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagClose, 0);
  MessageCatcher::Caught report{};
  ASSERT_TRUE(host.WaitFor(diag, 60000, &report));
  EXPECT_LT(::GetTickCount() - asked, 30000u) << "not after the tester's 200 s";
  EXPECT_EQ(report.wp, 1u) << "a stopped run is no pass";
  EXPECT_TRUE(p.WaitExit(30000));
  std::string log = Unix(ReadFileBytes(dir + L"KytPORT.LOG"));
  EXPECT_NE(log.find("Serial Port Test:(3F8/2F8/3E8/2E8)\n\n===>Test aborts.\n"), std::string::npos) << log;
  DWORD pid = (DWORD)std::stoul("0" + ReadFileBytes(dir + L"KOPREL.PID"));
  HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  EXPECT_TRUE(!h || ::WaitForSingleObject(h, 5000) == WAIT_OBJECT_0) << "the hung tester was ended";
  if (h) ::CloseHandle(h);
}

// The printer group judged from a result file that is no tester's one or
// two lines, that is missing, or that a run before left behind: a tester
// that writes lines without end, or a verdict among many lines, fails with
// the first lines shown; one that dies fails, saying so; an old result that
// is read-only is removed first, and one that cannot be removed is never
// taken for this run's. (No serial test: the run's count is the printer
// group's.)
TEST_F(StrevanModule, AResultFileThatIsNoTestersResultFails) {
  const std::string passed = "Printer Port Loopback Test\tPASSED [378] \n";
  const std::string cut = "===>The result file holds more than a test result; the rest is not shown.\n";
  const std::string none = "===>The test program ended without its result.\n";
  std::string twenty;
  for (int i = 0; i < 20; ++i) twenty += passed;
  enum Old { kNone, kReadOnly, kHeldOpen };
  const struct {
    const char* what;
    const char* fake;  // what the stand-in tester writes
    Old old;           // a passed result of a run before
    std::string expected;  // in the log, %s: the folder
    bool testerRan;
  } cases[] = {
      {"lines without end", "repeat:70000:|", kNone, "Printer Port Test:\n" + std::string(20, '\n') + cut + "\nFound Error(s).\n",
       true},
      {"a verdict among too many lines", "repeat:30:Printer Port Loopback Test\tPASSED [378] |", kNone,
       "Printer Port Test:\n" + twenty + cut + "\nFound Error(s).\n", true},
      {"a tester that dies", "crash", kNone, "Printer Port Test:\n" + none + "\nFound Error(s).\n", true},
      {"a read-only result of a run before, and none from this run", "", kReadOnly,
       "Printer Port Test:\n" + none + "\nFound Error(s).\n", true},
      {"a read-only result of a run before, replaced", "text:Printer Port Loopback Test\tFAILED [378][d0-error]|",
       kReadOnly, "Printer Port Test:\nPrinter Port Loopback Test\tFAILED [378][d0-error]\n\nFound Error(s).\n", true},
      {"a result of a run before that cannot be removed", "", kHeldOpen,
       "\nThe previous result file could not be removed.(%sLANVET.TXT)\n\nFound Error(s).\n", false},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    std::wstring dir = MakeCopy({{FakeTester(), L"LANVET.EXE"}});
    Set(L"bCom", 0);
    ::SetEnvironmentVariableA("HALVIX_FAKE_LANVET", c.fake);
    const std::wstring result = dir + L"LANVET.TXT";
    HANDLE held = INVALID_HANDLE_VALUE;
    if (c.old != kNone) {
      ASSERT_TRUE(WriteFileBytes(result, passed));
      if (c.old == kReadOnly) ::SetFileAttributesW(result.c_str(), FILE_ATTRIBUTE_READONLY);
      if (c.old == kHeldOpen)
        held = ::CreateFileW(result.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    }
    std::string log;
    EXPECT_EQ(Run(dir, &log), 1u);
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    ::SetFileAttributesW(result.c_str(), FILE_ATTRIBUTE_NORMAL);
    char expected[4096];
    std::snprintf(expected, sizeof expected, c.expected.c_str(), appkit::Narrow(dir).c_str());
    EXPECT_NE(log.find(expected), std::string::npos) << log;
    EXPECT_EQ(log.find("PASSED [378] \n\nNo Error"), std::string::npos) << log;
    EXPECT_EQ(!ReadFileBytes(dir + L"LANVET.PID").empty(), c.testerRan);
    TearDown();
    copy.clear();
  }
}

// Not a check: shows a finished run on the Test page of strevan.mod for a
// while (HALVIX_SHOT_SECONDS, default 20), for a screenshot taken from
// outside. Run by hand with --gtest_also_run_disabled_tests.
TEST_F(StrevanModule, DISABLED_ShowsAFinishedRun) {
  std::wstring dir = MakeCopy({{PortSim(L"LANVET.EXE"), L"LANVET.EXE"}, {PortSim(L"KOPREL.EXE"), L"KOPREL.EXE"}});
  ::SetEnvironmentVariableA("HALVIX_SIMULATED_PORTS", "uart:other,lpt:nodata");
  Process p;
  ASSERT_TRUE(p.Start(dir + L"strevan.mod", L""));
  HWND module = WaitForWindow(L"I/O Ports Test", L"", p.Pid(), 30000);
  ASSERT_TRUE(module);
  HWND start = FindChildById(module, 1007);
  ASSERT_TRUE(start);
  ClickButton(start);
  PumpUntil([&] { return GetText(start) == L"&Stop"; }, 10000);
  EXPECT_TRUE(PumpUntil([&] { return GetText(start) == L"&Start"; }, 120000));
  char seconds[16] = "20";
  ::GetEnvironmentVariableA("HALVIX_SHOT_SECONDS", seconds, sizeof seconds);
  ::Sleep(1000 * (DWORD)atoi(seconds));
  ::PostMessageW(module, WM_CLOSE, 0, 0);
  EXPECT_TRUE(p.WaitExit(30000));
}
