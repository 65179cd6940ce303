// Posts one window command to the running information server:
// "quorrel_command <code>" (117 show the information sheet, 118 hide it,
// 121 show the configuration-file sheet). Exit code 0 when posted, 1 when
// no server runs, 2 for a bad argument.
#include <windows.h>

#include <cwchar>

#include "suite/info.h"
#include "suite/messages.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR cmdLine, int) {
  wchar_t* end = nullptr;
  unsigned long code = std::wcstoul(cmdLine ? cmdLine : L"", &end, 10);
  if (!cmdLine || end == cmdLine) return 2;
  HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  if (!server) return 1;
  UINT msg = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  return ::PostMessageW(server, msg, 0, (LPARAM)code) ? 0 : 1;
}
