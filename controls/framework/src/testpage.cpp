#include "ctlfw/testpage.h"

#include <commctrl.h>

#include "appkit/registry.h"
#include "appkit/text.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"

namespace ctlfw {

namespace {
constexpr int kInsideMargin = 5;
constexpr int kSteps = 10;
constexpr DWORD kMaxStandInErrors = 1000;
constexpr DWORD kMaxStandInRunMs = 60000;

void AddLine(HWND list, const std::wstring& text) {
  ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
}

void ShowLastLines(HWND list) {
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count != LB_ERR && count > 10) ::SendMessageW(list, LB_SETTOPINDEX, count - 10, 0);
}
}  // namespace

// ---- TestPage ------------------------------------------------------------------

TestPage::TestPage(TestRunner& runner, UINT templateId)
    : appkit::SheetPage(templateId, runner.Resources()), runner_(runner) {}

bool TestPage::AnswerCommand(LRESULT answer) {
  ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, answer);
  return true;
}

void TestPage::PumpMessages(DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    DWORD now = ::GetTickCount();
    if (now < start) start = now;  // the tick count wrapped: wait afresh
    if (now - start >= ms) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min<DWORD>(ms - (now - start), 20), QS_ALLINPUT);
    MSG msg;
    while (hwnd() && ::PeekMessageW(&msg, hwnd(), 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

// ---- StandInTestPage ---------------------------------------------------------

StandInTestPage::StandInTestPage(TestRunner& runner)
    : TestPage(runner), results_(runner.MakerKey()), tests_(runner.Resources(), runner.MakerKey()) {}

StandInTestPage::~StandInTestPage() {
  Destroy();
  if (worker_) ::CloseHandle(worker_);
}

BOOL StandInTestPage::OnInit() {
  if (!results_.hwnd()) results_.Attach(hwnd(), IDC_TEST_RESULTS);
  if (!tests_.hwnd()) tests_.Attach(hwnd(), IDC_TEST_CHECKLIST);
  SetItemText(IDC_TEST_TEXT, L"Click the Start button to run the tests.");
  const int stops[4] = {140, 220, 300, 480};
  results_.SetTabStops(4, stops);
  SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 100);
  doneArmed_ = Runner().Options().autoRun;
  FillTestList();
  Check(IDC_TEST_SHOWOPTIONS, true);
  ShowItem(IDC_TEST_CHECKLIST, true);
  ShowItem(IDC_TEST_INCLUDES, true);
  ShowItem(IDC_TEST_RESULTS, false);
  ShowItem(IDC_TEST_PROGRESS, false);
  started_ = true;
  return TRUE;
}

void StandInTestPage::FillTestList() {
  ReadTestSelection();
  HWND list = Item(IDC_TEST_CHECKLIST);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : Runner().EnableSettings()) {
    LRESULT i = ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(appkit::Widen(name).c_str()));
    if (i >= 0) ::SendMessageW(list, LB_SETITEMDATA, i, (Runner().Setting(name) ? kItemChecked : 0) | kItemCheckable);
  }
}

void StandInTestPage::ReadTestSelection() {
  HWND list = Item(IDC_TEST_CHECKLIST);
  std::vector<std::string> names = Runner().EnableSettings();
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (!list || names.empty() || count == LB_ERR || count < (LRESULT)names.size()) return;
  for (size_t i = 0; i < names.size(); ++i) {
    LRESULT data = ::SendMessageW(list, LB_GETITEMDATA, i, 0);
    if (data != LB_ERR && (data & kItemCheckable)) Runner().SetSetting(names[i], (int)(data & kItemChecked));
  }
}

bool StandInTestPage::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_TEST_STARTSTOP) {
    StartStopTest();
    return true;
  }
  if (id == IDC_TEST_SHOWOPTIONS) {
    bool list = IsChecked(IDC_TEST_SHOWOPTIONS);
    ShowItem(IDC_TEST_CHECKLIST, list);
    ShowItem(IDC_TEST_INCLUDES, list);
    ShowItem(IDC_TEST_RESULTS, !list);
    ShowItem(IDC_TEST_PROGRESS, !list);
    return true;
  }
  if (code == 0 && (id == (int)kAskCheck || id == (int)kAskUncheck)) {
    if (runningCount_ > 0) return AnswerCommand(0);
    if (id == (int)kAskCheck) return AnswerCommand(1);
    // At least one test stays selected.
    ReadTestSelection();
    int selected = 0;
    for (const std::string& name : Runner().EnableSettings()) selected += Runner().Setting(name) == 1;
    return AnswerCommand(selected > 1);
  }
  return TestPage::OnCommand(id, code, ctl);
}

bool StandInTestPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

BOOL StandInTestPage::OnSetActive() {
  ResizeControls();
  return TRUE;
}

BOOL StandInTestPage::DoTest() {
  if (!hwnd() || runningCount_ > 0 || startPending_) return FALSE;
  startPending_ = true;
  if (!::PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_STARTSTOP, BN_CLICKED),
                      reinterpret_cast<LPARAM>(Item(IDC_TEST_STARTSTOP)))) {
    startPending_ = false;
    return FALSE;
  }
  return TRUE;
}

BOOL StandInTestPage::IsRunning() { return runningCount_ > 0; }

BOOL StandInTestPage::Abort() {
  if (runningCount_ <= 0 || !hwnd()) return FALSE;
  ::SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_STARTSTOP, BN_CLICKED),
                 reinterpret_cast<LPARAM>(Item(IDC_TEST_STARTSTOP)));
  return TRUE;
}

