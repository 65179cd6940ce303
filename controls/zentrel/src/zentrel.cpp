// Zentrel's runner values: settings, libraries, titles, pages by mode.
#include "suite/controls.h"
#include "runner.h"

#include "memtest/testpage.h"
#include "runner_ids.h"

bool CZentrelRunner::SecondMode() const { return Options().procTest; }

std::vector<ctlfw::SettingDef> CZentrelRunner::SettingTable() const {
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  std::vector<ctlfw::SettingDef> table = {
      {"nThread", 1, ctlfw::ClampedTo(1, 3)},
      // Half-second waits for the processor's information: up to a minute.
      {"nWaitCpu", 20, InRange(1, 120), false},
  };
  if (Options().procTest) {
    table.insert(table.end(), {
                                  {"DhrystoneCount", 1000000, InRange(1, 100000000)},
                                  // Seconds a benchmark should last at least.
                                  {"DhryMinTime", 2, InRange(0, 60)},
                                  {"WhetstoneCount", 1000, InRange(1, 1000000)},
                                  {"WhetMinTime", 4, InRange(0, 60)},
                                  {"GeneralRegisterEnable", 1, kSwitch},
                                  {"MathCalculationEnable", 1, kSwitch},
                                  {"MathPerformanceEnable", 1, kSwitch},
                                  {"MMXArithEnable", 1, kSwitch},
                                  {"CPUSpeedEnable", 1, kSwitch},
                              });
  } else {
    table.insert(table.end(), {
                                  {"MemBenchMarkLoop", 0x1400000, InRange(1, 0x20000000)},
                                  {"DataPatternEnable", 1, kSwitch},
                                  {"WalkOneEnable", 1, kSwitch},
                                  {"MoveInversionEnable", 1, kSwitch},
                                  {"WalkZeroEnable", 1, kSwitch},
                                  {"RandomMemCopyEnable", 1, kSwitch},
                                  // Megabytes a concurrent run tests at most.
                                  {"MaxMem", 20, InRange(1, 1048576)},
                              });
  }
  return table;
}

std::vector<std::string> CZentrelRunner::EnableSettings() const {
  if (Options().procTest)
    return {"GeneralRegisterEnable", "MathCalculationEnable", "MathPerformanceEnable", "MMXArithEnable",
            "CPUSpeedEnable"};
  return {"DataPatternEnable", "WalkOneEnable", "MoveInversionEnable", "WalkZeroEnable", "RandomMemCopyEnable"};
}

std::vector<ctlfw::OptionalLibrary> CZentrelRunner::OptionalLibraries() const {
  // Whatever the mode.
  return {
      {L"whet.dll", {"DoWhetstoneTest"}},
      {L"dhry.dll", {"DoDhrystoneTest"}},
      {L"kovlet.dll", {"DoMemWriteBenchMark", "DoMemReadBenchMark"}},
  };
}

ctlfw::RunnerResourceIds CZentrelRunner::ResourceIds() const {
  if (Options().procTest)
    return {IDS_ZENTREL_PROCESSOR_TITLE, IDS_ZENTREL_PROCESSOR_LOG, IDI_ZENTREL_PROCESSOR, IDS_ZENTREL_PROCESSOR_INFO};
  return {IDS_ZENTREL_MEMORY_TITLE, IDS_ZENTREL_MEMORY_LOG, IDI_ZENTREL_MEMORY, IDS_ZENTREL_MEMORY_INFO};
}

// The Information page keeps its own column stops.
ctlfw::InfoPageStyle CZentrelRunner::InfoStyle() const {
  ctlfw::InfoPageStyle style;
  style.tabStops = {145, 260, 350, 440};
  return style;
}

bool CZentrelRunner::InfoHasFreeMemory() const { return !Options().procTest; }

std::unique_ptr<ctlfw::TestPage> CZentrelRunner::CreateTestPage() { return memtest::MakeZentrelTestPage(*this); }
