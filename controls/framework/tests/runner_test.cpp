// Zentrel's runner on the framework, in a host window that stands in for the
// control window: Init, the sheet, SetProp "Size", settings, a run of the
// Test page to its WM_TESTDONE, Abort, and Cleanup with a worker running.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <atomic>
#include <thread>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "runner.h"
#include "runner_ids.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace ctlfw;

namespace {

const wchar_t kTestKey[] = L"Software\\Kyt\\CTLFWTEST\\Setting";
const wchar_t kTestMakerKey[] = L"Software\\Kyt\\CTLFWTEST";

// Zentrel's runner with settings and fonts under keys of the tests' own.
class TestZentrelRunner : public CZentrelRunner {
 public:
  std::wstring SettingsKey() const override { return kTestKey; }
  std::wstring MakerKey() const override { return kTestMakerKey; }
};

// The "control window": a plain child-hosting window that records
// WM_TESTDONE.
class Host {
 public:
  Host() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Host::Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"CtlfwTestHost";
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    ::RegisterClassW(&wc);
    hwnd_ = ::CreateWindowExW(0, L"CtlfwTestHost", L"host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, 0, 700, 560,
                              nullptr, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    ::ShowWindow(hwnd_, SW_SHOWNA);
  }
  ~Host() { ::DestroyWindow(hwnd_); }
  HWND hwnd() const { return hwnd_; }
  std::vector<WPARAM> done;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    auto* self = reinterpret_cast<Host*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
    if (m == WM_TESTDONE && self) {
      self->done.push_back(wp);
      return 1;
    }
    return ::DefWindowProcW(h, m, wp, lp);
  }
  HWND hwnd_ = nullptr;
};

class RunnerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"StandInRunMs", 200);
  }
  void TearDown() override {
    runner.Cleanup();
    appkit::RegDeleteTree(HKEY_CURRENT_USER, kTestKey);
  }
  RECT ClientRectOf(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    ::MapWindowPoints(nullptr, host.hwnd(), reinterpret_cast<POINT*>(&r), 2);
    return r;
  }
  RECT ScreenRect(HWND w) {
    RECT r{};
    ::GetWindowRect(w, &r);
    return r;
  }
  bool WaitDone(DWORD ms) {
    return testsupport::PumpUntil([&] { return !host.done.empty(); }, ms);
  }
  HWND SheetHwnd() { return runner.GetSheet() ? runner.GetSheet()->hwnd() : nullptr; }

  Host host;
  TestZentrelRunner runner;
};

TEST_F(RunnerTest, InitBuildsInformationAndTestPagesWithTestActive) {
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  CTest* sheet = runner.GetSheet();
  ASSERT_NE(sheet, nullptr);
  ASSERT_TRUE(runner.Created());
  EXPECT_EQ(::GetParent(sheet->hwnd()), host.hwnd());
  EXPECT_TRUE(::GetWindowLongW(sheet->hwnd(), GWL_STYLE) & WS_CHILD);
  EXPECT_TRUE(::IsWindowVisible(sheet->hwnd()));
  ASSERT_EQ(sheet->PageCount(), 2);
  EXPECT_EQ(sheet->Page(0), sheet->InfoPage());
  EXPECT_EQ(sheet->ActiveIndex(), 1);
  EXPECT_EQ(::SendMessageW(sheet->TabControl(), TCM_GETITEMCOUNT, 0, 0), 2);
  EXPECT_EQ(runner.Title(), "Memory Test");
  EXPECT_EQ(runner.BaseName(), "KytMEM");
  EXPECT_EQ(runner.LogTitle(), L"Memory Test");
  EXPECT_EQ(runner.ModuleDirectory(), testsupport::TestBinDir());
  // No resource library beside the tests: the module's own resources serve.
  EXPECT_EQ(runner.Resources(), ::GetModuleHandleW(nullptr));
  EXPECT_EQ(::GetDlgCtrlID(runner.ActivePageList()), IDC_TEST_RESULTS);
  // The sheet sits at (2, 2) inside the control with its client less 4.
  RECT hc{};
  ::GetClientRect(host.hwnd(), &hc);
  RECT r = ClientRectOf(sheet->hwnd());
  EXPECT_EQ(r.left, 2);
  EXPECT_EQ(r.top, 2);
  EXPECT_EQ(r.right - r.left, hc.right - 4);
  EXPECT_EQ(r.bottom - r.top, hc.bottom - 4);
  // Switching to the Information page makes its list the one GetProp reads.
  ASSERT_TRUE(sheet->SetActivePage(0));
  EXPECT_EQ(runner.ActivePageList(), ::GetDlgItem(sheet->InfoPage()->hwnd(), IDC_INFO_LIST));
  EXPECT_TRUE(::IsWindowVisible(sheet->InfoPage()->hwnd()));
  EXPECT_FALSE(::IsWindowVisible(sheet->Test()->hwnd()));
}

