#include "koprel/koprel.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

#include "appkit/registry.h"

namespace koprel {

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\Koprel\\Setting";
constexpr DWORD kRegisterPause = 10;

std::string Trim(const std::string& s) {
  size_t a = s.find_first_not_of(" \t\r\n"), b = s.find_last_not_of(" \t\r\n");
  return a == std::string::npos ? "" : s.substr(a, b - a + 1);
}

std::string Hex(const char* format, unsigned value) {
  char text[32];
  std::snprintf(text, sizeof text, format, value);
  return text;
}

struct DwordSetting {
  const wchar_t* name;
  DWORD Settings::*field;
};
const DwordSetting kDwordSettings[] = {
    {L"ReadIntervalTimeout", &Settings::readIntervalTimeout},
    {L"ReadTotalTimeoutMultiplier", &Settings::readTotalTimeoutMultiplier},
    {L"ReadTotalTimeoutConstant", &Settings::readTotalTimeoutConstant},
    {L"WriteTotalTimeoutMultiplier", &Settings::writeTotalTimeoutMultiplier},
    {L"WriteTotalTimeoutConstant", &Settings::writeTotalTimeoutConstant},
    {L"BaudRate", &Settings::baudRate},
    {L"BufferSize", &Settings::bufferSize},
};
struct IntSetting {
  const wchar_t* name;
  int Settings::*field;
};
const IntSetting kIntSettings[] = {
    {L"Loop", &Settings::loop}, {L"PlugType", &Settings::plugType}, {L"AutoDetect", &Settings::autoDetect}};
const wchar_t* const kPortNames[kPortCount] = {L"COM1", L"COM2", L"COM3", L"COM4"};

}  // namespace

void RangeCheckTimeouts(Settings* s) {
  constexpr DWORD kLongestInterval = 10000, kLongestPerByte = 1000, kLongestConstant = 60000;
  const Settings defaults;
  s->readIntervalTimeout = std::min(s->readIntervalTimeout, kLongestInterval);
  s->readTotalTimeoutMultiplier = std::min(s->readTotalTimeoutMultiplier, kLongestPerByte);
  s->readTotalTimeoutConstant = std::min(s->readTotalTimeoutConstant, kLongestConstant);
  s->writeTotalTimeoutMultiplier = std::min(s->writeTotalTimeoutMultiplier, kLongestPerByte);
  s->writeTotalTimeoutConstant = std::min(s->writeTotalTimeoutConstant, kLongestConstant);
  if (s->readTotalTimeoutMultiplier == 0 && s->readTotalTimeoutConstant == 0)
    s->readTotalTimeoutConstant = defaults.readTotalTimeoutConstant;
  if (s->writeTotalTimeoutMultiplier == 0 && s->writeTotalTimeoutConstant == 0)
    s->writeTotalTimeoutConstant = defaults.writeTotalTimeoutConstant;
}

Settings ReadSettings() {
  Settings s;
  for (int i = 0; i < kPortCount; ++i)
    s.com[i] = (int)appkit::RegReadDword(HKEY_CURRENT_USER, kKey, kPortNames[i], (DWORD)s.com[i]);
  for (const DwordSetting& d : kDwordSettings)
    s.*d.field = appkit::RegReadDword(HKEY_CURRENT_USER, kKey, d.name, s.*d.field);
  for (const IntSetting& d : kIntSettings)
    s.*d.field = (int)appkit::RegReadDword(HKEY_CURRENT_USER, kKey, d.name, (DWORD)(s.*d.field));
  RangeCheckTimeouts(&s);
  return s;
}

void WriteSettings(const Settings& s) {
  for (int i = 0; i < kPortCount; ++i) appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, kPortNames[i], (DWORD)s.com[i]);
  for (const DwordSetting& d : kDwordSettings) appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, d.name, s.*d.field);
  for (const IntSetting& d : kIntSettings) appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, d.name, (DWORD)(s.*d.field));
}

