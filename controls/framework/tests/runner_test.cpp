// The runner, sheet and Test page of the sample control, in a host window that
// stands in for the control window: Init, the sheet, SetProp "Size",
// settings, the check list, a run of the Test page to its WM_TESTDONE with
// its log, Abort, and Cleanup with a worker running.
#include <gtest/gtest.h>
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <fstream>
#include <iterator>
#include <atomic>
#include <thread>

#include "appkit/paths.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testinfo.h"
#include "ctlfw/testpage.h"
#include "sample/sample.h"
#include "testsupport/fakeinfo.h"
#include "suite/controls.h"
#include "testsupport/process.h"
#include "testsupport/ui.h"

using namespace ctlfw;

namespace {

const wchar_t kTestKey[] = L"Software\\Kyt\\CTLFWTEST\\Setting";
const wchar_t kTestMakerKey[] = L"Software\\Kyt\\CTLFWTEST";

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
    if (m == suite::WM_TESTDONE && self) {
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
    appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 200);
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
  SampleRunner runner;
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
  EXPECT_EQ(runner.Title(), "Sample Test");
  EXPECT_EQ(runner.BaseName(), "KytSMPL");
  EXPECT_EQ(runner.LogTitle(), L"Sample Log");
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

TEST_F(RunnerTest, SettingsAreReadClampedAndWrittenBackWithTheCheckList) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"nThread", 7);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"BravoEnable", 0);
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  EXPECT_EQ(runner.Setting("nThread"), 3);
  EXPECT_EQ(runner.Setting("nWaitCpu"), 20);
  EXPECT_EQ(runner.Setting("BravoEnable"), 0);
  EXPECT_EQ(runner.Setting("AlphaEnable"), 1);
  EXPECT_FALSE(runner.HasSetting("MaxMem"));
  // The check list shows the enable settings, checkable, checked or not.
  HWND list = ::GetDlgItem(runner.GetSheet()->Test()->hwnd(), IDC_TEST_CHECKLIST);
  ASSERT_EQ(::SendMessageW(list, LB_GETCOUNT, 0, 0), 5);
  EXPECT_EQ(testsupport::ListBoxLines(list)[2], L"Charlie");
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 0, 0), 0x81);
  EXPECT_EQ(::SendMessageW(list, LB_GETITEMDATA, 1, 0), 0x80);
  // The choices reach the settings when the sheet closes.
  ::SendMessageW(list, LB_SETITEMDATA, 4, 0x80);
  ASSERT_TRUE(runner.Cleanup());
  appkit::RegKey key;
  ASSERT_TRUE(key.Open(HKEY_CURRENT_USER, kTestKey));
  DWORD v = 0;
  EXPECT_TRUE(key.GetDword(L"nThread", &v));
  EXPECT_EQ(v, 3u);
  EXPECT_TRUE(key.GetDword(L"AlphaEnable", &v));
  EXPECT_EQ(v, 1u);
  EXPECT_TRUE(key.GetDword(L"BravoEnable", &v));
  EXPECT_EQ(v, 0u);
  EXPECT_TRUE(key.GetDword(L"EchoEnable", &v));
  EXPECT_EQ(v, 0u);
  EXPECT_FALSE(key.GetDword(L"nWaitCpu", &v));  // read only
}

