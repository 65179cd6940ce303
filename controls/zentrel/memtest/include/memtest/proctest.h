// The processor test: each sub-test runs in the information server, which
// the test asks with "kyt_quorrel_msg2" and whose texts it reads from
// "LastResult". Also the reader of the processor's type and speed lines in
// KytPROC.IFO for the processor benchmark.
#pragma once
#include <windows.h>

#include <cstdint>
#include <functional>
#include <string>

#include "memtest/engine.h"

namespace memtest {

// How long one message to the server may take before the server counts as
// hung (the longest sub-test takes a few seconds on the slowest machines).
constexpr DWORD kSelfTestTimeoutMs = 15000;

// The server's side of the processor test.
class SelfTestServer {
 public:
  virtual ~SelfTestServer() = default;
  // Sends a sub-test code (0 = probe); false when no answer came in time,
  // or when the wait for it was given up because the run was stopped.
  virtual bool Send(unsigned code, uint32_t* answer) = 0;
  virtual void ClearLastResult() = 0;
  virtual std::string ReadLastResult() = 0;
};

// The server window and the registry value. A message waits for its answer
// at most `timeoutMs`, and no longer once `stopped` says so (Stop acts at
// once, also while the server works or hangs).
class WindowSelfTestServer : public SelfTestServer {
 public:
  WindowSelfTestServer(HWND server, UINT message, DWORD timeoutMs = kSelfTestTimeoutMs,
                       std::function<bool()> stopped = {})
      : server_(server), message_(message), timeoutMs_(timeoutMs), stopped_(std::move(stopped)) {}
  bool Send(unsigned code, uint32_t* answer) override;
  void ClearLastResult() override;
  std::string ReadLastResult() override;

 private:
  HWND server_;
  UINT message_;
  DWORD timeoutMs_;
  std::function<bool()> stopped_;
};

// "LastResult" under the server's settings key: set to "" (created when
// missing), and read ("" when the key or value is missing).
void ClearLastResult();
std::string ReadLastResult();

// The processor rows of the check list, in order.
struct ProcessorSelection {
  bool registers = true, math = true, mathSpeed = true, mmx = true, cpuSpeed = true;
};

// The selected sub-tests in order, with their lines; `concurrent` ("-C")
// leaves the MMX test out, as does an unselected CPU speed test. A sub-test
// the server cannot run here is shown "not available" and decides nothing;
// a run in which no sub-test could run fails, and so does one whose server
// stops answering (at once). A sub-test whose answer was not waited for
// because Stop came ends the run as aborted, its line without a verdict.
// `pause` waits between some sub-tests.
Outcome RunProcessorTest(SelfTestServer& server, const ProcessorSelection& selection, bool concurrent,
                         TestSink& sink, const std::function<void(DWORD)>& pause);

// The processor's type and speed lines of KytPROC.IFO, for the benchmark.
struct CpuInfoLines {
  std::string typeLine;
  std::string speedLine;
};
// Takes one line of the file: a line beginning with "CPU Type:" or "CPU
// Speed:" (letter case aside) replaces the one taken before.
void TakeCpuInfoLine(const std::string& line, CpuInfoLines* lines);
// What CpuInfoThread found; `ready` is set by the page when the reader's
// 102 arrives.
struct CpuInfo {
  CpuInfoLines lines;
  volatile LONG ready = 0;
  DWORD mutexWaitMs = 10000;  // nWaitCpu x 500 ms
};
CpuInfo& TheCpuInfo();
// Reads the file of a ctlfw::InfoReaderRecord (allocated with malloc; the
// thread frees it and closes its mutex handle), then posts 102 to its page.
DWORD WINAPI CpuInfoThread(LPVOID record);

}  // namespace memtest
