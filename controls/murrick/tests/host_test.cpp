// MURRICK.OCX registered with regsvr32 and driven by automation clients
// against the real information server (the test host that starts it as the
// Quorrel control does): a C++ container that creates it by ProgID, a
// VBScript under cscript, and a host program under Windows NT and under
// Wine's Windows 98 setting.
#include <gtest/gtest.h>

#include <windows.h>
#include <ole2.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "suite/controls.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using testsupport::Process;

namespace {

const suite::ControlIdentity& M() { return suite::Control(suite::kCtlMurrick); }


std::vector<std::string> Prefixed(const std::vector<std::string>& lines, const std::string& key) {
  std::vector<std::string> out;
  for (const auto& l : lines)
    if (l.rfind(key, 0) == 0) out.push_back(l.substr(key.size()));
  return out;
}

const std::vector<std::string> kNtTabs = {"Summary", "Memory",  "Processor", "BIOS",    "Video",
                                          "Audio",   "Hard Drive", "Floppy", "Modem",   "CD-ROM",
                                          "Network", "Printer", "Software"};
const std::vector<std::string> k9xTabs = {"Summary", "Memory",  "Processor", "BIOS",   "PCI",    "PNP",
                                          "I/O Port", "Video",  "Audio",     "Hard Drive", "Floppy", "Modem",
                                          "CD-ROM",  "Network", "Printer",   "Software"};

class MurrickHost : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(testsupport::RunRegsvr32(testsupport::SuitePath(L"MURRICK.OCX")), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    // The real server, in a process of its own; it publishes its directory.
    ASSERT_TRUE(server.Start(testsupport::TestBinDir() + L"quorrel_host.exe"));
    ASSERT_TRUE(server.WaitIdle(10000));
    serverWindow = testsupport::WaitForWindow(suite::kInfoServerTitle, L"", server.Pid(), 10000);
    ASSERT_NE(serverWindow, nullptr);
    ::DeleteFileW((testsupport::TestBinDir() + L"KytSUM.IFO").c_str());
  }
  void TearDown() override {
    HWND w = testsupport::FindTopWindow(L"Quorrel test host", L"", server.Pid());
    if (w) ::PostMessageW(w, WM_CLOSE, 0, 0);
    server.WaitExitPumping(15000);
  }

  // Runs the host program with its report file; `win98` under Wine's
  // Windows 98 setting for that program.
  std::vector<std::string> RunViewer(bool win98) {
    const wchar_t* key = L"Software\\Wine\\AppDefaults\\murrick_viewer.exe";
    if (win98) appkit::RegWriteString(HKEY_CURRENT_USER, key, L"Version", L"win98");
    std::wstring out = testsupport::TempDir() + L"murrick_viewer.txt";
    ::DeleteFileW(out.c_str());
    Process viewer;
    bool started = viewer.Start(testsupport::TestBinDir() + L"murrick_viewer.exe", L"\"" + out + L"\"");
    bool ended = started && viewer.WaitExitPumping(60000);
    if (win98) appkit::RegDeleteTree(HKEY_CURRENT_USER, key);
    EXPECT_TRUE(ended);
    EXPECT_EQ(viewer.ExitCode(), 0u);
    return testsupport::SplitLines(testsupport::ReadFileBytes(out));
  }

  Process server;
  HWND serverWindow = nullptr;
};

TEST_F(MurrickHost, ACxxContainerCreatesItByProgIdSizesItAndReadsTheServersLines) {
  wchar_t clsid[64];
  ::StringFromGUID2(M().clsid, clsid, 64);
  EXPECT_EQ(appkit::RegReadString(HKEY_LOCAL_MACHINE, L"Software\\Classes\\MURRICK.MurrickCtrl.1\\CLSID", L"", L""),
            clsid);
  HWND window = ctltest::CreateHostWindow(700, 560);
  appkit::AxHost host;
  ASSERT_EQ(host.Create(M().progId, window, RECT{0, 0, 640, 480}, 1001), S_OK);
  EXPECT_TRUE(ctltest::Call(host, suite::kDispInit, {""}));
  EXPECT_FALSE(ctltest::Call(host, suite::kDispInit, {""})) << "one sheet per module";
  EXPECT_TRUE(ctltest::Call(host, suite::kDispSetProp, {"size", "300 200"}));
  HWND sheet = ::GetWindow(host.hwnd(), GW_CHILD);
  RECT r = ctltest::RectInParent(sheet);
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right - r.left, 456);
  EXPECT_EQ(r.bottom - r.top, 236);
  EXPECT_FALSE(ctltest::Call(host, suite::kDispSetProp, {"Size", "640"}));
  EXPECT_TRUE(ctltest::Call(host, suite::kDispSetProp, {"Size", "640 480"}));
  EXPECT_EQ(ctltest::SheetTabs(sheet).size(), 13u);
  EXPECT_EQ(ctltest::GetProp(host, "Title"), "System Information");

  // The Summary page fills from the server's file.
  int count = 0;
  testsupport::PumpUntil([&] { return (count = std::atoi(ctltest::GetProp(host, "count").c_str())) > 0; }, 30000);
  // The reader may still be adding lines: the list is whole once its count
  // stays the same for a moment.
  testsupport::PumpUntil([&] {
    int before = count;
    testsupport::PumpUntil([] { return false; }, 300);
    return (count = std::atoi(ctltest::GetProp(host, "count").c_str())) == before;
  }, 30000);
  ASSERT_GT(count, 2);
  EXPECT_EQ(ctltest::GetProp(host, "COUNT"), std::to_string(count));
  std::string first = ctltest::GetProp(host, "line:0");
  EXPECT_EQ(first.rfind("[Last Updated: ", 0), 0u) << first;
  EXPECT_EQ(first.substr(first.size() - 2), "]\n");
  std::string summary = testsupport::ReadFileBytes(testsupport::TestBinDir() + L"KytSUM.IFO");
  std::string last = ctltest::GetProp(host, "line:" + std::to_string(count - 1));
  EXPECT_NE(summary.find(last.substr(0, 10)), std::string::npos) << last << "\n" << summary;
  EXPECT_EQ(ctltest::GetProp(host, "line:" + std::to_string(count)), "");
  EXPECT_EQ(ctltest::GetProp(host, "line:x"), "");
  EXPECT_EQ(ctltest::GetProp(host, "width"), "");
  // Nothing to run, nothing running.
  EXPECT_FALSE(ctltest::Call(host, suite::kDispDoTest, {""}));
  EXPECT_FALSE(ctltest::Call(host, suite::kDispIsRunning));
  EXPECT_FALSE(ctltest::Call(host, suite::kDispAbort));
  host.Destroy();
  ::DestroyWindow(window);
}

