// Halvix's main frame end to end under Wine: a copy of the program (with the
// memory module beside it) in a scratch directory, the suite's controls
// registered as an installer would, driven through its window's commands
// and messages and judged by its panes, processes and message boxes.
#include <gtest/gtest.h>
#include <windows.h>
// (after windows.h)
#include <shellapi.h>
#include <tlhelp32.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <sstream>
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
const wchar_t kBackupRoot[] = L"Software\\HalvixFrameTestBackup";
const wchar_t kFrameClass[] = L"HalvixMainFrame";
const wchar_t kRunOnceKey[] = L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\RunOnce";
constexpr UINT kPane = 0xE900;  // first pane of a splitter
constexpr UINT kPaneRow1 = 0xE910;
constexpr UINT kPaneCol1 = 0xE901;



void SeedInt(const wchar_t* name, int v) {
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, suite::kHalvixSettingKey, name, static_cast<DWORD>(v)));
}

bool GetSettingInt(const wchar_t* name, int* v) {
  appkit::RegKey k;
  DWORD d = 0;
  if (!k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey) || !k.GetDword(name, &d)) return false;
  *v = static_cast<int>(d);
  return true;
}

bool RunOnceValue(std::wstring* value) {
  appkit::RegKey k;
  return k.Open(HKEY_CURRENT_USER, kRunOnceKey) && k.GetString(L"Halvix", value);
}

void DeleteRunOnceValue() {
  appkit::RegKey k;
  if (k.Open(HKEY_CURRENT_USER, kRunOnceKey, KEY_SET_VALUE)) ::RegDeleteValueW(k.get(), L"Halvix");
}

// Processes of a program file name started by `parent`.
std::vector<DWORD> ChildProcesses(DWORD parent, const wchar_t* exe) {
  std::vector<DWORD> pids;
  HANDLE snap = ::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  PROCESSENTRY32W pe{};
  pe.dwSize = sizeof(pe);
  for (BOOL ok = ::Process32FirstW(snap, &pe); ok; ok = ::Process32NextW(snap, &pe))
    if (pe.th32ParentProcessID == parent && _wcsicmp(pe.szExeFile, exe) == 0) pids.push_back(pe.th32ProcessID);
  ::CloseHandle(snap);
  return pids;
}

// A process object exists while anyone holds a handle to it: once a module
// has ended, its id opens only while the frame still keeps its record.
bool ProcessObjectExists(DWORD pid) {
  HANDLE h = ::OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
  if (!h) return false;
  ::CloseHandle(h);
  return true;
}

bool ProcessEnded(DWORD pid, DWORD ms) {
  HANDLE h = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  if (!h) return true;
  bool ended = ::WaitForSingleObject(h, ms) == WAIT_OBJECT_0;
  ::CloseHandle(h);
  return ended;
}

