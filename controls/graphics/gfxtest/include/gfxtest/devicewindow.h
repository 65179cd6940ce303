// The retained-mode device's own share of its window's messages. A device
// made from a clipper also offers a window-device interface, through which
// it repaints itself from a paint device context and follows the window's
// activation. The toolchain's headers do not declare it, so it is declared
// here with its interface id.
#pragma once

#include <windows.h>
// (after windows.h)
#include <d3drm.h>

struct IDirect3DRMWinDevice : public IDirect3DRMObject {
  virtual HRESULT STDMETHODCALLTYPE HandlePaint(HDC dc) = 0;
  virtual HRESULT STDMETHODCALLTYPE HandleActivate(WORD state) = 0;
};

namespace gfxtest {

// {C5016CC0-D273-11CE-AC48-0000C03825A1}
inline const IID kIidDirect3DRMWinDevice = {
    0xc5016cc0, 0xd273, 0x11ce, {0xac, 0x48, 0x00, 0x00, 0xc0, 0x38, 0x25, 0xa1}};

// What the window does when the device has no window-device interface: the
// paint draws the scene itself.
class DeviceWindowFallback {
 public:
  virtual ~DeviceWindowFallback() = default;
  virtual void Paint() = 0;
};

// WM_ACTIVATE and WM_PAINT of the device's window, for its window procedure.
// WM_ACTIVATE: with a device, its window-device interface handles the
// activation state (the low word of `wp`); the default procedure still runs.
// WM_PAINT: when `canPaint` (device and viewport exist) and the window is not
// minimised, the window is painted between BeginPaint and EndPaint by the
// interface with the paint device context, or by `fallback` when the device
// has none or its paint fails; the message is then answered with 0.
// Returns true with `*result` set when the message needs no default handling.
bool DeviceWindowMessage(HWND window, UINT msg, WPARAM wp, IUnknown* device, bool canPaint,
                         DeviceWindowFallback& fallback, LRESULT* result);

}  // namespace gfxtest
