// Halvix's views end to end under Wine: a copy of the program in a scratch
// directory, its icon list, tree, toolbar strip, title and logo panes read
// and driven from outside, and the collect dialog against the real
// information server.
#include <gtest/gtest.h>

#include <algorithm>
#include <windows.h>
// (after windows.h)
#include <commctrl.h>
#include <shellapi.h>

#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "frame_rules.h"
#include "resource.h"
#include "suite/info.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kHalvixRoot[] = L"Software\\Qev\\Halvix";
const wchar_t kBackupRoot[] = L"Software\\HalvixViewsTestBackup";
const wchar_t kAppDefaults[] = L"Software\\Wine\\AppDefaults\\halvix.exe";
const wchar_t kFrameClass[] = L"HalvixMainFrame";
const wchar_t kRefusal[] = L"A test module is running. Can not change current selection.";
constexpr UINT kPane = 0xE900;
constexpr UINT kPaneRow1 = 0xE910;
constexpr UINT kPaneCol1 = 0xE901;
// The switches these tests use: the defaults (all but the I/O port test)
// without the memory test, the stress test and MS NT Diagnostics.
constexpr unsigned kOptions = 0xFFFDFFFFu & ~(1u << 18) & ~(1u << 9) & ~(1u << 25);


void SeedInt(const wchar_t* name, int v) {
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, suite::kHalvixSettingKey, name, static_cast<DWORD>(v)));
}

bool GetSettingInt(const std::wstring& name, int* v) {
  appkit::RegKey k;
  DWORD d = 0;
  if (!k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey) || !k.GetDword(name.c_str(), &d)) return false;
  *v = static_cast<int>(d);
  return true;
}

HWND Child(HWND parent, UINT id) { return parent ? ::GetDlgItem(parent, static_cast<int>(id)) : nullptr; }
bool Shown(HWND w) { return w && (::GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE); }

// Memory in another process for the messages that take a pointer.
class Remote {
 public:
  Remote(HWND owner, size_t size) : size_(size) {
    DWORD pid = 0;
    ::GetWindowThreadProcessId(owner, &pid);
    proc_ = ::OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
    if (proc_) mem_ = ::VirtualAllocEx(proc_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  }
  ~Remote() {
    if (mem_) ::VirtualFreeEx(proc_, mem_, 0, MEM_RELEASE);
    if (proc_) ::CloseHandle(proc_);
  }
  LPARAM at(size_t off = 0) const { return reinterpret_cast<LPARAM>(static_cast<char*>(mem_) + off); }
  bool Write(const void* data, size_t n, size_t off = 0) {
    return mem_ && off + n <= size_ && ::WriteProcessMemory(proc_, static_cast<char*>(mem_) + off, data, n, nullptr);
  }
  bool Read(void* data, size_t n, size_t off = 0) {
    return mem_ && off + n <= size_ && ::ReadProcessMemory(proc_, static_cast<char*>(mem_) + off, data, n, nullptr);
  }

 private:
  HANDLE proc_ = nullptr;
  void* mem_ = nullptr;
  size_t size_;
};

struct ListItem {
  std::wstring name;
  int image;
  int command;
};

std::vector<ListItem> ListItems(HWND list) {
  std::vector<ListItem> out;
  std::vector<std::wstring> names = ListViewItems(list);
  for (size_t i = 0; i < names.size(); ++i) {
    Remote r(list, sizeof(LVITEMW));
    LVITEMW it{};
    it.mask = LVIF_IMAGE | LVIF_PARAM;
    it.iItem = static_cast<int>(i);
    r.Write(&it, sizeof(it));
    ::SendMessageW(list, LVM_GETITEMW, 0, r.at());
    r.Read(&it, sizeof(it));
    out.push_back({names[i], it.iImage, static_cast<int>(it.lParam)});
  }
  return out;
}

POINT ItemPosition(HWND list, int item) {
  Remote r(list, sizeof(POINT));
  POINT pt{-999, -999};
  r.Write(&pt, sizeof(pt));
  if (!::SendMessageW(list, LVM_GETITEMPOSITION, item, r.at())) return pt;
  r.Read(&pt, sizeof(pt));
  return pt;
}

RECT ItemIconRect(HWND list, int item) {
  Remote r(list, sizeof(RECT));
  RECT rc{LVIR_ICON, 0, 0, 0};
  r.Write(&rc, sizeof(rc));
  ::SendMessageW(list, LVM_GETITEMRECT, item, r.at());
  r.Read(&rc, sizeof(rc));
  return rc;
}

LPARAM NodeData(HWND tree, HTREEITEM node) {
  Remote r(tree, sizeof(TVITEMW));
  TVITEMW it{};
  it.mask = TVIF_PARAM | TVIF_HANDLE;
  it.hItem = node;
  r.Write(&it, sizeof(it));
  ::SendMessageW(tree, TVM_GETITEMW, 0, r.at());
  r.Read(&it, sizeof(it));
  return it.lParam;
}

HTREEITEM NodeOf(HWND tree, LPARAM data) {
  HTREEITEM root = TreeView_GetRoot(tree);
  if (root && NodeData(tree, root) == data) return root;
  for (HTREEITEM c = TreeView_GetChild(tree, root); c; c = TreeView_GetNextSibling(tree, c))
    if (NodeData(tree, c) == data) return c;
  return nullptr;
}

LPARAM SelectedData(HWND tree) {
  HTREEITEM sel = TreeView_GetSelection(tree);
  return sel ? NodeData(tree, sel) : 0;
}

// The tree layout's panes that the page tests drive: the toolbar strip and
// its tool bar, the title, the tree, and the module view (hidden until a test
// page shows).
struct TreePanes {
  HWND strip, title, tree, module, toolbar;
};
TreePanes TreePanesOf(HWND main) {
  HWND s1 = Child(main, kPane), s2 = Child(s1, kPaneCol1), s3 = Child(s2, kPaneRow1), s4 = Child(s3, kPaneCol1);
  HWND strip = Child(s1, kPane);
  return {strip, Child(s2, kPane), Child(s3, kPane), Child(s4, halvix::kModuleViewHiddenId),
          FindChild(strip, L"ToolbarWindow32")};
}

// The point of the screen in the middle of a node's text.
POINT NodePoint(HWND tree, HTREEITEM node) {
  Remote r(tree, sizeof(RECT));
  // In: the node's handle at the start of the rectangle.
  r.Write(&node, sizeof(node));
  ::SendMessageW(tree, TVM_GETITEMRECT, TRUE, r.at());
  RECT rc{};
  r.Read(&rc, sizeof(rc));
  POINT pt{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
  ::ClientToScreen(tree, &pt);
  return pt;
}

// The active window of the thread of `w`.
HWND ActiveWindowOf(HWND w) {
  GUITHREADINFO gui{};
  gui.cbSize = sizeof(gui);
  return ::GetGUIThreadInfo(::GetWindowThreadProcessId(w, nullptr), &gui) ? gui.hwndActive : nullptr;
}

// Waits until the thread of `button` has handled every message posted to it
// before this call (and what handling them posted in turn, two rounds
// deep): a press and a release of the button's look posted behind them,
// each seen to take effect.
bool HandledWhatCameBefore(HWND button) {
  for (int round = 0; round < 3; ++round) {
    for (BOOL pushed : {TRUE, FALSE}) {
      if (!::PostMessageW(button, BM_SETSTATE, pushed, 0)) return false;
      if (!PumpUntil([&] { return ((::SendMessageW(button, BM_GETSTATE, 0, 0) & BST_PUSHED) != 0) == (pushed != 0); },
                     10000))
        return false;
    }
  }
  return true;
}

POINT MiddleOf(HWND w) {
  RECT rc{};
  ::GetWindowRect(w, &rc);
  return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2};
}

std::vector<std::wstring> ButtonCaptions(HWND toolbar) {
  std::vector<std::wstring> out;
  int n = static_cast<int>(::SendMessageW(toolbar, TB_BUTTONCOUNT, 0, 0));
  for (int i = 0; i < n; ++i) {
    Remote r(toolbar, sizeof(TBBUTTON) + 512);
    ::SendMessageW(toolbar, TB_GETBUTTON, i, r.at());
    TBBUTTON b{};
    r.Read(&b, sizeof(b));
    ::SendMessageW(toolbar, TB_GETBUTTONTEXTW, b.idCommand, r.at(sizeof(TBBUTTON)));
    wchar_t text[256] = {};
    r.Read(text, sizeof(text) - sizeof(wchar_t), sizeof(TBBUTTON));
    out.push_back(text);
  }
  return out;
}

FILETIME FileTimeOf(const std::wstring& path) {
  WIN32_FILE_ATTRIBUTE_DATA a{};
  if (!::GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &a)) return FILETIME{0, 0};
  return a.ftLastWriteTime;
}

