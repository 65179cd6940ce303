// Processor information: KytPROC.IFO and the summary's "Processor:" line.
// The processor is identified from CPUID (or, on Windows 9x with the
// system-access library, from the Cyrix configuration registers), named
// from the name tables or its brand string, and its clock is measured.
//
// Everything the writer asks of the machine goes through CpuPlatform, so the
// decoding and the lines can be checked with canned leaves and clocks.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "cpuleaves.h"
#include "infosink.h"
#include "system.h"

namespace quorrel {

constexpr uint32_t kFeatureFpu = 1u << 0;
constexpr uint32_t kFeatureTsc = 1u << 4;
constexpr uint32_t kFeatureMmx = 1u << 23;
// Classification value of a processor the system names older than a
// Pentium: no CPUID, the "Generic" record.
constexpr uint8_t kGenericProcessor = 0x43;
// The Cyrix register set: index port and the registers used.
constexpr uint16_t kCyrixIndexPort = 0x22;
constexpr uint8_t kCyrixCcr3 = 0xC3, kCyrixDir0 = 0xFE, kCyrixDir1 = 0xFF;
// GetQuorrel classes of a configuration register read and write.
constexpr WORD kInfoClassCpuRead = 0x66, kInfoClassCpuWrite = 0x67;

struct ProcessorRecord {
  std::string vendor;  // at most 12 characters
  uint32_t maxStandardLeaf = 0;
  uint32_t maxExtendedLeaf = 0;  // 0 when the extended leaves are missing
  // As the system shows them: base family 0xF adds the extended family,
  // base family 6 and 0xF take the extended model as the high digit.
  unsigned family = 0, model = 0, stepping = 0;
  uint32_t features = 0;   // EDX of leaf 1
  uint16_t leaf2Word = 0;  // DX of leaf 2
  CpuidLeaf leaf2;         // the cache descriptors
  unsigned l2FromExtendedKb = 0;  // ECX[31:16] of leaf 0x80000006, 0 = none
  bool has3DNow = false;
  std::string brand;       // leaves 0x80000002..4, trimmed; "" = none
  bool registerPath = false;  // identified without CPUID (Cyrix or generic)
  bool cpuidUsed = false;
};

// 0x43 for a processor the system names as a 386 or 486 (or one without the
// instruction), the DIR0 register when the Cyrix probe passed, else 0.
uint8_t ClassifyProcessor(bool registerProbePassed, uint8_t dir0, DWORD processorType, bool cpuidSupported);
// Identification by the classification value; `standardOnly` leaves out
// leaf 2 and the extended leaves (the self-tests).
ProcessorRecord IdentifyProcessor(const CpuidSource& cpu, uint8_t classification, bool standardOnly = false);
// The L2 size that a leaf 2 descriptor names, in KB (0 when none does).
unsigned L2FromDescriptors(const CpuidLeaf& leaf2);
// The name line's text after `label` (the label included).
std::string ProcessorNameLine(const std::string& label, const ProcessorRecord& r);
// Constant of the timed division loop (MHz x timer ticks) by processor.
uint32_t DivisionLoopConstant(const std::string& vendor, unsigned family, unsigned model, uint32_t maxStandardLeaf);
// The nearest nominal clock rate (see the .cpp for the rule).
unsigned RoundSpeed(unsigned mhz, const std::vector<uint16_t>& table);
// One line of the feature table for every row, in the table's order.
std::vector<std::string> FeatureLines(uint32_t features);

// A clock reading in MHz, whole and hundredths.
struct ClockReading {
  uint32_t whole = 0;
  uint32_t hundredths = 0;
  // Whole MHz rounded to the nearest.
  uint32_t Rounded() const { return whole + (hundredths >= 50 ? 1 : 0); }
};
// K / ticks with the hundredths of the remainder; false for no ticks.
bool DivisionSpeed(uint32_t k, uint32_t ticks, ClockReading* out);
// A measured rate split into whole MHz and hundredths; false unless positive
// and finite.
bool SplitMhz(double mhz, ClockReading* out);
// "%u.%.2d" of a reading (233.05).
std::string FormatClock(const ClockReading& c);

// What the processor lines are made of.
struct ProcessorFacts {
  ProcessorRecord id;
  uint8_t classification = 0;
  int mathType = 3;  // 0 none, 2 an 80287-class unit, 3 an 80387 or later
  bool speedMeasured = false;
  unsigned speedMHz = 0;  // after RoundSpeed
};
// The category's lines (summary 0) or the summary's one line (summary 1).
void WriteProcessorLines(InfoSink& out, int summary, const ProcessorFacts& f);

// The machine as the processor writer and the self-tests see it.
class CpuPlatform {
 public:
  virtual ~CpuPlatform() = default;
  virtual const CpuidSource& Cpuid() = 0;
  virtual bool Windows9x() = 0;
  // GetSystemInfo's dwProcessorType.
  virtual DWORD ProcessorType() = 0;
  // The system-access library's GetQuorrel (Windows 9x), nullptr when unbound.
  virtual GetQuorrelFn SystemAccess() = 0;
  virtual void Wait(DWORD ms) = 0;
  // Windows NT: opens \\.\kytntio for one call; true when it opened.
  virtual bool OpenPortDriver() = 0;
  virtual void ClosePortDriver() = 0;
  // Whether IN and OUT on the timer and speaker ports work right now.
  virtual bool PortAccess() = 0;
  // Elapsed ticks of the fixed division loop on timer channel 2 (needs
  // PortAccess); false when it could not be timed.
  virtual bool TimeDivisionLoop(uint32_t* ticks) = 0;
  // The time-stamp counter's rate against the performance counter.
  virtual bool MeasureTscMhz(double* mhz) = 0;
  // The floating-point probe: 0, 2 or 3.
  virtual int MathType() = 0;
  // A millisecond clock for the timed self-tests.
  virtual double NowMs() = 0;
  virtual std::vector<uint16_t> SpeedTable() = 0;
};
// This machine.
std::unique_ptr<CpuPlatform> MakeMachineCpuPlatform(const SystemBindings& sys);
// Whether this process may use IN on the speaker port: tried once under a
// vectored exception handler, so that a refusal is an answer, not a fault.
bool MachinePortAccess();

// Whether a Cyrix configuration register can be written and read back (CCR3
// through the index port, with a second's pause); 0 without GetQuorrel.
int ProbeCyrixRegisters(CpuPlatform& p);
// One configuration register through GetQuorrel (false when unbound).
bool ReadCyrixRegister(CpuPlatform& p, uint8_t index, uint8_t* value);
// The clock: the time-stamp counter when the processor has one, else the
// division loop on the timer when the ports may be used; false otherwise.
bool ReadProcessorClock(CpuPlatform& p, const ProcessorRecord& r, ClockReading* out);
// Classification and identification as the writer does them.
ProcessorFacts GatherProcessorFacts(CpuPlatform& p, bool standardOnly = false, bool measure = true);

void WriteProcessorInfo(InfoSink& out, int summary, CpuPlatform& p);
void WriteProcessorInfo(InfoSink& out, int summary, const SystemBindings& sys);

}  // namespace quorrel
