// Property sheets: a tab control over pages made from dialog templates. The
// sheet is itself a dialog (built in memory) so that dialog navigation spans
// the tabs and the pages; it can be created as a child window inside another
// window (a control, a pane) as well as on its own. Enter and Escape never
// close a sheet: IDOK and IDCANCEL are swallowed by the sheet and its pages.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "appkit/dialog.h"

namespace appkit {

class TabbedSheet;

class SheetPage : public Dialog {
 public:
  SheetPage(UINT templateId, HINSTANCE res) : Dialog(templateId, res) {}

  TabbedSheet* Sheet() const { return sheet_; }
  // The caption of the page's template (the tab text).
  std::wstring Title() const;

  // Called when the page becomes the active one (after it was shown).
  virtual BOOL OnSetActive() { return TRUE; }
  // Called before the page stops being the active one; FALSE keeps it.
  virtual BOOL OnKillActive() { return TRUE; }

 protected:
  void OnOK() override {}
  void OnCancel() override {}

 private:
  friend class TabbedSheet;
  TabbedSheet* sheet_ = nullptr;
};

class TabbedSheet : public Dialog {
 public:
  // `res`: the module whose templates the pages use (and the sheet's own
  // instance).
  TabbedSheet(const std::wstring& caption, HINSTANCE res);
  ~TabbedSheet() override;

  // Pages are added before the window is created; the sheet does not own them.
  void AddPage(SheetPage* page);
  // Index of the page that is active when the window is created.
  void SetStartPage(int index) { start_ = index; }

  // Creates the sheet window and every page. As a child of `parent` when the
  // style holds WS_CHILD; the sheet first fills the parent's client area.
  bool Create(HWND parent, DWORD style = WS_CHILD | WS_VISIBLE, DWORD exStyle = 0);

  const std::wstring& Caption() const { return caption_; }
  int PageCount() const { return (int)pages_.size(); }
  SheetPage* Page(int index) const;
  int PageIndex(const SheetPage* page) const;
  // -1 before the window exists.
  int ActiveIndex() const { return active_; }
  SheetPage* ActivePage() const { return Page(active_); }
  HWND TabControl() const { return tab_; }

  // Makes page `index` active. False when the active page refuses to be left
  // or the index is out of range.
  bool SetActivePage(int index);

  // Keyboard handling for a sheet that holds the focus: Ctrl+Tab,
  // Ctrl+Shift+Tab, Ctrl+PageDown and Ctrl+PageUp switch pages, every other
  // key goes through dialog navigation of the sheet (Enter and Escape reach
  // nothing that closes it). Hosts call it from their pre-translation or
  // their accelerator hook; true when the message was consumed.
  static bool TranslateKey(MSG& msg);
  // The sheet that contains `hwnd` (or is it), or nullptr.
  static TabbedSheet* FromChild(HWND hwnd);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  LRESULT OnNotify(NMHDR* hdr) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;
  void OnOK() override {}
  void OnCancel() override {}

  // Places the tab control and the pages for the sheet's current size: their
  // right and bottom edges 5 pixels inside their container, left and top kept.
  void LayoutPages();

 private:
  // Sizes a sheet of its own around pages of `pageW` x `pageH` pixels and
  // centres it on the work area.
  void FitToPages(LONG pageW, LONG pageH);
  void ShowPage(int index);

  std::wstring caption_;
  std::vector<SheetPage*> pages_;
  std::vector<WORD> template_;
  HWND tab_ = nullptr;
  int start_ = 0;
  int active_ = -1;
};

// Moves `child` so that its right and bottom edges lie `margin` pixels inside
// those of `container` (screen geometry; left and top kept; only the right
// edge when `widthOnly`). No repaint. False when a window is missing.
bool StretchInside(HWND container, HWND child, int margin, bool widthOnly);
// The rectangle StretchInside gives `child` (both in one coordinate space).
RECT StretchedRect(const RECT& container, const RECT& child, int margin, bool widthOnly);

}  // namespace appkit
