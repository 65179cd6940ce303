// The "Technical Support Links" dialog and its settings dialog: the support
// web site, and a mail to support that carries the latest report, prepared
// as a local page from the suite's template.
#pragma once
#include <windows.h>

#include <string>

#include "appkit/dialog.h"

class CHalvixApp;

class CTechSupportDlg : public appkit::Dialog {
 public:
  CTechSupportDlg(HINSTANCE res, CHalvixApp& app);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  bool OnMessage(UINT msg, WPARAM wp, LPARAM lp, LRESULT* result) override;

 private:
  void ShowButtons();
  CHalvixApp& app_;
  HINSTANCE res_;
  HICON icon_;
};

class CTechSupportSettingsDlg : public appkit::Dialog {
 public:
  CTechSupportSettingsDlg(HINSTANCE res, CHalvixApp& app);

 protected:
  BOOL OnInit() override;
  void OnOK() override;

 private:
  CHalvixApp& app_;
};
