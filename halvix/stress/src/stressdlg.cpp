// The Stress Test dialog: loops over the enabled modules of modules.dat,
// one after the other or all at once, and writes STRESS.LOG for the loop
// under way (the file describes the last loop only).
#include <windows.h>
#include <commctrl.h>

#include <climits>
#include <cwctype>

#include "appkit/system.h"
#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "stress/benchdialogs.h"
#include "stress/dialogs.h"
#include "stress/runlogic.h"
#include "suite/messages.h"

namespace stress {

namespace {

// One STRESS.LOG per main program.
HANDLE g_stressLog = INVALID_HANDLE_VALUE;

}  // namespace

CStressTestDlg::CStressTestDlg(const StressSettings& settings)
    : ModuleDialog(IDD_STRESS_TEST, ListKind::Stress, settings) {
  drelmakMsg_ = ::RegisterWindowMessageW(suite::kDrelmakMessage);
}

CStressTestDlg::~CStressTestDlg() { Destroy(); }

BOOL CStressTestDlg::OnInit() {
  if (nTests == 0) nTests = maxTests;
  ModuleDialog::OnInit();
  ::SetWindowTextW(hwnd(), StressString(IDS_STRESS_TITLE).c_str());
  loop_ = 0;
  WriteControls();
  return TRUE;
}

void CStressTestDlg::WriteControls() {
  SetItemText(IDC_NUM_TESTS, std::to_wstring(nTests));
  Check(IDC_STOP_ON_ERRORS, stopOnErrors != 0);
  Check(IDC_CONCURRENT, concurrent != 0);
}

bool CStressTestDlg::ReadControls() {
  std::wstring text = ItemText(IDC_NUM_TESTS);
  size_t a = text.find_first_not_of(L' '), b = text.find_last_not_of(L' ');
  text = a == std::wstring::npos ? L"" : text.substr(a, b - a + 1);
  bool digits = !text.empty();
  for (wchar_t c : text) digits = digits && std::iswdigit(c);
  if (!digits) {
    MessageText(appkit::Format(StressString(IDS_RANGE).c_str(), 0, (int)maxTests));
    return false;
  }
  unsigned long long v = text.size() > 10 ? ~0ull : wcstoull(text.c_str(), nullptr, 10);
  nTests = v > 0xFFFFFFFFull ? 0xFFFFFFFFu : (unsigned)v;
  stopOnErrors = IsChecked(IDC_STOP_ON_ERRORS) ? 1 : 0;
  concurrent = IsChecked(IDC_CONCURRENT) ? 1 : 0;
  return true;
}

void CStressTestDlg::ValidateTests(bool fromEdit) {
  if (!ReadControls()) return;
  if (fromEdit) {
    if (nTests == 0) nTests = maxTests;
    if (nTests > maxTests) {
      MessageText(appkit::Format(StressString(IDS_RANGE).c_str(), 0, (int)maxTests));
      nTests = maxTests;
    }
    WriteControls();
  } else if (nTests == 0) {
    nTests = maxTests;
    WriteControls();
  }
}

bool CStressTestDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_RUN:
      if (!QueuedBeforeStop(ctl)) RunStressTest();
      return true;
    case IDC_VIEW:
      ViewLog();
      return true;
    case IDC_STOP_ON_ERRORS:
    case IDC_CONCURRENT:
      if (code == BN_CLICKED) ValidateTests(false);
      return true;
    case IDC_NUM_TESTS:
      if (code == EN_KILLFOCUS) ValidateTests(true);
      return true;
    default:
      return ModuleDialog::OnCommand(id, code, ctl);
  }
}

void CStressTestDlg::OnOK() {
  if (!ReadControls()) return;
  if (nTests == 0 || nTests > maxTests) nTests = maxTests;
  EndDialog(IDOK);
}

void CStressTestDlg::OnDestroy() {
  ModuleDialog::OnDestroy();
  CloseLog();
}

std::wstring CStressTestDlg::StatusText(const ModuleRecord& r) const {
  std::wstring base = ModuleDialog::StatusText(r);
  if (base.empty() || r.disabled()) return base;
  return WithFailCount(base, r.failCount, nTests, StressString(IDS_COUNT));
}

