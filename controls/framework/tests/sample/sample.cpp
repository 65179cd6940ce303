#include "sample.h"

#include "appkit/registry.h"
#include "appkit/text.h"

namespace {

constexpr int kPasses = 10;
constexpr DWORD kMaxErrors = 1000;
constexpr DWORD kMaxRunMs = 60000;

struct SampleRun {
  int errors = 0;
  DWORD runMs = 500;
};
SampleRun g_run;

// Set by ReleaseSampleRun, reset when a run starts.
HANDLE ReleaseEvent() {
  static HANDLE event = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  return event;
}

class SamplePage : public ctlfw::TestPage {
 public:
  using TestPage::TestPage;

 protected:
  UINT TestIconId() const override { return IDI_SAMPLE_TEST; }
  std::wstring Description() const override { return L"Click the Start button to run the sample passes."; }
  std::vector<std::string> TestNames() const override { return {"Alpha", "Bravo", "Charlie", "Delta", "Echo"}; }
  ctlfw::RunEnd RunEndRule() const override {
    return {ctlfw::RunEnd::Summary::BlankThenVerdict, "sample", false, false};
  }
  void StartWorkers() override {
    g_run.errors = (int)std::min<DWORD>(Runner().Setting("SampleErrors"), kMaxErrors);
    g_run.runMs = std::min<DWORD>(Runner().Setting("SampleRunMs"), kMaxRunMs);
    ::ResetEvent(ReleaseEvent());
    StartRunWorker(&Worker);
  }

 private:
  static DWORD WINAPI Worker(LPVOID) {
    for (int pass = 1; pass <= kPasses && !ctlfw::RunAborted(); ++pass) {
      ::WaitForSingleObject(ReleaseEvent(), g_run.runMs / kPasses);
      ctlfw::AddResultLine("Pass " + std::to_string(pass) + "\tPASSED");
      ctlfw::SetRunProgress(pass * 100 / kPasses);
    }
    bool aborted = ctlfw::RunAborted();
    for (int i = 1; !aborted && i < g_run.errors; ++i) {
      ctlfw::AddResultLine("Check " + std::to_string(i) + "\tFAILED");
      ctlfw::CountRunError();
    }
    ctlfw::FinishWorker(!aborted && g_run.errors > 0, aborted);
    return 0;
  }
};

}  // namespace

void ReleaseSampleRun() { ::SetEvent(ReleaseEvent()); }

std::vector<ctlfw::SettingDef> SampleRunner::SettingTable() const {
  using ctlfw::InRange;
  using ctlfw::kSwitch;
  return {{"nThread", 1, ctlfw::ClampedTo(1, 3)},
          {"nWaitCpu", 20, InRange(1, 120), false},
          {"SampleErrors", 0, InRange(0, 1000), false},
          {"SampleRunMs", 500, InRange(0, 600000), false},
          {"AlphaEnable", 1, kSwitch},
          {"BravoEnable", 1, kSwitch},
          {"CharlieEnable", 1, kSwitch},
          {"DeltaEnable", 1, kSwitch},
          {"EchoEnable", 1, kSwitch}};
}

std::vector<std::string> SampleRunner::EnableSettings() const {
  return {"AlphaEnable", "BravoEnable", "CharlieEnable", "DeltaEnable", "EchoEnable"};
}

std::vector<ctlfw::OptionalLibrary> SampleRunner::OptionalLibraries() const {
  return {{L"kovlet.dll", {"DoMemWriteBenchMark", "DoMemReadBenchMark"}}, {L"whet.dll", {"DoWhetstoneTest"}}};
}

std::unique_ptr<ctlfw::TestPage> SampleRunner::CreateTestPage() { return std::make_unique<SamplePage>(*this); }
