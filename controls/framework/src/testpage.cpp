#include "ctlfw/testpage.h"

#include <commctrl.h>

#include <ctime>

#include "appkit/app.h"
#include "appkit/text.h"
#include "appkit/threads.h"
#include "infoclient/listbox.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"
#include "suite/controls.h"

namespace ctlfw {

namespace {

constexpr int kInsideMargin = 5;
constexpr UINT kAskRefill = 102;

void ScrollToLast10(HWND list) {
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count != LB_ERR && count - 10 > 0) ::SendMessageW(list, LB_SETTOPINDEX, (WPARAM)(count - 10), 0);
}

struct PictureIds {
  explicit PictureIds(const CheckPictures& p) : ids{p.checkedLocked, p.checked, p.uncheckedLocked, p.unchecked} {}
  UINT ids[4];
};

int AddLine(HWND list, const std::string& text) {
  return (int)::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(text).c_str());
}

}  // namespace

RunState& TheRunState() {
  static RunState state;
  return state;
}

// ---- For worker threads -------------------------------------------------------

int AddResultLine(const std::string& text) { return AddLine(TheRunState().resultsWindow, text); }

void ScrollRunResultsToEnd() { ScrollToLast10(TheRunState().resultsWindow); }

void SetRunProgress(int percent) {
  ::SendMessageW(TheRunState().progressWindow, PBM_SETPOS, (WPARAM)percent, 0);
}

void CountRunError() {
  RunState& s = TheRunState();
  ::EnterCriticalSection(&s.runLock);
  ++s.errorCount;
  ::LeaveCriticalSection(&s.runLock);
}

void WriteTestLog(RunState& s) {
  HWND list = s.resultsWindow;
  if (!list || !::IsWindow(list)) return;
  std::vector<std::string> lines;
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    LRESULT len = ::SendMessageW(list, LB_GETTEXTLEN, (WPARAM)i, 0);
    if (len == LB_ERR) break;
    std::wstring text((size_t)len + 1, L'\0');
    LRESULT got = ::SendMessageW(list, LB_GETTEXT, (WPARAM)i, (LPARAM)&text[0]);
    text.resize(got > 0 && got <= len ? (size_t)got : 0);
    std::string line = appkit::Narrow(text);
    if (line.size() > 1023) line.resize(1023);  // a line of the log holds at most 1023 characters
    lines.push_back(line);
  }
  TestLogRequest r = s.log;
  r.errorCount = (int)s.errorCount;
  WriteTestLogFile(r, lines);
}

void ShowTroubleshooting(HWND list, const std::string& directory, const std::string& anchorName,
                         bool headingAlways) {
  if (!list) return;
  std::vector<std::string> tips;
  if (!ReadTroubleshootingTips(directory, anchorName, &tips) && !headingAlways) return;
  AddLine(list, "");
  AddLine(list, "Troubleshooting Tips:");
  for (const std::string& t : tips) AddLine(list, t);
}

void FinishWorker(bool failed, bool aborted) {
  HWND list = TheRunState().resultsWindow;
  if (aborted)
    AddLine(list, "===>Test Aborts.");
  else if (failed)
    AddLine(list, "===>Test Failed.");
  ScrollToLast10(list);
  EndWorker(failed && !aborted);
}

