// The port test in Halvix's right-hand pane (Halvix on Windows 98, where it
// hosts the port control): a run whose tester hangs, and Halvix closed while
// it waits. The run ends (the tester is stopped and the run's log written)
// and Halvix ends cleanly, long before the tester's own limit.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "appkit/registry.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Strevan\\Setting";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\halvix.exe";
const wchar_t kFrameClass[] = L"HalvixMainFrame";
constexpr UINT kPane = 0xE900;  // first pane of a splitter
constexpr UINT kPaneRow1 = 0xE910;
constexpr UINT kPaneCol1 = 0xE901;
constexpr UINT kSelectPage = 1126;  // the frame's page switch (wParam: the page command)
constexpr UINT kIoPortPage = 1054;
constexpr int kControlId = 1001;  // the control in the module view

std::string Unix(const std::string& text) {
  std::string out;
  for (char c : text)
    if (c != '\r') out += c;
  return out;
}

HWND Child(HWND parent, UINT id) { return parent ? ::GetDlgItem(parent, static_cast<int>(id)) : nullptr; }

class StrevanInHalvix : public ::testing::Test {
 protected:
  KeyAside strevanKey{kKey, L"Software\\Kyt\\TestAside\\Strevan"};
  KeyAside halvixKey{L"Software\\Qev\\Halvix", L"Software\\Kyt\\TestAside\\HalvixForStrevan"};

  void SetUp() override {
    dir_ = TempDir() + L"strevan_halvix_" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    RemoveTree(dir_);
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll", L"STREVAN.OCX"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
    // The printer tester of this copy never ends.
    ASSERT_TRUE(::CopyFileW((TestBinDir() + L"strevan_fake_tester.exe").c_str(), (dir_ + L"LANVET.EXE").c_str(),
                            FALSE));
    ASSERT_EQ(RegisterControl(dir_ + L"STREVAN.OCX"), 0);
    registered_ = true;
    ASSERT_EQ(RegisterControl(SuitePath(L"QUORREL.OCX")), 0);
    ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98"));
    ::SetEnvironmentVariableA("HALVIX_FAKE_LANVET", "hang");
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"bLPT", 1);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"bCom", 0);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"bGame", 0);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"MaxLoop", 3000);  // 10 minutes
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  void TearDown() override {
    if (p_.Running()) p_.Kill();
    testsupport::EndProcessById(testerPid_);
    ::SetEnvironmentVariableA("HALVIX_FAKE_LANVET", nullptr);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    if (registered_) {
      EXPECT_EQ(RegisterControl(SuitePath(L"STREVAN.OCX")), 0);
    }
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kKey);
    RemoveTree(dir_);
  }

  HWND StartMain() {
    if (!p_.Start(dir_ + L"halvix.exe", L"", dir_)) return nullptr;
    return WaitForMainWindow(p_.Pid(), p_.Handle(), kFrameClass, 30000);
  }

  std::wstring dir_;
  bool registered_ = false;
  Process p_;
  DWORD testerPid_ = 0;
};

}  // namespace

TEST_F(StrevanInHalvix, ClosingHalvixDuringARunEndsTheRunAndHalvix) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  // The module view sits in the upper pane of the right-hand splitter once
  // the port page is chosen.
  HWND s4 = Child(Child(Child(Child(main, kPane), kPaneCol1), kPaneRow1), kPaneCol1);
  ASSERT_NE(s4, nullptr);
  ::PostMessageW(main, kSelectPage, kIoPortPage, 0);
  HWND control = nullptr, start = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        HWND module = Child(s4, kPane);
        control = Child(module, kControlId);
        start = control ? FindChild(control, L"Button", L"&Start") : nullptr;
        return start != nullptr;
      },
      30000))
      << "the port control in the pane";
  ASSERT_TRUE(ClickButton(start));
  ASSERT_TRUE(PumpUntil([&] { return !ReadFileBytes(dir_ + L"LANVET.PID").empty(); }, 30000)) << "the tester started";
  testerPid_ = (DWORD)std::stoul("0" + ReadFileBytes(dir_ + L"LANVET.PID"));
  ASSERT_TRUE(PumpUntil([&] { return GetText(start) == L"&Stop"; }, 10000));

  DWORD asked = ::GetTickCount();
  ::PostMessageW(main, WM_CLOSE, 0, 0);
  // Far below the tester's ten minutes. (Halvix tells every window that
  // the screen saver is back: this test's own windows answer.)
  ASSERT_TRUE(p_.WaitExitPumping(120000)) << "Halvix ended; its windows:\n" << WindowsOf(p_.Pid());
  std::printf("Halvix closed %lu ms after it was asked to\n", ::GetTickCount() - asked);
  EXPECT_EQ(p_.ExitCode(), 0u);
  HANDLE tester = ::OpenProcess(SYNCHRONIZE, FALSE, testerPid_);
  EXPECT_TRUE(!tester || ::WaitForSingleObject(tester, 10000) == WAIT_OBJECT_0) << "the tester was ended";
  if (tester) ::CloseHandle(tester);
  // The run came to its end: its log tells that it was stopped.
  std::string log = Unix(ReadFileBytes(dir_ + L"KytPORT.LOG"));
  EXPECT_NE(log.find("Printer Port Test:\n\n===>Test aborts.\n"), std::string::npos) << log;
}

