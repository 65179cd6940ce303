// The server's information and configuration-file sheets end to end: the
// test host starts the server as a control does; this test drives it, from
// another process, through its window commands and its buttons.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <fstream>
#include <sstream>

#include "appkit/text.h"
#include "suite/info.h"
#include "suite/messages.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const UINT kMsg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
const wchar_t kInfoTitle[] = L"System Information";
const wchar_t kIniTitle[] = L"System Configuration Files";

int TabCount(HWND sheet) {
  HWND tab = FindChild(sheet, L"SysTabControl32");
  return tab ? (int)::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) : -1;
}

// The page windows of a sheet in page order. The sheet raises each page
// above the ones before it as it makes them, so the window list, topmost
// first, holds them last page first.
std::vector<HWND> Pages(HWND sheet) {
  std::vector<HWND> pages;
  for (HWND w = ::GetWindow(sheet, GW_CHILD); w; w = ::GetWindow(w, GW_HWNDNEXT))
    if (ClassOf(w) == L"#32770") pages.insert(pages.begin(), w);
  return pages;
}

std::vector<std::wstring> FileLines(const std::wstring& path) {
  std::ifstream in(path.c_str(), std::ios::binary);
  std::vector<std::wstring> lines;
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    lines.push_back(appkit::Widen(line));
  }
  return lines;
}

class ServerSheets : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(host.Start(TestBinDir() + L"quorrel_host.exe"));
    ASSERT_TRUE(host.WaitIdle(10000));
    server = WaitForWindow(suite::kInfoServerTitle, L"", host.Pid(), 10000);
    ASSERT_NE(server, nullptr);
  }
  void TearDown() override {
    if (HWND w = FindTopWindow(L"Quorrel test host", L"", host.Pid())) ::PostMessageW(w, WM_CLOSE, 0, 0);
    EXPECT_TRUE(host.WaitExitPumping(20000));
    EXPECT_EQ(host.ExitCode(), 0u) << "workers left behind";
  }
  void Command(unsigned code) { ::PostMessageW(server, kMsg, 0, (LPARAM)code); }
  // The sheet window titled `title` of the server's process (visible or not).
  HWND Sheet(const wchar_t* title) { return FindTopWindow(title, L"", host.Pid()); }
  bool WaitVisible(HWND w, bool visible, DWORD ms) {
    return PumpUntil([&] { return (::IsWindowVisible(w) != FALSE) == visible; }, ms);
  }

  Process host;
  HWND server = nullptr;
};

TEST_F(ServerSheets, TheInformationSheetOpensAndClosesByCommandAndButton) {
  HWND sheet = Sheet(kInfoTitle);
  ASSERT_NE(sheet, nullptr) << "made hidden with the server";
  EXPECT_FALSE(::IsWindowVisible(sheet));
  EXPECT_EQ(::GetWindow(sheet, GW_OWNER), server);
  EXPECT_EQ(TabCount(sheet), 13) << "Windows NT: no PCI, PNP and I/O Port pages";

  ::DeleteFileW((TestBinDir() + L"KytSUM.IFO").c_str());
  Command(suite::INFO_CMD_SHOW_SHEET);
  ASSERT_TRUE(WaitVisible(sheet, true, 5000));
  // Shown, the Summary page asks for its file and lists it.
  std::vector<HWND> pages = Pages(sheet);
  ASSERT_EQ(pages.size(), 13u);
  EXPECT_TRUE(::IsWindowVisible(pages[0]));
  HWND list = ::GetDlgItem(pages[0], 1037);
  // Sized around its pages, the list with room for its lines.
  RECT lr{};
  ::GetWindowRect(list, &lr);
  EXPECT_GT(lr.right - lr.left, 300);
  EXPECT_GT(lr.bottom - lr.top, 150);
  std::vector<std::wstring> lines;
  ASSERT_TRUE(PumpUntil([&] { return (lines = ListBoxLines(list)).size() > 2; }, 30000));
  // The reader may still be adding lines: the list is whole once it stays
  // the same for a moment.
  ASSERT_TRUE(PumpUntil([&] {
    std::vector<std::wstring> before = ListBoxLines(list);
    PumpUntil([] { return false; }, 300);
    lines = ListBoxLines(list);
    return lines == before;
  }, 30000));
  EXPECT_EQ(lines[0].rfind(L"[Last Updated: ", 0), 0u) << lines[0];
  std::vector<std::wstring> file = FileLines(TestBinDir() + L"KytSUM.IFO");
  ASSERT_FALSE(file.empty());
  EXPECT_EQ(lines[1], file[0]);
  // The health monitor's word reaches the Summary page: its line follows
  // the file's lines; other words of that message change nothing.
  const UINT monitor = ::RegisterWindowMessageW(suite::kDrelmakMessage);
  ::PostMessageW(pages[0], monitor, 2, 5);
  ::PostMessageW(pages[0], monitor, 1, 3);
  ASSERT_TRUE(PumpUntil([&] { return ListBoxLines(list).size() == lines.size() + 1; }, 5000));
  EXPECT_EQ(ListBoxLines(list).back(), L"Hardware Corvith:\t3 inputs reach limits.");
  // The DMI Info button belongs to the BIOS page alone.
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(pages[0], 1052)));

  Command(suite::INFO_CMD_HIDE_SHEET);
  ASSERT_TRUE(WaitVisible(sheet, false, 5000));
  ASSERT_TRUE(ClickButton(server, 1055));  // Show Quorrel
  ASSERT_TRUE(WaitVisible(sheet, true, 5000));
  ASSERT_TRUE(ClickButton(server, 1202));  // Hide Quorrel
  ASSERT_TRUE(WaitVisible(sheet, false, 5000));
  // Closing the sheet only hides it.
  Command(suite::INFO_CMD_SHOW_SHEET);
  ASSERT_TRUE(WaitVisible(sheet, true, 5000));
  ::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitVisible(sheet, false, 5000));
  EXPECT_TRUE(::IsWindow(sheet));
  EXPECT_TRUE(::IsWindow(server));
}

