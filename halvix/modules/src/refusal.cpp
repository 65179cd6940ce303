#include <algorithm>

#include "modules/module_launcher.h"

namespace halvix {

namespace {

// The kinds that need the machine to themselves, in the order they are asked.
constexpr int kMachineKinds[] = {suite::ModuleKindAudio,    suite::ModuleKindGraphics, suite::ModuleKindModem,
                                 suite::ModuleKindCdrom,    suite::ModuleKindHardDisk, suite::ModuleKindFloppy,
                                 suite::ModuleKindIoPort,   suite::ModuleKindProcessor, suite::ModuleKindMemory};

bool Live(const std::vector<int>& live, int kind) { return std::find(live.begin(), live.end(), kind) != live.end(); }

Refusal ActivateAndRefuse(int kind, UINT message) { return Refusal{true, kind, message}; }

}  // namespace

Refusal DecideRefusal(GuardedCommand cmd, int ownKind, const std::vector<int>& live) {
  switch (cmd) {
    case GuardedCommand::Module:
      if (Live(live, ownKind)) return ActivateAndRefuse(ownKind, 0);
      if (Live(live, suite::ModuleKindCleanup)) return ActivateAndRefuse(suite::ModuleKindCleanup, IDS_CLOSE_CLEANUP_FIRST);
      return {};
    case GuardedCommand::Cleanup:
      if (Live(live, suite::ModuleKindCleanup)) return ActivateAndRefuse(suite::ModuleKindCleanup, 0);
      [[fallthrough]];
    case GuardedCommand::StressTest:
    case GuardedCommand::Benchmarks:
    case GuardedCommand::ResetDefaults:
      for (int kind : kMachineKinds)
        if (Live(live, kind)) return ActivateAndRefuse(kind, IDS_CLOSE_ALL_MODULES);
      if (cmd != GuardedCommand::ResetDefaults &&
          (Live(live, suite::ModuleKindDosTest) || Live(live, suite::ModuleKindCleanup)))
        return Refusal{true, -1, IDS_CLOSE_ALL_MODULES};
      return {};
    case GuardedCommand::DosTest:
      if (!live.empty()) return Refusal{true, -1, IDS_CLOSE_ALL_MODULES};
      return {};
  }
  return {};
}

std::wstring ProgramPathOf(const std::wstring& cmdLine) {
  if (!cmdLine.empty() && cmdLine[0] == L'"') {
    size_t close = cmdLine.find(L'"', 1);
    return cmdLine.substr(1, close == std::wstring::npos ? std::wstring::npos : close - 1);
  }
  // The switches start at the first " -": the path ends there, whatever
  // blanks its directories hold and however many switches follow.
  size_t switches = cmdLine.find(L" -");
  if (switches != std::wstring::npos) return cmdLine.substr(0, switches);
  size_t blank = cmdLine.rfind(L' ');
  size_t slash = cmdLine.rfind(L'\\');
  if (blank != std::wstring::npos && slash != std::wstring::npos && slash < blank) return cmdLine.substr(0, blank);
  return cmdLine;
}

std::wstring ModuleCommandLine(int kind, const std::wstring& dir, const std::wstring& cleanupProgram) {
  switch (kind) {
    case suite::ModuleKindAudio: return dir + L"media.mod";
    case suite::ModuleKindGraphics: return dir + L"graphics.mod";
    case suite::ModuleKindModem: return dir + L"modem.mod";
    case suite::ModuleKindCdrom: return dir + L"cdrom.mod";
    case suite::ModuleKindHardDisk: return dir + L"fenwold.mod";
    case suite::ModuleKindFloppy: return dir + L"fenwold.mod -floppy";
    case suite::ModuleKindProcessor: return dir + L"zentrel.mod -proctest";
    case suite::ModuleKindMemory: return dir + L"zentrel.mod";
    case suite::ModuleKindIoPort: return dir + L"strevan.mod";
    case suite::ModuleKindCleanup: return dir + cleanupProgram;
    case suite::ModuleKindTcpTools: return dir + L"netrick.exe";
    case suite::ModuleKindScsiTools: return dir + L"scsi.exe";
    case suite::ModuleKindUsbTool: return dir + L"usb.exe";
    default: return {};
  }
}

}  // namespace halvix
