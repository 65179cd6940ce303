// The module protocol end to end: a host window of this test starts module
// programs and tools through the main program's launcher and follows them
// by "kyt_diag_msg".
#include <windows.h>
// (after windows.h)
#include <tlhelp32.h>

#include <gtest/gtest.h>

#include "boxes.h"
#include "modem_control.h"
#include "test_host.h"

using namespace testsupport;

namespace {

int ProcessesNamed(const wchar_t* exe) {
  int n = 0;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = ::Process32FirstW(snap, &pe); ok; ok = ::Process32NextW(snap, &pe))
    if (_wcsicmp(pe.szExeFile, exe) == 0) ++n;
  ::CloseHandle(snap);
  return n;
}


}  // namespace

// The runner reports its result and process id; the record goes with it.
TEST_F(HostTest, ModuleReportsToTheHostAndItsRecordGoes) {
  UnregisterModemControl();
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"modem.mod") + L" -AutoRun", suite::ModuleKindModem), 1);
  ASSERT_EQ(launcher->Records().size(), 1u);
  const halvix::ModuleRecord& r = *launcher->Records()[0];
  DWORD pid = r.processId;
  EXPECT_EQ(r.kind, suite::ModuleKindModem);
  // Codes 0 and 1 went to its main thread, in this order, after it was idle.
  ASSERT_EQ(launcher->posted.size(), 2u);
  EXPECT_EQ(launcher->posted[0], std::make_pair(r.threadId, (WPARAM)suite::DiagHostWindow));
  EXPECT_EQ(launcher->posted[1], std::make_pair(r.threadId, (WPARAM)suite::DiagStart));
  // Without its control an automatic run ends by itself.
  WPARAM result = 99;
  ASSERT_TRUE(WaitDone(pid, &result));
  EXPECT_EQ(result, 1u);  // the control failed: counts as failed
  EXPECT_TRUE(launcher->Records().empty());
}

TEST_F(HostTest, SecondStartOfARunningKindOnlyActivatesIt) {
  std::wstring line = SuitePath(L"graphics.mod");
  ASSERT_EQ(launcher->StartModuleCommand(line, suite::ModuleKindGraphics), 1);
  DWORD thread = launcher->Records()[0]->threadId;
  launcher->posted.clear();
  EXPECT_EQ(launcher->StartModuleCommand(line, suite::ModuleKindGraphics), 0);
  EXPECT_EQ(launcher->beeps, 1);
  ASSERT_EQ(launcher->posted.size(), 1u);
  EXPECT_EQ(launcher->posted[0], std::make_pair(thread, (WPARAM)suite::DiagActivate));
  EXPECT_EQ(launcher->Records().size(), 1u);
  EXPECT_EQ(ProcessesNamed(L"graphics.mod"), 1);
  // A DiagDone whose cookie matches no record changes nothing.
  EXPECT_EQ(launcher->OnDiagDone(0, 0x7FFF0001), 0);
  EXPECT_EQ(launcher->Records().size(), 1u);
  // A different kind runs beside it.
  ASSERT_EQ(launcher->StartModuleCommand(SuitePath(L"netrick.exe"), suite::ModuleKindTcpTools), 1);
  EXPECT_EQ(launcher->Records().size(), 2u);
}

TEST_F(HostTest, CleanupToolBlocksOtherCommands) {
  ASSERT_EQ(launcher->StartModuleCommand(SuitePath(L"brisko.mod"), suite::ModuleKindCleanup), 1);
  HANDLE brisko = launcher->Records()[0]->process;
  // It takes no protocol and keeps running.
  PumpUntil([] { return false; }, 300);
  EXPECT_TRUE(ModuleLauncher::IsAlive(*launcher->Records()[0]));
  {
    boxes::Answerer answer(kAppName);
    EXPECT_EQ(launcher->StartModuleCommand(SuitePath(L"zentrel.mod"), suite::ModuleKindMemory), 0);
    EXPECT_EQ(answer.Take(), L"Please close Cleanup module first.");
  }
  {
    boxes::Answerer answer(kAppName);
    EXPECT_FALSE(launcher->MayStart(halvix::GuardedCommand::StressTest));
    EXPECT_EQ(answer.Take(), L"Please close all running modules.");
  }
  int beeps = launcher->beeps;
  EXPECT_FALSE(launcher->MayStart(halvix::GuardedCommand::Cleanup));  // its own kind: a beep only
  EXPECT_EQ(launcher->beeps, beeps + 1);
  EXPECT_EQ(ProcessesNamed(L"zentrel.mod"), 0);
  // Without the registered message nothing counts as running.
  ModuleLauncher off(host.hwnd(), 0, SuiteDir(), kAppName);
  EXPECT_FALSE(off.IsAnyModuleRunning());
  // Once it ends, its record tests dead and the stress test may start.
  HWND w = WaitForWindow(L"Kyt Cleanup", L"#32770", launcher->Records()[0]->processId, 10000);
  ASSERT_NE(w, nullptr);
  ::PostMessageW(w, WM_COMMAND, IDOK, 0);  // its "Close" button
  ASSERT_TRUE(WaitDead(brisko, 10000));
  EXPECT_EQ(launcher->Records().size(), 1u);  // no DiagDone from a tool
  EXPECT_TRUE(launcher->MayStart(halvix::GuardedCommand::StressTest));
}

