// Halvix, the main program of the suite.
#include <windows.h>

#include "halvix_app.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  CHalvixApp app;
  app.SetShowCommand(show);
  return app.Run();
}
