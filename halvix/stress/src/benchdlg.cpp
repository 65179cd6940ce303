// The Benchmarks dialog: runs the enabled modules of bnchmark.dat one after
// the other, in the list's name order, after creating BNCHMARK.BNH with its
// header; the modules append their blocks to it. A good series opens the
// results.
#include <windows.h>
#include <commctrl.h>

#include "appkit/text.h"
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
      RunBenchmarks();
      return true;
    case IDC_VIEW:
      ViewResults();
      return true;
    default:
      return ModuleDialog::OnCommand(id, code, ctl);
  }
}

void CBenchmarkDlg::OnTimer(UINT_PTR id) {
  if (id == kTimerId) OnBenchTimer();
}

std::wstring CBenchmarkDlg::StatusText(const ModuleRecord& r) const {
  if (r.state == ModuleState::Passed) return StressString(IDS_STATE_DONE);
  return ModuleDialog::StatusText(r);
}

void CBenchmarkDlg::ViewResults() {
  FileViewDlg(StressString(IDS_BENCH_TITLE), {settings_.dataDir + L"BNCHMARK.BNH"}).DoModal(hwnd());
}

void CBenchmarkDlg::CreateResultsFile() {
  HANDLE f = ::CreateFileW((settings_.dataDir + L"BNCHMARK.BNH").c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL | FILE_FLAG_WRITE_THROUGH, nullptr);
  // Without the file the series runs all the same; the modules find nothing
  // to append to.
  if (f == INVALID_HANDLE_VALUE) return;
  OSVERSIONINFOW vi{};
  vi.dwOSVersionInfoSize = sizeof(vi);
  ::GetVersionExW(&vi);
  SYSTEMTIME now;
  ::GetLocalTime(&now);
  std::string header = BenchHeader(FormatLogTime(now), OsTypeName(vi.dwPlatformId, vi.dwMajorVersion, vi.dwMinorVersion),
                                   vi.dwMajorVersion, vi.dwMinorVersion, vi.dwBuildNumber);
  DWORD put = 0;
  ::WriteFile(f, header.data(), (DWORD)header.size(), &put, nullptr);
  ::CloseHandle(f);
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
      if (diagMsg_) WaitForModule(*r);
      r->state = ModuleState::Running;
    }
    ShowRecord(pos);
    started = pos;
    break;
  }
  moduleIndex_ = started;
  ::SetTimer(hwnd(), kTimerId, 1000, nullptr);
}

void CBenchmarkDlg::WaitForModule(ModuleRecord& r) {
  if (WaitIdle(r, settings_.timeoutCount) == IdleWait::Idle) {
    PostProtocol(r);
    return;
  }
  if (Alive(r)) ::TerminateProcess(r.process.hProcess, 1);
  MarkStartFailed(r);
}

void CBenchmarkDlg::StopRun() {
  StopLiveModules();
  SetRunButton(false);
  moduleIndex_ = -1;
  EnableItem(IDC_VIEW, true);
  RefreshModules(false);
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
        ::PostMessageW(hwnd(), WM_COMMAND, IDC_RUN, 0);
    }
    if (moduleIndex_ == -1 && !seen.failure) ::PostMessageW(hwnd(), WM_COMMAND, IDC_VIEW, 0);
    if (moduleIndex_ == -1) EnableItem(IDC_VIEW, true);
  } else if (running_ && seen.failure) {
    ::PostMessageW(hwnd(), WM_COMMAND, IDC_RUN, 0);
  }
  ShowTotalElapsed();
}

}  // namespace stress
