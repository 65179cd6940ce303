// The processor test's sequence against a scripted server: which codes it
// sends, the lines of each answer, the verdict, and the cases where the
// server cannot run a sub-test or stops answering.
#include <gtest/gtest.h>

#include <atomic>
#include <map>
#include <thread>

#include "memtest/proctest.h"
#include "recording_sink.h"
#include "suite/info.h"

using namespace memtest;

namespace {

class ScriptedServer : public SelfTestServer {
 public:
  struct Answer {
    uint32_t value;
    std::string text;  // left in "LastResult"
  };
  std::map<unsigned, Answer> answers;  // codes not listed answer 0
  int silentFrom = -1;                 // from this code on nothing answers
  std::vector<unsigned> sent;
  std::string lastResult = "stale text of an earlier test";

  bool Send(unsigned code, uint32_t* answer) override {
    sent.push_back(code);
    if (silentFrom >= 0 && code >= (unsigned)silentFrom) return false;
    auto it = answers.find(code);
    *answer = it == answers.end() ? 0 : it->second.value;
    if (it != answers.end() && !it->second.text.empty()) lastResult = it->second.text;
    return true;
  }
  void ClearLastResult() override { lastResult.clear(); }
  std::string ReadLastResult() override { return lastResult; }
};

const std::map<unsigned, ScriptedServer::Answer> kFigures = {
    {3, {0, "46480.00"}}, {4, {0, "34960.00"}}, {5, {0, "2096.00"}}};

std::map<unsigned, ScriptedServer::Answer> With(std::map<unsigned, ScriptedServer::Answer> more) {
  std::map<unsigned, ScriptedServer::Answer> all = kFigures;
  for (auto& m : more) all[m.first] = m.second;
  return all;
}

const std::vector<std::string> kPassedLines = {"General Register Test:\tPASSED",
                                               "Mathematical Calculation Test:\tPASSED",
                                               "Math Performance Test:\tPASSED",
                                               "Math Performance Index:\t46480.00",
                                               "MMX Arithmetic Test:\tPASSED",
                                               "MMX Performance Index:\t34960.00",
                                               "CPU Speed:\t2096.00 MHz",
                                               ""};

}  // namespace

TEST(ProcessorTest, SequencesLinesAndVerdicts) {
  const ProcessorSelection all;
  struct Case {
    const char* what;
    ProcessorSelection selection;
    bool concurrent;
    std::map<unsigned, ScriptedServer::Answer> answers;
    int silentFrom;
    std::vector<unsigned> sent;
    std::vector<std::string> lines;
    Outcome outcome;
  } cases[] = {
      {"every sub-test passes", all, false, kFigures, -1, {0, 1, 0, 2, 0, 3, 0, 4, 0, 5}, kPassedLines,
       Outcome::Passed},
      {"the register test fails, the others pass", all, false, With({{1, {1, ""}}}), -1,
       {0, 1, 0, 2, 0, 3, 0, 4, 0, 5},
       {"General Register Test:\tFAILED", "Mathematical Calculation Test:\tPASSED", "Math Performance Test:\tPASSED",
        "Math Performance Index:\t46480.00", "MMX Arithmetic Test:\tPASSED", "MMX Performance Index:\t34960.00",
        "CPU Speed:\t2096.00 MHz", ""},
       Outcome::Failed},
      {"the math check explains its failure", {false, true, false, false, true}, false,
       With({{2, {1, "sin( 1.570796 ) = 1, not 0.500000"}}}), -1, {0, 2, 0, 5},
       {"sin( 1.570796 ) = 1, not 0.500000", "Mathematical Calculation Test:\tFAILED", "CPU Speed:\t2096.00 MHz", ""},
       Outcome::Failed},
      {"a processor without MMX: no line, no error", all, false, With({{4, {suite::SELFTEST_NO_MMX, ""}}}), -1,
       {0, 1, 0, 2, 0, 3, 0, 4, 0, 5},
       {"General Register Test:\tPASSED", "Mathematical Calculation Test:\tPASSED", "Math Performance Test:\tPASSED",
        "Math Performance Index:\t46480.00", "CPU Speed:\t2096.00 MHz", ""},
       Outcome::Passed},
      {"a concurrent run leaves MMX out", all, true, kFigures, -1, {0, 1, 0, 2, 0, 3, 0, 5},
       {"General Register Test:\tPASSED", "Mathematical Calculation Test:\tPASSED", "Math Performance Test:\tPASSED",
        "Math Performance Index:\t46480.00", "CPU Speed:\t2096.00 MHz", ""},
       Outcome::Passed},
      {"MMX needs the CPU speed test", {false, false, true, true, false}, false, kFigures, -1, {0, 3},
       {"Math Performance Test:\tPASSED", "Math Performance Index:\t46480.00"}, Outcome::Passed},
      {"a speed this machine cannot measure decides nothing", {true, false, false, false, true}, false,
       With({{5, {suite::SELFTEST_NOT_AVAILABLE, "not available"}}}), -1, {0, 1, 0, 5},
       {"General Register Test:\tPASSED", "CPU Speed:\tnot available", ""}, Outcome::Passed},
      {"nothing could run: no pass", {false, false, false, false, true}, false,
       With({{5, {suite::SELFTEST_NOT_AVAILABLE, "not available"}}}), -1, {0, 5},
       {"CPU Speed:\tnot available", ""}, Outcome::Failed},
      {"a failed speed measurement is an error", {false, false, false, false, true}, false,
       With({{5, {1, ""}}}), -1, {0, 5}, {"CPU Speed Test:\tFAILED"}, Outcome::Failed},
      {"a probe that is not answered with 0 stands for the test", {true, false, false, false, false}, false,
       With({{0, {1, ""}}}), -1, {0}, {"General Register Test:\tFAILED"}, Outcome::Failed},
      {"the server stops answering: the run ends at once", all, false, kFigures, 3, {0, 1, 0, 2, 0, 3},
       {"General Register Test:\tPASSED", "Mathematical Calculation Test:\tPASSED", "Math Performance Test:\tFAILED"},
       Outcome::Failed},
      {"no answer to the very first probe", all, false, kFigures, 0, {0}, {"General Register Test:\tFAILED"},
       Outcome::Failed},
  };
  for (const Case& c : cases) {
    ScriptedServer server;
    server.answers = c.answers;
    server.silentFrom = c.silentFrom;
    RecordingSink sink;
    std::vector<DWORD> pauses;
    Outcome o = RunProcessorTest(server, c.selection, c.concurrent, sink, [&](DWORD ms) { pauses.push_back(ms); });
    EXPECT_EQ(o, c.outcome) << c.what;
    EXPECT_EQ(server.sent, c.sent) << c.what;
    EXPECT_EQ(sink.lines, c.lines) << c.what;
  }
}

