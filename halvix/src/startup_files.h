// The file that start-up puts in place outside the program's folder: the
// control-panel applet in the system folder.
#pragma once
#include <string>

namespace halvix {

// Copies <programDir>halvix.cpl to <systemDir>\halvix.cpl, whole or not at
// all, when the system folder has none.
void InstallControlPanelApplet(const std::wstring& systemDir, const std::wstring& programDir);

}  // namespace halvix