void EndWorker(bool countError) {
  RunState& s = TheRunState();
  HWND list = s.resultsWindow;
  if (countError) CountRunError();

  // The worker that takes the count to 0 finishes the run; nothing is sent
  // to a window while the lock is held.
  ::EnterCriticalSection(&s.runLock);
  LONG left = --s.runningCount;
  LONG errors = s.errorCount;
  ::LeaveCriticalSection(&s.runLock);
  if (left >= 1) return;

  const RunEnd& end = s.end;
  const char* verdict = errors > 0 ? "Found Error(s)." : "No Error Found.";
  int verdictIndex = -1;
  switch (end.summary) {
    case RunEnd::Summary::BlankThenVerdict:
      AddLine(list, " ");
      verdictIndex = AddLine(list, verdict);
      break;
    case RunEnd::Summary::EmptyThenVerdict:
      AddLine(list, "");
      verdictIndex = AddLine(list, verdict);
      break;
    case RunEnd::Summary::Verdict:
      verdictIndex = AddLine(list, verdict);
      break;
    case RunEnd::Summary::ErrorsOnly:
      if (errors > 0) AddLine(list, verdict);
      break;
    case RunEnd::Summary::None:
      break;
  }
  if (end.tipsAnchor || end.logWithoutTips) WriteTestLog(s);
  if (end.tipsAnchor && errors > 0 && end.showTips)
    ShowTroubleshooting(list, appkit::Narrow(s.log.directory), end.tipsAnchor, end.tipsHeadingAlways);
  if ((end.verdictNearTop && errors > 0) || end.verdictNearTopAlways) {
    if (verdictIndex - 3 >= 0) ::SendMessageW(list, LB_SETTOPINDEX, (WPARAM)(verdictIndex - 3), 0);
  } else {
    ScrollToLast10(list);
  }
  ::SetWindowTextW(s.buttonWindow, end.idleButtonText);
  ::SendMessageW(s.progressWindow, PBM_SETPOS, 0, 0);
  ::UpdateWindow(s.progressWindow);
  ::InvalidateRect(s.controlWindow, nullptr, TRUE);
  bool done = s.doneArmed && (!s.abortFlag || end.doneAfterAbort);
  if (done) ::PostMessageW(s.controlWindow, suite::WM_TESTDONE, (WPARAM)errors, 0);
}

void DeliverTestDone(HWND control) {
  MSG msg;
  while (::PeekMessageW(&msg, control, suite::WM_TESTDONE, suite::WM_TESTDONE, PM_REMOVE)) {
    // Wine hands out a pending WM_QUIT whatever the filter: it stays for
    // the loop that ends the program.
    if (msg.message == WM_QUIT) {
      ::PostQuitMessage((int)msg.wParam);
      return;
    }
    ::DispatchMessageW(&msg);
  }
}

// ---- The page -------------------------------------------------------------------

TestPage::TestPage(TestRunner& runner, UINT templateId)
    : appkit::SheetPage(templateId, runner.Resources()),
      runner_(runner),
      results_(runner.MakerKey()),
      tests_(runner.Resources(), runner.MakerKey(), PictureIds(runner.CheckListPictures()).ids) {}

TestPage::~TestPage() { Destroy(); }

BOOL TestPage::OnInit() {
  if (!results_.hwnd()) results_.Attach(hwnd(), IDC_TEST_RESULTS);
  if (!tests_.hwnd()) tests_.Attach(hwnd(), Items().checkList);
  RunState& s = TheRunState();
  ::SetErrorMode(SEM_FAILCRITICALERRORS);
  if (!s.lockReady) {
    ::InitializeCriticalSection(&s.runLock);
    s.lockReady = true;
  }
  SendItem(IDC_TEST_PROGRESS, PBM_SETRANGE32, 0, 100);

  if (HICON icon = ::LoadIconW(runner_.Resources(), MAKEINTRESOURCEW(TestIconId())))
    SendItem(Items().icon, STM_SETICON, (WPARAM)icon, 0);
  std::wstring text = Description();
  if (!text.empty()) SetItemText(Items().text, text);
  std::vector<int> stops = ResultTabStops();
  results_.SetTabStops((int)stops.size(), stops.data());
  s.doneArmed = runner_.Options().autoRun;

  // The result list takes the check list's top edge: the two share the area
  // and one of them shows at a time.
  HWND results = Item(IDC_TEST_RESULTS), tests = Item(Items().checkList);
  if (results && tests) {
    RECT r, t;
    ::GetWindowRect(results, &r);
    ::GetWindowRect(tests, &t);
    ::MapWindowPoints(HWND_DESKTOP, hwnd(), reinterpret_cast<POINT*>(&r), 2);
    ::MapWindowPoints(HWND_DESKTOP, hwnd(), reinterpret_cast<POINT*>(&t), 2);
    ::SetWindowPos(results, nullptr, r.left, t.top, r.right - r.left, r.bottom - t.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (HasTestList()) {
    FillTestList();
    Check(Items().showOptions, true);
    ShowTestList(true);
  } else {
    ShowItem(Items().showOptions, false);
    ::EnableWindow(Item(Items().showOptions), FALSE);
    ShowTestList(false);
  }
  started_ = true;
  return TRUE;
}

BOOL TestPage::OnSetActive() {
  ResizeControls();
  return TRUE;
}

bool TestPage::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  CTest* sheet = runner_.GetSheet();
  if (sheet && sheet->QuorrelMessage() && msg == sheet->QuorrelMessage()) {
    OnServerReply(wp, lp);
    *result = 1;
    return true;
  }
  return false;
}

bool TestPage::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_TEST_STARTSTOP && code == BN_CLICKED) {
    startPending_ = false;
    StartStopTest();
    return true;
  }
  if (id == Items().showOptions && code == BN_CLICKED) {
    if (HasTestList()) ShowTestList(IsChecked(Items().showOptions));
    return true;
  }
  // The check list's questions (lParam = minus the item index); while a test
  // runs, or without a check list, they are answered 0.
  if (code == 0 && (id == (int)kAskRefill || id == (int)kAskUncheck || id == (int)kAskCheck) && HasTestList() &&
      TheRunState().runningCount <= 0) {
    if (id == (int)kAskRefill) {
      FillTestList();
      return AnswerCommand(1);
    }
    int index = -(int)reinterpret_cast<INT_PTR>(ctl);
    ReadTestSelection();
    std::vector<int> flags = Flags();
    std::vector<long> data = ListData(), before = data;
    int answer = id == (int)kAskUncheck ? CanUncheckTest(index, &flags, &data) : CanCheckTest(index, &flags, &data);
    SetFlags(flags);
    if (data != before) {
      SetListData(data);
      ::InvalidateRect(Item(Items().checkList), nullptr, TRUE);
    }
    return AnswerCommand(answer);
  }
  return appkit::SheetPage::OnCommand(id, code, ctl);
}