TEST_F(RunnerTest, CheckListKeepsOneTestSelectedAndAnswersNothingDuringARun) {
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  HWND page = runner.GetSheet()->Test()->hwnd();
  HWND list = ::GetDlgItem(page, IDC_TEST_CHECKLIST);
  for (int i = 1; i < 5; ++i) ::SendMessageW(list, LB_SETITEMDATA, i, 0x80);
  auto ask = [&](WPARAM question, int index) { return ::SendMessageW(page, WM_COMMAND, question, -index); };
  EXPECT_EQ(ask(103, 0), 0);  // the only selected test stays
  EXPECT_EQ(ask(104, 3), 1);
  ::SendMessageW(list, LB_SETITEMDATA, 3, 0x81);
  EXPECT_EQ(ask(103, 0), 1);
  runner.SetSetting("SampleRunMs", 3000);
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  EXPECT_EQ(ask(104, 1), 0);
  EXPECT_TRUE(runner.Abort());
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
// its text, its owner and whether the owner took input while it was up.
struct BoxCloser {
  BoxCloser(const wchar_t* caption, int button) {
    worker = std::thread([=] {
      for (int i = 0; i < 500 && !done; ++i) {
        HWND box = ::FindWindowW(L"#32770", caption);
        if (box && ::IsWindowVisible(box)) {
          for (HWND c = ::GetWindow(box, GW_CHILD); c; c = ::GetWindow(c, GW_HWNDNEXT)) {
            std::wstring t = testsupport::GetText(c);
            if (testsupport::ClassOf(c) == L"Static" && !t.empty()) text = t;
          }
          owner = ::GetWindow(box, GW_OWNER);
          ownerEnabled = owner && ::IsWindowEnabled(owner);
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
  HWND owner = nullptr;
  bool ownerEnabled = false;
};

TEST_F(RunnerTest, MessageBoxesCarryTheRunnersCaption) {
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  {
    BoxCloser closer(L"Sample Test", IDNO);
    EXPECT_EQ(runner.RunnerMessageBox(IDS_SAMPLE_QUESTION, MB_YESNO), IDNO);
    closer.worker.join();
    closer.worker = std::thread();
    EXPECT_EQ(closer.text, L"The sample run takes a moment.  Do you want to start now?");
  }
  {
    BoxCloser closer(L"Sample Test", IDOK);
    EXPECT_EQ(runner.ShowMessage(L"A text of the caller's", MB_OK), IDOK);
    closer.worker.join();
    closer.worker = std::thread();
    EXPECT_EQ(closer.text, L"A text of the caller's");
  }
}

// A box of the control keeps what holds the control from being used while
// it is up (its host could pull the control away from under the box): it is
// owned by the top-level window around the control, or by the dialog that is
// up over that window. A box asked for by another thread has no owner, so
// that it never waits for the control's thread (which may be waiting for it).
TEST_F(RunnerTest, BoxesAreOwnedByWhatHoldsTheControlOnItsThreadOnly) {
  HWND control = ::CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE, 0, 0, 640, 500, host.hwnd(), nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
  ASSERT_NE(control, nullptr);
  ASSERT_TRUE(runner.Init(control, ""));
  HWND hostWindow = host.hwnd(), dialog = nullptr;
  struct Case {
    const char* name;
    bool dialogUp;      // a dialog of the control's is up over the host
    bool fromWorker;    // asked by another thread, this one waiting for it
    HWND* owner;        // nullptr: none
  } cases[] = {
      {"on the control's thread", false, false, &hostWindow},
      {"with a dialog up over the host", true, false, &dialog},
      {"on a worker thread", false, true, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    if (c.dialogUp) {
      // As a modal dialog of the control's stands: the host disabled under it.
      dialog = ::CreateWindowExW(0, L"STATIC", L"dialog", WS_POPUP | WS_CAPTION | WS_VISIBLE, 40, 40, 300, 200,
                                 host.hwnd(), nullptr, ::GetModuleHandleW(nullptr), nullptr);
      ASSERT_NE(dialog, nullptr);
      ::EnableWindow(host.hwnd(), FALSE);
      ::SetActiveWindow(dialog);
    }
    BoxCloser closer(L"Sample Test", IDOK);
    if (c.fromWorker) {
      struct Ask {
        SampleRunner* runner;
        int answer;
        static DWORD WINAPI Run(LPVOID p) {
          auto* a = static_cast<Ask*>(p);
          a->answer = a->runner->ShowMessage(L"From a worker", MB_OK);
          return 0;
        }
      } ask{&runner, 0};
      HANDLE worker = ::CreateThread(nullptr, 0, &Ask::Run, &ask, 0, nullptr);
      ASSERT_NE(worker, nullptr);
      // Waiting without serving this thread's messages.
      EXPECT_EQ(::WaitForSingleObject(worker, 30000), WAIT_OBJECT_0) << "the box waited for this thread";
      testsupport::PumpUntil([&] { return ::WaitForSingleObject(worker, 0) == WAIT_OBJECT_0; }, 30000);
      ::CloseHandle(worker);
      EXPECT_EQ(ask.answer, IDOK);
    } else {
      EXPECT_EQ(runner.ShowMessage(L"A text of the caller's", MB_OK), IDOK);
    }
    closer.worker.join();
    closer.worker = std::thread();
    ASSERT_TRUE(closer.done);
    EXPECT_EQ(closer.owner, c.owner ? *c.owner : nullptr);
    if (c.owner) {
      EXPECT_FALSE(closer.ownerEnabled) << "the owner took input under the box";
      EXPECT_TRUE(::IsWindowEnabled(*c.owner)) << "the owner takes input again";
    } else {
      EXPECT_TRUE(::IsWindowEnabled(host.hwnd()));
    }
    if (dialog) {
      ::EnableWindow(host.hwnd(), TRUE);
      ::DestroyWindow(dialog);
      dialog = nullptr;
    }
  }
}

class RunTest : public RunnerTest, public ::testing::WithParamInterface<int> {};

TEST_P(RunTest, AutomaticRunPostsTestDoneWithTheErrorCount) {
  int errors = GetParam();
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleErrors", errors);
  // A run that outlasts the half second its start waits, so that it is
  // seen running.
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 2000);
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  EXPECT_FALSE(runner.DoTest());  // a start is already on its way
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  EXPECT_FALSE(runner.DoTest());
  ReleaseSampleRun();
  ASSERT_TRUE(WaitDone(5000));
  ASSERT_EQ(host.done.size(), 1u);
  EXPECT_EQ(host.done[0], (WPARAM)errors);
  EXPECT_FALSE(runner.IsRunning());
  std::vector<std::wstring> lines = testsupport::ListBoxLines(runner.ActivePageList());
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines.back(), errors ? L"Found Error(s)." : L"No Error Found.");
  // The result log beside the module: header, title, the list's lines.
  std::ifstream log(appkit::Narrow(runner.ModuleDirectory()) + "KytSMPL.LOG", std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
  EXPECT_EQ(text.rfind("[Last Updated: ", 0), 0u) << text;
  EXPECT_NE(text.find("]\r\n\r\nSample Log\r\nPass 1\tPASSED\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find(errors ? "Found Error(s).\r\n" : "No Error Found.\r\n"), std::string::npos);
  EXPECT_EQ(testsupport::GetText(::GetDlgItem(runner.GetSheet()->Test()->hwnd(), IDC_TEST_STARTSTOP)), L"&Start");
}

INSTANTIATE_TEST_SUITE_P(ErrorCounts, RunTest, ::testing::Values(0, 2));

TEST_F(RunnerTest, ManualRunPostsNothing) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 2000);
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  ReleaseSampleRun();
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() == FALSE; }, 5000));
  EXPECT_FALSE(WaitDone(300));
}

TEST_F(RunnerTest, AbortStopsTheRunWithoutTestDone) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 5000);
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
  runner.SetSetting("SampleRunMs", 100);
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(WaitDone(5000));
  EXPECT_EQ(host.done[0], 0u);
}

TEST_F(RunnerTest, CleanupDuringARunEndsTheWorkerFirst) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 5000);
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

