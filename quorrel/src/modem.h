// Modem probe and serial-port settings: KytMODEM.IFO, the summary's modem
// lines and the settings lines of one serial port for the port category.
// Modems on COM1 to COM9 are asked with AT commands; what a port does goes
// through ModemLine, so that the dialogue can be checked against made-up
// modems in-process.
#pragma once
#include <windows.h>

#include <functional>
#include <memory>
#include <string>

#include "infosink.h"
#include "modemlogic/reply.h"

namespace quorrel {

// One serial port as the probe uses it (at most one open at a time).
class ModemLine {
 public:
  virtual ~ModemLine() = default;
  // Opens `name` and sets it up for the dialogue (time-outs, 300 baud);
  // false (and closed) when any step fails.
  virtual bool Open(const std::string& name) = 0;
  virtual void Close() = 0;
  virtual bool IsOpen() const = 0;
  // Drops what is queued both ways.
  virtual bool Purge() = 0;
  // True when all `size` bytes went out.
  virtual bool Write(const char* data, DWORD size) = 0;
  // Bytes waiting to be read; false on failure or a line error.
  virtual bool Queued(DWORD* bytes) = 0;
  virtual bool Read(char* buffer, DWORD size, DWORD* got) = 0;
  virtual void Sleep(DWORD ms) = 0;
  virtual DWORD Tick() = 0;
  // The port's default configuration (GetDefaultCommConfig); false when
  // there is none.
  virtual bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) = 0;
};
std::unique_ptr<ModemLine> MakeSerialModemLine();

// The reply rules are the modem test control's (a result keyword counts
// only as a complete line of its own; line n of a reply, trimmed).
using modemlogic::FindKeywordInReply;
inline bool MatchResultKeyword(const char* reply, int* replyOk) { return modemlogic::MatchResultKeyword(reply, replyOk); }
inline std::string ExtractReplyLine(const std::string& text, int n) { return modemlogic::GetReplyLine(text, n); }

constexpr size_t kModemReplySize = 1000;
constexpr size_t kModemCommandSize = 100;
constexpr DWORD kModemReplyTimeOut = 2000;
constexpr DWORD kModemResetTimeOut = 3000;
constexpr DWORD kModemPollMs = 100;

// The dialogue with the modems and what it remembers between requests.
class ModemProbe {
 public:
  explicit ModemProbe(ModemLine& line) : line_(line) {}
  // Asked between polls; true ends the read (and the probe) as failed.
  std::function<bool()> cancelled;

  void WriteModemInfo(InfoSink& out);
  void WriteModemSummary(InfoSink& out);
  void WriteModemIdentity(InfoSink& out);
  bool OpenModemPort(const std::string& name, int probe, int n);
  bool SendModemCommand(const std::string& command);
  bool ReadModemReply();
  bool WriteModemString(const char* text);
  void ClosePort();

  const char* ReplyText() const { return reply_; }
  bool PortFound(int n) const { return n >= 1 && n <= 9 && found_[n] != 0; }
  bool ProbePending() const { return probePending_ != 0; }
  DWORD ReplyTimeOut() const { return timeOut_; }

 private:
  bool Cancelled() const { return cancelled && cancelled(); }

  ModemLine& line_;
  char command_[kModemCommandSize] = {};
  char reply_[kModemReplySize] = {};
  int replyOk_ = 0;
  int found_[10] = {};
  int probePending_ = 1;
  DWORD timeOut_ = kModemReplyTimeOut;
};

// The server's own probe over this machine's ports (one per process,
// serialised by a lock of its own, so that callers need not hold the
// request mutex while the ports answer). `cancelled` may be empty.
void WriteModemInfo(InfoSink& out, const std::function<bool()>& cancelled = {});
void WriteModemSummary(InfoSink& out, const std::function<bool()>& cancelled = {});

// The five default-settings lines of the serial port named by the last four
// characters of `portName` ("COM1").
void WritePortSettings(InfoSink& out, const std::string& portName, ModemLine& line);
void WritePortSettings(InfoSink& out, const std::string& portName);
// The same lines from a DCB.
void WriteDcbSettings(InfoSink& out, const DCB& dcb);

}  // namespace quorrel
