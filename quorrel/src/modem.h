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
#include <utility>

#include "infosink.h"
#include "modemreply/reply.h"

namespace quorrel {

// One serial port as the probe uses it (each port of the probe has a line
// of its own, so that the ports are asked side by side).
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
  // Waits at most about `waitMs` for received bytes and returns as soon as
  // any have come, with what is queued then (at most `size` bytes) in
  // `buffer`; *got 0 when nothing came in that time. False on a line
  // error or a failed read.
  virtual bool ReadWaiting(char* buffer, DWORD size, DWORD waitMs, DWORD* got) = 0;
  virtual DWORD Tick() = 0;
  // The port's default configuration (GetDefaultCommConfig); false when
  // there is none.
  virtual bool DefaultConfig(const std::string& name, COMMCONFIG* config, DWORD* size) = 0;
};
std::unique_ptr<ModemLine> MakeSerialModemLine();
// A new line for one port of a probe.
using ModemLineFactory = std::function<std::unique_ptr<ModemLine>()>;

// The reply rules are the modem test control's (a result keyword counts
// only as a complete line of its own; line n of a reply, trimmed).
using modemlogic::FindKeywordInReply;
inline bool MatchResultKeyword(const char* reply, int* replyOk) { return modemlogic::MatchResultKeyword(reply, replyOk); }
inline std::string ExtractReplyLine(const std::string& text, int n) { return modemlogic::GetReplyLine(text, n); }

constexpr size_t kModemReplySize = 1000;
constexpr size_t kModemCommandSize = 100;
constexpr DWORD kModemReplyTimeOut = 2000;
constexpr DWORD kModemResetTimeOut = 3000;
// A read looks for the end of its time-out (and for cancelling) at least
// this often; received bytes end a wait at once. After the time-out one
// more wait of this length catches a reply that has just come in.
constexpr DWORD kModemPollMs = 100;

// The dialogue with the modem on one port: its command and reply buffers.
class ModemPortDialogue {
 public:
  ModemPortDialogue(ModemLine& line, std::function<bool()> cancelled = {})
      : line_(line), cancelled_(std::move(cancelled)) {}
  ~ModemPortDialogue() { ClosePort(); }

  // Opens and sets up the port; with `probe` the modem must answer ATZ
  // (two tries), and is then sent AT with the longer time-out.
  bool OpenModemPort(const std::string& name, bool probe);
  bool SendModemCommand(const std::string& command);
  bool ReadModemReply();
  bool WriteModemString(const char* text);
  void WriteModemIdentity(InfoSink& out);
  void ClosePort();

  const char* ReplyText() const { return reply_; }
  DWORD ReplyTimeOut() const { return timeOut_; }

 private:
  bool Cancelled() const { return cancelled_ && cancelled_(); }

  ModemLine& line_;
  std::function<bool()> cancelled_;
  char command_[kModemCommandSize] = {};
  char reply_[kModemReplySize] = {};
  int replyOk_ = 0;
  DWORD timeOut_ = kModemReplyTimeOut;
};

// The probe of COM1 to COM9 and what it remembers between requests. The
// ports are asked at the same time, each on a thread of its own with its
// own line; their lines are written in port order.
class ModemProbe {
 public:
  explicit ModemProbe(ModemLineFactory lines) : lines_(std::move(lines)) {}
  // Asked between waits, from the ports' threads; true ends the reads (and
  // the probe) as failed.
  std::function<bool()> cancelled;

  void WriteModemInfo(InfoSink& out);
  void WriteModemSummary(InfoSink& out);

  bool PortFound(int n) const { return n >= 1 && n <= 9 && found_[n] != 0; }
  bool ProbePending() const { return probePending_ != 0; }

 private:
  // Runs `talk` for every port n (1..9) with ask[n] set, on a dialogue of
  // its own; text[n] gets what it writes, opened[n] whether it opened.
  void AskPorts(const bool ask[10], bool probe,
                const std::function<void(ModemPortDialogue&, int, InfoSink&)>& talk, std::string text[10],
                bool opened[10]);

  ModemLineFactory lines_;
  int found_[10] = {};
  int probePending_ = 1;
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
