// The processor writer's and the self-tests' view of this machine: CPUID,
// the port driver, guarded port access, the timer-channel division loop,
// the time-stamp counter against the performance counter, and the
// floating-point probe.
#include <x86intrin.h>

#include <climits>
#include <mutex>

#include "appkit/system.h"
#include "cpuinfo.h"
#include "gather.h"

// The port probe: one IN from the port in the first argument. When the
// system does not allow it, the IN faults and the vectored handler below
// resumes at the probe's end.
extern "C" void halvix_port_probe(unsigned port);
extern "C" const char halvix_port_probe_in[];
extern "C" const char halvix_port_probe_end[];
#if defined(__x86_64__)
asm(".text\n"
    ".globl halvix_port_probe\n"
    ".globl halvix_port_probe_in\n"
    ".globl halvix_port_probe_end\n"
    "halvix_port_probe:\n"
    "  movl %ecx, %edx\n"
    "halvix_port_probe_in:\n"
    "  inb %dx, %al\n"
    "halvix_port_probe_end:\n"
    "  ret\n");
#else
asm(".text\n"
    ".globl _halvix_port_probe\n"
    ".globl _halvix_port_probe_in\n"
    ".globl _halvix_port_probe_end\n"
    "_halvix_port_probe:\n"
    "  movl 4(%esp), %edx\n"
    "_halvix_port_probe_in:\n"
    "  inb %dx, %al\n"
    "_halvix_port_probe_end:\n"
    "  ret\n");
#endif

namespace quorrel {

namespace {

volatile LONG g_portFaulted = 0;
std::mutex g_portProbeLock;

LONG CALLBACK PortProbeHandler(EXCEPTION_POINTERS* e) {
  if (e->ExceptionRecord->ExceptionAddress != (void*)halvix_port_probe_in) return EXCEPTION_CONTINUE_SEARCH;
  DWORD code = e->ExceptionRecord->ExceptionCode;
  if (code != STATUS_PRIVILEGED_INSTRUCTION && code != STATUS_ACCESS_VIOLATION) return EXCEPTION_CONTINUE_SEARCH;
  g_portFaulted = 1;
#if defined(__x86_64__)
  e->ContextRecord->Rip = (DWORD64)(ULONG_PTR)halvix_port_probe_end;
#else
  e->ContextRecord->Eip = (DWORD)(ULONG_PTR)halvix_port_probe_end;
#endif
  return EXCEPTION_CONTINUE_EXECUTION;
}

inline uint8_t InByte(uint16_t port) {
  uint8_t v;
  asm volatile("inb %w1, %b0" : "=a"(v) : "Nd"(port));
  return v;
}

inline void OutByte(uint16_t port, uint8_t v) { asm volatile("outb %b0, %w1" : : "a"(v), "Nd"(port)); }

// A reading of the time-stamp counter paired with the performance counter:
// the tightest of a few brackets.
void PairedCounters(int64_t* qpc, uint64_t* tsc) {
  int64_t bestSpan = LLONG_MAX;
  for (int i = 0; i < 8; ++i) {
    LARGE_INTEGER a, b;
    ::QueryPerformanceCounter(&a);
    uint64_t t = __rdtsc();
    ::QueryPerformanceCounter(&b);
    int64_t span = b.QuadPart - a.QuadPart;
    if (span >= 0 && span < bestSpan) {
      bestSpan = span;
      *qpc = a.QuadPart + span / 2;
      *tsc = t;
    }
  }
}

__attribute__((noinline)) int ProbeFloatingPointUnit() {
  uint16_t saved = 0, status = 0x5A5A, control = 0;
  asm volatile("fnstcw %0" : "=m"(saved));
  asm volatile("fninit\n\tfnstsw %0" : "+m"(status) : : "st", "st(1)", "st(2)", "st(3)", "st(4)", "st(5)", "st(6)",
               "st(7)");
  int type = 3;
  if (status & 0xFF) {
    type = 0;
  } else {
    asm volatile("fnstcw %0" : "=m"(control));
    if ((control & 0x103F) != 0x3F) {
      type = 0;
    } else {
      // An 80287 closes the number line projectively: +inf equals -inf.
      volatile long double zero = 0;
      long double inf = 1.0L / zero;
      type = inf == -inf ? 2 : 3;
    }
  }
  asm volatile("fldcw %0" : : "m"(saved));
  return type;
}

class MachineCpuPlatform : public CpuPlatform {
 public:
  explicit MachineCpuPlatform(const SystemBindings& sys) : sys_(sys) {}
  ~MachineCpuPlatform() override { ClosePortDriver(); }
  const CpuidSource& Cpuid() override { return cpuid_; }
  bool Windows9x() override { return appkit::IsWindows9x(); }
  DWORD ProcessorType() override {
    SYSTEM_INFO si{};
    ::GetSystemInfo(&si);
    return si.dwProcessorType;
  }
  GetQuorrelFn SystemAccess() override { return sys_.getQuorrel; }
  void Wait(DWORD ms) override { ::Sleep(ms); }
  bool OpenPortDriver() override {
    ClosePortDriver();
    driver_ = ::CreateFileA("\\\\.\\kytntio", 0, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_SYSTEM, nullptr);
    return driver_ != INVALID_HANDLE_VALUE;
  }
  void ClosePortDriver() override {
    if (driver_ != INVALID_HANDLE_VALUE) ::CloseHandle(driver_);
    driver_ = INVALID_HANDLE_VALUE;
  }
  // Windows 9x lets programs use the ports, Windows NT only while the port
  // driver is open; and even then the ports are tried once under a handler
  // before the measurement uses them (a system that claims to be Windows 9x
  // may still refuse them).
  bool PortAccess() override {
    if (!Windows9x() && driver_ == INVALID_HANDLE_VALUE) return false;
    return MachinePortAccess();
  }
  bool TimeDivisionLoop(uint32_t* ticks) override {
    OutByte(0x61, InByte(0x61) & ~3);
    OutByte(0x43, 0xB4);  // channel 2, low then high byte, mode 2, binary
    OutByte(0x42, 0);
    OutByte(0x42, 0);
    uint8_t kept = InByte(0x61);
    OutByte(0x61, kept | 1);  // gate on
    for (int i = 0; i < 5000; ++i)
      asm volatile("xorw %%dx, %%dx\n\tmovw $0xAAAA, %%ax\n\tmovw $0x5555, %%cx\n\tdivw %%cx" : : : "ax", "cx", "dx",
                   "cc");
    OutByte(0x61, kept);  // gate off
    unsigned lo = InByte(0x42);
    unsigned hi = InByte(0x42);
    OutByte(0x61, InByte(0x61) & ~2);
    *ticks = (65536u - (lo | (hi << 8))) % 65536u;
    return true;
  }
  // The clock does not change while the server runs: it is measured once
  // per process (a failed measurement is tried again next time), so that
  // later processor writes and the summary do not wait for it again.
  bool MeasureTscMhz(double* mhz) override {
    static std::mutex lock;
    static double measured = 0;
    std::lock_guard<std::mutex> hold(lock);
    if (measured <= 0 && !MeasureTscMhzOnce(&measured)) return false;
    *mhz = measured;
    return true;
  }
  int MathType() override { return ProbeFloatingPointUnit(); }
  double NowMs() override {
    LARGE_INTEGER f, c;
    if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return ::GetTickCount();
    ::QueryPerformanceCounter(&c);
    return (double)c.QuadPart * 1000.0 / (double)f.QuadPart;
  }
  std::vector<uint16_t> SpeedTable() override { return StandardCpuSpeeds(); }

