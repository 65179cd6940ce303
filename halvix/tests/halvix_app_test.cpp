// Halvix end to end under Wine: a copy of the program in a scratch
// directory, started with settings seeded in the registry, driven through its
// window and judged by what it writes back.
#include <gtest/gtest.h>
#include <windows.h>
#include <shellapi.h>

#include <fstream>
#include <map>
#include <sstream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "resource.h"
#include "suite/info.h"
#include "testsupport/process.h"
#include "testsupport/registry.h"
#include "testsupport/smalldisk.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kQevRoot[] = L"Software\\Qev";
const wchar_t kHalvixRoot[] = L"Software\\Qev\\Halvix";
const wchar_t kBackupRoot[] = L"Software\\HalvixAppTestBackup";
const wchar_t kFrameClass[] = L"HalvixMainFrame";
const wchar_t* const kModuleWords[] = {L"CDROM",  L"FENWOLD", L"GRAPHICS", L"STREVAN", L"MEDIA",
                                       L"ZENTREL", L"MODEM",  L"GARLUNE",  L"QUORREL"};



struct RegValue {
  DWORD type;
  std::vector<BYTE> data;
  bool operator==(const RegValue& o) const { return type == o.type && data == o.data; }
};
using Snapshot = std::map<std::wstring, RegValue>;

Snapshot TakeSnapshot(const std::wstring& path) {
  Snapshot s;
  appkit::RegKey k;
  if (!k.Open(HKEY_CURRENT_USER, path)) return s;
  for (DWORD i = 0;; ++i) {
    wchar_t name[512];
    DWORD nameLen = 512, type = 0, size = 0;
    if (::RegEnumValueW(k.get(), i, name, &nameLen, nullptr, &type, nullptr, &size) != ERROR_SUCCESS) break;
    std::vector<BYTE> data(size);
    nameLen = 512;
    ::RegEnumValueW(k.get(), i, name, &nameLen, nullptr, &type, data.data(), &size);
    data.resize(size);
    s[std::wstring(name, nameLen)] = {type, data};
  }
  return s;
}

void SeedInt(const wchar_t* name, int v) {
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, suite::kHalvixSettingKey, name, static_cast<DWORD>(v)));
}
void SeedStr(const wchar_t* name, const std::wstring& v) {
  ASSERT_TRUE(appkit::RegWriteString(HKEY_CURRENT_USER, suite::kHalvixSettingKey, name, v));
}

struct PidWindows {
  DWORD pid;
  int visible;
};
BOOL CALLBACK CountVisible(HWND hwnd, LPARAM lp) {
  auto* w = reinterpret_cast<PidWindows*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(hwnd, &pid);
  if (pid == w->pid && ::IsWindowVisible(hwnd)) ++w->visible;
  return TRUE;
}
int VisibleWindowsOf(DWORD pid) {
  PidWindows w{pid, 0};
  ::EnumWindows(&CountVisible, reinterpret_cast<LPARAM>(&w));
  return w.visible;
}

class HalvixApp : public ::testing::Test {
 protected:
  void SetUp() override {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    base_ = TempDir() + L"halvix-app-test-" + std::to_wstring(::GetCurrentProcessId()) + L"\\";
    ::CreateDirectoryW(base_.c_str(), nullptr);
    UseDir(base_ + appkit::Widen(info->name()) + L"\\");
    // The program's own settings start empty; whatever was there comes back.
    halvixKey_.emplace(kHalvixRoot, std::wstring(kBackupRoot) + L"\\Halvix");
  }

  void TearDown() override {
    halvixKey_.reset();
    testsupport::RemoveTree(base_);
  }

  // A scratch copy of the installed program and what it needs beside it.
  void UseDir(const std::wstring& dir) {
    dir_ = dir;
    ::CreateDirectoryW(dir_.c_str(), nullptr);
    for (const wchar_t* f : {L"halvix.exe", L"ombrix.dll", L"Modules.bdt"})
      ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
  }

