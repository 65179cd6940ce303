// netrick.exe end to end: ping and trace of 127.0.0.1 on the NT family, and
// the tune-up page under Wine's Windows 98 setting for the program, over
// adapter keys this test plants in the prefix's registry.
#include <gtest/gtest.h>
#include <windows.h>

#include <regex>

#include "appkit/registry.h"
#include "appkit/text.h"
#include <commctrl.h>

#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kTitle[] = L"TCP/IP Tool";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\netrick.exe";

class NetrickRun {
 public:
  explicit NetrickRun(bool win98) {
    if (win98) appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98");
    else appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    EXPECT_TRUE(p.Start(SuitePath(L"netrick.exe"))) << appkit::Narrow(p.LastError());
    sheet = WaitForWindow(kTitle, L"#32770", p.Pid(), 30000);
    EXPECT_NE(sheet, nullptr) << "no sheet; the program " << (p.Running() ? "runs" : "has ended")
                              << ", exit code " << p.ExitCode();
  }
  ~NetrickRun() {
    if (p.Running()) p.Kill();
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
  }
  HWND Item(int id) const { return FindChildById(sheet, id); }
  HWND Page(int id) const { return ::GetParent(Item(id)); }
  // Ends the sheet with a button and waits for the program to end.
  bool Close(int button) {
    ::PostMessageW(sheet, WM_COMMAND, button, 0);
    return p.WaitExit(30000);
  }
  Process p;
  HWND sheet = nullptr;
};

int TabCount(HWND sheet) {
  HWND tab = FindChild(sheet, L"SysTabControl32");
  return tab ? (int)::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) : -1;
}

// Runs a ping or trace of `host` and waits until Start is enabled again.
std::vector<std::wstring> RunPing(NetrickRun& run, const std::wstring& host, bool trace) {
  ::SendMessageW(run.Item(1030), WM_SETTEXT, 0, (LPARAM)host.c_str());
  ::SendMessageW(run.Item(1027), BM_SETCHECK, trace ? BST_UNCHECKED : BST_CHECKED, 0);
  ::SendMessageW(run.Item(1028), BM_SETCHECK, trace ? BST_CHECKED : BST_UNCHECKED, 0);
  // Sent, not posted: once the click has been handled, Start is disabled
  // until the run ends. (A run on the loopback may be over before a poll
  // could see the button disabled.)
  HWND start = run.Item(1029);
  ::SendMessageW(run.Page(1029), WM_COMMAND, MAKEWPARAM(1029, BN_CLICKED), (LPARAM)start);
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowEnabled(start) != FALSE; }, 60000));
  return ListBoxLines(run.Item(1026));
}

}  // namespace

TEST(Netrick, PingAndTraceOfTheLoopback) {
  NetrickRun run(false);
  ASSERT_NE(run.sheet, nullptr);
  EXPECT_EQ(TabCount(run.sheet), 1);
  EXPECT_NE(run.Item(1030), nullptr);  // the ping page
  EXPECT_EQ(run.Item(1000), nullptr);  // no tune-up page

  std::vector<std::wstring> lines = RunPing(run, L"  127.0.0.1 ", false);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], L"Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  const std::wregex reply(L"Reply from 127\\.0\\.0\\.1: bytes=32 time=[0-9]+ ms TTL=[0-9]+");
  for (int i = 1; i <= 4; ++i) EXPECT_TRUE(std::regex_match(lines[i], reply)) << appkit::Narrow(lines[i]);
  EXPECT_EQ(lines[5], L"");

  // The loopback answers the first hop: the trace ends there.
  lines = RunPing(run, L"127.0.0.1", true);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], L"Pinging 127.0.0.1 [127.0.0.1] with 32 bytes of data:");
  EXPECT_TRUE(std::regex_match(lines[1], std::wregex(L"Reply from 127\\.0\\.0\\.1: bytes=32 TTL=[0-9]+")))
      << appkit::Narrow(lines[1]);
  EXPECT_EQ(lines[2], L"");

  // "localhost" is looked up as a name (the hosts file, no traffic out).
  lines = RunPing(run, L"localhost", false);
  ASSERT_EQ(lines.size(), 6u);
  EXPECT_EQ(lines[0], L"Pinging localhost [127.0.0.1] with 32 bytes of data:");

  EXPECT_TRUE(run.Close(IDCANCEL));
  EXPECT_EQ(run.p.ExitCode(), 0u);
}

