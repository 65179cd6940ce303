// The DMI sheet end to end: a host starts the server as a control does; the
// server's commands show and hide the sheet, which has DMI.TXT written from
// this machine's SMBIOS table and shows its sections; the DMI check line
// reaches the BIOS file.
//
// Run by dmi_sysfs.sh in a mount namespace whose /sys/class/dmi/id holds
// known values (HALVIX_DMI_FAKE_SYSFS=1), the table Wine builds carries them.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdlib>

#include "appkit/text.h"
#include "dmitext.h"
#include "infofile.h"
#include "smbios.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;
using namespace infotest;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
const int kTabs = 3161, kList = 1037, kTitle = 1038, kCombo = 1051;

std::string ToCrLf(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\n') out += '\r';
    out += c;
  }
  return out;
}

// The dump this process makes of the same machine.
std::string OwnDump(bool check = false) {
  auto mem = quorrel::MakeMachinePhysicalMemory();
  std::string text;
  if (!mem->Open()) return text;
  quorrel::FormatSmbiosDump(*mem, check, false, &text);
  mem->Close();
  return ToCrLf(text);
}

class DmiSheet : public ::testing::Test {
 protected:
  void SetUp() override {
    SetDword(suite::kHalvixSettingKey, suite::kAutoRefreshValue, 1);
    ::DeleteFileW((TestBinDir() + L"DMI.TXT").c_str());
    ::DeleteFileW((TestBinDir() + L"PLUDOR.TXT").c_str());
    ASSERT_EQ(nullptr, FindTopWindow(suite::kInfoServerTitle)) << "a server of another test is still running";
    ASSERT_TRUE(host_.Start(TestBinDir() + L"quorrel_host.exe")) << host_.LastError().c_str();
    ASSERT_TRUE(host_.WaitIdle(10000));
    hostWindow_ = WaitForWindow(L"Quorrel test host", L"", host_.Pid(), 10000);
    server_ = WaitForWindow(suite::kInfoServerTitle, L"", host_.Pid(), 10000);
    ASSERT_NE(server_, nullptr);
  }
  void TearDown() override {
    if (host_.Running()) {
      ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
      EXPECT_TRUE(host_.WaitExit(20000));
      EXPECT_EQ(0u, host_.ExitCode());
    }
  }
  // The sheet window (it exists, hidden, from the server's start).
  HWND Sheet() { return FindTopWindow(L"DMI Information", L"", host_.Pid()); }
  bool WaitVisible(bool visible, DWORD ms = 10000) {
    return PumpUntil([&] { HWND s = Sheet(); return s && (::IsWindowVisible(s) != FALSE) == visible; }, ms);
  }
  // The visible page of the sheet.
  HWND ActivePage() {
    HWND sheet = Sheet();
    for (HWND c = ::GetWindow(sheet, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
      if (::IsWindowVisible(c) && FindChildById(c, kList)) return c;
    return nullptr;
  }
  bool Request(unsigned category) {
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(catcher_.hwnd()), (LPARAM)category);
    return catcher_.WaitFor(kMsg, 20000);
  }

  Process host_;
  HWND hostWindow_ = nullptr;
  HWND server_ = nullptr;
  MessageCatcher catcher_;
};

}  // namespace

