// Test host of the information server: starts it as a Quorrel control does
// when it is created, and stops it when its own window closes. Exit code:
// the number of request workers still alive after the server closed.
#include <windows.h>

#include "appkit/app.h"
#include "appkit/window.h"
#include "module.h"
#include "worker.h"

namespace {

class HostWindow : public appkit::Window {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_CLOSE) {
      if (owner) quorrel::StopQuorrelServer();
      owner = false;
      Destroy();
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage((int)quorrel::LiveWorkerCount());
    return Default(msg, wp, lp);
  }

 public:
  bool owner = false;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  appkit::App app;
  HostWindow host;
  if (!host.Create(L"QuorrelTestHost", L"Quorrel test host", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100, nullptr))
    return 200;
  host.owner = quorrel::StartQuorrelServer(::GetModuleHandleW(nullptr));
  return app.Run();
}
