// A program that hosts controls of the suite the way a host does: for each
// control named, in turn, it creates the control by its ProgID, calls Init
// with the given command line and destroys the control again, so that the
// runner reads the settings and writes back the values it used.
// Arguments: <ProgID> <command line for Init> [<ProgID> <command line>...].
// Exit code 0 when every Init answered TRUE; else, for the first control
// that did not, 100 + 3 * its place (from 0) + 1 when Init answered FALSE
// or + 2 when the control could not be created.
#include <windows.h>
#include <ole2.h>

#include <string>

#include "appkit/axhost.h"
#include "suite/controls.h"

namespace {

// 0 when Init answered TRUE, 1 when FALSE, 2 when the control could not be
// created.
int HostOnce(HWND window, const wchar_t* progId, const std::wstring& cmdLine) {
  appkit::AxHost host;
  if (FAILED(host.Create(progId, window, RECT{10, 10, 650, 490}, 1001))) return 2;
  HRESULT hr = E_FAIL;
  bool ok = host.CallBool(suite::kDispInit, {cmdLine}, &hr);
  host.Destroy();
  return SUCCEEDED(hr) && ok ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  if (argc < 3 || argc % 2 == 0) return 3;
  ::OleInitialize(nullptr);
  HWND window = ::CreateWindowExW(0, L"STATIC", L"settings host", WS_OVERLAPPEDWINDOW, 0, 0, 700, 560, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
  int exitCode = 0;
  for (int i = 1; i + 1 < argc && exitCode == 0; i += 2) {
    int result = HostOnce(window, argv[i], argv[i + 1]);
    if (result != 0) exitCode = 100 + 3 * ((i - 1) / 2) + result;
  }
  ::DestroyWindow(window);
  ::OleUninitialize();
  return exitCode;
}
