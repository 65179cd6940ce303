// A client of the information server in a process of its own, for tests
// that load the server from several processes: "quorrel_requester <count>"
// asks for the categories 0, 1 and 8 in turn, every other request with the
// reuse bit, all at once, then waits for the replies. Exit code: the number
// of requests left without their reply 101 (255: no server, 254: bad
// arguments).
#include <windows.h>

#include <cwchar>
#include <cwctype>

#include "suite/info.h"
#include "suite/messages.h"

namespace {

const DWORD kWaitMs = 90000;
int g_replies = 0;
UINT g_message = 0;

LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  if (g_message && msg == g_message && wp == suite::INFO_REPLY_READY) {
    ++g_replies;
    return 1;
  }
  return ::DefWindowProcW(hwnd, msg, wp, lp);
}

}  // namespace

int WINAPI wWinMain(HINSTANCE instance, HINSTANCE, PWSTR args, int) {
  while (*args && std::iswspace(*args)) ++args;
  int count = (int)std::wcstol(args, nullptr, 10);
  if (count <= 0) return 254;
  g_message = ::RegisterWindowMessageW(suite::kQuorrelMessage);
  HWND server = ::FindWindowW(nullptr, suite::kInfoServerTitle);
  if (!server) return 255;
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = instance;
  wc.lpszClassName = L"QuorrelRequester";
  ::RegisterClassW(&wc);
  HWND self = ::CreateWindowW(wc.lpszClassName, L"", WS_OVERLAPPED, 0, 0, 0, 0, nullptr, nullptr, instance, nullptr);
  if (!self) return 255;
  const unsigned categories[3] = {0, 1, 8};
  for (int i = 0; i < count; ++i) {
    uint32_t word = categories[i % 3] | (i % 2 ? suite::INFO_REQUEST_REUSE : 0u);
    ::PostMessageW(server, g_message, reinterpret_cast<WPARAM>(self), (LPARAM)word);
  }
  DWORD start = ::GetTickCount();
  while (g_replies < count && ::GetTickCount() - start < kWaitMs) {
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 100, QS_ALLINPUT);
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) ::DispatchMessageW(&msg);
  }
  ::DestroyWindow(self);
  return count - g_replies;
}