  // Starts the copy; the title dialog is clicked away.
  void Start(Process& p, const std::wstring& args = L"") {
    ASSERT_TRUE(p.Start(dir_ + L"halvix.exe", args)) << p.LastError().c_str();
  }

  // Waits for the visible main window of `p`, clicking the title dialog away.
  HWND WaitMain(Process& p, DWORD ms = 15000) {
    return WaitForMainWindow(p.Pid(), p.Handle(), kFrameClass, ms);
  }

  void CloseAndWait(Process& p, HWND main) {
    ::PostMessageW(main, WM_CLOSE, 0, 0);
    ASSERT_TRUE(p.WaitExit(10000));
    EXPECT_EQ(p.ExitCode(), 0u);
  }

  static bool GetInt(const wchar_t* name, int* v) {
    appkit::RegKey k;
    DWORD d = 0;
    if (!k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey) || !k.GetDword(name, &d)) return false;
    *v = static_cast<int>(d);
    return true;
  }
  static int Int(const wchar_t* name) {
    int v = INT_MIN;
    EXPECT_TRUE(GetInt(name, &v)) << "missing " << std::string(name, name + wcslen(name));
    return v;
  }
  static std::wstring Str(const wchar_t* name) {
    appkit::RegKey k;
    std::wstring v = L"<missing>";
    if (k.Open(HKEY_CURRENT_USER, suite::kHalvixSettingKey)) k.GetString(name, &v);
    return v;
  }
  static bool Has(const wchar_t* name) { return TakeSnapshot(suite::kHalvixSettingKey).count(name) != 0; }

  std::wstring base_, dir_;
  std::optional<testsupport::KeyAside> halvixKey_;
};

RECT WindowRectOf(HWND w) {
  RECT r{};
  ::GetWindowRect(w, &r);
  return r;
}