class HalvixViews : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const wchar_t* ocx : {L"ZENTREL.OCX", L"QUORREL.OCX"}) ASSERT_EQ(ctltest::RegisterControl(SuitePath(ocx)), 0);
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = TempDir() + L"halvix-views-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(base_.c_str(), nullptr);
    dir_ = base_ + appkit::Widen(info->name()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll", L"zentrel.mod"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
    halvixKey_.emplace(kHalvixRoot, std::wstring(kBackupRoot) + L"\\Halvix");
    ASSERT_TRUE(testsupport::UseSmallMachine(1024));
    // The real pointer stays off the program's windows, so that Wine makes
    // up no moves of it into the drags these tests post.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  void TearDown() override {
    if (p_.Running()) p_.Kill();
    if (ownServer_) {
      // The suite's own server again, where the other tests expect it.
      ctltest::RegisterControl(SuitePath(L"QUORREL.OCX"));
      if (!serverPathBefore_.empty())
        appkit::RegWriteString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue,
                               serverPathBefore_);
    }
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    halvixKey_.reset();
    testsupport::RemoveTree(base_);
  }

  HWND StartMain() {
    if (!p_.Start(dir_ + L"halvix.exe")) return nullptr;
    return WaitForMainWindow(p_.Pid(), p_.Handle(), kFrameClass, 15000);
  }

  void CloseMain(HWND main) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p_.WaitExit(10000));
    EXPECT_EQ(p_.ExitCode(), 0u);
  }

  std::wstring AnswerBox(int button, DWORD ms = 10000, const std::wstring& caption = L"Qev") {
    HWND box = WaitForWindow(caption, L"#32770", p_.Pid(), ms);
    if (!box) return L"<no box>";
    HWND text = FindChildById(box, 0xFFFF);
    std::wstring said = text ? GetText(text) : L"<no text>";
    ClickButton(box, button);
    WaitWindowGone(box, 5000);
    return said;
  }

  // Halvix started in the tree layout, and its memory page shown by the
  // menu command (which selects the memory node, whose control the module
  // view hosts): true when the control and its Start button are there.
  struct MemoryPage {
    HWND main = nullptr;
    TreePanes panes{};
    HWND control = nullptr, start = nullptr;
  };
  bool StartOnMemoryPage(MemoryPage* page) {
    if (!(page->main = StartMain())) return false;
    const TreePanes& p = page->panes = TreePanesOf(page->main);
    if (!p.tree || !p.module || !p.toolbar) return false;
    ::PostMessageW(page->main, WM_COMMAND, ID_MEMORY_TEST, 0);
    return PumpUntil(
        [&] {
          page->control = SelectedData(p.tree) == ID_MEMORY_TEST && Shown(p.module) ? Child(p.module, 1001) : nullptr;
          page->start = page->control ? FindChild(page->control, L"Button", L"&Start") : nullptr;
          return page->start != nullptr;
        },
        15000);
  }

  bool NoBoxFor(DWORD ms) {
    return !PumpUntil([&] { return FindTopWindow(L"Qev", L"#32770", p_.Pid()) != nullptr; }, ms);
  }

  void WriteFile(const std::wstring& rel, const std::string& text) {
    std::ofstream f((dir_ + rel).c_str(), std::ios::binary);
    f << text;
  }

  std::wstring base_, dir_;
  std::optional<testsupport::KeyAside> halvixKey_;
  bool ownServer_ = false;
  std::wstring serverPathBefore_;
  Process p_;
};

