// The memory test worker's steps around the pattern engine.
#include "memtest/worker.h"

#include <windows.h>

#include <algorithm>
#include <cstdio>

#include "ctlfw/rules.h"

namespace memtest {
namespace {

std::string Fmt(const char* fmt, long long v) {
  char buf[128];
  std::snprintf(buf, sizeof buf, fmt, v);
  return buf;
}

// size / 100 x percent (the share of "-C"), the percentage taken as 0..100.
uint64_t Share(uint64_t size, int percent) {
  uint64_t p = percent < 0 ? 0 : percent > 100 ? 100 : (uint64_t)percent;
  return size / 100 * p;
}

}  // namespace

uint64_t MemoryWithinReach(const MemoryFigures& m) { return ctlfw::CommittableNow(m.availPhys, m.availPageFile); }

uint64_t RoomPassSize(const MemoryFigures& m, const MemTestConfig& c) {
  uint64_t size;
  if (c.win9x)
    size = std::min(m.availPageFile, m.totalPhys > ~0ull / 2 ? ~0ull : m.totalPhys * 2);
  else
    size = m.totalPhys / 4 * 3 + (m.totalPhys % 4) * 3 / 4;
  if (c.concurrent) size = Share(size, c.percent);
  if (c.win9x) size = std::min(size, k9xSizeLimit);
  return std::min(size, MemoryWithinReach(m));
}

uint64_t TestBlockSize(const MemoryFigures& m, const MemTestConfig& c) {
  uint64_t size = m.availPhys;
  if (c.concurrent) size = Share(size, c.percent);
  if (c.quick) size = std::min(size / 8, kQuickLimit);
  if (c.win9x) size = std::min(size, k9xSizeLimit);
  return std::min(size, MemoryWithinReach(m));
}

uint64_t Shrink(uint64_t size) { return size / 16 * 15 + (size % 16) * 15 / 16; }

uint64_t TouchStep(uint64_t size) {
  uint64_t step = (size / 4096) * 256;
  return step ? step : 4096;
}

int TouchProgress(int pass, uint64_t offset, uint64_t step) { return pass * 18 - 13 + (int)(offset / step); }

namespace {

// Reads one word of every page of a room-making block, moving the progress
// of pass `pass`; false when the stop flag was seen (read every
// kStopCheckBytes).
bool TouchBlock(const uint8_t* p, uint64_t size, int pass, TestSink& sink) {
  const uint64_t step = TouchStep(size);
  for (uint64_t off = 0; off + 4 <= size; off += 4096) {
    if (off % kStopCheckBytes == 0 && sink.AbortRequested()) return false;
    (void)*reinterpret_cast<const volatile uint32_t*>(p + off);
    if (off % step == 0) sink.SetProgress(TouchProgress(pass, off, step));
  }
  return true;
}

}  // namespace

Outcome MakeRoom(SystemMemory& sys, const MemTestConfig& c, TestSink& sink) {
  const int passes = c.concurrent ? 1 : kRoomPasses;
  for (int i = 1; i <= passes; ++i) {
    uint64_t size = RoomPassSize(sys.Figures(), c);
    void* block = nullptr;
    while (size > 0 && !(block = sys.Alloc(size))) size = Shrink(size);
    bool stopped = false;
    if (block) {
      sink.SetProgress(i * 18 - 13);
      if (uint8_t* p = sys.Lock(block)) {
        stopped = !TouchBlock(p, size, i, sink);
        sys.Unlock(block);
      }
      sys.Free(block);
    }
    if (stopped || sink.AbortRequested()) return Outcome::Aborted;
  }
  return Outcome::Passed;
}

bool GrowWorkingSet(SystemMemory& sys, uint64_t currentMinimum, uint64_t* size) {
  while (currentMinimum < *size) {
    if (sys.SetWorkingSet(*size, *size)) return true;
    if (*size <= kWorkingSetStep) return false;
    *size -= kWorkingSetStep;
  }
  return true;
}

void* AllocateTestBlock(SystemMemory& sys, uint64_t* size) {
  for (;;) {
    if (void* block = sys.Alloc(*size)) return block;
    uint64_t smaller = Shrink(*size);
    if (smaller < kLowMemoryLimit) return nullptr;
    *size = smaller;
  }
}

Outcome RunMemoryTest(SystemMemory& sys, const MemTestConfig& c, TestSink& sink, const RandomSource& random,
                      FaultInjector* faults) {
  sink.AddLine("Optimizing Test Memory Size...");
  if (MakeRoom(sys, c, sink) == Outcome::Aborted) return Outcome::Aborted;

  sink.SetProgress(0);
  uint64_t size = TestBlockSize(sys.Figures(), c);

  uint64_t savedMin = 0, savedMax = 0;
  bool restoreWorkingSet = false;
  if (!c.win9x) {
    if (!sys.GetWorkingSet(&savedMin, &savedMax)) {
      sink.AddLine("Failed to get process workingset size");
      return Outcome::Failed;
    }
    restoreWorkingSet = savedMin && savedMax;
    if (!GrowWorkingSet(sys, savedMin, &size)) {
      sink.AddLine("Failed to get process workingset size");
      if (restoreWorkingSet) sys.SetWorkingSet(savedMin, savedMax);
      return Outcome::Failed;
    }
  }
  if (c.concurrent) size = std::min(size, c.maxMemMB * 0x100000);

  Outcome result = Outcome::Failed;
  void* block = AllocateTestBlock(sys, &size);
  uint8_t* start = nullptr;
  if (!block) {
    sink.AddLine("===>Memory Allocation Failed!");
  } else {
    uint64_t kb = size / 1024;
    sink.AddLine(Fmt("Test Memory Allocated:\t%lli KB\tOK", (long long)kb));
    start = sys.Lock(block);
    if (!start) {
      sink.AddLine("===>Could not lock memory block!");
    } else {
      uint64_t blocks = kb / 64;
      sink.AddLine(Fmt("Test Memory Blocks:\t%4.4lli blks", (long long)blocks));
      sink.AddLine("Start Address:\t" + AddressText(reinterpret_cast<uintptr_t>(start)) + "h");
      if (blocks < kMinBlocks) {
        sink.AddLine("===>Physical memory low, please close other program(s).");
      } else {
        Region r{start, (size_t)blocks};
        result = RunPatternTests(r, c.selection, sink, random, faults);
      }
    }
  }
  sink.SetErasing(true);
  if (start) sys.Unlock(block);
  if (block) sys.Free(block);
  if (restoreWorkingSet) sys.SetWorkingSet(savedMin, savedMax);
  return result;
}

// ---- the real services -----------------------------------------------------

MemoryFigures RealSystemMemory::Figures() {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof ms;
  MemoryFigures f;
  if (::GlobalMemoryStatusEx(&ms)) {
    f.totalPhys = ms.ullTotalPhys;
    f.availPhys = ms.ullAvailPhys;
    f.availPageFile = ms.ullAvailPageFile;
  }
  if (limit_) {
    f.totalPhys = std::min(f.totalPhys, limit_);
    f.availPhys = std::min(f.availPhys, limit_);
    f.availPageFile = std::min(f.availPageFile, limit_);
  }
  return f;
}

void* RealSystemMemory::Alloc(uint64_t size) {
  if (size == 0 || size > (uint64_t)(SIZE_T)-1) return nullptr;
  return ::GlobalAlloc(GMEM_FIXED, (SIZE_T)size);
}

uint8_t* RealSystemMemory::Lock(void* block) { return static_cast<uint8_t*>(::GlobalLock(block)); }
void RealSystemMemory::Unlock(void* block) { ::GlobalUnlock(block); }
void RealSystemMemory::Free(void* block) { ::GlobalFree(block); }

bool RealSystemMemory::GetWorkingSet(uint64_t* minimum, uint64_t* maximum) {
  SIZE_T mn = 0, mx = 0;
  if (!::GetProcessWorkingSetSize(::GetCurrentProcess(), &mn, &mx)) return false;
  *minimum = mn;
  *maximum = mx;
  return true;
}

bool RealSystemMemory::SetWorkingSet(uint64_t minimum, uint64_t maximum) {
  if (maximum > (uint64_t)(SIZE_T)-1) return false;
  return ::SetProcessWorkingSetSize(::GetCurrentProcess(), (SIZE_T)minimum, (SIZE_T)maximum) != FALSE;
}

}  // namespace memtest
