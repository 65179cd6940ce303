// A window object is little more than its HWND: the link from the handle to
// the object is the only state kept, in a window property (msgroot.h).
#pragma once
#include <windows.h>

#include "appkit/msgroot.h"

namespace appkit {

class Window : public MessageRoot {
 public:
  Window() : MessageRoot(BoundKind::Window) {}
  ~Window() override;

  // Registers (once) a class of ours and creates the window.
  bool Create(const wchar_t* className, const wchar_t* title, DWORD style, DWORD exStyle,
              int x, int y, int w, int h, HWND parent, HMENU menuOrId = nullptr);
  // Attaches to a window made elsewhere by subclassing it.
  bool Subclass(HWND hwnd);
  void Destroy();

  static Window* FromHandle(HWND hwnd);

  LRESULT Send(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::SendMessageW(hwnd(), msg, wp, lp); }
  BOOL Post(UINT msg, WPARAM wp = 0, LPARAM lp = 0) const { return ::PostMessageW(hwnd(), msg, wp, lp); }

 protected:
  // Every message: by default OnMessage, then the class's own procedure (or
  // the subclassed one).
  virtual LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp);
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);
  // Called after WM_NCDESTROY; the handle is gone.
  virtual void OnFinalDestroy() {}

 private:
  static LRESULT CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);
  WNDPROC prevProc_ = nullptr;
};

}  // namespace appkit