// ---- the icon list's items under the "Options" switches

// The switches as this system allows them: Wine has no winipcfg.exe and no
// "MSInfoPath" is set, so the IP configuration and MS System Information
// are never offered; on NT neither are the MS-DOS diagnostics.
const std::vector<std::wstring> kControlPanelCommon = {
    L"System Information", L"DMI Information", L"INI Information", L"Processor Test", L"Audio Test",
    L"Modem Test",         L"Graphics Test",   L"Hard Disk Test",  L"Floppy Disk Test", L"CD-ROM Test"};

TEST_F(HalvixViews, IconListItemsForTheOptionsOnNtAndOnWindows98) {
  struct Case {
    const char* what;
    bool win98;
    std::vector<std::wstring> tail;  // after the common items
    std::vector<int> tailImages;
  } cases[] = {
      {"NT",
       false,
       {L"Benchmarks", L"Cleanup", L"MS Mouse", L"MS Joystick", L"MS ScanDisk", L"USB Information",
        L"MS NT Task Manager"},
       {16, 18, 19, 20, 21, 24, 26}},
      {"Windows 98",
       true,
       {L"Hardware Diagnostics (MS-DOS)", L"Benchmarks", L"Cleanup", L"MS Mouse", L"MS Joystick", L"MS ScanDisk",
        L"TCP Tools", L"SCSI Tools", L"USB Information"},
       {15, 16, 18, 19, 20, 21, 24, 25, 26}},
  };
  const std::vector<int> commonImages = {2, 3, 4, 5, 8, 10, 11, 12, 13, 14};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kHalvixRoot);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kAppDefaults);
    if (c.win98) {
      ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, kAppDefaults, L"Version", L"win98"));
    }
    SeedInt(L"ControlPanelStyle", 1);
    SeedInt(L"Options", static_cast<int>(kOptions));
    HWND main = StartMain();
    ASSERT_NE(main, nullptr);
    HWND list = Child(Child(main, kPane), kPaneCol1);
    ASSERT_EQ(ClassOf(list), L"SysListView32");
    std::vector<ListItem> items;
    ASSERT_TRUE(PumpUntil([&] { return !(items = ListItems(list)).empty(); }, 5000));
    std::vector<std::wstring> names, expected = kControlPanelCommon;
    std::vector<int> images, expectedImages = commonImages;
    for (const ListItem& i : items) {
      names.push_back(i.name);
      images.push_back(i.image);
    }
    expected.insert(expected.end(), c.tail.begin(), c.tail.end());
    expectedImages.insert(expectedImages.end(), c.tailImages.begin(), c.tailImages.end());
    EXPECT_EQ(names, expected);
    EXPECT_EQ(images, expectedImages);
    EXPECT_EQ(items.size(), c.win98 ? 19u : 17u);
    EXPECT_EQ(items[3].command, ID_PROCESSOR_TEST);
    // The description column.
    EXPECT_EQ(ListViewItems(list, 1)[0],
              L"System Information (system summary, bus, CPU, disk, bios, DMI, PCI, PNP, network, etc.)");
    CloseMain(main);
  }
}