TEST_F(HalvixApp, SeededSettingsComeBackClampedAndAreWrittenBackOnExit) {
  SeedInt(L"Sleep", 2001);
  SeedInt(L"nTestNum", 70000);
  SeedInt(L"nTimeoutCount", 0);
  SeedInt(L"nOneByOne", -1);
  SeedInt(L"nStopOnError", -3);
  SeedInt(L"ToolbarView", 0);
  SeedInt(L"TreeView", 0);
  SeedInt(L"ToolBarAlign", 3);
  SeedInt(L"DragMin", 9);
  SeedInt(L"MaxIndex", 321);
  SeedInt(L"AutoRefresh", 0);
  SeedInt(L"X", 10);
  SeedInt(L"Y", 20);
  SeedInt(L"Width", 640);
  SeedInt(L"Height", 480);
  SeedStr(L"CFactor", L"50");
  SeedStr(L"LogFileName", L"x.log");
  SeedStr(L"RunWeb", L"keep.exe ");
  FILETIME before;
  ::GetSystemTimeAsFileTime(&before);

  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetText(main), L"Qev");
  RECT r = WindowRectOf(main);
  EXPECT_EQ(r.left, 10);
  EXPECT_EQ(r.top, 20);
  EXPECT_EQ(r.right - r.left, 640);
  EXPECT_EQ(r.bottom - r.top, 480);
  FILETIME after;
  ::GetSystemTimeAsFileTime(&after);

  Snapshot running = TakeSnapshot(suite::kHalvixSettingKey);
  ASSERT_EQ(running.count(L"ModuleBegin"), 1u);
  const RegValue& begin = running[L"ModuleBegin"];
  EXPECT_EQ(begin.type, static_cast<DWORD>(REG_BINARY));
  ASSERT_EQ(begin.data.size(), 8u);
  ULONGLONG t = 0;
  memcpy(&t, begin.data.data(), 8);
  auto ull = [](FILETIME f) { return (static_cast<ULONGLONG>(f.dwHighDateTime) << 32) | f.dwLowDateTime; };
  EXPECT_GE(t, ull(before));
  EXPECT_LE(t, ull(after));
  CloseAndWait(p, main);

  const std::map<std::wstring, int> ints = {
      {L"Sleep", 1000}, {L"nTestNum", 65535}, {L"nTimeoutCount", 1}, {L"nOneByOne", 0}, {L"nStopOnError", 1},
      {L"ToolbarView", 0}, {L"TreeView", 1}, {L"ToolBarAlign", 3}, {L"DragMin", 9}, {L"MaxIndex", 321},
      {L"X", 10}, {L"Y", 20}, {L"Width", 640}, {L"Height", 480}, {L"AutoArrange", 1}, {L"Maximized", 0},
      {L"ListControlView", 0}, {L"ControlPanelStyle", 0}, {L"WebView", 1}, {L"TitleView", 1},
      {L"SplitterControlPanelDx", 140}, {L"SplitterControlPanelDy", 200}, {L"SplitterTreeViewDx", 150},
      {L"ShowStatusBar", 1}, {L"ShowToolBar", 0}, {L"ShowToolBarText", 1}, {L"SplitterBarHalvix", 85},
      {L"SplitterBarOthers", 370}, {L"MaxDhrystone", 400}, {L"MaxWhetstone", 120}, {L"MaxMemRead", 350},
      {L"MaxMemWrite", 350}, {L"MaxHarddiskTransferRate", 15}, {L"MaxHarddiskRead", 15},
      {L"MaxCDROMTransferRate", 3600}, {L"MaxVideoSpeed", 30},
      {L"AutoRefresh", 0},  // read, never written back by the program
  };
  Snapshot saved = TakeSnapshot(suite::kHalvixSettingKey);
  for (const auto& [name, value] : ints) {
    ASSERT_EQ(saved.count(name), 1u) << appkit::Narrow(name);
    EXPECT_EQ(saved[name].type, static_cast<DWORD>(REG_DWORD)) << appkit::Narrow(name);
    EXPECT_EQ(Int(name.c_str()), value) << appkit::Narrow(name);
  }
  wchar_t windows[MAX_PATH];
  ::GetWindowsDirectoryW(windows, MAX_PATH);
  std::wstring msinfo = L"C:\\Program Files\\Common Files\\Microsoft Shared\\MSINFO\\msinfo32.exe";
  msinfo[0] = windows[0];
  const std::map<std::wstring, std::wstring> strs = {
      {L"CFactor", L"50"},
      {L"LogFileName", L"x.log"},
      {L"BnhRefFileName", dir_ + L"bnchref.bnh"},
      {L"DefaultUrl", L"file://" + dir_ + L"help\\dghelp2.htm"},
      {L"MSInfoPath", msinfo},
      {L"BbsFile", L"qev.ht"},
      {L"MessageBoxTitle", L"Qev"},
      {L"RunWeb", L"keep.exe "},  // not written back: stays as it was
  };
  for (const auto& [name, value] : strs) {
    EXPECT_EQ(saved[name].type, static_cast<DWORD>(REG_SZ)) << appkit::Narrow(name);
    EXPECT_EQ(Str(name.c_str()), value) << appkit::Narrow(name);
  }
  for (const wchar_t* name : {L"FaxNum", L"WebLink", L"Email"}) EXPECT_FALSE(Str(name).empty());
  for (const wchar_t* name : {L"BbsTitle", L"RunBbs", L"RunFax", L"RunEmail", L"X2", L"Options"})
    EXPECT_FALSE(Has(name)) << std::string(name, name + wcslen(name));
}

struct LayoutCase {
  int style;
  const wchar_t *x, *y, *w, *h;        // names of the layout in effect
  const wchar_t *ox, *oy, *ow, *oh;    // the other layout's names
  int align;
};

