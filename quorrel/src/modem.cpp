#include "modem.h"

#include <cstring>
#include <mutex>

#include "format.h"
#include "modem_resource.h"
#include "module.h"

namespace quorrel {

namespace {

const char* const kIdentityCommands[] = {"ATI0", "ATI1", "ATI2", "ATI3", "ATI4", "ATI5", "ATI6"};
const char* const kPortNames[] = {"", "COM1", "COM2", "COM3", "COM4", "COM5", "COM6", "COM7", "COM8", "COM9"};

void CopyBounded(char* to, size_t size, const std::string& from) {
  size_t n = from.size() < size - 1 ? from.size() : size - 1;
  std::memcpy(to, from.data(), n);
  to[n] = 0;
}

}  // namespace

void ModemProbe::ClosePort() {
  if (line_.IsOpen()) line_.Close();
}

bool ModemProbe::WriteModemString(const char* text) {
  if (!line_.IsOpen()) return false;
  return line_.Write(text, static_cast<DWORD>(std::strlen(text)));
}

bool ModemProbe::ReadModemReply() {
  DWORD start = line_.Tick();
  bool grace = true;
  bool ok = false;
  std::memset(reply_, 0, sizeof(reply_));
  size_t held = 0;
  for (;;) {
    line_.Sleep(kModemPollMs);
    if (Cancelled() || !line_.IsOpen()) break;
    DWORD queued = 0;
    if (!line_.Queued(&queued)) break;
    if (queued == 0) {
      if (held && MatchResultKeyword(reply_, &replyOk_)) {
        ok = true;
        break;
      }
    } else {
      size_t room = kModemReplySize - 1 - held;
      if (room == 0) break;
      DWORD want = queued < room ? queued : static_cast<DWORD>(room);
      DWORD got = 0;
      if (!line_.Read(reply_ + held, want, &got) || got == 0 || got > want) break;
      held += got;
      reply_[held] = 0;
    }
    // The time-out counts from the start of the read and holds while bytes
    // keep coming too: a port that chatters without a result line costs no
    // more than a silent one. One more poll after it, for a reply that has
    // just come in.
    if (line_.Tick() - start >= timeOut_) {
      if (!grace) {
        line_.Purge();
        break;
      }
      grace = false;
    }
  }
  std::string raw(reply_, held);
  std::string text = ExtractReplyLine(raw, 2);
  if (text.empty()) text = ExtractReplyLine(raw, 3);
  CopyBounded(reply_, sizeof(reply_), text);
  return ok;
}

bool ModemProbe::SendModemCommand(const std::string& command) {
  std::memset(command_, 0, sizeof(command_));
  std::memset(reply_, 0, sizeof(reply_));
  if (!line_.IsOpen()) return false;
  CopyBounded(command_, sizeof(command_) - 1, command);
  std::strcat(command_, "\r");
  if (!line_.Purge()) return false;
  std::memset(reply_, 0, sizeof(reply_));
  if (!WriteModemString(command_)) return false;
  if (!ReadModemReply()) return false;
  return replyOk_ != 0;
}

bool ModemProbe::OpenModemPort(const std::string& name, int probe, int n) {
  std::memset(command_, 0, sizeof(command_));
  std::memset(reply_, 0, sizeof(reply_));
  std::strcpy(command_, "ATZ\r");
  ClosePort();
  if (n < 1 || n > 9) return false;
  if (!probe) {
    if (!found_[n]) return false;
  } else {
    found_[n] = 0;
  }
  if (!line_.Open(name)) return false;
  if (!line_.Purge()) return false;
  if (!probe) return true;
  bool read = false;
  for (int attempt = 0; attempt < 2 && !read && !Cancelled(); ++attempt) {
    std::memset(reply_, 0, sizeof(reply_));
    if (!WriteModemString("ATZ\r")) {
      if (attempt == 0) return false;
      break;
    }
    read = ReadModemReply();
  }
  if (!read) return false;
  // Any result line answers: a modem that says "ERROR" to ATZ is a modem.
  found_[n] = 1;
  timeOut_ = kModemResetTimeOut;
  SendModemCommand("AT");
  timeOut_ = kModemReplyTimeOut;
  return true;
}

void ModemProbe::WriteModemIdentity(InfoSink& out) {
  for (const char* command : kIdentityCommands) {
    if (SendModemCommand(command)) out.WriteString(std::string(command) + ":\t" + reply_ + "\n");
  }
}

void ModemProbe::WriteModemInfo(InfoSink& out) {
  out.WriteString("\n");
  out.WriteString("@3" + Str(IDS_MODEM_INFORMATION) + "\n");
  int probe = probePending_;
  probePending_ = 0;
  int count = 0;
  for (int n = 1; n <= 9; ++n) {
    std::string port = kPortNames[n];
    if (!Cancelled() && OpenModemPort(port, probe, n)) {
      ++count;
      out.WriteString(FormatA(Str(IDS_MODEM_PORT).c_str(), port.c_str()) + "\n");
      if (SendModemCommand("AT+FCLASS=?")) {
        out.WriteString(Str(IDS_MODEM_FAX_YES) + "\n");
        out.WriteString(FormatA(Str(IDS_MODEM_CLASS_SUPPORT).c_str(), reply_) + "\n");
      } else {
        out.WriteString(Str(IDS_MODEM_FAX_NO) + "\n");
      }
      out.WriteString("\n");
      WriteModemIdentity(out);
      out.WriteString("\n\n");
    }
    ClosePort();
    replyOk_ = 0;
  }
  out.WriteString(count ? "\n" : Str(IDS_MODEM_NOT_FOUND) + "\n");
}

void ModemProbe::WriteModemSummary(InfoSink& out) {
  int count = 0;
  for (int n = 1; n <= 9; ++n) {
    std::string port = kPortNames[n];
    if (!Cancelled() && OpenModemPort(port, 1, n)) {
      ++count;
      out.WriteString(FormatA(Str(IDS_MODEM_INSTALLED).c_str(), port.c_str()) + "\n");
      if (SendModemCommand("AT+FCLASS=?"))
        out.WriteString(FormatA(Str(IDS_MODEM_FAX_CLASS).c_str(), reply_) + "\n");
      else
        out.WriteString(Str(IDS_MODEM_FAX_NO) + "\n");
    }
    ClosePort();
    replyOk_ = 0;
  }
  if (!count) out.WriteString(Str(IDS_MODEM_SUMMARY_NOT_FOUND) + "\n");
}

namespace {

// A COM port through the Win32 communications calls.
class SerialModemLine : public ModemLine {
 public:
  ~SerialModemLine() override { Close(); }
  bool Open(const std::string& name) override {
    Close();
    port_ = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (port_ == INVALID_HANDLE_VALUE) {
      port_ = nullptr;
      return false;
    }
    COMMTIMEOUTS t{};
    t.ReadIntervalTimeout = 100;
    t.ReadTotalTimeoutMultiplier = 100;
    t.ReadTotalTimeoutConstant = 0;
    t.WriteTotalTimeoutMultiplier = 100;
    t.WriteTotalTimeoutConstant = 750;
    COMMCONFIG config{};
    DWORD size = sizeof(config);
    config.dwSize = sizeof(config);
    bool ok = ::SetCommTimeouts(port_, &t) && ::GetCommConfig(port_, &config, &size);
    if (ok) {
      config.dcb.BaudRate = 300;
      ok = ::SetCommConfig(port_, &config, size) != FALSE;
    }
    if (!ok) Close();
    return ok;
  }
  void Close() override {
    if (port_) ::CloseHandle(port_);
    port_ = nullptr;
  }
  bool IsOpen() const override { return port_ != nullptr; }
  bool Purge() override {
    return port_ && ::PurgeComm(port_, PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
  }
  bool Write(const char* data, DWORD size) override {
    DWORD written = 0;
    return port_ && ::WriteFile(port_, data, size, &written, nullptr) && written == size;
  }
  bool Queued(DWORD* bytes) override {
    DWORD errors = 0;
    COMSTAT status{};
    if (!port_ || !::ClearCommError(port_, &errors, &status) || errors != 0) return false;
    *bytes = status.cbInQue;
    return true;
  }
  bool Read(char* buffer, DWORD size, DWORD* got) override {
    *got = 0;
    return port_ && ::ReadFile(port_, buffer, size, got, nullptr);
  }
  void Sleep(DWORD ms) override { ::Sleep(ms); }
  DWORD Tick() override { return ::GetTickCount(); }
  bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) override {
    return ::GetDefaultCommConfigA(name.c_str(), config, size) != FALSE;
  }

