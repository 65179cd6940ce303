// A machine for the processor writer and the self-tests: canned CPUID
// leaves, a clock that reads what the test says, a port driver and ports
// that exist or not, and a Cyrix register file behind a fake GetQuorrel.
#pragma once
#include <windows.h>

#include <map>
#include <vector>

#include "cpuinfo.h"
#include "gather.h"

namespace cputest {

using namespace quorrel;

// Configuration registers as a Cyrix part keeps them (writes stick) or as
// any other processor answers (every read 0xFF, writes lost).
struct FakeRegisters {
  bool cyrix = true;
  std::map<uint8_t, uint8_t> regs;
  std::vector<std::pair<WORD, uint8_t>> calls;  // class, register
  std::vector<uint8_t> writes;
};
FakeRegisters& Registers();
DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer);

class FakePlatform : public CpuPlatform {
 public:
  CannedCpuid cpu;
  bool win9x = false;
  DWORD processorType = PROCESSOR_AMD_X8664;
  GetQuorrelFn access = nullptr;
  bool driverExists = false;   // \\.\kytntio opens
  bool driverOpen = false;
  int driverOpened = 0, driverClosed = 0;
  bool portsAllowed = false;   // IN and OUT work when the system lets them
  uint32_t ticks = 0;          // of the division loop
  int timerRuns = 0;
  bool tscWorks = true;
  double tscMhz = 0;
  int tscRuns = 0;
  int mathType = 3;
  std::vector<double> clock;   // NowMs answers in turn; the last repeats
  size_t clockAt = 0;
  std::vector<DWORD> waits;
  std::vector<uint16_t> table = BuiltInCpuSpeeds();

  const CpuidSource& Cpuid() override { return cpu; }
  bool Windows9x() override { return win9x; }
  DWORD ProcessorType() override { return processorType; }
  GetQuorrelFn SystemAccess() override { return access; }
  void Wait(DWORD ms) override { waits.push_back(ms); }
  bool OpenPortDriver() override {
    ++driverOpened;
    driverOpen = driverExists;
    return driverOpen;
  }
  void ClosePortDriver() override {
    ++driverClosed;
    driverOpen = false;
  }
  bool PortAccess() override { return portsAllowed && (win9x || driverOpen); }
  bool TimeDivisionLoop(uint32_t* t) override {
    ++timerRuns;
    *t = ticks;
    return true;
  }
  bool MeasureTscMhz(double* mhz) override {
    ++tscRuns;
    *mhz = tscMhz;
    return tscWorks;
  }
  int MathType() override { return mathType; }
  double NowMs() override {
    if (clock.empty()) return 0;
    double v = clock[clockAt < clock.size() ? clockAt : clock.size() - 1];
    ++clockAt;
    return v;
  }
  std::vector<uint16_t> SpeedTable() override { return table; }
};

}  // namespace cputest
