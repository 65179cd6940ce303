// QUORREL.OCX: registration, the server it starts in its host's process
// (once per machine), and the server's end with the control that started it.
#include <gtest/gtest.h>

#include <ole2.h>

#include "infofile.h"
#include "suite/controls.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);

std::wstring RegDefault(const std::wstring& key) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf) - sizeof(wchar_t);
  if (::RegGetValueW(HKEY_CLASSES_ROOT, key.c_str(), nullptr, RRF_RT_REG_SZ, nullptr, buf, &size) != ERROR_SUCCESS)
    return {};
  return buf;
}

int ServerCount(DWORD* pid) {
  int n = 0;
  HWND w = nullptr;
  while ((w = ::FindWindowExW(nullptr, w, nullptr, suite::kInfoServerTitle))) {
    ++n;
    if (pid) ::GetWindowThreadProcessId(w, pid);
  }
  return n;
}

class QuorrelControl : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(RegisterControl(SuitePath(L"QUORREL.OCX")), 0); }
  void SetUp() override { ASSERT_EQ(ServerCount(nullptr), 0) << "a server of another test still runs"; }
};

}  // namespace

TEST_F(QuorrelControl, RegistersItsClassAndProgId) {
  const suite::ControlIdentity& id = suite::Control(suite::kCtlQuorrel);
  wchar_t clsid[64];
  ::StringFromGUID2(id.clsid, clsid, 64);
  EXPECT_EQ(RegDefault(L"QUORREL.QuorrelCtrl.1\\CLSID"), clsid);
  std::wstring server = RegDefault(std::wstring(L"CLSID\\") + clsid + L"\\InprocServer32");
  EXPECT_NE(server.find(L"QUORREL.OCX"), std::wstring::npos) << server.c_str();
  EXPECT_EQ(RegDefault(std::wstring(L"CLSID\\") + clsid), L"Quorrel Control");
}

TEST_F(QuorrelControl, ServerRunsInTheFirstControlsProcessOnly) {
  Process first, second;
  ASSERT_TRUE(first.Start(TestBinDir() + L"quorrel_host.exe", L"-Control"));
  ASSERT_TRUE(first.WaitIdle(10000));
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", first.Pid(), 10000);
  ASSERT_NE(server, nullptr) << "exit code " << first.ExitCode();
  // The files live beside the control, whatever the host's directory.
  EXPECT_EQ(infotest::ReadString(suite::kQuorrelSettingKey, suite::kModulePathValue), SuiteDir());

  ASSERT_TRUE(second.Start(TestBinDir() + L"quorrel_host.exe", L"-Control"));
  ASSERT_TRUE(second.WaitIdle(10000));
  ASSERT_NE(WaitForWindow(L"Quorrel test host", L"", second.Pid(), 10000), nullptr);
  DWORD pid = 0;
  EXPECT_EQ(ServerCount(&pid), 1);
  EXPECT_EQ(pid, first.Pid());

  MessageCatcher catcher;
  ::DeleteFileW(SuitePath(L"KytMEM.IFO").c_str());
  ASSERT_TRUE(::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), (LPARAM)0x80000001u));
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(catcher.WaitFor(kMsg, 20000, &reply));
  EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  EXPECT_EQ(reply.lp, 1);
  EXPECT_NE(infotest::ReadFileLocked(SuitePath(L"KytMEM.IFO")).find("\r\n@3Memory Utilization\r\n"), std::string::npos);

  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", second.Pid()), WM_CLOSE, 0, 0);
  ASSERT_TRUE(second.WaitExit(10000));
  EXPECT_TRUE(::IsWindow(server)) << "the second control leaves the server alone";
  ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", first.Pid()), WM_CLOSE, 0, 0);
  ASSERT_TRUE(first.WaitExit(10000));
  EXPECT_EQ(first.ExitCode(), 0u);
  EXPECT_EQ(ServerCount(nullptr), 0);
}

TEST_F(QuorrelControl, WhenTheServerIsGoneASurvivingControlStartsOneThatAnswers) {
  // However the server goes, a control that lives on starts a new one.
  const struct {
    const char* how;
    bool kill;  // else its window gets WM_CLOSE from outside
  } cases[] = {{"host killed", true}, {"window closed", false}};
  for (const auto& c : cases) {
    Process first, second;
    ASSERT_TRUE(first.Start(TestBinDir() + L"quorrel_host.exe", L"-Control"));
    HWND server = WaitForWindow(suite::kInfoServerTitle, L"", first.Pid(), 10000);
    ASSERT_NE(server, nullptr) << c.how;
    ASSERT_TRUE(second.Start(TestBinDir() + L"quorrel_host.exe", L"-Control"));
    ASSERT_NE(WaitForWindow(L"Quorrel test host", L"", second.Pid(), 10000), nullptr) << c.how;
    if (c.kill) {
      first.Kill();
      ASSERT_TRUE(first.WaitExit(10000)) << c.how;
    } else {
      ::PostMessageW(server, WM_CLOSE, 0, 0);
      ASSERT_TRUE(WaitWindowGone(server, 10000)) << c.how;
    }
    HWND again = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (again = ::FindWindowW(nullptr, suite::kInfoServerTitle)) != nullptr; }, 10000))
        << c.how << ": no server came back";
    EXPECT_EQ(ServerCount(nullptr), 1) << c.how;
    MessageCatcher catcher;
    ::DeleteFileW(SuitePath(L"KytMEM.IFO").c_str());
    ASSERT_TRUE(::PostMessageW(again, kMsg, reinterpret_cast<WPARAM>(catcher.hwnd()), 1));
    ASSERT_TRUE(catcher.WaitFor(kMsg, 20000)) << c.how;
    EXPECT_NE(infotest::ReadFileLocked(SuitePath(L"KytMEM.IFO")).find("\r\n@3Memory Utilization\r\n"), std::string::npos);
    for (Process* p : {&first, &second}) {
      if (!p->Running()) continue;
      ::PostMessageW(FindTopWindow(L"Quorrel test host", L"", p->Pid()), WM_CLOSE, 0, 0);
      ASSERT_TRUE(p->WaitExit(20000)) << c.how;
      EXPECT_EQ(p->ExitCode(), 0u) << c.how;
    }
    EXPECT_TRUE(PumpUntil([] { return ServerCount(nullptr) == 0; }, 5000)) << c.how;
  }
}

TEST_F(QuorrelControl, TwoControlsInOneProcessShareOneServer) {
  ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
  const CLSID& clsid = suite::Control(suite::kCtlQuorrel).clsid;
  IUnknown* a = nullptr;
  IUnknown* b = nullptr;
  ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&a)));
  DWORD pid = 0;
  EXPECT_EQ(ServerCount(&pid), 1);
  EXPECT_EQ(pid, ::GetCurrentProcessId());
  ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&b)));
  EXPECT_EQ(ServerCount(nullptr), 1);
  b->Release();
  EXPECT_EQ(ServerCount(nullptr), 1) << "only the control that started the server closes it";
  a->Release();
  EXPECT_EQ(ServerCount(nullptr), 0);
  // A control created afterwards starts a new one.
  ASSERT_TRUE(SUCCEEDED(::CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IUnknown, (void**)&a)));
  EXPECT_EQ(ServerCount(nullptr), 1);
  a->Release();
  EXPECT_EQ(ServerCount(nullptr), 0);
  ::OleUninitialize();
}
