// Strevan's runner and pages in a window of the test's own: the check list
// and its settings, -Check, the Information page's requests (it waits only
// for a request that went out), and a run whose testers are missing (this
// test's folder holds none).
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>

#include "appkit/registry.h"
#include "ctlfw/resource_ids.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "runner.h"
#include "testsupport/controls.h"
#include "testsupport/fakeinfo.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using testsupport::FakeInfoServer;

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Strevan\\Setting";

class StrevanPages : public ::testing::Test {
 protected:
  testsupport::KeyAside aside{kKey, L"Software\\Kyt\\TestAside\\Strevan"};
  void SetUp() override {
    host = ctltest::CreateHostWindow(640, 480);
  }
  void TearDown() override {
    runner.Cleanup();
    server.reset();
    ::DestroyWindow(host);
    ::DeleteFileW(testsupport::TestBinDir().append(L"KytPORT.LOG").c_str());
  }
  void Set(const wchar_t* name, DWORD v) { appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, v); }
  DWORD Get(const wchar_t* name) { return appkit::RegReadDword(HKEY_CURRENT_USER, kKey, name, 0xDEAD); }
  HWND TestItem(int id) { return ::GetDlgItem(runner.GetSheet()->Test()->hwnd(), id); }
  static void Pump(DWORD ms) { testsupport::PumpUntil([] { return false; }, ms); }

  HWND host = nullptr;
  // The machine's COM ports, or none at all.
  struct Runner : CStrevanRunner {
    bool noComPort = false;
    bool AnyComPortOpens() const override { return !noComPort && CStrevanRunner::AnyComPortOpens(); }
  } runner;
  std::unique_ptr<FakeInfoServer> server;
};

}  // namespace

TEST_F(StrevanPages, CheckListSettingsAndCheckSwitch) {
  Set(L"bLPTLoopback2", 1);
  Set(L"bComLoopback", 1);
  ASSERT_TRUE(runner.Init(host, ""));
  ctlfw::CTest* sheet = runner.GetSheet();
  EXPECT_EQ(ctltest::SheetTabs(sheet->hwnd()), (std::vector<std::wstring>{L"Information", L"Test"}));
  EXPECT_EQ(sheet->ActiveIndex(), 1);
  EXPECT_EQ(runner.Title(), "I/O Ports Test");
  EXPECT_EQ(runner.BaseName(), "KytPORT");
  EXPECT_EQ(runner.MaxLoop(), 100);

  std::vector<std::wstring> rows = testsupport::ListBoxLines(TestItem(IDC_TEST_CHECKLIST));
  ASSERT_EQ(rows.size(), 13u);
  EXPECT_EQ(rows[2], L"Print Port External Loopback Test (Control + Data)");
  EXPECT_EQ(rows[5], L"");
  EXPECT_EQ(rows[12], L"ports. Refer to the information page for the port configuratioins.");
  std::vector<LRESULT> data;
  for (int i = 0; i < 6; ++i) data.push_back(::SendMessageW(TestItem(IDC_TEST_CHECKLIST), LB_GETITEMDATA, i, 0));
  EXPECT_EQ(data, (std::vector<LRESULT>{0x81, 0x80, 0x81, 0x81, 0x81, 0}));
  runner.Cleanup();
  EXPECT_EQ(Get(L"bLPTLoopback2"), 1u);
  EXPECT_EQ(Get(L"MaxLoop"), 100u);
  EXPECT_EQ(Get(L"bGame"), 0u);

  // A quick check runs no external loopback test, and leaves the choices alone.
  ASSERT_TRUE(runner.Init(host, "-Check -AutoRun"));
  EXPECT_EQ(ctltest::SheetTabs(runner.GetSheet()->hwnd()), (std::vector<std::wstring>{L"Test"}));
  EXPECT_EQ(runner.Setting("bLPTLoopback2"), 0);
  EXPECT_EQ(runner.Setting("bComLoopback"), 0);
  EXPECT_EQ(runner.Setting("bLPT"), 1);
  runner.Cleanup();
  EXPECT_EQ(Get(L"bLPTLoopback2"), 1u);
  EXPECT_EQ(Get(L"bComLoopback"), 1u);
}

