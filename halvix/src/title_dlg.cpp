#include "title_dlg.h"

#include "resource.h"

namespace {
const UINT_PTR kCloseTimer = 101;
const UINT kShowMs = 2500;
const DWORD kMoveGraceMs = 1000;
}  // namespace

CTitleDlg::CTitleDlg() : appkit::Dialog(IDD_TITLE) {}

BOOL CTitleDlg::OnInit() {
  openedTick_ = ::GetTickCount();
  ::SetTimer(hwnd(), kCloseTimer, kShowMs, nullptr);
  return TRUE;
}

void CTitleDlg::CloseSoon() {
  ::KillTimer(hwnd(), kCloseTimer);
  ::PostMessageW(hwnd(), WM_COMMAND, IDCANCEL, 0);
}

void CTitleDlg::OnTimer(UINT_PTR id) {
  if (id == kCloseTimer) CloseSoon();
}

bool CTitleDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_LBUTTONUP || (msg == WM_MOUSEMOVE && ::GetTickCount() - openedTick_ > kMoveGraceMs)) {
    CloseSoon();
    *result = 0;
    return true;
  }
  return false;
}

CAboutBoxDlg::CAboutBoxDlg() : appkit::Dialog(IDD_ABOUTBOX) {}
