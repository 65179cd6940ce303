// The memory and processor benchmarks of the Zentrel control: memory read
// and write bandwidth over blocks of 4 KB to 1 MB through the memory
// bandwidth library, and the Dhrystone and Whetstone loops of whet.dll and
// dhry.dll. Their lines go to the results list and are appended to
// BNCHMARK.BNH, which the benchmark series created.
#pragma once
#include "ctlfw/benchfile.h"
#include <windows.h>

#include <functional>
#include <string>

#include "memtest/engine.h"
#include "memtest/proctest.h"
#include "memtest/worker.h"

namespace memtest {

using MemBenchFn = double(WINAPI*)(DWORD blockKB, DWORD* buffer, DWORD accesses);
using CpuBenchFn = double(WINAPI*)(int count);

// Where the lines of a benchmark go besides the list.
class BenchFile {
 public:
  virtual ~BenchFile() = default;
  // Writes the text and CR LF.
  virtual void WriteLine(const std::string& text) = 0;
};

// BNCHMARK.BNH (see ctlfw::BenchmarkFile) as the benchmark's file.
class BenchResultsFile : public BenchFile {
 public:
  explicit BenchResultsFile(const std::wstring& path) : file_(path) {}
  bool IsOpen() const { return file_.IsOpen(); }
  void WriteLine(const std::string& text) override { file_.WriteLine(text); }
  void Close() { file_.Close(); }
  std::string FailureLine(HINSTANCE texts) const { return file_.FailureLine(texts); }

 private:
  ctlfw::BenchmarkFile file_;
};

// The block sizes of both series, in KB.
constexpr DWORD kBenchBlockSizes[] = {4, 16, 64, 256, 1024};
constexpr DWORD kBenchBufferKB = 1024;

// "Memory Size:\t%.2lf MB", "%luK Blocks:\t%.2lf MB/Sec", ... as the file keeps them.
std::string MemorySizeLine(uint64_t totalBytes);
std::string BlockLine(DWORD sizeKB, double mbPerSec);
std::string AverageLine(bool read, double mbPerSec);
std::string DhrystoneLine(int count, double seconds);
std::string WhetstoneLine(int count, double seconds);

// The loop count of the second run of a loop whose first run of `count`
// took `seconds`, shorter than `minSeconds`: count x (minSeconds / seconds)
// x 1.1, at most INT_MAX. 0 when no second run is due (the first lasted long
// enough, or its time is not a usable positive figure).
int RescaledCount(int count, double minSeconds, double seconds);

struct MemoryBenchConfig {
  MemBenchFn read = nullptr;
  MemBenchFn write = nullptr;
  DWORD loops = 0x1400000;  // MemBenchMarkLoop
};

// MemoryBenchmarkThread's steps. Without either library entry nothing is
// measured and a line says so; memory that cannot be allocated or locked
// ends the run with its line; a measurement that gives no positive figure
// is shown as failed. None of them is an error of the run, which is Passed
// unless aborted. `pause` waits.
Outcome RunMemoryBenchmark(const MemoryBenchConfig& c, SystemMemory& sys, TestSink& sink, BenchFile& file,
                           const std::function<void(DWORD)>& pause);

struct CpuBenchConfig {
  CpuBenchFn dhrystone = nullptr;
  CpuBenchFn whetstone = nullptr;
  int dhrystoneCount = 1000000, dhryMinTime = 2;
  int whetstoneCount = 1000, whetMinTime = 4;
  int waitCpu = 20;  // nWaitCpu: waits of 500 ms for the processor's lines
};

// CpuBenchmarkThread's steps; `cpuLines` answers the processor's type and
// speed lines once they are ready (nullptr while they are not). A missing
// library or a loop without a time is said on its line, not counted as an
// error: the run is Passed unless aborted.
Outcome RunCpuBenchmark(const CpuBenchConfig& c, const std::function<const CpuInfoLines*()>& cpuLines,
                        TestSink& sink, BenchFile& file, const std::function<void(DWORD)>& pause);

// The end of a benchmark run in the file: "===>Test Aborts." after an abort,
// "Found Error(s)." when the run has errors, then an empty line.
void EndBenchFile(BenchFile& file, bool aborted, bool errors);

}  // namespace memtest
