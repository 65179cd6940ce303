// A program that hosts one control of the suite the way a host does: it
// creates the control by its ProgID, calls Init with the given command line
// and destroys the control again, so that the runner reads the settings and
// writes back the values it used. Exit code 0 when Init answered TRUE, 1
// when it answered FALSE, 2 when the control could not be created.
// Arguments: <ProgID> [command line for Init].
#include <windows.h>
#include <ole2.h>

#include <string>

#include "appkit/axhost.h"
#include "suite/controls.h"

int wmain(int argc, wchar_t** argv) {
  if (argc < 2) return 3;
  std::wstring cmdLine = argc > 2 ? argv[2] : L"";
  ::OleInitialize(nullptr);
  HWND window = ::CreateWindowExW(0, L"STATIC", L"settings host", WS_OVERLAPPEDWINDOW, 0, 0, 700, 560, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
  int result = 2;
  {
    appkit::AxHost host;
    if (SUCCEEDED(host.Create(argv[1], window, RECT{10, 10, 650, 490}, 1001))) {
      HRESULT hr = E_FAIL;
      bool ok = host.CallBool(suite::kDispInit, {cmdLine}, &hr);
      result = SUCCEEDED(hr) && ok ? 0 : 1;
      host.Destroy();
    }
  }
  ::DestroyWindow(window);
  ::OleUninitialize();
  return result;
}
