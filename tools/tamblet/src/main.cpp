// Tamblet, the report wizard (installed as Tamblet.MOD).
#include <windows.h>

#include "wizard.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  tamblet::CReportWizardApp app;
  return app.Run();
}
