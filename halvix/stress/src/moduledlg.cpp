#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <vector>

#include "appkit/app.h"
#include "appkit/paths.h"
#include "appkit/system.h"
#include "appkit/text.h"
#include "stress/dialogs.h"
#include "stress/runlogic.h"
#include "suite/messages.h"

namespace stress {

namespace {

constexpr int kImageCount = 15;

COLORREF ImageColour(int i) {
  static const COLORREF kColours[] = {
      RGB(160, 160, 160), RGB(210, 210, 210), RGB(200, 30, 30),  RGB(40, 110, 200), RGB(40, 160, 80),
      RGB(220, 160, 40),  RGB(130, 70, 180),  RGB(30, 160, 170), RGB(200, 90, 140), RGB(110, 130, 40),
      RGB(90, 90, 200),   RGB(180, 110, 60),  RGB(60, 140, 140), RGB(150, 150, 60), RGB(100, 60, 120)};
  return kColours[i % kImageCount];
}

// The program's icon resource for a list line's icon number (image 3 + n):
// 0 memory, 1 processor, 2 hard disk, 3 floppy, 4 CD-ROM, 5 graphics,
// 6 audio, 7 video playback, 8 modem, 9 ports, 10 stress, 11 benchmarks.
// Where the program holds no such icon the image stays a coloured tile.
constexpr int kModuleIconIds[] = {163, 162, 153, 154, 155, 146, 137, 138, 139, 180, 157, 186};

// Images of the module list: 0 a module without icon, 1 disabled,
// 2 failed, 3 to 14 the module icons.
HIMAGELIST MakeImages(int size) {
  HIMAGELIST list = ::ImageList_Create(size, size, ILC_COLOR24 | ILC_MASK, kImageCount, 0);
  if (!list) return nullptr;
  HDC screen = ::GetDC(nullptr);
  HDC dc = ::CreateCompatibleDC(screen);
  const COLORREF kMask = RGB(255, 0, 255);
  for (int i = 0; i < kImageCount; ++i) {
    if (i >= 3) {
      HICON icon = static_cast<HICON>(
          ::LoadImageW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(kModuleIconIds[i - 3]), IMAGE_ICON, size, size, 0));
      if (icon) {
        const int added = ::ImageList_AddIcon(list, icon);
        ::DestroyIcon(icon);
        if (added >= 0) continue;
      }
    }
    HBITMAP bmp = ::CreateCompatibleBitmap(screen, size, size);
    HGDIOBJ old = ::SelectObject(dc, bmp);
    RECT all{0, 0, size, size};
    HBRUSH mask = ::CreateSolidBrush(kMask);
    ::FillRect(dc, &all, mask);
    ::DeleteObject(mask);
    RECT box{1, 1, size - 1, size - 1};
    HBRUSH fill = ::CreateSolidBrush(ImageColour(i));
    ::FillRect(dc, &box, fill);
    ::DeleteObject(fill);
    ::FrameRect(dc, &box, static_cast<HBRUSH>(::GetStockObject(BLACK_BRUSH)));
    if (i == 1 || i == 2) {
      HPEN pen = ::CreatePen(PS_SOLID, size / 8 + 1, i == 1 ? RGB(90, 90, 90) : RGB(255, 255, 255));
      HGDIOBJ oldPen = ::SelectObject(dc, pen);
      ::MoveToEx(dc, 3, size - 4, nullptr);
      ::LineTo(dc, size - 4, 3);
      if (i == 2) {
        ::MoveToEx(dc, 3, 3, nullptr);
        ::LineTo(dc, size - 4, size - 4);
      }
      ::SelectObject(dc, oldPen);
      ::DeleteObject(pen);
    }
    ::SelectObject(dc, old);
    ::ImageList_AddMasked(list, bmp, kMask);
    ::DeleteObject(bmp);
  }
  ::DeleteDC(dc);
  ::ReleaseDC(nullptr, screen);
  return list;
}

}  // namespace

HINSTANCE StressResources() {
  appkit::App* app = appkit::App::Current();
  if (app && ::FindResourceW(app->resources(), MAKEINTRESOURCEW(IDD_STRESS_TEST), MAKEINTRESOURCEW(5)))
    return app->resources();
  return reinterpret_cast<HINSTANCE>(appkit::ThisModule());
}

