// The Test page of the memory and processor control and its workers.
#include "memtest/testpage.h"

#include "appkit/text.h"

#include <commctrl.h>

#include <cstdlib>
#include <ctime>

namespace memtest {
namespace {

int AddLine(HWND list, const std::string& text) {
  return (int)::SendMessageW(list, LB_ADDSTRING, 0, (LPARAM)appkit::Widen(text).c_str());
}

void ScrollToLast10(HWND list) {
  LRESULT count = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  if (count - 10 > 0) ::SendMessageW(list, LB_SETTOPINDEX, (WPARAM)(count - 10), 0);
}

// Lines to the captured results list and progress bar.
class WindowSink : public TestSink {
 public:
  explicit WindowSink(RunState& s) : s_(s) {}
  int AddLine(const std::string& text) override { return memtest::AddLine(s_.resultsWindow, text); }
  void ReplaceLine(int index, const std::string& text) override {
    ::SendMessageW(s_.resultsWindow, LB_DELETESTRING, (WPARAM)index, 0);
    ::SendMessageW(s_.resultsWindow, LB_INSERTSTRING, (WPARAM)index, (LPARAM)appkit::Widen(text).c_str());
  }
  void SetProgress(int percent) override { ::SendMessageW(s_.progressWindow, PBM_SETPOS, (WPARAM)percent, 0); }
  void SetErasing(bool on) override { ::SendMessageW(s_.resultsWindow, WM_COMMAND, 101, on ? 1 : 0); }
  bool AbortRequested() override { return s_.abortFlag != 0; }