TEST_F(MurrickHost, AVbScriptUnderCscriptDrivesItByProgId) {
  std::wstring dir = testsupport::TempDir();
  std::wstring script = dir + L"murrick_test.vbs", out = dir + L"murrick_vbs.txt";
  {
    std::ofstream vbs(script.c_str(), std::ios::binary);
    vbs << "Set m = CreateObject(\"MURRICK.MurrickCtrl.1\")\r\n"
           "WScript.Echo \"init=\" & m.Init(\"\")\r\n"
           "WScript.Echo \"size=\" & m.SetProp(\"size\", \"640 480\")\r\n"
           "WScript.Echo \"short=\" & m.SetProp(\"Size\", \"640\")\r\n"
           "WScript.Echo \"title=\" & m.GetProp(\"Title\")\r\n"
           "Set sh = CreateObject(\"WScript.Shell\")\r\n"
           "n = 0\r\n"
           "last = \"\"\r\n"
           "Do\r\n"
           "  c = m.GetProp(\"count\")\r\n"
           "  If c <> \"\" And c <> \"0\" And c = last Then Exit Do\r\n"
           "  last = c\r\n"
           "  sh.Popup \"waiting\", 1, \"murrick test wait\", 0\r\n"
           "  n = n + 1\r\n"
           "Loop While n < 60\r\n"
           "WScript.Echo \"count=\" & c\r\n"
           "For i = 0 To CInt(c) - 1\r\n"
           "  WScript.Echo \"line=\" & Replace(m.GetProp(\"line:\" & i), vbLf, \"\")\r\n"
           "Next\r\n"
           "WScript.Echo \"past=[\" & m.GetProp(\"line:\" & c) & \"]\"\r\n"
           "WScript.Echo \"dotest=\" & m.DoTest(\"\")\r\n";
  }
  ::DeleteFileW(out.c_str());
  wchar_t sys[MAX_PATH] = {};
  ::GetSystemDirectoryW(sys, MAX_PATH);
  Process cmd;
  ASSERT_TRUE(cmd.Start(std::wstring(sys) + L"\\cmd.exe", L"/c cscript.exe //nologo \"" + script + L"\" > \"" + out +
                                                               L"\" 2>&1"));
  ASSERT_TRUE(cmd.WaitExitPumping(60000));
  std::vector<std::string> lines = testsupport::SplitLines(testsupport::ReadFileBytes(out));
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(Prefixed(lines, "init="), std::vector<std::string>{"True"});
  EXPECT_EQ(Prefixed(lines, "size="), std::vector<std::string>{"True"});
  EXPECT_EQ(Prefixed(lines, "short="), std::vector<std::string>{"False"});
  EXPECT_EQ(Prefixed(lines, "title="), std::vector<std::string>{"System Information"});
  std::vector<std::string> count = Prefixed(lines, "count=");
  ASSERT_EQ(count.size(), 1u) << testsupport::ReadFileBytes(out);
  int n = std::atoi(count[0].c_str());
  EXPECT_GT(n, 2);
  std::vector<std::string> listed = Prefixed(lines, "line=");
  ASSERT_EQ((int)listed.size(), n);
  EXPECT_EQ(listed[0].rfind("[Last Updated: ", 0), 0u) << listed[0];
  EXPECT_EQ(Prefixed(lines, "past="), std::vector<std::string>{"[]"});
  EXPECT_EQ(Prefixed(lines, "dotest="), std::vector<std::string>{"False"});
}

TEST_F(MurrickHost, ThirteenPagesOnNtAndSixteenUnderWindows98InOrder) {
  std::vector<std::string> nt = RunViewer(false);
  EXPECT_EQ(Prefixed(nt, "tab="), kNtTabs);
  std::vector<std::string> count = Prefixed(nt, "count=");
  ASSERT_EQ(count.size(), 1u);
  EXPECT_GT(std::atoi(count[0].c_str()), 2);

  std::vector<std::string> nine = RunViewer(true);
  EXPECT_EQ(Prefixed(nine, "tab="), k9xTabs);
  count = Prefixed(nine, "count=");
  ASSERT_EQ(count.size(), 1u);
  EXPECT_GT(std::atoi(count[0].c_str()), 2);
}

}  // namespace