TEST_F(RunnerTest, AutoRunSheetHasOnlyTheTestPageAndItsResultList) {
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun3 -Check"));
  EXPECT_TRUE(runner.Options().autoRun);
  EXPECT_EQ(runner.RunSuffix(), "3");
  EXPECT_TRUE(runner.Options().check);
  EXPECT_FALSE(runner.Options().coverage);
  CTest* sheet = runner.GetSheet();
  ASSERT_EQ(sheet->PageCount(), 1);
  EXPECT_EQ(sheet->InfoPage(), nullptr);
  EXPECT_EQ(sheet->ActiveIndex(), 0);
  // The automatic run's host reads the Test page's result list.
  HWND list = runner.ActivePageList();
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(::GetDlgCtrlID(list), IDC_TEST_RESULTS);
}

TEST_F(RunnerTest, ProcessorModeValues) {
  ASSERT_TRUE(runner.Init(host.hwnd(), "-ProcTest"));
  EXPECT_EQ(runner.BaseName(), "KytPROC");
  EXPECT_EQ(runner.Title(), "Processor Test");
  EXPECT_EQ(runner.LogTitle(), L"Processor Test");
  EXPECT_EQ(runner.IconId(), 131u);
  HICON icon = reinterpret_cast<HICON>(::SendMessageW(SheetHwnd(), WM_GETICON, ICON_BIG, 0));
  EXPECT_EQ(icon, ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(131)));
  EXPECT_TRUE(runner.HasSetting("CPUSpeedEnable"));
  EXPECT_FALSE(runner.HasSetting("MaxMem"));
  // Processor mode: no Free Memory button on the Information page.
  HWND freeMem = ::GetDlgItem(runner.GetSheet()->InfoPage()->hwnd(), IDC_INFO_FREEMEM);
  EXPECT_FALSE(::IsWindowVisible(freeMem));
  EXPECT_FALSE(::IsWindowEnabled(freeMem));
}

TEST_F(RunnerTest, SecondInitFailsAndCleanupNeedsASheet) {
  EXPECT_FALSE(runner.Cleanup());
  EXPECT_FALSE(runner.SetProp("Size", "640 480"));
  EXPECT_FALSE(runner.DoTest());
  EXPECT_FALSE(runner.IsRunning());
  EXPECT_FALSE(runner.Abort());
  EXPECT_EQ(runner.ActivePageList(), nullptr);
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  HWND first = SheetHwnd();
  EXPECT_FALSE(runner.Init(host.hwnd(), "-AutoRun"));
  EXPECT_EQ(SheetHwnd(), first);
  EXPECT_EQ(runner.GetSheet()->PageCount(), 2);
  EXPECT_TRUE(runner.Cleanup());
  EXPECT_FALSE(::IsWindow(first));
  EXPECT_EQ(runner.GetSheet(), nullptr);
  EXPECT_FALSE(runner.Cleanup());
  // After Cleanup (a control destroyed and made again) Init works again.
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  EXPECT_TRUE(::IsWindow(SheetHwnd()));
  EXPECT_EQ(runner.GetSheet()->PageCount(), 1);
}