// "Options" that switches on programs this system lacks (every bit set):
// neither at start nor after a reset does the icon list offer them, and the
// IP configuration is not in the Tools menu.
TEST_F(HalvixViews, StoredSwitchesOfAbsentProgramsAreNotOfferedAtStartOrAfterAReset) {
  SeedInt(L"ControlPanelStyle", 1);
  SeedInt(L"Options", -1);
  const std::vector<std::wstring> absent = {L"I/O Port Test", L"Hardware Diagnostics (MS-DOS)",
                                            L"MS IP Configuration", L"MS System Information"};
  auto offered = [](HWND list) {
    std::vector<std::wstring> names;
    for (const ListItem& i : ListItems(list)) names.push_back(i.name);
    return names;
  };
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND list = Child(Child(main, kPane), kPaneCol1);
  ASSERT_EQ(ClassOf(list), L"SysListView32");
  std::vector<std::wstring> names;
  ASSERT_TRUE(PumpUntil([&] { return !(names = offered(list)).empty(); }, 5000));
  for (const std::wstring& a : absent)
    EXPECT_EQ(std::count(names.begin(), names.end(), a), 0) << appkit::Narrow(a);
  EXPECT_EQ(std::count(names.begin(), names.end(), std::wstring(L"Memory Test")), 1);
  EXPECT_EQ(::GetMenuState(::GetMenu(main), ID_IP_CONFIG, MF_BYCOMMAND), static_cast<UINT>(-1));

  // The reset's switches hold the MS-DOS diagnostics and the IP configuration
  // but not the NT task manager: the list is rebuilt once that goes.
  const std::wstring taskManager = L"MS NT Task Manager";
  EXPECT_EQ(std::count(names.begin(), names.end(), taskManager), 1);
  ::PostMessageW(main, WM_COMMAND, ID_RESET_DEFAULT_CONFIG, 0);
  ASSERT_TRUE(PumpUntil(
      [&] {
        names = offered(list);
        return !names.empty() && std::count(names.begin(), names.end(), taskManager) == 0;
      },
      10000));
  for (const std::wstring& a : absent)
    EXPECT_EQ(std::count(names.begin(), names.end(), a), 0) << appkit::Narrow(a);
  EXPECT_EQ(std::count(names.begin(), names.end(), std::wstring(L"Memory Test")), 1);
  CloseMain(main);
}

// ---- icon places

TEST_F(HalvixViews, IconPlacesSetByADragPersistAcrossARestart) {
  SeedInt(L"ControlPanelStyle", 1);
  SeedInt(L"AutoArrange", 0);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND list = Child(Child(main, kPane), kPaneCol1);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 3; }, 5000));

  // The user drags an item by the pointer; positions are in client pixels.
  auto drag = [&](int item, int dx, int dy, bool dropOutside = false) {
    RECT icon = ItemIconRect(list, item);
    POINT p{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2};
    auto at = [](int x, int y) { return MAKELPARAM(x, y); };
    ::PostMessageW(list, WM_LBUTTONDOWN, MK_LBUTTON, at(p.x, p.y));
    ::PostMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, at(p.x + dx / 2, p.y + dy / 2));
    ::PostMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, at(p.x + dx, p.y + dy));
    if (dropOutside) {
      ::PostMessageW(list, WM_MOUSEMOVE, MK_LBUTTON, at(-300, -300));
      ::PostMessageW(list, WM_LBUTTONUP, 0, at(-300, -300));
    } else {
      ::PostMessageW(list, WM_LBUTTONUP, 0, at(p.x + dx, p.y + dy));
    }
    // A last posted message whose effect can be read tells when the
    // program has taken them all (a sent message would overtake them).
    static int marker = 1000;
    ++marker;
    ::PostMessageW(list, LVM_SETHOVERTIME, 0, marker);
    ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(list, LVM_GETHOVERTIME, 0, 0) == marker; }, 5000));
  };
  const int border = ::GetSystemMetrics(SM_CXBORDER);
  const POINT before0 = ItemPosition(list, 0), before1 = ItemPosition(list, 1), before2 = ItemPosition(list, 2);
  drag(0, 60, 40);
  const POINT after0 = ItemPosition(list, 0);
  EXPECT_EQ(after0.x, before0.x + 60 - border);
  EXPECT_EQ(after0.y, before0.y + 40 - ::GetSystemMetrics(SM_CYBORDER));
  // "DragMin" 3: three pixels move nothing; four do.
  drag(1, 3, -3);
  EXPECT_EQ(ItemPosition(list, 1).x, before1.x);
  EXPECT_EQ(ItemPosition(list, 1).y, before1.y);
  drag(1, 0, 4 + 30);
  EXPECT_NE(ItemPosition(list, 1).y, before1.y);
  const POINT after1 = ItemPosition(list, 1);
  // A drop outside the view leaves the item where it was.
  drag(2, 50, 50, true);
  EXPECT_EQ(ItemPosition(list, 2).x, before2.x);
  EXPECT_EQ(ItemPosition(list, 2).y, before2.y);
  CloseMain(main);

  int x = 0, y = 0;
  ASSERT_TRUE(GetSettingInt(L"ITEMPOS0X", &x));
  ASSERT_TRUE(GetSettingInt(L"ITEMPOS0Y", &y));
  EXPECT_EQ(x, after0.x);
  EXPECT_EQ(y, after0.y);

  // The next start puts the items where they were left.
  main = StartMain();
  ASSERT_NE(main, nullptr);
  list = Child(Child(main, kPane), kPaneCol1);
  ASSERT_TRUE(PumpUntil([&] { return ::SendMessageW(list, LVM_GETITEMCOUNT, 0, 0) > 3; }, 5000));
  PumpUntil([&] { return ItemPosition(list, 0).x == after0.x; }, 3000);
  EXPECT_EQ(ItemPosition(list, 0).x, after0.x);
  EXPECT_EQ(ItemPosition(list, 0).y, after0.y);
  EXPECT_EQ(ItemPosition(list, 1).y, after1.y);
  // In list mode nothing is written at the end; after a switch of the layout
  // style the places are gone.
  ::PostMessageW(main, WM_COMMAND, ID_CONTROL_PANEL_STYLE, 0);
  EXPECT_EQ(AnswerBox(IDOK), L"You need to restart the program for this setting to take effect.");
  CloseMain(main);
  EXPECT_FALSE(GetSettingInt(L"ITEMPOS0X", &x));
  EXPECT_FALSE(GetSettingInt(L"ITEMPOS0Y", &y));
}

