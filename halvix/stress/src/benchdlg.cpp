// The Benchmarks dialog: runs the enabled modules of bnchmark.dat one after
// the other, in the list's name order, after creating BNCHMARK.BNH with its
// header; the modules append their blocks to it. A good series opens the
// results.
#include <windows.h>
#include <commctrl.h>

#include "appkit/text.h"
#include "appkit/wholefile.h"
#include "stress/benchdialogs.h"
#include "stress/dialogs.h"
#include "stress/runlogic.h"

namespace stress {

CBenchmarkDlg::CBenchmarkDlg(const StressSettings& settings)
    : ModuleDialog(IDD_BENCHMARKS, ListKind::Benchmark, settings) {}

// The window goes while this object can still stop its run.
CBenchmarkDlg::~CBenchmarkDlg() { Destroy(); }

BOOL CBenchmarkDlg::OnInit() {
  ModuleDialog::OnInit();
  ::SetWindowTextW(hwnd(), StressString(IDS_BENCH_TITLE).c_str());
  SortList();
  return TRUE;
}

int CALLBACK CBenchmarkDlg::CompareItems(LPARAM a, LPARAM b, LPARAM self) {
  auto* dlg = reinterpret_cast<CBenchmarkDlg*>(self);
  auto at = [dlg](LPARAM i) -> const ModuleRecord* {
    return i >= 0 && (size_t)i < dlg->records_.size() ? &dlg->records_[i] : nullptr;
  };
  return CompareModuleRows(at(a), at(b), dlg->sortColumn_, dlg->ascending_);
}

void CBenchmarkDlg::SortList() {
  ::SendMessageW(List(), LVM_SORTITEMS, reinterpret_cast<WPARAM>(this), reinterpret_cast<LPARAM>(&CompareItems));
}

bool CBenchmarkDlg::OnCommand(int id, int code, HWND ctl) {
  switch (id) {
    case IDC_RUN:
      if (!QueuedBeforeStop(ctl)) RunBenchmarks();
      return true;
    case IDC_VIEW:
      ViewResults();
      return true;
    default:
      return ModuleDialog::OnCommand(id, code, ctl);
  }
}

bool CBenchmarkDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == kResultsMsg) {
    // Only on a file this series wrote.
    if (wp == runId_ && seriesRan_ && resultsFailure_.empty()) ViewResults();
    *result = 0;
    return true;
  }
  return ModuleDialog::OnMessage(msg, wp, lp, result);
}

std::wstring CBenchmarkDlg::StatusText(const ModuleRecord& r) const {
  if (r.state == ModuleState::Passed) return StressString(IDS_STATE_DONE);
  return ModuleDialog::StatusText(r);
}

void CBenchmarkDlg::ViewResults() {
  const std::wstring path = settings_.dataDir + L"BNCHMARK.BNH";
  // A file the last series could not replace belongs to an earlier one.
  if (seriesRan_ && !resultsFailure_.empty()) {
    MessageText(appkit::Format(StressString(IDS_OLD_BNH_NOT_SHOWN).c_str(), path.c_str()));
    return;
  }
  CBenchResultsDlg(settings_, path, StressString(IDS_BENCH_TITLE)).DoModal(hwnd());
}

bool CBenchmarkDlg::CreateResultsFile() {
  const std::wstring path = settings_.dataDir + L"BNCHMARK.BNH";
  HANDLE f = appkit::CreateFileForWriting(path, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH);
  // Without the file the series runs all the same; the modules find nothing
  // of this series to append to, and the results do not open.
  if (f == INVALID_HANDLE_VALUE) {
    resultsFailure_ = appkit::SystemErrorText(::GetLastError());
    Report(appkit::Format(StressString(IDS_BNH_NOT_WRITTEN).c_str(), path.c_str(), resultsFailure_.c_str()));
    return false;
  }
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  ::GetVersionExW(&vi);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  std::string header = BenchHeader(FormatLogTime(now), OsTypeName(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion),
                                   vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber);
  DWORD failure = 0;
  appkit::AppendWhole(f, header, &failure);
  ::CloseHandle(f);
  if (failure) {
    // A file without its header is no file of this series: the modules find
    // none to append to, as when it cannot be made.
    ::DeleteFileW(path.c_str());
    resultsFailure_ = appkit::SystemErrorText(failure);
    Report(appkit::Format(StressString(IDS_BNH_NOT_WRITTEN).c_str(), path.c_str(), resultsFailure_.c_str()));
    return false;
  }
  return true;
}