// A host whose loop ends when its main window goes posts its quit before the
// control's windows go (a parent's WM_DESTROY comes before its children's):
// the stop wait of the closing sheet leaves that quit for the host's loop.
TEST_F(RunnerTest, AQuitPostedAheadOfACleanupDuringARunStaysForTheHostsLoop) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kTestKey, L"SampleRunMs", 5000);
  ASSERT_TRUE(runner.Init(host.hwnd(), "-AutoRun"));
  ASSERT_TRUE(runner.DoTest());
  ASSERT_TRUE(testsupport::PumpUntil([&] { return runner.IsRunning() != FALSE; }, 2000));
  ::PostQuitMessage(7);
  EXPECT_TRUE(runner.Cleanup());
  MSG msg{};
  ASSERT_TRUE(::PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) << "the stop wait took the quit";
  EXPECT_EQ(msg.wParam, 7u);
  EXPECT_TRUE(testsupport::PumpUntil([] { return LiveWorkerCount() == 0; }, 1000));
}

// A viewer: Information pages of several categories and no Test page, with
// values of its own for the pages and the check list.
class ViewerRunner : public SampleRunner {
 public:
  std::vector<int> InfoCategories() const override { return {0, 7, 13}; }
  InfoPageStyle InfoStyle() const override {
    InfoPageStyle style;
    style.tabStops = {140, 230, 320, 410};
    style.lines = InfoLines::VideoSections;
    return style;
  }
  std::unique_ptr<TestPage> CreateTestPage() override { return nullptr; }
};

