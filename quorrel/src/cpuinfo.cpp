#include "cpuinfo.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "cpu_resource.h"
#include "format.h"
#include "gather.h"
#include "texts.h"

namespace quorrel {

namespace {

// Classification values of the Cyrix processors that DIR0 names.
bool IsCyrixDir0(uint8_t v) {
  return v == 0x1A || v == 0x1B || v == 0x29 || v == 0x2B || v == 0x2D || v == 0x2F;
}

std::string VendorOf(const CpuidLeaf& leaf0) {
  char v[13] = {};
  std::memcpy(v, &leaf0.ebx, 4);
  std::memcpy(v + 4, &leaf0.edx, 4);
  std::memcpy(v + 8, &leaf0.ecx, 4);
  return std::string(v, strnlen(v, 12));
}

std::string BrandOf(const CpuidSource& cpu) {
  char b[49] = {};
  for (uint32_t i = 0; i < 3; ++i) {
    CpuidLeaf l = cpu.Query(0x80000002u + i);
    std::memcpy(b + 16 * i, &l.eax, 4);
    std::memcpy(b + 16 * i + 4, &l.ebx, 4);
    std::memcpy(b + 16 * i + 8, &l.ecx, 4);
    std::memcpy(b + 16 * i + 12, &l.edx, 4);
  }
  std::string s(b, strnlen(b, 48));
  size_t first = s.find_first_not_of(' ');
  if (first == std::string::npos) return {};
  size_t last = s.find_last_not_of(' ');
  return s.substr(first, last - first + 1);
}

// Whether the name tables were made for this processor; a processor beyond
// them is named by its brand string when it has one.
bool NameTablesKnow(const ProcessorRecord& r) {
  char first = r.vendor.empty() ? 0 : r.vendor[0];
  char second = r.vendor.size() > 1 ? r.vendor[1] : 0;
  switch (first) {
    case 'A':  // K5, K6 and the K7 family
      return r.family <= 6;
    case 'C':  // Cyrix and IDT parts; a later Centaur family 6 is a VIA part
      return r.family == 4 || r.family == 5 || (r.family == 6 && second == 'y');
    case 'G':  // Intel up to the P6 family's last model, and NetBurst
      if (r.vendor != "GenuineIntel" && r.vendor != "Generic") return r.family <= 4;
      return r.family <= 5 || (r.family == 6 && r.model <= 0x0B) || r.family == 15;
    default:
      return r.family <= 4;
  }
}

unsigned PentiumFourL2(const ProcessorRecord& r) {
  unsigned kb = L2FromDescriptors(r.leaf2);
  return kb ? kb : r.l2FromExtendedKb;
}

}  // namespace

uint8_t ClassifyProcessor(bool registerProbePassed, uint8_t dir0, DWORD processorType, bool cpuidSupported) {
  if (registerProbePassed) return dir0;
  // The system names a 386 or a 486: no dependable CPUID.
  if (processorType == PROCESSOR_INTEL_386 || processorType == PROCESSOR_INTEL_486 || !cpuidSupported)
    return kGenericProcessor;
  return 0;
}

ProcessorRecord IdentifyProcessor(const CpuidSource& cpu, uint8_t classification, bool standardOnly) {
  ProcessorRecord r;
  if (IsCyrixDir0(classification) || classification == kGenericProcessor) {
    r.vendor = classification == kGenericProcessor ? "Generic" : "Cyrix";
    r.family = 4;
    r.model = classification;
    r.features = kFeatureFpu;
    r.registerPath = true;
    return r;
  }
  if (!cpu.Supported()) {
    r.features = kFeatureFpu;
    return r;
  }
  r.cpuidUsed = true;
  CpuidLeaf l0 = cpu.Query(0);
  r.vendor = VendorOf(l0);
  r.maxStandardLeaf = l0.eax;
  if (r.maxStandardLeaf >= 1) {
    CpuidLeaf l1 = cpu.Query(1);
    unsigned baseFamily = (l1.eax >> 8) & 0xF, baseModel = (l1.eax >> 4) & 0xF;
    r.stepping = l1.eax & 0xF;
    r.family = baseFamily == 0xF ? baseFamily + ((l1.eax >> 20) & 0xFF) : baseFamily;
    r.model = (baseFamily == 0xF || baseFamily == 6) ? baseModel | (((l1.eax >> 16) & 0xF) << 4) : baseModel;
    r.features = l1.edx;
  }
  if (standardOnly) return r;
  if (r.maxStandardLeaf >= 2) {
    r.leaf2 = cpu.Query(2);
    r.leaf2Word = (uint16_t)(r.leaf2.edx & 0xFFFF);
  }
  // A processor without extended leaves answers with another leaf's data:
  // only an answer of the form 0x8000xxxx counts.
  uint32_t maxExt = cpu.Query(0x80000000u).eax;
  if ((maxExt & 0xFFFF0000u) == 0x80000000u && maxExt >= 0x80000001u) {
    r.maxExtendedLeaf = maxExt;
    r.has3DNow = (cpu.Query(0x80000001u).edx >> 31) & 1;
    if (maxExt >= 0x80000004u) r.brand = BrandOf(cpu);
    if (maxExt >= 0x80000006u) r.l2FromExtendedKb = cpu.Query(0x80000006u).ecx >> 16;
  }
  return r;
}

unsigned L2FromDescriptors(const CpuidLeaf& leaf2) {
  static const struct {
    uint8_t code;
    uint16_t kb;
  } kL2[] = {{0x39, 128}, {0x3A, 192}, {0x3B, 128}, {0x3C, 256}, {0x3D, 384},  {0x3E, 512},  {0x3F, 256},
             {0x41, 128}, {0x42, 256}, {0x43, 512}, {0x44, 1024}, {0x45, 2048}, {0x48, 3072}, {0x4E, 6144},
             {0x78, 1024}, {0x79, 128}, {0x7A, 256}, {0x7B, 512}, {0x7C, 1024}, {0x7D, 2048}, {0x7F, 512},
             {0x80, 512}, {0x82, 256}, {0x83, 512}, {0x84, 1024}, {0x85, 2048}, {0x86, 512},  {0x87, 1024}};
  const uint32_t regs[4] = {leaf2.eax, leaf2.ebx, leaf2.ecx, leaf2.edx};
  for (int i = 0; i < 4; ++i) {
    if (regs[i] & 0x80000000u) continue;  // the register holds no descriptors
    for (int b = i == 0 ? 1 : 0; b < 4; ++b) {  // AL is the repeat count
      uint8_t code = (uint8_t)(regs[i] >> (8 * b));
      for (const auto& d : kL2)
        if (d.code == code) return d.kb;
    }
  }
  return 0;
}

std::string ProcessorNameLine(const std::string& label, const ProcessorRecord& r) {
  const std::string& v = r.vendor;
  char first = v.empty() ? 0 : v[0];
  char second = v.size() > 1 ? v[1] : 0;
  const unsigned family = r.family, model = r.model;
  UINT id = 0;  // 0: "%s%s"
  unsigned l2 = 0;
  switch (first) {
    case 'A':
      if (family >= 6) id = model == 3 ? IDS_NAME_DURON : IDS_NAME_ATHLON;
      else if (model == 1 || model == 2) id = IDS_NAME_K5;
      else if (model >= 6 && model <= 10) id = IDS_NAME_K6;
      break;
    case 'C':
      if (family == 4) id = model == 4 ? IDS_NAME_GX86 : IDS_NAME_5X86;
      else if (family == 5) id = second == 'y' ? IDS_NAME_6X86 : IDS_NAME_IDT_C6;
      else if (family == 6) id = IDS_NAME_6X86MX;
      else id = IDS_NAME_UNKNOWN;
      break;
    case 'G':
      if (family == 3) {
        id = IDS_NAME_386;
      } else if (family == 4) {
        id = IDS_NAME_486_COMMA;
      } else if (family == 5 || family == 6) {
        if (r.maxStandardLeaf < 2) {
          id = (r.features & kFeatureMmx) ? IDS_NAME_PENTIUM_MMX : IDS_NAME_PENTIUM;
        } else if (model < 3) {
          id = IDS_NAME_PENTIUM_PRO;
        } else {
          unsigned code = r.leaf2Word & 0x0F;
          l2 = code == 0 ? 0 : (uint16_t)(0x80u << (code - 1));
          if (l2 == 0) id = IDS_NAME_CELERON;
          else if (l2 == 128) id = IDS_NAME_CELERON_L2;
          else id = model < 6 ? IDS_NAME_PENTIUM_II : IDS_NAME_PENTIUM_III;
        }
      } else if (family == 15) {
        id = IDS_NAME_PENTIUM_4;
        l2 = PentiumFourL2(r);
      } else {
        id = IDS_NAME_UNKNOWN;
      }
      break;
    default:
      id = IDS_NAME_486;
      break;
  }
  if (!NameTablesKnow(r) && !r.brand.empty())
    return FormatA(Str(IDS_NAME_BRAND).c_str(), label.c_str(), v.c_str(), r.brand.c_str());
  std::string format = id ? Str(id) : std::string("%s%s");
  return FormatA(format.c_str(), label.c_str(), v.c_str(), (int)l2);
}

uint32_t DivisionLoopConstant(const std::string& vendor, unsigned family, unsigned model, uint32_t maxStandardLeaf) {
  char first = vendor.empty() ? 0 : vendor[0];
  char second = vendor.size() > 1 ? vendor[1] : 0;
  switch (first) {
    case 'G':
      if (family == 4) return 202000;
      if (maxStandardLeaf >= 2) return 137300;
      return model == 4 ? 173800 : 178800;
    case 'A':
      if (family == 4) return 202000;
      if (family >= 6) return 157000;
      return model < 6 ? 188000 : 101800;
    case 'C':
      if (second == 'e') return model <= 4 ? 240000 : 191900;
      if (family != 4) return 119220;
      if (model == 0x29 || model == 0x2B || model == 0x2D || model == 0x2F || model == 4) return 221000;
      return 178800;
    default:
      return 178800;
  }
}

// Within 20..1200 MHz the nearest table entry less than 100 MHz away (the
// earlier one on a tie). When none is that near, a rate above every entry
// stays as measured and any other becomes 555. Outside 20..1200 the rate
// stays as measured.
unsigned RoundSpeed(unsigned mhz, const std::vector<uint16_t>& table) {
  if (mhz < 20 || mhz > 1200) return mhz;
  unsigned best = 100;
  int pick = -1;
  for (size_t i = 0; i < table.size(); ++i) {
    unsigned d = table[i] > mhz ? table[i] - mhz : mhz - table[i];
    if (d < best) {
      best = d;
      pick = (int)i;
    }
  }
  if (pick >= 0) return table[(size_t)pick];
  if (!table.empty() && mhz > *std::max_element(table.begin(), table.end())) return mhz;
  return 555;
}

std::vector<std::string> FeatureLines(uint32_t features) {
  static const int kBits[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 12, 13, 14, 15, 23};
  std::vector<std::string> lines;
  for (size_t row = 0; row < sizeof(kBits) / sizeof(kBits[0]); ++row) {
    bool set = (features >> kBits[row]) & 1;
    lines.push_back(Str(IDS_FEATURE_FIRST + 2 * (UINT)row + (set ? 0 : 1)));
  }
  return lines;
}

bool DivisionSpeed(uint32_t k, uint32_t ticks, ClockReading* out) {
  if (ticks == 0) return false;  // the timer did not advance: no measurement
  out->whole = k / ticks;
  out->hundredths = (uint32_t)((uint64_t)(k % ticks) * 100 / ticks);
  return true;
}

bool SplitMhz(double mhz, ClockReading* out) {
  if (!(mhz > 0) || !std::isfinite(mhz) || mhz >= 4294967295.0) return false;
  double whole = std::floor(mhz);
  out->whole = (uint32_t)whole;
  out->hundredths = (uint32_t)std::floor((mhz - whole) * 100.0);
  if (out->hundredths > 99) out->hundredths = 99;
  return true;
}

std::string FormatClock(const ClockReading& c) { return FormatA("%u.%.2d", c.whole, (int)c.hundredths); }

void WriteProcessorLines(InfoSink& out, int summary, const ProcessorFacts& f) {
  const bool generic = f.classification == kGenericProcessor;
  std::string label;
  if (summary == 1 || generic) {
    label = Str(IDS_PROCESSOR) + infofile::kTab;
  } else {
    out.SpacedHeading(Str(IDS_CPU_IDENTIFICATION));
    label = Str(IDS_CPU_TYPE) + infofile::kTab;
  }
  std::string line = ProcessorNameLine(label, f.id);
  if (generic || summary == 1) {
    line += generic ? " " : ", ";
    if (f.speedMeasured) line += FormatA(Str(IDS_SUMMARY_SPEED).c_str(), (long)f.speedMHz);
    out.Line(line);
    return;
  }
  out.Line(line);
  // Stepping is written on every system: it is part of how the system
  // itself names the processor.
  const struct {
    UINT label;
    unsigned value;
  } numbers[] = {{IDS_CPU_FAMILY, f.id.family},
                 {IDS_CPU_MODEL, f.id.model},
                 {IDS_CPU_STEPPING, f.id.stepping},
                 {IDS_MATH_TYPE, (unsigned)f.mathType}};
  for (const auto& n : numbers) {
    out.Item(Str(n.label), FormatA("%d", (int)n.value));
  }
  if (f.speedMeasured) {
    out.Line(FormatA(Str(IDS_CATEGORY_SPEED).c_str(), Str(IDS_CPU_SPEED).c_str(), (long)f.speedMHz));
  }
  out.Line(" ");
  out.Heading(Str(IDS_FEATURE_INFORMATION));
  out.Item(Str(IDS_FEATURE_FLAG) + ":", FormatA("%X", (unsigned)f.id.features));
  for (const std::string& l : FeatureLines(f.id.features)) {
    out.Line(l);
  }
  if (f.id.has3DNow) {
    out.Line(Str(IDS_FEATURE_3DNOW));
  }
}

// ---- Register probe and clock --------------------------------------------------

namespace {
// A register access through GetQuorrel. Each call uses a buffer of its own,
// so the self-tests on the server's window thread never share one with a
// request worker.
bool CyrixRegister(CpuPlatform& p, WORD infoClass, uint8_t index, uint8_t* value) {
  GetQuorrelFn fn = p.SystemAccess();
  if (!fn) return false;
  std::vector<uint8_t> buffer(kInfoReplyBufferSize, 0);
  buffer[0] = (uint8_t)(kCyrixIndexPort & 0xFF);
  buffer[1] = (uint8_t)(kCyrixIndexPort >> 8);
  buffer[2] = index;
  buffer[3] = infoClass == kInfoClassCpuWrite ? *value : 0;
  fn(infoClass, (WORD)kInfoReplyBufferSize, buffer.data());
  if (infoClass == kInfoClassCpuRead) *value = buffer[3];
  return true;
}
}  // namespace

bool ReadCyrixRegister(CpuPlatform& p, uint8_t index, uint8_t* value) {
  return CyrixRegister(p, kInfoClassCpuRead, index, value);
}

int ProbeCyrixRegisters(CpuPlatform& p) {
  if (!p.SystemAccess()) return 0;
  uint8_t previous = 0, readBack = 0;
  ReadCyrixRegister(p, kCyrixCcr3, &previous);
  uint8_t written = (uint8_t)((previous & 0x0F) | 0x10);
  CyrixRegister(p, kInfoClassCpuWrite, kCyrixCcr3, &written);
  p.Wait(1000);
  ReadCyrixRegister(p, kCyrixCcr3, &readBack);
  CyrixRegister(p, kInfoClassCpuWrite, kCyrixCcr3, &previous);
  return readBack == written ? 1 : 0;
}

bool ReadProcessorClock(CpuPlatform& p, const ProcessorRecord& r, ClockReading* out) {
  if (r.features & kFeatureTsc) {
    double mhz = 0;
    return p.MeasureTscMhz(&mhz) && SplitMhz(mhz, out);
  }
  // The timer path uses IN and OUT: only where they are allowed.
  if (!p.PortAccess()) return false;
  uint32_t ticks = 0;
  if (!p.TimeDivisionLoop(&ticks)) return false;
  return DivisionSpeed(DivisionLoopConstant(r.vendor, r.family, r.model, r.maxStandardLeaf), ticks, out);
}

ProcessorFacts GatherProcessorFacts(CpuPlatform& p, bool standardOnly, bool measure) {
  ProcessorFacts f;
  bool probe = ProbeCyrixRegisters(p) != 0;
  if (!standardOnly) f.mathType = p.MathType();
  uint8_t dir0 = 0;
  if (probe) ReadCyrixRegister(p, kCyrixDir0, &dir0);
  f.classification = ClassifyProcessor(probe, dir0, p.ProcessorType(), p.Cpuid().Supported());
  f.id = IdentifyProcessor(p.Cpuid(), f.classification, standardOnly);
  uint8_t dir1 = 0;
  if (f.id.registerPath && ReadCyrixRegister(p, kCyrixDir1, &dir1)) f.id.stepping = (dir1 >> 4) & 0x0F;
  if (measure) {
    ClockReading c;
    if (ReadProcessorClock(p, f.id, &c)) {
      f.speedMeasured = true;
      f.speedMHz = RoundSpeed(c.Rounded(), p.SpeedTable());
    }
  }
  return f;
}

void WriteProcessorInfo(InfoSink& out, int summary, CpuPlatform& p) {
  bool driver = !p.Windows9x() && p.OpenPortDriver();
  ProcessorFacts f = GatherProcessorFacts(p);
  WriteProcessorLines(out, summary, f);
  if (driver) p.ClosePortDriver();
}

void WriteProcessorInfo(InfoSink& out, int summary, const SystemBindings& sys) {
  std::unique_ptr<CpuPlatform> p = MakeMachineCpuPlatform(sys);
  WriteProcessorInfo(out, summary, *p);
}

}  // namespace quorrel
