// A program that initialises the sample control's runner in a window of its own and
// reports through its exit code what it found; it carries no resources, so
// strings and templates must come from the resource library beside it.
// Argument "9x" or "nt": the system the program is expected to see.
#include <windows.h>

#include <cstring>
#include <string>

#include "ctlfw/sheet.h"
#include "appkit/system.h"
#include "sample/sample.h"

enum : int {
  kInitFailed = 1,
  kNoSheetWindow = 2,
  kWrongTitle = 4,
  kOwnResources = 8,
  kStartupCall = 16,  // GetQuorrel's start-up answer missing (9x) or present (NT)
  kWrongSystem = 32,
  kCleanupFailed = 64,
  kNoTestPage = 128,  // the page template did not come from the library
};

int main(int argc, char** argv) {
  bool expect9x = argc > 1 && std::strcmp(argv[1], "9x") == 0;
  int result = 0;
  bool is9x = appkit::IsWindows9x();
  if (is9x != expect9x) result |= kWrongSystem;
  HWND control = ::CreateWindowExW(0, L"STATIC", L"control", WS_OVERLAPPEDWINDOW, 0, 0, 500, 400, nullptr, nullptr,
                                   ::GetModuleHandleW(nullptr), nullptr);
  static SampleRunner runner;
  if (!runner.Init(control, "-AutoRun")) result |= kInitFailed;
  if (!runner.Created()) result |= kNoSheetWindow;
  if (!runner.GetSheet() || !runner.GetSheet()->Test() || !runner.GetSheet()->Test()->hwnd()) result |= kNoTestPage;
  if (runner.Title() != "Sample Test") result |= kWrongTitle;
  if (runner.Resources() == ::GetModuleHandleW(nullptr)) result |= kOwnResources;
  bool answered = std::strcmp(reinterpret_cast<const char*>(runner.SystemInfo()), "vexholm-startup") == 0;
  if (answered != expect9x) result |= kStartupCall;
  if (!runner.Cleanup()) result |= kCleanupFailed;
  ::DestroyWindow(control);
  return result;
}