 private:
  HANDLE port_ = nullptr;
};

std::mutex g_modemLock;

ModemProbe& MachineProbe() {
  static SerialModemLine line;
  static ModemProbe probe(line);
  return probe;
}

std::string ParityText(BYTE parity) {
  switch (parity) {
    case 0: return Str(IDS_PARITY_NONE);
    case 1: return Str(IDS_PARITY_ODD);
    case 2: return Str(IDS_PARITY_EVEN);
    case 3: return Str(IDS_PARITY_MARK);
    case 4: return Str(IDS_PARITY_SPACE);
    default: return std::string();
  }
}

std::string StopBitsText(BYTE stopBits) {
  switch (stopBits) {
    case 0: return Str(IDS_STOP_ONE);
    case 1: return Str(IDS_STOP_ONE_HALF);
    case 2: return Str(IDS_STOP_TWO);
    default: return std::string();
  }
}

}  // namespace

std::unique_ptr<ModemLine> MakeSerialModemLine() { return std::make_unique<SerialModemLine>(); }

void WriteModemInfo(InfoSink& out, const std::function<bool()>& cancelled) {
  std::lock_guard<std::mutex> hold(g_modemLock);
  ModemProbe& probe = MachineProbe();
  probe.cancelled = cancelled;
  probe.WriteModemInfo(out);
  probe.cancelled = nullptr;
}

void WriteModemSummary(InfoSink& out, const std::function<bool()>& cancelled) {
  std::lock_guard<std::mutex> hold(g_modemLock);
  ModemProbe& probe = MachineProbe();
  probe.cancelled = cancelled;
  probe.WriteModemSummary(out);
  probe.cancelled = nullptr;
}

void WriteDcbSettings(InfoSink& out, const DCB& dcb) {
  std::string flow;
  if (dcb.fRtsControl != 0 && dcb.fOutxCtsFlow)
    flow = Str(IDS_FLOW_HARDWARE);
  else if (dcb.fOutX || dcb.fInX)
    flow = Str(IDS_FLOW_XONXOFF);
  else
    flow = Str(IDS_FLOW_NONE);
  const std::string lead = "   ";
  out.WriteString(lead + FormatA(Str(IDS_PORT_MAX_BAUD).c_str(), (unsigned long)dcb.BaudRate) + "\n");
  out.WriteString(lead + FormatA(Str(IDS_PORT_DATA_BITS).c_str(), (unsigned)dcb.ByteSize) + "\n");
  out.WriteString(lead + FormatA(Str(IDS_PORT_PARITY).c_str(), ParityText(dcb.Parity).c_str()) + "\n");
  out.WriteString(lead + FormatA(Str(IDS_PORT_STOP_BIT).c_str(), StopBitsText(dcb.StopBits).c_str()) + "\n");
  out.WriteString(lead + FormatA(Str(IDS_PORT_FLOW).c_str(), flow.c_str()) + "\n");
}

void WritePortSettings(InfoSink& out, const std::string& portName, ModemLine& line) {
  COMMCONFIG config{};
  DWORD size = sizeof(config);
  config.dwSize = sizeof(config);
  std::string name = portName.size() > 4 ? portName.substr(portName.size() - 4) : portName;
  if (!line.DefaultConfig(name, &config, &size)) {
    // No configuration: the zero record is what the lines show.
    config = COMMCONFIG{};
  }
  WriteDcbSettings(out, config.dcb);
}

void WritePortSettings(InfoSink& out, const std::string& portName) {
  SerialModemLine line;
  WritePortSettings(out, portName, line);
}

}  // namespace quorrel
