// A tool as far as the main program relies on it while the real one is not
// built: a program that runs until its window is closed. It does not speak
// "kyt_diag_msg"; messages posted to its thread have no effect. Built once
// per tool with TOOL_TITLE and TOOL_CLASS (wide string literals).
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
  if (!w.Create(TOOL_CLASS, TOOL_TITLE, WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, CW_USEDEFAULT, CW_USEDEFAULT, 320, 140,
                nullptr))
    return 1;
  return app.Run();
}
