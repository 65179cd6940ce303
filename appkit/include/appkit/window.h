// A window object is little more than its HWND: the link from the handle to
// the object is the only state kept, in a window property (binding.h).
#pragma once
#include <windows.h>

namespace appkit {

class Window {
 public:
  Window() = default;
  virtual ~Window();
  Window(const Window&) = delete;
  Window& operator=(const Window&) = delete;

  HWND hwnd() const { return hwnd_; }
  operator HWND() const { return hwnd_; }

  // Registers (once) a class of ours and creates the window.
  bool Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
              int x, int y, int w, int h, HWND parent, HMENU menuOrId = nullptr);
  // Attaches to a window made elsewhere by subclassing it.
  bool Subclass(HWND hwnd);
  void Destroy();

  static Window* FromHandle(HWND hwnd);

  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(hwnd_, msg, wp, lp); }
  BOOL Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(hwnd_, msg, wp, lp); }

 protected:
  // Default handling: the class's own procedure (or the subclassed one).
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);
  // Called after WM_NCDESTROY; the handle is gone.
  virtual void OnFinalDestroy() {}

 private:
  static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
  static void Bind(HWND hwnd, Window* self);
  HWND hwnd_ = nullptr;
  WNDPROC prevProc_ = nullptr;
};

}  // namespace appkit
