#include "appkit/binding.h"

namespace appkit {

namespace {

const wchar_t* PropertyName(BoundKind kind) {
  switch (kind) {
    case BoundKind::Window: return L"appkit.Window";
    case BoundKind::Dialog: return L"appkit.Dialog";
    case BoundKind::Control: return L"appkit.Control";
    case BoundKind::Plain: break;
  }
  return L"appkit.Object";
}

}  // namespace

bool BindWindowObject(HWND hwnd, void* object, BoundKind kind) {
  return hwnd && object && ::SetPropW(hwnd, PropertyName(kind), object);
}

void UnbindWindowObject(HWND hwnd, BoundKind kind) {
  if (hwnd) ::RemovePropW(hwnd, PropertyName(kind));
}

void* BoundWindowObject(HWND hwnd, BoundKind kind) {
  return hwnd ? ::GetPropW(hwnd, PropertyName(kind)) : nullptr;
}

}  // namespace appkit