// The host window goes: every live module gets DiagClose once, still
// reports, and the host does not wait.
TEST_F(HostTest, CloseAllEndsLiveModulesWhichStillReport) {
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"cdrom.mod"), suite::ModuleKindCdrom), 1);
  ASSERT_EQ(launcher->LaunchModule(SuitePath(L"fenwold.mod") + L" -floppy", suite::ModuleKindFloppy), 1);
  DWORD first = launcher->Records()[0]->processId, second = launcher->Records()[1]->processId;
  std::vector<DWORD> threads{launcher->Records()[1]->threadId, launcher->Records()[0]->threadId};
  launcher->posted.clear();
  launcher->CloseAll();
  EXPECT_TRUE(launcher->Records().empty());
  ASSERT_EQ(launcher->posted.size(), 2u);  // last to first
  EXPECT_EQ(launcher->posted[0], std::make_pair(threads[0], (WPARAM)suite::DiagClose));
  EXPECT_EQ(launcher->posted[1], std::make_pair(threads[1], (WPARAM)suite::DiagClose));
  WPARAM result = 99;
  EXPECT_TRUE(WaitDone(first, &result));
  EXPECT_TRUE(WaitDone(second, &result));
}

TEST_F(HostTest, MissingProgramIsNamedAndNothingRecorded) {
  boxes::Answerer answer(kAppName);
  EXPECT_EQ(launcher->LaunchModule(SuiteDir() + L"nosuch.mod -AutoRun", suite::ModuleKindMemory), 0);
  EXPECT_EQ(answer.Take(), L"Can not find nosuch.mod.");
  EXPECT_TRUE(launcher->Records().empty());
  EXPECT_TRUE(launcher->posted.empty());
}

// A program directory with blanks: the whole path is checked and started.
TEST_F(HostTest, PathWithBlanksStarts) {
  wchar_t tmp[MAX_PATH];
  ::GetTempPathW(MAX_PATH, tmp);
  std::wstring dir = std::wstring(tmp) + L"halvix launcher test\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  ASSERT_TRUE(::CopyFileW(SuitePath(L"netrick.exe").c_str(), (dir + L"netrick.exe").c_str(), FALSE));
  ASSERT_EQ(launcher->LaunchModule(dir + L"netrick.exe", suite::ModuleKindTcpTools), 1);
  ASSERT_EQ(launcher->LaunchModule(dir + L"netrick.exe -x", suite::ModuleKindTcpTools), 1);
  for (auto& r : launcher->Records()) {
    ::TerminateProcess(r->process, 0);
    WaitDead(r->process, 5000);
  }
  ::DeleteFileW((dir + L"netrick.exe").c_str());
  ::RemoveDirectoryW(dir.c_str());
}

TEST_F(HostTest, ReportWizardKnowsTheHostAndIsNotRecorded) {
  ASSERT_TRUE(launcher->StartReportWizard());
  EXPECT_TRUE(launcher->Records().empty());
  // The wizard's first page; "Collect All" is on its second.
  HWND wizard = WaitForWindow(L"ReportWizard", L"#32770", 0, 10000);
  ASSERT_NE(wizard, nullptr);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(wizard, &pid);
  struct EndWizard {  // also when an assertion below fails
    DWORD pid;
    ~EndWizard() {
      if (HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, pid)) {
        if (::WaitForSingleObject(h, 5000) != WAIT_OBJECT_0) ::TerminateProcess(h, 1);
        ::CloseHandle(h);
      }
    }
  } endWizard{pid};
  ClickButton(wizard, IDOK);
  HWND collect = nullptr;
  PumpUntil(
      [&] {
        HWND page = FindTopWindow(L"ReportWizard", L"#32770");
        collect = page && ::IsWindowVisible(page) ? FindChild(page, L"Button", L"Collect All") : nullptr;
        return collect != nullptr;
      },
      10000);
  ASSERT_NE(collect, nullptr);
  wizard = ::GetParent(collect);
  ClickButton(collect);
  EXPECT_TRUE(PumpUntil([&] { return !host.commands.empty(); }, 10000));
  ASSERT_FALSE(host.commands.empty());
  EXPECT_EQ(host.commands[0], 32789u);
  ::PostMessageW(wizard, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitWindowGone(wizard, 10000));
}
