// Zentrel's runner: the memory and processor control's values on the test
// control framework's runner (one static instance in the control module).
#pragma once
#include <memory>

#include "ctlfw/runner.h"
#include "memtest/settings.h"

class CZentrelRunner : public ctlfw::FieldRunner<memtest::ZentrelValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlZentrel; }
  bool SecondMode() const override;
  ctlfw::FieldTable<memtest::ZentrelValues> Fields() const override;
  std::vector<int memtest::ZentrelValues::*> EnableFields() const override;
  std::vector<ctlfw::OptionalLibrary> OptionalLibraries() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  bool InfoHasFreeMemory() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
};
