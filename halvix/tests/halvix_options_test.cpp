// The layout, information-options, tools-options and technical-support
// dialogs end to end: a copy of Halvix in a scratch folder, its menu
// commands posted, the dialogs driven through their controls, and the
// results judged by the main window's panes, the registry and the
// information server's next file.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "options_res.h"
#include "resource.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/smalldisk.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kQevRoot[] = L"Software\\Qev";
const wchar_t kBackup[] = L"Software\\HalvixOptionsTestBackup\\Qev";

DWORD SettingDword(const wchar_t* key, const wchar_t* name, DWORD def = 0xDEAD) {
  return appkit::RegReadDword(HKEY_CURRENT_USER, key, name, def);
}

bool Enabled(HWND dlg, int id) { return ::IsWindowEnabled(::GetDlgItem(dlg, id)) != FALSE; }
bool Checked(HWND dlg, int id) { return ::SendMessageW(::GetDlgItem(dlg, id), BM_GETCHECK, 0, 0) == BST_CHECKED; }
// A click as the user makes it: the box changes and its parent hears of it.
void Click(HWND dlg, int id) { ::SendMessageW(::GetDlgItem(dlg, id), BM_CLICK, 0, 0); }

class HalvixOptions : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { ASSERT_EQ(ctltest::RegisterControl(SuitePath(L"QUORREL.OCX")), 0); }

  void SetUp() override {
    dir_ = TempDir() + L"halvix-options-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << appkit::Narrow(f);
    aside_ = std::make_unique<KeyAside>(kQevRoot, kBackup);
  }
  void TearDown() override {
    if (p_.Running()) p_.Kill();
    aside_.reset();
    RemoveTree(dir_);
  }

  // Starts the copy and waits for its main window.
  HWND StartMain() {
    if (!p_.Start(dir_ + L"halvix.exe")) return nullptr;
    return WaitForMainWindow(p_.Pid(), p_.Handle(), L"HalvixMainFrame", 30000);
  }
  void CloseMain(HWND main) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p_.WaitExit(20000));
  }
  // Posts a menu command and waits for the dialog it opens.
  HWND OpenDialog(HWND main, UINT command, const wchar_t* title) {
    ::PostMessageW(main, WM_COMMAND, command, 0);
    return WaitForWindow(title, L"#32770", p_.Pid(), 20000);
  }
  void End(HWND dlg, int button) {
    ::PostMessageW(dlg, WM_COMMAND, button, 0);
    EXPECT_TRUE(WaitWindowGone(dlg, 10000));
  }

  std::wstring dir_;
  std::unique_ptr<KeyAside> aside_;
  Process p_;
};

}  // namespace

TEST_F(HalvixOptions, LayoutApplyRebuildsThePanesAndKeepsOnePaneToNavigate) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND title = FindChild(main, L"HalvixTitleView");
  ASSERT_NE(title, nullptr);
  EXPECT_GT(ctltest::RectInParent(title).bottom - ctltest::RectInParent(title).top, 0);

  HWND dlg = OpenDialog(main, ID_VIEW_LAYOUT, L"Qev Layout Properties");
  ASSERT_NE(dlg, nullptr);
  for (int id : {IDC_LAYOUT_BAR, IDC_LAYOUT_TREE, IDC_LAYOUT_TITLE, IDC_LAYOUT_HELP}) EXPECT_TRUE(Checked(dlg, id)) << id;
  EXPECT_TRUE(Checked(dlg, IDC_ALIGN_TOP));
  EXPECT_FALSE(Enabled(dlg, IDC_ALIGN_LEFT));  // the frame's tool bar is off
  EXPECT_FALSE(Enabled(dlg, IDC_LAYOUT_APPLY));

  // The title bar off, applied: its pane goes at once.
  Click(dlg, IDC_LAYOUT_TITLE);
  EXPECT_TRUE(Enabled(dlg, IDC_LAYOUT_APPLY));
  Click(dlg, IDC_LAYOUT_APPLY);
  EXPECT_FALSE(Enabled(dlg, IDC_LAYOUT_APPLY));
  EXPECT_TRUE(PumpUntil(
      [&] {
        RECT r = ctltest::RectInParent(title);
        return r.bottom - r.top == 0;
      },
      10000));

  // One of the two navigation panes stays: whichever is left alone is locked.
  Click(dlg, IDC_LAYOUT_TREE);
  EXPECT_FALSE(Enabled(dlg, IDC_LAYOUT_BAR));
  EXPECT_TRUE(Enabled(dlg, IDC_LAYOUT_TREE));
  Click(dlg, IDC_LAYOUT_TREE);
  EXPECT_TRUE(Enabled(dlg, IDC_LAYOUT_BAR));
  Click(dlg, IDC_LAYOUT_BAR);
  EXPECT_FALSE(Enabled(dlg, IDC_LAYOUT_TREE));
  // Cancel: what was applied stays, the rest is dropped.
  End(dlg, IDCANCEL);
  CloseMain(main);
  EXPECT_EQ(SettingDword(suite::kHalvixSettingKey, L"TitleView"), 0u);
  EXPECT_EQ(SettingDword(suite::kHalvixSettingKey, L"ToolbarView"), 1u);
  EXPECT_EQ(SettingDword(suite::kHalvixSettingKey, L"TreeView"), 1u);
}

