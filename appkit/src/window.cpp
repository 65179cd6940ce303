#include "appkit/window.h"

#include "appkit/paths.h"

namespace appkit {

Window::~Window() {
  HWND h = hwnd();
  if (h && ::IsWindow(h)) {
    // The window goes without its object: nothing reaches a half-destroyed one.
    Detach();
    if (prevProc_) ::SetWindowLongPtrW(h, GWLP_WNDPROC, (LONG_PTR)prevProc_);
    ::DestroyWindow(h);
  }
}

Window* Window::FromHandle(HWND hwnd) { return Bound<Window>(hwnd, BoundKind::Window); }

bool Window::Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
                    int x, int y, int w, int h, HWND parent, HMENU menuOrId) {
  HINSTANCE inst = ThisModule();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  if (!::GetClassInfoExW(inst, className, &wc)) {
    wc = WNDCLASSEXW{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = &Window::StaticProc;
    wc.hInstance = inst;
    wc.hCursor = ::LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = className;
    if (!::RegisterClassExW(&wc)) return false;
  }
  Announce announce(this);
  return ::CreateWindowExW(exStyle, className, title, style, x, y, w, h, parent, menuOrId, inst, this) != nullptr;
}

bool Window::Subclass(HWND hwnd) {
  if (!hwnd || FromHandle(hwnd) || !Attach(hwnd)) return false;
  prevProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)&Window::StaticProc));
  return true;
}

void Window::Destroy() {
  if (hwnd() && ::IsWindow(hwnd())) ::DestroyWindow(hwnd());
}

LRESULT Window::Default(UINT msg, WPARAM wp, LPARAM lp) {
  if (prevProc_) return ::CallWindowProcW(prevProc_, hwnd(), msg, wp, lp);
  return ::DefWindowProcW(hwnd(), msg, wp, lp);
}

LRESULT Window::WndProc(UINT msg, WPARAM wp, LPARAM lp) {
  LRESULT result = 0;
  if (OnMessage(msg, wp, lp, &result)) return result;
  return Default(msg, wp, lp);
}

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  auto* self = static_cast<Window*>(Enter(hwnd, BoundKind::Window));
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = self->WndProc(msg, wp, lp);
  if (Leave(hwnd, msg, self)) {
    if (self->prevProc_) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)self->prevProc_);
    self->prevProc_ = nullptr;
    self->OnFinalDestroy();
  }
  return r;
}

}  // namespace appkit
