#include "appkit/propsheet.h"

#include <commctrl.h>

#include <algorithm>

#include "appkit/paths.h"
#include "appkit/text.h"

namespace appkit {

namespace {

constexpr int kTabId = 0x3020;
constexpr int kInsideMargin = 5;

void PushString(std::vector<WORD>* out, const std::wstring& s) {
  for (wchar_t c : s) out->push_back((WORD)c);
  out->push_back(0);
}

// A dialog template without items: the tab control and the pages are added
// when the dialog initialises.
std::vector<WORD> BuildSheetTemplate(DWORD style, DWORD exStyle, const std::wstring& caption) {
  std::vector<WORD> t;
  DLGTEMPLATE head{};
  head.style = style | DS_SETFONT;
  head.dwExtendedStyle = exStyle;
  head.cdit = 0;
  const WORD* raw = reinterpret_cast<const WORD*>(&head);
  // DLGTEMPLATE is 18 bytes: style, extended style, item count, x, y, cx, cy.
  t.assign(raw, raw + 9);
  t.push_back(0);  // no menu
  t.push_back(0);  // the standard dialog class
  PushString(&t, caption);
  t.push_back(8);  // point size of the font
  PushString(&t, L"MS Shell Dlg");
  return t;
}

}  // namespace

std::wstring SheetPage::Title() const { return WindowText(hwnd()); }

TabbedSheet::TabbedSheet(const std::wstring& caption, HINSTANCE res)
    : Dialog(0, res), caption_(caption) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TAB_CLASSES | ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
  ::InitCommonControlsEx(&icc);
}

TabbedSheet::~TabbedSheet() {
  // The pages are children of the sheet: their windows go with it. (A class
  // that owns its pages destroys the window in its own destructor, while the
  // page objects still live.)
  Destroy();
}

void TabbedSheet::AddPage(SheetPage* page) {
  if (page && !hwnd()) pages_.push_back(page);
}

SheetPage* TabbedSheet::Page(int index) const {
  return index >= 0 && index < (int)pages_.size() ? pages_[index] : nullptr;
}

int TabbedSheet::PageIndex(const SheetPage* page) const {
  for (size_t i = 0; i < pages_.size(); ++i)
    if (pages_[i] == page) return (int)i;
  return -1;
}

bool TabbedSheet::Create(HWND parent, DWORD style, DWORD exStyle) {
  if (hwnd()) return false;
  DWORD tmplStyle = style & ~WS_VISIBLE;
  if (style & WS_CHILD) tmplStyle |= DS_CONTROL;
  template_ = BuildSheetTemplate(tmplStyle, exStyle, caption_);
  if (!CreateModelessIndirect(reinterpret_cast<const DLGTEMPLATE*>(template_.data()), parent)) return false;
  if (style & WS_VISIBLE) ::ShowWindow(hwnd(), (style & WS_CHILD) ? SW_SHOWNA : SW_SHOW);
  return true;
}

