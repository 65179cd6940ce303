// The bars of a frame window: a tool bar docked at one side of the frame and
// a status bar at its bottom. Both are the common controls themselves,
// subclassed; the frame places them (FrameWindow::RecalcLayout).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <string>
#include <vector>

#include "appkit/window.h"

namespace appkit {

// A "TOOLBAR" resource: image size and the command of every button (0 for
// a separator), in the WORD layout of the Microsoft compiler or the DWORD
// layout of GNU windres. False when the data is malformed.
struct ToolBarResource {
  int imageWidth = 0, imageHeight = 0;
  std::vector<UINT> commands;
};
bool ParseToolBarResource(const void* data, size_t size, ToolBarResource* out);

class ToolBar : public Window {
 public:
  enum Side { kLeft = 0, kTop = 1, kRight = 2, kBottom = 3 };
  ~ToolBar() override;

  // The tool bar control as child `id` of `parent`; the frame places it, so
  // it neither sizes nor aligns itself.
  virtual bool Create(HWND parent, DWORD style, UINT id);
  // Buttons of the TOOLBAR resource `id` of `res` and their images, the
  // bitmap `id` cut into squares of the resource's image size (pixels of
  // the colour `mask` are transparent).
  bool LoadToolBar(HINSTANCE res, UINT id, COLORREF mask = RGB(255, 0, 255));

  int ButtonCount() const { return static_cast<int>(Send(TB_BUTTONCOUNT)); }
  // The command of the button at `index` (0 for a separator or none).
  UINT CommandAt(int index) const;
  void SetButtonText(int index, const std::wstring& text);
  bool ButtonRect(int index, RECT* rc) const { return Send(TB_GETITEMRECT, index, reinterpret_cast<LPARAM>(rc)) != 0; }
  void SetSizes(SIZE button, SIZE image);
  void EnableButton(UINT id, bool on) { Send(TB_ENABLEBUTTON, id, MAKELPARAM(on ? TRUE : FALSE, 0)); }
  void CheckButton(UINT id, bool on) { Send(TB_CHECKBUTTON, id, MAKELPARAM(on ? TRUE : FALSE, 0)); }
  bool IsButtonEnabled(UINT id) const { return Send(TB_ISBUTTONENABLED, id) != 0; }
  void AutoSize() { Send(TB_AUTOSIZE); }

  // The side of the frame the bar is docked at; left and right stack the
  // buttons vertically.
  Side side() const { return side_; }
  void Dock(Side side);
  // How much of the frame the bar takes across its side.
  int Thickness() const;

 protected:
  LRESULT WndProc(UINT msg, WPARAM wp, LPARAM lp) override { return Default(msg, wp, lp); }
  void OnFinalDestroy() override;

 private:
  Side side_ = kTop;
  HIMAGELIST images_ = nullptr;
};

class StatusBar : public Window {
 public:
  bool Create(HWND parent, DWORD style, UINT id);
  void SetText(const std::wstring& text) { Send(SB_SETTEXTW, 0, reinterpret_cast<LPARAM>(text.c_str())); }
  std::wstring Text() const;
  int Height() const;
};

}  // namespace appkit
