#include "memory.h"

#include <tlhelp32.h>

#include "appkit/system.h"
#include "format.h"
#include "resource.h"
#include "suite/info.h"
#include "texts.h"

namespace quorrel {

MemorySnapshot ReadMemoryStatus() {
  MEMORYSTATUSEX ms{};
  ms.dwLength = sizeof(ms);
  MemorySnapshot s;
  if (!::GlobalMemoryStatusEx(&ms)) return s;
  s.load = ms.dwMemoryLoad;
  s.totalPhys = ms.ullTotalPhys;
  s.availPhys = ms.ullAvailPhys;
  s.totalPageFile = ms.ullTotalPageFile;
  s.availPageFile = ms.ullAvailPageFile;
  s.totalVirtual = ms.ullTotalVirtual;
  s.availVirtual = ms.ullAvailVirtual;
  return s;
}

void WriteMemoryLines(InfoSink& out, int mode, const MemorySnapshot& m, bool windows9x) {
  if (mode != 0) {
    out.Line(MbLine(Str(IDS_MEMORY), m.totalPhys));
    return;
  }
  out.SpacedHeading(Str(IDS_MEMORY_UTILIZATION));
  if (windows9x) {
    out.Line(PercentLine(Str(IDS_PERCENT_MEMORY), m.load));
  }
  const struct {
    UINT label;
    uint64_t value;
  } lines[] = {{IDS_TOTAL_PHYSICAL, m.totalPhys},    {IDS_FREE_PHYSICAL, m.availPhys},
               {IDS_TOTAL_PAGEFILE, m.totalPageFile}, {IDS_FREE_PAGEFILE, m.availPageFile},
               {IDS_TOTAL_VIRTUAL, m.totalVirtual},   {IDS_FREE_VIRTUAL, m.availVirtual}};
  for (const auto& l : lines) {
    out.Line(KbLine(Str(l.label), l.value));
  }
  out.EndLine();
}

void WriteMemoryInfo(InfoSink& out, int mode, const GatherContext& ctx) {
  WriteMemoryLines(out, mode, ReadMemoryStatus(), appkit::IsWindows9x());
  if (mode == 0 && ctx.Switch(suite::SW_MEMORY_HEAP)) WriteHeapAllocation(out, ctx.system);
}

uint64_t SumHeapBlocks(const SystemBindings& m, DWORD processId, ULONG_PTR heapId) {
  if (!m.heap32First || !m.heap32Next) return 0;
  HEAPENTRY32 e{};
  e.dwSize = sizeof(e);
  if (!m.heap32First(&e, processId, heapId)) return 0;
  uint64_t total = e.dwBlockSize;
  while (m.heap32Next(&e)) total += e.dwBlockSize;
  return total;
}

namespace {
void WriteProcessHeapLine(InfoSink& out, const SystemBindings& m, const tagPROCESSENTRY32& p) {
  if (!m.createToolhelp32Snapshot || !m.heap32ListFirst || !m.heap32ListNext) return;
  HANDLE snap = m.createToolhelp32Snapshot(TH32CS_SNAPHEAPLIST, p.th32ProcessID);
  if (snap == INVALID_HANDLE_VALUE) return;
  HEAPLIST32 list{};
  list.dwSize = sizeof(list);
  if (m.heap32ListFirst(snap, &list)) {
    uint64_t total = SumHeapBlocks(m, p.th32ProcessID, list.th32HeapID);
    while (m.heap32ListNext(snap, &list)) total += SumHeapBlocks(m, p.th32ProcessID, list.th32HeapID);
    std::string exe(p.szExeFile, strnlen(p.szExeFile, sizeof(p.szExeFile)));
    out.Item(HeapProcessName(exe), FormatA("%llu KB", (unsigned long long)(total >> 10)));
  }
  ::CloseHandle(snap);
}
}  // namespace

void WriteHeapAllocation(InfoSink& out, const SystemBindings& m) {
  if (!m.createToolhelp32Snapshot || !m.process32First || !m.process32Next || !m.heap32ListFirst ||
      !m.heap32ListNext || !m.heap32First || !m.heap32Next)
    return;
  out.Heading(Str(IDS_HEAPS_ALLOCATION));
  HANDLE snap = m.createToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
  if (snap == INVALID_HANDLE_VALUE) return;
  tagPROCESSENTRY32 p{};
  p.dwSize = sizeof(p);
  if (m.process32First(snap, &p)) {
    WriteProcessHeapLine(out, m, p);
    while (m.process32Next(snap, &p)) WriteProcessHeapLine(out, m, p);
  }
  ::CloseHandle(snap);
}

}  // namespace quorrel