std::wstring StressString(UINT id) { return appkit::LoadStr(id, StressResources()); }

int ShowStressMessage(HWND owner, const StressSettings& s, const std::wstring& text, UINT type) {
  return ::MessageBoxW(owner, text.c_str(), s.messageBoxTitle.c_str(), type);
}

ModuleDialog::ModuleDialog(UINT templateId, ListKind kind, const StressSettings& settings)
    : appkit::Dialog(templateId, StressResources()), settings_(settings), kind_(kind) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES};
  ::InitCommonControlsEx(&icc);
  diagMsg_ = ::RegisterWindowMessageW(suite::kDiagMessage);
}

ModuleDialog::~ModuleDialog() {
  Destroy();
  for (ModuleRecord& r : records_) {
    if (r.process.hProcess) ::CloseHandle(r.process.hProcess);
    if (r.process.hThread) ::CloseHandle(r.process.hThread);
  }
  if (smallImages_) ::ImageList_Destroy(smallImages_);
  if (largeImages_) ::ImageList_Destroy(largeImages_);
}

int ModuleDialog::MessageText(const std::wstring& text, UINT type) {
  return ShowStressMessage(hwnd() && !closing_ ? hwnd() : owner_, settings_, text, type);
}

int ModuleDialog::Message(UINT stringId, UINT type) { return MessageText(StressString(stringId), type); }

BOOL ModuleDialog::SetListFile(const std::wstring& path) {
  if (listLoaded) return TRUE;
  listPath_ = path;
  listLoaded = LoadModuleList();
  return listLoaded;
}

BOOL ModuleDialog::LoadModuleList() {
  for (ModuleRecord& r : records_) EndProcess(r);
  records_.clear();
  layout_.clear();
  refusedEntries_.clear();
  loadProblem_ = LoadProblem::None;
  ModuleListText loaded;
  DWORD error = 0;
  if (!ReadModuleListFile(listPath_, kind_, StressString(IDS_STATE_DISABLED), &loaded, &error)) {
    listLoaded = 0;
    loadProblem_ = LoadProblem::OpenFailed;
    MessageText(appkit::Format(StressString(IDS_OPEN_FAILED_FILE).c_str(), listPath_.c_str(),
                               appkit::SystemErrorText(error).c_str()));
    return FALSE;
  }
  records_ = std::move(loaded.records);
  layout_ = std::move(loaded.layout);
  if (!loaded.overLongLines.empty()) {
    std::wstring lines;
    for (size_t n : loaded.overLongLines) lines += (lines.empty() ? L"" : L", ") + std::to_wstring(n);
    refusedEntries_ = appkit::Format(StressString(IDS_LINES_TOO_LONG).c_str(), listPath_.c_str(), lines.c_str(),
                                     (int)kMaxEntryChars);
  }
  // The stress test needs at least one module; a benchmark list may be empty.
  if (kind_ == ListKind::Stress && records_.empty()) {
    loadProblem_ = LoadProblem::NoEntry;
    return FALSE;
  }
  return TRUE;
}

BOOL ModuleDialog::SaveModuleList() {
  DWORD error = 0;
  if (!WriteModuleListFile(listPath_, records_, kind_, layout_, &error)) {
    // Once: the list is saved again at every start, and an unwritable file
    // stays so.
    if (!saveFailureReported_) {
      saveFailureReported_ = true;
      Report(appkit::Format(StressString(IDS_SAVE_FAILED_FILE).c_str(), listPath_.c_str(),
                            appkit::SystemErrorText(error).c_str()));
    }
    return FALSE;
  }
  listChanged_ = 0;
  return TRUE;
}

void ModuleDialog::Report(const std::wstring& text) {
  if (std::find(notices_.begin(), notices_.end(), text) == notices_.end()) notices_.push_back(text);
  ::OutputDebugStringW((text + L"\n").c_str());
  bool open = hwnd() && !closing_;
  if (open) ShowNotices();
  if (settings_.unattended) return;
  if (!open) {
    MessageText(text);
    return;
  }
  // Not inside the step of the run that found the problem: the box has a
  // message loop of its own, in which the run goes on.
  pendingBoxes_.push_back(text);
  ::PostMessageW(hwnd(), kNoticeMsg, 0, 0);
}

