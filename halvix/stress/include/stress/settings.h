// The main program's values that the stress and benchmark dialogs use. The
// main program's application object fills this from its settings
// (HKCU Software\Qev\Halvix\Setting) and hands it over.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

namespace stress {

struct StressSettings {
  std::wstring dataDir;                    // list files, logs, BNCHMARK.BNH; ends in a backslash
  std::wstring messageBoxTitle = L"Qev";   // "MessageBoxTitle"
  int timeoutCount = 20;                   // "nTimeoutCount": input-idle waits before a module is ended (>= 1)
  int sleepMs = 1000;                      // "Sleep": pause after each concurrent start (0..2000)
  std::wstring cFactor = L"75";            // "CFactor": the percentage after " -C"
  std::wstring bnhRefFileName;             // "BnhRefFileName": reference benchmark file
  // The stress dialog's choices: "nTestNum", "nStopOnError", "nOneByOne".
  int testNum = 1;
  int stopOnError = 1;
  int oneByOne = 1;
  // Length of one input-idle wait. Always 5000 in the main program; test
  // hosts shorten it.
  DWORD idleWaitMs = 5000;
  // Opened by the start switches "-Stress" / "-Bench": nobody may be there
  // to answer a message box, so problems during a run are only shown in
  // the dialog.
  bool unattended = false;
  // Full-scale values of the benchmark bar chart ("MaxDhrystone" ...).
  int maxDhrystone = 400, maxWhetstone = 120, maxMemRead = 350, maxMemWrite = 350;
  int maxHarddiskTransferRate = 15, maxHarddiskRead = 15, maxCDROMTransferRate = 3600, maxVideoSpeed = 30;
  int maxIndex = 200;
  // Opens a help page (the main program's OpenHtmlPage); may be empty.
  std::function<void(const std::wstring&)> openHelp;
  // Keeps a reference file the user picked ("BnhRefFileName"); may be empty.
  std::function<void(const std::wstring&)> storeRefFile;
};

}  // namespace stress
