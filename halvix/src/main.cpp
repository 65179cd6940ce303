// Halvix, the main program of the suite.
#include <windows.h>

#include "halvix_app.h"
#include "main_frame.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  CHalvixApp app([] { return std::make_unique<CMainFrame>(); });
  app.SetShowCommand(show);
  return app.Run();
}