RECT InParent(HWND w) {
  RECT r{};
  ::GetWindowRect(w, &r);
  ::MapWindowPoints(nullptr, ::GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return r;
}
int Width(HWND w) {
  RECT r = InParent(w);
  return r.right - r.left;
}
int Height(HWND w) {
  RECT r = InParent(w);
  return r.bottom - r.top;
}

// The direct child with an id (GetDlgItem works across processes).
HWND Child(HWND parent, UINT id) { return parent ? ::GetDlgItem(parent, static_cast<int>(id)) : nullptr; }

bool Shown(HWND w) { return w && (::GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE); }

// The panes of the tree layout, by their place in the splitters.
struct TreePanes {
  HWND s1, s2, s3, s4;
  HWND toolbarView, title, tree, upper, help;
};
TreePanes TreePanesOf(HWND main) {
  TreePanes p{};
  p.s1 = Child(main, kPane);
  p.toolbarView = Child(p.s1, kPane);
  p.s2 = Child(p.s1, kPaneCol1);
  p.title = Child(p.s2, kPane);
  p.s3 = Child(p.s2, kPaneRow1);
  p.tree = Child(p.s3, kPane);
  p.s4 = Child(p.s3, kPaneCol1);
  p.upper = Child(p.s4, kPane);
  p.help = Child(p.s4, kPaneRow1);
  return p;
}

// 8 bits, grey palette, w x h.
std::string GreyBitmap(int w, int h) {
  const size_t stride = (static_cast<size_t>(w) + 3) / 4 * 4;
  const size_t off = 14 + 40 + 1024;
  std::string s(off + stride * h, '\0');
  auto put32 = [&](size_t at, uint32_t v) { std::memcpy(&s[at], &v, 4); };
  auto put16 = [&](size_t at, uint16_t v) { std::memcpy(&s[at], &v, 2); };
  s[0] = 'B';
  s[1] = 'M';
  put32(2, static_cast<uint32_t>(s.size()));
  put32(10, static_cast<uint32_t>(off));
  put32(14, 40);
  put32(18, static_cast<uint32_t>(w));
  put32(22, static_cast<uint32_t>(h));
  put16(26, 1);
  put16(28, 8);
  for (int i = 0; i < 256; ++i) s[54 + i * 4] = s[55 + i * 4] = s[56 + i * 4] = static_cast<char>(i);
  for (size_t i = off; i < s.size(); ++i) s[i] = static_cast<char>(i % 256);
  return s;
}

class HalvixFrame : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    for (const wchar_t* ocx : {L"ZENTREL.OCX", L"QUORREL.OCX"}) ASSERT_EQ(ctltest::RegisterControl(SuitePath(ocx)), 0);
  }

  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = TempDir() + L"halvix-frame-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(base_.c_str(), nullptr);
    dir_ = base_ + appkit::Widen(info->name()) + L"\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll", L"zentrel.mod"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
    halvixKey_.emplace(kHalvixRoot, std::wstring(kBackupRoot) + L"\\Halvix");
    DeleteRunOnceValue();
    ASSERT_TRUE(testsupport::UseSmallMachine(1024));  // memory test runs that last
    // The real pointer stays off the program's windows: a move that Wine
    // makes up from it while a splitter holds the capture would move a bar.
    ::SetCursorPos(::GetSystemMetrics(SM_CXSCREEN) - 1, ::GetSystemMetrics(SM_CYSCREEN) - 1);
  }

  void TearDown() override {
    if (p_.Running()) p_.Kill();
    for (DWORD pid : extra_) testsupport::EndProcessById(pid);
    DeleteRunOnceValue();
    halvixKey_.reset();
    testsupport::RemoveTree(base_);
  }

  // Starts the copy and waits for its visible main window (the title
  // dialog is clicked away).
  HWND StartMain(const std::wstring& args = L"") {
    if (!p_.Start(dir_ + L"halvix.exe", args)) return nullptr;
    return WaitForMainWindow(p_.Pid(), p_.Handle(), kFrameClass, 30000);
  }

  void CloseMain(HWND main) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p_.WaitExit(30000));
    EXPECT_EQ(p_.ExitCode(), 0u);
  }

  // A command as the menu gives it.
  void Command(HWND main, UINT id) { ::PostMessageW(main, WM_COMMAND, id, 0); }

  // Waits for a message box of the program, reads its text and presses `button`.
  std::wstring AnswerBox(int button, DWORD ms = 30000, const std::wstring& caption = L"Qev") {
    HWND box = WaitForWindow(caption, L"#32770", p_.Pid(), ms);
    if (!box) return L"<no box>";
    HWND text = FindChildById(box, 0xFFFF);
    std::wstring said = text ? GetText(text) : L"<no text>";
    ClickButton(box, button);
    WaitWindowGone(box, 5000);
    return said;
  }

  // No message box of the program comes up for a while (the information
  // server's own window is a hidden dialog).
  bool NoBoxFor(DWORD ms) {
    return !PumpUntil([&] { return VisibleDialogOf(p_.Pid()) != nullptr; }, ms);
  }
  struct FindDialog {
    DWORD pid;
    HWND found;
  };
  static BOOL CALLBACK FindVisibleDialog(HWND w, LPARAM lp) {
    auto* f = reinterpret_cast<FindDialog*>(lp);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(w, &owner);
    if (owner == f->pid && ::IsWindowVisible(w) && ClassOf(w) == L"#32770") {
      f->found = w;
      return FALSE;
    }
    return TRUE;
  }
  static HWND VisibleDialogOf(DWORD pid) {
    FindDialog f{pid, nullptr};
    ::EnumWindows(&FindVisibleDialog, reinterpret_cast<LPARAM>(&f));
    return f.found;
  }

  std::wstring base_, dir_;
  std::optional<testsupport::KeyAside> halvixKey_;
  Process p_;
  std::vector<DWORD> extra_;  // processes to end at tear-down
};

// ---- layouts

