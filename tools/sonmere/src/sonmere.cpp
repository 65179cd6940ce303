// Sonmere, the audio CD player: one fixed-size dialog with ten picture
// buttons, a position slider and a yellow-on-black display, polling the
// disc once a second. One copy at a time.
#include <windows.h>
#include <commctrl.h>

#include <memory>

#include "appkit/app.h"
#include "appkit/dialog.h"
#include "appkit/paths.h"
#include "appkit/resmodule.h"
#include "appkit/text.h"
#include "mm/mci.h"
#include "player.h"
#include "resource.h"

namespace {

using namespace sonmere;

struct Place {
  int id, x, y, cx, cy;
};
const Place kPlaces[] = {
    {kIdPanel, 0, 0, 320, 140},          {kIdDisplay, 7, 9, 178, 105},        {kIdFrame, 4, 6, 313, 111},
    {kIdTrack, 15, 14, 162, 18},         {kIdElapsed, 15, 32, 50, 18},        {kIdStatus, 15, 52, 80, 18},
    {kIdLength, 145, 32, 30, 18},        {kIdIdleSlider, 15, 72, 162, 36},    {kIdPositionSlider, 15, 72, 162, 36},
    {kIdPrevious, 188, 14, 40, 20},      {kIdPlay, 230, 14, 40, 20},          {kIdNext, 272, 14, 40, 20},
    {kIdBack, 188, 39, 40, 20},          {kIdPause, 230, 39, 40, 20},         {kIdForward, 272, 39, 40, 20},
    {kIdStop, 230, 64, 40, 20},          {kIdEject, 188, 89, 40, 20},         {kIdVolDown, 230, 89, 40, 20},
    {kIdVolUp, 272, 89, 40, 20},
};
// Pictures of buttons 117..126 when idle; pressed id - 1, focused id - 2.
const UINT kButtonBitmaps[] = {185, 137, 188, 191, 200, 194, 203, 209, 179, 182};
constexpr UINT_PTR kPollTimer = 1;
const COLORREF kYellow = RGB(255, 255, 0);

class CPlayerDlg : public appkit::Dialog, public PlayerView {
 public:
  explicit CPlayerDlg(HINSTANCE res) : appkit::Dialog(IDD_SONMERE, res), res_(res) {}
  ~CPlayerDlg() override {
    if (yellow_) ::DeleteObject(yellow_);
    if (black_) ::DeleteObject(black_);
  }

  // ---- PlayerView ---------------------------------------------------------------
  std::wstring DisplayText(int id) override { return ItemText(id); }
  void SetDisplayText(int id, const std::wstring& text) override {
    SetItemText(id, text);
    ::InvalidateRect(Item(id), nullptr, TRUE);
  }
  void ShowPositionSlider(bool on) override {
    ShowItem(kIdPositionSlider, on);
    ShowItem(kIdIdleSlider, !on);
    if (!on) ::RedrawWindow(Item(kIdIdleSlider), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
  }
  bool PositionSliderShown() override { return ::IsWindowVisible(Item(kIdPositionSlider)) != FALSE; }
  void SetSliderRange(int max) override {
    SendItem(kIdPositionSlider, TBM_SETRANGE, TRUE, MAKELONG(0, max));
    SendItem(kIdPositionSlider, TBM_CLEARTICS, TRUE);
    for (int tic : {max / 4, max / 2, max * 3 / 4}) SendItem(kIdPositionSlider, TBM_SETTIC, 0, tic);
  }
  void SetSliderPos(int pos) override { SendItem(kIdPositionSlider, TBM_SETPOS, TRUE, pos); }
  int SliderPos() override { return (int)SendItem(kIdPositionSlider, TBM_GETPOS); }
  void Message(const std::wstring& text, bool exclamation) override {
    ::MessageBoxW(nullptr, text.c_str(), String(kStrCaption).c_str(), MB_OK | (exclamation ? MB_ICONEXCLAMATION : 0));
  }
  std::wstring String(UINT id) override { return appkit::LoadStr(id, res_); }

 protected:
  BOOL OnInit() override {
    EnableItem(kIdIdleSlider, false);
    HICON icon = ::LoadIconW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDI_SONMERE));
    ::SendMessageW(hwnd(), WM_SETICON, ICON_BIG, (LPARAM)icon);
    ::SendMessageW(hwnd(), WM_SETICON, ICON_SMALL, (LPARAM)icon);
    mm::OpenMixerVolume(hwnd());
    ::SetWindowPos(hwnd(), nullptr, 0, 0, 320 + 2 * ::GetSystemMetrics(SM_CXDLGFRAME),
                   140 + 2 * ::GetSystemMetrics(SM_CYDLGFRAME), SWP_NOMOVE | SWP_NOZORDER);
    for (const Place& p : kPlaces)
      ::SetWindowPos(Item(p.id), nullptr, p.x, p.y, p.cx, p.cy, SWP_NOZORDER | SWP_NOACTIVATE);
    yellow_ = ::CreateSolidBrush(kYellow);
    black_ = ::CreateSolidBrush(RGB(0, 0, 0));
    ShowPositionSlider(false);
    player_ = std::make_unique<CdPlayer>(*this, hwnd());
    if (!::SetTimer(hwnd(), kPollTimer, 1000, nullptr)) Message(String(kStrNoTimer), false);
    if (!player_->CreateDevice()) Message(String(kStrNoDevice), false);
    player_->Refresh();
    ::PostMessageW(hwnd(), WM_COMMAND, MAKEWPARAM(kIdPlay, BN_CLICKED), (LPARAM)Item(kIdPlay));
    return TRUE;
  }

