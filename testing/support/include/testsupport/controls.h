// Test helpers shared by the tests that host the suite's controls:
// registration through the system's regsvr32 and a host window.
#pragma once
#include <windows.h>

#include <commctrl.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "suite/controls.h"
#include "suite/diag.h"
#include "testsupport/machine.h"
#include "testsupport/process.h"

namespace ctltest {

// Tells a module program that was started (and is idle) what the main
// program tells it: the window its report goes to, then the start with the
// cookie (its process id). The registered message of the protocol, which the
// report comes back as.
inline UINT PostHostAndStart(const testsupport::Process& p, HWND host) {
  UINT diag = ::RegisterWindowMessageW(suite::kDiagMessage);
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagHostWindow, (LPARAM)host);
  ::PostThreadMessageW(p.MainThreadId(), diag, suite::DiagStart, (LPARAM)p.Pid());
  return diag;
}

// Starts a module program as the main program does (host window, then
// start) and waits up to `reportMs` for its report. True when it reported;
// `result` then holds the reported result. `p` keeps the process.
inline bool StartModuleAndWaitReport(testsupport::Process& p, const std::wstring& path, const std::wstring& args,
                                     WPARAM* result, DWORD reportMs = 120000) {
  if (!p.Start(path, args)) {
    ADD_FAILURE() << appkit::Narrow(p.LastError());
    return false;
  }
  EXPECT_TRUE(p.WaitIdle(10000));
  testsupport::MessageCatcher host;
  UINT diag = PostHostAndStart(p, host.hwnd());
  testsupport::MessageCatcher::Caught done{};
  if (!host.WaitFor(diag, reportMs, &done)) return false;
  EXPECT_EQ((DWORD)done.lp, p.Pid());
  *result = done.wp;
  return true;
}

// Answers every message box of this process titled `caption` with `button`
// while it lives (the memory test asks before a run that is not automatic).
class MessageBoxAnswerer {
 public:
  MessageBoxAnswerer(const wchar_t* caption, int button) : caption_(caption), button_(button) {
    thread_ = ::CreateThread(nullptr, 0, &MessageBoxAnswerer::Run, this, 0, nullptr);
  }
  ~MessageBoxAnswerer() {
    stop_ = true;
    if (thread_) {
      ::WaitForSingleObject(thread_, 5000);
      ::CloseHandle(thread_);
    }
  }

 private:
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<MessageBoxAnswerer*>(p);
    while (!self->stop_) {
      HWND box = ::FindWindowW(L"#32770", self->caption_.c_str());
      DWORD pid = 0;
      if (box) ::GetWindowThreadProcessId(box, &pid);
      if (box && pid == ::GetCurrentProcessId()) ::PostMessageW(box, WM_COMMAND, self->button_, 0);
      ::Sleep(50);
    }
    return 0;
  }
  std::wstring caption_;
  int button_;
  volatile bool stop_ = false;
  HANDLE thread_ = nullptr;
};

// The pages of the sheet a control shows: the tab texts of its tab control.
inline std::vector<std::wstring> SheetTabs(HWND sheet) {
  std::vector<std::wstring> tabs;
  HWND tab = ::FindWindowExW(sheet, nullptr, L"SysTabControl32", nullptr);
  int n = tab ? (int)::SendMessageW(tab, 0x1304 /* TCM_GETITEMCOUNT */, 0, 0) : 0;
  for (int i = 0; i < n; ++i) {
    wchar_t text[128] = {};
    TCITEMW item{};
    item.mask = TCIF_TEXT;
    item.pszText = text;
    item.cchTextMax = 128;
    ::SendMessageW(tab, TCM_GETITEMW, (WPARAM)i, (LPARAM)&item);
    tabs.push_back(text);
  }
  return tabs;
}

using testsupport::RegisterControl;
using testsupport::RunRegsvr32;

// A method of a hosted test control by DISPID; the call itself must reach
// the control.
inline bool Call(appkit::AxHost& host, DISPID id, const std::vector<appkit::AxArg>& args = {}) {
  HRESULT hr = E_FAIL;
  bool r = host.CallBool(id, args, &hr);
  EXPECT_EQ(hr, S_OK) << "DISPID " << id;
  return r;
}
inline std::string GetProp(appkit::AxHost& host, const std::string& name) {
  HRESULT hr = E_FAIL;
  std::string r = host.CallString(suite::kDispGetProp, {name}, &hr);
  EXPECT_EQ(hr, S_OK);
  return r;
}

// A plain top-level window to host controls in.
inline HWND CreateHostWindow(int width, int height) {
  static bool registered = false;
  if (!registered) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = ::DefWindowProcW;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.hbrBackground = (HBRUSH)(COLOR_WINDOW + 1);
    wc.lpszClassName = L"HalvixTestHost";
    ::RegisterClassW(&wc);
    registered = true;
  }
  RECT rc{0, 0, width, height};
  ::AdjustWindowRect(&rc, WS_OVERLAPPEDWINDOW, FALSE);
  HWND h = ::CreateWindowW(L"HalvixTestHost", L"Test host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 10, 10,
                           rc.right - rc.left, rc.bottom - rc.top, nullptr, nullptr, ::GetModuleHandleW(nullptr),
                           nullptr);
  ::ShowWindow(h, SW_SHOWNOACTIVATE);
  return h;
}

// Position of a window relative to its parent's client area.
inline RECT RectInParent(HWND hwnd) {
  RECT rc{};
  ::GetWindowRect(hwnd, &rc);
  ::MapWindowPoints(nullptr, ::GetParent(hwnd), reinterpret_cast<POINT*>(&rc), 2);
  return rc;
}

}  // namespace ctltest