 private:
  RunState& s_;
};

uint64_t MachineLimitFromEnvironment() {
  char buf[32];
  DWORD n = ::GetEnvironmentVariableA("HALVIX_MEMTEST_MACHINE_MB", buf, sizeof buf);
  if (n == 0 || n >= sizeof buf) return 0;
  return std::strtoull(buf, nullptr, 10) * 0x100000ull;
}

// Moves the right and bottom edges of `child` (only the right edge with
// widthOnly) 5 pixels inside the client area of `container`.
void StretchInside(HWND child, HWND container, bool widthOnly) {
  if (!child || !container) return;
  HWND parent = ::GetParent(child);
  RECT c, box;
  ::GetWindowRect(child, &c);
  ::MapWindowPoints(HWND_DESKTOP, parent, reinterpret_cast<POINT*>(&c), 2);
  ::GetClientRect(container, &box);
  ::MapWindowPoints(container, parent, reinterpret_cast<POINT*>(&box), 2);
  int w = box.right - 5 - c.left, h = widthOnly ? c.bottom - c.top : box.bottom - 5 - c.top;
  if (w < 0) w = 0;
  if (h < 0) h = 0;
  ::SetWindowPos(child, nullptr, 0, 0, w, h, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_NOREDRAW);
}

// Waits for a thread while serving the messages it sends to our windows.
void WaitServingSends(HANDLE thread) {
  while (::MsgWaitForMultipleObjects(1, &thread, FALSE, INFINITE, QS_SENDMESSAGE) != WAIT_OBJECT_0) {
    MSG msg;
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

}  // namespace

RunState& TheRunState() {
  static RunState state;
  return state;
}

// ---- result log and tips ---------------------------------------------------

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
    text.resize(got > 0 ? (size_t)got : 0);
    std::string line = appkit::Narrow(text);
    if (line.size() > 1023) line.resize(1023);  // a line of the log holds at most 1023 characters
    lines.push_back(line);
  }
  const PageSettings& p = s.settings;
  TestLogRequest r{p.directory, p.baseName, p.digit, p.title, p.loop, p.check, p.append, (int)s.errorCount};
  WriteTestLogFile(r, lines);
}

void ShowTroubleshooting(HWND list, const std::string& directory, const std::string& anchorName) {
  if (!list) return;
  std::vector<std::string> tips;
  if (!ReadTroubleshootingTips(directory, anchorName, &tips)) return;
  AddLine(list, "");
  AddLine(list, "Troubleshooting Tips:");
  for (const std::string& t : tips) AddLine(list, t);
}

// ---- end of a run ----------------------------------------------------------

void FinishWorker(RunState& s, bool failed, bool aborted) {
  HWND list = s.resultsWindow;
  if (aborted) {
    AddLine(list, "===>Test Aborts.");
  } else if (failed) {
    AddLine(list, "===>Test Failed.");
    ::EnterCriticalSection(&s.runLock);
    ++s.errorCount;
    ::LeaveCriticalSection(&s.runLock);
  }
  ScrollToLast10(list);

  // The worker that takes the count to 0 finishes the run; nothing is sent
  // to a window while the lock is held.
  ::EnterCriticalSection(&s.runLock);
  LONG left = --s.runningCount;
  LONG errors = s.errorCount;
  ::LeaveCriticalSection(&s.runLock);
  if (left >= 1) return;

  const PageSettings& p = s.settings;
  const char* verdict = errors > 0 ? "Found Error(s)." : "No Error Found.";
  bool done = false;
  switch (p.mode) {
    case PageMode::Memory:
      AddLine(list, " ");
      AddLine(list, verdict);
      WriteTestLog(s);
      if (errors > 0) ShowTroubleshooting(list, p.directory, "memory");
      ScrollToLast10(list);
      done = s.doneArmed && !s.abortFlag;
      break;
    case PageMode::Processor: {
      int index = AddLine(list, verdict);
      WriteTestLog(s);
      if (errors > 0) {
        ShowTroubleshooting(list, p.directory, "processor");
        if (index - 3 >= 0) ::SendMessageW(list, LB_SETTOPINDEX, (WPARAM)(index - 3), 0);
      } else {
        ScrollToLast10(list);
      }
      done = s.doneArmed && !s.abortFlag;
      break;
    }
    case PageMode::MemoryBench:
    case PageMode::ProcessorBench:
      if (errors > 0) AddLine(list, "Found Error(s).");
      ScrollToLast10(list);
      done = s.doneArmed && (!s.abortFlag || (p.mode == PageMode::MemoryBench && p.check));
      break;
  }
  ::SetWindowTextW(s.buttonWindow, L"&Start");
  ::SendMessageW(s.progressWindow, PBM_SETPOS, 0, 0);
  ::UpdateWindow(s.progressWindow);
  ::InvalidateRect(s.controlWindow, nullptr, TRUE);
  if (done) ::PostMessageW(s.controlWindow, WM_TESTDONE, (WPARAM)errors, 0);
}

// ---- workers ---------------------------------------------------------------

DWORD WINAPI MemoryTestThread(LPVOID) {
  RunState& s = TheRunState();
  if (!s.resultsWindow) {
    FinishWorker(s, true, false);
    return 0;
  }
  const PageSettings& p = s.settings;
  MemTestConfig c;
  c.win9x = (::GetVersion() & 0x80000000u) != 0;
  c.concurrent = p.concurrent;
  c.percent = p.percent;
  c.quick = p.check;
  c.maxMemMB = p.maxMemMB;
  c.selection = s.selection;
  RealSystemMemory sys(p.machineLimit ? p.machineLimit : MachineLimitFromEnvironment());
  WindowSink sink(s);
  Outcome o = RunMemoryTest(sys, c, sink, [&s] { return (uint32_t)s.random(); }, s.faults);
  FinishWorker(s, o == Outcome::Failed, o == Outcome::Aborted);
  return 0;
}

DWORD WINAPI UnavailableTestThread(LPVOID) {
  RunState& s = TheRunState();
  const PageSettings& p = s.settings;
  if (p.mode == PageMode::Processor) {
    const auto& names = TestRowNames(true);
    const bool* sel[] = {&s.selection.dataPattern, &s.selection.walkingOnes, &s.selection.movingInversion,
                         &s.selection.walkingZeros, &s.selection.randomCopy};
    for (int i = 0; i < kTestRows; ++i)
      if (*sel[i]) AddLine(s.resultsWindow, std::string(names[i]) + ":\tnot available");
  } else {
    AddLine(s.resultsWindow, p.mode == PageMode::MemoryBench ? "Memory Benchmark:\tnot available"
                                                             : "CPU Benchmark:\tnot available");
  }
  // Nothing was verified: the run cannot pass.
  FinishWorker(s, true, false);
  return 0;
}

// ---- the page --------------------------------------------------------------

BOOL TestPageLogic::OnInitDialog(HWND page) {
  page_ = page;
  RunState& s = TheRunState();
  s.random.seed((unsigned)std::time(nullptr));
  ::SetErrorMode(SEM_FAILCRITICALERRORS);
  if (!s.lockReady) {
    ::InitializeCriticalSection(&s.runLock);
    s.lockReady = true;
  }

  HICON icon = ::LoadIconW(host_.Resources(), MAKEINTRESOURCEW(Processor() ? kProcessorIcon : kMemoryIcon));
  if (icon) ::SendMessageW(Item(kTestIcon), STM_SETICON, (WPARAM)icon, 0);
  const wchar_t* text;
  if (Processor())
    text = Bench() ? L"CPU Performance Tests"
                   : L"Click the Start button to verify the functionality of the processor installed in your system.";
  else
    text = Bench() ? L"Memory Performance Tests"
                   : L"Click the Start button to verify the integrity of the memory  installed in your system.";
  if (*text) ::SetDlgItemTextW(page_, kDescription, text);

  static const int cpuStops[] = {170, 260, 350, 440};
  static const int memStops[] = {140, 220, 300, 480};
  host_.SetResultTabStops(4, Processor() ? cpuStops : memStops);

  s.doneArmed = settings_.autoRun ? 1 : 0;

  // The results list takes the test list's top edge: the two share the area.
  HWND results = Item(kResultList), tests = Item(kTestList);
  if (results && tests) {
    RECT r, t;
    ::GetWindowRect(results, &r);
    ::GetWindowRect(tests, &t);
    ::MapWindowPoints(HWND_DESKTOP, page_, reinterpret_cast<POINT*>(&r), 2);
    ::MapWindowPoints(HWND_DESKTOP, page_, reinterpret_cast<POINT*>(&t), 2);
    ::SetWindowPos(results, nullptr, r.left, t.top, r.right - r.left, r.bottom - t.top, SWP_NOZORDER | SWP_NOACTIVATE);
  }

  if (Bench()) {
    ::ShowWindow(Item(kShowOptions), SW_HIDE);
    ::EnableWindow(Item(kShowOptions), FALSE);
    ShowTestList(false);
  } else {
    FillTestList();
    ::CheckDlgButton(page_, kShowOptions, BST_CHECKED);
    ShowTestList(true);
  }
  started_ = 1;
  return TRUE;
}

bool TestPageLogic::OnCommand(WPARAM wp, LPARAM lp, LRESULT* result) {
  if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == kStartStop) {
    StartStopTest();
    *result = 0;
    return true;
  }
  if (HIWORD(wp) == BN_CLICKED && LOWORD(wp) == kShowOptions) {
    OnShowOptions();
    *result = 0;
    return true;
  }
  // The check list's questions (lParam = minus the item index).
  if ((wp == 102 || wp == 103 || wp == 104) && !Bench() && TheRunState().runningCount <= 0) {
    int index = -(int)lp;
    bool changed = false;
    if (wp == 102) {
      FillTestList();
      *result = 1;
      return true;
    }
    ReadTestSelection();
    ItemData data = ListData();
    if (wp == 103)
      *result = CanUncheckTest(Processor(), index, &host_.Flags(), &data, &changed);
    else
      *result = CanCheckTest(Processor(), index, host_.Flags(), &data, &changed);
    if (changed) {
      SetListData(data);
      ::InvalidateRect(Item(kTestList), nullptr, TRUE);
    }
    return true;
  }
  return false;
}