BOOL TabbedSheet::OnInit() {
  HWND self = hwnd();
  HWND parent = ::GetParent(self);
  if (parent && (::GetWindowLongW(self, GWL_STYLE) & WS_CHILD)) {
    RECT pc{};
    ::GetClientRect(parent, &pc);
    ::SetWindowPos(self, nullptr, 0, 0, pc.right, pc.bottom, SWP_NOZORDER | SWP_NOACTIVATE);
  } else if (!parent || !(::GetWindowLongW(self, GWL_STYLE) & WS_CHILD)) {
    ::SetWindowTextW(self, caption_.c_str());
  }
  RECT rc{};
  ::GetClientRect(self, &rc);
  tab_ = ::CreateWindowExW(0, WC_TABCONTROLW, L"", WS_CHILD | WS_VISIBLE | WS_TABSTOP | WS_CLIPSIBLINGS, 4, 4,
                           std::max(0L, rc.right - 4 - kInsideMargin), std::max(0L, rc.bottom - 4 - kInsideMargin),
                           self, reinterpret_cast<HMENU>((INT_PTR)kTabId), ThisModule(), nullptr);
  HFONT font = reinterpret_cast<HFONT>(::SendMessageW(self, WM_GETFONT, 0, 0));
  if (tab_ && font) ::SendMessageW(tab_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);

  // A sheet of its own (not inside another window) takes the size its
  // largest page asks for.
  const bool ownWindow = !(::GetWindowLongW(self, GWL_STYLE) & WS_CHILD);
  LONG pageW = 0, pageH = 0;
  for (size_t i = 0; i < pages_.size(); ++i) {
    SheetPage* page = pages_[i];
    page->sheet_ = this;
    page->CreateModeless(self);
    if (HWND ph = page->hwnd()) {
      RECT pr{};
      ::GetWindowRect(ph, &pr);
      pageW = std::max(pageW, pr.right - pr.left);
      pageH = std::max(pageH, pr.bottom - pr.top);
      // A page is a plain child inside the tab's area, whatever frame its
      // template asks for; its caption is the tab text.
      LONG st = ::GetWindowLongW(ph, GWL_STYLE);
      bool wasChild = (st & WS_CHILD) != 0;
      st &= ~(WS_POPUP | WS_CAPTION | WS_BORDER | WS_THICKFRAME | WS_SYSMENU | DS_MODALFRAME);
      ::SetWindowLongW(ph, GWL_STYLE, st | WS_CHILD | DS_CONTROL);
      if (!wasChild) ::SetParent(ph, self);
      ::SetWindowLongW(ph, GWL_EXSTYLE, ::GetWindowLongW(ph, GWL_EXSTYLE) | WS_EX_CONTROLPARENT);
      ::SetWindowPos(ph, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED | SWP_NOACTIVATE);
    }
    std::wstring title = page->hwnd() ? page->Title() : std::wstring();
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = title.data();
    ::SendMessageW(tab_, TCM_INSERTITEMW, (WPARAM)i, reinterpret_cast<LPARAM>(&item));
  }
  if (ownWindow && tab_ && pageW > 0 && pageH > 0) FitToPages(pageW, pageH);
  // Pages start in the tab's display area and lie above the tab control.
  RECT tr{};
  ::GetWindowRect(tab_, &tr);
  ::MapWindowPoints(nullptr, self, reinterpret_cast<POINT*>(&tr), 2);
  RECT display = tr;
  ::SendMessageW(tab_, TCM_ADJUSTRECT, FALSE, reinterpret_cast<LPARAM>(&display));
  for (SheetPage* page : pages_) {
    if (!page->hwnd()) continue;
    ::SetWindowPos(page->hwnd(), HWND_TOP, display.left, display.top,
                   std::max(0L, tr.right - kInsideMargin - display.left),
                   std::max(0L, tr.bottom - kInsideMargin - display.top), SWP_NOACTIVATE | SWP_HIDEWINDOW);
  }
  if (!pages_.empty()) ShowPage(std::clamp(start_, 0, (int)pages_.size() - 1));
  // A sheet inside another window does not take the focus when it appears.
  return FALSE;
}