TEST_F(HalvixFrame, TreeLayoutHasItsPanesAndTheUpperPaneShowsTheTestsGroup) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  TreePanes p = TreePanesOf(main);
  ASSERT_TRUE(p.s1 && p.s2 && p.s3 && p.s4);
  EXPECT_EQ(ClassOf(p.toolbarView), L"HalvixToolbarView");
  EXPECT_EQ(ClassOf(p.title), L"HalvixTitleView");
  EXPECT_EQ(ClassOf(p.tree), L"SysTreeView32");
  EXPECT_EQ(ClassOf(p.upper), L"SysListView32");  // the icon list
  const std::wstring help = ClassOf(p.help);
  EXPECT_TRUE(help == L"HalvixWebView" || help == L"HalvixLogoView") << help.c_str();
  // The strips of the settings' defaults, the upper pane of the tests group.
  EXPECT_EQ(Width(p.toolbarView) + 4, 64);  // a pane lies inside its border
  EXPECT_EQ(Height(p.title) + 4, 22);
  EXPECT_EQ(Width(p.tree) + 4, 150);
  EXPECT_EQ(Height(p.upper) + 4, 85);
  // The module view waits hidden under its own id.
  HWND module = Child(p.s4, halvix::kModuleViewHiddenId);
  ASSERT_NE(module, nullptr);
  EXPECT_EQ(ClassOf(module), L"HalvixModuleView");
  EXPECT_FALSE(Shown(module));
  // The frame's tool bar is off by default, the status bar on.
  HWND toolbar = Child(main, 0xE800), status = Child(main, 0xE801);
  ASSERT_TRUE(toolbar && status);
  EXPECT_FALSE(Shown(toolbar));
  EXPECT_TRUE(Shown(status));
  // The information server's control, hidden.
  HWND quorrel = Child(main, halvix::kQuorrelControlId);
  ASSERT_NE(quorrel, nullptr);
  EXPECT_FALSE(Shown(quorrel));

  // The tool bar shows at the top, and it is placed above the panes.
  Command(main, ID_VIEW_TOOLBAR);
  RECT tb{}, s1{};
  // Shown first, then the frame lays its panes out below it.
  EXPECT_TRUE(PumpUntil([&] {
    tb = InParent(toolbar);
    s1 = InParent(p.s1);
    return Shown(toolbar) && tb.bottom > 0 && s1.top == tb.bottom;
  }, 5000));
  EXPECT_EQ(tb.top, 0);
  EXPECT_EQ(s1.top, tb.bottom);
  CloseMain(main);
  int shown = 0;
  EXPECT_TRUE(GetSettingInt(L"ShowToolBar", &shown));
  EXPECT_EQ(shown, 1);
}

TEST_F(HalvixFrame, ControlPanelLayoutHasTheHelpAndTheIconList) {
  SeedInt(L"ControlPanelStyle", 1);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND s4 = Child(main, kPane);
  ASSERT_NE(s4, nullptr);
  HWND help = Child(s4, kPane), list = Child(s4, kPaneCol1);
  ASSERT_TRUE(help && list);
  EXPECT_EQ(ClassOf(list), L"SysListView32");
  EXPECT_EQ(Child(s4, halvix::kModuleViewHiddenId), nullptr);  // no module view in this layout
  RECT client;
  ::GetClientRect(s4, &client);
  if (ClassOf(help) == L"HalvixWebView") {
    // The help column as wide as "SplitterControlPanelDx".
    EXPECT_EQ(Width(help) + 4, 140);
    EXPECT_EQ(InParent(list).right + 2, client.right);
  } else {
    // Without a browser the help window is off: the icon list takes it all.
    EXPECT_EQ(ClassOf(help), L"HalvixLogoView");
    EXPECT_EQ(Width(help), 0);
    EXPECT_EQ(Width(list), client.right - 1);
  }
  CloseMain(main);
}

