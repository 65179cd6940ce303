// The memory test end to end: zentrel.mod started and driven through the
// module protocol ("kyt_diag_msg" codes 0 and 1) runs the memory test over
// real memory, writes its result log beside itself and reports its error
// count to the host. The machine is made small (its memory figures are the
// test's, and the module's as well) so the runs stay short, except where Stop
// is tried on a run over the whole machine.
#include <gtest/gtest.h>
#include <windows.h>

#include <psapi.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <cwchar>
#include <fstream>
#include <functional>
#include <sstream>

#include "appkit/registry.h"
#include "testsupport/controls.h"
#include "suite/diag.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

class MemoryModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"ZENTREL.OCX")), 0); }

  void SetUp() override {
    // Every memory test selected.
    const wchar_t key[] = L"Software\\Kyt\\ZENTREL\\Setting";
    for (const wchar_t* name :
         {L"DataPatternEnable", L"WalkOneEnable", L"MoveInversionEnable", L"WalkZeroEnable", L"RandomMemCopyEnable"})
      appkit::RegWriteDword(HKEY_CURRENT_USER, key, name, 1);
    for (const wchar_t* log : {L"KytMEM.LOG", L"KytMEM3.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }
  void TearDown() override {
    for (const wchar_t* log : {L"KytMEM.LOG", L"KytMEM3.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }

  // A log left by an earlier run.
  static void EarlierLog() {
    std::ofstream old(SuitePath(L"KytMEM.LOG").c_str(), std::ios::binary);
    old << "an earlier stress loop\r\n";
  }

  // Runs the module on a machine of `mb` megabytes; its reported result.
  WPARAM Run(const std::wstring& args, unsigned mb) {
    WPARAM result = 99;
    if (!UseSmallMachine(mb)) {
      ADD_FAILURE() << "no machine of " << mb << " MB";
      return result;
    }
    EXPECT_TRUE(RunModule(args, &result)) << args.c_str();
    return result;
  }

  // Starts zentrel.mod as the main program does and waits for its report.
  bool RunModule(const std::wstring& args, WPARAM* result) {
    Process p;
    return ctltest::StartModuleAndWaitReport(p, SuitePath(L"zentrel.mod"), args, result) && p.WaitExit(20000);
  }
};

}  // namespace

TEST_F(MemoryModule, AutoRunCheckRunsEveryPatternWritesTheLogAndReportsNoError) {
  ASSERT_EQ(Run(L"-AutoRun -Check", 8), 0u);
  std::string log = ReadFileBytes(SuitePath(L"KytMEM.LOG"));
  ASSERT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  // "%m/%d/%Y %I:%M%p"
  ASSERT_GT(log.size(), 35u);
  EXPECT_EQ(log.substr(15, 18).find_first_not_of("0123456789/: APM"), std::string::npos) << log.substr(0, 40);
  EXPECT_EQ(log.substr(17, 1) + log.substr(20, 1) + log.substr(25, 1) + log.substr(28, 1) + log.substr(33, 1), "// :]");
  EXPECT_NE(log.find("]\r\n\r\nMemory Test\r\nOptimizing Test Memory Size...\r\nTest Memory Allocated:\t"), std::string::npos);
  for (const char* line : {"Initialize Memory Addresses:\t", "Verify Memory Addresses:\t",
                           "Test Data Pattern:\tFFFFFFFFh\tPASSED \r\n", "Walking Ones Test:\t80000000h\tPASSED \r\n",
                           "Moving Inversion Test:\t80000000h\tPASSED \r\n",
                           "Walking Zeros Test:\t7FFFFFFFh\tPASSED \r\n", "Random Mem. Block Copy:\t\tPASSED \r\n"})
    EXPECT_NE(log.find(line), std::string::npos) << line;
  const std::string tail = "\r\n \r\nNo Error Found.\r\n";
  EXPECT_EQ(log.substr(log.size() - tail.size()), tail);
}

TEST_F(MemoryModule, LoopRunWritesTheDigitsLogAndAppendKeepsACleanRunOut) {
  ASSERT_EQ(Run(L"-AutoRun3 -L2", 4), 0u);  // the whole available memory is tested (no -Check)
  std::string log = ReadFileBytes(SuitePath(L"KytMEM3.LOG"));
  EXPECT_NE(log.find("]\r\n\r\nMemory Test - Loop 2\r\n"), std::string::npos) << log.substr(0, 80);
  EXPECT_EQ(::GetFileAttributesW(SuitePath(L"KytMEM.LOG").c_str()), INVALID_FILE_ATTRIBUTES);

  // -Append: a run without errors leaves the log as it was.
  EarlierLog();
  ASSERT_EQ(Run(L"-AutoRun -Check -Append -L5", 8), 0u);
  EXPECT_EQ(ReadFileBytes(SuitePath(L"KytMEM.LOG")), "an earlier stress loop\r\n");
}

TEST_F(MemoryModule, AFailedRunReportsItsErrorToTheHostAndAppendsToTheLog) {
  EarlierLog();
  // 3 MB of memory: with -Check the block holds 384 KB, fewer than 8 blocks.
  ASSERT_EQ(Run(L"-AutoRun -Check -Append -L4", 3), 1u);
  std::string log = ReadFileBytes(SuitePath(L"KytMEM.LOG"));
  ASSERT_EQ(log.rfind("an earlier stress loop\r\n[Last Updated: ", 0), 0u) << log;
  // -Check keeps the loop number out of the title.
  EXPECT_NE(log.find("]\r\n\r\nMemory Test\r\nOptimizing Test Memory Size...\r\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Test Memory Blocks:\t0006 blks\r\n"), std::string::npos) << log;
  const std::string end =
      "===>Physical memory low, please close other program(s).\r\n===>Test Failed.\r\n \r\nFound Error(s).\r\n\r\n";
  ASSERT_GE(log.size(), end.size());
  EXPECT_EQ(log.substr(log.size() - end.size()), end);
  EXPECT_EQ(log.find("Troubleshooting"), std::string::npos);  // the tips follow the log
}

// The block a run tests comes from the machine alone: a variable of the
// user's environment that once capped it for tests sizes nothing.
TEST_F(MemoryModule, TheMachineAloneSizesTheRun) {
  ::SetEnvironmentVariableW(L"HALVIX_MEMTEST_MACHINE_MB", L"1");  // 128 KB with -Check: a failed run
  WPARAM result = Run(L"-AutoRun -Check", 16);
  ::SetEnvironmentVariableW(L"HALVIX_MEMTEST_MACHINE_MB", nullptr);
  EXPECT_EQ(result, 0u);
  std::string log = ReadFileBytes(SuitePath(L"KytMEM.LOG"));
  EXPECT_NE(log.find("Test Memory Allocated:\t2048 KB\tOK\r\nTest Memory Blocks:\t0032 blks\r\n"), std::string::npos)
      << log;
}

// ---- Stop on a run over the whole machine ------------------------------------

namespace {

struct MemoryUse {
  uint64_t now = 0, peak = 0;  // resident memory, bytes
};

std::string ReadWhole(const std::wstring& path) {
  HANDLE h = ::CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
  if (h == INVALID_HANDLE_VALUE) return {};
  std::string out;
  char buf[4096];
  DWORD got = 0;
  while (out.size() < (1u << 20) && ::ReadFile(h, buf, sizeof buf, &got, nullptr) && got) out.append(buf, got);
  ::CloseHandle(h);
  return out;
}

// The resident memory of the module this test starts. Under Wine the
// counters of another process are not its resident size, so the host's
// /proc is read (through drive Z:): the module is the one program there
// named zentrel.mod that runs in this test's own Wine prefix (each test
// has a prefix of its own). Elsewhere the system's counters serve.
class ResidentMemory {
 public:
  ResidentMemory() { hostProc_ = ::GetFileAttributesW(L"Z:\\proc\\self\\environ") != INVALID_FILE_ATTRIBUTES; }

  bool Attach(HANDLE process) {
    process_ = process;
    if (!hostProc_) return true;
    const std::string self = std::string(1, '\0') + ReadWhole(L"Z:\\proc\\self\\environ");
    size_t at = self.find(std::string("\0WINEPREFIX=", 12));
    if (at == std::string::npos) return false;
    const std::string prefix = self.substr(at, self.find('\0', at + 1) - at + 1);  // "\0WINEPREFIX=...\0"
    int found = 0;
    WIN32_FIND_DATAW fd;
    HANDLE f = ::FindFirstFileW(L"Z:\\proc\\*", &fd);
    if (f == INVALID_HANDLE_VALUE) return false;
    do {
      if (fd.cFileName[0] < L'0' || fd.cFileName[0] > L'9') continue;
      std::wstring dir = std::wstring(L"Z:\\proc\\") + fd.cFileName;
      if (ReadWhole(dir + L"\\cmdline").find("zentrel.mod") == std::string::npos) continue;
      if ((std::string(1, '\0') + ReadWhole(dir + L"\\environ")).find(prefix) == std::string::npos) continue;
      status_ = dir + L"\\status";
      ++found;
    } while (::FindNextFileW(f, &fd));
    ::FindClose(f);
    return found == 1;
  }
  MemoryUse Now() const {
    if (!hostProc_) {
      PROCESS_MEMORY_COUNTERS pmc{};
      pmc.cb = sizeof pmc;
      if (!::GetProcessMemoryInfo(process_, &pmc, sizeof pmc)) return {};
      return {pmc.WorkingSetSize, pmc.PeakWorkingSetSize};
    }
    std::string st = ReadWhole(status_);
    return {Field(st, "VmRSS:"), Field(st, "VmHWM:")};
  }

 private:
  static uint64_t Field(const std::string& status, const char* name) {
    size_t at = status.find(name);
    if (at == std::string::npos) return 0;
    return std::strtoull(status.c_str() + at + std::strlen(name), nullptr, 10) * 1024;  // kB
  }
  bool hostProc_ = false;
  HANDLE process_ = nullptr;
  std::wstring status_;
};

constexpr uint64_t MB = 0x100000;

// zentrel.mod testing the memory of the real machine (no small-machine
// figures). The test watches the module's memory all along and kills it
// when it grows past a ceiling, so that a run that does not stop never
// takes this shared machine's memory.
class WholeMachineRun {
 public:
  static constexpr uint64_t kCeiling = 1536 * MB;  // above the module's size at start

  bool Start() {
    if (!UseWholeMachine()) {
      ADD_FAILURE() << "the machine's own memory figures cannot be put back";
      return false;
    }
    if (!p_.Start(SuitePath(L"zentrel.mod"), L"-AutoRun")) return false;
    EXPECT_TRUE(p_.WaitIdle(10000));
    if (!memory_.Attach(p_.Handle())) {
      ADD_FAILURE() << "the module's memory cannot be watched (not one zentrel.mod in this prefix)";
      return false;
    }
    base_ = memory_.Now().now;
    ctltest::PostHostAndStart(p_, host_.hwnd());
    dlg_ = WaitForWindow(L"Memory Test", L"#32770", p_.Pid(), 15000);
    list_ = dlg_ ? FindChildById(dlg_, 1005) : nullptr;
    return list_ && Watch([&] { return Button(L"&Stop"); }, 15000);
  }
  // Waits (watching the memory) until `done`; false on time-out or when
  // the module was killed for passing the ceiling.
  bool Watch(const std::function<bool()>& done, DWORD ms) {
    return PumpUntil(
               [&] {
                 uint64_t now = memory_.Now().now;
                 if (now > base_ + kCeiling) {
                   killed_ = true;
                   p_.Kill();
                 }
                 return killed_ || done();
               },
               ms) &&
           !killed_;
  }
  HWND Button(const wchar_t* text) const { return FindChild(dlg_, L"Button", text); }
  std::vector<std::wstring> Lines() const { return ListBoxLines(list_); }
  bool HasLine(const std::wstring& line) const {
    for (const std::wstring& l : Lines())
      if (l.rfind(line, 0) == 0) return true;
    return false;
  }
  // Presses Stop; true when the run ended ("===>Test Aborts." and the
  // button back to Start) within `ms`. `*stopMs` the time it took.
  bool StopAndWaitEnd(DWORD ms, DWORD* stopMs) {
    HWND stop = Button(L"&Stop");
    if (!stop) return false;
    DWORD t0 = ::GetTickCount();
    ClickButton(stop);
    bool ended = Watch([&] { return Button(L"&Start") && HasLine(L"===>Test Aborts."); }, ms);
    *stopMs = ::GetTickCount() - t0;
    return ended;
  }
  // Closes the module as the host does; its report.
  bool Close(WPARAM* result) {
    UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
    ::PostThreadMessageW(p_.MainThreadId(), diag, suite::DiagClose, 0);
    MessageCatcher::Caught done{};
    if (!host_.WaitFor(diag, 30000, &done)) return false;
    *result = done.wp;
    return p_.WaitExit(20000);
  }
  MemoryUse Memory() const { return memory_.Now(); }
  uint64_t Base() const { return base_; }
  bool Killed() const { return killed_; }

 private:
  ResidentMemory memory_;
  Process p_;
  MessageCatcher host_;
  HWND dlg_ = nullptr, list_ = nullptr;
  uint64_t base_ = 0;
  bool killed_ = false;
};

}  // namespace

// Stop acts at once on a run over the whole machine: pressed while the run
// makes room (a pass touches seven eighths of what the machine can commit,
// gigabytes here), once the module has grown by 256 MB, the run ends and
// the module's memory does not grow on: a pass that ran to its end would
// pass the ceiling. The later steps' checks of the stop flag are shown over
// memory of the test's own (engine and worker tests): reaching them here
// would mean touching most of this shared machine's memory five times over.
TEST_F(MemoryModule, StopEndsARunOverTheWholeMachineAtOnce) {
  WholeMachineRun run;
  ASSERT_TRUE(run.Start());
  ASSERT_TRUE(run.Watch([&] { return run.HasLine(L"Optimizing Test Memory Size..."); }, 30000));
  // Where little is free, the passes are over before the module grows that
  // much: Stop then acts on the test block.
  ASSERT_TRUE(run.Watch(
      [&] { return run.Memory().now > run.Base() + 256 * MB || run.HasLine(L"Test Memory Allocated:"); }, 120000))
      << "killed past the ceiling: " << run.Killed();
  const bool inRoomPass = !run.HasLine(L"Test Memory Allocated:");
  const uint64_t atStop = run.Memory().now;
  DWORD stopMs = 0;
  ASSERT_TRUE(run.StopAndWaitEnd(60000, &stopMs)) << "killed past the ceiling: " << run.Killed();
  const MemoryUse after = run.Memory();
  if (inRoomPass) {
    EXPECT_FALSE(run.HasLine(L"Test Memory Allocated:")) << "the run went on after Stop";
  }
  EXPECT_LT(after.peak, atStop + 512 * MB) << "the module grew on after Stop";
  EXPECT_LT(after.now, atStop);  // the block is given back

  WPARAM result = 99;
  ASSERT_TRUE(run.Close(&result));
  EXPECT_EQ(result, 0u);  // aborted: nothing to report
  std::printf("[ measured ] Stop %s: the run ended %lu ms after Stop; module at start %llu MB, "
              "at Stop %llu MB, peak %llu MB, after the end %llu MB\n",
              inRoomPass ? "while making room" : "on the test block", (unsigned long)stopMs,
              (unsigned long long)(run.Base() / MB), (unsigned long long)(atStop / MB),
              (unsigned long long)(after.peak / MB), (unsigned long long)(after.now / MB));
}