TEST_F(RunnerTest, SizePropertyPlacesSheetAndStretchesPages) {
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  HWND sheet = SheetHwnd();
  const struct {
    const char* name;
    const char* value;
    BOOL ok;
    RECT expect;
  } cases[] = {
      {"size", "640 480", TRUE, {2, 2, 638, 478}},
      {"Size", "300 200", TRUE, {2, 2, 358, 238}},
      {"Size", "64 480", FALSE, {2, 2, 358, 238}},
      {"Sizes", "640 480", FALSE, {2, 2, 358, 238}},
      {"SIZE", "500 400", TRUE, {2, 2, 498, 398}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(std::string(c.name) + " " + c.value);
    EXPECT_EQ(runner.SetProp(c.name, c.value), c.ok);
    RECT r = ClientRectOf(sheet);
    EXPECT_EQ(r.left, c.expect.left);
    EXPECT_EQ(r.top, c.expect.top);
    EXPECT_EQ(r.right, c.expect.right);
    EXPECT_EQ(r.bottom, c.expect.bottom);
  }
  // Tab control 5 inside the sheet, both pages 5 inside the tab, the lists
  // 5 inside their pages, the progress bars' right edges too.
  CTest* s = runner.GetSheet();
  RECT sr = ScreenRect(sheet), tr = ScreenRect(s->TabControl());
  EXPECT_EQ(tr.right, sr.right - 5);
  EXPECT_EQ(tr.bottom, sr.bottom - 5);
  for (int i = 0; i < 2; ++i) {
    RECT pr = ScreenRect(s->Page(i)->hwnd());
    EXPECT_EQ(pr.right, tr.right - 5);
    EXPECT_EQ(pr.bottom, tr.bottom - 5);
  }
  HWND info = s->InfoPage()->hwnd(), test = s->Test()->hwnd();
  RECT ip = ScreenRect(info), tp = ScreenRect(test);
  for (int id : {IDC_INFO_LIST}) {
    RECT lr = ScreenRect(::GetDlgItem(info, id));
    EXPECT_EQ(lr.right, ip.right - 5);
    EXPECT_EQ(lr.bottom, ip.bottom - 5);
  }
  EXPECT_EQ(ScreenRect(::GetDlgItem(info, IDC_INFO_PROGRESS)).right, ip.right - 5);
  for (int id : {IDC_TEST_RESULTS, IDC_TEST_CHECKLIST}) {
    RECT lr = ScreenRect(::GetDlgItem(test, id));
    EXPECT_EQ(lr.right, tp.right - 5);
    EXPECT_EQ(lr.bottom, tp.bottom - 5);
  }
  RECT progress = ScreenRect(::GetDlgItem(test, IDC_TEST_PROGRESS));
  EXPECT_EQ(progress.right, tp.right - 5);
}

TEST_F(RunnerTest, SettingsAreReadClampedAndWrittenBackForTheActiveMode) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"nThread", 7);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"DataPatternEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"MaxMem", 64);
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  EXPECT_EQ(runner.Setting("nThread"), 3);
  EXPECT_EQ(runner.Setting("nWaitCpu"), 20);
  EXPECT_EQ(runner.Setting("DataPatternEnable"), 0);
  EXPECT_EQ(runner.Setting("WalkOneEnable"), 1);
  EXPECT_EQ(runner.Setting("MaxMem"), 64);
  EXPECT_EQ(runner.Setting("MemBenchMarkLoop"), 0x1400000);
  EXPECT_FALSE(runner.HasSetting("CPUSpeedEnable"));
  ASSERT_TRUE(runner.Cleanup());
  appkit::RegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey));
  DWORD v = 0;
  EXPECT_TRUE(key.GetDword(L"nThread", &v));
  EXPECT_EQ(v, 3u);
  EXPECT_TRUE(key.GetDword(L"RandomMemCopyEnable", &v));
  EXPECT_EQ(v, 1u);
  EXPECT_TRUE(key.GetDword(L"DataPatternEnable", &v));
  EXPECT_EQ(v, 0u);
  EXPECT_FALSE(key.GetDword(L"nWaitCpu", &v));  // read only
  EXPECT_FALSE(key.GetDword(L"CPUSpeedEnable", &v));  // the other mode's
  key.Close();

  // The check list's choices reach the settings when the sheet closes.
  ASSERT_TRUE(runner.Init(host.hwnd(), "-ProcTest"));
  HWND list = ::GetDlgItem(runner.GetSheet()->Test()->hwnd(), IDC_TEST_CHECKLIST);
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 4, 0), 0x81);
  ::SendMessageW(list, LB_SETITEMDATA, 4, 0x80);
  ASSERT_TRUE(runner.Cleanup());
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"CPUSpeedEnable", 9), 0u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"GeneralRegisterEnable", 9), 1u);
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kTestKey, L"WhetMinTime", 9), 4u);
}