TEST_F(RunnerTest, AViewerHasItsInformationPagesAndNoTestPage) {
  ViewerRunner viewer;
  ASSERT_TRUE(viewer.Init(host.hwnd(), ""));
  CTest* sheet = viewer.GetSheet();
  ASSERT_EQ(sheet->PageCount(), 3);
  EXPECT_EQ(sheet->Test(), nullptr);
  EXPECT_EQ(sheet->ActiveIndex(), 0);
  ASSERT_EQ(sheet->InfoPages().size(), 3u);
  EXPECT_EQ(sheet->InfoPages()[1]->Category(), 7);
  EXPECT_EQ(sheet->InfoPages()[2]->InfoFilePath(), viewer.InfoDirectory() + L"KytNET.IFO");
  EXPECT_EQ(viewer.ActivePageList(), ::GetDlgItem(sheet->InfoPage()->hwnd(), IDC_INFO_LIST));
  ASSERT_TRUE(sheet->SetActivePage(2));
  EXPECT_EQ(viewer.ActivePageList(), ::GetDlgItem(sheet->InfoPages()[2]->hwnd(), IDC_INFO_LIST));
  // The Test page's methods have nothing to work on.
  EXPECT_FALSE(viewer.DoTest());
  EXPECT_FALSE(viewer.IsRunning());
  EXPECT_TRUE(viewer.SetProp("Size", "640 480"));
  EXPECT_TRUE(viewer.Cleanup());
}

// A page that tests on the sheet's own thread, draining the thread's queue
// between its steps and taking one registered message on the way.
class PageThreadRunner : public SampleRunner {
 public:
  class Page : public TestPage {
   public:
    using TestPage::TestPage;
    UINT taken = 0;
    const UINT quit = ::RegisterWindowMessageW(L"ctlfw_test_quit");

   protected:
    UINT TestIconId() const override { return IDI_SAMPLE_TEST; }
    std::wstring Description() const override { return L""; }
    RunEnd RunEndRule() const override { return {RunEnd::Summary::Verdict, nullptr, false, false}; }
    void StartWorkers() override {
      BeginRunOnPageThread();
      for (int step = 1; step <= 5 && !RunAborted(); ++step) {
        AddResultLine("Step " + std::to_string(step) + "\tPASSED");
        ::PostThreadMessageW(::GetCurrentThreadId(), quit, step, 0);
        DrainThreadQueue([this](const MSG& m) {
          if (m.message != quit) return false;
          ++taken;
          if (m.wParam == 3) TheRunState().abortFlag = 1;
          return true;
        });
      }
      FinishWorker(false, RunAborted());
    }
  };
  std::unique_ptr<TestPage> CreateTestPage() override { return std::make_unique<Page>(*this); }
};