bool StandInTestPage::HasLiveWorker() {
  return worker_ && ::WaitForSingleObject(worker_, 0) == WAIT_TIMEOUT;
}

bool StandInTestPage::WaitWorker(DWORD ms) {
  DWORD start = ::GetTickCount();
  while (HasLiveWorker()) {
    DWORD spent = ::GetTickCount() - start;
    if (spent >= ms) return false;
    PumpMessages(std::min<DWORD>(ms - spent, 20));
  }
  return true;
}

void StandInTestPage::StartStopTest() {
  startPending_ = false;
  if (runningCount_ >= 1) StopRunning();
  else StartTest();
}

bool StandInTestPage::WaitForStop() {
  // 500 ms, 1000 ms, then up to six further seconds; a beep when the worker
  // still runs after that.
  if (WaitWorker(500) || WaitWorker(1000)) return true;
  for (int i = 0; i < 6; ++i)
    if (WaitWorker(1000)) return true;
  ::MessageBeep(MB_ICONHAND);
  return false;
}

void StandInTestPage::StopRunning() {
  abortFlag_ = 1;
  WaitForStop();
  SetItemText(IDC_TEST_STARTSTOP, L"&Start");
}

void StandInTestPage::StartTest() {
  if (worker_) {
    // The previous run's worker has ended (runningCount is 0 only then).
    ::WaitForSingleObject(worker_, INFINITE);
    ::CloseHandle(worker_);
    worker_ = nullptr;
  }
  errorCount_ = 0;
  abortFlag_ = 0;
  progressWindow_ = Item(IDC_TEST_PROGRESS);
  buttonWindow_ = Item(IDC_TEST_STARTSTOP);
  resultsWindow_ = Item(IDC_TEST_RESULTS);
  controlWindow_ = Runner().ControlWindow();
  ::SendMessageW(progressWindow_, PBM_SETPOS, 0, 0);
  SetItemText(IDC_TEST_STARTSTOP, L"&Stop");
  ReadTestSelection();
  ::SendMessageW(resultsWindow_, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(resultsWindow_, LB_SETHORIZONTALEXTENT, 0, 0);
  Check(IDC_TEST_SHOWOPTIONS, false);
  OnCommand(IDC_TEST_SHOWOPTIONS, BN_CLICKED, Item(IDC_TEST_SHOWOPTIONS));

  std::wstring key = Runner().SettingsKey();
  plannedErrors_ = (int)std::min(appkit::RegReadDword(HKEY_CURRENT_USER, key, L"StandInErrors", 0), kMaxStandInErrors);
  runMs_ = std::min(appkit::RegReadDword(HKEY_CURRENT_USER, key, L"StandInRunMs", 500), kMaxStandInRunMs);

  runningCount_ = 1;
  worker_ = StartWorker(&StandInTestPage::WorkerThread, this);
  if (!worker_) {
    runningCount_ = 0;
    AddLine(resultsWindow_, L"===>Test Failed.");
    SetItemText(IDC_TEST_STARTSTOP, L"&Start");
  }
}

DWORD WINAPI StandInTestPage::WorkerThread(LPVOID self) {
  static_cast<StandInTestPage*>(self)->Run();
  return 0;
}

void StandInTestPage::Run() {
  // Only the captured handles and the counters are touched from here.
  HWND results = resultsWindow_, button = buttonWindow_, progress = progressWindow_, control = controlWindow_;
  for (int step = 1; step <= kSteps && !abortFlag_; ++step) {
    ::Sleep(runMs_ / kSteps);
    AddLine(results, appkit::Format(L"Pass %d\tPASSED", step));
    ::SendMessageW(progress, PBM_SETPOS, step * 100 / kSteps, 0);
  }
  if (!abortFlag_) {
    for (int i = 1; i <= plannedErrors_; ++i) {
      AddLine(results, appkit::Format(L"Check %d\tFAILED", i));
      ++errorCount_;
    }
  }
  if (abortFlag_) AddLine(results, L"===>Test Aborts.");
  ShowLastLines(results);
  AddLine(results, L" ");
  AddLine(results, errorCount_ > 0 ? L"Found Error(s)." : L"No Error Found.");
  ShowLastLines(results);
  ::SetWindowTextW(button, L"&Start");
  ::SendMessageW(progress, PBM_SETPOS, 0, 0);
  ::UpdateWindow(progress);
  ::InvalidateRect(control, nullptr, TRUE);
  bool post = doneArmed_ && !abortFlag_;
  WPARAM errors = (WPARAM)errorCount_.load();
  // The last touch of the page: from here on it may go.
  runningCount_ = 0;
  if (post) ::PostMessageW(control, WM_TESTDONE, errors, 0);
}

void StandInTestPage::StopTests() {
  if (!started_) return;
  ReadTestSelection();
  abortFlag_ = 1;
  if (HasLiveWorker() && !WaitForStop()) return;
  started_ = false;
}

BOOL StandInTestPage::ResizeControls() {
  CTest* sheet = Runner().GetSheet();
  if (!Runner().Created() || !hwnd() || !sheet) return FALSE;
  appkit::StretchInside(sheet->hwnd(), sheet->TabControl(), kInsideMargin, false);
  appkit::StretchInside(sheet->TabControl(), hwnd(), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_TEST_RESULTS), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_TEST_PROGRESS), kInsideMargin, true);
  appkit::StretchInside(hwnd(), Item(IDC_TEST_CHECKLIST), kInsideMargin, false);
  return TRUE;
}

}  // namespace ctlfw
