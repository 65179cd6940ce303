// How the main program opens the stress test and benchmark dialogs: its
// commands "S&tress Test" (1023) and "&Benchmarks" (62164), and the
// "-Stress" / "-Bench" start-up switches.
#pragma once
#include <windows.h>

#include <string>

#include "stress/settings.h"

namespace stress {

// Command 1023: loads settings.dataDir + "modules.dat" into the Stress
// Test dialog; when it does not load, shows "Failed to open modules.dat.
// ..." and answers 0. Otherwise runs the dialog modally with the three
// choices of `settings` and, when it ends with IDOK, stores them back.
// Answers the dialog's result.
INT_PTR RunStressTestCommand(HWND owner, StressSettings& settings);
// Command 62164: the Benchmarks dialog with settings.dataDir +
// "bnchmark.dat"; nothing is shown when the list does not load (0).
INT_PTR RunBenchmarksCommand(HWND owner, const StressSettings& settings);

// Start-up with "-Stress" or "-Bench": runs that command unattended with
// `frame` (the main window, kept hidden) as owner, then posts WM_CLOSE to
// the frame so the program ends with the dialog.
void RunStartCommand(HWND frame, bool bench, StressSettings& settings);

}  // namespace stress
