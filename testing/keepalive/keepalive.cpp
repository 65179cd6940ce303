// Keeps one hidden window alive for the whole test run. Wine's desktop
// process stays up while any window exists, which makes each test program's
// first window cheap.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR, int) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = DefWindowProcW;
  wc.hInstance = inst;
  wc.lpszClassName = L"HalvixTestKeepAlive";
  RegisterClassW(&wc);
  CreateWindowExW(0, wc.lpszClassName, L"Halvix test keep-alive", WS_OVERLAPPED, 0, 0, 1, 1, nullptr, nullptr, inst,
                  nullptr);
  MSG msg;
  while (GetMessageW(&msg, nullptr, 0, 0) > 0) DispatchMessageW(&msg);
  return 0;
}