TEST_F(HalvixApp, WindowRectangleAndToolBarSideFollowTheLayout) {
  const LayoutCase cases[] = {
      {1, L"X2", L"Y2", L"Width2", L"Height2", L"X", L"Y", L"Width", L"Height", 1},
      {0, L"X", L"Y", L"Width", L"Height", L"X2", L"Y2", L"Width2", L"Height2", 3},
  };
  for (const LayoutCase& c : cases) {
    SCOPED_TRACE(c.style);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kHalvixRoot);
    SeedInt(L"ControlPanelStyle", c.style);
    SeedInt(c.x, 60);
    SeedInt(c.y, 70);
    SeedInt(c.w, 500);
    SeedInt(c.h, 400);
    SeedInt(c.ox, 5);
    SeedInt(c.oy, 6);
    SeedInt(c.ow, 700);
    SeedInt(c.oh, 500);
    SeedInt(L"ToolBarAlign", 3);

    Process p;
    Start(p);
    HWND main = WaitMain(p);
    ASSERT_NE(main, nullptr);
    RECT r = WindowRectOf(main);
    EXPECT_EQ(r.left, 60);
    EXPECT_EQ(r.top, 70);
    EXPECT_EQ(r.right, 560);
    EXPECT_EQ(r.bottom, 470);
    // The user moves the window: the end of the move is kept.
    ::SetWindowPos(main, nullptr, 100, 110, 520, 410, SWP_NOZORDER | SWP_NOACTIVATE);
    ::SendMessageW(main, WM_EXITSIZEMOVE, 0, 0);
    CloseAndWait(p, main);

    EXPECT_EQ(Int(c.x), 100);
    EXPECT_EQ(Int(c.y), 110);
    EXPECT_EQ(Int(c.w), 520);
    EXPECT_EQ(Int(c.h), 410);
    EXPECT_EQ(Int(c.ox), 5);
    EXPECT_EQ(Int(c.oy), 6);
    EXPECT_EQ(Int(c.ow), 700);
    EXPECT_EQ(Int(c.oh), 500);
    EXPECT_EQ(Int(L"ToolBarAlign"), c.align);
    EXPECT_EQ(Int(L"ControlPanelStyle"), c.style);
  }
}

TEST_F(HalvixApp, StoredPositionsOffTheScreenComeBackOnIt) {
  // 0x80000000 as stored by a broken session, and a size larger than any
  // screen: the window opens on the desktop, and that is what is kept.
  SeedInt(L"X", INT_MIN);
  SeedInt(L"Y", INT_MIN);
  SeedInt(L"Width", 500);
  SeedInt(L"Height", 0x7FFFFFFF);
  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  RECT work{};
  ASSERT_TRUE(::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
  RECT r = WindowRectOf(main);
  EXPECT_EQ(r.left, work.left);
  EXPECT_EQ(r.top, work.top);
  EXPECT_EQ(r.right, work.left + 500);
  EXPECT_EQ(r.bottom, work.bottom);
  CloseAndWait(p, main);
  EXPECT_EQ(Int(L"X"), work.left);
  EXPECT_EQ(Int(L"Y"), work.top);
  EXPECT_EQ(Int(L"Width"), 500);
  EXPECT_EQ(Int(L"Height"), work.bottom - work.top);
}

TEST_F(HalvixApp, TitleFileNamesTheWindowAndEveryMessageBox) {
  ::CreateDirectoryW((dir_ + L"TESTDATA").c_str(), nullptr);
  testsupport::WriteFileBytes(dir_ + L"TESTDATA\\TITLE.TXT", "Hardware Test\r\nSecond line\r\n");
  // Left over from a DOS-mode restart: removed at start.
  testsupport::WriteFileBytes(dir_ + L"K_Y_T_D7.BAT", "@echo off\r\n");
  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetText(main), L"Hardware Test (Qev)");
  EXPECT_EQ(Str(L"MessageBoxTitle"), L"Hardware Test (Qev)");
  EXPECT_EQ(::GetFileAttributesW((dir_ + L"K_Y_T_D7.BAT").c_str()), INVALID_FILE_ATTRIBUTES);

  // Help with no help pages installed: the failure is told in a box with the caption.
  ::PostMessageW(main, WM_COMMAND, ID_HELP_FINDER, 0);
  HWND box = WaitForWindow(L"Hardware Test (Qev)", L"#32770", p.Pid(), 10000);
  ASSERT_NE(box, nullptr);
  HWND text = FindChildById(box, 0xFFFF);
  ASSERT_NE(text, nullptr);
  EXPECT_EQ(GetText(text), L"Failed to find default browser or help file.");
  ASSERT_TRUE(ClickButton(box, IDOK));
  EXPECT_TRUE(WaitWindowGone(box, 5000));

  ::PostMessageW(main, WM_COMMAND, ID_APP_ABOUT, 0);
  HWND about = WaitForWindow(L"About Qev", L"#32770", p.Pid(), 10000);
  ASSERT_NE(about, nullptr);
  ASSERT_TRUE(ClickButton(about, IDOK));
  EXPECT_TRUE(WaitWindowGone(about, 5000));
  CloseAndWait(p, main);
}

