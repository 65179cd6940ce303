#include "appkit/modalsheet.h"

#include "appkit/app.h"

namespace appkit {

namespace {
thread_local ModalSheet* g_starting = nullptr;
}  // namespace

LRESULT ModalSheetPage::OnNotify(NMHDR* hdr) {
  switch (hdr->code) {
    case PSN_SETACTIVE:
      return OnSetActive() ? 0 : -1;
    case PSN_KILLACTIVE:
      return OnKillActive() ? FALSE : TRUE;
    default:
      return 0;
  }
}

INT_PTR CALLBACK ModalSheetPage::PageProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_INITDIALOG) lp = reinterpret_cast<const PROPSHEETPAGEW*>(lp)->lParam;
  return Dialog::StaticProc(hwnd, msg, wp, lp);
}

INT_PTR ModalSheet::DoModal(HWND parent, DWORD flags) {
  HINSTANCE res = res_ ? res_ : (App::Current() ? App::Current()->resources() : ::GetModuleHandleW(nullptr));
  std::vector<PROPSHEETPAGEW> pages(pages_.size());
  for (size_t i = 0; i < pages_.size(); ++i) {
    PROPSHEETPAGEW& p = pages[i];
    p.dwSize = sizeof(p);
    p.dwFlags = PSP_DEFAULT | ((flags & PSH_HASHELP) ? PSP_HASHELP : 0);
    p.hInstance = res;
    p.pszTemplate = MAKEINTRESOURCEW(pages_[i]->templateId());
    p.pfnDlgProc = &ModalSheetPage::PageProc;
    p.lParam = reinterpret_cast<LPARAM>(pages_[i]);
  }
  PROPSHEETHEADERW h{};
  h.dwSize = sizeof(h);
  h.dwFlags = PSH_PROPSHEETPAGE | PSH_USECALLBACK | flags;
  h.hwndParent = parent;
  h.hInstance = res;
  h.pszCaption = caption_.c_str();
  h.nPages = (UINT)pages.size();
  h.ppsp = pages.data();
  h.pfnCallback = &ModalSheet::Callback;
  g_starting = this;
  INT_PTR r = ::PropertySheetW(&h);
  g_starting = nullptr;
  return r;
}

int CALLBACK ModalSheet::Callback(HWND hwnd, UINT msg, LPARAM) {
  if (msg == PSCB_INITIALIZED && g_starting) {
    ModalSheet* self = g_starting;
    self->Subclass(hwnd);
    // The system posts nothing more before its first page shows: initialise now.
    self->OnInit();
  }
  return 0;
}

void MoveItemX(HWND item, int x) {
  RECT rc{};
  if (!item || !::GetWindowRect(item, &rc)) return;
  ::MapWindowPoints(nullptr, ::GetParent(item), reinterpret_cast<POINT*>(&rc), 2);
  ::SetWindowPos(item, nullptr, x, rc.top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace appkit