ItemData TestPageLogic::ListData() const {
  ItemData d;
  for (int i = 0; i < kTestRows; ++i) d[i] = (long)::SendMessageW(Item(kTestList), LB_GETITEMDATA, (WPARAM)i, 0);
  return d;
}

void TestPageLogic::SetListData(const ItemData& d) {
  for (int i = 0; i < kTestRows; ++i) ::SendMessageW(Item(kTestList), LB_SETITEMDATA, (WPARAM)i, (LPARAM)d[i]);
}

void TestPageLogic::ReadTestSelection() {
  HWND list = Item(kTestList);
  if (!list) return;
  int count = (int)::SendMessageW(list, LB_GETCOUNT, 0, 0);
  memtest::ReadTestSelection(ListData(), count, &host_.Flags());
}

void TestPageLogic::FillTestList() {
  ReadTestSelection();
  HWND list = Item(kTestList);
  ::SendMessageW(list, LB_RESETCONTENT, 0, 0);
  const auto& names = TestRowNames(Processor());
  for (int i = 0; i < kTestRows; ++i)
    ::SendMessageW(list, LB_INSERTSTRING, (WPARAM)i, (LPARAM)appkit::Widen(names[i]).c_str());
  SetListData(FillItemData(Processor(), &host_.Flags()));
}