// ---- the tree, the toolbar strip, the title and logo panes

TEST_F(HalvixViews, TreeToolbarTitleAndLogoFollowTheSwitchesAndTheSelection) {
  SeedInt(L"Options", static_cast<int>(kOptions));
  ::CreateDirectoryW((dir_ + L"help").c_str(), nullptr);
  WriteFile(L"help\\dghelp2.htm",
            "<html><body>\r\n<!-- Text Begin -->\r\nWelcome to the <b>tests</b><br>\r\nPick one.<p>\r\n"
            "<!-- Text End -->\r\n</body></html>\r\n");
  WriteFile(L"help\\dglinks2.htm", "<!-- Text Begin -->\nThe shortcuts\n");
  // Without the browser library (Wine's per-program setting) the frame's
  // probe fails: the logo pane serves.
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, std::wstring(kAppDefaults) + L"\\DllOverrides", L"ieframe",
                                     L""));
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND s1 = Child(main, kPane), s2 = Child(s1, kPaneCol1), s3 = Child(s2, kPaneRow1), s4 = Child(s3, kPaneCol1);
  HWND strip = Child(s1, kPane), title = Child(s2, kPane), tree = Child(s3, kPane), help = Child(s4, kPaneRow1);
  ASSERT_TRUE(strip && title && tree && help);

  EXPECT_EQ(TreeViewItems(tree),
            (std::vector<std::wstring>{L"Qev", L"  System Information", L"  Processor Test", L"  Audio Test",
                                       L"  Modem Test", L"  Graphics Test", L"  Hard Disk Test", L"  Floppy Disk Test",
                                       L"  CD-ROM Test", L"  Shortcuts"}));
  EXPECT_EQ(SelectedData(tree), halvix::kPageTests);
  EXPECT_EQ(GetText(title), L"Qev");
  HWND toolbar = FindChild(strip, L"ToolbarWindow32");
  ASSERT_NE(toolbar, nullptr);
  EXPECT_EQ(ButtonCaptions(toolbar),
            (std::vector<std::wstring>{L"Qev", L"System Information", L"Processor Test", L"Audio Test", L"Modem Test",
                                       L"Graphics Test", L"Hard Disk Test", L"Floppy Disk Test", L"CD-ROM Test",
                                       L"Shortcuts"}));
  // No browser here: the logo pane shows the marked text of the page.
  ASSERT_EQ(ClassOf(help), L"HalvixLogoView");
  EXPECT_EQ(GetText(help), L"Welcome to the tests\r\nPick one.\r\n\r\n");
  // The icon list of the first group: the pages.
  HWND list = Child(s4, kPane);
  EXPECT_EQ(ListViewItems(list), (std::vector<std::wstring>{L"DMI Information", L"INI Information", L"Benchmarks"}));

  // A switched-off test: its command selects nothing.
  ::PostMessageW(main, WM_COMMAND, ID_MEMORY_TEST, 0);
  EXPECT_TRUE(NoBoxFor(500));
  EXPECT_EQ(SelectedData(tree), halvix::kPageTests);

  // The "Shortcuts" node: the tools, its title and its page.
  ::PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(NodeOf(tree, halvix::kPageShortcuts)));
  ASSERT_TRUE(PumpUntil([&] { return GetText(title) == L"Shortcuts"; }, 5000));
  ASSERT_TRUE(PumpUntil([&] { return ListViewItems(list).size() == 6; }, 5000));
  EXPECT_EQ(ListViewItems(list).front(), L"Cleanup");
  EXPECT_EQ(GetText(help), L"The shortcuts ");

  // Selecting an item shows its status text; Enter runs its command.
  const std::vector<std::wstring> tools = ListViewItems(list);
  int mouse = -1;
  for (size_t i = 0; i < tools.size(); ++i)
    if (tools[i] == L"MS Mouse") mouse = static_cast<int>(i);
  ASSERT_GE(mouse, 0);
  {
    Remote r(list, sizeof(LVITEMW));
    LVITEMW it{};
    it.stateMask = it.state = LVIS_SELECTED | LVIS_FOCUSED;
    r.Write(&it, sizeof(it));
    ::SendMessageW(list, LVM_SETITEMSTATE, mouse, r.at());
  }
  HWND status = Child(main, 0xE801);
  ASSERT_TRUE(PumpUntil([&] { return GetText(status) == L"Shortcut to MS Mouse Properties"; }, 5000))
      << appkit::Narrow(GetText(status));
  ::PostMessageW(list, WM_KEYDOWN, VK_RETURN, 0);
  EXPECT_EQ(AnswerBox(IDOK), L"Mouse properties module is not installed. ");

  // A toolbar button runs its command as the menu would: the tree follows.
  ::PostMessageW(strip, WM_COMMAND, MAKEWPARAM(ID_PROCESSOR_TEST, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
  ASSERT_TRUE(PumpUntil([&] { return SelectedData(tree) == ID_PROCESSOR_TEST; }, 5000));
  EXPECT_EQ(GetText(title), L"Processor Test");
  CloseMain(main);
}

TEST_F(HalvixViews, TreeRefusesAPageChangeWhileAHostedMemoryTestRuns) {
  MemoryPage page;
  ASSERT_TRUE(StartOnMemoryPage(&page));
  HWND main = page.main, strip = page.panes.strip, title = page.panes.title, tree = page.panes.tree;
  HWND module = page.panes.module, toolbar = page.panes.toolbar, control = page.control, start = page.start;
  EXPECT_EQ(GetText(title), L"Memory Test");
  ASSERT_TRUE(ClickButton(start));
  EXPECT_FALSE(AnswerBox(IDYES, 10000, L"Memory Test").empty());
  HWND stop = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (stop = FindChild(control, L"Button", L"&Stop")) != nullptr; }, 15000));

  // While it runs: a click on another node, a menu test command and a
  // toolbar button are all refused, and the memory node stays selected.
  const HTREEITEM processor = NodeOf(tree, ID_PROCESSOR_TEST);
  ASSERT_NE(processor, nullptr);
  ::PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(processor));
  EXPECT_EQ(AnswerBox(IDOK), kRefusal);
  EXPECT_EQ(SelectedData(tree), ID_MEMORY_TEST);
  ::PostMessageW(main, WM_COMMAND, ID_PROCESSOR_TEST, 0);
  EXPECT_EQ(AnswerBox(IDOK), kRefusal);
  EXPECT_EQ(SelectedData(tree), ID_MEMORY_TEST);
  ::PostMessageW(strip, WM_COMMAND, MAKEWPARAM(halvix::kPageShortcuts, BN_CLICKED), reinterpret_cast<LPARAM>(toolbar));
  EXPECT_EQ(AnswerBox(IDOK), kRefusal);
  EXPECT_TRUE(NoBoxFor(500));
  EXPECT_EQ(SelectedData(tree), ID_MEMORY_TEST);
  EXPECT_EQ(Child(module, 1001), control);  // the run goes on
  EXPECT_NE(FindChild(control, L"Button", L"&Stop"), nullptr);

  // Stopped (the control asks the user to wait for the end of the run),
  // the change goes through.
  ASSERT_TRUE(ClickButton(stop));
  EXPECT_EQ(AnswerBox(IDOK, 30000, L"Memory Test"), L"Please wait for the test to abort.");
  ASSERT_TRUE(PumpUntil([&] { return FindChild(control, L"Button", L"&Start") != nullptr; }, 20000));
  ::PostMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(processor));
  ASSERT_TRUE(PumpUntil([&] { return SelectedData(tree) == ID_PROCESSOR_TEST; }, 10000));
  EXPECT_TRUE(NoBoxFor(300));
  EXPECT_EQ(GetText(title), L"Processor Test");
  ASSERT_TRUE(PumpUntil([&] { HWND c = Child(module, 1001); return c && c != control; }, 15000));
  CloseMain(main);
}

