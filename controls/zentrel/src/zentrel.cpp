// Zentrel's runner values: settings, libraries, titles, pages by mode.
#include "suite/controls.h"
#include "runner.h"

#include "memtest/settings.h"
#include "memtest/testpage.h"
#include "runner_ids.h"

bool CZentrelRunner::SecondMode() const { return Options().procTest; }

ctlfw::FieldTable<memtest::ZentrelValues> CZentrelRunner::Fields() const {
  return memtest::ZentrelFields(Options().procTest);
}

std::vector<int memtest::ZentrelValues::*> CZentrelRunner::EnableFields() const {
  return memtest::ZentrelEnableFields(Options().procTest);
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