TEST_F(DmiSheet, CommandsShowTheSheetOfThisMachinesTable) {
  HWND sheet = Sheet();
  ASSERT_NE(sheet, nullptr);
  EXPECT_FALSE(::IsWindowVisible(sheet));
  ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_SHOW_DMI);
  ASSERT_TRUE(WaitVisible(true));
  HWND tabs = FindChildById(sheet, kTabs);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) > 0; }, 10000));

  // DMI.TXT is this machine's table, as this process reads it too.
  std::string file = ReadFileBytes(TestBinDir() + L"DMI.TXT");
  std::string own = OwnDump();
  ASSERT_FALSE(own.empty());
  EXPECT_EQ(own, file);
  EXPECT_NE(file.find("[BIOS]\r\nBIOS Information\r\n"), std::string::npos);

  // One tab per kind of section; the first page shows its first instance.
  quorrel::DmiModel model;
  std::string status;
  ASSERT_TRUE(quorrel::ParseDmiLines(quorrel::SplitDmiText(file), &model, &status));
  EXPECT_EQ((LRESULT)model.sectionCount, ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  HWND page = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (page = ActivePage()) != nullptr; }, 5000));
  quorrel::DmiPageView view = quorrel::ShowDmiInstance(model, 0, 0);
  std::vector<std::wstring> expected;
  for (const std::string& l : view.lines) expected.push_back(appkit::Widen(l));
  EXPECT_EQ(expected, ListBoxLines(FindChildById(page, kList)));
  EXPECT_EQ(L"BIOS Information", GetText(FindChildById(page, kTitle)));
  EXPECT_EQ(view.instanceChoice, ::IsWindowVisible(FindChildById(page, kCombo)) != FALSE);

  // Hide and show by command and by the server's buttons (and the BIOS
  // page's "DMI Info" button, which posts 1050 to the server).
  ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_HIDE_DMI);
  EXPECT_TRUE(WaitVisible(false));
  ::PostMessageW(server_, WM_COMMAND, 1056, 0);
  EXPECT_TRUE(WaitVisible(true));
  ::PostMessageW(server_, WM_COMMAND, 1203, 0);
  EXPECT_TRUE(WaitVisible(false));
  ::PostMessageW(server_, WM_COMMAND, 1050, 0);
  EXPECT_TRUE(WaitVisible(true));

  // Closing the sheet only hides it.
  ::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
  EXPECT_TRUE(WaitVisible(false));
  EXPECT_TRUE(::IsWindow(sheet));

  if (const char* ms = std::getenv("HALVIX_DMI_SCREENSHOT_MS")) {
    ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_SHOW_DMI);
    WaitVisible(true);
    PumpUntil([] { return false; }, (DWORD)std::atoi(ms));
  }
}

TEST_F(DmiSheet, CheckLineReachesTheBiosFile) {
  std::string check = ReadFileBytes(TestBinDir() + L"PLUDOR.TXT");
  ASSERT_EQ(OwnDump(true), check);
  ASSERT_EQ(0u, check.rfind("DMI BIOS Version\t", 0));
  std::string line = check.substr(0, check.size() - 2);

  ASSERT_TRUE(Request(suite::INFO_BIOS));
  std::vector<std::string> lines;
  ASSERT_TRUE(SplitCrLf(ReadFileLocked(TestBinDir() + L"KytBIOS.IFO"), &lines));
  ASSERT_GE(lines.size(), 4u);
  EXPECT_EQ("", lines[0]);
  EXPECT_EQ("@3BIOS Information", lines[1]);
  EXPECT_EQ(line, lines[lines.size() - 2]);
  EXPECT_EQ("", lines.back());

  ASSERT_TRUE(Request(suite::INFO_PCI));
  EXPECT_EQ("\r\n@3PCI BIOS Information\r\nNot Available!", ReadFileLocked(TestBinDir() + L"KytPCI.IFO"));
  ASSERT_TRUE(Request(suite::INFO_PNP));
  EXPECT_EQ("\r\n", ReadFileLocked(TestBinDir() + L"KytPNP.IFO"));
}

// The values a test put in /sys/class/dmi/id reach DMI.TXT.
TEST_F(DmiSheet, KnownFirmwareValuesAppear) {
  const char* fake = std::getenv("HALVIX_DMI_FAKE_SYSFS");
  if (!fake || std::string(fake) != "1") GTEST_SKIP() << "needs the namespace of dmi_sysfs.sh";
  ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_SHOW_DMI);
  ASSERT_TRUE(WaitVisible(true));
  std::string file = ReadFileBytes(TestBinDir() + L"DMI.TXT");
  for (const char* line : {"Vendor: Fenmoor Firmware Works", "Version: FW 7.31", "Release Date: 02/29/2024",
                           "Manufacturer: Fenmoor Instruments", "Product Name: Larkspur 9", "Serial Number: LK9-000314",
                           "Product: LK9 Mainboard", "Chassis: Notebook"}) {
    SCOPED_TRACE(line);
    EXPECT_NE(file.find(std::string(line) + "\r\n"), std::string::npos);
  }
}

namespace {

struct BoxSearch {
  DWORD pid;
  HWND found;
};
BOOL CALLBACK FindMessageBox(HWND hwnd, LPARAM lp) {
  auto* s = reinterpret_cast<BoxSearch*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == s->pid && ::IsWindowVisible(hwnd) && ClassOf(hwnd) == L"#32770" && GetText(hwnd).empty()) {
    s->found = hwnd;
    return FALSE;
  }
  return TRUE;
}

}  // namespace