void ModuleDialog::ShowNotices() {
  std::wstring all;
  for (const std::wstring& n : notices_) all += (all.empty() ? L"" : L"\r\n") + n;
  SetItemText(IDC_NOTICE, all);
}

void ModuleDialog::ShowPendingBoxes() {
  if (showingBox_) return;
  showingBox_ = true;
  while (!pendingBoxes_.empty() && hwnd() && !closing_) {
    std::wstring text = pendingBoxes_.front();
    pendingBoxes_.erase(pendingBoxes_.begin());
    MessageText(text);
  }
  showingBox_ = false;
}

void ModuleDialog::CreateImageLists() {
  if (!smallImages_) smallImages_ = MakeImages(::GetSystemMetrics(SM_CXSMICON));
  if (!largeImages_) largeImages_ = MakeImages(::GetSystemMetrics(SM_CXICON));
  ::SendMessageW(List(), LVM_SETIMAGELIST, LVSIL_SMALL, reinterpret_cast<LPARAM>(smallImages_));
  ::SendMessageW(List(), LVM_SETIMAGELIST, LVSIL_NORMAL, reinterpret_cast<LPARAM>(largeImages_));
}

BOOL ModuleDialog::OnInit() {
  ::SetErrorMode(SEM_FAILCRITICALERRORS);
  HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(128));
  if (!icon) icon = ::LoadIconW(nullptr, IDI_APPLICATION);
  ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon));
  ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon));

  HWND list = List();
  ::SendMessageW(list, LVM_SETEXTENDEDLISTVIEWSTYLE, LVS_EX_FULLROWSELECT, LVS_EX_FULLROWSELECT);
  const struct {
    UINT title;
    int width;
  } kColumns[] = {{IDS_COL_MODULE, 100}, {IDS_COL_STATUS, 100}, {IDS_COL_ELAPSED, 77}};
  for (int i = 0; i < 3; ++i) {
    std::wstring title = StressString(kColumns[i].title);
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
    col.cx = kColumns[i].width;
    col.pszText = title.data();
    col.iSubItem = i;
    ::SendMessageW(list, LVM_INSERTCOLUMNW, i, reinterpret_cast<LPARAM>(&col));
  }
  CreateImageLists();
  // Walking the array from the last record, each inserted at the top: the
  // list shows the file's order.
  for (int i = (int)records_.size() - 1; i >= 0; --i) {
    ModuleRecord& r = records_[i];
    LVITEMW item{};
    item.mask = LVIF_TEXT | LVIF_IMAGE | LVIF_PARAM;
    item.iItem = 0;
    item.pszText = r.name.data();
    item.iImage = RecordImage(r);
    item.lParam = i;
    int pos = (int)::SendMessageW(list, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
    SetColumn(pos, 1, r.stateText);
  }
  ::SetWindowPos(hwnd(), nullptr, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  if (!refusedEntries_.empty()) Report(refusedEntries_);
  ShowNotices();
  return TRUE;
}

int ModuleDialog::ItemCount() const { return (int)::SendMessageW(List(), LVM_GETITEMCOUNT, 0, 0); }

ModuleRecord* ModuleDialog::RecordAt(int pos) {
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = pos;
  if (!::SendMessageW(List(), LVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&item))) return nullptr;
  if (item.lParam < 0 || (size_t)item.lParam >= records_.size()) return nullptr;
  return &records_[item.lParam];
}

std::wstring ModuleDialog::CellText(int pos, int column) const {
  wchar_t buf[260] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = (int)(sizeof(buf) / sizeof(buf[0]));
  ::SendMessageW(List(), LVM_GETITEMTEXTW, pos, reinterpret_cast<LPARAM>(&item));
  return buf;
}

void ModuleDialog::SetColumn(int pos, int column, const std::wstring& text) {
  std::wstring copy = text;
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = copy.data();
  ::SendMessageW(List(), LVM_SETITEMTEXTW, pos, reinterpret_cast<LPARAM>(&item));
}

