#include "views.h"

#include <commctrl.h>

#include "frame_rules.h"

namespace {

// {8856F961-340A-11D0-A96B-00C04FD705A2}
const CLSID kWebBrowserClsid = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
enum WebBrowserDispid : DISPID {
  kDispGoBack = 100,
  kDispGoForward = 101,
  kDispRefresh = -550,
  kDispNavigate2 = 500,
};

void FillClient(HWND hwnd, HDC dc, HBRUSH brush) {
  RECT rc;
  ::GetClientRect(hwnd, &rc);
  ::FillRect(dc, &rc, brush);
}

}  // namespace

// ---- icon list

bool CHalvixView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  return CreateControlView(WC_LISTVIEWW, WS_CHILD | WS_VISIBLE | WS_TABSTOP | LVS_ICON | LVS_SHOWSELALWAYS,
                           0, parent, id, rc, doc);
}

LRESULT CHalvixView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == halvix::WM_REFRESHITEMS) return 1;
  return appkit::View::WndProc(msg, wp, lp);
}

bool CPlainListView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  return CreateControlView(WC_LISTVIEWW, WS_CHILD | WS_VISIBLE | LVS_ICON, 0, parent, id, rc, doc);
}

// ---- tree

bool CMyTreeView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  return CreateControlView(WC_TREEVIEWW, WS_CHILD | WS_VISIBLE | WS_TABSTOP | TVS_HASLINES | TVS_SHOWSELALWAYS, 0,
                           parent, id, rc, doc);
}

void CMyTreeView::OnInitialUpdate() { Send(halvix::WM_SELECTTEST, halvix::kPageTests); }

LRESULT CMyTreeView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case halvix::WM_SELECTTEST: {
      int page = static_cast<int>(wp);
      if (halvix::TreeSelectionFor(page) == page) {
        if (HWND main = ::GetAncestor(hwnd(), GA_ROOT)) ::SendMessageW(main, halvix::WM_SELECTPAGE, wp, 0);
      }
      return 0;
    }
    case halvix::WM_REFRESHITEMS:
      return 1;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- strips

LRESULT CMyTitleView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_ERASEBKGND) {
    HBRUSH grey = ::CreateSolidBrush(RGB(128, 128, 128));
    FillClient(hwnd(), reinterpret_cast<HDC>(wp), grey);
    ::DeleteObject(grey);
    return 1;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

LRESULT CToolbarView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_ERASEBKGND: {
      HBRUSH grey = ::CreateSolidBrush(RGB(128, 128, 128));
      FillClient(hwnd(), reinterpret_cast<HDC>(wp), grey);
      ::DeleteObject(grey);
      return 1;
    }
    case halvix::WM_REFRESHITEMS:
      return 1;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- help panes

LRESULT CLogoView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case halvix::WM_SHOWPAGETEXT:
      page_ = wp ? reinterpret_cast<const wchar_t*>(wp) : L"";
      ::InvalidateRect(hwnd(), nullptr, TRUE);
      ::UpdateWindow(hwnd());
      return 1;
    case WM_ERASEBKGND:
      FillClient(hwnd(), reinterpret_cast<HDC>(wp), static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH)));
      return 1;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}

bool CWebView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  RECT client;
  ::GetClientRect(hwnd(), &client);
  if (FAILED(browser_.Create(kWebBrowserClsid, hwnd(), client, kBrowserId, WS_CHILD | WS_VISIBLE))) {
    // Without its browser the view is not made.
    Destroy();
    return false;
  }
  return true;
}

void CWebView::Navigate(const std::wstring& url) {
  if (!HasBrowser()) return;
  VARIANT result;
  ::VariantInit(&result);
  browser_.Invoke(kDispNavigate2, {url}, &result);
  ::VariantClear(&result);
}

void CWebView::GoBack() {
  if (HasBrowser()) browser_.CallBool(kDispGoBack);
}
void CWebView::GoForward() {
  if (HasBrowser()) browser_.CallBool(kDispGoForward);
}
void CWebView::Refresh() {
  if (HasBrowser()) browser_.CallBool(kDispRefresh);
}

LRESULT CWebView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  if (msg == WM_SIZE) {
    LRESULT r = appkit::View::WndProc(msg, wp, lp);
    int w = LOWORD(lp), h = HIWORD(lp);
    if (HasBrowser() && w > 0 && h > 0) browser_.Move(RECT{0, 0, w, h});
    return r;
  }
  if (msg == WM_DESTROY) browser_.Destroy();
  return appkit::View::WndProc(msg, wp, lp);
}

// ---- module view

bool CModuleView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  host_ = std::make_unique<hosting::ModuleViewHost>(hwnd());
  return true;
}

void CModuleView::CreateTestControl(const std::string& name, const std::string& switches) {
  if (host_) host_->CreateTestControl(name, switches);
}

void CModuleView::CloseTestControl() {
  if (host_) host_->CloseTestControl();
}

bool CModuleView::IsTestRunning() { return host_ && host_->IsTestRunning(); }

bool CModuleView::PreTranslate(MSG& msg) { return host_ && host_->PreTranslate(msg); }

LRESULT CModuleView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = appkit::View::WndProc(msg, wp, lp);
      if (host_) host_->OnSize(static_cast<UINT>(wp), LOWORD(lp), HIWORD(lp));
      return r;
    }
    case WM_DESTROY:
      // The control goes before the view (a running test is aborted).
      CloseTestControl();
      break;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}