// A sheet that could not load shows its notices in a message box owned by
// the caller; without a caller window the (empty) sheet shows.
TEST(DmiSheetFailure, CommandShowsTheNoticesToTheCaller) {
  HostCopy copy(L"dmi");
  ASSERT_TRUE(copy.Ok());
  // DMI.TXT cannot be written where a directory of that name stands.
  ASSERT_TRUE(::CreateDirectoryW((copy.dir() + L"DMI.TXT").c_str(), nullptr));
  ASSERT_EQ(nullptr, FindTopWindow(suite::kInfoServerTitle));
  Process host;
  ASSERT_TRUE(host.Start(copy.exe()));
  HWND hostWindow = WaitForWindow(L"Quorrel test host", L"", host.Pid(), 10000);
  HWND server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
  ASSERT_NE(server, nullptr);
  MessageCatcher caller;
  // Until the sheet has read its file (500 ms after it was made) it has no
  // notices and the command shows it: then it is hidden and asked again.
  HWND sheet = FindTopWindow(L"DMI Information", L"", host.Pid());
  ASSERT_NE(sheet, nullptr);
  BoxSearch s{host.Pid(), nullptr};
  for (int attempt = 0; attempt < 40 && !s.found; ++attempt) {
    ::PostMessageW(server, kMsg, reinterpret_cast<WPARAM>(caller.hwnd()), suite::INFO_CMD_SHOW_DMI);
    PumpUntil([&] {
      ::EnumWindows(&FindMessageBox, reinterpret_cast<LPARAM>(&s));
      return s.found != nullptr || ::IsWindowVisible(sheet);
    }, 5000);
    if (!s.found && ::IsWindowVisible(sheet)) {
      ::PostMessageW(server, kMsg, 0, suite::INFO_CMD_HIDE_DMI);
      PumpUntil([&] { return !::IsWindowVisible(sheet); }, 5000);
      PumpUntil([] { return false; }, 250);
    }
  }
  ASSERT_NE(s.found, nullptr);
  EXPECT_EQ(::GetWindow(s.found, GW_OWNER), caller.hwnd());
  HWND text = FindChild(s.found, L"Static", L"Failed to find file: " + copy.dir() + L"DMI.TXT\n");
  EXPECT_NE(text, nullptr);
  ::PostMessageW(s.found, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitWindowGone(s.found, 5000));

  ::PostMessageW(server, kMsg, 0, suite::INFO_CMD_SHOW_DMI);
  EXPECT_TRUE(PumpUntil([&] { return ::IsWindowVisible(sheet) != FALSE; }, 5000));
  EXPECT_EQ(0, ::SendMessageW(FindChildById(sheet, kTabs), TCM_GETITEMCOUNT, 0, 0));

  ::PostMessageW(hostWindow, WM_CLOSE, 0, 0);
  EXPECT_TRUE(host.WaitExit(20000));
  ::RemoveDirectoryW((copy.dir() + L"DMI.TXT").c_str());
}

namespace {

// A server that believes it runs on Windows 98, from a copy of the host in a
// directory of its own, with the dumper's stand-in as dmi.pif.
class DmiSheet9x : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(copy_.Ok());
    ASSERT_TRUE(::CopyFileW((TestBinDir() + L"dmi_dumper_fake.exe").c_str(), (copy_.dir() + L"dmi.pif").c_str(), FALSE));
    HKEY k = nullptr;
    ASSERT_EQ(ERROR_SUCCESS, ::RegCreateKeyExW(HKEY_CURRENT_USER, kAppKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                               nullptr));
    ::RegSetValueExW(k, L"Version", 0, REG_SZ, (const BYTE*)L"win98", sizeof(L"win98"));
    ::RegCloseKey(k);
  }
  void Start() {
    ASSERT_EQ(nullptr, FindTopWindow(suite::kInfoServerTitle));
    ASSERT_TRUE(host_.Start(copy_.exe()));
    hostWindow_ = WaitForWindow(L"Quorrel test host", L"", host_.Pid(), 10000);
    server_ = WaitForWindow(suite::kInfoServerTitle, L"", host_.Pid(), 10000);
    ASSERT_NE(server_, nullptr);
    sheet_ = FindTopWindow(L"DMI Information", L"", host_.Pid());
    ASSERT_NE(sheet_, nullptr);
  }
  void TearDown() override {
    ::RegDeleteTreeW(HKEY_CURRENT_USER, kAppKey);
    if (host_.Running()) {
      ::PostMessageW(hostWindow_, WM_CLOSE, 0, 0);
      EXPECT_TRUE(host_.WaitExit(20000));
    }
  }
  static constexpr const wchar_t* kAppKey = L"Software\\Wine\\AppDefaults\\dmi9x_host.exe";
  HostCopy copy_{L"dmi9x", 0, L"dmi9x_host.exe"};
  Process host_;
  HWND hostWindow_ = nullptr, server_ = nullptr, sheet_ = nullptr;
};

}  // namespace

