// Test host of the information server: behaves as one Quorrel control does
// from its creation (start a server when the machine has none, watch for
// one that has gone) until its own window closes; with "-Control" it
// creates the registered Quorrel control instead. Exit code: the number of
// request workers still alive after the server closed.
#include <windows.h>
#include <ole2.h>

#include <cwchar>

#include "appkit/app.h"
#include "appkit/window.h"
#include "module.h"
#include "suite/controls.h"
#include "worker.h"

namespace {

class HostWindow : public appkit::Window {
 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override {
    if (msg == WM_CLOSE) {
      if (attached) quorrel::DetachQuorrelControl();
      attached = false;
      if (control) control->Release();
      control = nullptr;
      Destroy();
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage((int)quorrel::LiveWorkerCount());
    return Default(msg, wp, lp);
  }

 public:
  bool attached = false;
  IUnknown* control = nullptr;
};

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  appkit::App app;
  HostWindow host;
  if (!host.Create(L"QuorrelTestHost", L"Quorrel test host", WS_OVERLAPPEDWINDOW, 0, 0, 0, 200, 100, nullptr))
    return 200;
  if (std::wcsstr(::GetCommandLineW(), L"-Control")) {
    ::OleInitialize(nullptr);
    if (FAILED(::CoCreateInstance(suite::Control(suite::kCtlQuorrel).clsid, nullptr, CLSCTX_INPROC_SERVER,
                                  IID_IUnknown, reinterpret_cast<void**>(&host.control))))
      return 201;
  } else {
    quorrel::AttachQuorrelControl(::GetModuleHandleW(nullptr));
    host.attached = true;
  }
  int code = app.Run();
  if (host.control) host.control->Release();
  return code;
}
