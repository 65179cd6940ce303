// A window's icon the classic dialog way: the big and small icons set from
// one icon resource, and, while the window is minimised, the icon painted
// centred in its client area and given as its drag icon.
#pragma once
#include <windows.h>

namespace appkit {

// Loads icon `id` of `module` at the big and the small size, gives both to
// `window` (WM_SETICON) and answers the big one (nullptr when the resource
// is missing; then nothing is set).
HICON SetWindowIcons(HWND window, HINSTANCE module, int id);

// For a window procedure: WM_QUERYDRAGICON answers `icon`; WM_PAINT while the
// window is minimised erases the icon's background (WM_ICONERASEBKGND) and
// draws `icon` centred in the client area. Returns true with `*result` set
// for those; false for every other message, and for WM_PAINT of a window that
// is not minimised, which then paints as usual.
bool HandleMinimisedIcon(HWND window, HICON icon, UINT msg, LRESULT* result);

}  // namespace appkit
