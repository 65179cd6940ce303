// The web view with a stand-in for the platform's browser control (served
// under the browser's class id from this process): the wrapper's calls by
// dispatch id with their argument shapes, the size rule, the Back/Forward
// events that reach the main window, and a browser that cannot be made.
#include <gtest/gtest.h>
#include <windows.h>
#include <ole2.h>

#include <memory>
#include <string>
#include <vector>

#include "appkit/axcontrol.h"
#include "web_view.h"

namespace {

constexpr UINT kNavState = 1124;
// {D30C1661-CDAF-11D0-8A3E-00C04FC9E26E}
const IID kWebBrowser2Iid = {0xD30C1661, 0xCDAF, 0x11D0, {0x8A, 0x3E, 0x00, 0xC0, 0x4F, 0xC9, 0xE2, 0x6E}};

struct Call {
  DISPID id;
  WORD flags;
  std::vector<VARTYPE> types;  // of the arguments, in call order
  std::wstring url;            // Navigate2's first argument
  long value = 0;              // a property put's value
  bool namedPut = false;
};

class FakeBrowser : public appkit::AxControl {
 public:
  static FakeBrowser* last;
  std::vector<Call> calls;

  FakeBrowser() : appkit::AxControl(Identity()) { last = this; }
  ~FakeBrowser() override {
    if (last == this) last = nullptr;
  }
  static appkit::AxControlIdentity Identity() {
    return appkit::AxControlIdentity{CLSID_HalvixWebBrowser, kWebBrowser2Iid, DIID_HalvixWebBrowserEvents2, GUID_NULL,
                                     1, 0, 0};
  }

  STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT*, EXCEPINFO*, UINT*) override {
    Call c{id, flags, {}, L"", 0, false};
    const UINT n = params ? params->cArgs : 0;
    for (UINT i = 0; i < n; ++i) {
      VARIANT& v = params->rgvarg[n - 1 - i];
      c.types.push_back(v.vt);
      if (i == 0 && v.vt == (VT_BYREF | VT_VARIANT) && v.pvarVal && v.pvarVal->vt == VT_BSTR)
        c.url = v.pvarVal->bstrVal;
      if (v.vt == VT_I4) c.value = v.lVal;
    }
    c.namedPut = params && params->cNamedArgs == 1 && params->rgdispidNamedArgs &&
                 params->rgdispidNamedArgs[0] == DISPID_PROPERTYPUT;
    calls.push_back(c);
    return S_OK;
  }
};
FakeBrowser* FakeBrowser::last = nullptr;

class Factory : public IClassFactory {
 public:
  explicit Factory(bool fail) : fail_(fail) {}
  STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
    if (riid == IID_IUnknown || riid == IID_IClassFactory) {
      *ppv = this;
      return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHODIMP_(ULONG) AddRef() override { return 2; }
  STDMETHODIMP_(ULONG) Release() override { return 1; }
  STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
    *ppv = nullptr;
    if (fail_) return E_FAIL;
    auto* b = new FakeBrowser();
    HRESULT hr = b->QueryInterface(riid, ppv);
    b->Release();
    return hr;
  }
  STDMETHODIMP LockServer(BOOL) override { return S_OK; }

 private:
  bool fail_;
};

HWND g_main = nullptr;
HWND MainWindow() { return g_main; }

class WebViewTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(SUCCEEDED(::OleInitialize(nullptr)));
    g_main = ::CreateWindowExW(0, L"STATIC", L"main", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                               ::GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(g_main, nullptr);
  }
  void TearDown() override {
    view_.reset();
    if (cookie_) ::CoRevokeClassObject(cookie_);
    ::DestroyWindow(g_main);
    g_main = nullptr;
    ::OleUninitialize();
  }
  void Serve(Factory* f) {
    ASSERT_TRUE(SUCCEEDED(::CoRegisterClassObject(CLSID_HalvixWebBrowser, f, CLSCTX_INPROC_SERVER,
                                                  REGCLS_MULTIPLEUSE, &cookie_)));
  }
  bool MakeView(const WebNavTarget& nav) {
    view_ = std::make_unique<CWebView>(nav);
    return view_->CreateView(g_main, 0xE910, RECT{0, 0, 400, 300}, nullptr);
  }
  // The WM_NAVSTATE messages waiting for the main window.
  std::vector<std::pair<WPARAM, LPARAM>> TakeNavStates() {
    std::vector<std::pair<WPARAM, LPARAM>> out;
    MSG m;
    while (::PeekMessageW(&m, g_main, kNavState, kNavState, PM_REMOVE)) out.push_back({m.wParam, m.lParam});
    return out;
  }

  DWORD cookie_ = 0;
  Factory good_{false}, failing_{true};  // outlive the registration
  std::unique_ptr<CWebView> view_;
};

