#include "modem.h"

#include <cstring>
#include <mutex>
#include <system_error>
#include <thread>
#include <vector>

#include "format.h"
#include "modem_resource.h"
#include "texts.h"

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

void ModemPortDialogue::ClosePort() {
  if (line_.IsOpen()) line_.Close();
  replyOk_ = 0;
}

bool ModemPortDialogue::WriteModemString(const char* text) {
  if (!line_.IsOpen()) return false;
  return line_.Write(text, static_cast<DWORD>(std::strlen(text)));
}

bool ModemPortDialogue::ReadModemReply() {
  DWORD start = line_.Tick();
  bool grace = true;
  bool ok = false;
  bool fresh = false;  // bytes came since the queue was last seen empty
  std::memset(reply_, 0, sizeof(reply_));
  size_t held = 0;
  for (;;) {
    if (Cancelled() || !line_.IsOpen()) break;
    size_t room = kModemReplySize - 1 - held;
    if (room == 0) break;
    // After bytes, look at once whether more are queued; else wait for
    // bytes until the time-out (and one more wait after it, for a reply
    // that has just come in), never longer than one poll at a time.
    DWORD spent = line_.Tick() - start;
    DWORD wait = spent < timeOut_ ? timeOut_ - spent : kModemPollMs;
    if (wait > kModemPollMs) wait = kModemPollMs;
    if (fresh) wait = 0;
    DWORD got = 0;
    if (!line_.ReadWaiting(reply_ + held, static_cast<DWORD>(room), wait, &got) || got > room) break;
    if (got) {
      held += got;
      reply_[held] = 0;
      fresh = true;
      // A port that keeps sending without a result line costs no more
      // than a silent one.
      if (line_.Tick() - start >= timeOut_ + kModemPollMs) {
        line_.Purge();
        break;
      }
      continue;
    }
    // Nothing queued: the reply is judged, then the time-out, which counts
    // from the start of the read.
    fresh = false;
    if (held && MatchResultKeyword(reply_, &replyOk_)) {
      ok = true;
      break;
    }
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

bool ModemPortDialogue::SendModemCommand(const std::string& command) {
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

bool ModemPortDialogue::OpenModemPort(const std::string& name, bool probe) {
  std::memset(command_, 0, sizeof(command_));
  std::memset(reply_, 0, sizeof(reply_));
  std::strcpy(command_, "ATZ\r");
  ClosePort();
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
  timeOut_ = kModemResetTimeOut;
  SendModemCommand("AT");
  timeOut_ = kModemReplyTimeOut;
  return true;
}

void ModemPortDialogue::WriteModemIdentity(InfoSink& out) {
  for (const char* command : kIdentityCommands) {
    if (SendModemCommand(command)) out.Item(std::string(command) + ":", reply_);
  }
}

void ModemProbe::AskPorts(const bool ask[10], bool probe,
                          const std::function<void(ModemPortDialogue&, int, InfoSink&)>& talk, std::string text[10],
                          bool opened[10]) {
  auto port = [&](int n) {
    std::unique_ptr<ModemLine> line = lines_();
    if (!line) return;
    ModemPortDialogue dialogue(*line, cancelled);
    StringSink out;
    bool cancelledNow = cancelled && cancelled();
    if (!cancelledNow && dialogue.OpenModemPort(kPortNames[n], probe)) {
      opened[n] = true;
      talk(dialogue, n, out);
    }
    dialogue.ClosePort();
    text[n] = out.text;
  };
  // Every port on a thread of its own (at most nine), joined before the
  // probe goes on; a port whose thread cannot start is asked here.
  std::vector<std::thread> threads;
  for (int n = 1; n <= 9; ++n) {
    if (!ask[n]) continue;
    try {
      threads.emplace_back(port, n);
    } catch (const std::system_error&) {
      port(n);
    }
  }
  for (std::thread& t : threads) t.join();
}

void ModemProbe::WriteModemInfo(InfoSink& out) {
  out.EndLine();
  out.Heading(Str(IDS_MODEM_INFORMATION));
  bool probe = probePending_ != 0;
  probePending_ = 0;
  bool ask[10] = {};
  for (int n = 1; n <= 9; ++n) {
    ask[n] = probe || found_[n] != 0;
    if (probe) found_[n] = 0;
  }
  std::string text[10];
  bool opened[10] = {};
  AskPorts(ask, probe,
           [](ModemPortDialogue& d, int n, InfoSink& port) {
             port.Line(FormatA(Str(IDS_MODEM_PORT).c_str(), kPortNames[n]));
             if (d.SendModemCommand("AT+FCLASS=?")) {
               port.Line(Str(IDS_MODEM_FAX_YES));
               port.Line(FormatA(Str(IDS_MODEM_CLASS_SUPPORT).c_str(), d.ReplyText()));
             } else {
               port.Line(Str(IDS_MODEM_FAX_NO));
             }
             port.EndLine();
             d.WriteModemIdentity(port);
             port.BlankLine();
             port.BlankLine();
           },
           text, opened);
  int count = 0;
  for (int n = 1; n <= 9; ++n) {
    if (probe && opened[n]) found_[n] = 1;
    if (!opened[n]) continue;
    ++count;
    out.Text(text[n]);
  }
  if (count)
    out.BlankLine();
  else
    out.Line(Str(IDS_MODEM_NOT_FOUND));
}

void ModemProbe::WriteModemSummary(InfoSink& out) {
  bool ask[10] = {};
  for (int n = 1; n <= 9; ++n) {
    ask[n] = true;
    found_[n] = 0;
  }
  std::string text[10];
  bool opened[10] = {};
  AskPorts(ask, true,
           [](ModemPortDialogue& d, int n, InfoSink& port) {
             port.Line(FormatA(Str(IDS_MODEM_INSTALLED).c_str(), kPortNames[n]));
             if (d.SendModemCommand("AT+FCLASS=?"))
               port.Line(FormatA(Str(IDS_MODEM_FAX_CLASS).c_str(), d.ReplyText()));
             else
               port.Line(Str(IDS_MODEM_FAX_NO));
           },
           text, opened);
  int count = 0;
  for (int n = 1; n <= 9; ++n) {
    if (!opened[n]) continue;
    found_[n] = 1;
    ++count;
    out.Text(text[n]);
  }
  if (!count) out.Line(Str(IDS_MODEM_SUMMARY_NOT_FOUND));
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
  bool ReadWaiting(char* buffer, DWORD size, DWORD waitMs, DWORD* got) override {
    *got = 0;
    if (!port_ || size == 0) return false;
    DWORD start = ::GetTickCount();
    for (;;) {
      DWORD queued = 0;
      if (!Queued(&queued)) return false;
      if (queued) return ReadQueued(buffer, size, queued, got);
      if (::GetTickCount() - start >= waitMs) return true;
      // The port's read time-out holds a one-byte read to one
      // ReadTotalTimeoutMultiplier (100 ms); it returns as soon as a byte
      // comes in.
      DWORD one = 0;
      if (!::ReadFile(port_, buffer, 1, &one, nullptr)) return false;
      if (one == 1) {
        *got = 1;
        if (size > 1 && Queued(&queued) && queued) {
          DWORD more = 0;
          if (!ReadQueued(buffer + 1, size - 1, queued, &more)) return false;
          *got += more;
        }
        return true;
      }
    }
  }
  DWORD Tick() override { return ::GetTickCount(); }
  bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) override {
    return ::GetDefaultCommConfigA(name.c_str(), config, size) != FALSE;
  }

 private:
  // Bytes waiting to be read; false on failure or a line error.
  bool Queued(DWORD* bytes) {
    DWORD errors = 0;
    COMSTAT status{};
    if (!port_ || !::ClearCommError(port_, &errors, &status) || errors != 0) return false;
    *bytes = status.cbInQue;
    return true;
  }
  // Reads what is queued, at most `size` bytes; a failed or empty read fails.
  bool ReadQueued(char* buffer, DWORD size, DWORD queued, DWORD* got) {
    DWORD want = queued < size ? queued : size;
    *got = 0;
    return ::ReadFile(port_, buffer, want, got, nullptr) && *got > 0 && *got <= want;
  }
  HANDLE port_ = nullptr;
};

std::mutex g_modemLock;

ModemProbe& MachineProbe() {
  static ModemProbe probe([] { return MakeSerialModemLine(); });
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
  out.Line(lead + FormatA(Str(IDS_PORT_MAX_BAUD).c_str(), (unsigned long)dcb.BaudRate));
  out.Line(lead + FormatA(Str(IDS_PORT_DATA_BITS).c_str(), (unsigned)dcb.ByteSize));
  out.Line(lead + FormatA(Str(IDS_PORT_PARITY).c_str(), ParityText(dcb.Parity).c_str()));
  out.Line(lead + FormatA(Str(IDS_PORT_STOP_BIT).c_str(), StopBitsText(dcb.StopBits).c_str()));
  out.Line(lead + FormatA(Str(IDS_PORT_FLOW).c_str(), flow.c_str()));
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