TEST_F(RunnerTest, APageThreadRunDrainsTheQueueAndEndsAsAWorkerDoes) {
  PageThreadRunner r;
  ASSERT_TRUE(r.Init(host.hwnd(), "-AutoRun"));
  ASSERT_TRUE(r.DoTest());
  // The run ends with the third message; a report it were to post would
  // come in while the test pumps.
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !host.done.empty() || !r.IsRunning(); }, 5000));
  EXPECT_FALSE(WaitDone(300));
  auto* page = static_cast<PageThreadRunner::Page*>(r.GetSheet()->Test());
  EXPECT_EQ(page->taken, 3u);  // the third message stopped the run
  EXPECT_FALSE(r.IsRunning());
  std::vector<std::wstring> lines = testsupport::ListBoxLines(r.ActivePageList());
  EXPECT_EQ(lines, (std::vector<std::wstring>{L"Step 1\tPASSED", L"Step 2\tPASSED", L"Step 3\tPASSED",
                                               L"===>Test Aborts.", L"No Error Found."}));
  EXPECT_TRUE(host.done.empty()) << "an aborted automatic run reports nothing";
  EXPECT_TRUE(r.Cleanup());
}

// The Information page against a stand-in information server.
class InfoPageTest : public RunnerTest {
 protected:
  void StartServer(testsupport::FakeInfoServer::Mode mode) {
    server = std::make_unique<testsupport::FakeInfoServer>(testsupport::TempDir(), mode);
    ASSERT_TRUE(server->Ok());
    ASSERT_TRUE(server->PublishModulePath());
  }
  void TearDown() override {
    RunnerTest::TearDown();
    if (server) ::DeleteFileW(server->FilePath(6).c_str());
    server.reset();
  }
  std::vector<std::wstring> InfoLines(CTestInfo* page) {
    return testsupport::ListBoxLines(::GetDlgItem(page->hwnd(), IDC_INFO_LIST));
  }
  std::unique_ptr<testsupport::FakeInfoServer> server;
};

TEST_F(InfoPageTest, ActivationAsksWithReuseRefreshWithoutAndTheFileIsListed) {
  StartServer(testsupport::FakeInfoServer::Mode::Reply);
  server->SetFixture(6, "\r\n@3Ports\r\n;marker\r\n\r\nCOM1:\t3F8h\r\n");
  ASSERT_TRUE(runner.Init(host.hwnd(), ""));
  CTestInfo* info = runner.GetSheet()->InfoPage();
  EXPECT_EQ(runner.InfoDirectory(), server->dir());
  ASSERT_TRUE(runner.GetSheet()->SetActivePage(0));
  testsupport::FakeInfoServer::Request r{};
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.client, info->hwnd());
  EXPECT_EQ(r.category, 6u);
  EXPECT_TRUE(r.reuse);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !info->Waiting(); }, 10000));
  std::vector<std::wstring> lines = InfoLines(info);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0].rfind(L"[Last Updated: ", 0), 0u) << lines[0];
  EXPECT_EQ(lines[0].back(), L']');
  EXPECT_EQ(std::vector<std::wstring>(lines.begin() + 1, lines.end()),
            (std::vector<std::wstring>{L"", L"@3Ports", L"", L"COM1:\t3F8h"}));

  ::SendMessageW(info->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_INFO_REFRESH, BN_CLICKED), 0);
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 6u);
  EXPECT_FALSE(r.reuse);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !info->Waiting(); }, 10000));
}

TEST_F(InfoPageTest, WithoutTheRightReplyThePageWaitsAndCannotBeLeft) {
  for (auto mode : {testsupport::FakeInfoServer::Mode::NeverReply,
                    testsupport::FakeInfoServer::Mode::ReplyOtherCategory}) {
    SCOPED_TRACE(mode == testsupport::FakeInfoServer::Mode::NeverReply ? "never" : "other category");
    StartServer(mode);
    ASSERT_TRUE(runner.Init(host.hwnd(), ""));
    CTest* sheet = runner.GetSheet();
    ASSERT_TRUE(sheet->SetActivePage(0));
    ASSERT_TRUE(server->WaitForRequest(5000));
    testsupport::PumpUntil([] { return false; }, 300);
    EXPECT_TRUE(sheet->InfoPage()->Waiting());
    EXPECT_FALSE(sheet->SetActivePage(1)) << "the page cannot be left while it waits";
    EXPECT_EQ(sheet->ActiveIndex(), 0);
    ASSERT_TRUE(runner.Cleanup());
    server.reset();
  }
}