TEST_F(HalvixApp, ResourceModuleBesideTheProgramServesItsStrings) {
  ASSERT_TRUE(::CopyFileW((TestBinDir() + L"halvix_test_resources.dll").c_str(), (dir_ + L"halvix.DLL").c_str(), FALSE));
  ::CreateDirectoryW((dir_ + L"TESTDATA").c_str(), nullptr);
  testsupport::WriteFileBytes(dir_ + L"TESTDATA\\TITLE.TXT", "Hardware Test\n");
  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetText(main), L"Hardware Test (Lokal)");
  CloseAndWait(p, main);

  ::DeleteFileW((dir_ + L"TESTDATA\\TITLE.TXT").c_str());
  Process q;
  Start(q);
  main = WaitMain(q);
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(GetText(main), L"Qev Lokal");
  CloseAndWait(q, main);
}

// Starts a second copy and waits for it to end; it must never show a window.
void ExpectRefusedStart(const std::wstring& exe) {
  Process second;
  ASSERT_TRUE(second.Start(exe));
  int shown = 0;
  bool ended = PumpUntil(
      [&] {
        shown += VisibleWindowsOf(second.Pid());
        return !second.Running();
      },
      15000);
  ASSERT_TRUE(ended);
  EXPECT_EQ(shown, 0);
}

TEST_F(HalvixApp, SecondStartBringsTheFirstForwardAndChangesNothing) {
  SeedInt(L"DragMin", 9);
  SeedInt(L"Sleep", 1500);
  Process first;
  Start(first);
  HWND main = WaitMain(first);
  ASSERT_NE(main, nullptr);
  ::ShowWindow(main, SW_MINIMIZE);
  ASSERT_TRUE(PumpUntil([&] { return ::IsIconic(main) != FALSE; }, 5000));
  Snapshot before = TakeSnapshot(suite::kHalvixSettingKey);
  ASSERT_EQ(before.count(L"ModuleBegin"), 1u);
  ::Sleep(20);

  ExpectRefusedStart(dir_ + L"halvix.exe");
  EXPECT_TRUE(PumpUntil([&] { return !::IsIconic(main); }, 5000)) << "the first window was not restored";
  EXPECT_TRUE(TakeSnapshot(suite::kHalvixSettingKey) == before) << "the refused start changed the settings";
  EXPECT_TRUE(first.Running());

  // Not minimised: it comes to the foreground.
  HWND other = ::CreateWindowExW(0, L"STATIC", L"halvix test foreground", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                 200, 100, nullptr, nullptr, nullptr, nullptr);
  ::SetForegroundWindow(other);
  PumpUntil([&] { return ::GetForegroundWindow() == other; }, 2000);
  ExpectRefusedStart(dir_ + L"halvix.exe");
  EXPECT_TRUE(PumpUntil([&] { return ::GetForegroundWindow() == main; }, 5000));
  ::DestroyWindow(other);
  EXPECT_TRUE(TakeSnapshot(suite::kHalvixSettingKey) == before);

  CloseAndWait(first, main);
  EXPECT_EQ(Int(L"DragMin"), 9);
  EXPECT_EQ(Int(L"Sleep"), 1500);
}

