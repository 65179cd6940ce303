// Memory information: KytMEM.IFO and the summary's "Memory:" line.
#pragma once
#include <windows.h>

#include <cstdint>

#include "gather.h"
#include "infosink.h"

namespace quorrel {

struct MemorySnapshot {
  unsigned load = 0;  // percent
  uint64_t totalPhys = 0, availPhys = 0, totalPageFile = 0, availPageFile = 0, totalVirtual = 0, availVirtual = 0;
};

MemorySnapshot ReadMemoryStatus();
// The memory lines for a snapshot: mode 0 the category, any other mode the
// summary line. `windows9x` adds the percent line.
void WriteMemoryLines(InfoSink& out, int mode, const MemorySnapshot& m, bool windows9x);
// The whole writer: the machine's memory, then the heaps when "MemoryHeap" is on.
void WriteMemoryInfo(InfoSink& out, int mode, const GatherContext& ctx);
void WriteHeapAllocation(InfoSink& out, const SystemBindings& sys);
// Sum of the block sizes of one heap, in bytes (a 64-bit process may hold
// more than 4 GB in its heaps).
uint64_t SumHeapBlocks(const SystemBindings& bindings, DWORD processId, ULONG_PTR heapId);

}  // namespace quorrel