TEST(Netrick, BlankHostAsksForAnAddress) {
  NetrickRun run(false);
  ASSERT_NE(run.sheet, nullptr);
  ::SendMessageW(run.Item(1030), WM_SETTEXT, 0, (LPARAM)L"   ");
  ClickButton(run.Page(1029), 1029);
  HWND box = WaitForWindow(kTitle, L"#32770", run.p.Pid(), 10000);
  for (int i = 0; i < 100 && box == run.sheet; ++i) {
    ::Sleep(50);
    box = nullptr;
    for (HWND h = ::FindWindowW(L"#32770", kTitle); h; h = ::FindWindowExW(nullptr, h, L"#32770", kTitle))
      if (h != run.sheet) box = h;
  }
  ASSERT_NE(box, nullptr);
  EXPECT_NE(FindChild(box, L"Static", L"Please enter host address."), nullptr);
  ::PostMessageW(box, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitWindowGone(box, 10000));
  EXPECT_TRUE(ListBoxLines(run.Item(1026)).empty());
  EXPECT_TRUE(run.Close(IDCANCEL));
}

// Closing the sheet while a run is under way ends the worker and the
// program.
TEST(Netrick, ClosingDuringAPingEndsTheProgram) {
  NetrickRun run(false);
  ASSERT_NE(run.sheet, nullptr);
  ::SendMessageW(run.Item(1030), WM_SETTEXT, 0, (LPARAM)L"127.0.0.1");
  ::SendMessageW(run.Item(1027), BM_SETCHECK, BST_CHECKED, 0);
  ClickButton(run.Page(1029), 1029);
  ::PostMessageW(run.sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(run.p.WaitExit(30000));
  EXPECT_EQ(run.p.ExitCode(), 0u);
}

namespace {

const wchar_t kAdapterKey[] = L"Enum\\Root\\NetTrickTest";
const wchar_t kNetworkKey[] = L"Enum\\Network\\MSTCP\\NetTrick0000";
const wchar_t kClassKey[] = L"System\\CurrentControlSet\\Services\\Class\\NetTrick";
const wchar_t kVxdKey[] = L"System\\CurrentControlSet\\Services\\Vxd\\MSTCP";

// One adapter bound to the stack with MTU 1500, and a stack key holding
// only the keep-alive time.
class TuneupKeys {
 public:
  TuneupKeys() {
    Clear();
    appkit::RegKey k;
    k.Create(HKEY_LOCAL_MACHINE, std::wstring(kAdapterKey) + L"\\0000");
    k.SetString(L"Class", L"Net");
    k.SetString(L"DeviceDesc", L"Loopback Test Adapter");
    appkit::RegKey b;
    b.Create(HKEY_LOCAL_MACHINE, std::wstring(kAdapterKey) + L"\\0000\\Bindings");
    b.SetString(L"MSTCP\\NetTrick0000", L"");
    b.SetString(L"NETBEUI\\0001", L"");
    appkit::RegWriteString(HKEY_LOCAL_MACHINE, kNetworkKey, L"Driver", L"NetTrick\\0000");
    appkit::RegWriteString(HKEY_LOCAL_MACHINE, std::wstring(kClassKey) + L"\\0000", L"MaxMTU", L"1500");
    appkit::RegWriteString(HKEY_LOCAL_MACHINE, kVxdKey, L"SessionKeepAlive", L"3600000");
  }
  ~TuneupKeys() { Clear(); }
  static void Clear() {
    for (const wchar_t* k : {kAdapterKey, kNetworkKey, kClassKey, kVxdKey}) appkit::RegDeleteTree(HKEY_LOCAL_MACHINE, k);
  }
  // Every value of the stack key and the adapter's class key, as text.
  static std::wstring Snapshot() {
    std::wstring out;
    for (const std::wstring& key : {std::wstring(kVxdKey), std::wstring(kClassKey) + L"\\0000"}) {
      appkit::RegKey k;
      if (!k.Open(HKEY_LOCAL_MACHINE, key)) continue;
      for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD len = 256;
        if (::RegEnumValueW(k.get(), i, name, &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        std::wstring v;
        k.GetString(name, &v);
        out += std::wstring(name) + L"=" + v + L";";
      }
    }
    return out;
  }
};

}  // namespace

TEST(Netrick, Windows98TuneupShowsAndWritesBackItsValues) {
  TuneupKeys keys;
  const std::wstring before = TuneupKeys::Snapshot();
  {
    NetrickRun run(true);
    ASSERT_NE(run.sheet, nullptr);
    EXPECT_EQ(TabCount(run.sheet), 2);
    EXPECT_EQ(GetText(run.Page(1000)), L"Tune-up");  // the first page
    EXPECT_EQ(GetText(run.Item(1000)), L"Loopback Test Adapter");
    EXPECT_EQ(GetText(run.Item(1013)), L"1500");
    EXPECT_EQ(GetText(run.Item(1022)), L"1460");
    EXPECT_EQ(GetText(run.Item(1024)), L"5840");  // no window stored: 4 x the MSS
    EXPECT_EQ(GetText(run.Item(1025)), L"4 (Recommended)");
    EXPECT_EQ(GetText(run.Item(1016)), L"64");
    EXPECT_EQ(GetText(run.Item(1017)), L"60");
    EXPECT_EQ(::SendMessageW(run.Item(1011), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(::SendMessageW(run.Item(1012), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    // Changed, then left with Cancel: nothing is written.
    ::SendMessageW(run.Item(1012), BM_SETCHECK, BST_CHECKED, 0);
    EXPECT_TRUE(run.Close(IDCANCEL));
  }
  EXPECT_EQ(TuneupKeys::Snapshot(), before);
  {
    NetrickRun run(true);
    ASSERT_NE(run.sheet, nullptr);
    // "90 min", Black Hole Detection on, MTU 576 (which gives MSS 536).
    ::SendMessageW(run.Item(1017), CB_SETCURSEL, 2, 0);
    ::SendMessageW(run.Item(1012), BM_SETCHECK, BST_CHECKED, 0);
    ::SendMessageW(run.Item(1013), CB_SETCURSEL, 1, 0);
    ::SendMessageW(run.Page(1013), WM_COMMAND, MAKEWPARAM(1013, CBN_SELCHANGE), (LPARAM)run.Item(1013));
    EXPECT_EQ(GetText(run.Item(1022)), L"536");
    EXPECT_TRUE(run.Close(IDOK));
  }
  // Only what changed: the window, the time to live and path-MTU discovery
  // stay unwritten.
  EXPECT_EQ(TuneupKeys::Snapshot(), L"PMTUBlackHoleDetect=1;SessionKeepAlive=5400000;MaxMTU=576;");
  {
    NetrickRun run(true);
    ASSERT_NE(run.sheet, nullptr);
    EXPECT_EQ(GetText(run.Item(1013)), L"576");
    EXPECT_EQ(GetText(run.Item(1017)), L"90");
    EXPECT_EQ(GetText(run.Item(1024)), L"2144");
    EXPECT_EQ(GetText(run.Item(1025)), L"4 (Recommended)");
    EXPECT_EQ(::SendMessageW(run.Item(1012), BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_TRUE(run.Close(IDOK));
  }
  EXPECT_EQ(TuneupKeys::Snapshot(), L"PMTUBlackHoleDetect=1;SessionKeepAlive=5400000;MaxMTU=576;");
}
