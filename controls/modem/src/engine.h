// The AT-command engine of the modem tests: one serial port open at a time,
// a command written as text with its carriage return, and the reply read
// as its bytes come in until a result word arrives or the time-out runs
// out. Every wait has a bound whatever the settings, and Stop ends a wait
// within one read time-out of the port (50 ms). A failure leaves its code in the step's trace. The engine belongs to
// the one worker that runs a test; nothing else touches its port.
#pragma once
#include <windows.h>

#include <string>

#include "modemreply/reply.h"

namespace modemtest {

// What the engine and the test steps write to, and ask, of the page.
class TestHost {
 public:
  virtual ~TestHost() = default;
  // A new line of the results list (AddStatusLine).
  virtual void AddLine(const std::string& text) = 0;
  // Text added to the end of the last line (AppendToLastLine).
  virtual void AppendToLastLine(const std::string& text) = 0;
  // Stop, Disconnect or the sheet closing asked the run to end.
  virtual bool Stopped() = 0;
  // A text of the control's string table.
  virtual std::string Text(UINT id) = 0;
  virtual void CountError() = 0;
  virtual void Progress(int step) = 0;
};

// Failure codes of the trace.
enum ReplyCode {
  kCodeOpen = 1, kCodeTiming = 2, kCodeGetConfig = 3, kCodeSetConfig = 4, kCodePurge = 5, kCodeShortWrite = 6,
  kCodeWriteClosed = 7, kCodeReadClosed = 8, kCodeStatus = 9, kCodeTimeout = 10, kCodeNoRoom = 11,
  kCodeReadFailed = 12, kCodeReadNothing = 13, kCodeBufferFull = 14, kCodeLineError = 15,
};

class AtEngine {
 public:
  AtEngine(TestHost& host, DWORD testBaudRate, DWORD pollMs);
  ~AtEngine();
  AtEngine(const AtEngine&) = delete;
  AtEngine& operator=(const AtEngine&) = delete;

  // Opens and probes one port (writes its "Checking Modem" line unless the
  // port cannot be opened); TRUE leaves the port open.
  bool OpenModemPort(const std::string& name);
  // Writes the bytes of `text` as they are.
  bool SendModemCommand(const std::string& text);
  // Sends text + CR and reads the reply (mode 0: any result word; mode 1:
  // only a complete "OK" line, NUL bytes read as blanks). A command that
  // does not fit the command buffer is not sent.
  bool ExecModemCommand(const std::string& text, int mode = 0);
  bool ReadModemReply(int mode);
  void ClosePort();
  bool PortOpen() const { return port_ != INVALID_HANDLE_VALUE; }
  // The name of the port last opened ("COM3").
  const std::string& PortName() const { return portName_; }

  // Drops what is queued both ways; FALSE with code 5.
  bool Purge();
  // The port's baud rate: the old one in *old; FALSE with code 3 or 4.
  bool SetBaudRate(DWORD baud, DWORD* old = nullptr);
  // The port timing of every open port; FALSE with code 2.
  bool SetPortTiming();

  void ResetReplyTrace();
  void AddReplyTraceCode(int code) { trace_.Add(code); }
  const std::string& Trace() const { return trace_.Text(); }

  void SetTimeout(DWORD ms) { timeout_ = ms; }
  DWORD Timeout() const { return timeout_; }
  // The extracted reply line, the whole text received, and the probe's ATZ
  // reply line of the port found.
  const std::string& Reply() const { return reply_; }
  const std::string& RawReply() const { return raw_; }
  const std::string& AtzReply() const { return atzReply_; }

  // Reads that Stop may cut short: the test's own commands are; the reads
  // of a hang-up are not.
  void SetInterruptible(bool on) { interruptible_ = on; }
  // Whether the last read ended because the run was stopped.
  bool Interrupted() const { return interrupted_; }
  bool Interruptible() const { return interruptible_; }
  // Waits `ms`, looking for Stop every few milliseconds; false as soon as a
  // read that Stop may cut short is stopped.
  bool Pause(DWORD ms);

 private:
  static bool ReplyFinished(const std::string& text, int mode);

  TestHost& host_;
  DWORD testBaud_;
  DWORD pollMs_;
  DWORD baud_;  // the port's speed, for the bound of a reply still arriving
  HANDLE port_ = INVALID_HANDLE_VALUE;
  std::string portName_;
  DWORD timeout_ = 3000;
  std::string command_;
  std::string reply_;
  std::string raw_;
  std::string atzReply_;
  modemlogic::ReplyTrace trace_;
  bool interruptible_ = true;
  bool interrupted_ = false;
};

}  // namespace modemtest
