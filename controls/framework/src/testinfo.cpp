#include "ctlfw/testinfo.h"

#include <commctrl.h>

#include "appkit/text.h"
#include "ctlfw/runner.h"
#include "ctlfw/sheet.h"
#include "suite/info.h"

namespace ctlfw {

namespace {
constexpr UINT_PTR kWaitTimer = 1001;
constexpr int kInsideMargin = 5;
}  // namespace

CTestInfo::CTestInfo(TestRunner& runner, int category)
    : appkit::SheetPage(IDD_CTLFW_INFO_PAGE, runner.Resources()),
      runner_(runner),
      list_(runner.MakerKey()),
      category_(category) {}

CTestInfo::~CTestInfo() {
  StopReading();
  Destroy();
}

int CTestInfo::Category() const { return category_; }

std::wstring CTestInfo::InfoFilePath() const {
  const char* base = category_ >= 0 && category_ < (int)suite::INFO_CATEGORY_COUNT ? suite::kInfoFileBase[category_] : "";
  return runner_.InfoDirectory() + appkit::Widen(base) + L".IFO";
}

BOOL CTestInfo::OnInit() {
  if (!list_.hwnd()) list_.Attach(hwnd(), IDC_INFO_LIST);
  waiting_ = false;
  ShowWaitProgress(false);
  InfoPageLook look = runner_.InfoLook(category_);
  std::wstring text = appkit::LoadStr(look.textId, runner_.Resources());
  if (HICON icon = ::LoadIconW(runner_.Resources(), MAKEINTRESOURCEW(look.iconId)))
    SendItem(IDC_INFO_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon));
  if (!text.empty()) SetItemText(IDC_INFO_TEXT, text);
  if (!runner_.InfoHasFreeMemory()) {
    EnableItem(IDC_INFO_FREEMEM, false);
    ShowItem(IDC_INFO_FREEMEM, false);
  }
  list_.SetTabStops((int)look.tabStops.size(), look.tabStops.data());
  initialised_ = true;
  return TRUE;
}

void CTestInfo::Close() {
  StopReading();
  initialised_ = false;
  if (waiting_ && hwnd()) ShowWaitProgress(false);
  waiting_ = false;
}

BOOL CTestInfo::ResizeControls() {
  CTest* sheet = runner_.GetSheet();
  if (!runner_.Created() || !hwnd() || !sheet) return FALSE;
  appkit::StretchInside(sheet->hwnd(), sheet->TabControl(), kInsideMargin, false);
  appkit::StretchInside(sheet->TabControl(), hwnd(), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_INFO_LIST), kInsideMargin, false);
  appkit::StretchInside(hwnd(), Item(IDC_INFO_PROGRESS), kInsideMargin, true);
  return TRUE;
}

void CTestInfo::ShowWaitProgress(bool on) {
  if (on) {
    ::SetTimer(hwnd(), kWaitTimer, 200, nullptr);
    SendItem(IDC_INFO_PROGRESS, PBM_SETPOS, 10);
  } else {
    ::KillTimer(hwnd(), kWaitTimer);
    SendItem(IDC_INFO_PROGRESS, PBM_SETPOS, 100);
    ::UpdateWindow(Item(IDC_INFO_PROGRESS));
  }
  ShowItem(IDC_INFO_PROGRESS, on);
  ShowItem(IDC_INFO_LOADING, on);
}

void CTestInfo::OnWaitTimer() {
  LRESULT previous = SendItem(IDC_INFO_PROGRESS, PBM_DELTAPOS, 2);
  if (previous >= 100) SendItem(IDC_INFO_PROGRESS, PBM_SETPOS, 10);
}

bool CTestInfo::OnCommand(int id, int code, HWND ctl) {
  if (id == IDC_INFO_REFRESH) {
    OnRefresh();
    return true;
  }
  if (id == IDC_INFO_FREEMEM) {
    OnFreeMemory();
    return true;
  }
  return appkit::SheetPage::OnCommand(id, code, ctl);
}

void CTestInfo::OnTimer(UINT_PTR id) {
  if (id == kWaitTimer) {
    OnWaitTimer();
    CheckWait();
  }
}

bool CTestInfo::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  CTest* sheet = runner_.GetSheet();
  if (sheet && sheet->QuorrelMessage() && msg == sheet->QuorrelMessage()) {
    *result = OnServerReply(wp, lp);
    return true;
  }
  if (msg == WM_SETCURSOR && waiting_) {
    ::SetCursor(::LoadCursorW(nullptr, IDC_WAIT));
    *result = TRUE;
    return true;
  }
  if (ReflectOwnerDraw(hwnd(), msg, wp, lp)) {
    *result = TRUE;
    return true;
  }
  return false;
}

BOOL CTestInfo::OnSetActive() {
  if (runner_.InfoStyle().clearWhenLeft) {
    ShowItem(IDC_INFO_ICON, true);
    ShowItem(IDC_INFO_TEXT, true);
  }
  RequestInfo(true);
  ResizeControls();
  return TRUE;
}

BOOL CTestInfo::OnKillActive() {
  if (waiting_) return FALSE;
  if (runner_.InfoStyle().clearWhenLeft) {
    SendItem(IDC_INFO_LIST, LB_RESETCONTENT);
    ShowItem(IDC_INFO_ICON, false);
    ShowItem(IDC_INFO_TEXT, false);
  }
  return TRUE;
}

}  // namespace ctlfw