TEST_F(ServerSheets, TheConfigurationFileSheetListsTheFilesAndOpensTheEditor) {
  HWND sheet = Sheet(kIniTitle);
  ASSERT_NE(sheet, nullptr);
  EXPECT_FALSE(::IsWindowVisible(sheet));
  EXPECT_EQ(TabCount(sheet), 6);
  Command(suite::INFO_CMD_SHOW_INI);
  ASSERT_TRUE(WaitVisible(sheet, true, 5000));

  // WIN.INI, from the Windows directory, line for line.
  wchar_t windir[MAX_PATH] = {};
  ::GetWindowsDirectoryW(windir, MAX_PATH);
  std::wstring winIni = std::wstring(windir) + L"\\WIN.INI";
  std::vector<HWND> pages = Pages(sheet);
  ASSERT_EQ(pages.size(), 6u);
  EXPECT_TRUE(::IsWindowVisible(pages[0]));
  RECT lr{};
  ::GetWindowRect(::GetDlgItem(pages[0], 1208), &lr);
  EXPECT_GT(lr.right - lr.left, 300);
  EXPECT_GT(lr.bottom - lr.top, 150);
  std::wstring path = GetText(::GetDlgItem(pages[0], 1209));
  EXPECT_EQ(lstrcmpiW(path.c_str(), winIni.c_str()), 0) << path;
  EXPECT_EQ(ListBoxLines(::GetDlgItem(pages[0], 1208)), FileLines(winIni));

  // A file that is not there: the path, a blank and "was not found.".
  if (::GetFileAttributesW(L"C:\\CONFIG.SYS") == INVALID_FILE_ATTRIBUTES) {
    ::PostMessageW(pages[3], WM_COMMAND, MAKEWPARAM(1205, BN_CLICKED), 0);
    HWND box = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (box = FindTopWindow(L"", L"#32770", host.Pid())) &&
                                       FindChild(box, L"Static", L"C:\\CONFIG.SYS was not found."); }, 10000));
    ::PostMessageW(box, WM_COMMAND, IDOK, 0);
    EXPECT_TRUE(WaitWindowGone(box, 5000));
    EXPECT_EQ(GetText(::GetDlgItem(pages[3], 1209)), L"C:\\CONFIG.SYS");
    EXPECT_TRUE(ListBoxLines(::GetDlgItem(pages[3], 1208)).empty());
  }

  // "Edit" starts the system's editor on the file.
  HWND editor = nullptr;
  ASSERT_TRUE(ClickButton(pages[0], 1206));
  ASSERT_TRUE(PumpUntil([&] { return (editor = FindTopWindow(L"", L"Notepad")) != nullptr; }, 15000));
  std::wstring title = GetText(editor);
  ::CharLowerW(&title[0]);
  EXPECT_NE(title.find(L"win.ini"), std::wstring::npos) << title;
  ::PostMessageW(editor, WM_CLOSE, 0, 0);
  EXPECT_TRUE(WaitWindowGone(editor, 10000));

  ASSERT_TRUE(ClickButton(server, 1204));  // Hide INI Info
  ASSERT_TRUE(WaitVisible(sheet, false, 5000));
  ASSERT_TRUE(ClickButton(server, 1057));  // Show INI Info
  ASSERT_TRUE(WaitVisible(sheet, true, 5000));
  ::PostMessageW(sheet, WM_SYSCOMMAND, SC_CLOSE, 0);
  ASSERT_TRUE(WaitVisible(sheet, false, 5000));
}

}  // namespace