std::string TestPage::ComboItemText(int comboId, int index) const {
  std::wstring text;
  if (!ctlfw::ComboItemText(Item(comboId), index, &text, 256)) return {};
  return appkit::Narrow(text);
}

bool TestPage::AnswerCommand(LRESULT answer) {
  ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, answer);
  return true;
}

// ---- Check list -------------------------------------------------------------------

std::vector<int> TestPage::Flags() const {
  std::vector<int> flags;
  for (const std::string& name : runner_.EnableSettings()) flags.push_back(runner_.Setting(name));
  return flags;
}

void TestPage::SetFlags(const std::vector<int>& flags) {
  std::vector<std::string> names = runner_.EnableSettings();
  for (size_t i = 0; i < names.size() && i < flags.size(); ++i) runner_.SetSetting(names[i], flags[i]);
}

std::vector<long> TestPage::ListData() const {
  std::vector<long> data;
  for (size_t i = 0; i < TestNames().size(); ++i)
    data.push_back((long)::SendMessageW(Item(Items().checkList), LB_GETITEMDATA, i, 0));
  return data;
}

void TestPage::SetListData(const std::vector<long>& data) {
  for (size_t i = 0; i < data.size(); ++i)
    ::SendMessageW(Item(Items().checkList), LB_SETITEMDATA, i, (LPARAM)data[i]);
}

std::vector<long> TestPage::FillItemData(std::vector<int>* flags) const {
  std::vector<long> data;
  for (int f : *flags) data.push_back((f == 1 ? (long)kItemChecked : 0) | (long)kItemCheckable);
  return data;
}

int TestPage::CanUncheckTest(int, std::vector<int>* flags, std::vector<long>*) const {
  // At least one test stays selected.
  int selected = 0;
  for (int f : *flags) selected += f == 1;
  return selected > 1;
}

void TestPage::ReadTestSelection() {
  HWND list = Item(Items().checkList);
  std::vector<std::string> names = runner_.EnableSettings();
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (!list || names.empty() || count == LB_ERR || count < (LRESULT)names.size()) return;
  for (size_t i = 0; i < names.size(); ++i) {
    LRESULT data = ::SendMessageW(list, LB_GETITEMDATA, i, 0);
    if (data != LB_ERR && (data & kItemCheckable)) runner_.SetSetting(names[i], (int)(data & kItemChecked));
  }
}

void TestPage::FillTestList() {
  ReadTestSelection();
  HWND list = Item(Items().checkList);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  std::vector<std::string> names = TestNames();
  for (size_t i = 0; i < names.size(); ++i)
    ::SendMessageW(list, LB_INSERTSTRING, i, (LPARAM)appkit::Widen(names[i]).c_str());
  std::vector<int> flags = Flags();
  SetListData(FillItemData(&flags));
  SetFlags(flags);
}

