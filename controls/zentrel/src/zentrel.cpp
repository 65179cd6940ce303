// Zentrel's runner values: settings, libraries, titles, pages by mode.
#include "suite/controls.h"
#include "runner.h"

#include "memtest/testpage.h"
#include "runner_ids.h"

std::wstring CZentrelRunner::SettingsKey() const { return suite::Control(suite::kCtlZentrel).settingsKey; }

std::vector<ctlfw::SettingDef> CZentrelRunner::SettingTable() const {
  std::vector<ctlfw::SettingDef> table = {
      {"nThread", 1, true, true},
      {"nWaitCpu", 20, false},
  };
  if (Options().procTest) {
    table.insert(table.end(), {
                                  {"DhrystoneCount", 1000000},
                                  {"DhryMinTime", 2},
                                  {"WhetstoneCount", 1000},
                                  {"WhetMinTime", 4},
                                  {"GeneralRegisterEnable", 1},
                                  {"MathCalculationEnable", 1},
                                  {"MathPerformanceEnable", 1},
                                  {"MMXArithEnable", 1},
                                  {"CPUSpeedEnable", 1},
                              });
  } else {
    table.insert(table.end(), {
                                  {"MemBenchMarkLoop", 0x1400000},
                                  {"DataPatternEnable", 1},
                                  {"WalkOneEnable", 1},
                                  {"MoveInversionEnable", 1},
                                  {"WalkZeroEnable", 1},
                                  {"RandomMemCopyEnable", 1},
                                  {"MaxMem", 20},
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

std::string CZentrelRunner::ModeBaseName() const { return Options().procTest ? "KytPROC" : "KytMEM"; }

UINT CZentrelRunner::TitleId() const {
  return Options().procTest ? IDS_ZENTREL_PROCESSOR_TITLE : IDS_ZENTREL_MEMORY_TITLE;
}

UINT CZentrelRunner::LogTitleId() const {
  return Options().procTest ? IDS_ZENTREL_PROCESSOR_LOG : IDS_ZENTREL_MEMORY_LOG;
}

UINT CZentrelRunner::IconId() const { return Options().procTest ? IDI_ZENTREL_PROCESSOR : IDI_ZENTREL_MEMORY; }

UINT CZentrelRunner::InfoTextId() const {
  return Options().procTest ? IDS_ZENTREL_PROCESSOR_INFO : IDS_ZENTREL_MEMORY_INFO;
}

int CZentrelRunner::InfoCategory() const { return Options().procTest ? 2 : 1; }

bool CZentrelRunner::InfoHasFreeMemory() const { return !Options().procTest; }

std::unique_ptr<ctlfw::TestPage> CZentrelRunner::CreateTestPage() { return memtest::MakeZentrelTestPage(*this); }