// Without an installer nothing else names the suite's folder: every start
// publishes it, from wherever the program was started.
TEST_F(HalvixApp, StartPublishesItsFolderAsModulePath) {
  SeedStr(L"ModulePath", L"C:\\nowhere\\old\\");
  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  std::wstring published = Str(L"ModulePath");
  ASSERT_FALSE(published.empty());
  EXPECT_EQ(published.back(), L'\\');
  wchar_t a[MAX_PATH] = {}, b[MAX_PATH] = {};
  ::GetLongPathNameW(published.c_str(), a, MAX_PATH);
  ::GetLongPathNameW(dir_.c_str(), b, MAX_PATH);
  EXPECT_EQ(::lstrcmpiW(a, b), 0) << published << L" for " << dir_;
  CloseAndWait(p, main);
}

TEST_F(HalvixApp, StressAndBenchComeFromTheArgumentsOnly) {
  // A first start (no settings key yet): the start time is not written, the
  // settings are.
  for (const wchar_t* args : {L"-stress", L"-BENCH"}) {
    SCOPED_TRACE(args);
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kHalvixRoot);
    Process p;
    Start(p, args);
    // The scratch folder has no list files: "-stress" tells so ("Failed to
    // open file.", then the list message) and ends; "-BENCH" ends without a word.
    int shown = 0;
    bool listMessage = false;
    bool ended = PumpUntil(
        [&] {
          if (HWND box = FindTopWindow(L"", L"#32770", p.Pid())) {
            HWND text = FindChildById(box, 0xFFFF);
            if (text && GetText(text).rfind(L"Failed to open ", 0) == 0) {
              listMessage = listMessage || GetText(text).rfind(L"Failed to open modules.dat.", 0) == 0;
              ::PostMessageW(box, WM_COMMAND, IDOK, 0);
            } else {
              ::PostMessageW(box, WM_LBUTTONUP, 0, 0);
            }
          }
          if (HWND w = FindTopWindow(L"", kFrameClass, p.Pid())) shown += ::IsWindowVisible(w) ? 1 : 0;
          return !p.Running();
        },
        20000);
    ASSERT_TRUE(ended);
    EXPECT_EQ(shown, 0);
    EXPECT_EQ(listMessage, std::wstring(args) == L"-stress");
    EXPECT_EQ(Str(L"MessageBoxTitle"), L"Qev");
    EXPECT_EQ(Int(L"Sleep"), 1000);
    EXPECT_FALSE(Has(L"ModuleBegin"));
  }

  // With the suite's lists, each switch opens its dialog, the main window
  // stays hidden, and closing the dialog ends the program.
  for (const wchar_t* f : {L"modules.dat", L"bnchmark.dat"})
    ASSERT_TRUE(::CopyFileW(SuitePath(f).c_str(), (dir_ + f).c_str(), FALSE)) << f;
  for (auto [args, caption] : {std::pair<const wchar_t*, const wchar_t*>{L"-Stress", L"Stress Test"},
                               {L"-Bench", L"Benchmarks"}}) {
    SCOPED_TRACE(args);
    Process p;
    Start(p, args);
    // The title dialog (no caption) comes first: it is clicked away.
    HWND dlg = nullptr;
    PumpUntil(
        [&] {
          if (HWND title = FindTopWindow(L"", L"#32770", p.Pid()))
            if (::IsWindowVisible(title) && GetText(title).empty()) ::PostMessageW(title, WM_LBUTTONUP, 0, 0);
          return (dlg = FindTopWindow(caption, L"#32770", p.Pid())) != nullptr;
        },
        15000);
    ASSERT_NE(dlg, nullptr);
    HWND frame = FindTopWindow(L"", kFrameClass, p.Pid());
    ASSERT_NE(frame, nullptr);
    EXPECT_FALSE(::IsWindowVisible(frame));
    ::PostMessageW(dlg, WM_COMMAND, IDCANCEL, 0);
    EXPECT_TRUE(p.WaitExitPumping(15000));
  }
  for (const wchar_t* f : {L"modules.dat", L"bnchmark.dat"}) ::DeleteFileW((dir_ + f).c_str());

  // A path that contains "-Stress" is not an argument.
  UseDir(base_ + L"My-Stress\\");
  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  CloseAndWait(p, main);
}