const char* ReasonText(int reason) {
  static const char* const kTexts[] = {"DTR", "RTS", "TX/RV", "no port selected or detected", "port not detected"};
  return reason >= 0 && reason <= kReasonNotDetected ? kTexts[reason] : "";
}

void ParseConfig(const std::string& text, bool selected[kPortCount]) {
  for (int i = 0; i < kPortCount; ++i) selected[i] = false;
  std::istringstream in(text);
  std::string line;
  for (int n = 0; n < 1000 && std::getline(in, line); ++n) {
    if (!line.empty() && line[0] == ';') continue;
    size_t bar = line.find('|');
    if (bar == std::string::npos) continue;
    std::string key = Trim(line.substr(0, bar)), value = Trim(line.substr(bar + 1));
    if (key.size() != 3 || _strnicmp(key.c_str(), "COM", 3) != 0) continue;
    if (value.size() == 1 && value[0] >= '1' && value[0] <= '4') selected[value[0] - '1'] = true;
  }
}

std::vector<std::wstring> CommandArguments(const std::wstring& commandLine) {
  const size_t n = commandLine.size();
  size_t i = 0;
  // The program's name: up to the closing quote when it begins with one
  // (blanks and all), else up to the first blank.
  if (i < n && commandLine[i] == L'"') {
    size_t close = commandLine.find(L'"', 1);
    i = close == std::wstring::npos ? n : close + 1;
  }
  while (i < n && commandLine[i] != L' ' && commandLine[i] != L'\t') ++i;
  std::vector<std::wstring> args;
  for (;;) {
    while (i < n && (commandLine[i] == L' ' || commandLine[i] == L'\t')) ++i;
    if (i >= n) break;
    std::wstring word;
    bool quoted = false;
    for (; i < n && (quoted || (commandLine[i] != L' ' && commandLine[i] != L'\t')); ++i) {
      if (commandLine[i] == L'"')
        quoted = !quoted;
      else
        word += commandLine[i];
    }
    args.push_back(word);
  }
  return args;
}

bool WantsNotepad(const std::wstring& commandLine) {
  for (const std::wstring& arg : CommandArguments(commandLine))
    if (arg.size() >= 2 && arg[0] == L'-' && towlower(arg[1]) == L'd') return true;
  return false;
}

std::string SelectionLine(Selection how, const bool selected[kPortCount]) {
  if (how == Selection::Settings) return "";
  std::string line = how == Selection::ConfigFile ? "Testing Serial Port(s)\t\t" : "Auto-detect Serial Port(s)\t";
  for (int i = 0; i < kPortCount; ++i)
    if (selected[i]) line += Hex("%Xh ", kPortBase[i]);
  return line + "\n";
}

std::string VerdictLine(const Verdict& v, const bool selected[kPortCount]) {
  std::string line = "Serial Port Loopback Test\t";
  if (v.passed) {
    line += "PASSED ";
    for (int i = 0; i < kPortCount; ++i)
      if (selected[i]) line += Hex("[%X] ", kPortBase[i]);
  } else if (v.reason == kReasonNoPort || v.port < 0 || v.port >= kPortCount) {
    line += std::string("FAILED [") + ReasonText(kReasonNoPort) + "]";
  } else {
    line += Hex("FAILED [%X]", kPortBase[v.port]) + "[" + ReasonText(v.reason) + "]";
    if (v.reason == kReasonTxRv) line += "[" + std::to_string(v.dataError) + "]";
  }
  return line + "\n";
}

bool ProbePort(portio::PortIo& io, uint16_t base) {
  io.In(base + kModemStatus);  // twice: the change bits go
  io.In(base + kModemStatus);
  io.Out(base + kScratch, 0x55);
  return io.In(base + kScratch) == 0x55;
}

