#include "memtest/proctest.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "infoclient/infoclient.h"
#include "infofile/infofile.h"
#include "suite/info.h"

namespace memtest {

namespace {

// The answer of the message this thread waits for; an answer to one given
// up on (its id is an older one) is dropped when it comes.
struct PendingAnswer {
  ULONG_PTR id = 0;
  bool done = false;
  LRESULT result = 0;
};
thread_local PendingAnswer t_answer;
thread_local ULONG_PTR t_lastId = 0;

void CALLBACK TakeAnswer(HWND, UINT, ULONG_PTR id, LRESULT result) {
  if (id != t_answer.id) return;
  t_answer.done = true;
  t_answer.result = result;
}

constexpr DWORD kStopLookMs = 50;

}  // namespace

bool WindowSelfTestServer::Send(unsigned code, uint32_t* answer) {
  if (!stopped_) {
    DWORD_PTR result = 0;
    if (!::SendMessageTimeoutW(server_, message_, code, 0, SMTO_NORMAL, timeoutMs_, &result)) return false;
    *answer = (uint32_t)result;
    return true;
  }
  // The answer comes back to this thread's queue while it waits, looking at
  // the stop and at the server window between.
  MSG msg;
  ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
  t_answer = PendingAnswer{++t_lastId};
  if (!::SendMessageCallbackW(server_, message_, code, 0, &TakeAnswer, t_answer.id)) return false;
  const DWORD start = ::GetTickCount();
  for (;;) {
    ::PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);  // delivers the answer
    if (t_answer.done) {
      *answer = (uint32_t)t_answer.result;
      return true;
    }
    const DWORD spent = ::GetTickCount() - start;
    if (stopped_() || spent >= timeoutMs_ || !::IsWindow(server_)) return false;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, std::min(kStopLookMs, timeoutMs_ - spent), QS_SENDMESSAGE);
  }
}

void WindowSelfTestServer::ClearLastResult() { memtest::ClearLastResult(); }
std::string WindowSelfTestServer::ReadLastResult() { return memtest::ReadLastResult(); }

void ClearLastResult() {
  HKEY key = nullptr;
  if (::RegCreateKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key,
                        nullptr) != ERROR_SUCCESS)
    return;
  ::RegSetValueExA(key, "LastResult", 0, REG_SZ, reinterpret_cast<const BYTE*>(""), 1);
  ::RegCloseKey(key);
}

std::string ReadLastResult() {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, suite::kQuorrelSettingKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
    return {};
  char buf[257] = {};
  DWORD size = 256, type = 0;
  LONG r = ::RegQueryValueExA(key, "LastResult", nullptr, &type, reinterpret_cast<BYTE*>(buf), &size);
  ::RegCloseKey(key);
  if (r != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) return {};
  return std::string(buf, strnlen(buf, 256));
}

namespace {

enum class Answer { Passed, Failed, NotAvailable, NoMmx, NoReply, Stopped };

// One sub-test: "LastResult" cleared, the probe, then the code when the
// probe answered 0 (else the probe's answer stands). A message without an
// answer after Stop was given up on for the stop.
Answer Ask(SelfTestServer& server, unsigned code, TestSink& sink) {
  server.ClearLastResult();
  uint32_t answer = 0;
  auto noAnswer = [&] { return sink.AbortRequested() ? Answer::Stopped : Answer::NoReply; };
  if (!server.Send(0, &answer)) return noAnswer();
  if (answer == 0 && !server.Send(code, &answer)) return noAnswer();
  if (answer == 0) return Answer::Passed;
  if (answer == suite::SELFTEST_NOT_AVAILABLE) return Answer::NotAvailable;
  if (answer == suite::SELFTEST_NO_MMX && code == suite::SELFTEST_MMX) return Answer::NoMmx;
  return Answer::Failed;
}

}  // namespace

