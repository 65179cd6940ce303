// The Test page of the memory and processor control on the framework's Test
// page: its four modes (memory test, processor test, and their benchmarks),
// texts, check-list rules, how each mode's run ends, and its workers.
#pragma once
#include <windows.h>

#include <memory>
#include <random>

#include "ctlfw/testpage.h"
#include "memtest/bench.h"
#include "memtest/engine.h"
#include "memtest/proctest.h"

namespace ctlfw {
class TestRunner;
}

namespace memtest {

enum class PageMode { Memory, Processor, MemoryBench, ProcessorBench };

// What the workers of a run read, captured at Start (one set per module).
struct MemoryRun {
  PageMode mode = PageMode::Memory;
  bool check = false, concurrent = false;
  int percent = 8;
  uint64_t maxMemMB = 20;
  Selection selection;
  // The processor test: its rows and the id of "kyt_quorrel_msg2".
  ProcessorSelection processor;
  UINT selfTestMessage = 0;
  std::minstd_rand random;
  // Caps the machine's memory figures (bytes, 0 = none); tests only.
  uint64_t machineLimit = 0;
  FaultInjector* faults = nullptr;  // laid over the test block (tests only)
  // The benchmarks: BNCHMARK.BNH beside the control, the control's texts,
  // the bound library entries and the settings of the mode.
  std::wstring benchFile;
  HINSTANCE texts = nullptr;
  MemoryBenchConfig memoryBench;
  CpuBenchConfig cpuBench;
};
MemoryRun& TheMemoryRun();

// The workers of the four modes.
DWORD WINAPI MemoryTestThread(LPVOID);
DWORD WINAPI ProcessorTestThread(LPVOID);
DWORD WINAPI MemoryBenchmarkThread(LPVOID);
DWORD WINAPI CpuBenchmarkThread(LPVOID);

std::unique_ptr<ctlfw::TestPage> MakeZentrelTestPage(ctlfw::TestRunner& runner);

}  // namespace memtest
