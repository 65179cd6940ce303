// The modem test sequence: what a found modem is put through, one results
// line per command, and the call to a remote system that the connection
// test makes as well.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "engine.h"
#include "modemlogic/tones.h"

namespace modemtest {

struct Timeouts {
  DWORD shortMs = 1000, standardMs = 2000, longMs = 12000, connectMs = 30000, loopbackMs = 5000;
};

// The settings a run uses, copied from the runner when it starts.
struct RunSettings {
  int loop = 1;
  bool dialTone = false, standard = true, advanced = true;
  bool connectionTest = false, checkConnectSpeed = false;
  std::string bbsNumber;
  DWORD bbsBaudRate = 19200;
  DWORD att1BaudRate = 0;
  DWORD testBaudRate = 300;
  DWORD innerLoopDelay = 100;
  std::string toneDigits;  // "TestATS6"
  bool lineInput = true;
  DWORD toneSleepMs = 6000;
  modemlogic::ToneSettings tones;
  Timeouts timeouts;
};

// The sound card's side of the tone-dialling test: the recording of what
// the modem's line output plays while it dials. A device that does not
// answer a call within its bound is named by a line of the recorder's own,
// and is asked nothing after that.
class ToneRecorder {
 public:
  virtual ~ToneRecorder() = default;
  virtual bool HasMixer() const = 0;
  // Routes the chosen input to the recording and opens the device; false
  // after its own message lines.
  virtual bool Prepare(bool lineInput, TestHost& host) = 0;
  virtual bool Start() = 0;
  // Stops and closes the device; the recording stays.
  virtual void Stop() = 0;
  // Whether the devices answered every call so far.
  virtual bool Answering() const = 0;
  virtual modemlogic::RecordingView Recording() const = 0;
  // Whether the recording device still opens (it is closed again at once);
  // false after its own message line.
  virtual bool StillOpens() = 0;
  // Frees the recording (and closes a device left open).
  virtual void Close() = 0;
};

class ModemSequence {
 public:
  ModemSequence(AtEngine& engine, TestHost& host, const RunSettings& settings, ToneRecorder* recorder)
      : e_(engine), h_(host), s_(settings), recorder_(recorder) {}

  void RunModemTestSequence();
  void TestDialTone();
  void TestStandardCommands();
  void TestAdvancedCommands();
  void TestFaxSupport();
  void ReadSRegisters();
  void TestAnalogLoopback();
  void TestToneDialing();
  void TestBbsConnection(bool checkSpeed);

 private:
  std::string T(UINT id) { return h_.Text(id); }
  // Brings a modem that may be on line back to command mode and on hook
  // (the escape sequence between its guard times, then ATH0).
  void HangUpOnLine();
  // After a call attempt that Stop cut short: ATH0 ends a dial still in
  // progress; a modem that answers it with CONNECT (or not at all) went on
  // line meanwhile and is hung up with the escape sequence.
  void HangUpAfterStop();
  void Escape();
  // After a command that got no reply: whether the modem still answers
  // "AT", which every modem answers in command mode. One that does not has
  // stopped answering, or its port has gone: the run says so with a line
  // naming the port and one error, and asks nothing more of it.
  bool StillAnswers();
  // Stop, the sheet closing, or a modem that stopped answering ends the
  // sequence.
  bool Over() { return lost_ || h_.Stopped(); }

  AtEngine& e_;
  TestHost& h_;
  const RunSettings& s_;
  ToneRecorder* recorder_;
  bool lost_ = false;  // the modem of this sequence stopped answering
};

}  // namespace modemtest