TEST(ProcessorTest, ProgressPausesAndAbort) {
  ScriptedServer server;
  server.answers = kFigures;
  RecordingSink sink;
  std::vector<DWORD> pauses;
  ASSERT_EQ(RunProcessorTest(server, ProcessorSelection(), false, sink, [&](DWORD ms) { pauses.push_back(ms); }),
            Outcome::Passed);
  EXPECT_EQ(sink.progress, (std::vector<int>{20, 50, 80, 90}));
  EXPECT_EQ(pauses, (std::vector<DWORD>{500, 500}));

  // Stop pressed during the math check: the run ends after it.
  ScriptedServer second;
  second.answers = kFigures;
  RecordingSink stopped;
  stopped.abortWhen = [&] { return second.sent.size() >= 4; };
  EXPECT_EQ(RunProcessorTest(second, ProcessorSelection(), false, stopped, [](DWORD) {}), Outcome::Aborted);
  EXPECT_EQ(stopped.lines,
            (std::vector<std::string>{"General Register Test:\tPASSED", "Mathematical Calculation Test:\tPASSED"}));
}

TEST(ProcessorTest, CpuInfoLinesFromTheFile) {
  CpuInfoLines lines;
  for (const char* l : {"", "@3CPU Identification", ";CPU Type:\tcomment", "cpu type:\tAuthenticAMD, first",
                        "CPU Type:\tAuthenticAMD, AMD EPYC", "Family:\t26", "CPU Speed:\t2096 MHz", "CPU Speed"})
    TakeCpuInfoLine(l, &lines);
  EXPECT_EQ(lines.typeLine, "CPU Type:\tAuthenticAMD, AMD EPYC");
  EXPECT_EQ(lines.speedLine, "CPU Speed:\t2096 MHz");
}