TEST_F(HalvixOptions, InformationOptionsReachTheServersNextRequest) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND dlg = OpenDialog(main, ID_OPTIONS_SYSINFO, L"System Information Option");
  ASSERT_NE(dlg, nullptr);
  // The NT family gathers none of these: off and locked.
  for (int id : {1161, 1171, 1172, 1112, 1114, 1115}) {
    EXPECT_FALSE(Enabled(dlg, id)) << id;
    EXPECT_FALSE(Checked(dlg, id)) << id;
  }
  EXPECT_TRUE(Checked(dlg, 1159));
  EXPECT_FALSE(Checked(dlg, 1110));
  Click(dlg, 1159);  // no Windows version
  Click(dlg, 1160);  // no BIOS lines
  Click(dlg, 1110);  // the audio part
  End(dlg, IDOK);

  const wchar_t* key = suite::kQuorrelSettingKey;
  EXPECT_EQ(SettingDword(key, L"SummaryVersion"), 0u);
  EXPECT_EQ(SettingDword(key, L"SummaryBios"), 0u);
  EXPECT_EQ(SettingDword(key, L"AudioSummary"), 1u);
  EXPECT_EQ(SettingDword(key, L"SummaryCpu"), 1u);
  for (const wchar_t* off : {L"SummaryBus", L"SummaryMedia", L"SummaryMonitor", L"SummaryVideo", L"MemoryHeap",
                             L"IODeviceSummary", L"ResourceSummary", L"VideoMCI", L"VideoSummary"})
    EXPECT_EQ(SettingDword(key, off), 0u) << appkit::Narrow(off);

  // The server in Halvix's process reads them for its next request.
  HWND server = FindTopWindow(suite::kInfoServerTitle, L"", p_.Pid());
  ASSERT_NE(server, nullptr);
  const UINT msg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  MessageCatcher catcher;
  ASSERT_TRUE(::PostMessageW(server, msg, (WPARAM)catcher.hwnd(), 0));
  MessageCatcher::Caught reply{};
  ASSERT_TRUE(catcher.WaitFor(msg, 60000, &reply));
  EXPECT_EQ(reply.wp, suite::INFO_REPLY_READY);
  const std::wstring folder = appkit::RegReadString(HKEY_CURRENT_USER, key, suite::kModulePathValue, L"");
  const std::string summary = ReadFileBytes(folder + L"KytSUM.IFO");
  EXPECT_EQ(summary.find("Windows NT Version:"), std::string::npos) << summary;
  EXPECT_NE(summary.find("@3Audio"), std::string::npos) << summary;
  EXPECT_NE(summary.find("Memory:\t"), std::string::npos) << summary;
  CloseMain(main);
}

TEST_F(HalvixOptions, ToolsOptionsHideAnItemFromTheViews) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND tree = FindChild(main, L"SysTreeView32");
  ASSERT_NE(tree, nullptr);
  auto hasMemory = [&] {
    const std::vector<std::wstring> items = TreeViewItems(tree);
    return std::find(items.begin(), items.end(), L"  Memory Test") != items.end();
  };
  EXPECT_TRUE(hasMemory());

  HWND dlg = OpenDialog(main, ID_OPTIONS_TOOLS, L"Tools Option");
  ASSERT_NE(dlg, nullptr);
  EXPECT_TRUE(Checked(dlg, 1122));
  EXPECT_FALSE(Checked(dlg, 1123));  // the I/O port test is off by default
  for (int id : {1123, 1131, 1141, 1142}) EXPECT_FALSE(Enabled(dlg, id)) << id;  // not on the NT family
  Click(dlg, 1122);
  End(dlg, IDOK);
  EXPECT_TRUE(PumpUntil([&] { return !hasMemory(); }, 10000));
  const DWORD options = SettingDword(suite::kHalvixSettingKey, L"Options");
  EXPECT_EQ(options & (1u << 18), 0u);
  EXPECT_NE(options & (1u << 20), 0u);  // the processor test stays
  CloseMain(main);
}

