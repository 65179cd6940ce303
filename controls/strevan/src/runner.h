// Strevan's runner: the port control's values on the test-control
// framework's runner (one static instance in the control module).
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>
#include <vector>

#include "ctlfw/runner.h"

class CStrevanRunner : public ctlfw::TestRunner {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlStrevan; }
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  std::vector<std::string> EnableSettings() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;

  // The number of 200 ms waits a tester gets.
  int MaxLoop() const { return Setting("MaxLoop"); }
  // Whether any of COM1 to COM9 can be opened now (each one that opens is
  // closed again at once); the Test page asks before its serial group.
  virtual bool AnyComPortOpens() const;
};
