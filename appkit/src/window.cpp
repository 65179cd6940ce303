#include "appkit/window.h"

#include "appkit/binding.h"
#include "appkit/paths.h"

namespace appkit {

namespace {
thread_local Window* g_creating = nullptr;
}  // namespace

Window::~Window() {
  if (hwnd_ && ::IsWindow(hwnd_)) {
    UnbindWindowObject(hwnd_, BoundKind::Window);
    if (prevProc_) ::SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, (LONG_PTR)prevProc_);
    ::DestroyWindow(hwnd_);
  }
}

void Window::Bind(HWND hwnd, Window* self) {
  self->hwnd_ = hwnd;
  BindWindowObject(hwnd, self, BoundKind::Window);
}

Window* Window::FromHandle(HWND hwnd) {
  return BoundObject<Window>(hwnd, BoundKind::Window);
}

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
  g_creating = this;
  HWND h2 = ::CreateWindowExW(exStyle, className, title, style, x, y, w, h, parent, menuOrId, inst, this);
  g_creating = nullptr;
  return h2 != nullptr;
}

bool Window::Subclass(HWND hwnd) {
  if (!hwnd || FromHandle(hwnd)) return false;
  Bind(hwnd, this);
  prevProc_ = reinterpret_cast<WNDPROC>(::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)&Window::StaticProc));
  return true;
}

void Window::Destroy() {
  if (hwnd_ && ::IsWindow(hwnd_)) ::DestroyWindow(hwnd_);
}

LRESULT Window::Default(UINT msg, WPARAM wp, LPARAM lp) {
  if (prevProc_) return ::CallWindowProcW(prevProc_, hwnd_, msg, wp, lp);
  return ::DefWindowProcW(hwnd_, msg, wp, lp);
}

LRESULT Window::WndProc(UINT msg, WPARAM wp, LPARAM lp) { return Default(msg, wp, lp); }

LRESULT CALLBACK Window::StaticProc(HWND hwnd, UINT msg, WPARAM wp, LPARAM lp) {
  Window* self = FromHandle(hwnd);
  if (!self && g_creating) {
    self = g_creating;
    g_creating = nullptr;
    Bind(hwnd, self);
  }
  if (!self) return ::DefWindowProcW(hwnd, msg, wp, lp);
  LRESULT r = self->WndProc(msg, wp, lp);
  if (msg == WM_NCDESTROY) {
    UnbindWindowObject(hwnd, BoundKind::Window);
    if (self->prevProc_) ::SetWindowLongPtrW(hwnd, GWLP_WNDPROC, (LONG_PTR)self->prevProc_);
    self->prevProc_ = nullptr;
    self->hwnd_ = nullptr;
    self->OnFinalDestroy();
  }
  return r;
}

}  // namespace appkit
