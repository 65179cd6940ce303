// Brisko, the clean-up tool (installed as brisko.mod).
#include <windows.h>

#include "brisko.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  brisko::CCleanApp app;
  return app.Run();
}