// While a box of the hosted control is up (its question before a run, its
// request to wait for the end of a stopped run) the control is inside its
// own handler, under the box: clicks in the tree and on the control, a page
// switch, a menu command, a toolbar button and the system menu's Close all
// leave it where it is; the frame brought to the front keeps the box in
// front of it; the box still takes its answer, and after it a click in the
// tree changes the page again.
TEST_F(HalvixViews, TreeRefusesAPageChangeWhileTheHostedControlsBoxIsUp) {
  MemoryPage page;
  ASSERT_TRUE(StartOnMemoryPage(&page));
  HWND main = page.main, strip = page.panes.strip, title = page.panes.title, tree = page.panes.tree;
  HWND module = page.panes.module, toolbar = page.panes.toolbar, control = page.control, start = page.start;
  const HTREEITEM processor = NodeOf(tree, ID_PROCESSOR_TEST);
  ASSERT_NE(processor, nullptr);

  // What could take the page away while the box is up.
  struct Way {
    const char* name;
    std::function<bool()> act;
  };
  const Way ways[] = {
      {"a click on another node", [&] { return MouseClickAt(NodePoint(tree, processor)); }},
      {"a click on the control's Start", [&] { return MouseClickAt(MiddleOf(start)); }},
      {"a page switch", [&] { return ::PostMessageW(main, halvix::WM_SELECTPAGE, ID_PROCESSOR_TEST, 0) != FALSE; }},
      {"a menu test command", [&] { return ::PostMessageW(main, WM_COMMAND, ID_PROCESSOR_TEST, 0) != FALSE; }},
      {"a toolbar strip button",
       [&] {
         return ::PostMessageW(strip, WM_COMMAND, MAKEWPARAM(halvix::kPageShortcuts, BN_CLICKED),
                               reinterpret_cast<LPARAM>(toolbar)) != FALSE;
       }},
      // (The frame under a box takes no Close from its system menu.)
      {"the system menu's Close", [&] { return ::PostMessageW(main, WM_SYSCOMMAND, SC_CLOSE, 0) != FALSE; }},
      // A second start of Halvix asks the frame to come to the front (as the
      // information server does once its start is over): the box must not
      // stay hidden behind it.
      {"a second start's call to come forward",
       [&] { return ::PostMessageW(main, ::RegisterWindowMessageW(suite::kDiagSemaphoreMessage), 0, 0) != FALSE; }},
      {"the frame brought to the front from outside", [&] { return ::SetForegroundWindow(main) != FALSE; }},
  };
  // The boxes, how each comes up, its text and the button that answers it.
  struct Box {
    const char* name;
    std::function<void()> bringUp;
    const wchar_t* text;
    int answer;
  };
  const Box boxes[] = {
      {"the question before a run", [&] { ASSERT_TRUE(ClickButton(start)); }, nullptr, IDNO},
      {"the wait for the end of a stopped run",
       [&] {
         ASSERT_TRUE(ClickButton(start));
         ASSERT_FALSE(AnswerBox(IDYES, 10000, L"Memory Test").empty());
         ASSERT_TRUE(PumpUntil([&] { return GetText(start) == L"&Stop"; }, 15000));
         ASSERT_TRUE(ClickButton(start));
       },
       L"Please wait for the test to abort.", IDOK},
  };
  for (const Box& b : boxes) {
    SCOPED_TRACE(b.name);
    b.bringUp();
    if (HasFatalFailure()) return;
    HWND box = WaitForWindow(L"Memory Test", L"#32770", p_.Pid(), 15000);
    ASSERT_NE(box, nullptr);
    if (b.text) {
      EXPECT_EQ(GetText(FindChildById(box, 0xFFFF)), b.text);
      // The run comes to its end under the box, which stays: no test runs
      // any more, and the control is still inside its handler.
      ASSERT_TRUE(PumpUntil([&] { return GetText(start) == L"&Start"; }, 30000));
    }
    for (const Way& w : ways) EXPECT_TRUE(w.act()) << w.name;
    // Once the program has handled all that (the frame comes forward and
    // puts its box in front again), the box is in front and takes a click
    // of its own.
    HWND answer = FindChildById(box, b.answer);
    ASSERT_NE(answer, nullptr);
    ASSERT_TRUE(HandledWhatCameBefore(answer));
    EXPECT_EQ(ActiveWindowOf(main), box) << "the box is in front";
    EXPECT_EQ(::WindowFromPoint(MiddleOf(answer)), answer) << "the box's button is on top";
    // Wine takes the display's own word on the focus a while later, which
    // on a busy machine can come between a press and its release and cancel
    // that one click: a user clicks again, and so does this test, while the
    // box stays in front.
    bool taken = false;
    for (int click = 1; click <= 3 && !taken; ++click) {
      ASSERT_TRUE(MouseClickAt(MiddleOf(answer)));
      taken = WaitWindowGone(box, 5000);
      if (!taken) {
        std::printf("[ click   ] click %d on the box's button not taken\n", click);
        ASSERT_TRUE(HandledWhatCameBefore(answer));
        EXPECT_EQ(ActiveWindowOf(main), box) << "the box is in front";
      }
    }
    if (!taken) {
      ADD_FAILURE() << "the box did not take its click; the windows:\n" << WindowsOf(p_.Pid());
      ClickButton(box, b.answer);
      WaitWindowGone(box, 5000);
    }
    ASSERT_TRUE(p_.Running()) << "Halvix ended";
    EXPECT_TRUE(NoBoxFor(500)) << WindowsOf(p_.Pid());
    EXPECT_EQ(FindTopWindow(L"Memory Test", L"#32770", p_.Pid()), nullptr) << "a second box of the control";
    EXPECT_EQ(Child(module, 1001), control) << "the control is still the one in the pane";
    EXPECT_TRUE(::IsWindow(start));
    EXPECT_EQ(SelectedData(tree), ID_MEMORY_TEST);
    EXPECT_EQ(GetText(title), L"Memory Test");
    EXPECT_EQ(GetText(start), L"&Start") << "no run goes on";
  }

  // With the boxes gone, a click on another node changes the page.
  ASSERT_TRUE(MouseClickAt(NodePoint(tree, processor)));
  ASSERT_TRUE(PumpUntil([&] { return SelectedData(tree) == ID_PROCESSOR_TEST; }, 10000));
  EXPECT_EQ(GetText(title), L"Processor Test");
  ASSERT_TRUE(PumpUntil([&] { HWND c = Child(module, 1001); return c && c != control; }, 15000));
  CloseMain(main);
}