// "Show Control Panel Style" is for the next start, and a reset does not
// bring it forward: the window goes on in the layout it was started with (a
// test shows in its pane, no module program starts), its size is kept under
// the names of that layout, and the next start comes up in the other one.
TEST_F(HalvixFrame, AfterTheLayoutSwitchAndAResetTheWindowKeepsItsLayoutUntilTheRestart) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  TreePanes p = TreePanesOf(main);
  HWND module = Child(p.s4, halvix::kModuleViewHiddenId);
  ASSERT_NE(module, nullptr);
  Command(main, ID_CONTROL_PANEL_STYLE);
  EXPECT_EQ(AnswerBox(IDOK), L"You need to restart the program for this setting to take effect.");
  Command(main, ID_RESET_DEFAULT_CONFIG);
  // The reset writes the settings one after the other.
  int options = 0, style = 0;
  EXPECT_TRUE(PumpUntil(
      [&] {
        return GetSettingInt(L"Options", &options) && options == 0x1FDFFFF &&
               GetSettingInt(L"ControlPanelStyle", &style);
      },
      10000))
      << "the reset";
  EXPECT_EQ(options, 0x1FDFFFF) << "the reset";
  EXPECT_EQ(style, 1) << "the layout of the next start";

  // A test command still shows its page in the pane.
  Command(main, ID_MEMORY_TEST);
  EXPECT_TRUE(PumpUntil([&] { return Child(p.s4, kPane) == module && Child(module, 1001) != nullptr; }, 15000))
      << "the memory page in the pane";
  EXPECT_TRUE(ChildProcesses(p_.Pid(), L"zentrel.mod").empty()) << "no module program";

  // The user sizes the window: kept under the tree layout's names.
  ::SetWindowPos(main, nullptr, 100, 110, 640, 480, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SendMessageW(main, WM_EXITSIZEMOVE, 0, 0);
  CloseMain(main);
  int v = 0;
  const std::pair<const wchar_t*, int> kept[] = {{L"X", 100}, {L"Y", 110}, {L"Width", 640}, {L"Height", 480}};
  for (auto [name, value] : kept) {
    EXPECT_TRUE(GetSettingInt(name, &v)) << appkit::Narrow(name);
    EXPECT_EQ(v, value) << appkit::Narrow(name);
  }
  EXPECT_FALSE(GetSettingInt(L"Width2", &v)) << "the control-panel layout's size is left alone";

  // The restart takes the control-panel layout.
  main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND s4 = Child(main, kPane);
  EXPECT_EQ(ClassOf(Child(s4, kPaneCol1)), L"SysListView32");
  EXPECT_EQ(Child(s4, halvix::kModuleViewHiddenId), nullptr);
  CloseMain(main);
}

// ---- the control-panel layout runs tests as module programs

TEST_F(HalvixFrame, MemoryTestRunsAsAModuleWhoseEndAndCloseTheFrameFollows) {
  SeedInt(L"ControlPanelStyle", 1);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);

  Command(main, ID_MEMORY_TEST);
  std::vector<DWORD> mods;
  ASSERT_TRUE(PumpUntil([&] { return (mods = ChildProcesses(p_.Pid(), L"zentrel.mod")).size() == 1; }, 30000));
  const DWORD first = mods[0];
  extra_.push_back(first);
  HWND dlg = WaitForWindow(L"Memory Test", L"#32770", first, 30000);
  ASSERT_NE(dlg, nullptr);
  ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(dlg) != FALSE; }, 30000));

  // A second start of the same kind: the running one is only activated. A
  // command that needs the machine to itself is refused; posted behind the
  // second start, its box being answered means the second start has been
  // handled (a box of that start would still be up: the refusal would have
  // come inside its modal loop).
  Command(main, ID_MEMORY_TEST);
  Command(main, ID_STRESS_TEST);
  EXPECT_EQ(AnswerBox(IDOK), L"Please close all running modules.");
  EXPECT_EQ(VisibleDialogOf(p_.Pid()), nullptr);
  EXPECT_EQ(ChildProcesses(p_.Pid(), L"zentrel.mod").size(), 1u);

  // The user closes the module: it reports to the frame, which lets go of
  // the process (its handles are closed, so the process object goes).
  ASSERT_TRUE(ClickButton(dlg, IDCANCEL));
  ASSERT_TRUE(ProcessEnded(first, 30000));
  EXPECT_TRUE(PumpUntil([&] { return !ProcessObjectExists(first); }, 30000))
      << "the frame still holds the ended module";

  // Started again, and Halvix closed while it runs: the module ends too.
  Command(main, ID_MEMORY_TEST);
  ASSERT_TRUE(PumpUntil([&] { return (mods = ChildProcesses(p_.Pid(), L"zentrel.mod")).size() == 1; }, 30000));
  const DWORD second = mods[0];
  extra_.push_back(second);
  ASSERT_NE(WaitForWindow(L"Memory Test", L"#32770", second, 30000), nullptr);
  CloseMain(main);
  EXPECT_TRUE(ProcessEnded(second, 30000)) << "the module did not close with Halvix";
}

