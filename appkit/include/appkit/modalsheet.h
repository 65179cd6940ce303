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

namespace appkit {

class ModalSheetPage : public Dialog {
 public:
  explicit ModalSheetPage(UINT templateId, HINSTANCE res = nullptr) : Dialog(templateId, res) {}
  HWND SheetWindow() const { return ::GetParent(hwnd()); }

 protected:
  // PSN_SETACTIVE / PSN_KILLACTIVE (FALSE from OnKillActive keeps the page).
  virtual void OnSetActive() {}
  virtual BOOL OnKillActive() { return TRUE; }
  LRESULT OnNotify(NMHDR* hdr) override;
  // The sheet's buttons never reach a page as commands of its own.
  void OnOK() override {}
  void OnCancel() override {}

 private:
  friend class ModalSheet;
  static INT_PTR CALLBACK PageProc(HWND, UINT, WPARAM, LPARAM);
};

class ModalSheet {
 public:
  ModalSheet(std::wstring caption, HINSTANCE res = nullptr) : caption_(std::move(caption)), res_(res) {}
  virtual ~ModalSheet() = default;
  ModalSheet(const ModalSheet&) = delete;
  ModalSheet& operator=(const ModalSheet&) = delete;

  // Pages are added before DoModal; the sheet does not own them.
  void AddPage(ModalSheetPage* page) { pages_.push_back(page); }
  // `flags`: further PSH_ flags (PSH_HASHELP, PSH_NOAPPLYNOW, ...).
  INT_PTR DoModal(HWND parent, DWORD flags = 0);
  HWND hwnd() const { return hwnd_; }

 protected:
  // After the system initialised the sheet (its buttons and first page exist).
  virtual void OnInit() {}
  // A message before the ordinary handling; true (and *result) when handled.
  virtual bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) { return false; }
  // The ordinary handling of a message.
  LRESULT Default(UINT msg, WPARAM wp, LPARAM lp);

 private:
  static int CALLBACK Callback(HWND, UINT, LPARAM);
  static LRESULT CALLBACK SubclassProc(HWND, UINT, WPARAM, LPARAM);
  std::wstring caption_;
  HINSTANCE res_;
  std::vector<ModalSheetPage*> pages_;
  HWND hwnd_ = nullptr;
  WNDPROC original_ = nullptr;
};

// Moves a dialog item horizontally to `x` (client coordinates of its
// parent), keeping its top, width and height.
void MoveItemX(HWND item, int x);

}  // namespace appkit
