// The big and small icons of a window, and its icon while minimised.
#include "appkit/wndicon.h"

namespace appkit {

HICON SetWindowIcons(HWND window, HINSTANCE module, int id) {
  HICON big = ::LoadIconW(module, MAKEINTRESOURCEW(id));
  if (!big) return nullptr;
  HICON smallIcon = static_cast<HICON>(::LoadImageW(module, MAKEINTRESOURCEW(id), IMAGE_ICON,
                                                ::GetSystemMetrics(SM_CXSMICON), ::GetSystemMetrics(SM_CYSMICON),
                                                LR_SHARED));
  ::SendMessageW(window, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
  ::SendMessageW(window, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon ? smallIcon : big));
  return big;
}

bool HandleMinimisedIcon(HWND window, HICON icon, UINT msg, LRESULT* result) {
  if (msg == WM_QUERYDRAGICON) {
    *result = reinterpret_cast<LRESULT>(icon);
    return true;
  }
  if (msg != WM_PAINT || !::IsIconic(window)) return false;
  *result = 0;
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(window, &ps);
  if (!dc) return true;
  ::SendMessageW(window, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT rc;
  ::GetClientRect(window, &rc);
  const int x = (rc.right - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (rc.bottom - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  if (icon) ::DrawIcon(dc, x, y, icon);
  ::EndPaint(window, &ps);
  return true;
}

}  // namespace appkit