// A module that ends without reporting keeps its record until Halvix goes:
// the process object stays while the frame runs.
TEST_F(HalvixFrame, ModuleKilledWithoutReportStaysRecordedUntilTheFrameGoes) {
  SeedInt(L"ControlPanelStyle", 1);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  Command(main, ID_MEMORY_TEST);
  std::vector<DWORD> mods;
  ASSERT_TRUE(PumpUntil([&] { return (mods = ChildProcesses(p_.Pid(), L"zentrel.mod")).size() == 1; }, 30000));
  // Killed once it is up: a process killed while Halvix is still starting
  // it is a start that failed, not a module that ended.
  ASSERT_NE(WaitForWindow(L"Memory Test", L"#32770", mods[0], 30000), nullptr);
  HANDLE h = ::OpenProcess(PROCESS_TERMINATE | SYNCHRONIZE, FALSE, mods[0]);
  ASSERT_NE(h, nullptr);
  ::TerminateProcess(h, 3);
  ::WaitForSingleObject(h, 10000);
  ::CloseHandle(h);
  PumpUntil([] { return false; }, 1000);
  EXPECT_TRUE(ProcessObjectExists(mods[0]));
  // It no longer counts as running: a new one starts.
  Command(main, ID_MEMORY_TEST);
  std::vector<DWORD> again;
  ASSERT_TRUE(PumpUntil([&] {
    again = ChildProcesses(p_.Pid(), L"zentrel.mod");
    for (DWORD pid : again)
      if (pid != mods[0]) return true;
    return false;
  }, 30000));
  for (DWORD pid : again) extra_.push_back(pid);
  CloseMain(main);
  EXPECT_TRUE(PumpUntil([&] { return !ProcessObjectExists(mods[0]); }, 30000));
}

// ---- the tree layout hosts the test in its module view

TEST_F(HalvixFrame, MemoryPageHostsZentrelAndAPageSwitchAbortsItsRun) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  TreePanes p = TreePanesOf(main);
  HWND list = p.upper;
  HWND module = Child(p.s4, halvix::kModuleViewHiddenId);
  ASSERT_TRUE(list && module);

  // The menu command selects the memory page: the module view takes the
  // pane's id and hosts the Zentrel control.
  Command(main, ID_MEMORY_TEST);
  ASSERT_TRUE(PumpUntil([&] { return Child(p.s4, kPane) == module && Shown(module); }, 30000));
  EXPECT_EQ(Child(p.s4, halvix::kIconListHiddenId), list);
  EXPECT_FALSE(Shown(list));
  HWND control = Child(module, 1001);
  ASSERT_NE(control, nullptr);
  // The pane takes the upper size of the test pages, and the control fills
  // the module view once the pane has its size (the splitter lays out after
  // the switch, so both are waited for).
  EXPECT_TRUE(PumpUntil([&] { return Height(module) + 4 == 370; }, 30000)) << Height(module);
  RECT mc{};
  EXPECT_TRUE(PumpUntil([&] {
    ::GetClientRect(module, &mc);
    return Width(control) == mc.right && Height(control) == mc.bottom;
  }, 30000)) << Width(control) << "x" << Height(control) << " in " << mc.right << "x" << mc.bottom;
  EXPECT_FALSE(ChildProcesses(p_.Pid(), L"zentrel.mod").size());  // in the pane, not as a module

  // The user starts the memory test with the control's own button.
  HWND start = FindChild(control, L"Button", L"&Start");
  ASSERT_NE(start, nullptr);
  ASSERT_TRUE(ClickButton(start));
  EXPECT_EQ(AnswerBox(IDYES, 30000, L"Memory Test").empty(), false);
  ASSERT_TRUE(PumpUntil([&] { return FindChild(control, L"Button", L"&Stop") != nullptr; }, 30000));

  // Switching to the processor page during the run: the run is aborted
  // (the control asks the user to wait for it), the control released, and a
  // fresh one made for the new page.
  ::PostMessageW(main, halvix::WM_SELECTPAGE, ID_PROCESSOR_TEST, 0);
  EXPECT_EQ(AnswerBox(IDOK, 30000, L"Memory Test"), L"Please wait for the test to abort.");
  HWND proc = nullptr;
  // After the abort's own wait (7.5 s at most) and the closing sheet's.
  ASSERT_TRUE(PumpUntil([&] { return (proc = Child(module, 1001)) != nullptr && proc != control; }, 60000));
  EXPECT_FALSE(::IsWindow(control));
  EXPECT_EQ(FindChild(proc, L"Button", L"&Stop"), nullptr);  // nothing runs in it
  DWORD_PTR r = 0;

  // The same page again changes nothing.
  ::SendMessageTimeoutW(main, halvix::WM_SELECTPAGE, ID_PROCESSOR_TEST, 0, SMTO_NORMAL, 20000, &r);
  EXPECT_EQ(Child(module, 1001), proc);

  // The tests group: the control goes, the icon list comes back with the
  // upper pane height of the group pages.
  ASSERT_TRUE(::SendMessageTimeoutW(main, halvix::WM_SELECTPAGE, halvix::kPageTests, 0, SMTO_NORMAL, 20000, &r));
  EXPECT_FALSE(::IsWindow(proc));
  EXPECT_EQ(Child(p.s4, kPane), list);
  EXPECT_TRUE(Shown(list));
  EXPECT_FALSE(Shown(module));
  EXPECT_EQ(Height(list) + 4, 85);
  CloseMain(main);
}