void TestPageLogic::ShowTestList(bool on) {
  for (int id : {kTestList, kTestIncludes}) {
    ::ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE);
    ::EnableWindow(Item(id), on);
  }
  for (int id : {kResultList, kProgressBar}) {
    ::ShowWindow(Item(id), on ? SW_HIDE : SW_SHOW);
    ::EnableWindow(Item(id), !on);
  }
}

void TestPageLogic::OnShowOptions() {
  if (Bench()) return;
  ShowTestList(::IsDlgButtonChecked(page_, kShowOptions) == BST_CHECKED);
}

void TestPageLogic::PumpMessages(DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageW(&msg, page_, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    DWORD now = ::GetTickCount();
    if (now < start) start = now;  // the tick count wrapped: wait afresh
    if (now - start >= ms) return;
    // Sleep until something arrives (a worker's sends are taken here too).
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, ms - (now - start), QS_ALLINPUT);
  }
}

bool TestPageLogic::WaitForWorkers() {
  RunState& s = TheRunState();
  PumpMessages(500);
  PumpMessages(1000);
  for (int i = 0; i < 6 && s.runningCount > 0; ++i) PumpMessages(1000);
  return s.runningCount <= 0;
}

void TestPageLogic::StartStopTest() {
  RunState& s = TheRunState();
  startPending_ = false;
  if (s.runningCount >= 1) {
    s.abortFlag = 1;
    PumpMessages(500);
    if (!settings_.autoRun) host_.RunnerMessageBox(L"Please wait for the test to abort.", MB_OK);
    PumpMessages(1000);
    for (int i = 0; i < 6 && s.runningCount > 0; ++i) PumpMessages(1000);
    if (s.runningCount > 0) ::MessageBeep(MB_ICONHAND);
    ::SetDlgItemTextW(page_, kStartStop, L"&Start");
    return;
  }
  bool memoryMode = settings_.mode == PageMode::Memory || settings_.mode == PageMode::MemoryBench;
  if (memoryMode && !settings_.autoRun &&
      host_.RunnerMessageBox(L"The memory test will take about 3 minutes.  Do you want to start now?",
                             MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
    return;

  // The previous worker is out (runningCount is 0): its handle can go.
  if (s.worker) {
    WaitServingSends(s.worker);
    ::CloseHandle(s.worker);
    s.worker = nullptr;
  }
  s.errorCount = 0;
  s.progressWindow = Item(kProgressBar);
  ::SendMessageW(s.progressWindow, PBM_SETPOS, 0, 0);
  s.buttonWindow = Item(kStartStop);
  ::SetWindowTextW(s.buttonWindow, L"&Stop");
  s.runningCount = 0;
  s.abortFlag = 0;
  s.controlWindow = host_.ControlWindow();

  ReadTestSelection();
  s.resultsWindow = Item(kResultList);
  ::SendMessageW(s.resultsWindow, LB_RESETCONTENT, 0, 0);
  ::SendMessageW(s.resultsWindow, LB_SETHORIZONTALEXTENT, 0, 0);
  if (!Bench()) {
    ::CheckDlgButton(page_, kShowOptions, BST_UNCHECKED);
    ShowTestList(false);
  }

  s.settings = settings_;
  const TestFlags& f = host_.Flags();
  s.selection = Selection{f[0] == 1, f[1] == 1, f[2] == 1, f[3] == 1, f[4] == 1};
  // Counted before the thread starts, so that IsRunning and DoTest see the
  // run at once.
  ::EnterCriticalSection(&s.runLock);
  ++s.runningCount;
  ::LeaveCriticalSection(&s.runLock);
  LPTHREAD_START_ROUTINE worker = settings_.mode == PageMode::Memory ? MemoryTestThread : UnavailableTestThread;
  s.worker = host_.StartThread(worker);
  if (!s.worker) {
    FinishWorker(s, true, false);
    return;
  }
  ::Sleep(500);
}

BOOL TestPageLogic::DoTest() {
  // A second DoTest before the first one's Start arrived would be a Stop.
  if (TheRunState().runningCount > 0 || startPending_) return FALSE;
  if (!::PostMessageW(page_, WM_COMMAND, MAKEWPARAM(kStartStop, BN_CLICKED), (LPARAM)Item(kStartStop))) return FALSE;
  startPending_ = true;
  return TRUE;
}

BOOL TestPageLogic::Abort() {
  if (TheRunState().runningCount <= 0) return FALSE;
  ::SendMessageW(page_, WM_COMMAND, MAKEWPARAM(kStartStop, BN_CLICKED), (LPARAM)Item(kStartStop));
  return TRUE;
}

void TestPageLogic::StopTests() {
  if (!started_) return;
  RunState& s = TheRunState();
  ReadTestSelection();
  s.abortFlag = 1;
  if (s.runningCount > 0 && !WaitForWorkers()) ::MessageBeep(MB_ICONHAND);
  // The page, the sheet and the control stay until the worker is out: it
  // still sends to their windows and may post WM_TESTDONE to the control
  // (after the count has dropped to 0).
  if (s.worker) {
    WaitServingSends(s.worker);
    ::CloseHandle(s.worker);
    s.worker = nullptr;
  }
  // A WM_TESTDONE the worker posted reaches the control before it goes.
  MSG msg;
  if (s.controlWindow) {
    while (::PeekMessageW(&msg, s.controlWindow, WM_TESTDONE, WM_TESTDONE, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  started_ = 0;
  if (s.lockReady) {
    ::DeleteCriticalSection(&s.runLock);
    s.lockReady = false;
  }
  s.resultsWindow = s.buttonWindow = s.progressWindow = nullptr;
}

bool TestPageLogic::HasLiveWorker() const {
  HANDLE w = TheRunState().worker;
  return w && ::WaitForSingleObject(w, 0) == WAIT_TIMEOUT;
}

BOOL TestPageLogic::ResizeControls() {
  HWND sheet = host_.SheetWindow();
  if (!sheet || !page_ || !::IsWindow(page_)) return FALSE;
  HWND tab = ::FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr);
  if (tab) {
    StretchInside(tab, sheet, false);
    StretchInside(page_, tab, false);
  }
  StretchInside(Item(kResultList), page_, false);
  StretchInside(Item(kProgressBar), page_, true);
  StretchInside(Item(kTestList), page_, false);
  return TRUE;
}

}  // namespace memtest
