// A host window of the test that plays the main frame's part: it starts
// programs through the main program's launcher and hands their DiagDone to it.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>
#include <utility>
#include <vector>

#include "appkit/window.h"
#include "modules/module_launcher.h"
#include "suite/diag.h"
#include "testsupport/process.h"

using halvix::ModuleLauncher;

inline const wchar_t kAppName[] = L"Halvix launcher test";

// The main frame's part: DiagDone goes to the launcher; commands are kept.
class HostWindow : public appkit::Window {
 public:
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  ModuleLauncher* launcher = nullptr;
  std::vector<std::pair<WPARAM, LPARAM>> done;
  std::vector<WPARAM> commands;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == diag) {
      done.emplace_back(wp, lp);
      if (launcher) launcher->OnDiagDone(wp, lp);
      return 0;
    }
    if (msg == WM_COMMAND) {
      commands.push_back(wp);
      return 0;
    }
    return Default(msg, wp, lp);
  }
};

class TestLauncher : public ModuleLauncher {
 public:
  using ModuleLauncher::ModuleLauncher;
  int beeps = 0;
  std::vector<std::pair<DWORD, WPARAM>> posted;  // thread, code

 protected:
  void Beep() override { ++beeps; }
  void PostToModule(DWORD threadId, WPARAM code, LPARAM lp) override {
    posted.emplace_back(threadId, code);
    ModuleLauncher::PostToModule(threadId, code, lp);
  }
};

class HostTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Create(L"HalvixLauncherTestHost", kAppName, WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100, nullptr));
    launcher = std::make_unique<TestLauncher>(host.hwnd(), host.diag, testsupport::SuiteDir(), kAppName);
    host.launcher = launcher.get();
  }
  void TearDown() override {
    // Whatever a test left running ends here.
    for (auto& r : launcher->Records()) ::TerminateProcess(r->process, 0);
    launcher->CloseAll();
    host.launcher = nullptr;
  }
  // Waits for the DiagDone of a process.
  bool WaitDone(DWORD pid, WPARAM* result) {
    bool got = testsupport::PumpUntil([&] {
      for (auto& d : host.done) if ((DWORD)d.second == pid) return true;
      return false;
    }, 60000);
    for (auto& d : host.done) if ((DWORD)d.second == pid) *result = d.first;
    return got;
  }
  HostWindow host;
  std::unique_ptr<TestLauncher> launcher;
};


inline bool WaitDead(HANDLE process, DWORD ms) { return ::WaitForSingleObject(process, ms) == WAIT_OBJECT_0; }
