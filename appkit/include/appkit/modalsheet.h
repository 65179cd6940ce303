// The system's modal property sheet (OK, Cancel, Apply and Help buttons
// below the tabs) over pages that are Dialog objects. The sheet's window is
// subclassed once it is initialised, so that a program sees its messages
// (OK, Cancel, the close box) before the ordinary handling.
#pragma once
#include <windows.h>

#include <commctrl.h>
#include <prsht.h>

#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "appkit/window.h"

namespace appkit {

class ModalSheetPage : public Dialog {
 public:
  explicit ModalSheetPage(UINT templateId, HINSTANCE res = nullptr) : Dialog(templateId, res) {}
  HWND SheetWindow() const { return ::GetParent(hwnd()); }

 protected:
  // PSN_SETACTIVE / PSN_KILLACTIVE, as a tabbed sheet's pages have them:
  // FALSE from OnSetActive asks the sheet for another page, FALSE from
  // OnKillActive keeps the page.
  virtual BOOL OnSetActive() { return TRUE; }
  virtual BOOL OnKillActive() { return TRUE; }
  LRESULT OnNotify(NMHDR* hdr) override;
  // The sheet's buttons never reach a page as commands of its own.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  friend class ModalSheet;
  static INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
};

// The sheet's window is served as a subclassed Window: OnMessage sees its
// messages first, Default is the system's handling.
class ModalSheet : public Window {
 public:
  ModalSheet(std::wstring caption, HINSTANCE res = nullptr) : caption_(std::move(caption)), res_(res) {}

  // Pages are added before DoModal; the sheet does not own them.
  void AddPage(ModalSheetPage* page) { pages_.push_back(page); }
  // `flags`: further PSH_ flags (PSH_HASHELP, PSH_NOAPPLYNOW, ...).
  INT_PTR DoModal(HWND parent, DWORD flags = 0);

 protected:
  // After the system initialised the sheet (its buttons and first page exist).
  virtual void OnInit() {}

 private:
  static int CALLBACK Callback(HWND, UINT, LPARAM);
  std::wstring caption_;
  HINSTANCE res_;
  std::vector<ModalSheetPage*> pages_;
};

// Moves a dialog item horizontally to `x` (client coordinates of its
// parent), keeping its top, width and height.
void MoveItemX(HWND item, int x);

}  // namespace appkit