void ModuleDialog::SetImage(int pos, int image) {
  LVITEMW item{};
  item.mask = LVIF_IMAGE;
  item.iItem = pos;
  item.iImage = image;
  ::SendMessageW(List(), LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
}

std::wstring ModuleDialog::StatusText(const ModuleRecord& r) const {
  switch (r.state) {
    case ModuleState::None: return L"";
    case ModuleState::Disabled: return r.stateText;
    case ModuleState::Running: return StressString(IDS_STATE_RUNNING);
    case ModuleState::Passed: return StressString(IDS_STATE_PASSED);
    case ModuleState::Failed:
    case ModuleState::AbortFailed: return StressString(IDS_STATE_FAILED);
    case ModuleState::StartFailed: return StressString(IDS_STATE_START_FAILED);
    case ModuleState::Aborted:
    case ModuleState::AbortPassed: return StressString(IDS_STATE_ABORTED);
  }
  return L"";
}

void ModuleDialog::ShowRecord(int pos) {
  ModuleRecord* r = RecordAt(pos);
  if (!r) return;
  SetColumn(pos, 1, StatusText(*r));
  SetColumn(pos, 2, r->elapsedText);
  if (IsFailedState(r->state)) SetImage(pos, 2);
}

void ModuleDialog::ToggleModule(int pos) {
  ModuleRecord* r = RecordAt(pos);
  if (!r || ::lstrcmpiW(CellText(pos, 0).c_str(), r->name.c_str()) != 0) return;
  listChanged_ = 1;
  if (IsDisabledText(r->stateText, StressString(IDS_STATE_DISABLED))) {
    r->stateText.clear();
    r->state = ModuleState::None;
    SetImage(pos, RecordImage(*r));
  } else {
    r->stateText = StressString(IDS_STATE_DISABLED);
    r->state = ModuleState::Disabled;
    SetImage(pos, 1);
  }
  SetColumn(pos, 1, r->stateText);
  r->elapsedText.clear();
  SetColumn(pos, 2, L"");
}

bool ModuleDialog::AllDisabled() {
  for (int pos = 0, n = ItemCount(); pos < n; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (r && !r->disabled()) return false;
  }
  return true;
}

bool ModuleDialog::Alive(const ModuleRecord& r) {
  return r.process.hProcess && ::WaitForSingleObject(r.process.hProcess, 0) == WAIT_TIMEOUT;
}

void ModuleDialog::EndProcess(ModuleRecord& r) {
  if (Alive(r)) ::TerminateProcess(r.process.hProcess, 1);
  if (r.process.hProcess) ::CloseHandle(r.process.hProcess);
  if (r.process.hThread) ::CloseHandle(r.process.hThread);
  r.process = PROCESS_INFORMATION{};
}

bool ModuleDialog::StartProcess(ModuleRecord& r, const std::wstring& commandLine) {
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  std::vector<wchar_t> line(commandLine.begin(), commandLine.end());
  line.push_back(0);
  r.process = PROCESS_INFORMATION{};
  r.protocolStarted = false;
  if (!::CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &r.process)) {
    r.process = PROCESS_INFORMATION{};
    return false;
  }
  return true;
}

void ModuleDialog::MarkStartFailed(ModuleRecord& r) {
  r.state = ModuleState::StartFailed;
  r.startTick = 0;
  r.SetStatus(1);
  ++r.failCount;
}

void ModuleDialog::PostProtocol(ModuleRecord& r) {
  r.protocolStarted = ::PostThreadMessageW(r.process.dwThreadId, diagMsg_, 0, reinterpret_cast<LPARAM>(hwnd())) &&
                      ::PostThreadMessageW(r.process.dwThreadId, diagMsg_, 1, (LPARAM)r.process.dwProcessId);
}

void ModuleDialog::AskToQuit(ModuleRecord& r) {
  // Only a module that was spoken to can be asked; one still waited for,
  // or one whose thread takes no messages, is ended.
  if (!r.logName.empty() && diagMsg_ && r.protocolStarted &&
      ::PostThreadMessageW(r.process.dwThreadId, diagMsg_, 2, 0))
    return;
  ::TerminateProcess(r.process.hProcess, 1);
}

void ModuleDialog::StopLiveModules() {
  for (ModuleRecord& r : records_) {
    if (!Alive(r)) continue;
    AskToQuit(r);
    r.state = ModuleState::Aborted;
  }
}

