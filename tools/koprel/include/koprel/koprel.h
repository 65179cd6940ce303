// Koprel, the serial loopback tester: its settings, the configuration file,
// the modem-line test through the UART's registers, the data loop through
// the communication driver, and the lines of KOPREL.TXT.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "portio/portio.h"

namespace koprel {

constexpr int kPortCount = 4;
// COM1 to COM4.
constexpr uint16_t kPortBase[kPortCount] = {0x3F8, 0x2F8, 0x3E8, 0x2E8};
// UART registers used, from the base.
constexpr uint16_t kModemControl = 4, kModemStatus = 6, kScratch = 7;

struct Settings {
  int com[kPortCount] = {1, 0, 0, 0};
  DWORD readIntervalTimeout = 50;
  DWORD readTotalTimeoutMultiplier = 5;
  DWORD readTotalTimeoutConstant = 750;
  DWORD writeTotalTimeoutMultiplier = 5;
  DWORD writeTotalTimeoutConstant = 750;
  DWORD baudRate = 19200;
  DWORD bufferSize = 256;
  int loop = 4;  // data cycles + 1
  int plugType = 0;
  int autoDetect = 1;
};

// The communication time-outs brought into their ranges, so that every read
// and write of the data test ends: the interval 0 to 10,000 ms, each
// multiplier 0 to 1000 ms per byte, each constant 0 to 60,000 ms; a read or
// write with neither a multiplier nor a constant (no end at all) gets the
// constant's default.
void RangeCheckTimeouts(Settings* s);

// Under HKCU\Software\Kyt\Koprel\Setting, every value with its default,
// the time-outs range-checked.
Settings ReadSettings();
void WriteSettings(const Settings& s);

// Failure reasons (their texts in the verdict line).
enum Reason { kReasonDtr, kReasonRts, kReasonTxRv, kReasonNoPort, kReasonNotDetected };
const char* ReasonText(int reason);

// Data-test error codes (with reason kReasonTxRv).
enum DataError {
  kDataOk = 0,
  kDataOpen = 4,
  kDataTimeouts = 5,
  kDataGetState = 6,
  kDataSetState = 7,
  kDataPurge = 8,
  kDataWrite = 9,
  kDataRead = 10,
  kDataCompare = 11,
};

// CONFIG.TXT: ';' comments, "COM|n" (key compared ignoring case, n 1..4)
// selects port n; at most 1000 lines are read. `selected` is cleared first.
void ParseConfig(const std::string& text, bool selected[kPortCount]);

// The arguments of a command line, without the program's name (which may
// be quoted and hold blanks); quotes group blanks into an argument and are
// dropped.
std::vector<std::wstring> CommandArguments(const std::wstring& commandLine);
// An argument that begins with "-d", ignoring case. The program's own path
// never counts (a suite in a folder named "Kyt-Diag").
bool WantsNotepad(const std::wstring& commandLine);

// How the ports to test were chosen (the first line of the result file).
enum class Selection { Settings, ConfigFile, AutoDetect };
// The first line ("" for Selection::Settings), with its line feed.
std::string SelectionLine(Selection how, const bool selected[kPortCount]);

struct Verdict {
  bool passed = false;
  int reason = kReasonNoPort;
  int port = -1;       // index of the failing port
  int dataError = 0;   // with kReasonTxRv
};
// "Serial Port Loopback Test\t..." with its line feed.
std::string VerdictLine(const Verdict& v, const bool selected[kPortCount]);

// Port presence: the modem status read twice, 0x55 through the scratch
// register.
bool ProbePort(portio::PortIo& io, uint16_t base);
// The DTR and RTS tests of one port: -1 when both pass, else kReasonDtr or
// kReasonRts.
int LineTest(portio::PortIo& io, uint16_t base, int plugType);

// The communication driver's side of one COM port.
class SerialLink {
 public:
  virtual ~SerialLink() = default;
  virtual bool Open(int n) = 0;  // COM<n>, read and write, exclusive
  virtual bool SetTimeouts(const COMMTIMEOUTS& t) = 0;
  virtual bool GetState(DCB* dcb) = 0;
  virtual bool SetState(const DCB& dcb) = 0;
  virtual bool Purge() = 0;
  virtual bool Write(const uint8_t* data, DWORD n, DWORD* written) = 0;
  virtual bool Read(uint8_t* data, DWORD n, DWORD* got) = 0;
  virtual void Close() = 0;
};
// COM<n> through CreateFile and the Comm functions.
class CommPortLink : public SerialLink {
 public:
  ~CommPortLink() override { Close(); }
  bool Open(int n) override;
  bool SetTimeouts(const COMMTIMEOUTS& t) override;
  bool GetState(DCB* dcb) override;
  bool SetState(const DCB& dcb) override;
  bool Purge() override;
  bool Write(const uint8_t* data, DWORD n, DWORD* written) override;
  bool Read(uint8_t* data, DWORD n, DWORD* got) override;
  void Close() override;

 private:
  HANDLE port_ = INVALID_HANDLE_VALUE;
};

// The data loop of COM<n>: 0 when every cycle came back, else its code.
int SerialDataTest(SerialLink& link, int n, const Settings& s);

using portio::PortAccess;

// SerialLoopbackTest: up to three passes over the selected ports.
Verdict SerialLoopbackTest(PortAccess& access, SerialLink& link, const Settings& s, const bool selected[kPortCount]);

// The whole program in the current directory: settings, CONFIG.TXT, the
// probe (Windows 9x), KOPREL.TXT, settings back, Notepad with "-d".
// Answers 0.
int RunKoprel(PortAccess& access, bool windows9x, const std::wstring& commandLine);

}  // namespace koprel
