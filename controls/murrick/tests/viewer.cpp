// A host of the information viewer control, as the main program hosts it:
// created by ProgID in a window, Init, SetProp "Size". With a file name on
// its command line it waits until the first page lists its lines (at most
// 30 s), writes "tab=<text>" for every tab, "count=<n>" and "line=<text>"
// for every line into that file and exits; without one it stays up until
// its window is closed.
#include <windows.h>
#include <commctrl.h>
#include <ole2.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "appkit/axhost.h"
#include "appkit/text.h"
#include "suite/controls.h"

namespace {

LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_CLOSE) {
    ::PostQuitMessage(0);
    return 0;
  }
  return ::DefWindowProcW(h, m, wp, lp);
}

void Pump(DWORD ms) {
  DWORD start = ::GetTickCount();
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
  } while (::GetTickCount() - start < ms);
}

std::wstring TabText(HWND tab, int i) {
  wchar_t text[128] = {};
  TCITEMW item{};
  item.mask = TCIF_TEXT;
  item.pszText = text;
  item.cchTextMax = 128;
  ::SendMessageW(tab, TCM_GETITEMW, (WPARAM)i, (LPARAM)&item);
  return text;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE inst, HINSTANCE, PWSTR cmdLine, int) {
  ::OleInitialize(nullptr);
  ::InitCommonControls();
  WNDCLASSW wc{};
  wc.lpfnWndProc = &Proc;
  wc.hInstance = inst;
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  wc.lpszClassName = L"MurrickViewerHost";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowW(L"MurrickViewerHost", L"Murrick viewer host", WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
                                20, 20, 680, 520, nullptr, nullptr, inst, nullptr);
  ::ShowWindow(window, SW_SHOW);
  RECT client{};
  ::GetClientRect(window, &client);
  appkit::AxHost host;
  if (FAILED(host.Create(suite::Control(suite::kCtlMurrick).progId, window, client, 1001))) return 2;
  if (!host.CallBool(suite::kDispInit, {""})) return 3;
  char size[32];
  std::snprintf(size, sizeof(size), "%ld %ld", client.right, client.bottom);
  host.CallBool(suite::kDispSetProp, {"Size", size});

  std::wstring out = cmdLine ? cmdLine : L"";
  while (!out.empty() && (out.front() == L' ' || out.front() == L'"')) out.erase(0, 1);
  while (!out.empty() && (out.back() == L' ' || out.back() == L'"')) out.pop_back();
  if (out.empty()) {
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) {
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    host.Destroy();
    return 0;
  }

  // The page's reader may still be adding lines: the list is whole once its
  // count stays the same for a moment.
  int count = 0, seen = -1;
  for (int i = 0; i < 300 && (count == 0 || count != seen); ++i) {
    Pump(i == 0 || count == 0 ? 100 : 300);
    seen = count;
    count = std::atoi(host.CallString(suite::kDispGetProp, {"count"}).c_str());
  }
  std::string text;
  HWND sheet = ::GetWindow(host.hwnd(), GW_CHILD);
  HWND tab = ::FindWindowExW(sheet, nullptr, WC_TABCONTROLW, nullptr);
  int tabs = tab ? (int)::SendMessageW(tab, TCM_GETITEMCOUNT, 0, 0) : 0;
  for (int i = 0; i < tabs; ++i) text += "tab=" + appkit::Narrow(TabText(tab, i)) + "\n";
  text += "count=" + std::to_string(count) + "\n";
  for (int i = 0; i < count; ++i) text += "line=" + host.CallString(suite::kDispGetProp, {"line:" + std::to_string(i)});
  host.Destroy();
  ::DestroyWindow(window);
  FILE* f = ::_wfopen(out.c_str(), L"wb");
  if (!f) return 4;
  std::fwrite(text.data(), 1, text.size(), f);
  std::fclose(f);
  ::OleUninitialize();
  return 0;
}
