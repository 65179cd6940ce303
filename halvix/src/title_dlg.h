// The title (splash) dialog shown during start-up, and the About box. The
// title dialog shows TESTDATA\LOGO.BMP with its own palette in place of its
// text button when the file holds a bitmap; it closes after 2.5 seconds, on
// a click, or on a mouse move once the first second has passed.
#pragma once
#include <string>

#include "appkit/dialog.h"

class CTitleDlg : public appkit::Dialog {
 public:
  // `res`: the module with the dialog; `programDir` ends in a backslash.
  CTitleDlg(HINSTANCE res, const std::wstring& programDir);
  ~CTitleDlg() override;

  // The bitmap shown (nullptr when the logo could not be read).
  HGLOBAL bitmap() const { return dib_; }

 protected:
  BOOL OnInit() override;
  void OnTimer(UINT_PTR id) override;
  void OnOK() override;
  void OnCancel() override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void CloseSoon();
  void FreeBitmap();
  // Selects and realises the palette; repaints when colours changed.
  LRESULT RealizePalette(bool background);
  void Paint();

  std::wstring programDir_;
  HGLOBAL dib_ = nullptr;
  HPALETTE palette_ = nullptr;
  int width_ = 0, height_ = 0;
  DWORD openedTick_ = 0;
};

class CAboutBoxDlg : public appkit::Dialog {
 public:
  explicit CAboutBoxDlg(HINSTANCE res = nullptr);
};