TEST_F(HalvixApp, ResetRestoresDefaultsAndCopiesTheModuleList) {
  // The module keys the reset deletes are set aside and come back afterwards.
  std::vector<std::unique_ptr<KeyAside>> moduleKeys;
  for (const wchar_t* word : kModuleWords)
    moduleKeys.push_back(std::make_unique<KeyAside>(std::wstring(kQevRoot) + L"\\" + word,
                                                    std::wstring(kBackupRoot) + L"\\" + word));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Qev\\CDROM\\setting", L"v", 1));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Qev\\MODEM\\setting", L"v", 1));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Qev\\MODEM\\Other", L"v", 1));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Qev\\GARLUNE", L"v", 1));
  // The controls' and tools' own settings go too; what else a maker's key
  // holds stays.
  KeyAside kytKeys(L"Software\\Kyt", std::wstring(kBackupRoot) + L"\\Kyt");
  KeyAside murrickKey(L"Software\\Qev\\Murrick", std::wstring(kBackupRoot) + L"\\Murrick");
  KeyAside mediaKey(L"Software\\Qev\\MEDIA", std::wstring(kBackupRoot) + L"\\MEDIA");
  const std::wstring programKeys[] = {L"Software\\Kyt\\CDROM\\Setting", L"Software\\Kyt\\modem\\Setting",
                                      L"Software\\Qev\\Murrick\\Setting", L"Software\\Qev\\MEDIA\\Setting",
                                      L"Software\\Kyt\\Koprel\\Setting", L"Software\\Kyt\\Brisko\\Setting"};
  for (const auto& key : programKeys) ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, key, L"v", 7));
  ASSERT_TRUE(appkit::RegWriteDword(HKEY_CURRENT_USER, L"Software\\Kyt\\Other\\Setting", L"v", 7));

  SeedInt(L"DragMin", 9);
  SeedInt(L"MaxIndex", 5);
  SeedInt(L"nTestNum", 7);
  SeedInt(L"nStopOnError", 0);
  SeedInt(L"AutoRefresh", 0);
  SeedInt(L"Options", 5);
  SeedInt(L"X", 1);
  SeedInt(L"Y", 2);
  SeedInt(L"Width", 300);
  SeedInt(L"Height", 200);
  SeedInt(L"Sleep", 1500);
  SeedInt(L"TreeView", 0);
  SeedStr(L"LogFileName", L"a.log");
  SeedStr(L"CFactor", L"10");
  testsupport::WriteFileBytes(dir_ + L"Modules.dat", ";old list\r\n");
  const std::string defaults = testsupport::ReadFileBytes(dir_ + L"Modules.bdt");
  ASSERT_FALSE(defaults.empty());

  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  ::PostMessageW(main, WM_COMMAND, ID_RESET_DEFAULT_CONFIG, 0);
  EXPECT_TRUE(PumpUntil([&] { return testsupport::ReadFileBytes(dir_ + L"Modules.dat") == defaults; }, 10000));
  int options = 0;
  EXPECT_TRUE(PumpUntil([&] { return GetInt(L"Options", &options) && options == 0x1FDFFFF; }, 10000));
  // Written at once, before the program ends ("Options" goes first, then
  // every setting).
  int dragMin = 0;
  EXPECT_TRUE(PumpUntil([&] { return GetInt(L"DragMin", &dragMin) && dragMin == 3; }, 10000));
  CloseAndWait(p, main);

  const std::map<std::wstring, int> ints = {
      {L"DragMin", 3}, {L"MaxIndex", 200}, {L"nTestNum", 1}, {L"nStopOnError", 1}, {L"AutoRefresh", 1},
      {L"Options", 0x1FDFFFF}, {L"X", 0}, {L"Y", 0}, {L"Width", 800}, {L"Height", 572},
      {L"Sleep", 1500}, {L"TreeView", 0},  // not part of the reset
  };
  for (const auto& [name, value] : ints) EXPECT_EQ(Int(name.c_str()), value) << appkit::Narrow(name);
  for (const auto& key : programKeys) EXPECT_FALSE(testsupport::KeyExists(key)) << appkit::Narrow(key);
  EXPECT_FALSE(testsupport::KeyExists(L"Software\\Kyt\\CDROM"));
  EXPECT_TRUE(testsupport::KeyExists(L"Software\\Kyt\\Other\\Setting"));
  EXPECT_EQ(Str(L"LogFileName"), L"halvix.log");
  EXPECT_EQ(Str(L"CFactor"), L"75");
  EXPECT_EQ(Str(L"BnhRefFileName").substr(Str(L"BnhRefFileName").size() - 11), L"bnchref.bnh");

  EXPECT_FALSE(KeyExists(L"Software\\Qev\\CDROM"));
  EXPECT_FALSE(KeyExists(L"Software\\Qev\\GARLUNE"));
  EXPECT_FALSE(KeyExists(L"Software\\Qev\\MODEM\\setting"));
  EXPECT_TRUE(KeyExists(L"Software\\Qev\\MODEM\\Other"));

}

