// The retained-mode device's own handling of its window's activation and
// painting, through its window-device interface when it has one.
#include "gfxtest/devicewindow.h"

namespace gfxtest {

namespace {

// The device's window-device interface, or nullptr when it has none (the
// caller releases it).
IDirect3DRMWinDevice* WinDeviceOf(IUnknown* device) {
  void* p = nullptr;
  if (!device || FAILED(device->QueryInterface(kIidDirect3DRMWinDevice, &p))) return nullptr;
  return static_cast<IDirect3DRMWinDevice*>(p);
}

}  // namespace

bool DeviceWindowMessage(HWND window, UINT msg, WPARAM wp, IUnknown* device, bool canPaint,
                         DeviceWindowFallback& fallback, LRESULT* result) {
  if (msg == WM_ACTIVATE) {
    if (IDirect3DRMWinDevice* win = WinDeviceOf(device)) {
      win->HandleActivate(LOWORD(wp));
      win->Release();
    }
    return false;
  }
  if (msg != WM_PAINT || !device || !canPaint || ::IsIconic(window)) return false;
  *result = 0;
  PAINTSTRUCT ps;
  if (!::BeginPaint(window, &ps)) return true;
  // A device that cannot repaint from the paint context draws anew.
  bool painted = false;
  if (IDirect3DRMWinDevice* win = WinDeviceOf(device)) {
    painted = SUCCEEDED(win->HandlePaint(ps.hdc));
    win->Release();
  }
  if (!painted) fallback.Paint();
  ::EndPaint(window, &ps);
  return true;
}

}  // namespace gfxtest
