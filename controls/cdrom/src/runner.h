// The CD-ROM control's runner: its values on the test-control framework's
// runner (one static instance in the control module).
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "cdtest/engine.h"
#include "ctlfw/runner.h"

// The numeric settings, one field each (bound to their names in Fields()).
struct CdromValues {
  int loop = 0;
  int bufferMultiple = 0;
  int testFileMinSizeM = 0;
  int testFileMaxSizeM = 0;
  int diskSize = 0;
  int clearBufferBlocks = 0;
  int seekTestNum = 0;
  int fullStrokeTestEnable = 0;
  int readDataTestEnable = 0;
  int transferRateTestEnable = 0;
  int randomAccessTestEnable = 0;
  int forceFullStroke = 0;
  int forceRandom = 0;
  int testFileMinSizeK = 0;
};

class CCdromRunner : public ctlfw::FieldRunner<CdromValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlCdrom; }
  ctlfw::FieldTable<CdromValues> Fields() const override;
  std::vector<int CdromValues::*> EnableFields() const override;
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
