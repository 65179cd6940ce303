#include "web_view.h"

#include <cwchar>

const CLSID CLSID_HalvixWebBrowser = {0x8856F961, 0x340A, 0x11D0, {0xA9, 0x6B, 0x00, 0xC0, 0x4F, 0xD7, 0x05, 0xA2}};
const IID DIID_HalvixWebBrowserEvents2 = {0x34A715A0, 0x6587, 0x11D0, {0x92, 0x4A, 0x00, 0x20, 0xAF, 0xC7, 0xAC, 0x4D}};

namespace {

constexpr long kCscNavigateForward = 1;
constexpr long kCscNavigateBack = 2;
constexpr UINT kNavState = 1124;  // WM_NAVSTATE
constexpr UINT kCommandBack = 32808;
constexpr UINT kCommandForward = 32809;

// An event argument (the host hands them over as text) as a number / flag.
long ArgNumber(const std::wstring& s) { return std::wcstol(s.c_str(), nullptr, 10); }
bool ArgFlag(const std::wstring& s) {
  if (s.empty() || _wcsicmp(s.c_str(), L"false") == 0) return false;
  if (_wcsicmp(s.c_str(), L"true") == 0) return true;
  return ArgNumber(s) != 0;
}

}  // namespace

// ---- CWebBrowser

HRESULT CWebBrowser::Create(HWND parent, const RECT& rc, UINT id, DWORD style) {
  return host_.Create(CLSID_HalvixWebBrowser, parent, rc, id, style);
}

HRESULT CWebBrowser::Call(DISPID id, WORD flags, VARIANT* args, UINT argc, bool named) {
  IDispatch* d = host_.dispatch();
  if (!d) return E_NOINTERFACE;
  DISPID put = DISPID_PROPERTYPUT;
  DISPPARAMS params{args, named ? &put : nullptr, argc, named ? 1u : 0u};
  VARIANT result;
  ::VariantInit(&result);
  HRESULT hr = d->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, flags == DISPATCH_PROPERTYPUT ? nullptr : &result,
                         nullptr, nullptr);
  ::VariantClear(&result);
  return hr;
}

HRESULT CWebBrowser::GoBack() { return Call(kGoBack, DISPATCH_METHOD, nullptr, 0, false); }
HRESULT CWebBrowser::GoForward() { return Call(kGoForward, DISPATCH_METHOD, nullptr, 0, false); }
HRESULT CWebBrowser::Refresh() { return Call(kRefresh, DISPATCH_METHOD, nullptr, 0, false); }

HRESULT CWebBrowser::Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData,
                               VARIANT* headers) {
  // Arguments go by reference, the last one first.
  VARIANT args[5];
  VARIANT* in[5] = {headers, postData, targetFrameName, flags, url};
  for (int i = 0; i < 5; ++i) {
    ::VariantInit(&args[i]);
    args[i].vt = VT_BYREF | VT_VARIANT;
    args[i].pvarVal = in[i];
  }
  return Call(kNavigate2, DISPATCH_METHOD, args, 5, false);
}

HRESULT CWebBrowser::put_Width(long width) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = width;
  return Call(kWidth, DISPATCH_PROPERTYPUT, &v, 1, true);
}

HRESULT CWebBrowser::put_Height(long height) {
  VARIANT v;
  ::VariantInit(&v);
  v.vt = VT_I4;
  v.lVal = height;
  return Call(kHeight, DISPATCH_PROPERTYPUT, &v, 1, true);
}

// ---- CWebView

bool CWebView::CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) {
  if (!appkit::View::CreateView(parent, id, rc, doc)) return false;
  RECT client;
  ::GetClientRect(hwnd(), &client);
  if (FAILED(browser_.Create(hwnd(), client, kBrowserId, WS_CHILD | WS_VISIBLE)) || !browser_.hwnd()) {
    // Without its browser the view is not made.
    browser_.Destroy();
    Destroy();
    return false;
  }
  browser_.host().SinkEvents(DIID_HalvixWebBrowserEvents2, [this](DISPID id, const std::vector<std::wstring>& args) {
    if (id == CWebBrowser::kCommandStateChange && args.size() >= 2)
      OnCommandStateChange(ArgNumber(args[0]), ArgFlag(args[1]));
  });
  return true;
}

void CWebView::OnCommandStateChange(long command, bool enable) {
  UINT which;
  if (command == kCscNavigateForward) {
    if (target_.forwardEnabled) *target_.forwardEnabled = enable;
    which = kCommandForward;
  } else if (command == kCscNavigateBack) {
    if (target_.backEnabled) *target_.backEnabled = enable;
    which = kCommandBack;
  } else {
    return;
  }
  HWND main = target_.mainWindow ? target_.mainWindow() : nullptr;
  if (main) ::PostMessageW(main, kNavState, which, enable ? 1 : 0);
}

void CWebView::Navigate(const std::wstring& url) {
  if (!HasBrowser()) return;
  VARIANT address, empty[4];
  ::VariantInit(&address);
  address.vt = VT_BSTR;
  address.bstrVal = ::SysAllocString(url.c_str());
  for (VARIANT& v : empty) ::VariantInit(&v);
  browser_.Navigate2(&address, &empty[0], &empty[1], &empty[2], &empty[3]);
  ::VariantClear(&address);
}

void CWebView::GoBack() {
  if (HasBrowser()) browser_.GoBack();
}
void CWebView::GoForward() {
  if (HasBrowser()) browser_.GoForward();
}
void CWebView::Refresh() {
  if (HasBrowser()) browser_.Refresh();
}

LRESULT CWebView::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  switch (msg) {
    case WM_SIZE: {
      LRESULT r = appkit::View::WndProc(msg, wp, lp);
      const int w = LOWORD(lp), h = HIWORD(lp);
      if (HasBrowser() && w > 0 && h > 0) {
        browser_.put_Width(w);
        browser_.put_Height(h);
        // The host keeps the control's place in step with the pane.
        browser_.host().Move(RECT{0, 0, w, h});
      }
      return r;
    }
    case WM_DESTROY:
      browser_.Destroy();
      break;
    default:
      break;
  }
  return appkit::View::WndProc(msg, wp, lp);
}
