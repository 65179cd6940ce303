// Strevan's runner: the port control's values on the test-control
// framework's runner (one static instance in the control module).
#pragma once
#include "suite/controls.h"
#include <memory>
#include <string>
#include <vector>

#include "ctlfw/runner.h"

// The numeric settings, one field each (bound to their names in Fields()).
struct PortValues {
  int maxLoop = 0;
  int bLPT = 0;
  int bLPTLoopback1 = 0;
  int bLPTLoopback2 = 0;
  int bCom = 0;
  int bComLoopback = 0;
  int bGame = 0;
};

class CStrevanRunner : public ctlfw::FieldRunner<PortValues> {
 public:
  suite::ControlIndex Identity() const override { return suite::kCtlStrevan; }
  ctlfw::FieldTable<PortValues> Fields() const override;
  std::vector<int PortValues::*> EnableFields() const override;
  ctlfw::RunnerResourceIds ResourceIds() const override;
  ctlfw::InfoPageStyle InfoStyle() const override;
  std::unique_ptr<ctlfw::TestPage> CreateTestPage() override;
  void AfterSettingsRead() override;

  // The number of 200 ms waits a tester gets.
  int MaxLoop() const { return Values().maxLoop; }
  // Whether any of COM1 to COM9 can be opened now (each one that opens is
  // closed again at once); the Test page asks before its serial group.
  virtual bool AnyComPortOpens() const;
};
