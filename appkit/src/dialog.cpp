#include "appkit/dialog.h"

#include "appkit/app.h"
#include "appkit/text.h"

namespace appkit {

Dialog::~Dialog() { Destroy(); }

Dialog* Dialog::FromHandle(HWND hwnd) { return Bound<Dialog>(hwnd, BoundKind::Dialog); }

INT_PTR Dialog::DoModal(HWND parent) {
  modal_ = true;
  ended_ = false;
  result_ = -1;
  if (!CreateModeless(parent)) {
    modal_ = false;
    return -1;
  }
  // Disable the owner as Win32's own modal loop does.
  HWND owner = parent;
  while (owner && (::GetWindowLongW(owner, GWL_STYLE) & WS_CHILD)) owner = ::GetParent(owner);
  bool reenable = owner && ::IsWindowEnabled(owner);
  if (reenable) ::EnableWindow(owner, FALSE);
  if (!ended_) {
    ::ShowWindow(hwnd(), SW_SHOW);
    RunModalLoop(&ended_);
  }
  if (reenable) ::EnableWindow(owner, TRUE);
  if (hwnd() && owner && ::GetActiveWindow() == hwnd()) ::SetActiveWindow(owner);
  Destroy();
  modal_ = false;
  return result_;
}

bool Dialog::CreateModeless(HWND parent) {
  HINSTANCE res = res_;
  if (!res) res = App::Current() ? App::Current()->resources() : ::GetModuleHandleW(nullptr);
  Announce announce(this);
  return ::CreateDialogParamW(res, MAKEINTRESOURCEW(templateId_), parent, &Dialog::StaticProc,
                              reinterpret_cast<LPARAM>(this)) != nullptr;
}

bool Dialog::CreateModelessIndirect(const DLGTEMPLATE* tmpl, HWND parent) {
  HINSTANCE res = res_;
  if (!res) res = App::Current() ? App::Current()->resources() : ::GetModuleHandleW(nullptr);
  Announce announce(this);
  return ::CreateDialogIndirectParamW(res, tmpl, parent, &Dialog::StaticProc, reinterpret_cast<LPARAM>(this)) !=
         nullptr;
}

void Dialog::EndDialog(INT_PTR result) {
  result_ = result;
  ended_ = true;
  if (!modal_) Destroy();
  else if (hwnd()) ::ShowWindow(hwnd(), SW_HIDE);
}

void Dialog::Destroy() {
  if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
}

std::wstring Dialog::ItemText(int id) const { return WindowText(Item(id)); }

int Dialog::ItemInt(int id, bool* ok) const {
  BOOL good = FALSE;
  int v = (int)::GetDlgItemInt(hwnd(), id, &good, TRUE);
  if (ok) *ok = good != FALSE;
  return v;
}

bool Dialog::OnCommand(int id, int code, HWND ctl) {
  if (id == IDOK) {
    OnOK();
    return true;
  }
  if (id == IDCANCEL) {
    OnCancel();
    return true;
  }
  return false;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  // WM_INITDIALOG carries the object; messages before it (WM_SETFONT) find
  // the announced one.
  Dialog* candidate = msg == WM_INITDIALOG ? reinterpret_cast<Dialog*>(lp) : nullptr;
  auto* self = static_cast<Dialog*>(Enter(hwnd, BoundKind::Dialog, candidate));
  if (!self) return FALSE;
  INT_PTR r = self->Proc(msg, wp, lp);
  if (Leave(hwnd, msg, self)) self->ended_ = true;
  return r;
}

INT_PTR Dialog::Proc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  switch (msg) {
    case WM_INITDIALOG:
      return OnInit();
    case WM_COMMAND:
      return OnCommand(LOWORD(wp), HIWORD(wp), reinterpret_cast<HWND>(lp)) ? TRUE : FALSE;
    case WM_NOTIFY: {
      LRESULT r = OnNotify(reinterpret_cast<NMHDR*>(lp));
      ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, r);
      return r != 0;
    }
    case WM_TIMER:
      OnTimer(wp);
      return TRUE;
    case WM_CLOSE:
      OnCancel();
      return TRUE;
    case WM_DESTROY:
      OnDestroy();
      return FALSE;
    default:
      break;
  }
  if (OnMessage(msg, wp, lp, &result)) {
    // These few answer through the dialog procedure's own return value.
    if ((msg >= WM_CTLCOLORMSGBOX && msg <= WM_CTLCOLORSTATIC) || msg == WM_COMPAREITEM || msg == WM_VKEYTOITEM ||
        msg == WM_CHARTOITEM || msg == WM_QUERYDRAGICON)
      return (INT_PTR)result;
    ::SetWindowLongPtrW(hwnd(), DWLP_MSGRESULT, result);
    return TRUE;
  }
  return FALSE;
}

}  // namespace appkit
