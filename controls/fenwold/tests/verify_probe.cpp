// Opens the disk control's runner and sheet in a window of its own, presses
// Verify and writes what the results list then holds into the file named
// by its first argument (first line: what the page offered). The second
// argument is the control's command line ("-Floppy" or "-").
#include <windows.h>

#include <cstdio>
#include <string>

#include "appkit/text.h"
#include "ctlfw/sheet.h"
#include "ctlfw/testpage.h"
#include "runner.h"

typedef LONG(WINAPI* CountFn)();

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  FILE* out = std::fopen(argv[1], "wb");
  if (!out) return 3;
  HWND control = ::CreateWindowExW(0, L"STATIC", L"control", WS_OVERLAPPEDWINDOW, 0, 0, 640, 480, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
  static CFenwoldRunner runner;
  if (!runner.Init(control, argv[2]) || !runner.GetSheet() || !runner.GetSheet()->Test()) return 4;
  HWND page = runner.GetSheet()->Test()->hwnd();
  HWND verify = ::GetDlgItem(page, 1012);
  std::fprintf(out, "%s %s %s\n", (::GetVersion() & 0x80000000u) ? "9x" : "nt",
               (::GetWindowLongW(verify, GWL_STYLE) & WS_VISIBLE) ? "visible" : "hidden", ::IsWindowEnabled(verify) ? "enabled" : "disabled");
  ::SendMessageW(page, WM_COMMAND, MAKEWPARAM(1012, BN_CLICKED), (LPARAM)verify);
  HWND list = ::GetDlgItem(page, 1005);
  LRESULT n = ::SendMessageW(list, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < n; ++i) {
    LRESULT len = ::SendMessageW(list, LB_GETTEXTLEN, i, 0);
    if (len < 0 || len > 1000) continue;
    wchar_t text[1024] = {};
    ::SendMessageW(list, LB_GETTEXT, i, (LPARAM)text);
    std::fprintf(out, "%s\n", appkit::Narrow(text).c_str());
  }
  HMODULE fake = ::GetModuleHandleW(L"Vexholm.DLL");
  auto count = fake ? reinterpret_cast<CountFn>(::GetProcAddress(fake, "FakeRequestCount")) : nullptr;
  std::fprintf(out, "requests %ld\n", count ? count() : -1L);
  std::fclose(out);
  runner.Cleanup();
  ::DestroyWindow(control);
  return 0;
}
