// The layout and information-options dialogs of the main frame's menus.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "appkit/dialog.h"
#include "settings.h"

// "Qev Layout Properties": which panes the main window shows and where its
// tool bar sits. Apply writes the settings and asks the main window to
// rebuild its panes.
class CLayoutDlg : public appkit::Dialog {
 public:
  CLayoutDlg(HINSTANCE res, halvix::HalvixSettings& settings, bool pagerAvailable, HWND mainWindow);

 protected:
  BOOL OnInit() override;
  bool OnCommand(int id, int code, HWND ctl) override;
  void OnOK() override;

 private:
  void ApplyPaneRule();
  void Apply();
  halvix::HalvixSettings& settings_;
  bool pager_;
  HWND main_;
};

// "System Information Option": which optional parts the information server
// gathers (REG_DWORD values of its settings key, read before every request).
class CInfoOptionsDlg : public appkit::Dialog {
 public:
  explicit CInfoOptionsDlg(HINSTANCE res);

 protected:
  BOOL OnInit() override;
  void OnOK() override;

 private:
  bool nineX_;
  std::vector<int> values_;  // by the order of halvix::InfoOptions()
};