void ModuleDialog::OnModuleReply(WPARAM wp, LPARAM lp) {
  if (kind_ == ListKind::Benchmark)
    ::OutputDebugStringA(appkit::FormatA("Got kyt_diag_msg:  wParam: %lu, lParam: %lu\n", (unsigned long)wp,
                                         (unsigned long)lp).c_str());
  DWORD cookie = (DWORD)lp;
  if (!cookie) return;
  for (ModuleRecord& r : records_) {
    if (r.process.dwProcessId != cookie) continue;
    r.lastMessageTick = ::GetTickCount();
    int result = (int)wp;
    r.SetStatus(result);
    if (IsFailingResult(result)) ++r.failCount;
    break;
  }
}

void ModuleDialog::DrainReplies() {
  MSG msg;
  while (diagMsg_ && ::PeekMessageW(&msg, hwnd(), diagMsg_, diagMsg_, PM_REMOVE)) OnModuleReply(msg.wParam, msg.lParam);
}

ModuleDialog::Refresh ModuleDialog::RefreshModules(bool timerTick) {
  Refresh out;
  DWORD now = ::GetTickCount();
  for (int pos = 0, n = ItemCount(); pos < n; ++pos) {
    ModuleRecord* r = RecordAt(pos);
    if (!r || r->disabled()) continue;
    if (timerTick) OnTickRecord(*r);
    // A failure found by this very look counts from the next tick on.
    if (r->failCount > 0) out.failure = true;
    listChanged_ = 1;
    if (r->process.hProcess) {
      bool alive = Alive(*r);
      if (alive) {
        ++out.live;
      } else if (!r->hasStatus && !r->logName.empty()) {
        // Its reply may still wait in the queue.
        DrainReplies();
      }
      DWORD exitCode = 0;
      if (!alive && !::GetExitCodeProcess(r->process.hProcess, &exitCode)) exitCode = 0;
      Judgement j = JudgeModule(r->state, alive, r->hasStatus, r->status, !r->logName.empty(), exitCode);
      if (j.endedWithoutResult) {
        r->SetStatus(1);
        ++r->failCount;
      }
      if (j.endedBadly) OnModuleEndedBadly(*r, exitCode);
      r->state = j.state;
    }
    if (r->state != ModuleState::Running) {
      if (r->startTick && !r->lastMessageTick) r->lastMessageTick = now;
      int seconds = r->elapsedSeconds;
      if (r->startTick && r->lastMessageTick) seconds += TickSeconds(r->startTick, r->lastMessageTick);
      r->elapsedText = seconds > 0 ? FormatElapsed(seconds) : L"";
    }
    ShowRecord(pos);
  }
  return out;
}

void ModuleDialog::SetRunButton(bool running) {
  SetItemText(IDC_RUN, StressString(running ? IDS_STOP : IDS_RUN));
  running_ = running ? 1 : 0;
}

void ModuleDialog::ShowTotalElapsed() {
  nowTick_ = ::GetTickCount();
  if (runStartTick_ && (LONG)(nowTick_ - runStartTick_) >= 0)
    SetItemText(IDC_TOTAL_ELAPSED, FormatElapsed(TickSeconds(runStartTick_, nowTick_)));
}

LRESULT ModuleDialog::OnNotify(NMHDR* hdr) {
  if (hdr->idFrom != IDC_MODULE_LIST || (hdr->code != NM_CLICK && hdr->code != NM_DBLCLK)) return 0;
  LVHITTESTINFO hit{};
  DWORD pos = ::GetMessagePos();
  hit.pt = {(short)LOWORD(pos), (short)HIWORD(pos)};
  ::ScreenToClient(List(), &hit.pt);
  int item = (int)::SendMessageW(List(), LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit));
  if (hdr->code == NM_CLICK) {
    selectedItem_ = item;
  } else if (running_) {
    ::MessageBeep(MB_ICONHAND);
  } else if (item >= 0) {
    ToggleModule(item);
  }
  return 0;
}

