#include "startup_files.h"

#include "appkit/paths.h"
#include "appkit/wholefile.h"

namespace halvix {

void InstallControlPanelApplet(const std::wstring& systemDir, const std::wstring& programDir) {
  if (systemDir.empty()) return;
  std::wstring installed = systemDir + L"\\halvix.cpl";
  std::wstring ours = programDir + L"halvix.cpl";
  // Whole or not at all: an applet that is there is never copied again, so a
  // copy cut short would stay for good.
  if (!appkit::FileExists(installed) && appkit::FileExists(ours)) appkit::CopyFileWhole(ours, installed);
}

}  // namespace halvix
