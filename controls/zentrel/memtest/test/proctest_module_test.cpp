// The processor test end to end: zentrel.mod started with "-ProcTest" and
// driven through the module protocol asks the information server (a host
// program of the real one, or the test's stand-in) for each sub-test,
// writes KytPROC.LOG beside itself and reports its verdict to the host.
#include <gtest/gtest.h>
#include <windows.h>

#include <fstream>
#include <sstream>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/diag.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/fakeinfo.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

// The lines of the log after its header and title.
std::vector<std::string> LogLines(const std::string& log, const std::string& title = "Processor Test") {
  std::vector<std::string> lines;
  const std::string head = "]\r\n\r\n" + title + "\r\n";
  size_t at = log.find(head);
  if (at == std::string::npos) return lines;
  at += head.size();
  while (at < log.size()) {
    size_t end = log.find("\r\n", at);
    if (end == std::string::npos) break;
    lines.push_back(log.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// The real information server in a host program of its own.
class ServerHost {
 public:
  ServerHost() {
    if (process_.Start(TestBinDir() + L"quorrel_host.exe") && process_.WaitIdle(10000))
      server_ = WaitForWindow(suite::kInfoServerTitle, L"", process_.Pid(), 10000);
  }
  ~ServerHost() {
    if (process_.Running()) {
      ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", process_.Pid()), WM_CLOSE, 0, 0);
      EXPECT_TRUE(process_.WaitExit(20000));
    }
  }
  bool Ok() const { return server_ != nullptr; }

 private:
  Process process_;
  HWND server_ = nullptr;
};

class ProcessorModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"ZENTREL.OCX")), 0); }

  void SetUp() override {
    ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server is already running";
    // Every processor sub-test selected.
    const wchar_t key[] = L"Software\\Kyt\\ZENTREL\\Setting";
    for (const wchar_t* name : {L"GeneralRegisterEnable", L"MathCalculationEnable", L"MathPerformanceEnable",
                                L"MMXArithEnable", L"CPUSpeedEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, key, name, 1);
    ::DeleteFileW(SuitePath(L"KytPROC.LOG").c_str());
  }
  void TearDown() override { ::DeleteFileW(SuitePath(L"KytPROC.LOG").c_str()); }

  // Starts zentrel.mod as the main program does and waits for its report;
  // the milliseconds it took go to `ms`.
  bool RunModule(const std::wstring& args, WPARAM* result, DWORD* ms = nullptr) {
    DWORD t0 = ::GetTickCount();
    Process p;
    if (!ctltest::StartModuleAndWaitReport(p, SuitePath(L"zentrel.mod"), args, result)) return false;
    if (ms) *ms = ::GetTickCount() - t0;
    return p.WaitExit(20000);
  }
};

}  // namespace

TEST_F(ProcessorModule, AutoRunPassesOnThisMachineEveryTime) {
  ServerHost server;
  ASSERT_TRUE(server.Ok());
  for (int run = 1; run <= 2; ++run) {
    WPARAM result = 99;
    DWORD ms = 0;
    ASSERT_TRUE(RunModule(L"-ProcTest -AutoRun", &result, &ms)) << run;
    EXPECT_EQ(result, 0u) << run;
    std::printf("[ measured ] processor test run %d: %lu ms\n", run, (unsigned long)ms);
    std::vector<std::string> lines = LogLines(ReadFileBytes(SuitePath(L"KytPROC.LOG")));
    ASSERT_EQ(lines.size(), 9u) << run;
    EXPECT_EQ(lines[0], "General Register Test:\tPASSED");
    EXPECT_EQ(lines[1], "Mathematical Calculation Test:\tPASSED");
    EXPECT_EQ(lines[2], "Math Performance Test:\tPASSED");
    EXPECT_EQ(lines[3].rfind("Math Performance Index:\t", 0), 0u) << lines[3];
    EXPECT_EQ(lines[4], "MMX Arithmetic Test:\tPASSED");
    EXPECT_EQ(lines[5].rfind("MMX Performance Index:\t", 0), 0u) << lines[5];
    EXPECT_EQ(lines[6].rfind("CPU Speed:\t", 0), 0u) << lines[6];
    EXPECT_EQ(lines[6].substr(lines[6].size() - 4), " MHz");
    EXPECT_EQ(lines[7], "");
    EXPECT_EQ(lines[8], "No Error Found.");
    for (int i : {3, 5, 6}) std::printf("[ measured ] %s\n", lines[(size_t)i].c_str());
  }
}

TEST_F(ProcessorModule, AHungServerFailsTheTestWithinTheTimeOut) {
  FakeInfoServer server(TempDir());
  ASSERT_TRUE(server.Ok());
  server.SetHangOnSelfTest(true);
  WPARAM result = 99;
  DWORD ms = 0;
  ASSERT_TRUE(RunModule(L"-AutoRun -ProcTest -L3", &result, &ms));
  EXPECT_EQ(result, 1u);
  std::printf("[ measured ] hung server: the module reported after %lu ms\n", (unsigned long)ms);
  std::vector<std::string> lines = LogLines(ReadFileBytes(SuitePath(L"KytPROC.LOG")), "Processor Test - Loop 3");
  EXPECT_EQ(lines, (std::vector<std::string>{"General Register Test:\tFAILED", "===>Test Failed.", "Found Error(s)."}));
  EXPECT_EQ(server.SelfTests(), std::vector<unsigned>{0}) << "only the probe was sent";
}

TEST_F(ProcessorModule, TheDefaultStressListsProcessorEntryPasses) {
  // The entry's arguments as the stress test would start them.
  std::string list = ReadFileBytes(SuitePath(L"modules.dat"));
  std::istringstream in(list);
  std::string line, args;
  while (std::getline(in, line)) {
    if (line.rfind("Processor Test|", 0) != 0) continue;
    size_t a = line.find('|'), b = line.find('|', a + 1), c = line.find('|', b + 1);
    ASSERT_NE(c, std::string::npos) << line;
    EXPECT_EQ(line.substr(a + 1, b - a - 1), "zentrel.mod");
    args = line.substr(b + 1, c - b - 1);
  }
  ASSERT_NE(args.find("-ProcTest"), std::string::npos) << list;
  ServerHost server;
  ASSERT_TRUE(server.Ok());
  WPARAM result = 99;
  ASSERT_TRUE(RunModule(appkit::Widen(args) + L" -L1", &result));
  EXPECT_EQ(result, 0u) << appkit::Narrow(appkit::Widen(args));
  std::string log = ReadFileBytes(SuitePath(L"KytPROC.LOG"));
  EXPECT_NE(log.find("Processor Test - Loop 1\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("\r\nNo Error Found.\r\n"), std::string::npos) << log;
}