// The user drags the bar of the upper pane: each kind of page keeps its own
// height, and both are kept for the next start; so is the tree's width.
TEST_F(HalvixFrame, PaneSizesFollowThePageAndAreKept) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  TreePanes p = TreePanesOf(main);
  auto drag = [](HWND splitter, POINT from, POINT to) {
    ::SendMessageW(splitter, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(from.x, from.y));
    ::SendMessageW(splitter, WM_MOUSEMOVE, MK_LBUTTON, MAKELPARAM(to.x, to.y));
    ::SendMessageW(splitter, WM_LBUTTONUP, 0, MAKELPARAM(to.x, to.y));
  };
  // The upper pane of the group pages: 85 -> 120 (the bar lies in the gap below it).
  drag(p.s4, POINT{100, 88}, POINT{100, 123});
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 120);
  // The tree: 150 -> 200.
  drag(p.s3, POINT{153, 100}, POINT{203, 100});
  EXPECT_EQ(Width(p.tree) + 4, 200);

  DWORD_PTR r = 0;
  ::SendMessageTimeoutW(main, halvix::WM_SELECTPAGE, ID_MEMORY_TEST, 0, SMTO_NORMAL, 20000, &r);
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 370);
  drag(p.s4, POINT{100, 373}, POINT{100, 303});
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 300);
  ::SendMessageTimeoutW(main, halvix::WM_SELECTPAGE, halvix::kPageShortcuts, 0, SMTO_NORMAL, 20000, &r);
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 120);
  ::SendMessageTimeoutW(main, halvix::WM_SELECTPAGE, ID_HARDDISK_TEST, 0, SMTO_NORMAL, 20000, &r);
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 300);

  // Without the help window the upper pane takes the whole height; with it
  // again the help pane comes back at the height the page had.
  Command(main, ID_VIEW_HELP_WINDOW);
  ASSERT_TRUE(PumpUntil([&] { return Height(p.help) <= 0; }, 5000));
  RECT s4;
  ::GetClientRect(p.s4, &s4);
  EXPECT_EQ(Height(Child(p.s4, kPane)), s4.bottom);
  Command(main, ID_VIEW_HELP_WINDOW);
  ASSERT_TRUE(PumpUntil([&] { return Height(p.help) > 0; }, 5000));
  EXPECT_EQ(Height(Child(p.s4, kPane)) + 4, 300);
  CloseMain(main);

  int v = 0;
  EXPECT_TRUE(GetSettingInt(L"SplitterBarHalvix", &v));
  EXPECT_EQ(v, 120);
  EXPECT_TRUE(GetSettingInt(L"SplitterBarOthers", &v));
  EXPECT_EQ(v, 300);
  EXPECT_TRUE(GetSettingInt(L"SplitterTreeViewDx", &v));
  EXPECT_EQ(v, 200);
  // The next start takes them.
  main = StartMain();
  ASSERT_NE(main, nullptr);
  p = TreePanesOf(main);
  EXPECT_EQ(Width(p.tree) + 4, 200);
  EXPECT_EQ(Height(p.upper) + 4, 120);
  CloseMain(main);
}

// ---- the information server

TEST_F(HalvixFrame, InformationServerRunsExactlyAsLongAsHalvix) {
  ASSERT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr) << "a server runs already";
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  HWND server = nullptr;
  ASSERT_TRUE(PumpUntil([&] { return (server = ::FindWindowW(nullptr, suite::kInfoServerTitle)) != nullptr; }, 10000));
  DWORD pid = 0;
  ::GetWindowThreadProcessId(server, &pid);
  EXPECT_EQ(pid, p_.Pid());
  EXPECT_FALSE(::IsWindowVisible(server));
  CloseMain(main);
  EXPECT_EQ(::FindWindowW(nullptr, suite::kInfoServerTitle), nullptr);
}

// ---- outside programs that are missing

