#include "engine.h"

#include <cstring>

#include "appkit/text.h"
#include "ids.h"
#include "modemlogic/rules.h"

namespace modemtest {

namespace {

constexpr size_t kReplySize = 1000;
constexpr DWORD kAllPurge = PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR;

}  // namespace

AtEngine::AtEngine(TestHost& host, DWORD testBaudRate, DWORD pollMs)
    : host_(host), testBaud_(testBaudRate), pollMs_(pollMs ? pollMs : 1) {}

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
  return true;
}

bool AtEngine::OpenModemPort(const std::string& name) {
  command_ = "ATZ\r";
  reply_.clear();
  ClosePort();
  ResetReplyTrace();
  if (host_.Stopped()) return false;

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

bool AtEngine::ReadModemReply(int mode) {
  DWORD start = ::GetTickCount();
  char buffer[kReplySize] = {};
  size_t held = 0;
  bool result = true;
  bool finished = false;
  bool grace = true;
  interrupted_ = false;
  while (held < kReplySize - 1) {
    ::Sleep(pollMs_);
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
    if (status.cbInQue > 0) {
      size_t room = kReplySize - 1 - held;
      if (room == 0) {
        AddReplyTraceCode(kCodeNoRoom);
        result = false;
        break;
      }
      DWORD want = status.cbInQue < room ? status.cbInQue : (DWORD)room;
      DWORD got = 0;
      if (!::ReadFile(port_, buffer + held, want, &got, nullptr)) {
        AddReplyTraceCode(kCodeReadFailed);
        result = false;
        break;
      }
      if (got == 0 || got > want) {
        AddReplyTraceCode(kCodeReadNothing);
        result = false;
        break;
      }
      if (mode == 1)
        for (DWORD i = 0; i < got; ++i)
          if (buffer[held + i] == 0) buffer[held + i] = ' ';
      held += got;
      buffer[held] = 0;
      continue;
    }
    if (held > 0) {
      int ok = 0;
      if (mode == 1 ? modemlogic::FindKeywordInReply(buffer, "OK") >= 0 : modemlogic::MatchResultKeyword(buffer, &ok)) {
        finished = true;
        break;
      }
    }
    if (::GetTickCount() - start >= timeout_) {
      if (grace) {
        grace = false;
        continue;
      }
      ::PurgeComm(port_, kAllPurge);
      AddReplyTraceCode(kCodeTimeout);
      result = false;
      break;
    }
  }
  if (!finished && result && held >= kReplySize - 1) {
    AddReplyTraceCode(kCodeBufferFull);
    result = false;
  }
  // A NUL that arrived in mode 0 ends the text there, as it would in a
  // C string.
  raw_.assign(buffer, std::strlen(buffer));
  reply_ = modemlogic::GetReplyLine(raw_, 2);
  if (reply_.empty()) reply_ = modemlogic::GetReplyLine(raw_, 3);
  return result;
}

}  // namespace modemtest