void TestPage::ShowTestList(bool on) {
  PageItems items = Items();
  std::vector<int> options = items.optionsOnly;
  options.push_back(items.checkList);
  options.push_back(items.includes);
  for (int id : options) {
    ShowItem(id, on);
    ::EnableWindow(Item(id), on);
  }
  for (int id : {IDC_TEST_RESULTS, IDC_TEST_PROGRESS}) {
    ShowItem(id, !on);
    ::EnableWindow(Item(id), !on);
  }
}

// ---- Runs -------------------------------------------------------------------------

void TestPage::PumpMessages(DWORD ms) {
  DWORD start = ::GetTickCount();
  // A host that ends its loop before its windows have gone (a quit posted
  // when its main window is destroyed, ahead of the control's stop wait)
  // still finds its quit afterwards.
  appkit::QuitKeeper quit;
  for (;;) {
    MSG msg;
    while (hwnd() && quit.Take(&msg, hwnd())) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    DWORD now = ::GetTickCount();
    if (now < start) start = now;  // the tick count wrapped: wait afresh
    if (now - start >= ms) return;
    // Sleep until something arrives; a worker's sends are answered here too.
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - (now - start), QS_ALLINPUT);
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

bool TestPage::WaitForStop() {
  RunState& s = TheRunState();
  PumpMessages(500);
  PumpMessages(1000);
  for (int i = 0; i < 6 && s.runningCount > 0; ++i) PumpMessages(1000);
  if (s.runningCount <= 0) return true;
  ::MessageBeep(MB_ICONHAND);
  return false;
}

void TestPage::StartStopTest() {
  RunState& s = TheRunState();
  if (s.runningCount >= 1 && stopByFlag_)
    s.abortFlag = 1;
  else if (s.runningCount >= 1)
    StopRunning();
  else if (!stopOnly_)
    StartTest();
}

void TestPage::StopRunning() {
  RunState& s = TheRunState();
  s.abortFlag = 1;
  PumpMessages(500);
  if (!runner_.Options().autoRun) runner_.ShowMessage(L"Please wait for the test to abort.", MB_OK);
  PumpMessages(1000);
  for (int i = 0; i < 6 && s.runningCount > 0; ++i) PumpMessages(1000);
  if (s.runningCount > 0) ::MessageBeep(MB_ICONHAND);
  SetItemText(IDC_TEST_STARTSTOP, L"&Start");
}

void TestPage::JoinWorkers() {
  RunState& s = TheRunState();
  for (HANDLE w : s.workers) {
    appkit::JoinServingSentMessages(w);
    ::CloseHandle(w);
  }
  s.workers.clear();
}

void TestPage::StartTest() {
  std::wstring question = StartQuestion();
  if (!question.empty() && !runner_.Options().autoRun &&
      runner_.ShowMessage(question, MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return;
  PrepareRun();
  StartWorkers();
  // The half second the run's worker threads are given to get going; their
  // first lines reach this thread's list meanwhile. A run on this thread has
  // no worker to give it to: it has ended or waits for its own messages.
  if (!TheRunState().workers.empty()) appkit::SleepServingSentMessages(500);
}

void TestPage::PrepareRun() { PrepareRun(IDC_TEST_STARTSTOP, L"&Stop", RunEndRule()); }

void TestPage::PrepareRun(int buttonId, const wchar_t* busyText, const RunEnd& end) {
  RunState& s = TheRunState();
  // The previous run's workers are out (the running count is 0): their
  // handles can go.
  JoinWorkers();
  s.errorCount = 0;
  s.progressWindow = Item(IDC_TEST_PROGRESS);
  ::SendMessageW(s.progressWindow, PBM_SETPOS, 0, 0);
  s.buttonWindow = Item(buttonId);
  ::SetWindowTextW(s.buttonWindow, busyText);
  s.runningCount = 0;
  s.abortFlag = 0;
  stopByFlag_ = false;
  s.controlWindow = runner_.ControlWindow();

  ReadTestSelection();
  s.resultsWindow = Item(IDC_TEST_RESULTS);
  ::SendMessageW(s.resultsWindow, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(s.resultsWindow, LB_SETHORIZONTALEXTENT, 0, 0);
  if (HasTestList()) {
    Check(Items().showOptions, false);
    ShowTestList(false);
  }

  s.end = end;
  const Switches& o = runner_.Options();
  s.log = TestLogRequest{runner_.ModuleDirectory(), runner_.BaseName(), o.runSuffix,
                         appkit::Narrow(runner_.LogTitle()), o.loop, o.check, o.append, 0};
}

void TestPage::BeginRunOnPageThread(bool stopByFlag) {
  RunState& s = TheRunState();
  stopByFlag_ = stopByFlag;
  ::EnterCriticalSection(&s.runLock);
  ++s.runningCount;
  ::LeaveCriticalSection(&s.runLock);
}

void TestPage::DrainThreadQueue(const std::function<bool(const MSG&)>& hook) {
  MSG msg;
  while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (hook && hook(msg)) continue;
    ::TranslateMessage(&msg);
    ::DispatchMessageW(&msg);
  }
}

void TestPage::StartRunWorker(LPTHREAD_START_ROUTINE proc, void* arg) {
  RunState& s = TheRunState();
  // Counted before the thread starts, so that IsRunning and DoTest see the
  // run at once.
  ::EnterCriticalSection(&s.runLock);
  ++s.runningCount;
  ::LeaveCriticalSection(&s.runLock);
  HANDLE worker = StartWorker(proc, arg);
  if (!worker) {
    FinishWorker(true, false);
    return;
  }
  s.workers.push_back(worker);
}

BOOL TestPage::DoTest() {
  // A second DoTest before the first one's Start arrived would be a Stop.
  if (!hwnd() || TheRunState().runningCount > 0 || startPending_) return FALSE;
  if (!::PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_STARTSTOP, BN_CLICKED),
                      (LPARAM)Item(IDC_TEST_STARTSTOP)))
    return FALSE;
  startPending_ = true;
  return TRUE;
}

BOOL TestPage::Abort() {
  if (!hwnd() || TheRunState().runningCount <= 0) return FALSE;
  // The run may end between the check above and the button's handler: an
  // Abort then stops nothing, and never starts a new run.
  stopOnly_ = true;
  ::SendMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(IDC_TEST_STARTSTOP, BN_CLICKED), (LPARAM)Item(IDC_TEST_STARTSTOP));
  stopOnly_ = false;
  return TRUE;
}

