// The CD-ROM control's runner: its values on the test-control framework's
// runner (one static instance in the control module).
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "cdtest/engine.h"
#include "ctlfw/runner.h"

class CCdromRunner : public ctlfw::TestRunner {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlCdrom; }
  std::vector<ctlfw::SettingDef> SettingTable() const override;
  std::vector<std::string> EnableSettings() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;
  void BeforeSettingsWritten() const override;

  // The drive text the page keeps for saving.
  const std::string& SelectedDrive() const { return selectedDrive_; }
  void SetSelectedDrive(const std::string& s) { selectedDrive_ = s; }
  // What a run of the page reads (the switches, settings and the reader).
  cdtest::RunConfig MakeRunConfig(cdtest::ReadSectorsFn reader) const;

 private:
  std::string selectedDrive_;
  std::string testFile_;
};