TEST_F(StrevanPages, InformationPageWaitsOnlyForARequestThatWentOut) {
  // The suite directory the server publishes, there before the server runs.
  const wchar_t kServerKey[] = L"Software\\Qev\\Quorrel\\Setting";
  std::wstring saved = appkit::RegReadString(HKEY_CURRENT_USER, kServerKey, L"ModulePath", L"");
  appkit::RegWriteString(HKEY_CURRENT_USER, kServerKey, L"ModulePath", testsupport::TempDir());
  ASSERT_TRUE(runner.Init(host, ""));
  if (saved.empty()) ::RegDeleteKeyValueW(HKEY_CURRENT_USER, kServerKey, L"ModulePath");
  else appkit::RegWriteString(HKEY_CURRENT_USER, kServerKey, L"ModulePath", saved);
  ctlfw::CTest* sheet = runner.GetSheet();
  ctlfw::CTestInfo* info = sheet->InfoPage();
  // No server: nothing is posted, the page does not wait and can be left.
  ASSERT_TRUE(sheet->SetActivePage(0));
  EXPECT_FALSE(info->Waiting());
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(info->hwnd(), IDC_INFO_LOADING)));
  EXPECT_TRUE(sheet->SetActivePage(1));

  server = std::make_unique<FakeInfoServer>(testsupport::TempDir(), FakeInfoServer::Mode::NeverReply);
  ASSERT_TRUE(server->Ok());
  FakeInfoServer::Request r{};
  for (int activation = 0; activation < 2; ++activation) {
    ASSERT_TRUE(sheet->SetActivePage(0));
    ASSERT_TRUE(server->WaitForRequest(5000, &r)) << "every activation asks";
    EXPECT_EQ(r.category, 6u);
    EXPECT_TRUE(r.reuse);
    EXPECT_EQ(r.client, info->hwnd());
    EXPECT_TRUE(info->Waiting());
    EXPECT_FALSE(sheet->SetActivePage(1)) << "left only once the answer is in";
    // The server's end of the wait.
    ::SendMessageW(info->hwnd(), sheet->QuorrelMessage(), 102, 6);
    EXPECT_FALSE(info->Waiting());
    EXPECT_TRUE(sheet->SetActivePage(1));
  }
}

TEST_F(StrevanPages, MissingTestersFailTheirGroupAndTheRunCountsOne) {
  ASSERT_TRUE(runner.Init(host, "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  EXPECT_FALSE(runner.DoTest()) << "a run is on its way";
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !runner.IsRunning(); }, 60000));
  Pump(300);
  std::vector<std::wstring> lines = testsupport::ListBoxLines(TestItem(IDC_TEST_RESULTS));
  ASSERT_GE(lines.size(), 4u);
  std::wstring dir = testsupport::TestBinDir();
  EXPECT_EQ(lines[0], L"A necessary file or module doesn't exist.(" + dir + L"LANVET.PIF)");
  EXPECT_EQ(lines[1], L"");
  // The serial group: no tester either way (or no port at all).
  bool noTester = std::find(lines.begin(), lines.end(),
                            L"A necessary file or module doesn't exist.(" + dir + L"KOPREL.PIF)") != lines.end();
  bool noPort = std::find(lines.begin(), lines.end(), L"No serial port or all ports are already opened !") != lines.end();
  EXPECT_TRUE(noTester != noPort);
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"Found Error(s)."), lines.end());
  EXPECT_EQ(lines.back(), L"");
  EXPECT_EQ(testsupport::GetText(TestItem(IDC_TEST_STARTSTOP)), L"&Start");
  std::string log = testsupport::ReadFileBytes(dir + L"KytPORT.LOG");
  EXPECT_NE(log.find("I/O Ports Test"), std::string::npos) << log;
  EXPECT_NE(log.find("LANVET.PIF)"), std::string::npos) << log;
}

TEST_F(StrevanPages, NoComPortCountsAnErrorEvenWithNoTestChosen) {
  runner.noComPort = true;
  Set(L"bLPT", 0);
  Set(L"bCom", 0);
  // The control window: it records the WM_TESTDONE of the run.
  testsupport::MessageCatcher control;
  ASSERT_TRUE(runner.Init(control.hwnd(), "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !runner.IsRunning(); }, 60000));
  testsupport::MessageCatcher::Caught done{};
  ASSERT_TRUE(control.WaitFor(suite::WM_TESTDONE, 10000, &done));
  EXPECT_EQ(done.wp, 1u) << "one error";
  std::vector<std::wstring> lines = testsupport::ListBoxLines(TestItem(IDC_TEST_RESULTS));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 4),
            (std::vector<std::wstring>{L"Serial Port Test:(3F8/2F8/3E8/2E8)",
                                       L"No serial port or all ports are already opened !", L"", L"No Test Selected !!!"}));
  std::string log = testsupport::ReadFileBytes(testsupport::TestBinDir() + L"KytPORT.LOG");
  EXPECT_NE(log.find("No Test Selected !!!"), std::string::npos) << log;
  runner.Cleanup();  // before its control window goes
}
