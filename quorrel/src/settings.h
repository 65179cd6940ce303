// What the server keeps in the registry and finds of the main program: the
// summary switches, the last self-test result, and the main program's
// window, brought to the front by its registered title.
#pragma once
#include <windows.h>

#include <string>

#include "suite/info.h"

namespace quorrel {

// Reads the twenty switches of Software\Qev\Quorrel\Setting into `out`.
void ReadSummarySwitches(int out[suite::SW_COUNT]);
void WriteLastResult(const std::string& text);
void BringMainWindowToFront();

}  // namespace quorrel