// Resetting the configuration changes the switches (the memory test comes
// back): the tree and the toolbar strip are rebuilt, every button keeps its
// own caption, and a rebuild keeps the selected test node. The I/O port test
// that "Options" switches on is never offered on NT, before or after.
TEST_F(HalvixViews, RebuildsFollowTheResetSwitchesAndKeepTheSelection) {
  SeedInt(L"Options", static_cast<int>(~(1u << 18)));
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND s1 = Child(main, kPane), s2 = Child(s1, kPaneCol1), s3 = Child(s2, kPaneRow1);
  HWND tree = Child(s3, kPane), toolbar = FindChild(Child(s1, kPane), L"ToolbarWindow32");
  ASSERT_TRUE(tree && toolbar);
  EXPECT_EQ(NodeOf(tree, ID_IOPORT_TEST), nullptr);
  EXPECT_EQ(NodeOf(tree, ID_MEMORY_TEST), nullptr);
  EXPECT_EQ(ButtonCaptions(toolbar).size(), 10u);

  ::PostMessageW(main, WM_COMMAND, ID_RESET_DEFAULT_CONFIG, 0);
  ASSERT_TRUE(PumpUntil([&] { return NodeOf(tree, ID_MEMORY_TEST) != nullptr; }, 10000));
  EXPECT_EQ(NodeOf(tree, ID_IOPORT_TEST), nullptr);
  ASSERT_TRUE(PumpUntil([&] { return ButtonCaptions(toolbar).size() == 11u; }, 5000));
  EXPECT_EQ(ButtonCaptions(toolbar),
            (std::vector<std::wstring>{L"Qev", L"System Information", L"Processor Test", L"Memory Test",
                                       L"Audio Test", L"Modem Test", L"Graphics Test", L"Hard Disk Test",
                                       L"Floppy Disk Test", L"CD-ROM Test", L"Shortcuts"}));

  ::PostMessageW(main, WM_COMMAND, ID_PROCESSOR_TEST, 0);
  ASSERT_TRUE(PumpUntil([&] { return SelectedData(tree) == ID_PROCESSOR_TEST; }, 10000));
  DWORD_PTR r = 0;
  ASSERT_TRUE(::SendMessageTimeoutW(tree, halvix::WM_REFRESHITEMS, 0, 0, SMTO_NORMAL, 10000, &r));
  EXPECT_EQ(TreeViewItems(tree).size(), 11u);  // the root, nine tests, "Shortcuts"
  EXPECT_EQ(SelectedData(tree), ID_PROCESSOR_TEST);
  EXPECT_TRUE(NoBoxFor(300));
  CloseMain(main);
}

