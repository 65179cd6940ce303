// The memory and processor control's settings bound to their fields.
#include "memtest/settings.h"

namespace memtest {

ctlfw::FieldTable<ZentrelValues> ZentrelFields(bool processor) {
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  using V = ZentrelValues;
  ctlfw::FieldTable<V> table = {
      {&V::nThread, {"nThread", 1, ctlfw::ClampedTo(1, 3)}},
      // Half-second waits for the processor's information: up to a minute.
      {&V::waitCpu, {"nWaitCpu", 20, InRange(1, 120), false}},
  };
  if (processor) {
    table.insert(table.end(), {
                                  {&V::dhrystoneCount, {"DhrystoneCount", 1000000, InRange(1, 100000000)}},
                                  // Seconds a benchmark should last at least.
                                  {&V::dhryMinTime, {"DhryMinTime", 2, InRange(0, 60)}},
                                  {&V::whetstoneCount, {"WhetstoneCount", 1000, InRange(1, 1000000)}},
                                  {&V::whetMinTime, {"WhetMinTime", 4, InRange(0, 60)}},
                                  {&V::generalRegisterEnable, {"GeneralRegisterEnable", 1, kSwitch}},
                                  {&V::mathCalculationEnable, {"MathCalculationEnable", 1, kSwitch}},
                                  {&V::mathPerformanceEnable, {"MathPerformanceEnable", 1, kSwitch}},
                                  {&V::mmxArithEnable, {"MMXArithEnable", 1, kSwitch}},
                                  {&V::cpuSpeedEnable, {"CPUSpeedEnable", 1, kSwitch}},
                              });
  } else {
    table.insert(table.end(), {
                                  {&V::memBenchMarkLoop, {"MemBenchMarkLoop", 0x1400000, InRange(1, 0x20000000)}},
                                  {&V::dataPatternEnable, {"DataPatternEnable", 1, kSwitch}},
                                  {&V::walkOneEnable, {"WalkOneEnable", 1, kSwitch}},
                                  {&V::moveInversionEnable, {"MoveInversionEnable", 1, kSwitch}},
                                  {&V::walkZeroEnable, {"WalkZeroEnable", 1, kSwitch}},
                                  {&V::randomMemCopyEnable, {"RandomMemCopyEnable", 1, kSwitch}},
                                  // Megabytes a concurrent run tests at most.
                                  {&V::maxMem, {"MaxMem", 20, InRange(1, 1048576)}},
                              });
  }
  return table;
}

std::vector<int ZentrelValues::*> ZentrelEnableFields(bool processor) {
  using V = ZentrelValues;
  if (processor)
    return {&V::generalRegisterEnable, &V::mathCalculationEnable, &V::mathPerformanceEnable, &V::mmxArithEnable,
            &V::cpuSpeedEnable};
  return {&V::dataPatternEnable, &V::walkOneEnable, &V::moveInversionEnable, &V::walkZeroEnable,
          &V::randomMemCopyEnable};
}

}  // namespace memtest
