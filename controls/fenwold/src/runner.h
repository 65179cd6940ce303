// Fenwold's runner: the disk control's values on the test-control
// framework's runner (one static instance in the control module). One
// control serves fixed disks, floppy drives (-Floppy) and network disks
// (-NetDisk, or a module named NFENWOLD...).
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>

#include "ctlfw/runner.h"

// The numeric settings, one field each; a drive of either kind keeps its
// sizes and test choices under names of its own (Fields()).
struct DiskValues {
  int largest = 0;
  int increment = 0;
  int incrementMax = 0;
  int sequentialEnable = 0;
  int randomEnable = 0;
  int baseLoop = 0;
  int fullStrokeTestCount = 0;
  int randomSeekTestCount = 0;
  int benchTestSizeMB = 0;
  int benchRandomTestSizeMB = 0;
  int randomRatio = 0;
  int nThread = 0;
};

class CFenwoldRunner : public ctlfw::FieldRunner<DiskValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlFenwold; }
  bool SecondMode() const override;
  ctlfw::FieldTable<DiskValues> Fields() const override;
  std::vector<int DiskValues::*> EnableFields() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  int InfoCategory() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AdjustSwitches(ctlfw::Switches* switches) const override;
  void AfterSettingsRead() override;
  void BeforeSettingsWritten() const override;
  std::wstring Caption() const override;

  // The drive text and network path the page keeps for saving.
  const std::string& SelectedDrive() const { return selectedDrive_; }
  void SetSelectedDrive(const std::string& s) { selectedDrive_ = s; }
  const std::string& NetPath() const { return netPath_; }
  void SetNetPath(const std::string& s) { netPath_ = s; }

  // The mode's setting names.
  const char* Key(const char* disk, const char* floppy) const { return Options().floppy ? floppy : disk; }

 private:
  std::string selectedDrive_;
  std::string netPath_;
};

// Whether a module file name (without its folder) asks for network mode.
bool IsNetDiskModuleName(const std::wstring& fileName);
