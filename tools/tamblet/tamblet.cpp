// Report wizard Tamblet, as far as the main program relies on it: a window
// with a "Collect All" button. Its thread takes "kyt_diag_msg": code 0 keeps
// lParam as the host window, every other code is taken and dropped. "Collect
// All" asks the host to collect all system information (command 32789).
#include <windows.h>

#include "appkit/app.h"
#include "appkit/window.h"
#include "suite/diag.h"

namespace {

constexpr int kCollectAllButton = 1001;
constexpr WPARAM kCollectSystemInfoCommand = 32789;

class WizardApp : public appkit::App {
 public:
  UINT diagMessage = ::RegisterWindowMessageW(suite::kDiagMessage);
  HWND host = nullptr;

  bool PreTranslate(MSG& msg) override {
    if (!diagMessage || msg.message != diagMessage) return false;
    if (msg.wParam == suite::DiagHostWindow && ::IsWindow(reinterpret_cast<HWND>(msg.lParam)))
      host = reinterpret_cast<HWND>(msg.lParam);
    return true;
  }
};

class WizardWindow : public appkit::Window {
 public:
  explicit WizardWindow(WizardApp& app) : app_(app) {}

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    switch (msg) {
      case WM_CREATE:
        ::CreateWindowExW(0, L"BUTTON", L"Collect All", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 120, 26,
                          hwnd(), reinterpret_cast<HMENU>(kCollectAllButton), nullptr, nullptr);
        break;
      case WM_COMMAND:
        if (LOWORD(wp) == kCollectAllButton) {
          if (app_.diagMessage && app_.host) ::PostMessageW(app_.host, WM_COMMAND, kCollectSystemInfoCommand, 0);
          return 0;
        }
        break;
      case WM_DESTROY:
        ::PostQuitMessage(0);
        break;
    }
    return Default(msg, wp, lp);
  }

 private:
  WizardApp& app_;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  WizardApp app;
  WizardWindow w(app);
  if (!w.Create(L"TambletWizard", L"Tamblet", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                140, nullptr))
    return 1;
  return app.Run();
}
