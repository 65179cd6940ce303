// The help window with the platform's web browser control: CWebBrowser calls
// the control by dispatch id, CWebView hosts it and reports the control's
// Back/Forward availability to the main window.
#pragma once
#include <windows.h>
#include <ole2.h>

#include <string>

#include "appkit/axhost.h"
#include "appkit/frame.h"

// {8856F961-340A-11D0-A96B-00C04FD705A2}
extern const CLSID CLSID_HalvixWebBrowser;
// {34A715A0-6587-11D0-924A-0020AFC7AC4D}: the browser's event interface.
extern const IID DIID_HalvixWebBrowserEvents2;

// The WebBrowser control, called by dispatch id.
class CWebBrowser {
 public:
  enum Dispid : DISPID {
    kGoBack = 100,
    kGoForward = 101,
    kRefresh = -550,
    kNavigate2 = 500,
    kWidth = 208,
    kHeight = 209,
    kCommandStateChange = 105,  // event
  };

  HRESULT Create(HWND parent, const RECT& rc, UINT id, DWORD style);
  void Destroy() { host_.Destroy(); }
  HWND hwnd() const { return host_.hwnd(); }
  bool IsWindowValid() const { return host_.hwnd() && ::IsWindow(host_.hwnd()); }
  appkit::AxHost& host() { return host_; }

  HRESULT GoBack();
  HRESULT GoForward();
  HRESULT Refresh();
  HRESULT Navigate2(VARIANT* url, VARIANT* flags, VARIANT* targetFrameName, VARIANT* postData, VARIANT* headers);
  HRESULT put_Width(long width);
  HRESULT put_Height(long height);

 private:
  HRESULT Call(DISPID id, WORD flags, VARIANT* args, UINT argc, bool named);
  appkit::AxHost host_;
};

// Where the view reports the Back/Forward availability.
struct WebNavTarget {
  bool* backEnabled = nullptr;
  bool* forwardEnabled = nullptr;
  // The application's main window (nullptr: nothing is posted).
  HWND (*mainWindow)() = nullptr;
};

class CWebView : public appkit::View {
 public:
  static constexpr UINT kBrowserId = 1144;
  explicit CWebView(const WebNavTarget& target = {}) : target_(target) {}
  // The window goes first, while the browser it holds is still there.
  ~CWebView() override { Destroy(); }
  const wchar_t* ClassName() const override { return L"HalvixWebView"; }
  bool CreateView(HWND parent, UINT id, const RECT& rc, appkit::Document* doc) override;
  // Whether the browser's window exists.
  bool HasBrowser() const { return browser_.IsWindowValid(); }
  HWND browserWindow() const { return browser_.hwnd(); }
  // Operations of the main frame; each only when the control window exists.
  void Navigate(const std::wstring& url);
  void GoBack();
  void GoForward();
  void Refresh();
  // The control's CommandStateChange event.
  void OnCommandStateChange(long command, bool enable);

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override;

 private:
  WebNavTarget target_;
  CWebBrowser browser_;
};
