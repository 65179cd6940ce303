// Lanvet, the parallel loopback tester: its settings, the register test of
// one port with a loopback plug, and the line of LANVET.TXT.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

#include "portio/portio.h"

namespace lanvet {

constexpr int kPortCount = 3;
// LPT1 to LPT3.
constexpr uint16_t kPortBase[kPortCount] = {0x378, 0x278, 0x3BC};
constexpr uint16_t kStatus = 1, kControl = 2, kExtendedControl = 0x402;

// Stage names of a failure, by stage index.
const char* StageName(int stage);
enum Stage { kStageStrobeSelect, kStageLineFeedPaperOut, kStageInitAck, kStageSelectBusy, kStageData };

// HKCU\Software\Kyt\Lanvet\Setting "LPT1".."LPT3" (defaults 1, 0, 0); a
// port is tested only when its value is exactly 1.
struct Settings {
  DWORD lpt[kPortCount] = {1, 0, 0};
};
Settings ReadSettings();
void WriteSettings(const Settings& s);

// ParallelLoopbackTest without the driver step: -1 when the port passes,
// else the failing stage. The extended control register is put back.
int PortTest(portio::PortIo& io, uint16_t base);

struct Verdict {
  bool anySelected = false;
  int failedPort = -1;  // index; -1: all selected ports passed
  int stage = 0;
};
// "Printer Port Loopback Test\t..." with its line feed.
std::string VerdictLine(const Verdict& v, const Settings& s);
// Written before the verdict when the port driver cannot be opened.
constexpr char kDriverMissingLine[] = "[kytntio.sys not found]\n";

// The ports in order, stopping at the first failure; lines for the
// missing driver go to `lines`.
Verdict TestPorts(portio::PortAccess& access, const Settings& s, std::string* lines);

// The whole program in the current directory: settings, LANVET.TXT,
// settings back. Answers 0.
int RunLanvet(portio::PortAccess& access);

}  // namespace lanvet