TEST_F(DmiSheet9x, DumperWritesTheFileTheSheetShows) {
  Start();
  HWND tabs = FindChildById(sheet_, kTabs);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0) > 0; }, 10000));
  // Fourteen kinds of section; the memory modules have no tab of their own.
  EXPECT_EQ(14, ::SendMessageW(tabs, TCM_GETITEMCOUNT, 0, 0));
  ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_SHOW_DMI);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(sheet_) != FALSE; }, 5000));
  HWND page = nullptr;
  for (HWND c = ::GetWindow(sheet_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
    if (::IsWindowVisible(c) && FindChildById(c, kList)) page = c;
  ASSERT_NE(page, nullptr);
  std::vector<std::wstring> lines = ListBoxLines(FindChildById(page, kList));
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(L"[BIOS Information]", lines[0]);
  EXPECT_EQ(L"Vendor: Tessel Software Inc.", lines[1]);

  // Five steps right reach the controller's tab: the memory view, with the
  // four modules the controller names.
  for (int i = 0; i < 5; ++i) ::PostMessageW(tabs, WM_KEYDOWN, VK_RIGHT, 0);
  ASSERT_TRUE(PumpUntil([&] {
    for (HWND c = ::GetWindow(sheet_, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT))
      if (::IsWindowVisible(c) && FindChildById(c, kList)) page = c;
    return GetText(FindChildById(page, kTitle)) == L"Memory Controller/Module Information";
  }, 5000));
  lines = ListBoxLines(FindChildById(page, kList));
  EXPECT_EQ(L"[Memory Controller Information]", lines.at(0));
  EXPECT_EQ(4, std::count(lines.begin(), lines.end(), L"[Memory Module Information]"));
  EXPECT_NE(lines.end(), std::find(lines.begin(), lines.end(), L"Socket Designation: DIMM2"));
  if (const char* ms = std::getenv("HALVIX_DMI_SCREENSHOT_MS")) PumpUntil([] { return false; }, (DWORD)std::atoi(ms));
}

TEST_F(DmiSheet9x, HangingDumperIsEndedAndReported) {
  HANDLE f = ::CreateFileW((copy_.dir() + L"dmi_hang").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  ASSERT_NE(f, INVALID_HANDLE_VALUE);
  ::CloseHandle(f);
  // The hanging dumper owns this mutex and then sets the event: the mutex
  // abandoned is its end.
  HANDLE hanging = ::CreateMutexW(nullptr, FALSE, L"quorrel_test_dmi_dumper_hangs");
  HANDLE started = ::CreateEventW(nullptr, TRUE, FALSE, L"quorrel_test_dmi_dumper_hangsStarted");
  ASSERT_NE(hanging, nullptr);
  ASSERT_NE(started, nullptr);
  Start();
  MessageCatcher caller;
  // After 5 seconds the dumper is ended; from then on the command shows
  // the notice instead of the sheet.
  BoxSearch s{host_.Pid(), nullptr};
  EXPECT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(started, 0) == WAIT_OBJECT_0; }, 20000))
      << "the dumper never started";
  EXPECT_TRUE(PumpUntil([&] { return ::WaitForSingleObject(hanging, 0) == WAIT_ABANDONED; }, 30000))
      << "the hanging dumper was never ended";
  ::ReleaseMutex(hanging);
  ::CloseHandle(hanging);
  ::CloseHandle(started);
  for (int attempt = 0; attempt < 20 && !s.found; ++attempt) {
    ::PostMessageW(server_, kMsg, reinterpret_cast<WPARAM>(caller.hwnd()), suite::INFO_CMD_SHOW_DMI);
    PumpUntil([&] {
      ::EnumWindows(&FindMessageBox, reinterpret_cast<LPARAM>(&s));
      return s.found != nullptr || ::IsWindowVisible(sheet_);
    }, 5000);
    if (!s.found && ::IsWindowVisible(sheet_)) {
      ::PostMessageW(server_, kMsg, 0, suite::INFO_CMD_HIDE_DMI);
      PumpUntil([&] { return !::IsWindowVisible(sheet_); }, 5000);
      PumpUntil([] { return false; }, 250);
    }
  }
  ASSERT_NE(s.found, nullptr);
  EXPECT_NE(FindChild(s.found, L"Static", L"Failed to access DMI Information.\n"), nullptr);
  ::PostMessageW(s.found, WM_COMMAND, IDOK, 0);
  EXPECT_TRUE(WaitWindowGone(s.found, 5000));
}