void TabbedSheet::FitToPages(LONG pageW, LONG pageH) {
  HWND self = hwnd();
  RECT tabRect{0, 0, pageW, pageH};
  ::SendMessageW(tab_, TCM_ADJUSTRECT, TRUE, reinterpret_cast<LPARAM>(&tabRect));
  LONG tabW = tabRect.right - tabRect.left, tabH = tabRect.bottom - tabRect.top;
  RECT frame{0, 0, 4 + tabW + kInsideMargin, 4 + tabH + kInsideMargin};
  ::AdjustWindowRectEx(&frame, (DWORD)::GetWindowLongW(self, GWL_STYLE), FALSE,
                       (DWORD)::GetWindowLongW(self, GWL_EXSTYLE));
  LONG w = frame.right - frame.left, h = frame.bottom - frame.top;
  RECT work{};
  ::SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  ::SetWindowPos(self, nullptr, work.left + std::max(0L, (work.right - work.left - w) / 2),
                 work.top + std::max(0L, (work.bottom - work.top - h) / 2), w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  ::SetWindowPos(tab_, nullptr, 4, 4, tabW, tabH, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TabbedSheet::LayoutPages() {
  if (!tab_) return;
  StretchInside(hwnd(), tab_, kInsideMargin, false);
  for (SheetPage* page : pages_)
    if (page->hwnd()) StretchInside(tab_, page->hwnd(), kInsideMargin, false);
}

void TabbedSheet::ShowPage(int index) {
  SheetPage* old = Page(active_);
  SheetPage* page = Page(index);
  if (!page) return;
  if (old && old != page && old->hwnd()) {
    // The focus does not stay on a control that is about to be hidden.
    HWND focus = ::GetFocus();
    if (focus && ::IsChild(old->hwnd(), focus) && tab_) ::SetFocus(tab_);
    ::ShowWindow(old->hwnd(), SW_HIDE);
  }
  active_ = index;
  if (tab_ && ::SendMessageW(tab_, TCM_GETCURSEL, 0, 0) != index) ::SendMessageW(tab_, TCM_SETCURSEL, index, 0);
  if (page->hwnd()) ::ShowWindow(page->hwnd(), SW_SHOW);
  page->OnSetActive();
}

bool TabbedSheet::SetActivePage(int index) {
  if (!Page(index)) return false;
  if (!hwnd()) {
    start_ = index;
    return true;
  }
  if (index == active_) return true;
  SheetPage* old = Page(active_);
  if (old && !old->OnKillActive()) return false;
  ShowPage(index);
  return true;
}

bool TabbedSheet::OnCommand(int id, int code, HWND ctl) {
  // Enter and Escape never close the sheet.
  return id == IDOK || id == IDCANCEL;
}

LRESULT TabbedSheet::OnNotify(NMHDR* hdr) {
  if (!hdr || hdr->hwndFrom != tab_ || !tab_) return 0;
  if (hdr->code == TCN_SELCHANGING) {
    SheetPage* old = Page(active_);
    return (old && !old->OnKillActive()) ? TRUE : FALSE;
  }
  if (hdr->code == TCN_SELCHANGE) {
    ShowPage((int)::SendMessageW(tab_, TCM_GETCURSEL, 0, 0));
  }
  return 0;
}

bool TabbedSheet::OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) {
  if (msg == WM_SIZE) LayoutPages();
  return false;
}

TabbedSheet* TabbedSheet::FromChild(HWND hwnd) {
  for (HWND h = hwnd; h; h = ::GetParent(h)) {
    if (auto* sheet = dynamic_cast<TabbedSheet*>(Dialog::FromHandle(h))) return sheet;
    if (!(::GetWindowLongW(h, GWL_STYLE) & WS_CHILD)) break;
  }
  return nullptr;
}

bool TabbedSheet::TranslateKey(MSG& msg) {
  if (msg.message < WM_KEYFIRST || msg.message > WM_KEYLAST) return false;
  TabbedSheet* sheet = FromChild(msg.hwnd);
  if (!sheet || !sheet->hwnd()) return false;
  if (msg.message == WM_KEYDOWN && ::GetKeyState(VK_CONTROL) < 0 && sheet->PageCount() > 0) {
    int step = 0;
    if (msg.wParam == VK_TAB) step = ::GetKeyState(VK_SHIFT) < 0 ? -1 : 1;
    else if (msg.wParam == VK_NEXT) step = 1;
    else if (msg.wParam == VK_PRIOR) step = -1;
    if (step) {
      int n = sheet->PageCount();
      sheet->SetActivePage(((sheet->ActiveIndex() + step) % n + n) % n);
      return true;
    }
  }
  return ::IsDialogMessageW(sheet->hwnd(), &msg) != FALSE;
}

RECT StretchedRect(const RECT& container, const RECT& child, int margin, bool widthOnly) {
  RECT r = child;
  r.right = std::max(child.left, container.right - margin);
  if (!widthOnly) r.bottom = std::max(child.top, container.bottom - margin);
  return r;
}

bool StretchInside(HWND container, HWND child, int margin, bool widthOnly) {
  if (!container || !child || !::IsWindow(container) || !::IsWindow(child)) return false;
  RECT pr{}, cr{};
  ::GetWindowRect(container, &pr);
  ::GetWindowRect(child, &cr);
  RECT r = StretchedRect(pr, cr, margin, widthOnly);
  HWND parent = (::GetWindowLongW(child, GWL_STYLE) & WS_CHILD) ? ::GetParent(child) : nullptr;
  if (parent) ::MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&r), 2);
  ::SetWindowPos(child, nullptr, r.left, r.top, r.right - r.left, r.bottom - r.top,
                 SWP_NOZORDER | SWP_NOREDRAW | SWP_NOACTIVATE);
  return true;
}

}  // namespace appkit