// Reset Default Configuration on a disk without room for the default list
// (the small disk of with_small_disk.sh): the user's Modules.dat stays as it
// was rather than cut short; with room again the reset copies the defaults.
TEST_F(HalvixApp, ResetOnAFullDiskKeepsTheUsersModuleListWhole) {
  SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  UseDir(disk.root() + L"suite\\");
  // The defaults need two blocks of the disk, the user's list one.
  std::string defaults = testsupport::ReadFileBytes(dir_ + L"Modules.bdt");
  ASSERT_FALSE(defaults.empty());
  while (defaults.size() < 6000) defaults += ";" + std::string(98, 'd') + "\r\n";
  ASSERT_TRUE(testsupport::WriteFileBytes(dir_ + L"Modules.bdt", defaults));
  const std::string mine = ";Test Modules\r\n;" + std::string(2000, 'm') + "\r\nMine|mine.mod|-AutoRun||MINE.LOG|0||\r\n";
  ASSERT_TRUE(testsupport::WriteFileBytes(dir_ + L"Modules.dat", mine));

  Process p;
  Start(p);
  HWND main = WaitMain(p);
  ASSERT_NE(main, nullptr);
  ASSERT_TRUE(disk.FillSpace());
  auto reset = [&] {
    ASSERT_NO_FATAL_FAILURE(SeedInt(L"Options", 0));
    ::PostMessageW(main, WM_COMMAND, ID_RESET_DEFAULT_CONFIG, 0);
    // "Options" is written after the copy.
    int options = 0;
    ASSERT_TRUE(PumpUntil([&] { return GetInt(L"Options", &options) && options == 0x1FDFFFF; }, 10000));
  };
  ASSERT_NO_FATAL_FAILURE(reset());
  const std::string kept = testsupport::ReadFileBytes(dir_ + L"Modules.dat");
  EXPECT_TRUE(kept == mine) << "the user's list was not kept: " << kept.size() << " bytes, beginning \""
                            << kept.substr(0, 40) << "\"";

  disk.Free();
  ASSERT_NO_FATAL_FAILURE(reset());
  EXPECT_TRUE(testsupport::ReadFileBytes(dir_ + L"Modules.dat") == defaults) << "the defaults were not copied";
  CloseAndWait(p, main);
}

}  // namespace