TEST_F(RunnerTest, ZentrelKeysAndOptionalLibraries) {
  CZentrelRunner plain;
  EXPECT_EQ(plain.SettingsKey(), L"Software\\Kyt\\ZENTREL\\Setting");
  EXPECT_EQ(plain.MakerKey(), L"Software\\Kyt");
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  // kovlet.dll beside the tests has the write entry only; whet.dll and
  // dhry.dll are missing. Missing ones stay NULL.
  EXPECT_NE(runner.Entry("DoMemWriteBenchMark"), nullptr);
  EXPECT_EQ(runner.Entry("DoMemReadBenchMark"), nullptr);
  EXPECT_EQ(runner.Entry("DoWhetstoneTest"), nullptr);
  EXPECT_EQ(runner.Entry("DoDhrystoneTest"), nullptr);
  EXPECT_NE(::GetModuleHandleW(L"kovlet.dll"), nullptr);
  ASSERT_TRUE(runner.Cleanup());
  EXPECT_EQ(::GetModuleHandleW(L"kovlet.dll"), nullptr);
  EXPECT_EQ(runner.Entry("DoMemWriteBenchMark"), nullptr);
}

TEST_F(RunnerTest, EnterAndEscapeNeverCloseTheSheet) {
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  HWND sheet = SheetHwnd();
  HWND page = runner.GetSheet()->Test()->hwnd();
  for (HWND target : {sheet, page}) {
    ::SendMessageW(target, WM_COMMAND, IDOK, 0);
    ::SendMessageW(target, WM_COMMAND, IDCANCEL, 0);
    ::SendMessageW(target, WM_CLOSE, 0, 0);
  }
  // Keys as dialog navigation sees them.
  ::SetFocus(::GetDlgItem(page, IDC_TEST_STARTSTOP));
  for (WPARAM key : {(WPARAM)VK_RETURN, (WPARAM)VK_ESCAPE}) {
    MSG msg{::GetFocus(), WM_KEYDOWN, key, 0, 0, {}};
    appkit::TabbedSheet::TranslateKey(msg);
  }
  testsupport::PumpUntil([] { return false; }, 100);
  EXPECT_TRUE(::IsWindow(sheet));
  EXPECT_TRUE(::IsWindowVisible(page));
  EXPECT_FALSE(runner.IsRunning());
}

