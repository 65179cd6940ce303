// Test program: shows a window titled by -title, answers the registered
// message "halvix_probe_ping" (wParam = reply window, lParam = a number) by
// posting "halvix_probe_pong" (wParam = the number + 1, lParam = its process
// id) to the reply window, then closes and exits with the code given by -exit.
// Its list box (100) holds "alpha" and "beta"; the button 101 adds "gamma".
#include <windows.h>

#include <string>

#include "appkit/app.h"
#include "appkit/window.h"

namespace {

class ProbeWindow : public appkit::Window {
 public:
  UINT ping = ::RegisterWindowMessageW(L"halvix_probe_ping");
  UINT pong = ::RegisterWindowMessageW(L"halvix_probe_pong");
  int exitCode = 0;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == ping) {
      ::PostMessageW(reinterpret_cast<HWND>(wp), pong, (WPARAM)(lp + 1), (LPARAM)::GetCurrentProcessId());
      ::PostMessageW(hwnd(), WM_CLOSE, 0, 0);
      return 0;
    }
    if (msg == WM_CREATE) {
      HWND list = ::CreateWindowExW(0, L"LISTBOX", L"", WS_CHILD | WS_VISIBLE | LBS_NOTIFY, 5, 5, 120, 60, hwnd(),
                                    reinterpret_cast<HMENU>(100), nullptr, nullptr);
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"alpha"));
      ::SendMessageW(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"beta"));
      ::CreateWindowExW(0, L"BUTTON", L"Add", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 130, 5, 50, 20, hwnd(),
                        reinterpret_cast<HMENU>(101), nullptr, nullptr);
    }
    if (msg == WM_COMMAND && LOWORD(wp) == 101) {
      ::SendDlgItemMessageW(hwnd(), 100, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(L"gamma"));
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage(exitCode);
    return Default(msg, wp, lp);
  }
};

std::wstring ArgAfter(const std::wstring& cmd, const std::wstring& sw) {
  size_t p = cmd.find(sw);
  if (p == std::wstring::npos) return {};
  p += sw.size();
  while (p < cmd.size() && cmd[p] == L' ') ++p;
  size_t end = cmd.find(L" -", p);
  return cmd.substr(p, end == std::wstring::npos ? std::wstring::npos : end - p);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  std::wstring cmd = cmdLine ? cmdLine : L"";
  appkit::App app;
  ProbeWindow w;
  w.exitCode = _wtoi(ArgAfter(cmd, L"-exit").c_str());
  std::wstring title = ArgAfter(cmd, L"-title");
  if (!w.Create(L"HalvixProbe", title.c_str(), WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 10, 10, 200, 100, nullptr)) return 99;
  return app.Run();
}
