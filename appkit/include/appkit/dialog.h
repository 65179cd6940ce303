// Dialogs from templates. One-line helpers for items and a handful of
// virtual hooks instead of message maps.
#pragma once
#include <windows.h>
#include <string>

#include "appkit/msgroot.h"

namespace appkit {

class Dialog : public MessageRoot {
 public:
  explicit Dialog(UINT templateId, HINSTANCE res = nullptr)
      : MessageRoot(BoundKind::Dialog), templateId_(templateId), res_(res) {}
  ~Dialog() override;
  UINT templateId() const { return templateId_; }

  // Modal run through our own loop (so thread messages reach pre-translation).
  INT_PTR DoModal(HWND parent);
  // Modeless creation.
  bool CreateModeless(HWND parent);
  // Modeless creation from a template built in memory (instance: the module
  // that owns the dialog's resources, nullptr = as CreateModeless).
  bool CreateModelessIndirect(const DLGTEMPLATE* tmpl, HWND parent);
  void EndDialog(INT_PTR result);
  void Destroy();
  bool IsModal() const { return modal_; }

  HWND Item(int id) const { return ::GetDlgItem(hwnd(), id); }
  void SetItemText(int id, const std::wstring& text) const { ::SetDlgItemTextW(hwnd(), id, text.c_str()); }
  std::wstring ItemText(int id) const;
  int ItemInt(int id, bool* ok = nullptr) const;
  void SetItemInt(int id, int value) const { ::SetDlgItemInt(hwnd(), id, (UINT)value, TRUE); }
  void Check(int id, bool on) const { ::CheckDlgButton(hwnd(), id, on ? BST_CHECKED : BST_UNCHECKED); }
  bool IsChecked(int id) const { return ::IsDlgButtonChecked(hwnd(), id) == BST_CHECKED; }
  LRESULT SendItem(int id, UINT msg, WPARAM wp = 0, LPARAM lp = 0) const {
    return ::SendDlgItemMessageW(hwnd(), id, msg, wp, lp);
  }
  void EnableItem(int id, bool on) const { ::EnableWindow(Item(id), on); }
  void ShowItem(int id, bool on) const { ::ShowWindow(Item(id), on ? SW_SHOW : SW_HIDE); }

  static Dialog* FromHandle(HWND hwnd);

 protected:
  virtual BOOL OnInit() { return TRUE; }
  // Return true when handled.
  virtual bool OnCommand(int id, int code, HWND ctl);
  virtual LRESULT OnNotify(NMHDR* hdr) { return 0; }
  virtual void OnTimer(UINT_PTR id) {}
  virtual void OnOK() { EndDialog(IDOK); }
  virtual void OnCancel() { EndDialog(IDCANCEL); }
  virtual void OnDestroy() {}
  // Any other message goes to OnMessage (msgroot.h).

 protected:
  // The dialog procedure; WM_INITDIALOG's lParam is the Dialog object.
  static INT_PTR CALLBACK StaticProc(HWND, UINT, WPARAM, LPARAM);

 private:
  INT_PTR Proc(UINT msg, WPARAM wp, LPARAM lp);
  UINT templateId_;
  HINSTANCE res_;
  bool modal_ = false;
  bool ended_ = false;
  INT_PTR result_ = 0;
};

}  // namespace appkit