Outcome RunProcessorTest(SelfTestServer& server, const ProcessorSelection& sel, bool concurrent, TestSink& sink,
                         const std::function<void(DWORD)>& pause) {
  bool failed = false, anyResult = false;
  // Counts a sub-test's answer; false when the server stopped answering.
  auto take = [&](Answer a) {
    if (a == Answer::Passed || a == Answer::Failed || a == Answer::NoReply) anyResult = true;
    if (a == Answer::Failed || a == Answer::NoReply) failed = true;
    return a != Answer::NoReply;
  };
  auto verdict = [](Answer a, const std::string& name) {
    if (a == Answer::Passed) return name + "\tPASSED";
    if (a == Answer::NotAvailable) return name + "\tnot available";
    return name + "\tFAILED";
  };

  if (sel.registers) {
    const std::string name = "General Register Test:";
    int at = sink.AddLine(name);
    Answer a = Ask(server, suite::SELFTEST_REGISTERS, sink);
    if (a == Answer::Stopped) return Outcome::Aborted;
    sink.ReplaceLine(at, verdict(a, name));
    if (!take(a)) return Outcome::Failed;
    sink.SetProgress(20);
    if (sink.AbortRequested()) return Outcome::Aborted;
    pause(500);
  }
  if (sel.math) {
    const std::string name = "Mathematical Calculation Test:";
    int at = sink.AddLine(name);
    Answer a = Ask(server, suite::SELFTEST_MATH, sink);
    if (a == Answer::Stopped) return Outcome::Aborted;
    std::string why = a == Answer::Failed ? server.ReadLastResult() : std::string();
    if (!why.empty()) {
      sink.ReplaceLine(at, why);
      sink.AddLine(verdict(a, name));
    } else {
      sink.ReplaceLine(at, verdict(a, name));
    }
    if (!take(a)) return Outcome::Failed;
    sink.SetProgress(50);
    if (sink.AbortRequested()) return Outcome::Aborted;
  }
  if (sel.mathSpeed) {
    const std::string name = "Math Performance Test:";
    int at = sink.AddLine(name);
    Answer a = Ask(server, suite::SELFTEST_MATH_SPEED, sink);
    if (a == Answer::Stopped) return Outcome::Aborted;
    sink.ReplaceLine(at, verdict(a, name));
    if (a == Answer::Passed) sink.AddLine("Math Performance Index:\t" + server.ReadLastResult());
    if (!take(a)) return Outcome::Failed;
    sink.SetProgress(80);
    if (sink.AbortRequested()) return Outcome::Aborted;
    pause(500);
  }
  if (sel.mmx && sel.cpuSpeed && !concurrent) {
    const std::string name = "MMX Arithmetic Test:";
    // Without MMX the test leaves no line and decides nothing.
    Answer a = Ask(server, suite::SELFTEST_MMX, sink);
    if (a == Answer::Stopped) return Outcome::Aborted;
    if (a != Answer::NoMmx) {
      sink.AddLine(verdict(a, name));
      if (a == Answer::Passed) sink.AddLine("MMX Performance Index:\t" + server.ReadLastResult());
    }
    if (!take(a)) return Outcome::Failed;
    sink.SetProgress(90);
    if (sink.AbortRequested()) return Outcome::Aborted;
  }
  if (sel.cpuSpeed) {
    int at = sink.AddLine("");
    Answer a = Ask(server, suite::SELFTEST_CPU_SPEED, sink);
    if (a == Answer::Stopped) return Outcome::Aborted;
    if (a == Answer::Passed) {
      sink.ReplaceLine(at, "CPU Speed:\t" + server.ReadLastResult() + " MHz");
      sink.AddLine("");
    } else if (a == Answer::NotAvailable) {
      sink.ReplaceLine(at, "CPU Speed:\tnot available");
      sink.AddLine("");
    } else {
      // The measurement failed (no time passed) or the server did not answer.
      sink.ReplaceLine(at, "CPU Speed Test:\tFAILED");
    }
    if (!take(a)) return Outcome::Failed;
  }
  // Nothing could run here: no evidence, no pass.
  return failed || !anyResult ? Outcome::Failed : Outcome::Passed;
}

// ---- The processor's lines of KytPROC.IFO ------------------------------------------

void TakeCpuInfoLine(const std::string& line, CpuInfoLines* lines) {
  if (infofile::IsHiddenLine(line)) return;
  if (infofile::HasLabel(line, "CPU Type:")) lines->typeLine = line;
  else if (infofile::HasLabel(line, "CPU Speed:")) lines->speedLine = line;
}

CpuInfo& TheCpuInfo() {
  static CpuInfo info;
  return info;
}

DWORD WINAPI CpuInfoThread(LPVOID param) {
  auto* rec = static_cast<ctlfw::InfoReaderRecord*>(param);
  if (!rec) return 0;
  CpuInfo& info = TheCpuInfo();
  if (rec->category < suite::INFO_CATEGORY_COUNT && rec->page) {
    bool owned = false, skip = false;
    if (rec->mutex) {
      HANDLE waits[2] = {rec->mutex, rec->cancel};
      DWORD r = ::WaitForMultipleObjects(rec->cancel ? 2 : 1, waits, FALSE, info.mutexWaitMs);
      if (r == WAIT_OBJECT_0 || r == WAIT_ABANDONED_0) owned = true;
      // A wait that failed outright, or the page going, skips the reading;
      // after a time-out the file is read all the same.
      else if (r == WAIT_FAILED || r == WAIT_OBJECT_0 + 1) skip = true;
    }
    if (!skip) {
      CpuInfoLines lines;
      if (FILE* in = ::_wfopen(rec->path, L"rt")) {
        char buf[1024];
        std::string line;
        while (std::fgets(buf, sizeof(buf), in)) {
          line += buf;
          if (line.back() != '\n' && !std::feof(in)) continue;  // a long line: read on
          while (!line.empty() && (line.back() == '\n' || line.back() == '\r')) line.pop_back();
          TakeCpuInfoLine(line, &lines);
          line.clear();
        }
        std::fclose(in);
      }
      info.lines = lines;
    }
    if (owned) ::ReleaseMutex(rec->mutex);
  }
  if (rec->message && ::IsWindow(rec->page))
    ::PostMessageW(rec->page, rec->message, suite::INFO_REPLY_LOADED, (LPARAM)rec->category);
  if (rec->mutex) ::CloseHandle(rec->mutex);
  std::free(rec);
  return 1;
}

}  // namespace memtest
