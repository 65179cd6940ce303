#include "title_dlg.h"

#include "dib.h"
#include "resource.h"

namespace {
const UINT_PTR kCloseTimer = 101;
const UINT kShowMs = 2500;
const DWORD kMoveGraceMs = 1000;
}  // namespace

CTitleDlg::CTitleDlg(HINSTANCE res, const std::wstring& programDir)
    : appkit::Dialog(IDD_TITLE, res), programDir_(programDir) {}

CTitleDlg::~CTitleDlg() { FreeBitmap(); }

void CTitleDlg::FreeBitmap() {
  if (dib_) ::GlobalFree(dib_);
  if (palette_) ::DeleteObject(palette_);
  dib_ = nullptr;
  palette_ = nullptr;
}

BOOL CTitleDlg::OnInit() {
  dib_ = halvix::ReadDIBFile(programDir_ + L"TESTDATA\\LOGO.BMP");
  if (dib_) {
    // A bitmap without colour table shows without palette.
    palette_ = halvix::CreateDIBPalette(dib_);
    width_ = halvix::DIBWidth(dib_);
    height_ = halvix::DIBHeight(dib_);
    if (width_ > 0 && height_ > 0) {
      RECT rc{0, 0, width_, height_};
      ::AdjustWindowRectEx(&rc, static_cast<DWORD>(::GetWindowLongW(hwnd(), GWL_STYLE)), FALSE,
                           static_cast<DWORD>(::GetWindowLongW(hwnd(), GWL_EXSTYLE)));
      ::SetWindowPos(hwnd(), nullptr, 0, 0, rc.right - rc.left, rc.bottom - rc.top,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
      ShowItem(IDOK, false);
    }
  }
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

void CTitleDlg::OnOK() {
  FreeBitmap();
  EndDialog(IDOK);
}

void CTitleDlg::OnCancel() {
  FreeBitmap();
  EndDialog(IDCANCEL);
}

LRESULT CTitleDlg::RealizePalette(bool background) {
  if (!palette_) return 0;
  HDC dc = ::GetDC(hwnd());
  HPALETTE old = ::SelectPalette(dc, palette_, background ? TRUE : FALSE);
  UINT changed = ::RealizePalette(dc);
  ::SelectPalette(dc, old, TRUE);
  ::ReleaseDC(hwnd(), dc);
  if (changed) ::InvalidateRect(hwnd(), nullptr, TRUE);
  return 1;
}

void CTitleDlg::Paint() {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(hwnd(), &ps);
  if (dib_ && !::IsIconic(hwnd())) {
    RECT all{0, 0, width_, height_};
    halvix::PaintDIB(dc, all, dib_, all, palette_);
  }
  ::EndPaint(hwnd(), &ps);
}

bool CTitleDlg::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  switch (msg) {
    case WM_LBUTTONUP:
      CloseSoon();
      *result = 0;
      return true;
    case WM_MOUSEMOVE:
      if (::GetTickCount() - openedTick_ > kMoveGraceMs) {
        CloseSoon();
        *result = 0;
        return true;
      }
      return false;
    case WM_PAINT:
      Paint();
      *result = 0;
      return true;
    case WM_QUERYNEWPALETTE:
      *result = RealizePalette(false);
      return true;
    case WM_PALETTECHANGED:
      if (reinterpret_cast<HWND>(wp) != hwnd()) RealizePalette(true);
      *result = 0;
      return true;
    default:
      return false;
  }
}

CAboutBoxDlg::CAboutBoxDlg(HINSTANCE res) : appkit::Dialog(IDD_ABOUTBOX, res) {}