  bool OnCommand(int id, int code, HWND ctl) override {
    if (id >= kIdPrevious && id <= kIdVolUp) {
      if (code == BN_SETFOCUS) {
        ::InvalidateRect(ctl, nullptr, TRUE);
        return false;
      }
      if (code == BN_CLICKED && player_) player_->OnCommand(id);
      return true;
    }
    return appkit::Dialog::OnCommand(id, code, ctl);
  }

  void OnOK() override {}  // Enter leaves the player open
  void OnCancel() override {
    if (player_) player_->StopForClose();
    EndDialog(IDCANCEL);
  }

  void OnTimer(UINT_PTR id) override {
    if (id == kPollTimer && player_) player_->OnTimer();
  }

  void OnDestroy() override {
    ::KillTimer(hwnd(), kPollTimer);
    mm::CloseMixerVolume();
    player_.reset();
  }

  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override {
    switch (msg) {
      case MM_MCINOTIFY:
        if (player_ && player_->OnNotify(wp)) {
          *result = 0;
          return true;
        }
        return false;
      case WM_HSCROLL:
        if ((HWND)lp == Item(kIdPositionSlider) && player_) player_->OnSlider(LOWORD(wp), HIWORD(wp));
        *result = 0;
        return true;
      case WM_DRAWITEM:
        *result = DrawButton(reinterpret_cast<const DRAWITEMSTRUCT*>(lp));
        return *result != 0;
      case WM_CTLCOLORSTATIC: {
        HDC dc = (HDC)wp;
        int id = ::GetDlgCtrlID((HWND)lp);
        if (id == kIdTrack || id == kIdElapsed || id == kIdStatus || id == kIdLength) {
          ::SetTextColor(dc, kYellow);
          ::SetBkMode(dc, TRANSPARENT);
          *result = (LRESULT)black_;
          return true;
        }
        if (id == kIdDisplay || id == kIdIdleSlider || id == kIdPositionSlider) {
          *result = (LRESULT)black_;
          return true;
        }
        if (id == kIdPanel || id == kIdFrame) return false;
        ::SetBkMode(dc, TRANSPARENT);
        *result = (LRESULT)yellow_;
        return true;
      }
      default:
        return false;
    }
  }

 private:
  BOOL DrawButton(const DRAWITEMSTRUCT* d) {
    if (d->CtlType != ODT_BUTTON || d->CtlID < kIdPrevious || d->CtlID > kIdVolUp) return FALSE;
    if (!(d->itemAction & (ODA_DRAWENTIRE | ODA_SELECT))) return TRUE;
    UINT id = kButtonBitmaps[d->CtlID - kIdPrevious];
    if (d->itemState & ODS_SELECTED)
      id -= 1;
    else if (d->itemState & (ODS_FOCUS | ODS_DEFAULT))
      id -= 2;
    HBITMAP bitmap = (HBITMAP)::LoadImageW(res_, MAKEINTRESOURCEW(id), IMAGE_BITMAP, 0, 0, 0);
    if (!bitmap) return TRUE;
    HDC mem = ::CreateCompatibleDC(d->hDC);
    HGDIOBJ old = ::SelectObject(mem, bitmap);
    ::BitBlt(d->hDC, d->rcItem.left, d->rcItem.top, d->rcItem.right - d->rcItem.left, d->rcItem.bottom - d->rcItem.top,
             mem, 0, 0, SRCCOPY);
    ::SelectObject(mem, old);
    ::DeleteDC(mem);
    ::DeleteObject(bitmap);
    return TRUE;
  }

  HINSTANCE res_;
  HBRUSH yellow_ = nullptr, black_ = nullptr;
  std::unique_ptr<CdPlayer> player_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, LPWSTR, int) {
  HANDLE one = ::CreateSemaphoreW(nullptr, 0, 1, L"Qev Audio CD Player");
  if (!one || ::GetLastError() == ERROR_ALREADY_EXISTS) {
    ::MessageBeep(0);
    if (one) ::CloseHandle(one);
    return 0;
  }
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
  appkit::App app;
  HINSTANCE res = appkit::LoadResourceModule(appkit::ResourceModulePathFor(appkit::ModulePath(nullptr)));
  {
    CPlayerDlg dialog(res ? res : instance);
    dialog.DoModal(nullptr);
  }
  appkit::FreeResourceModule(res);
  ::CloseHandle(one);
  return 0;
}
