// MemoryBenchmarkThread's and CpuBenchmarkThread's steps.
#include "memtest/bench.h"

#include <climits>
#include <cstdarg>
#include <cmath>
#include <cstdio>

namespace memtest {
namespace {

std::string Printf(const char* format, ...) __attribute__((format(printf, 1, 2)));
std::string Printf(const char* format, ...) {
  char buf[256];
  va_list args;
  va_start(args, format);
  std::vsnprintf(buf, sizeof buf, format, args);
  va_end(args);
  return buf;
}

bool Usable(double v) { return std::isfinite(v) && v > 0; }

// Adds a line to the list and writes it to the file.
int Both(TestSink& sink, BenchFile& file, const std::string& text) {
  file.WriteLine(text);
  return sink.AddLine(text);
}

}  // namespace

std::string MemorySizeLine(uint64_t totalBytes) {
  return Printf("Memory Size:\t%.2f MB", (double)totalBytes / 1024.0 / 1024.0);
}

std::string BlockLine(DWORD sizeKB, double mbPerSec) {
  return Printf("%luK Blocks:\t%.2f MB/Sec", (unsigned long)sizeKB, mbPerSec);
}

std::string AverageLine(bool read, double mbPerSec) {
  return Printf("Memory %s Average:\t%.2f MB/Sec", read ? "Read" : "Write", mbPerSec);
}

std::string DhrystoneLine(int count, double seconds) {
  return Printf("Dhrystone:\t%.1f K Dhrystones/Sec", (double)count / (seconds * 1000.0));
}

std::string WhetstoneLine(int count, double seconds) {
  return Printf("Whetstone:\t%.1f MWIPS", (double)count / (seconds * 10.0));
}

int RescaledCount(int count, double minSeconds, double seconds) {
  if (!Usable(seconds) || !(minSeconds > seconds) || count <= 0) return 0;
  double next = std::floor((double)count * (minSeconds / seconds) * 1.1);
  if (!std::isfinite(next) || next >= (double)INT_MAX) return INT_MAX;
  return next > count ? (int)next : count;
}

void EndBenchFile(BenchFile& file, bool aborted, bool errors) {
  if (aborted) file.WriteLine("===>Test Aborts.");
  if (errors) file.WriteLine("Found Error(s).");
  file.WriteLine("");
}

Outcome RunMemoryBenchmark(const MemoryBenchConfig& c, SystemMemory& sys, TestSink& sink, BenchFile& file,
                           const std::function<void(DWORD)>& pause) {
  // A missing library, memory that cannot be had or a figure that cannot
  // be measured is said on its line; the benchmark counts no error.
  if (!c.read || !c.write) {
    sink.AddLine("Memory Benchmark:\tkovlet.dll is not available");
    return Outcome::Passed;
  }
  Both(sink, file, MemorySizeLine(sys.Figures().totalPhys));
  file.WriteLine("");

  void* block = sys.Alloc((uint64_t)kBenchBufferKB * 1024);
  if (!block) {
    sink.AddLine("Failed to allocate memory");
    return Outcome::Passed;
  }
  sink.AddLine(Printf("Test Memory Allocated:\t%li KB", (long)kBenchBufferKB));
  uint8_t* buffer = sys.Lock(block);
  if (!buffer) {
    sink.AddLine("Failed to lock allocated memory");
    sys.Free(block);
    return Outcome::Passed;
  }
  sink.AddLine(Printf("Start Address:\t%8.8llXh", (unsigned long long)(uintptr_t)buffer));
  sink.SetProgress(0);

  bool aborted = false;
  for (int pass = 0; pass < 2 && !aborted; ++pass) {
    const bool read = pass == 0;
    MemBenchFn fn = read ? c.read : c.write;
    double sum = 0;
    int n = 0, position = 0;
    for (DWORD size : kBenchBlockSizes) {
      if (sink.AbortRequested()) {
        aborted = true;
        break;
      }
      if (position == 0) Both(sink, file, read ? "Memory Read Performance Tests:" : "Memory Write Performance Tests:");
      if (size > kBenchBufferKB) {
        Both(sink, file, Printf("%luK Blocks:\tNot Enought Memory", (unsigned long)size));
      } else {
        double v = fn(size, reinterpret_cast<DWORD*>(buffer), c.loops);
        if (Usable(v)) {
          sum += v;
          ++n;
          Both(sink, file, BlockLine(size, v));
        } else {
          // A measurement without a figure is no result.
          Both(sink, file, Printf("%luK Blocks:\tMeasurement failed", (unsigned long)size));
        }
      }
      sink.SetProgress((position * 20 + 20) % 100);
      ++position;
    }
    if (aborted) break;
    if (sum > 0 && n > 0) {
      Both(sink, file, AverageLine(read, sum / n));
      if (read) {
        sink.AddLine(" ");
        file.WriteLine("");
      }
    }
  }
  if (!aborted) pause(1000);
  sys.Unlock(block);
  sys.Free(block);
  return aborted ? Outcome::Aborted : Outcome::Passed;
}

namespace {

// One of the two processor loops: a placeholder line while it runs, the
// result in its place, and a longer second run when the first was too short.
// A missing library or a loop without a time is said on its line.
void RunCpuLoop(CpuBenchFn fn, const char* name, int count, int minTime,
                std::string (*format)(int, double), TestSink& sink, BenchFile& file) {
  if (!fn) {
    sink.AddLine(Printf("%s:\tnot available (%s is missing)", name, name[0] == 'D' ? "dhry.dll" : "whet.dll"));
    return;
  }
  int line = sink.AddLine(Printf("%s Performance Test ...", name));
  double t = count > 0 ? fn(count) : 0.0;
  if (!Usable(t)) {
    std::string failed = Printf("%s:\tMeasurement failed", name);
    sink.ReplaceLine(line, failed);
    file.WriteLine(failed);
    return;
  }
  std::string result = format(count, t);
  sink.ReplaceLine(line, result);
  // After Stop the first figure stands: the longer run would hold the stop
  // (and a closing program) for up to a minute more.
  int again = sink.AbortRequested() ? 0 : RescaledCount(count, minTime, t);
  if (again) {
    double t2 = fn(again);
    if (Usable(t2)) {
      result = format(again, t2);
      sink.ReplaceLine(line, result);
    }
    // A second run without a time keeps the first one's figure.
  }
  file.WriteLine(result);
}

}  // namespace

Outcome RunCpuBenchmark(const CpuBenchConfig& c, const std::function<const CpuInfoLines*()>& cpuLines,
                        TestSink& sink, BenchFile& file, const std::function<void(DWORD)>& pause) {
  Both(sink, file, "CPU Performance Tests:");
  const CpuInfoLines* lines = nullptr;
  // Stop ends the wait for the processor's lines at once.
  for (int i = 0; i < c.waitCpu && !(lines = cpuLines()) && !sink.AbortRequested(); ++i) pause(500);
  if (!lines) lines = cpuLines();
  if (lines) {
    if (!lines->typeLine.empty()) Both(sink, file, lines->typeLine);
    if (!lines->speedLine.empty()) Both(sink, file, lines->speedLine);
  }
  sink.SetProgress(30);
  if (sink.AbortRequested()) return Outcome::Aborted;

  RunCpuLoop(c.dhrystone, "Dhrystone", c.dhrystoneCount, c.dhryMinTime, DhrystoneLine, sink, file);
  sink.SetProgress(70);
  if (sink.AbortRequested()) return Outcome::Aborted;
  pause(500);

  RunCpuLoop(c.whetstone, "Whetstone", c.whetstoneCount, c.whetMinTime, WhetstoneLine, sink, file);
  sink.SetProgress(100);
  if (sink.AbortRequested()) return Outcome::Aborted;
  pause(1000);
  return Outcome::Passed;
}

}  // namespace memtest
