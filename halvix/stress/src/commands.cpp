#include "stress/commands.h"

#include "appkit/text.h"
#include "stress/dialogs.h"

namespace stress {

INT_PTR RunStressTestCommand(HWND owner, StressSettings& settings) {
  CStressTestDlg dlg(settings);
  dlg.SetMessageOwner(owner);
  if (!dlg.SetListFile(settings.dataDir + L"modules.dat")) {
    // A file that opened but holds no module says so, not that it failed to open.
    std::wstring text = StressString(IDS_MODULES_DAT_MISSING);
    if (dlg.loadProblem() == ModuleDialog::LoadProblem::NoEntry) {
      text = appkit::Format(StressString(IDS_NO_VALID_ENTRY).c_str(), dlg.listPath().c_str());
      if (!dlg.refusedEntries().empty()) text = dlg.refusedEntries() + L"\n\n" + text;
    }
    ShowStressMessage(owner, settings, text, MB_OK | MB_ICONEXCLAMATION);
    return 0;
  }
  dlg.nTests = (unsigned)settings.testNum;
  dlg.stopOnErrors = settings.stopOnError;
  dlg.concurrent = settings.oneByOne ? 0 : 1;
  INT_PTR result = dlg.DoModal(owner);
  if (result == IDOK) {
    settings.testNum = (int)dlg.nTests;
    settings.stopOnError = dlg.stopOnErrors;
    settings.oneByOne = dlg.concurrent ? 0 : 1;
  }
  return result;
}

INT_PTR RunBenchmarksCommand(HWND owner, const StressSettings& settings) {
  CBenchmarkDlg dlg(settings);
  dlg.SetMessageOwner(owner);
  if (!dlg.SetListFile(settings.dataDir + L"bnchmark.dat")) return 0;
  return dlg.DoModal(owner);
}

void RunStartCommand(HWND frame, bool bench, StressSettings& settings) {
  settings.unattended = true;
  if (bench)
    RunBenchmarksCommand(frame, settings);
  else
    RunStressTestCommand(frame, settings);
  // After the message, when the list did not load, as after the dialog.
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
}

}  // namespace stress