TEST_F(HalvixFrame, MissingOutsideProgramsOnlyTellSo) {
  // This machine has no main.cpl, ScanDisk, Corvith, NT Diagnostics,
  // winipcfg, MS System Information or USB tool.
  const wchar_t* windows = L"C:\\windows";
  ASSERT_EQ(::GetFileAttributesW((std::wstring(windows) + L"\\system32\\main.cpl").c_str()), INVALID_FILE_ATTRIBUTES);
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  struct Case {
    UINT command;
    const wchar_t* text;
  } cases[] = {
      {ID_MS_MOUSE, L"Mouse properties module is not installed. "},
      {ID_MS_SCANDISK, L"Scandisk is not installed."},
      {ID_CORVITH, L"Qev Corvith is not installed."},
      {ID_NT_DIAGNOSTICS, L"Can not start selected module."},
      {ID_IP_CONFIG, L"Can not find winipcfg.exe."},
      {ID_MS_SYSINFO, L"Can not find msinfo32.exe."},
      {ID_USB_TOOL, L"Can not find usb.exe."},
  };
  // Each command is posted once the box before has been answered: had that
  // command shown a second box, the next one would be handled inside its
  // modal loop and the second box would still be up once the next box has
  // been answered. The last one gets time for a second box.
  for (const Case& c : cases) {
    Command(main, c.command);
    EXPECT_EQ(AnswerBox(IDOK), c.text) << c.command;
    EXPECT_EQ(VisibleDialogOf(p_.Pid()), nullptr) << c.command;
  }
  EXPECT_TRUE(NoBoxFor(300));
  CloseMain(main);
}

// ---- the MS-DOS hardware test

TEST_F(HalvixFrame, DosTestKeepsTheRestartEntryOnlyWhenItStarts) {
  HWND main = StartMain();
  ASSERT_NE(main, nullptr);
  std::wstring value;

  // Its program is missing.
  Command(main, ID_DOS_TEST);
  EXPECT_NE(AnswerBox(IDOK).find(L"restart the computer in MS-DOS mode.  Do you want to continue?"),
            std::wstring::npos);
  std::wstring said = AnswerBox(IDOK);
  EXPECT_EQ(said.rfind(L"Can not find the file ", 0), 0u) << said.c_str();
  EXPECT_NE(said.find(L"WENDROP\\WENDROP.EXE"), std::wstring::npos);
  EXPECT_FALSE(RunOnceValue(&value));

  // The program is there, its batch start (WENDROP2.PIF) is not.
  ::CreateDirectoryW((dir_ + L"WENDROP").c_str(), nullptr);
  testsupport::WriteFileBytes(dir_ + L"WENDROP\\WENDROP.EXE", "MZ");
  Command(main, ID_DOS_TEST);
  AnswerBox(IDOK);
  EXPECT_EQ(AnswerBox(IDOK), L"Can not find WENDROP2.PIF.");
  EXPECT_FALSE(RunOnceValue(&value));
  const std::string batch = testsupport::ReadFileBytes(dir_ + L"K_Y_T_D7.BAT");
  EXPECT_EQ(batch.rfind("cd ", 0), 0u);
  EXPECT_NE(batch.find("WENDROP\r\nWENDROP.EXE\r\n"), std::string::npos);
  EXPECT_EQ(testsupport::ReadFileBytes(L"C:\\K_Y_T_D7.BAT"), batch);

  // The batch file cannot be written.
  ::DeleteFileW(L"C:\\K_Y_T_D7.BAT");
  ASSERT_TRUE(::CreateDirectoryW(L"C:\\K_Y_T_D7.BAT", nullptr));
  Command(main, ID_DOS_TEST);
  AnswerBox(IDOK);
  EXPECT_EQ(AnswerBox(IDOK), L"Failed to create file. (C:\\K_Y_T_D7.BAT)");
  EXPECT_FALSE(RunOnceValue(&value));
  ::RemoveDirectoryW(L"C:\\K_Y_T_D7.BAT");

  // Its copy in the program's folder cannot be made: WENDROP2.PIF, which
  // runs that copy, is not started.
  ASSERT_TRUE(::CopyFileW((TestBinDir() + L"keepalive.exe").c_str(), (dir_ + L"WENDROP2.PIF").c_str(), FALSE));
  ::DeleteFileW((dir_ + L"K_Y_T_D7.BAT").c_str());
  ASSERT_TRUE(::CreateDirectoryW((dir_ + L"K_Y_T_D7.BAT").c_str(), nullptr));
  Command(main, ID_DOS_TEST);
  AnswerBox(IDOK);
  said = AnswerBox(IDOK);
  EXPECT_EQ(said.rfind(L"Failed to create file. (", 0), 0u) << said.c_str();
  EXPECT_NE(said, L"Failed to create file. (C:\\K_Y_T_D7.BAT)");
  EXPECT_EQ(said.substr(said.size() > 14 ? said.size() - 14 : 0), L"\\K_Y_T_D7.BAT)") << said.c_str();
  const std::vector<DWORD> started = ChildProcesses(p_.Pid(), L"WENDROP2.PIF");
  for (DWORD pid : started) extra_.push_back(pid);
  EXPECT_TRUE(started.empty()) << "WENDROP2.PIF was started";
  EXPECT_FALSE(RunOnceValue(&value));
  ::RemoveDirectoryW((dir_ + L"K_Y_T_D7.BAT").c_str());
  ::DeleteFileW((dir_ + L"WENDROP2.PIF").c_str());

  // WENDROP.PIF present and chosen (Yes), a program that runs: the entry
  // names Halvix, and the running test keeps every module out.
  ASSERT_TRUE(::CopyFileW((TestBinDir() + L"keepalive.exe").c_str(), (dir_ + L"WENDROP.PIF").c_str(), FALSE));
  Command(main, ID_DOS_TEST);
  EXPECT_NE(AnswerBox(IDYES).find(L"Do you want to use current MS-DOS configuration?"), std::wstring::npos);
  std::vector<DWORD> dos;
  ASSERT_TRUE(PumpUntil([&] { return !(dos = ChildProcesses(p_.Pid(), L"WENDROP.PIF")).empty(); }, 10000));
  for (DWORD pid : dos) extra_.push_back(pid);
  ASSERT_TRUE(RunOnceValue(&value));
  EXPECT_EQ(value, dir_ + L"halvix.exe");
  Command(main, ID_DOS_TEST);
  EXPECT_EQ(AnswerBox(IDOK), L"Please close all running modules.");
  CloseMain(main);
  ::DeleteFileW(L"C:\\K_Y_T_D7.BAT");
}

