// The link from a window handle to the object that serves it, kept in a
// window property. A handle carries at most one object of each kind, and the
// kinds never see each other's object: an appkit::Window may subclass the
// window of a dialog or a control, and the message loop tells dialogs from
// other windows by their link.
#pragma once
#include <windows.h>

namespace appkit {

enum class BoundKind {
  Window,   // appkit::Window, created or subclassed
  Dialog,   // appkit::Dialog and the sheets and pages built on it
  Control,  // appkit::AxControl's in-place window
  Plain,    // a window procedure of its own (small tools, test helpers)
};

// Links `object` to `hwnd` as its object of `kind`, replacing an earlier one.
// False for a null handle or object, or when the property cannot be set.
bool BindWindowObject(HWND hwnd, void* object, BoundKind kind);
// Removes the link of `kind` (nothing happens when there is none).
void UnbindWindowObject(HWND hwnd, BoundKind kind);
// The object of `kind` linked to `hwnd`; nullptr when none (or no handle).
void* BoundWindowObject(HWND hwnd, BoundKind kind);

template <class T>
T* BoundObject(HWND hwnd, BoundKind kind) {
  return static_cast<T*>(BoundWindowObject(hwnd, kind));
}

}  // namespace appkit