TEST_F(WebViewTest, WrapperCallsTheBrowserByDispatchId) {
  Serve(&good_);
  bool back = true, forward = true;
  ASSERT_TRUE(MakeView(WebNavTarget{&back, &forward, &MainWindow}));
  ASSERT_TRUE(view_->HasBrowser());
  EXPECT_EQ(::GetDlgCtrlID(view_->browserWindow()), 1144);
  ASSERT_NE(FakeBrowser::last, nullptr);
  FakeBrowser* b = FakeBrowser::last;
  b->calls.clear();

  view_->Navigate(L"C:\\suite\\help\\dghelp2.htm");
  view_->GoBack();
  view_->GoForward();
  view_->Refresh();
  ASSERT_EQ(b->calls.size(), 4u);
  const Call& nav = b->calls[0];
  EXPECT_EQ(nav.id, 500);
  EXPECT_EQ(nav.flags, DISPATCH_METHOD);
  EXPECT_EQ(nav.types, std::vector<VARTYPE>(5, VT_BYREF | VT_VARIANT));
  EXPECT_EQ(nav.url, L"C:\\suite\\help\\dghelp2.htm");
  EXPECT_EQ(b->calls[1].id, 100);
  EXPECT_EQ(b->calls[2].id, 101);
  EXPECT_EQ(b->calls[3].id, -550);
  for (int i = 1; i < 4; ++i) EXPECT_TRUE(b->calls[i].types.empty());

  // A resize sets Width, then Height; a zero width or height sets nothing.
  b->calls.clear();
  ::SetWindowPos(view_->hwnd(), nullptr, 0, 0, 320, 200, SWP_NOZORDER | SWP_NOMOVE);
  ASSERT_EQ(b->calls.size(), 2u);
  EXPECT_EQ(b->calls[0].id, 208);
  EXPECT_EQ(b->calls[0].value, 320);
  EXPECT_EQ(b->calls[1].id, 209);
  EXPECT_EQ(b->calls[1].value, 200);
  for (const Call& c : b->calls) {
    EXPECT_EQ(c.flags, DISPATCH_PROPERTYPUT);
    EXPECT_TRUE(c.namedPut);
  }
  b->calls.clear();
  ::SetWindowPos(view_->hwnd(), nullptr, 0, 0, 0, 200, SWP_NOZORDER | SWP_NOMOVE);
  ::SetWindowPos(view_->hwnd(), nullptr, 0, 0, 320, 0, SWP_NOZORDER | SWP_NOMOVE);
  EXPECT_TRUE(b->calls.empty());
  RECT rc;
  ::GetWindowRect(view_->browserWindow(), &rc);
  EXPECT_EQ(rc.right - rc.left, 320);  // left as it was
  EXPECT_EQ(rc.bottom - rc.top, 200);
}

TEST_F(WebViewTest, CommandStateChangeReachesTheMainWindow) {
  Serve(&good_);
  bool back = true, forward = false;
  ASSERT_TRUE(MakeView(WebNavTarget{&back, &forward, &MainWindow}));
  FakeBrowser* b = FakeBrowser::last;
  ASSERT_NE(b, nullptr);
  TakeNavStates();

  // After the first navigation the browser reports Back as disabled.
  b->FireEvent(105, {L"2", L"0"});
  EXPECT_FALSE(back);
  EXPECT_EQ(TakeNavStates(), (std::vector<std::pair<WPARAM, LPARAM>>{{32808, 0}}));
  b->FireEvent(105, {L"1", L"-1"});
  EXPECT_TRUE(forward);
  EXPECT_EQ(TakeNavStates(), (std::vector<std::pair<WPARAM, LPARAM>>{{32809, 1}}));
  // The tool bar notice (-1) and other events change nothing.
  b->FireEvent(105, {L"-1", L"0"});
  b->FireEvent(250, {L"2", L"-1"});
  EXPECT_FALSE(back);
  EXPECT_TRUE(forward);
  EXPECT_TRUE(TakeNavStates().empty());

  // Without a main window the flags follow, nothing is posted.
  view_->OnCommandStateChange(2, true);
  EXPECT_TRUE(back);
  EXPECT_EQ(TakeNavStates().size(), 1u);
  WebNavTarget none{&back, &forward, nullptr};
  CWebView lonely(none);
  lonely.OnCommandStateChange(2, false);
  EXPECT_FALSE(back);
  EXPECT_TRUE(TakeNavStates().empty());
}

TEST_F(WebViewTest, ABrowserThatCannotBeMadeFailsTheView) {
  Serve(&failing_);
  ASSERT_FALSE(MakeView(WebNavTarget{}));
  EXPECT_EQ(::GetWindow(g_main, GW_CHILD), nullptr);  // nothing left behind
  // The frame's operations on a view without a browser are skipped.
  view_->Navigate(L"x");
  view_->GoBack();
  EXPECT_FALSE(view_->HasBrowser());
}

}  // namespace