// ---- the help pane with the platform's browser

TEST_F(HalvixViews, HelpPaneHostsTheBrowserWhenTheProbeFindsIt) {
  // This test's Wine has the browser control (without its HTML engine).
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND s1 = Child(main, kPane), s2 = Child(s1, kPaneCol1), s3 = Child(s2, kPaneRow1), s4 = Child(s3, kPaneCol1);
  HWND help = Child(s4, kPaneRow1);
  ASSERT_EQ(ClassOf(help), L"HalvixWebView");
  HWND browser = Child(help, 1144);
  ASSERT_NE(browser, nullptr);
  RECT pane, control;
  ::GetClientRect(help, &pane);
  ::GetClientRect(browser, &control);
  EXPECT_EQ(control.right, pane.right);
  EXPECT_EQ(control.bottom, pane.bottom);
  // The frame's history commands reach the browser without harm.
  for (UINT id : {ID_GO_HOME, ID_GO_BACK, ID_GO_FORWARD, ID_GO_RELOAD}) ::PostMessageW(main, WM_COMMAND, id, 0);
  EXPECT_TRUE(NoBoxFor(500));
  CloseMain(main);
}

// ---- the collect dialog with the real information server

TEST_F(HalvixViews, CollectDialogWalksAllCategoriesAndEveryFileIsWritten) {
  // The server writes beside its control: a copy of its own in this test's
  // folder, so that no other test's files get in the way.
  ASSERT_TRUE(::CopyFileW(SuitePath(L"QUORREL.OCX").c_str(), (dir_ + L"QUORREL.OCX").c_str(), FALSE));
  serverPathBefore_ =
      appkit::RegReadString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, L"");
  ownServer_ = true;
  ASSERT_EQ(ctltest::RegisterControl(dir_ + L"QUORREL.OCX"), 0);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return ::FindWindowW(nullptr, suite::kInfoServerTitle) != nullptr; }, 10000));
  const std::wstring serverDir =
      appkit::RegReadString(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, suite::kModulePathValue, L"");
  ASSERT_EQ(_wcsicmp(serverDir.c_str(), dir_.c_str()), 0) << appkit::Narrow(serverDir);
  FILETIME now;
  ::GetSystemTimeAsFileTime(&now);
  ULARGE_INTEGER t0{{now.dwLowDateTime, now.dwHighDateTime}};
  t0.QuadPart -= 20000000ull;  // file times may be coarse

  DWORD started = ::GetTickCount();
  ::PostMessageW(main, WM_COMMAND, ID_COLLECT_INFO, 0);
  HWND dlg = WaitForWindow(L"Collect System Information", L"#32770", p_.Pid(), 10000);
  ASSERT_NE(dlg, nullptr);
  std::vector<std::wstring> seen;
  ASSERT_TRUE(PumpUntil(
      [&] {
        if (!::IsWindow(dlg)) return true;
        std::wstring t = GetText(FindChildById(dlg, 1038));
        if (!t.empty() && (seen.empty() || seen.back() != t)) seen.push_back(t);
        return false;
      },
      120000));
  const DWORD took = ::GetTickCount() - started;
  std::printf("[ measure  ] collect dialog: 16 categories in %lu ms\n", took);
  // The texts seen on the way name the categories in their order.
  static const wchar_t* const kNames[] = {L"Summary", L"Memory", L"Processor", L"Bios", L"PCI", L"PNP",
                                          L"I/O Port", L"Video", L"Audio", L"Hard Disk", L"Floppy Disk",
                                          L"Modem", L"CD-ROM", L"Network", L"Printer", L"Software"};
  ASSERT_FALSE(seen.empty());
  // (A text read from outside while the dialog changes it may come cut
  // short; such reads are left out.)
  int last = -1, whole = 0;
  for (const std::wstring& t : seen) {
    int at = -1;
    for (int c = 0; c < 16; ++c)
      if (t == std::wstring(L"Collecting Information on ") + kNames[c]) at = c;
    if (at < 0) continue;
    ++whole;
    EXPECT_GT(at, last) << appkit::Narrow(t);
    last = at;
  }
  EXPECT_GT(whole, 0);
  for (unsigned c = 0; c < suite::INFO_CATEGORY_COUNT; ++c) {
    std::wstring file = serverDir + appkit::Widen(suite::kInfoFileBase[c]) + L".IFO";
    FILETIME ft = FileTimeOf(file);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    EXPECT_GE(t.QuadPart, t0.QuadPart) << appkit::Narrow(file);
  }
  EXPECT_TRUE(NoBoxFor(300));
  CloseMain(main);
}

}  // namespace
