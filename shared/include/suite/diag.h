// The module protocol between the main program (or a stress/benchmark
// dialog) and the programs it starts, carried by the registered message
// "kyt_diag_msg" (suite::kDiagMessage). Host to module, posted to the
// module's main thread: wParam is the code, lParam its argument. Module to
// host, once at exit: the same message posted to the host window with
// wParam = the result (the error count of the run, 0 when none came) and
// lParam = the cookie the host gave with DiagStart.
#pragma once

#ifndef RC_INVOKED
#include "suite/messages.h"

namespace suite {

enum DiagCode : unsigned {
  DiagHostWindow = 0,  // lParam: the window to report to
  DiagStart = 1,       // lParam: cookie (the module's own process id); -AutoRun starts the test
  DiagClose = 2,       // lParam 0: close as the user's Close does
  DiagActivate = 4,    // lParam 0: taken and dropped
};

// Tags of the processes the main program starts (and the kind of each
// test command or tool).
enum ModuleKind : int {
  ModuleKindAudio = 0,          // media.mod
  ModuleKindGraphics = 1,       // graphics.mod
  ModuleKindModem = 2,          // modem.mod
  ModuleKindCdrom = 3,          // cdrom.mod
  ModuleKindHardDisk = 4,       // fenwold.mod
  ModuleKindFloppy = 5,         // fenwold.mod -floppy
  ModuleKindDosTest = 7,        // WENDROP.PIF / WENDROP2.PIF (no protocol)
  ModuleKindProcessor = 10,     // zentrel.mod -proctest
  ModuleKindMemory = 11,        // zentrel.mod
  ModuleKindIoPort = 14,        // strevan.mod
  ModuleKindCleanup = 15,       // brisko.mod
  ModuleKindIpConfig = 16,      // winipcfg.exe
  ModuleKindTcpTools = 17,      // netrick.exe
  ModuleKindScsiTools = 18,     // scsi.exe
  ModuleKindSystemInfo = 19,    // the "MSInfoPath" setting
  ModuleKindUsbTool = 20,       // usb.exe
};

}  // namespace suite
#endif
