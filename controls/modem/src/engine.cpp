#include "engine.h"

#include <cstring>

#include "appkit/text.h"
#include "ids.h"
#include "modemlogic/rules.h"

namespace modemtest {

namespace {

// Stop is looked for this often during every pause of a read.
constexpr DWORD kPauseSliceMs = 20;
constexpr DWORD kAllPurge = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

AtEngine::AtEngine(TestHost& host, DWORD testBaudRate, DWORD pollMs)
    : host_(host), testBaud_(testBaudRate), pollMs_(pollMs ? pollMs : 1), baud_(testBaudRate) {}

AtEngine::~AtEngine() { ClosePort(); }

void AtEngine::ClosePort() {
  if (port_ != INVALID_HANDLE_VALUE) ::CloseHandle(port_);
  port_ = INVALID_HANDLE_VALUE;
}

void AtEngine::ResetReplyTrace() { trace_.Reset(host_.Text(IDS_MODEM_RETURN_CODE)); }

bool AtEngine::SetPortTiming() {
  COMMTIMEOUTS t{};
  t.ReadIntervalTimeout = 50;
  t.ReadTotalTimeoutMultiplier = 50;
  t.ReadTotalTimeoutConstant = 0;
  t.WriteTotalTimeoutMultiplier = 50;
  t.WriteTotalTimeoutConstant = 750;
  if (PortOpen() && ::SetCommTimeouts(port_, &t)) return true;
  AddReplyTraceCode(kCodeTiming);
  return false;
}

bool AtEngine::Purge() {
  if (PortOpen() && ::PurgeComm(port_, kAllPurge)) return true;
  AddReplyTraceCode(kCodePurge);
  return false;
}

bool AtEngine::SetBaudRate(DWORD baud, DWORD* old) {
  COMMCONFIG config{};
  config.dwSize = sizeof(config);
  DWORD size = sizeof(config);
  if (!PortOpen() || !::GetCommConfig(port_, &config, &size)) {
    AddReplyTraceCode(kCodeGetConfig);
    return false;
  }
  if (old) *old = config.dcb.BaudRate;
  config.dcb.BaudRate = baud;
  if (!::SetCommConfig(port_, &config, size)) {
    AddReplyTraceCode(kCodeSetConfig);
    return false;
  }
  baud_ = baud;
  return true;
}

bool AtEngine::OpenModemPort(const std::string& name) {
  command_ = "ATZ\r";
  reply_.clear();
  ClosePort();
  ResetReplyTrace();
  if (host_.Stopped()) return false;

  portName_ = name;
  port_ = ::CreateFileA(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (port_ == INVALID_HANDLE_VALUE) {
    AddReplyTraceCode(kCodeOpen);
    return false;
  }
  host_.AddLine(appkit::FormatA(host_.Text(IDS_MODEM_CHECKING).c_str(), name.c_str()));

  bool ready = SetPortTiming() && SetBaudRate(testBaud_);
  if (ready && !::PurgeComm(port_, kAllPurge)) {
    AddReplyTraceCode(kCodePurge);
    ready = false;
  }
  if (!ready) {
    ClosePort();
    host_.AppendToLastLine(host_.Text(IDS_MODEM_NOT_FOUND) + Trace());
    return false;
  }

  bool answered = SendModemCommand("ATZ\r") && ReadModemReply(0);
  if (!answered && !interrupted_) {
    ResetReplyTrace();
    answered = SendModemCommand("ATZ\r") && ReadModemReply(0);
  }
  if (answered) {
    atzReply_ = reply_;
    host_.AppendToLastLine(host_.Text(IDS_MODEM_FOUND));
    DWORD kept = timeout_;
    timeout_ = 3000;
    ExecModemCommand("AT", 0);
    timeout_ = kept;
    return true;
  }
  ClosePort();
  host_.AppendToLastLine(interrupted_ ? host_.Text(IDS_MODEM_ABORTED) : host_.Text(IDS_MODEM_NOT_FOUND) + Trace());
  return false;
}

bool AtEngine::SendModemCommand(const std::string& text) {
  if (!PortOpen()) {
    AddReplyTraceCode(kCodeWriteClosed);
    return false;
  }
  DWORD written = 0;
  if (::WriteFile(port_, text.data(), (DWORD)text.size(), &written, nullptr) && written == text.size()) return true;
  AddReplyTraceCode(kCodeShortWrite);
  return false;
}

bool AtEngine::ExecModemCommand(const std::string& text, int mode) {
  if (!PortOpen()) return false;
  command_.clear();
  reply_.clear();
  raw_.clear();
  interrupted_ = false;
  // Never a cut command: a shortened telephone number would dial another line.
  if (!modemlogic::FitsCommandBuffer(text)) return false;
  command_ = text + "\r";
  if (!::PurgeComm(port_, kAllPurge)) return false;
  if (!SendModemCommand(command_)) return false;
  return ReadModemReply(mode);
}

bool AtEngine::Pause(DWORD ms) {
  DWORD start = ::GetTickCount();
  for (;;) {
    if (interruptible_ && host_.Stopped()) return false;
    DWORD gone = ::GetTickCount() - start;
    if (gone >= ms) return true;
    DWORD left = ms - gone;
    ::Sleep(left < kPauseSliceMs ? left : kPauseSliceMs);
  }
}

bool AtEngine::ReplyFinished(const std::string& text, int mode) {
  int ok = 0;
  return mode == 1 ? modemlogic::FindKeywordInReply(text.c_str(), "OK") >= 0
                   : modemlogic::MatchResultKeyword(text.c_str(), &ok);
}

bool AtEngine::ReadModemReply(int mode) {
  // Whatever the settings say, a read ends: its time-out has the bound of
  // what a modem may take, and the pause between two looks at the port is
  // never longer than the time-out. A hang-up or restore (which Stop does
  // not cut short) has the bound of a command answered at once, looked for
  // often. Stop cuts every other pause short.
  DWORD limit = modemlogic::BoundedReplyTimeout(timeout_);
  if (!interruptible_ && limit > modemlogic::kCleanupReplyWaitMs) limit = modemlogic::kCleanupReplyWaitMs;
  DWORD poll = modemlogic::PollIntervalMs(pollMs_, limit);
  if (!interruptible_ && poll > modemlogic::kCleanupPollMs) poll = modemlogic::kCleanupPollMs;
  // A device that keeps sending past the time-out gets the time a whole
  // reply takes at the port's speed, and no more.
  const DWORD hardLimit = limit + modemlogic::ReplyTrickleMs(baud_);
  const DWORD start = ::GetTickCount();
  modemlogic::ReplyCollector reply(mode == 1);
  bool result = true;
  bool grace = true;
  interrupted_ = false;
  // Waits for the next byte, at most one polling interval: a one-byte read
  // returns as soon as the byte comes in, and the port timing holds it to
  // one read multiplier when none does, so Stop is looked for between
  // them. 1: a byte came (it is in the reply); 0: the interval passed;
  // -1: stopped; -2: the read failed.
  auto awaitByte = [&]() -> int {
    const DWORD since = ::GetTickCount();
    for (;;) {
      if (interruptible_ && host_.Stopped()) return -1;
      if (::GetTickCount() - since >= poll) return 0;
      char byte = 0;
      DWORD got = 0;
      if (!::ReadFile(port_, &byte, 1, &got, nullptr)) return -2;
      if (got == 1) {
        reply.Add(&byte, 1);
        return 1;
      }
    }
  };
  for (;;) {
    if (interruptible_ && host_.Stopped()) {
      interrupted_ = true;
      result = false;
      break;
    }
    if (!PortOpen()) {
      AddReplyTraceCode(kCodeReadClosed);
      result = false;
      break;
    }
    DWORD errors = 0;
    COMSTAT status{};
    if (!::ClearCommError(port_, &errors, &status)) {
      AddReplyTraceCode(kCodeStatus);
      result = false;
      break;
    }
    if (errors) {
      AddReplyTraceCode(kCodeLineError);
      result = false;
      break;
    }
    DWORD elapsed = ::GetTickCount() - start;
    if (status.cbInQue > 0) {
      // What is queued now, in chunks; NULs and over-long lines are read
      // past (the collector keeps a bounded text).
      char chunk[512];
      DWORD left = status.cbInQue;
      bool readFailed = false;
      while (left > 0) {
        DWORD want = left < sizeof(chunk) ? left : (DWORD)sizeof(chunk);
        DWORD got = 0;
        if (!::ReadFile(port_, chunk, want, &got, nullptr)) {
          AddReplyTraceCode(kCodeReadFailed);
          readFailed = true;
          break;
        }
        if (got == 0 || got > want) {
          AddReplyTraceCode(kCodeReadNothing);
          readFailed = true;
          break;
        }
        reply.Add(chunk, got);
        left -= got;
      }
      if (readFailed) {
        result = false;
        break;
      }
      // While bytes keep coming the reply is not judged yet, up to the
      // hard limit; there it is judged as it stands.
      if (elapsed < hardLimit) continue;
      if (ReplyFinished(reply.Text(), mode)) break;
      ::PurgeComm(port_, kAllPurge);
      AddReplyTraceCode(kCodeTimeout);
      result = false;
      break;
    }
    if (!reply.Empty() && ReplyFinished(reply.Text(), mode)) break;
    if (elapsed >= limit) {
      if (!grace) {
        ::PurgeComm(port_, kAllPurge);
        AddReplyTraceCode(kCodeTimeout);
        result = false;
        break;
      }
      grace = false;  // one more interval, for a reply that has just come
    }
    int waited = awaitByte();
    if (waited == -1) {
      interrupted_ = true;
      result = false;
      break;
    }
    if (waited == -2) {
      AddReplyTraceCode(kCodeReadFailed);
      result = false;
      break;
    }
  }
  raw_ = reply.Text();
  reply_ = modemlogic::GetReplyLine(raw_, 2);
  if (reply_.empty()) reply_ = modemlogic::GetReplyLine(raw_, 3);
  return result;
}

}  // namespace modemtest