void TestPage::StopTests() {
  if (!started_) return;
  RunState& s = TheRunState();
  ReadTestSelection();
  KeepChoices();
  OnSheetClosing();
  s.abortFlag = 1;
  if (s.runningCount > 0 && !WaitForStop() && !WaitOutWorkersOnClose()) return;
  // The page, the sheet and the control stay until the workers are out: they
  // still send to their windows and may post WM_TESTDONE to the control
  // (after the count has dropped to 0).
  JoinWorkers();
  // A WM_TESTDONE a worker posted reaches the control before it goes.
  if (s.controlWindow) DeliverTestDone(s.controlWindow);
  started_ = false;
  AfterWorkersOut();
  if (s.lockReady) {
    ::DeleteCriticalSection(&s.runLock);
    s.lockReady = false;
  }
  s.resultsWindow = s.buttonWindow = s.progressWindow = nullptr;
}

bool TestPage::HasLiveWorker() const {
  for (HANDLE w : TheRunState().workers)
    if (::WaitForSingleObject(w, 0) == WAIT_TIMEOUT) return true;
  return false;
}

BOOL TestPage::ResizeControls() {
  CTest* sheet = runner_.GetSheet();
  if (!runner_.Created() || !hwnd() || !sheet) return FALSE;
  appkit::StretchInside(sheet->hwnd(), sheet->TabControl(), kInsideMargin, false);
  appkit::StretchInside(sheet->TabControl(), hwnd(), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_TEST_RESULTS), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_TEST_PROGRESS), kInsideMargin, true);
  appkit::StretchInside(hwnd(), Item(Items().checkList), kInsideMargin, false);
  return TRUE;
}

std::vector<std::string> TestPage::RowTexts(std::initializer_list<UINT> ids) const {
  std::vector<std::string> rows;
  for (UINT id : ids) rows.push_back(appkit::Narrow(appkit::LoadStr(id, runner_.Resources())));
  return rows;
}

std::vector<std::string> TestPage::RowTexts(UINT first, UINT count) const {
  std::vector<std::string> rows;
  for (UINT id = first; id < first + count; ++id)
    rows.push_back(appkit::Narrow(appkit::LoadStr(id, runner_.Resources())));
  return rows;
}

}  // namespace ctlfw
