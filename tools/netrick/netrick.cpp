// Network tool Netrick, as far as the main program relies on it: a program
// that runs until its window is closed. It does not speak "kyt_diag_msg";
// messages posted to its thread have no effect.
#include <windows.h>

#include "appkit/app.h"
#include "appkit/window.h"

namespace {

class ToolWindow : public appkit::Window {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return Default(msg, wp, lp);
  }
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  appkit::App app;
  ToolWindow w;
  if (!w.Create(L"NetrickTools", L"Netrick", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, CW_USEDEFAULT, CW_USEDEFAULT, 320,
                140, nullptr))
    return 1;
  return app.Run();
}