// Stop pressed while the server works on (or hangs in) a sub-test: the wait
// for its answer is given up, and the run ends as stopped, not as a
// failure of the processor; the sub-test's line keeps no verdict.
TEST(ProcessorTest, StopDuringASubTestEndsTheRunAsStopped) {
  class SlowServer : public ScriptedServer {
   public:
    unsigned slowCode = 0;
    bool stop = false;
    bool Send(unsigned code, uint32_t* answer) override {
      if (code != slowCode) return ScriptedServer::Send(code, answer);
      sent.push_back(code);
      stop = true;  // Stop comes while the server has not answered
      return false;
    }
  };
  struct Case {
    unsigned slowCode;
    std::vector<unsigned> sent;
    std::vector<std::string> lines;
  } cases[] = {
      {suite::SELFTEST_MATH, {0, 1, 0, 2}, {"General Register Test:\tPASSED", "Mathematical Calculation Test:"}},
      {suite::SELFTEST_CPU_SPEED,
       {0, 1, 0, 2, 0, 3, 0, 4, 0, 5},
       {"General Register Test:\tPASSED", "Mathematical Calculation Test:\tPASSED", "Math Performance Test:\tPASSED",
        "Math Performance Index:\t46480.00", "MMX Arithmetic Test:\tPASSED", "MMX Performance Index:\t34960.00", ""}},
  };
  for (const Case& c : cases) {
    SlowServer server;
    server.answers = kFigures;
    server.slowCode = c.slowCode;
    RecordingSink sink;
    sink.abortWhen = [&] { return server.stop; };
    EXPECT_EQ(RunProcessorTest(server, ProcessorSelection(), false, sink, [](DWORD) {}), Outcome::Aborted)
        << c.slowCode;
    EXPECT_EQ(server.sent, c.sent);
    EXPECT_EQ(sink.lines, c.lines);
  }
}

namespace {

// A server window on a thread of its own: code n is answered with n x 10,
// code 99 only when `release` is set (a server that works long, or hangs).
class ServerWindow {
 public:
  ServerWindow() {
    release_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    ready_ = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
    thread_ = ::CreateThread(nullptr, 0, &ServerWindow::Run, this, 0, nullptr);
    ::WaitForSingleObject(ready_, 10000);
  }
  ~ServerWindow() {
    ::SetEvent(release_);
    ::PostMessageW(hwnd, WM_CLOSE, 0, 0);
    ::WaitForSingleObject(thread_, 10000);
    for (HANDLE h : {thread_, release_, ready_}) ::CloseHandle(h);
  }
  HWND hwnd = nullptr;
  static constexpr UINT kMessage = WM_APP + 7;

 private:
  static LRESULT CALLBACK Proc(HWND h, UINT msg, WPARAM wp, LPARAM lp) {
    if (msg == kMessage) {
      auto* self = reinterpret_cast<ServerWindow*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
      if (wp == 99) ::WaitForSingleObject(self->release_, INFINITE);
      return (LRESULT)(wp * 10);
    }
    if (msg == WM_CLOSE) {
      ::DestroyWindow(h);
      return 0;
    }
    if (msg == WM_DESTROY) ::PostQuitMessage(0);
    return ::DefWindowProcW(h, msg, wp, lp);
  }
  static DWORD WINAPI Run(LPVOID p) {
    auto* self = static_cast<ServerWindow*>(p);
    WNDCLASSW wc{};
    wc.lpfnWndProc = &Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"HalvixSelfTestServer";
    ::RegisterClassW(&wc);
    self->hwnd = ::CreateWindowW(wc.lpszClassName, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(self->hwnd, GWLP_USERDATA, (LONG_PTR)self);
    ::SetEvent(self->ready_);
    MSG msg;
    while (::GetMessageW(&msg, nullptr, 0, 0) > 0) ::DispatchMessageW(&msg);
    return 0;
  }
  HANDLE thread_ = nullptr, release_ = nullptr, ready_ = nullptr;
};

}  // namespace

// The window transport: an answer is taken, a stop gives up the wait for a
// server that does not answer (long before its time-out), and so does the
// time-out itself.
TEST(ProcessorTest, TheServerWindowsAnswerOrTheStopEndsTheWait) {
  ServerWindow window;
  ASSERT_NE(window.hwnd, nullptr);
  std::atomic<bool> stop{false};
  WindowSelfTestServer server(window.hwnd, ServerWindow::kMessage, 60000, [&] { return stop.load(); });
  uint32_t answer = 0;
  ASSERT_TRUE(server.Send(3, &answer));
  EXPECT_EQ(answer, 30u);
  ASSERT_TRUE(server.Send(4, &answer));
  EXPECT_EQ(answer, 40u);

  // The server hangs; Stop comes after a moment.
  std::thread stopper([&] {
    ::Sleep(200);
    stop = true;
  });
  DWORD t0 = ::GetTickCount();
  EXPECT_FALSE(server.Send(99, &answer));
  EXPECT_LT(::GetTickCount() - t0, 30000u) << "given up for the stop, not after the time-out";
  stopper.join();

  // Without a stop: the time-out.
  stop = false;
  WindowSelfTestServer hurried(window.hwnd, ServerWindow::kMessage, 300, [&] { return stop.load(); });
  EXPECT_FALSE(hurried.Send(99, &answer));
}
