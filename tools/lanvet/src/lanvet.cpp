#include "lanvet/lanvet.h"

#include <cstdio>

#include "appkit/registry.h"
#include "appkit/wholefile.h"

namespace lanvet {

namespace {
const wchar_t kKey[] = L"Software\\Kyt\\Lanvet\\Setting";
const wchar_t kResultFile[] = L"LANVET.TXT";
const wchar_t* const kNames[kPortCount] = {L"LPT1", L"LPT2", L"LPT3"};
constexpr DWORD kWritePause = 10;

std::string Hex(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}
}  // namespace

const char* StageName(int stage) {
  static const char* const kNamesByStage[] = {"strb-slct", "lnfd-pout", "init-ack", "sel-busy", "d0-error"};
  return stage >= 0 && stage <= kStageData ? kNamesByStage[stage] : "";
}

Settings ReadSettings() {
  Settings s;
  for (int i = 0; i < kPortCount; ++i) s.lpt[i] = appkit::RegReadDword(HKEY_CURRENT_USER, kKey, kNames[i], s.lpt[i]);
  return s;
}

void WriteSettings(const Settings& s) {
  for (int i = 0; i < kPortCount; ++i) appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, kNames[i], s.lpt[i]);
}

int PortTest(portio::PortIo& io, uint16_t base) {
  auto write = [&](uint16_t reg, uint8_t v) {
    io.Out(base + reg, v);
    io.Pause(kWritePause);
  };
  auto status = [&] { return (uint8_t)(io.In(base + kStatus) & 0xF0); };

  // Stage A: one more control line raised each step, each looped to its
  // status line (strobe, line feed and select-in are inverted: XOR 3).
  int stage = 0;
  for (unsigned k = 1; k <= 15; k = k * 2 + 1) {
    write(kControl, (uint8_t)(k ^ 3));
    if (status() != (uint8_t)(k * 16)) return stage;
    ++stage;
  }
  // Stage B: a window of three lines moving up and out.
  stage = 0;
  for (unsigned k = 0x0E; k <= 0x70; k = (k & 0x7F) * 2) {
    write(kControl, (uint8_t)(k ^ 3));
    if (status() != (uint8_t)((k & 0x0F) * 16)) return stage;
    ++stage;
  }
  // Data stage: data bit 0 looped to the error line.
  uint8_t saved = io.In(base + kExtendedControl);
  write(kExtendedControl, 0x20);
  write(kControl, 0x0C);
  write(0, 0x00);
  bool low = (io.In(base + kStatus) & 0x08) == 0;
  write(0, 0xFF);
  bool high = (io.In(base + kStatus) & 0x08) != 0;
  write(kExtendedControl, saved);
  return low && high ? -1 : kStageData;
}

std::string VerdictLine(const Verdict& v, const Settings& s) {
  std::string line = "Printer Port Loopback Test\t";
  if (!v.anySelected) return line + "FAILED [no port selected]\n";
  if (v.failedPort >= 0 && v.failedPort < kPortCount)
    return line + Hex("FAILED [%X]", kPortBase[v.failedPort]) + "[" + StageName(v.stage) + "]\n";
  line += "PASSED ";
  for (int i = 0; i < kPortCount; ++i)
    if (s.lpt[i] == 1) line += Hex("[%X] ", kPortBase[i]);
  return line + "\n";
}

Verdict TestPorts(portio::PortAccess& access, const Settings& s, std::string* lines) {
  Verdict v;
  for (int i = 0; i < kPortCount; ++i) {
    if (s.lpt[i] != 1) continue;
    v.anySelected = true;
    if (!access.Acquire()) {
      // No driver: no register is touched.
      *lines += kDriverMissingLine;
      v.failedPort = i;
      v.stage = kStageStrobeSelect;
      break;
    }
    int stage = PortTest(access.Io(), kPortBase[i]);
    access.Release();
    if (stage >= 0) {
      v.failedPort = i;
      v.stage = stage;
      break;
    }
  }
  return v;
}

int RunLanvet(portio::PortAccess& access) {
  Settings s = ReadSettings();
  // Made before the test, which runs only when it can be; written after it.
  HANDLE out = appkit::CreateFileForWriting(kResultFile, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS,
                                            FILE_ATTRIBUTE_NORMAL);
  if (out != INVALID_HANDLE_VALUE) {
    std::string lines;
    Verdict v = TestPorts(access, s, &lines);
    lines += VerdictLine(v, s);
    bool written = appkit::AppendWhole(out, lines);
    written = ::CloseHandle(out) && written;
    // A verdict the disk had no room for is no verdict: no file is left
    // that a reader could take for one.
    if (!written) ::DeleteFileW(kResultFile);
  }
  WriteSettings(s);
  return 0;
}

}  // namespace lanvet