bool ModuleDialog::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (diagMsg_ && msg == diagMsg_) {
    OnModuleReply(wp, lp);
    return false;  // then the default handling
  }
  switch (msg) {
    case kGoOnMsg:
      if (wp == runId_ && !running_) GoOn();
      *result = 0;
      return true;
    case kStopMsg:
      if (wp == runId_ && running_) StopRun();
      *result = 0;
      return true;
    case kNoticeMsg:
      ShowPendingBoxes();
      *result = 0;
      return true;
    default:
      break;
  }
  if (msg == WM_PAINT && ::IsIconic(hwnd())) {
    PAINTSTRUCT ps;
    HDC dc = ::BeginPaint(hwnd(), &ps);
    RECT rc;
    ::GetClientRect(hwnd(), &rc);
    HICON icon = reinterpret_cast<HICON>(::SendMessageW(hwnd(), WM_GETICON, ICON_BIG, 0));
    ::DrawIcon(dc, (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2, (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2,
               icon);
    ::EndPaint(hwnd(), &ps);
    *result = 0;
    return true;
  }
  return false;
}

void ModuleDialog::OnTimer(UINT_PTR id) {
  if (id == kStartTimerId)
    PollStartStep();
  else if (id == kTimerId)
    OnRunTimer();
}

void ModuleDialog::MarkStopped() {
  ++runId_;
  stoppedTick_ = ::GetTickCount();
  stoppedOnce_ = true;
}

bool ModuleDialog::QueuedBeforeStop(HWND ctl) const {
  // A click reaches us as the button's WM_COMMAND while its mouse or key
  // message (or the posted command) is the current message; a command sent
  // from another thread happens now. A click within a double-click's time
  // of the Stop is the second half of the same impatient gesture.
  if (running_ || !ctl || !stoppedOnce_ || ::InSendMessage()) return false;
  return (LONG)((DWORD)::GetMessageTime() - stoppedTick_) <= (LONG)::GetDoubleClickTime();
}

void ModuleDialog::OnDestroy() {
  closing_ = true;
  ::KillTimer(hwnd(), kTimerId);
  CancelStartStep();
  if (running_) StopRun();
  if (listChanged_) SaveModuleList();
  for (ModuleRecord& r : records_) {
    if (r.process.hProcess) ::CloseHandle(r.process.hProcess);
    if (r.process.hThread) ::CloseHandle(r.process.hThread);
    r.process = PROCESS_INFORMATION{};
  }
}

}  // namespace stress

namespace stress {

void ModuleDialog::BeginIdleWait(int pos, int maxWaits) {
  ::UpdateWindow(hwnd());
  startStep_ = StartStep::WaitIdle;
  waitPos_ = pos;
  waitLimit_ = maxWaits;
  waitTimeouts_ = 0;
  sliceStart_ = ::GetTickCount();
  ::SetTimer(hwnd(), kStartTimerId, kStartPollMs, nullptr);
  PollStartStep();
}

void ModuleDialog::BeginPause(DWORD ms) {
  startStep_ = StartStep::Pause;
  pauseUntil_ = ::GetTickCount() + ms;
  ::SetTimer(hwnd(), kStartTimerId, kStartPollMs, nullptr);
}

void ModuleDialog::CancelStartStep() {
  if (hwnd()) ::KillTimer(hwnd(), kStartTimerId);
  startStep_ = StartStep::None;
  waitPos_ = -1;
}

// One look at the step under way. The wait counts idle waits of
// settings_.idleWaitMs as a blocking wait would: a module that ended is
// judged at once, with the wait it ended in counted.
void ModuleDialog::PollStartStep() {
  DWORD now = ::GetTickCount();
  if (startStep_ == StartStep::Pause) {
    if ((LONG)(now - pauseUntil_) < 0) return;
    CancelStartStep();
    OnPauseDone();
    return;
  }
  if (startStep_ != StartStep::WaitIdle) {
    CancelStartStep();
    return;
  }
  int pos = waitPos_;
  ModuleRecord* r = RecordAt(pos);
  IdleWait outcome = IdleWait::Failed;
  if (r && r->process.hProcess) {
    DWORD w = appkit::WaitForInputReady(r->process.hProcess, r->process.dwThreadId, 0);
    if (w == 0) {
      outcome = IdleWait::Idle;
    } else if (!Alive(*r)) {
      ++waitTimeouts_;
      outcome = waitTimeouts_ < waitLimit_ ? IdleWait::EndedBeforeLimit : IdleWait::LimitReached;
    } else if (w != WAIT_TIMEOUT) {
      outcome = IdleWait::Failed;
    } else if (now - sliceStart_ >= settings_.idleWaitMs) {
      ++waitTimeouts_;
      if (waitTimeouts_ < waitLimit_) {
        sliceStart_ = now;
        return;
      }
      outcome = IdleWait::LimitReached;
    } else {
      return;
    }
  }
  CancelStartStep();
  OnIdleWaitDone(pos, outcome);
}

}  // namespace stress