TEST_F(InfoPageTest, TheVideoPageListsOnlyItsSections) {
  StartServer(testsupport::FakeInfoServer::Mode::Reply);
  server->SetFixture(7, "\r\n@3Video\r\nAdapter:\tA\r\n;Video Info\r\nChip:\tB\r\n;Video Info\r\nMode:\tC\r\n");
  ViewerRunner viewer;
  ASSERT_TRUE(viewer.Init(host.hwnd(), ""));
  CTestInfo* video = viewer.GetSheet()->InfoPages()[1].get();
  // The first page asked for its category when the sheet opened; it can be
  // left once its file is listed.
  testsupport::FakeInfoServer::Request r{};
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 0u);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !viewer.GetSheet()->InfoPage()->Waiting(); }, 10000));
  ASSERT_TRUE(viewer.GetSheet()->SetActivePage(1));
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  EXPECT_EQ(r.category, 7u);
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !video->Waiting(); }, 10000));
  std::vector<std::wstring> lines = InfoLines(video);
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[1], L"Chip:\tB");
  EXPECT_TRUE(viewer.Cleanup());
  ::DeleteFileW(server->FilePath(0).c_str());
  ::DeleteFileW(server->FilePath(7).c_str());
}

}  // namespace

// The memory page's Free Memory button: the rounds run (each block bounded by
// what the machine can commit now), the bar goes back to hidden, and the page
// then asks the server anew, without the reuse bit, and lists the answer.
class FreeMemoryRunner : public SampleRunner {
 public:
  bool InfoHasFreeMemory() const override { return true; }
};

TEST_F(InfoPageTest, FreeMemoryRunsItsRoundsAndThenAsksAnew) {
  StartServer(testsupport::FakeInfoServer::Mode::Reply);
  server->SetFixture(6, "\r\n@3Memory\r\nFree:\t1 KB\r\n");
  FreeMemoryRunner memory;
  ASSERT_TRUE(memory.Init(host.hwnd(), ""));
  CTestInfo* info = memory.GetSheet()->InfoPage();
  ASSERT_TRUE(memory.GetSheet()->SetActivePage(0));
  testsupport::FakeInfoServer::Request r{};
  ASSERT_TRUE(server->WaitForRequest(5000, &r));
  ASSERT_TRUE(testsupport::PumpUntil([&] { return !info->Waiting(); }, 10000));
  HWND button = ::GetDlgItem(info->hwnd(), IDC_INFO_FREEMEM);
  ASSERT_TRUE(::IsWindowVisible(button) && ::IsWindowEnabled(button));

  ::SendMessageW(info->hwnd(), WM_COMMAND, MAKEWPARAM(IDC_INFO_FREEMEM, BN_CLICKED), (LPARAM)button);
  ASSERT_TRUE(server->WaitForRequest(5000, &r)) << "asked anew after the rounds";
  EXPECT_EQ(r.client, info->hwnd());
  EXPECT_EQ(r.category, 6u);
  EXPECT_FALSE(r.reuse);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return !info->Waiting(); }, 10000));
  EXPECT_EQ(::SendMessageW(::GetDlgItem(info->hwnd(), IDC_INFO_PROGRESS), PBM_GETPOS, 0, 0), 100);
  EXPECT_FALSE(::IsWindowVisible(::GetDlgItem(info->hwnd(), IDC_INFO_PROGRESS)));
  std::vector<std::wstring> lines = InfoLines(info);
  ASSERT_EQ(lines.size(), 4u);
  EXPECT_EQ(lines[3], L"Free:\t1 KB");
  memory.Cleanup();
}