namespace {

struct TitledWindows {
  DWORD pid;
  const std::wstring* title;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectTitled(HWND w, LPARAM lp) {
  auto* a = reinterpret_cast<TitledWindows*>(lp);
  DWORD pid = 0;
  ::GetWindowThreadProcessId(w, &pid);
  if (pid == a->pid && ::lstrcmpiW(appkit::WindowText(w).c_str(), a->title->c_str()) == 0) a->found.push_back(w);
  return TRUE;
}

}  // namespace

// A plain program is closed through its window: only a window of its own
// process, never another program's (or this dialog) that has the same title.
void CStressTestDlg::OnTickRecord(ModuleRecord& r) {
  if (r.windowTitle.empty() || !Alive(r)) return;
  TitledWindows args{r.process.dwProcessId, &r.windowTitle, {}};
  ::EnumWindows(&CollectTitled, reinterpret_cast<LPARAM>(&args));
  for (HWND w : args.found) ::PostMessageW(w, WM_SYSCOMMAND, SC_CLOSE, 0);
}

void CStressTestDlg::OnModuleEndedBadly(ModuleRecord& r, DWORD exitCode) {
  LogLine(StressLogEndLine(appkit::Narrow(r.name), exitCode));
}

void CStressTestDlg::SetTopmost(bool on) {
  ::SetWindowPos(hwnd(), on ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE);
}

void CStressTestDlg::EnableOptions(bool on) {
  for (int id : {IDC_CONCURRENT, IDC_STOP_ON_ERRORS, IDC_NUM_TESTS, IDC_VIEW}) EnableItem(id, on);
}

void CStressTestDlg::NotifyMonitor(int kind) {
  if (g_stressLog == INVALID_HANDLE_VALUE || !drelmakMsg_) return;
  HWND monitor = ::FindWindowW(L"KytWSockWClass", nullptr);
  if (!monitor) return;
  ::PostMessageW(monitor, drelmakMsg_, (WPARAM)(kind * 0x10000 + (loop_ & 0xFFFF)),
                 (LPARAM)StressModuleMask(records_, kind == 2));
}

void CStressTestDlg::LogLine(const std::string& text) {
  if (g_stressLog == INVALID_HANDLE_VALUE || logCut_) return;
  DWORD error = 0;
  if (appkit::AppendWhole(g_stressLog, text, &error)) return;
  // A loop's log without all its lines would read as the whole loop: the
  // file is emptied (it stays open for the monitor's sake), goes when it is
  // closed, and the run says that it keeps no log.
  appkit::CutBack(g_stressLog, 0);
  logCut_ = true;
  if (logFailure_.empty()) {
    logFailure_ = appkit::SystemErrorText(error);
    Report(appkit::Format(StressString(IDS_LOG_NOT_WRITTEN).c_str(), (settings_.dataDir + L"STRESS.LOG").c_str(),
                          logFailure_.c_str()));
  }
}

void CStressTestDlg::CloseLog() {
  if (g_stressLog == INVALID_HANDLE_VALUE) return;
  ::CloseHandle(g_stressLog);
  g_stressLog = INVALID_HANDLE_VALUE;
  if (logCut_) ::DeleteFileW((settings_.dataDir + L"STRESS.LOG").c_str());
  logCut_ = false;
}

void CStressTestDlg::WriteResultTable() {
  TableRow titles{appkit::Narrow(StressString(IDS_COL_MODULE)), appkit::Narrow(StressString(IDS_COL_STATUS)),
                  appkit::Narrow(StressString(IDS_COL_ELAPSED))};
  std::vector<TableRow> rows;
  for (int pos = 0, n = ItemCount(); pos < n; ++pos)
    rows.push_back({appkit::Narrow(CellText(pos, 0)), appkit::Narrow(CellText(pos, 1)), appkit::Narrow(CellText(pos, 2))});
  LogLine(StressLogTable(titles, rows, appkit::Narrow(ItemText(IDC_TOTAL_LABEL)),
                         appkit::Narrow(ItemText(IDC_TOTAL_ELAPSED))));
}

// Start of a loop: ends what still runs, applies the platform rules,
// resets the list, deletes the old logs before the first loop and opens
// STRESS.LOG for this loop. False when every module is disabled.
bool CStressTestDlg::StartLoop() {
  for (ModuleRecord& r : records_) {
    EndProcess(r);
    r.ClearStatus();
    if (loop_ == 0) r.failCount = 0;
  }
  bool nt = !appkit::IsWindows9x();
  for (int pos = 0, n = ItemCount(); pos < n; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (r && !r->disabled() && PlatformDisables(r->program, nt, concurrent != 0)) ToggleModule(pos);
  }

  SetItemText(IDC_TOTAL_ELAPSED, L"");
  listChanged_ = 1;
  for (int pos = 0, n = ItemCount(); pos < n; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (!r || r->disabled()) continue;
    if (r->startTick && r->lastMessageTick && loop_ > 0)
      r->elapsedSeconds += TickSeconds(r->startTick, r->lastMessageTick);
    else
      r->elapsedSeconds = 0;
    r->startTick = r->lastMessageTick = 0;
    r->state = ModuleState::None;
    SetColumn(pos, 1, L"");
    if (loop_ == 0) {
      r->elapsedText.clear();
      SetColumn(pos, 2, L"");
    }
    SetImage(pos, r->failCount > 0 && nTests > 1 && loop_ > 0 ? 2 : RecordImage(*r));
  }
  if (AllDisabled()) {
    Message(IDS_ALL_DISABLED);
    ::MessageBeep(MB_ICONHAND);
    return false;
  }
  if (loop_ == 0) {
    SetItemText(IDC_STOPPED_AT, L"");
    SetItemText(IDC_TOTAL_ELAPSED, L"");
    logFailure_.clear();
    ++runId_;
    CloseLog();
    ::DeleteFileW((settings_.dataDir + L"STRESS.LOG").c_str());
    for (const ModuleRecord& r : records_) {
      // Only a bare ".LOG" file name in the data directory: list data never
      // reaches elsewhere.
      std::wstring log = OldLogToDelete(r.logName);
      if (!log.empty()) ::DeleteFileW((settings_.dataDir + log).c_str());
    }
  }
  ++loop_;
  if (loop_ == 1) runStartTick_ = ::GetTickCount();
  ::SetWindowTextW(hwnd(), (StressString(IDS_STRESS_TITLE) + L" - " + StressString(IDS_LOOP) + L" " +
                            std::to_wstring(loop_)).c_str());
  CloseLog();
  const std::wstring logPath = settings_.dataDir + L"STRESS.LOG";
  g_stressLog = appkit::CreateFileForWriting(logPath, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
  if (g_stressLog == INVALID_HANDLE_VALUE && logFailure_.empty()) {
    // The run goes on without its log; whatever STRESS.LOG is there is not
    // this run's.
    logFailure_ = appkit::SystemErrorText(::GetLastError());
    Report(appkit::Format(StressString(IDS_LOG_NOT_WRITTEN).c_str(), logPath.c_str(), logFailure_.c_str()));
  }
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  LogLine(StressLogHeader(FormatLogTime(now), loop_));
  NotifyMonitor(1);
  return true;
}

void CStressTestDlg::RunStressTest() {
  if (running_) {
    StopRun();
    return;
  }
  // 1. The controls; on Windows 9x a concurrent first loop wants room to page.
  if (!ReadControls()) return;
  if (appkit::IsWindows9x() && concurrent && loop_ == 0) {
    MEMORYSTATUS ms{};
    ms.dwLength = sizeof(ms);
    ::GlobalMemoryStatus(&ms);
    if (ms.dwAvailPageFile < 256000000 && Message(IDS_DISK_SPACE, MB_YESNO | MB_ICONQUESTION) == IDNO) return;
  }
  // 2.
  if (nTests == 0 || nTests > maxTests) nTests = maxTests;
  ::KillTimer(hwnd(), kTimerId);
  // 3. A new loop.
  if (concurrent || moduleIndex_ == -1) {
    if (!StartLoop()) return;
  }
  // 4.
  SetRunButton(true);
  EnableOptions(false);
  SetTopmost(true);
  if (selectedItem_ >= 0) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    ::SendMessageW(List(), LVM_SETITEMSTATE, selectedItem_, reinterpret_cast<LPARAM>(&item));
    selectedItem_ = -1;
  }
  if (listChanged_) SaveModuleList();
  // 5.
  int count = ItemCount();
  int first = concurrent ? 0 : moduleIndex_ + 1;
  if (!concurrent && first == count) moduleIndex_ = -1;
  // 6.
  nextStart_ = first;
  startedOne_ = false;
  ContinueStarts();
}

// Step 6 from nextStart_ on. Returns while a started module is waited for
// (or the pause after a concurrent start runs); OnIdleWaitDone and
// OnPauseDone come back here.
void CStressTestDlg::ContinueStarts() {
  int count = ItemCount();
  for (int pos = nextStart_; pos < count; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (!r || r->disabled()) continue;
    r->ClearStatus();
    r->state = ModuleState::None;
    SetColumn(pos, 1, L"");
    if (loop_ == 1) {
      r->failCount = 0;
      r->elapsedSeconds = 0;
    }
    r->lastMessageTick = 0;
    std::wstring cmd = StressCommandLine(*r, loop_, stopOnErrors != 0, concurrent != 0, settings_.cFactor);
    if (!StartProcess(*r, cmd)) {
      LogLine(StressLogProblemLine(StartProblem::CreateFailed, appkit::Narrow(r->name)));
      MarkStartFailed(*r);
    } else {
      r->startTick = ::GetTickCount();
      if ((!r->logName.empty() && diagMsg_) || !r->windowTitle.empty()) {
        // Doubled for concurrent runs; a huge stored count must not wrap.
        int limit = settings_.timeoutCount;
        if (concurrent) limit = limit > INT_MAX / 2 ? INT_MAX : limit * 2;
        nextStart_ = pos;
        BeginIdleWait(pos, limit);
        return;
      }
    }
    if (FinishStart(pos)) return;
  }
  EndStarts();
}

// A module's start is done: true when no further module starts now.
bool CStressTestDlg::FinishStart(int pos) {
  ModuleRecord* r = RecordAt(pos);
  if (r && r->state == ModuleState::None) r->state = ModuleState::Running;
  OnStressTimer(true);
  if (!concurrent) {
    moduleIndex_ = pos;
    startedOne_ = true;
    EndStarts();
    return true;
  }
  nextStart_ = pos + 1;
  return false;
}

// 7.
void CStressTestDlg::EndStarts() {
  if (!concurrent && !startedOne_) moduleIndex_ = -1;
  ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

void CStressTestDlg::OnIdleWaitDone(int pos, IdleWait outcome) {
  ModuleRecord* r = RecordAt(pos);
  bool pause = r && JudgeWait(*r, outcome);
  if (FinishStart(pos)) return;
  if (pause && settings_.sleepMs > 0) {
    BeginPause((DWORD)settings_.sleepMs);
    return;
  }
  ContinueStarts();
}

// What the wait for a started module gave: logged and marked as the run's
// rules say. True when the module took input and was spoken to in a
// concurrent run (the pause after such a start follows).
bool CStressTestDlg::JudgeWait(ModuleRecord& r, IdleWait outcome) {
  const std::string name = appkit::Narrow(r.name);
  const bool plain = !r.windowTitle.empty();
  switch (outcome) {
    case IdleWait::Idle:
      if (plain) return false;
      PostProtocol(r);
      return concurrent != 0;
    case IdleWait::EndedBeforeLimit:
      LogLine(StressLogProblemLine(StartProblem::EndedBeforeTimeout, name));
      break;
    case IdleWait::LimitReached:
      if (Alive(r)) {
        ::TerminateProcess(r.process.hProcess, 1);
        LogLine(StressLogProblemLine(StartProblem::KilledAtTimeout, name));
      } else {
        LogLine(StressLogProblemLine(StartProblem::EndedAtTimeout, name));
      }
      break;
    case IdleWait::Failed:
      if (plain) return false;
      if (Alive(r)) {
        ::TerminateProcess(r.process.hProcess, 1);
        LogLine(StressLogProblemLine(StartProblem::KilledWaitFailed, name));
      } else {
        LogLine(StressLogProblemLine(StartProblem::EndedWaitFailed, name));
      }
      break;
  }
  MarkStartFailed(r);
  return false;
}

void CStressTestDlg::StopRun() {
  CancelStartStep();
  StopLiveModules();
  MarkStopped();
  SetRunButton(false);
  SetTopmost(false);
  if (g_stressLog != INVALID_HANDLE_VALUE) NotifyMonitor(2);
  if (loop_ > 0 && loop_ < (int)nTests) SetItemText(IDC_STOPPED_AT, appkit::Format(StressString(IDS_STOPPED_AT).c_str(), loop_));
  loop_ = 0;
  ::SetWindowTextW(hwnd(), StressString(IDS_STRESS_TITLE).c_str());
  if (!concurrent) moduleIndex_ = -1;
  EnableOptions(true);
  OnStressTimer(true);
  // The timer writes the result table once the stopped modules have ended;
  // a Stop during the starts finds it not yet running.
  if (!closing_) ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

void CStressTestDlg::OnStressTimer(bool fromRun) {
  Refresh seen = RefreshModules(!fromRun);
  if (fromRun) return;
  if (seen.live == 0) {
    ::KillTimer(hwnd(), kTimerId);
    if (running_) {
      SetRunButton(false);
      SetTopmost(false);
    }
    bool loopComplete = concurrent || moduleIndex_ == -1 || loop_ <= 0 || (int)nTests < loop_;
    if ((loop_ <= 0 || loop_ >= (int)nTests) && loopComplete) {
      loop_ = 0;
      ::SetWindowTextW(hwnd(), StressString(IDS_STRESS_TITLE).c_str());
    } else if (stopOnErrors && seen.failure) {
      if (!concurrent) moduleIndex_ = -1;
      ::SetWindowTextW(hwnd(), StressString(IDS_STRESS_TITLE).c_str());
      SetItemText(IDC_STOPPED_AT, appkit::Format(StressString(IDS_STOPPED_AT).c_str(), loop_));
      loop_ = 0;
    } else {
      PostGoOn();
    }
    if (g_stressLog != INVALID_HANDLE_VALUE && (concurrent || moduleIndex_ < 0)) {
      WriteResultTable();
      NotifyMonitor(2);
      CloseLog();
    }
    EnableItem(IDC_STOP_ON_ERRORS, true);
    EnableItem(IDC_NUM_TESTS, true);
    if (moduleIndex_ == -1) {
      EnableItem(IDC_CONCURRENT, true);
      EnableItem(IDC_VIEW, true);
    }
  } else if (running_ && stopOnErrors && seen.failure) {
    PostStop();
  }
  ShowTotalElapsed();
}

void CStressTestDlg::ViewLog() {
  // A STRESS.LOG this run could not replace belongs to an earlier run.
  const std::wstring logPath = settings_.dataDir + L"STRESS.LOG";
  const bool oldLog = !logFailure_.empty();
  if (oldLog) MessageText(appkit::Format(StressString(IDS_OLD_LOG_NOT_SHOWN).c_str(), logPath.c_str()));
  if (selectedItem_ < 0) {
    if (oldLog) return;
    CTestLogDlg view;
    view.directory = settings_.dataDir;
    view.firstFile = L"STRESS.LOG";
    view.title = StressString(IDS_STRESS_TITLE);
    view.DoModal(hwnd());
    return;
  }
  ModuleRecord* r = RecordAt(selectedItem_);
  if (!r) return;
  if (r->logName.empty()) MessageText(StressString(IDS_NO_LOG_FILE) + r->name);
  if (r->state == ModuleState::Running) {
    Message(IDS_LOG_UNAVAILABLE);
    return;
  }
  // The directory of its program (the data directory for a bare name).
  size_t slash = r->program.find_last_of(L'\\');
  std::wstring dir = slash == std::wstring::npos ? settings_.dataDir : r->program.substr(0, slash + 1);
  if (!dir.empty() && dir.front() == L'"') dir.erase(0, 1);
  // Only a bare file name of the log field is opened; a number after it is
  // the list's tab stop.
  std::wstring log = LogFileOf(r->logName);
  if (!log.empty()) {
    size_t blank = r->logName.find(L' ');
    if (blank != std::wstring::npos) {
      int stop = _wtoi(r->logName.c_str() + blank + 1);
      if (stop > 0) log += L" " + std::to_wstring(stop);
    }
  }
  if (log.empty() && oldLog) return;
  CTestLogDlg view;
  view.directory = dir;
  view.firstFile = log.empty() ? L"STRESS.LOG" : log;
  if (!log.empty() && !oldLog) view.secondFile = L"STRESS.LOG";
  view.title = r->name;
  view.DoModal(hwnd());
}

}  // namespace stress
