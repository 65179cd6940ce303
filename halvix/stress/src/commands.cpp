#include "stress/commands.h"

#include "stress/dialogs.h"

namespace stress {

INT_PTR RunStressTestCommand(HWND owner, StressSettings& settings) {
  CStressTestDlg dlg(settings);
  dlg.SetMessageOwner(owner);
  if (!dlg.SetListFile(settings.dataDir + L"modules.dat")) {
    ShowStressMessage(owner, settings, StressString(IDS_MODULES_DAT_MISSING), MB_OK | MB_ICONEXCLAMATION);
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

StartMode ScanStartMode(const std::wstring& commandLine) {
  bool stressFlag = false, benchFlag = false;
  for (size_t i = 0; i < commandLine.size(); ++i) {
    if (commandLine[i] != L'-') continue;
    auto word = [&](const wchar_t* w, size_t n) {
      return commandLine.size() - i >= n && ::CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, commandLine.c_str() + i,
                                                             (int)n, w, (int)n) == CSTR_EQUAL;
    };
    if (word(L"-Stress", 7)) {
      stressFlag = true;
      i += 6;
    } else if (word(L"-Bench", 6)) {
      benchFlag = true;
      i += 5;
    }
  }
  return benchFlag ? StartMode::Bench : stressFlag ? StartMode::Stress : StartMode::Normal;
}

bool RunStressFromCommandLine(HWND frame, const std::wstring& commandLine, StressSettings& settings) {
  StartMode mode = ScanStartMode(commandLine);
  if (mode == StartMode::Normal) return false;
  if (mode == StartMode::Bench)
    RunBenchmarksCommand(frame, settings);
  else
    RunStressTestCommand(frame, settings);
  // After the message, when the list did not load, as after the dialog.
  ::PostMessageW(frame, WM_CLOSE, 0, 0);
  return true;
}

}  // namespace stress