int LineTest(portio::PortIo& io, uint16_t base, int plugType) {
  auto in = [&](bool pause) {
    if (pause) io.Pause(kRegisterPause);
    return io.In(base + kModemStatus);
  };
  auto out = [&](uint8_t v) {
    io.Pause(kRegisterPause);
    io.Out(base + kModemControl, v);
  };
  // The plug loops DTR to two status lines and RTS to the other two.
  const uint8_t p = plugType == 1 ? 0x60 : 0xA0;
  const uint8_t q = (uint8_t)(~p & 0xF0);

  out(1);
  uint8_t a = in(true);
  in(true);
  out(0);
  uint8_t b = in(true);
  in(true);
  if ((a & 0xF0) != p || b != (p >> 4)) return kReasonDtr;

  out(2);
  uint8_t c = in(true);
  in(true);
  out(0);
  uint8_t d = in(false);
  in(true);
  if ((c & 0xF0) != q || d != (q >> 4)) return kReasonRts;
  return -1;
}

int SerialDataTest(SerialLink& link, int n, const Settings& s) {
  if (!link.Open(n)) return kDataOpen;
  int code = kDataOk;
  uint8_t* sent = nullptr;
  uint8_t* got = nullptr;
  COMMTIMEOUTS t{s.readIntervalTimeout, s.readTotalTimeoutMultiplier, s.readTotalTimeoutConstant,
                 s.writeTotalTimeoutMultiplier, s.writeTotalTimeoutConstant};
  DCB dcb{};
  dcb.DCBlength = sizeof dcb;
  const DWORD size = s.bufferSize;
  if (!link.SetTimeouts(t)) {
    code = kDataTimeouts;
  } else if (!link.GetState(&dcb)) {
    code = kDataGetState;
  } else {
    dcb.BaudRate = s.baudRate;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    if (!link.SetState(dcb)) code = kDataSetState;
    else if (!link.Purge()) code = kDataPurge;
  }
  if (code == kDataOk && s.loop > 1) {
    sent = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    got = static_cast<uint8_t*>(std::malloc(size ? size : 1));
    if (!sent || !got) code = kDataWrite;  // nothing could be sent
  }
  std::srand(0);
  for (int cycle = 0; code == kDataOk && cycle < s.loop - 1; ++cycle) {
    std::memset(sent, 0, size);
    std::memset(got, 0, size);
    for (DWORD i = 0; i < size; ++i) sent[i] = (uint8_t)(std::rand() % 256);
    DWORD written = 0, read = 0;
    if (!link.Write(sent, size, &written) || written != size) code = kDataWrite;
    else if (!link.Read(got, size, &read) || read != size) code = kDataRead;
    else if (std::memcmp(sent, got, size) != 0) code = kDataCompare;
  }
  std::free(sent);
  std::free(got);
  link.Close();
  return code;
}

Verdict SerialLoopbackTest(PortAccess& access, SerialLink& link, const Settings& s, const bool selected[kPortCount]) {
  Verdict v;
  for (int pass = 0; pass < 3; ++pass) {
    v = Verdict{};
    v.passed = true;
    bool any = false;
    for (int i = 0; i < kPortCount && v.passed; ++i) {
      if (!selected[i]) continue;
      any = true;
      auto fail = [&](int reason, int dataError) {
        v.passed = false;
        v.reason = reason;
        v.port = i;
        v.dataError = dataError;
      };
      // Without access (no port driver on Windows NT) no register is
      // touched: the port counts as not detected.
      if (!access.Acquire()) {
        fail(kReasonNotDetected, 0);
        break;
      }
      int lines = ProbePort(access.Io(), kPortBase[i]) ? LineTest(access.Io(), kPortBase[i], s.plugType)
                                                        : kReasonNotDetected;
      access.Release();
      if (lines >= 0) {
        fail(lines, 0);
        break;
      }
      int data = SerialDataTest(link, i + 1, s);
      if (data != kDataOk) fail(kReasonTxRv, data);
    }
    if (!any) {
      v.passed = false;
      v.reason = kReasonNoPort;
      v.port = -1;
    }
    if (v.passed) break;
  }
  return v;
}

}  // namespace koprel