void CBenchmarkDlg::RunBenchmarks() {
  if (running_) {
    StopRun();
    return;
  }
  ::KillTimer(hwnd(), kTimerId);
  if (moduleIndex_ == -1) {
    // A new series.
    for (ModuleRecord& r : records_) {
      EndProcess(r);
      r.ClearStatus();
      r.failCount = 0;
    }
    SetItemText(IDC_TOTAL_ELAPSED, L"");
    listChanged_ = 1;
    for (int pos = 0, n = ItemCount(); pos < n; ++pos) {
      ModuleRecord* r = RecordAt(pos);
      if (!r || r->disabled()) continue;
      r->elapsedSeconds = 0;
      r->startTick = r->lastMessageTick = 0;
      r->state = ModuleState::None;
      r->elapsedText.clear();
      SetColumn(pos, 1, L"");
      SetColumn(pos, 2, L"");
      SetImage(pos, RecordImage(*r));
    }
    if (AllDisabled()) {
      Message(IDS_ALL_DISABLED);
      ::MessageBeep(MB_ICONHAND);
      return;
    }
    runStartTick_ = ::GetTickCount();
    ++runId_;
    seriesRan_ = true;
    resultsFailure_.clear();
    CreateResultsFile();
  }
  SetRunButton(true);
  EnableItem(IDC_VIEW, false);
  if (listChanged_) SaveModuleList();

  int count = ItemCount();
  int next = moduleIndex_ + 1;
  if (next == count) moduleIndex_ = -1;
  int started = -1;
  for (int pos = next; pos < count; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (!r || r->disabled()) continue;
    r->ClearStatus();
    r->state = ModuleState::None;
    r->failCount = 0;
    r->lastMessageTick = 0;
    r->elapsedSeconds = 0;
    SetColumn(pos, 1, L"");
    if (!StartProcess(*r, BenchCommandLine(*r))) {
      MarkStartFailed(*r);
    } else {
      r->startTick = ::GetTickCount();
      if (diagMsg_) {
        BeginIdleWait(pos, settings_.timeoutCount);
        return;
      }
      r->state = ModuleState::Running;
    }
    ShowRecord(pos);
    started = pos;
    break;
  }
  moduleIndex_ = started;
  ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

// Step 5 and 6 once the wait for the started module ended.
void CBenchmarkDlg::OnIdleWaitDone(int pos, IdleWait outcome) {
  if (ModuleRecord* r = RecordAt(pos)) {
    if (outcome == IdleWait::Idle) {
      PostProtocol(*r);
    } else {
      if (Alive(*r)) ::TerminateProcess(r->process.hProcess, 1);
      MarkStartFailed(*r);
    }
    r->state = ModuleState::Running;
    ShowRecord(pos);
  }
  moduleIndex_ = pos;
  ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

void CBenchmarkDlg::StopRun() {
  CancelStartStep();
  StopLiveModules();
  MarkStopped();
  SetRunButton(false);
  moduleIndex_ = -1;
  EnableItem(IDC_VIEW, true);
  RefreshModules(false);
  // The timer sees the stopped module end; a Stop during the wait for it
  // finds the timer not yet running.
  if (!closing_) ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

void CBenchmarkDlg::OnBenchTimer() {
  Refresh seen = RefreshModules(true);
  if (seen.live == 0) {
    ::KillTimer(hwnd(), kTimerId);
    if (running_) SetRunButton(false);
    if (moduleIndex_ != -1) {
      if (seen.failure)
        moduleIndex_ = -1;  // a failing module ends the series
      else
        PostGoOn();
    }
    if (moduleIndex_ == -1 && !seen.failure) ::PostMessageW(hwnd(), kResultsMsg, runId_, 0);
    if (moduleIndex_ == -1) EnableItem(IDC_VIEW, true);
  } else if (running_ && seen.failure) {
    PostStop();
  }
  ShowTotalElapsed();
}

}  // namespace stress