// ---- the title dialog

TEST_F(HalvixFrame, TitleDialogShowsAGoodLogoAndFallsBackOnABadOne) {
  ::CreateDirectoryW((dir_ + L"TESTDATA").c_str(), nullptr);
  std::string bad = GreyBitmap(64, 40);
  std::memset(&bad[22], 0xFF, 4);  // height -1
  // The closing timer is set whatever the logo: waiting it out once for a
  // shown logo and once for a refused one covers both ways through; the
  // last case closes with the product text's button instead.
  struct Case {
    std::string file;
    bool shown;
    bool waitOut;
  } cases[] = {{GreyBitmap(301, 157), true, true},
               {bad, false, true},
               {GreyBitmap(64, 40).substr(0, 500), false, false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    testsupport::WriteFileBytes(dir_ + L"TESTDATA\\LOGO.BMP", c.file);
    ASSERT_TRUE(p_.Start(dir_ + L"halvix.exe"));
    HWND splash = WaitForWindow(L"", L"#32770", p_.Pid(), 30000);
    ASSERT_NE(splash, nullptr);
    // Read at the first sight of it shown: it closes by itself 2.5 s after
    // it was made, however late a busy machine lets this test look.
    RECT rc{};
    bool seen = false, okShown = false;
    ASSERT_TRUE(PumpUntil([&] {
      if (!::IsWindowVisible(splash)) return !::IsWindow(splash);
      ::GetClientRect(splash, &rc);
      okShown = Shown(Child(splash, IDOK));
      return seen = ::IsWindowVisible(splash) != FALSE;
    }, 30000));
    ASSERT_TRUE(seen) << "the title dialog closed before it was seen shown";
    if (c.shown) {
      EXPECT_EQ(rc.right, 301);
      EXPECT_EQ(rc.bottom, 157);
      EXPECT_FALSE(okShown);
    } else {
      EXPECT_TRUE(okShown);  // the product text
    }
    if (c.waitOut) {
      // It closes by itself after 2.5 seconds.
      EXPECT_TRUE(WaitWindowGone(splash, 30000));
    } else {
      ClickButton(splash, IDOK);
      EXPECT_TRUE(WaitWindowGone(splash, 30000));
    }
    HWND main = nullptr;
    ASSERT_TRUE(PumpUntil([&] { return (main = FindTopWindow(L"", kFrameClass, p_.Pid())) != nullptr; }, 30000));
    ASSERT_TRUE(PumpUntil([&] { return ::IsWindowVisible(main) != FALSE; }, 30000));
    CloseMain(main);
  }
}

}  // namespace