TEST_F(HalvixOptions, TechnicalSupportButtonsFollowTheSettings) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND dlg = OpenDialog(main, ID_TECH_SUPPORT, L"Technical Support Links");
  ASSERT_NE(dlg, nullptr);
  const std::wstring web = GetText(::GetDlgItem(dlg, IDC_SUPPORT_WEB));
  EXPECT_EQ(web.rfind(L"Customer Support Web Site\n(", 0), 0u) << appkit::Narrow(web);
  EXPECT_EQ(GetText(::GetDlgItem(dlg, IDC_SUPPORT_EMAIL)).rfind(L"Customer Support Email\n(", 0), 0u);

  ::PostMessageW(dlg, WM_COMMAND, MAKEWPARAM(IDC_SUPPORT_SETTINGS, BN_CLICKED), 0);
  HWND settings = WaitForWindow(L"Technical Support Settings", L"#32770", p_.Pid(), 10000);
  ASSERT_NE(settings, nullptr);
  ::SendMessageW(::GetDlgItem(settings, IDC_SETTINGS_WEB), WM_SETTEXT, 0, (LPARAM)L"http://127.0.0.1/support");
  ::SendMessageW(::GetDlgItem(settings, IDC_SETTINGS_EMAIL), WM_SETTEXT, 0, (LPARAM)L"help@127.0.0.1");
  End(settings, IDOK);
  EXPECT_TRUE(PumpUntil(
      [&] { return GetText(::GetDlgItem(dlg, IDC_SUPPORT_WEB)) == L"Customer Support Web Site\n(http://127.0.0.1/support)"; },
      10000));
  EXPECT_EQ(GetText(::GetDlgItem(dlg, IDC_SUPPORT_EMAIL)), L"Customer Support Email\n(help@127.0.0.1)");
  End(dlg, IDCANCEL);
  CloseMain(main);
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, L"WebLink", L""),
            L"http://127.0.0.1/support");
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, L"Email", L""), L"help@127.0.0.1");
}

// The program in a folder of the small disk of with_small_disk.sh.
class HalvixOptionsSmallDisk : public HalvixOptions {
 protected:
  void SetUp() override {
    HalvixOptions::SetUp();
    if (!disk_.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
    RemoveTree(dir_);
    dir_ = disk_.root() + L"suite\\";
    ASSERT_TRUE(::CreateDirectoryW(dir_.c_str(), nullptr));
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << appkit::Narrow(f);
  }
  // Switches "DMI Info" in the tools options and closes them with OK; the
  // text of the message that OK shows ("" when none comes).
  std::wstring SwitchDmiInfo(HWND main, bool on) {
    HWND dlg = OpenDialog(main, ID_OPTIONS_TOOLS, L"Tools Option");
    if (!dlg) return L"<no dialog>";
    EXPECT_NE(Checked(dlg, 1119), on);
    Click(dlg, 1119);
    ::PostMessageW(dlg, WM_COMMAND, IDOK, 0);
    std::wstring said;
    HWND box = nullptr;
    PumpUntil([&] { return !::IsWindow(dlg) || (box = FindTopWindow(L"Qev", L"#32770", p_.Pid())) != nullptr; },
              20000);
    if (box) {
      HWND text = FindChildById(box, 0xFFFF);
      said = text ? GetText(text) : L"<no text>";
      ClickButton(box, IDOK);
    }
    EXPECT_TRUE(WaitWindowGone(dlg, 10000));
    return said;
  }
  bool Exists(const wchar_t* name) { return ::GetFileAttributesW((dir_ + name).c_str()) != INVALID_FILE_ATTRIBUTES; }
  testsupport::SmallDisk disk_;
};

// "DMI Info" switched on copies the two DOS programs, which the information
// server runs when they are there: on a disk without room neither is left
// cut, and with room both are copied whole.
TEST_F(HalvixOptionsSmallDisk, DmiProgramsTheDiskHasNoRoomForAreNotLeftCut) {
  const std::string dmi(9000, 'd'), pludor(9000, 'p');
  ASSERT_TRUE(WriteFileBytes(dir_ + L"dmi.bpf", dmi));
  ASSERT_TRUE(WriteFileBytes(dir_ + L"pludor.bpf", pludor));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, suite::kHalvixSettingKey, L"Options", 0xFFFDFFFE));
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(disk_.FillSpace());
  EXPECT_EQ(SwitchDmiInfo(main, true), L"Failed to copy dmi.pif & pludor.pif.");
  EXPECT_FALSE(Exists(L"dmi.pif")) << ReadFileBytes(dir_ + L"dmi.pif").size() << " bytes of dmi.pif";
  EXPECT_FALSE(Exists(L"pludor.pif")) << ReadFileBytes(dir_ + L"pludor.pif").size() << " bytes of pludor.pif";

  disk_.Free();
  EXPECT_EQ(SwitchDmiInfo(main, false), L"");
  EXPECT_EQ(SwitchDmiInfo(main, true), L"To view DMI information you need to reboot your system.");
  EXPECT_TRUE(ReadFileBytes(dir_ + L"dmi.pif") == dmi);
  EXPECT_TRUE(ReadFileBytes(dir_ + L"pludor.pif") == pludor);
  CloseMain(main);
}
