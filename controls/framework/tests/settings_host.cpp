// A program that hosts controls of the suite the way a host does: for each
// control named, in turn, it creates the control by its ProgID, calls Init
// with the given command line and destroys the control again, so that the
// runner reads the settings and writes back the values it used.
// Arguments: <passes> <event name> <ProgID> <command line for Init>
// [<ProgID> <command line>...]. It hosts the controls <passes> times, each
// time with new instances: after each pass it sets the event "<event
// name>.done" and, before the next, waits (at most two minutes) for
// "<event name>.next", so that the caller can seed the settings anew.
// Exit code 0 when every Init answered TRUE; else, for the first control
// that did not, 100 + 3 * its place (from 0) + 1 when Init answered FALSE
// or + 2 when the control could not be created; 4 when the caller never
// asked for the next pass.
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
  if (argc < 5 || argc % 2 == 0) return 3;
  int passes = _wtoi(argv[1]);
  std::wstring event = argv[2];
  HANDLE done = ::CreateEventW(nullptr, FALSE, FALSE, (event + L".done").c_str());
  HANDLE next = ::CreateEventW(nullptr, FALSE, FALSE, (event + L".next").c_str());
  if (passes < 1 || !done || !next) return 3;
  ::OleInitialize(nullptr);
  HWND window = ::CreateWindowExW(0, L"STATIC", L"settings host", WS_OVERLAPPEDWINDOW, 0, 0, 700, 560, nullptr,
                                  nullptr, ::GetModuleHandleW(nullptr), nullptr);
  int exitCode = 0;
  for (int pass = 1; pass <= passes && exitCode == 0; ++pass) {
    if (pass > 1 && ::WaitForSingleObject(next, 120000) != WAIT_OBJECT_0) {
      exitCode = 4;
      break;
    }
    for (int i = 3; i + 1 < argc && exitCode == 0; i += 2) {
      int result = HostOnce(window, argv[i], argv[i + 1]);
      if (result != 0) exitCode = 100 + 3 * ((i - 3) / 2) + result;
    }
    if (exitCode == 0) ::SetEvent(done);
  }
  ::DestroyWindow(window);
  ::OleUninitialize();
  return exitCode;
}
