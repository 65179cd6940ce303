// The graphics control's runner: its settings, titles and Information page
// on the framework's runner, the three window classes its tests draw in,
// and the module-protocol fields its message pump keeps.
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "ctlfw/runner.h"

class CGraphicsRunner : public ctlfw::TestRunner {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlGraphics; }
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  std::vector<std::string> EnableSettings() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;
  bool BeforeSheetCreated() override;
  void AfterSheetGone() override;

  // The DirectDraw picture: own directory + "TESTDATA\TESTDD.BMP".
  std::wstring DirectDrawBitmap() const { return ModuleDirectory() + L"TESTDATA\\TESTDD.BMP"; }
  bool fullScreen = true;
  bool closing = false;
  LPARAM cookie = 0;
  HWND replyWindow = nullptr;

 private:
  int registered_ = 0;  // window classes registered by this Init
};
