// The title (splash) dialog shown during start-up, and the About box. The
// title dialog shows its product text; it closes after 2.5 seconds, on a
// click, or on a mouse move once the first second has passed.
#pragma once
#include "appkit/dialog.h"

class CTitleDlg : public appkit::Dialog {
 public:
  CTitleDlg();

 protected:
  BOOL OnInit() override;
  void OnTimer(UINT_PTR id) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void CloseSoon();
  DWORD openedTick_ = 0;
};

class CAboutBoxDlg : public appkit::Dialog {
 public:
  CAboutBoxDlg();
};