 private:
  static bool MeasureTscMhzOnce(double* mhz) {
    LARGE_INTEGER f;
    if (!::QueryPerformanceFrequency(&f) || f.QuadPart <= 0) return false;
    int64_t q0 = 0, q1 = 0;
    uint64_t t0 = 0, t1 = 0;
    // Each end is the tightest of several counter pairs (a fraction of a
    // microsecond apart), so 100 ms of both counters gives the clock far
    // better than 1%.
    PairedCounters(&q0, &t0);
    ::Sleep(100);
    PairedCounters(&q1, &t1);
    if (q1 <= q0 || t1 <= t0) return false;  // no time passed: no measurement
    *mhz = (double)(t1 - t0) / ((double)(q1 - q0) / (double)f.QuadPart) / 1e6;
    return *mhz > 0;
  }

  RealCpuid cpuid_;
  HANDLE driver_ = INVALID_HANDLE_VALUE;
  SystemBindings sys_;
};

}  // namespace

bool MachinePortAccess() {
  typedef PVOID(WINAPI * AddHandlerFn)(ULONG, PVECTORED_EXCEPTION_HANDLER);
  typedef ULONG(WINAPI * RemoveHandlerFn)(PVOID);
  HMODULE k = ::GetModuleHandleW(L"kernel32.dll");
  auto add = k ? reinterpret_cast<AddHandlerFn>(::GetProcAddress(k, "AddVectoredExceptionHandler")) : nullptr;
  auto remove = k ? reinterpret_cast<RemoveHandlerFn>(::GetProcAddress(k, "RemoveVectoredExceptionHandler")) : nullptr;
  // Without vectored handlers this is Windows 9x itself, which lets every
  // program use the ports.
  if (!add || !remove) return appkit::IsWindows9x();
  std::lock_guard<std::mutex> hold(g_portProbeLock);
  PVOID handler = add(1, &PortProbeHandler);
  if (!handler) return false;
  g_portFaulted = 0;
  halvix_port_probe(0x61);
  remove(handler);
  return g_portFaulted == 0;
}

std::unique_ptr<CpuPlatform> MakeMachineCpuPlatform(const SystemBindings& sys) {
  return std::make_unique<MachineCpuPlatform>(sys);
}

}  // namespace quorrel
