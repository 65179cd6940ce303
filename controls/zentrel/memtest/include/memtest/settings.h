// The numeric settings of the memory and processor control, declared once:
// each setting's name, default, range and write-back rule bound to the field
// that holds it. The runner stores the table of its mode, the Test page
// reads the fields back through any runner.
#pragma once
#include <string>
#include <vector>

#include "ctlfw/settings.h"

namespace memtest {

// One field per setting; a field the active mode lacks reads 0.
struct ZentrelValues {
  // Both modes.
  int nThread = 0;
  int waitCpu = 0;
  // The memory mode.
  int memBenchMarkLoop = 0;
  int dataPatternEnable = 0;
  int walkOneEnable = 0;
  int moveInversionEnable = 0;
  int walkZeroEnable = 0;
  int randomMemCopyEnable = 0;
  int maxMem = 0;
  // The processor mode.
  int dhrystoneCount = 0;
  int dhryMinTime = 0;
  int whetstoneCount = 0;
  int whetMinTime = 0;
  int generalRegisterEnable = 0;
  int mathCalculationEnable = 0;
  int mathPerformanceEnable = 0;
  int mmxArithEnable = 0;
  int cpuSpeedEnable = 0;
};

// The settings of the processor mode or the memory mode.
ctlfw::FieldTable<ZentrelValues> ZentrelFields(bool processor);

// The mode's five test choices, in the check list's row order.
std::vector<int ZentrelValues::*> ZentrelEnableFields(bool processor);

}  // namespace memtest