// Closes the first message box captioned `caption` with `button`, keeping
// its text.
struct BoxCloser {
  BoxCloser(const wchar_t* caption, int button) {
    worker = std::thread([=] {
      for (int i = 0; i < 500 && !done; ++i) {
        HWND box = ::FindWindowW(L"#32770", caption);
        if (box) {
          for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            std::wstring t = testsupport::GetText(c);
            if (testsupport::ClassOf(c) == L"Static" && !t.empty()) text = t;
          }
          ::PostMessageW(box, WM_COMMAND, button, 0);
          done = true;
        }
        ::Sleep(10);
      }
    });
  }
  ~BoxCloser() {
    if (worker.joinable()) worker.join();
  }
  std::thread worker;
  std::atomic<bool> done{false};
  std::wstring text;
};

TEST_F(RunnerTest, MessageBoxesCarryTheRunnersCaption) {
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  {
    BoxCloser closer(L"Memory Test", IDNO);
    EXPECT_EQ(runner.RunnerMessageBox(IDS_ZENTREL_WORKINGSET_FAILED, MB_YESNO), IDNO);
    closer.worker.join();
    closer.worker = std::thread();
    EXPECT_EQ(closer.text, L"Failed to get process workingset size");
  }
  {
    BoxCloser closer(L"Memory Test", IDOK);
    EXPECT_EQ(runner.ShowMessage(L"A text of the caller's", MB_OK), IDOK);
    closer.worker.join();
    closer.worker = std::thread();
    EXPECT_EQ(closer.text, L"A text of the caller's");
  }
}

class RunTest : public RunnerTest, public ::testing::WithParamInterface<int> {};

TEST_P(RunTest, AutomaticRunPostsTestDoneWithTheErrorCount) {
  int errors = GetParam();
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"StandInErrors", errors);
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  EXPECT_FALSE(runner.DoTest());  // a start is already on its way
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  EXPECT_FALSE(runner.DoTest());
  ASSERT_TRUE(WaitDone(5000));
  ASSERT_EQ(host.done.size(), 1u);
  EXPECT_EQ(host.done[0], (WPARAM)errors);
  EXPECT_FALSE(runner.IsRunning());
  std::vector<std::wstring> lines = testsupport::ListBoxLines(runner.ActivePageList());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), errors ? L"Found Error(s)." : L"No Error Found.");
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(runner.GetSheet()->Test()->hwnd(), IDC_TEST_STARTSTOP)), L"&Start");
}

INSTANTIATE_TEST_SUITE_P(ErrorCounts, RunTest, ::testing::Values(0, 2));

TEST_F(RunnerTest, ManualRunPostsNothing) {
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() == FALSE; }, 5000));
  EXPECT_FALSE(WaitDone(300));
}

TEST_F(RunnerTest, AbortStopsTheRunWithoutTestDone) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"StandInRunMs", 5000);
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  EXPECT_FALSE(runner.Abort());
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  DWORD t0 = ::GetTickCount();
  EXPECT_TRUE(runner.Abort());
  EXPECT_LT(::GetTickCount() - t0, 2000u);
  EXPECT_FALSE(runner.IsRunning());
  EXPECT_FALSE(runner.Abort());
  EXPECT_FALSE(WaitDone(300));
  std::vector<std::wstring> lines = testsupport::ListBoxLines(runner.ActivePageList());
  EXPECT_NE(std::find(lines.begin(), lines.end(), L"===>Test Aborts."), lines.end());
  // A new run after the abort works and reports.
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"StandInRunMs", 100);
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(WaitDone(5000));
  EXPECT_EQ(host.done[0], 0u);
}

TEST_F(RunnerTest, CleanupDuringARunEndsTheWorkerFirst) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"StandInRunMs", 5000);
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  EXPECT_EQ(LiveWorkerCount(), 1);
  DWORD t0 = ::GetTickCount();
  EXPECT_TRUE(runner.Cleanup());
  EXPECT_LT(::GetTickCount() - t0, 2000u);
  EXPECT_EQ(runner.GetSheet(), nullptr);
  EXPECT_TRUE(testsupport::PumpUntil([] { return LiveWorkerCount() == 0; }, 1000));
  EXPECT_FALSE(WaitDone(200));
}

}  // namespace
