#include "sequence.h"

#include <cstdlib>
#include <cstring>

#include "appkit/text.h"
#include "ids.h"
#include "modemlogic/rules.h"

namespace modemtest {

namespace {

bool Same(const std::string& a, const char* b) { return _stricmp(a.c_str(), b) == 0; }

// Commands that must finish even after Stop (hang-ups, putting the modem's
// settings back) read without being cut short.
class UninterruptedReads {
 public:
  explicit UninterruptedReads(AtEngine& e) : e_(e), was_(e.Interruptible()) { e_.SetInterruptible(false); }
  ~UninterruptedReads() { e_.SetInterruptible(was_); }

 private:
  AtEngine& e_;
  bool was_;
};

const char* const kStandardCommands[] = {"ATQ0", "ATV1", "ATE1", "ATX4"};
const char* const kAdvancedCommands[] = {"AT&C1", "AT&S0", "AT&D2", "AT&Q0", "AT&Q5",
                                         "AT&F",  "AT&J0", "AT%C1", "AT\\N3"};
const char* const kRegisterQueries[] = {"ATS0?", "ATS1?", "ATS2?", "ATS3?",  "ATS4?",  "ATS5?",  "ATS6?",
                                        "ATS7?", "ATS8?", "ATS9?", "ATS10?", "ATS11?", "ATS12?", "ATS25?"};

}  // namespace

void ModemSequence::RunModemTestSequence() {
  const Timeouts& t = s_.timeouts;
  lost_ = false;
  e_.SetTimeout(t.standardMs);
  if (Over()) return;
  if (s_.dialTone) {
    h_.AddLine(T(IDS_MODEM_DIAL_TONE));
    e_.SetTimeout(t.longMs);
    TestDialTone();
    e_.SetTimeout(t.standardMs);
    h_.AddLine("");
  }
  h_.Progress(2);
  if (Over()) return;
  if (s_.standard) {
    h_.AddLine(T(IDS_MODEM_STANDARD));
    TestStandardCommands();
    e_.SetTimeout(t.standardMs);
    h_.AddLine("");
  }
  h_.Progress(3);
  if (Over()) return;
  if (s_.advanced) {
    h_.AddLine(T(IDS_MODEM_ADVANCED));
    TestAdvancedCommands();
    h_.AddLine("");
  }
  h_.Progress(4);
  if (Over()) return;
  if (s_.standard) {
    h_.AddLine(T(IDS_MODEM_FAX));
    TestFaxSupport();
    h_.AddLine("");
  }
  h_.Progress(5);
  if (Over()) return;
  if (s_.standard) {
    h_.AddLine(T(IDS_MODEM_FACTORY));
    ReadSRegisters();
    h_.AddLine("");
  }
  h_.Progress(6);
  if (Over()) return;
  if (s_.connectionTest) {
    TestBbsConnection(s_.checkConnectSpeed);
    h_.AddLine("");
  }
  if (Over()) return;
  h_.Progress(7);
  e_.SetTimeout(t.standardMs);
  if (e_.ExecModemCommand("ATZ")) {
    e_.SetTimeout(3000);
    e_.ExecModemCommand("AT");
  }
  e_.SetTimeout(t.standardMs);
}

void ModemSequence::TestDialTone() {
  bool got = e_.ExecModemCommand("ATDT;");
  if (e_.Interrupted()) {
    h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
    HangUpAfterStop();
  } else if (got && Same(e_.Reply(), "OK")) {
    h_.AppendToLastLine(T(IDS_MODEM_DETECTED));
    e_.SetTimeout(s_.timeouts.standardMs);
    e_.ExecModemCommand("ATH0");
  } else {
    h_.AppendToLastLine(got ? T(IDS_MODEM_FAILED) + "-" + e_.Reply() : T(IDS_MODEM_FAILED));
    h_.CountError();
    e_.SetTimeout(s_.timeouts.standardMs);
    if (got)
      e_.ExecModemCommand("AT");
    else
      StillAnswers();
  }
  e_.SetTimeout(s_.timeouts.standardMs);
}

void ModemSequence::TestStandardCommands() {
  const Timeouts& t = s_.timeouts;
  bool atzPassed = Same(e_.AtzReply(), "OK");
  h_.AddLine("ATZ:\t" + T(atzPassed ? IDS_MODEM_PASSED : IDS_MODEM_FAILED));
  if (!atzPassed) h_.CountError();
  e_.SetTimeout(t.standardMs);
  for (const char* command : kStandardCommands) {
    if (Over()) return;
    e_.ResetReplyTrace();
    bool got = e_.ExecModemCommand(command);
    std::string label = modemlogic::StandardCommandLabel(command);
    if (e_.Interrupted()) {
      h_.AddLine(label + T(IDS_MODEM_ABORTED));
      return;
    }
    if (got && Same(e_.Reply(), "OK")) {
      h_.AddLine(label + T(IDS_MODEM_PASSED));
    } else {
      h_.AddLine(label + T(IDS_MODEM_FAILED) + (got ? "" : e_.Trace()));
      h_.CountError();
      if (!got && !StillAnswers()) return;
    }
  }
  e_.SetTimeout(t.shortMs);
  for (int i = 0; i <= 11 && !Over(); ++i) {
    std::string query = "ATI" + std::to_string(i);
    bool got = e_.ExecModemCommand(query);
    if (got && !Same(e_.Reply(), "ERROR")) h_.AddLine(query + ":\t" + e_.Reply());
    if (!got && !StillAnswers()) return;
  }
  e_.SetTimeout(t.standardMs);
}

void ModemSequence::TestAdvancedCommands() {
  for (const char* command : kAdvancedCommands) {
    if (Over()) return;
    e_.ResetReplyTrace();
    bool got = e_.ExecModemCommand(command);
    std::string label = std::string(command) + ":\t";
    if (e_.Interrupted()) {
      h_.AddLine(label + T(IDS_MODEM_ABORTED));
      return;
    }
    if (got && Same(e_.Reply(), "OK"))
      h_.AddLine(label + T(IDS_MODEM_PASSED));
    else if (got)
      h_.AddLine(label + T(IDS_MODEM_NO_SUPPORT));
    else
      h_.AddLine(label + T(IDS_MODEM_NO_RESPONSE) + e_.Trace());
    if (!got && !StillAnswers()) return;
  }
  if (s_.att1BaudRate > 0 && !Over()) TestAnalogLoopback();
  if (!s_.toneDigits.empty() && !Over()) TestToneDialing();
}

void ModemSequence::Escape() {
  ::Sleep(1500);
  e_.SendModemCommand("+++");
  ::Sleep(1500);
}

void ModemSequence::HangUpOnLine() {
  UninterruptedReads hold(e_);
  e_.SetTimeout(s_.timeouts.standardMs);
  Escape();
  e_.ExecModemCommand("ATH0");
}

void ModemSequence::HangUpAfterStop() {
  UninterruptedReads hold(e_);
  e_.SetTimeout(s_.timeouts.standardMs);
  if (e_.RawReply().find("CONNECT") != std::string::npos) {
    HangUpOnLine();
    return;
  }
  bool got = e_.ExecModemCommand("ATH0");
  if (!got || e_.RawReply().find("CONNECT") != std::string::npos) HangUpOnLine();
}

bool ModemSequence::StillAnswers() {
  if (lost_) return false;
  // A read that Stop cut short says nothing about the modem.
  if (e_.Interrupted() || h_.Stopped()) return true;
  const DWORD kept = e_.Timeout();
  e_.SetTimeout(s_.timeouts.standardMs);
  const bool answered = e_.ExecModemCommand("AT") || e_.Interrupted();
  e_.SetTimeout(kept);
  if (answered) return true;
  lost_ = true;
  h_.AddLine(appkit::FormatA(T(IDS_MODEM_STOPPED_ANSWERING).c_str(), e_.PortName().c_str()));
  h_.CountError();
  return false;
}

void ModemSequence::TestAnalogLoopback() {
  const Timeouts& t = s_.timeouts;
  e_.SetTimeout(t.standardMs);
  h_.AddLine("AT&T1:\t");
  e_.ResetReplyTrace();
  DWORD oldBaud = 0;
  if (!e_.SetBaudRate(s_.att1BaudRate, &oldBaud)) {
    h_.AppendToLastLine(T(IDS_MODEM_FAILED) + e_.Trace());
    h_.CountError();
    return;
  }
  // The modem's test timer: an S18 that did not answer is left as it is.
  bool s18Known = e_.ExecModemCommand("ATS18=?") && !Same(e_.Reply(), "ERROR");
  int oldS18 = s18Known ? std::atoi(e_.Reply().c_str()) : 0;
  e_.ExecModemCommand(appkit::FormatA("ATS18=%u", (unsigned)(t.loopbackMs / 1000)));
  e_.ExecModemCommand("ATW2");
  e_.ExecModemCommand("AT&Q0");
  if (!h_.Stopped()) {
    e_.SetTimeout(t.loopbackMs + t.longMs);
    bool got = e_.ExecModemCommand("AT&T1", 1);
    if (e_.Interrupted()) {
      h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
      UninterruptedReads hold(e_);
      e_.SetTimeout(t.standardMs);
      Escape();
      e_.ExecModemCommand("AT&T0");
    } else if (!got) {
      UninterruptedReads hold(e_);
      e_.SetTimeout(t.standardMs);
      Escape();
      e_.ExecModemCommand("AT&T0");
      h_.AppendToLastLine(T(IDS_MODEM_FAILED));
      h_.CountError();
    } else if (modemlogic::LoopbackConnected(e_.Reply())) {
      h_.AppendToLastLine(T(IDS_MODEM_PASSED) + modemlogic::LoopbackShown(e_.Reply()));
    } else {
      h_.AppendToLastLine(T(IDS_MODEM_FAILED));
      h_.CountError();
    }
  } else {
    h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
  }
  UninterruptedReads hold(e_);
  e_.SetTimeout(t.standardMs);
  if (s18Known) e_.ExecModemCommand(appkit::FormatA("ATS18=%d", oldS18));
  e_.ResetReplyTrace();
  if (!e_.SetBaudRate(oldBaud)) {
    h_.AppendToLastLine(T(IDS_MODEM_FAILED) + e_.Trace());
    h_.CountError();
  }
}

void ModemSequence::TestFaxSupport() {
  e_.ResetReplyTrace();
  bool got = e_.ExecModemCommand("AT+FCLASS=?");
  if (e_.Interrupted()) return;
  if (got && !Same(e_.Reply(), "ERROR")) {
    h_.AddLine(T(IDS_MODEM_FAX_YES));
    h_.AddLine(appkit::FormatA(T(IDS_MODEM_CLASS_SUPPORT).c_str(), e_.Reply().c_str()));
  } else {
    h_.AddLine(T(IDS_MODEM_FAX_NO) + (got ? "" : e_.Trace()));
    if (!got) StillAnswers();
  }
}

void ModemSequence::ReadSRegisters() {
  for (const char* query : kRegisterQueries) {
    if (Over()) return;
    e_.ResetReplyTrace();
    bool got = e_.ExecModemCommand(query);
    if (e_.Interrupted()) return;
    std::string value;
    if (!got)
      value = T(IDS_MODEM_NO_RESPONSE) + e_.Trace();
    else if (Same(e_.Reply(), "ERROR"))
      value = T(IDS_MODEM_NO_SUPPORT);
    else
      value = e_.Reply();
    h_.AddLine(modemlogic::RegisterLabel(query) + value);
    if (!got && !StillAnswers()) return;
  }
}

void ModemSequence::TestBbsConnection(bool checkSpeed) {
  const Timeouts& t = s_.timeouts;
  h_.AddLine(T(IDS_MODEM_TESTING_CONNECTION));
  e_.ResetReplyTrace();
  if (!e_.PortOpen() || !e_.SetPortTiming() || !e_.SetBaudRate(s_.bbsBaudRate)) {
    h_.AppendToLastLine(T(IDS_MODEM_SET_SPEED_FAILED));
    h_.CountError();
    return;
  }
  e_.SetTimeout(t.connectMs);
  if (s_.bbsNumber.empty()) {
    h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
    return;
  }
  std::string dial = "ATDT " + s_.bbsNumber;
  if (!modemlogic::FitsCommandBuffer(dial)) {
    // Too long for the command buffer: dialling a cut number would call
    // another line.
    h_.AppendToLastLine(T(IDS_MODEM_FAILED));
    h_.CountError();
    e_.SetTimeout(t.standardMs);
    return;
  }
  e_.ExecModemCommand("ATW2");
  bool got = e_.ExecModemCommand(dial);
  if (e_.Interrupted()) {
    h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
    HangUpAfterStop();
  } else if (!got) {
    // No answer before the connect time-out: the call is given up.
    h_.AppendToLastLine(T(IDS_MODEM_FAILED));
    h_.CountError();
    HangUpAfterStop();
  } else if (e_.RawReply().find("CONNECT") == std::string::npos) {
    h_.AppendToLastLine(e_.Reply());
    h_.CountError();
  } else {
    int speed = modemlogic::ConnectSpeed(e_.RawReply());
    HangUpOnLine();
    modemlogic::CallResult r =
        modemlogic::JudgeConnection(checkSpeed, speed, (int)s_.bbsBaudRate, T(IDS_MODEM_PASSED), T(IDS_MODEM_FAILED));
    h_.AppendToLastLine(r.text);
    if (r.failed) h_.CountError();
  }
  e_.SetTimeout(t.standardMs);
}

void ModemSequence::TestToneDialing() {
  if (!recorder_ || !recorder_->HasMixer()) {
    h_.CountError();
    h_.AddLine(T(IDS_MODEM_NO_MIXER));
    return;
  }
  h_.AddLine(T(IDS_MODEM_ATS6));
  bool passed = false;
  bool aborted = false;
  std::string command = "ATS6=0x0dt" + s_.toneDigits + "\r";
  bool sent = recorder_->Prepare(s_.lineInput, h_) && command.size() + 1 <= modemlogic::kCommandBufferSize &&
              e_.Purge() && e_.SendModemCommand(command);
  if (sent) {
    bool started = recorder_->Start();
    if (started) {
      // The recording runs its time, no longer than its buffer holds; Stop
      // ends it early.
      aborted = !e_.Pause(modemlogic::RecordingWaitMs(s_.toneSleepMs)) || h_.Stopped();
      recorder_->Stop();
    } else {
      e_.Pause(1500);
    }
    {
      UninterruptedReads hold(e_);
      e_.ExecModemCommand("+++");
    }
    // A recording whose device stopped answering is not read: the driver
    // may still write it. One whose tones do not add up may have lost its
    // device on the way: a device that no longer opens is what failed, and
    // its message says so.
    if (started && !aborted && recorder_->Answering()) {
      passed = modemlogic::JudgeTones(recorder_->Recording(), s_.tones, s_.toneDigits).passed;
      if (!passed) recorder_->StillOpens();
    }
  }
  recorder_->Close();
  // A device that did not answer fails the test, even when it was stopped.
  if (!recorder_->Answering()) {
    passed = false;
    aborted = false;
  }
  if (aborted) {
    h_.AppendToLastLine(T(IDS_MODEM_ABORTED));
    return;
  }
  h_.AppendToLastLine(T(passed ? IDS_MODEM_PASSED : IDS_MODEM_FAILED));
  if (!passed) h_.CountError();
}

}  // namespace modemtest
