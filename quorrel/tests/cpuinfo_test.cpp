// The processor writer on canned machines: CPUID decoding of several
// processors into KytPROC.IFO's lines, the register path of Cyrix and
// generic processors, the summary line, the clock and its rounding.
#include <gtest/gtest.h>

#include <sstream>

#include "cpu_fake.h"
#include "testsupport/process.h"

namespace cputest {

FakeRegisters& Registers() {
  static FakeRegisters r;
  return r;
}

DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer) {
  auto* b = static_cast<uint8_t*>(buffer);
  FakeRegisters& r = Registers();
  EXPECT_EQ(size, kInfoReplyBufferSize);
  EXPECT_EQ(b[0] | (b[1] << 8), kCyrixIndexPort);
  r.calls.push_back({infoClass, b[2]});
  if (infoClass == kInfoClassCpuWrite) {
    r.writes.push_back(b[3]);
    if (r.cyrix) r.regs[b[2]] = b[3];
  } else {
    b[3] = r.cyrix ? r.regs[b[2]] : 0xFF;
  }
  return 0;
}

}  // namespace cputest

using namespace cputest;

namespace {

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  std::string l;
  while (std::getline(in, l)) lines.push_back(l);
  return lines;
}

std::vector<std::string> Written(FakePlatform& p, int summary = 0) {
  StringSink out;
  WriteProcessorInfo(out, summary, p);
  return Lines(out.text);
}

// The lines from the heading down to the feature word.
std::vector<std::string> Head(const std::vector<std::string>& lines) {
  std::vector<std::string> head;
  for (const std::string& l : lines) {
    head.push_back(l);
    if (l.rfind("FeatureFlag:", 0) == 0) break;
  }
  return head;
}

bool Has(const std::vector<std::string>& lines, const std::string& line) {
  return std::find(lines.begin(), lines.end(), line) != lines.end();
}

// Processors of four generations as their leaves answer.
struct Processor {
  const char* what;
  void (*leaves)(CannedCpuid&);
  double tscMhz;
  std::vector<std::string> head;
  std::vector<std::string> features;  // a few lines of the feature table
  bool has3DNow;
};

const Processor kProcessors[] = {
    {"Pentium (P54C), no extended leaves",
     [](CannedCpuid& c) {
       c.Vendor(1, "GenuineIntel").Set(1, 0x525, 0, 0, 0x1BF);
       c.missing = c.leaves[1];  // an unknown leaf answers with leaf 1's data
     },
     99.72,
     {"", "@3CPU Identification", "CPU Type:\tGenuineIntel, Pentium", "Family:\t5", "Model:\t2", "Stepping:\t5",
      "Math Type:\t3", "CPU Speed:\t100 MHz", " ", "@3Feature Information", "FeatureFlag:\t1BF"},
     {"FPU on Chip:\tYes", "Time Stamp Counter:\tYes", "Physical Address Extensions:\tNo", "MMX Technology:\tNo"},
     false},
    {"Pentium III (Katmai), 512 KB L2 from the leaf 2 word",
     [](CannedCpuid& c) {
       c.Vendor(2, "GenuineIntel").Set(1, 0x673, 0, 0, 0x0387FBFF).Set(2, 0x03020101, 0, 0, 0x0C040843);
       c.missing = c.leaves[2];
     },
     498.6,
     {"", "@3CPU Identification", "CPU Type:\tGenuineIntel, Pentium III, 512 KB L2 Cache", "Family:\t6",
      "Model:\t7", "Stepping:\t3", "Math Type:\t3", "CPU Speed:\t500 MHz", " ", "@3Feature Information",
      "FeatureFlag:\t387FBFF"},
     {"Conditional Move Instruction:\tYes", "MMX Technology:\tYes", "APIC on Chip:\tYes"},
     false},
    {"Pentium 4 (Northwood), L2 from the cache descriptors",
     [](CannedCpuid& c) {
       c.Vendor(2, "GenuineIntel").Set(1, 0xF27, 0, 0, 0xBFEBFBFF).Set(2, 0x665B5001, 0, 0, 0x007B7040);
       c.Set(0x80000000, 0x80000004, 0, 0, 0).Set(0x80000001, 0, 0, 0, 0);
       c.Brand("              Intel(R) Pentium(R) 4 CPU 2.40GHz");
     },
     2394.2,
     {"", "@3CPU Identification", "CPU Type:\tGenuineIntel,Pentium4,512 KB L2 Cache", "Family:\t15", "Model:\t2",
      "Stepping:\t7", "Math Type:\t3", "CPU Speed:\t2394 MHz", " ", "@3Feature Information",
      "FeatureFlag:\tBFEBFBFF"},
     {"FPU on Chip:\tYes", "MMX Technology:\tYes"},
     false},
    {"Core i7-8700: extended model, named by its brand string",
     [](CannedCpuid& c) {
       c.Vendor(0x16, "GenuineIntel").Set(1, 0x906EA, 0, 0, 0xBFEBFBFF).Set(2, 0x00FEFF01, 0xF0, 0, 0);
       c.Set(0x80000000, 0x80000008, 0, 0, 0).Set(0x80000001, 0, 0, 0x121, 0x2C100800);
       c.Brand("Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz");
     },
     3191.6,
     {"", "@3CPU Identification", "CPU Type:\tGenuineIntel, Intel(R) Core(TM) i7-8700 CPU @ 3.20GHz",
      "Family:\t6", "Model:\t158", "Stepping:\t10", "Math Type:\t3", "CPU Speed:\t3192 MHz", " ",
      "@3Feature Information", "FeatureFlag:\tBFEBFBFF"},
     {"Machine Check Architecture:\tYes"},
     false},
    {"EPYC 9654 (Zen 4): extended family 0xA",
     [](CannedCpuid& c) {
       c.Vendor(0x10, "AuthenticAMD").Set(1, 0xA10F11, 0, 0, 0x178BFBFF);
       c.Set(0x80000000, 0x80000028, 0, 0, 0).Set(0x80000001, 0xA10F11, 0, 0x75C237FF, 0x2FD3FBFF);
       c.Brand("AMD EPYC 9654 96-Core Processor                ");
     },
     2395.8,
     {"", "@3CPU Identification", "CPU Type:\tAuthenticAMD, AMD EPYC 9654 96-Core Processor", "Family:\t25",
      "Model:\t17", "Stepping:\t1", "Math Type:\t3", "CPU Speed:\t2396 MHz", " ", "@3Feature Information",
      "FeatureFlag:\t178BFBFF"},
     {"Memory Type Range Registers:\tYes"},
     false},
    {"Athlon (K7): the table's name and 3DNow!",
     [](CannedCpuid& c) {
       c.Vendor(1, "AuthenticAMD").Set(1, 0x642, 0, 0, 0x0183F9FF);
       c.Set(0x80000000, 0x80000006, 0, 0, 0).Set(0x80000001, 0x742, 0, 0, 0xC1C3F9FF);
       c.Brand("AMD Athlon(tm) Processor");
       c.Set(0x80000006, 0, 0, 256u << 16, 0);
     },
     1000.3,
     {"", "@3CPU Identification", "CPU Type:\tAuthenticAMD, Athlon(K7)", "Family:\t6", "Model:\t4",
      "Stepping:\t2", "Math Type:\t3", "CPU Speed:\t1000 MHz", " ", "@3Feature Information",
      "FeatureFlag:\t183F9FF"},
     {"APIC on Chip:\tNo"},
     true},
};

}  // namespace

TEST(ProcessorInfo, CannedProcessorsGiveTheirLines) {
  for (const Processor& pr : kProcessors) {
    FakePlatform p;
    pr.leaves(p.cpu);
    p.tscMhz = pr.tscMhz;
    std::vector<std::string> lines = Written(p);
    EXPECT_EQ(Head(lines), pr.head) << pr.what;
    ASSERT_EQ(lines.size(), pr.head.size() + 15 + (pr.has3DNow ? 1 : 0)) << pr.what;
    for (const std::string& f : pr.features) EXPECT_TRUE(Has(lines, f)) << pr.what << ": " << f;
    EXPECT_EQ(lines.back() == "3DNOW! Technology:\tYes", pr.has3DNow) << pr.what;
    EXPECT_EQ(p.tscRuns, 1) << pr.what;
    EXPECT_EQ(p.timerRuns, 0) << pr.what << ": the counter, not the timer";
  }
}

TEST(ProcessorInfo, FeatureTableInItsOrder) {
  FakePlatform p;
  kProcessors[0].leaves(p.cpu);
  p.tscMhz = 99.7;
  std::vector<std::string> lines = Written(p);
  std::vector<std::string> table(lines.end() - 15, lines.end());
  EXPECT_EQ(table, (std::vector<std::string>{
                       "FPU on Chip:\tYes", "Virtual Mode Enhancements:\tYes", "I/O Break Points:\tYes",
                       "Page Size Extensions:\tYes", "Time Stamp Counter:\tYes", "Model Specific Registers:\tYes",
                       "Physical Address Extensions:\tNo", "Machine Check Exception:\tYes",
                       "CMPXCHG8B Instruction:\tYes", "APIC on Chip:\tNo", "Memory Type Range Registers:\tNo",
                       "Page Global Enable:\tNo", "Machine Check Architecture:\tNo",
                       "Conditional Move Instruction:\tNo", "MMX Technology:\tNo"}));
  // Without the unit's bit the line has no colon.
  EXPECT_EQ(FeatureLines(0x1BE).front(), "FPU on Chip\tNo");
}

TEST(ProcessorInfo, NameTablesWhereTheyMatchBrandBeyond) {
  struct Case {
    const char* vendor;
    uint32_t leaf1Eax, features, maxLeaf;
    uint16_t leaf2Dx;
    const char* brand;
    const char* name;
  } cases[] = {
      {"AuthenticAMD", 0x530, 0x8001BF, 1, 0, "", "AuthenticAMD"},  // K6 model 3: vendor alone
      {"AuthenticAMD", 0x511, 0x1BF, 1, 0, "", "AuthenticAMD, K5"},
      {"AuthenticAMD", 0x580, 0x8001BF, 1, 0, "AMD-K6(tm) 3D processor", "AuthenticAMD, K6"},
      {"AuthenticAMD", 0x630, 0x183F9FF, 1, 0, "AMD Duron(tm) Processor", "AuthenticAMD,Duron(K7)"},
      {"AuthenticAMD", 0xF48, 0x78BFBFF, 1, 0, "AMD Athlon(tm) 64 Processor 3200+",
       "AuthenticAMD, AMD Athlon(tm) 64 Processor 3200+"},  // K8: beyond the K7 row
      {"CyrixInstead", 0x524, 0x1, 1, 0, "", "CyrixInstead, 6x86"},
      {"CentaurHauls", 0x541, 0x800035, 1, 0, "", "CentaurHauls, IDT-C6"},
      {"CentaurHauls", 0x698, 0x803035, 1, 0, "VIA Nehemiah", "CentaurHauls, VIA Nehemiah"},
      {"GenuineIntel", 0x543, 0x8001BF, 1, 0, "", "GenuineIntel, Pentium/MMX"},
      {"GenuineIntel", 0x619, 0xFBFF, 2, 0x0843, "", "GenuineIntel, Pentium Pro"},
      {"GenuineIntel", 0x652, 0x183FBFF, 2, 0x0843, "", "GenuineIntel, Pentium II/MMX, 512 KB L2 Cache"},
      {"GenuineIntel", 0x660, 0x183FBFF, 2, 0x0841, "", "GenuineIntel, Celeron/MMX, 128 KB L2 Cache"},
      {"GenuineIntel", 0x651, 0x183FBFF, 2, 0x0840, "", "GenuineIntel, Celeron/MMX"},
      {"GenuineIntel", 0x6D8, 0xAFE9FBFF, 2, 0x0000, "Intel(R) Pentium(R) M processor 1.80GHz",
       "GenuineIntel, Intel(R) Pentium(R) M processor 1.80GHz"},
      {"GenuineIntel", 0x480, 0x3, 1, 0, "", "GenuineIntel, 486 or lower,"},
      {"HygonGenuine", 0x900F01, 0x178BFBFF, 0xD, 0, "Hygon C86 7185 32-core Processor",
       "HygonGenuine, Hygon C86 7185 32-core Processor"},
      {"NexGenDriven", 0x520, 0x0, 1, 0, "", "NexGenDriven, 486 or lower"},
  };
  for (const Case& c : cases) {
    CannedCpuid cpu;
    cpu.Vendor(c.maxLeaf, c.vendor).Set(1, c.leaf1Eax, 0, 0, c.features).Set(2, 0x03020101, 0, 0, c.leaf2Dx);
    if (*c.brand) {
      cpu.Set(0x80000000, 0x80000004, 0, 0, 0).Brand(c.brand);
    }
    ProcessorRecord r = IdentifyProcessor(cpu, 0);
    EXPECT_EQ(ProcessorNameLine("", r), c.name) << c.vendor << " " << std::hex << c.leaf1Eax;
  }
}

TEST(ProcessorInfo, ExtendedLeavesOnlyWhenTheMaximumCoversThem) {
  CannedCpuid cpu;
  cpu.Vendor(2, "GenuineIntel").Set(1, 0x6B1, 0, 0, 0x383FBFF);
  // Leaf 0x80000000 reports 0x80000001 only: no brand, no cache leaf.
  cpu.Set(0x80000000, 0x80000001, 0, 0, 0).Set(0x80000001, 0, 0, 0, 0x80000000u);
  cpu.Brand("never read").Set(0x80000006, 0, 0, 512u << 16, 0);
  ProcessorRecord r = IdentifyProcessor(cpu, 0);
  EXPECT_TRUE(r.has3DNow);
  EXPECT_EQ(r.brand, "");
  EXPECT_EQ(r.l2FromExtendedKb, 0u);
  // A processor answering the extended leaf with ordinary data has none.
  cpu.Set(0x80000000, 0x0000000D, 0x756E6547, 0x6C65746E, 0x49656E69);
  r = IdentifyProcessor(cpu, 0);
  EXPECT_EQ(r.maxExtendedLeaf, 0u);
  EXPECT_FALSE(r.has3DNow);
  // The self-tests read leaves 0 and 1 only.
  r = IdentifyProcessor(cpu, 0, true);
  EXPECT_EQ(r.leaf2Word, 0u);
  EXPECT_EQ(r.features, 0x383FBFFu);
}

TEST(ProcessorInfo, ClassificationAndTheRegisterPath) {
  EXPECT_EQ(ClassifyProcessor(false, 0, PROCESSOR_AMD_X8664, true), 0);
  EXPECT_EQ(ClassifyProcessor(false, 0, PROCESSOR_INTEL_PENTIUM, true), 0);
  EXPECT_EQ(ClassifyProcessor(false, 0, PROCESSOR_INTEL_486, true), kGenericProcessor);
  EXPECT_EQ(ClassifyProcessor(false, 0, PROCESSOR_INTEL_386, true), kGenericProcessor);
  EXPECT_EQ(ClassifyProcessor(false, 0, PROCESSOR_INTEL_PENTIUM, false), kGenericProcessor);
  EXPECT_EQ(ClassifyProcessor(true, 0x2B, PROCESSOR_INTEL_486, true), 0x2B);

  // Windows 9x with the system-access library on a Cyrix part: DIR0 names
  // it, DIR1 gives the stepping, the timer gives the clock.
  Registers() = FakeRegisters();
  Registers().regs = {{kCyrixCcr3, 0x05}, {kCyrixDir0, 0x2B}, {kCyrixDir1, 0x15}};
  FakePlatform p;
  p.win9x = true;
  p.access = &FakeGetQuorrel;
  p.processorType = PROCESSOR_INTEL_486;
  p.cpu.supported = false;
  p.portsAllowed = true;
  p.ticks = 1000;  // 221,000 / 1,000 = 221 MHz, nominally 225
  std::vector<std::string> lines = Written(p);
  EXPECT_EQ(Head(lines), (std::vector<std::string>{"", "@3CPU Identification", "CPU Type:\tCyrix, 5x86", "Family:\t4",
                                                   "Model:\t43", "Stepping:\t1", "Math Type:\t3",
                                                   "CPU Speed:\t225 MHz", " ", "@3Feature Information",
                                                   "FeatureFlag:\t1"}));
  EXPECT_TRUE(Has(lines, "Time Stamp Counter:\tNo"));
  EXPECT_EQ(p.waits, std::vector<DWORD>{1000});
  EXPECT_EQ(Registers().writes, (std::vector<uint8_t>{0x15, 0x05})) << "CCR3 probed, then put back";
  EXPECT_EQ(Registers().regs[kCyrixCcr3], 0x05);
  EXPECT_EQ(p.driverOpened, 0) << "no port driver on Windows 9x";

  // Any other processor loses the write: no register path.
  Registers() = FakeRegisters();
  Registers().cyrix = false;
  EXPECT_EQ(ProbeCyrixRegisters(p), 0);
  p.access = nullptr;
  EXPECT_EQ(ProbeCyrixRegisters(p), 0);
}

TEST(ProcessorInfo, GenericProcessorIsOneLine) {
  // The system names a 486: no CPUID, one line without a heading.
  FakePlatform p;
  p.processorType = PROCESSOR_INTEL_486;
  EXPECT_EQ(Written(p), std::vector<std::string>{"Processor:\tGeneric, 486 or lower, "});
  EXPECT_EQ(p.driverOpened, 1);
  EXPECT_EQ(p.driverClosed, 0) << "a driver that did not open is not closed";
  // With the port driver the timer measures it: 202,000 / 4,040 = 50 MHz.
  p.driverExists = true;
  p.portsAllowed = true;
  p.ticks = 4040;
  EXPECT_EQ(Written(p), std::vector<std::string>{"Processor:\tGeneric, 486 or lower, 50 MHz"});
  EXPECT_EQ(p.driverClosed, 1);
}

TEST(ProcessorInfo, SummaryLine) {
  FakePlatform p;
  p.cpu.Vendor(2, "GenuineIntel").Set(1, 0x683, 0, 0, 0x383F9FF).Set(2, 0x03020101, 0, 0, 0x0C040882);
  p.tscMhz = 732.9;
  EXPECT_EQ(Written(p, 1), std::vector<std::string>{"Processor:\tGenuineIntel, Pentium III, 256 KB L2 Cache, 733 MHz"});
  p.tscWorks = false;
  EXPECT_EQ(Written(p, 1), std::vector<std::string>{"Processor:\tGenuineIntel, Pentium III, 256 KB L2 Cache, "});
}

TEST(ProcessorInfo, ClockPaths) {
  // No time-stamp counter: the timer, only where the ports may be used.
  FakePlatform p;
  p.cpu.Vendor(1, "GenuineIntel").Set(1, 0x435, 0, 0, 0x3);
  p.ticks = 700;
  ClockReading c;
  EXPECT_FALSE(ReadProcessorClock(p, IdentifyProcessor(p.cpu, 0), &c)) << "NT without the driver";
  EXPECT_EQ(p.timerRuns, 0);
  p.portsAllowed = true;
  p.driverOpen = true;
  ASSERT_TRUE(ReadProcessorClock(p, IdentifyProcessor(p.cpu, 0), &c));
  EXPECT_EQ(FormatClock(c), "288.57");  // 202,000 / 700
  p.ticks = 0;  // the timer did not advance: no figure, no division
  EXPECT_FALSE(ReadProcessorClock(p, IdentifyProcessor(p.cpu, 0), &c));
  p.driverExists = true;
  std::vector<std::string> lines = Written(p);
  for (const std::string& l : lines) EXPECT_NE(l.rfind("CPU Speed:", 0), 0u) << l;

  EXPECT_TRUE(DivisionSpeed(178800, 700, &c));
  EXPECT_EQ(FormatClock(c), "255.42");
  EXPECT_TRUE(DivisionSpeed(178800, 800, &c));
  EXPECT_EQ(FormatClock(c), "223.50");
  EXPECT_TRUE(SplitMhz(2096.003, &c));
  EXPECT_EQ(FormatClock(c), "2096.00");
  EXPECT_EQ(c.Rounded(), 2096u);
  EXPECT_FALSE(SplitMhz(0, &c));
  EXPECT_FALSE(SplitMhz(-5, &c));
}

TEST(ProcessorInfo, DivisionLoopConstants) {
  struct Case {
    const char* vendor;
    unsigned family, model, maxLeaf;
    uint32_t k;
  } cases[] = {
      {"GenuineIntel", 4, 8, 1, 202000}, {"GenuineIntel", 6, 5, 2, 137300}, {"GenuineIntel", 5, 4, 1, 173800},
      {"GenuineIntel", 5, 2, 1, 178800}, {"AuthenticAMD", 4, 9, 1, 202000}, {"AuthenticAMD", 6, 4, 1, 157000},
      {"AuthenticAMD", 5, 3, 1, 188000}, {"AuthenticAMD", 5, 8, 1, 101800}, {"CentaurHauls", 5, 4, 1, 240000},
      {"CentaurHauls", 5, 8, 1, 191900}, {"CyrixInstead", 5, 2, 1, 119220}, {"Cyrix", 4, 0x2D, 0, 221000},
      {"Cyrix", 4, 0x1A, 0, 178800},     {"NexGenDriven", 5, 0, 1, 178800},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DivisionLoopConstant(c.vendor, c.family, c.model, c.maxLeaf), c.k) << c.vendor << " " << c.family;
}

TEST(ProcessorInfo, RoundSpeedToTheNominalRates) {
  const std::vector<uint16_t>& table = BuiltInCpuSpeeds();
  const struct {
    unsigned in, out;
  } cases[] = {{1049, 1000}, {1050, 1000}, {1051, 1100}, {19, 19},   {20, 40},    {1201, 1201},
               {2096, 2096}, {233, 233},   {99, 100},    {451, 450}, {1200, 1200}};
  for (const auto& c : cases) EXPECT_EQ(RoundSpeed(c.in, table), c.out) << c.in;
  // A table cut short by cpuspeed.dat: nothing near gives 555, a rate
  // above every entry stays as measured.
  const std::vector<uint16_t> shortTable = {100, 900};
  EXPECT_EQ(RoundSpeed(450, shortTable), 555u);
  EXPECT_EQ(RoundSpeed(1150, shortTable), 1150u);
  EXPECT_EQ(RoundSpeed(950, shortTable), 900u);
}

TEST(ProcessorInfo, CacheDescriptors) {
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x665B5001, 0, 0, 0x007B7040}), 512u);
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x665B5001, 0, 0, 0x007A7040}), 256u);
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x03020101, 0, 0, 0x0C040843}), 512u);
  // AL is the repeat count, not a descriptor; a register with bit 31 holds none.
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x00000042, 0, 0, 0}), 0u);
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x00000001, 0x80000042, 0, 0}), 0u);
  EXPECT_EQ(L2FromDescriptors(CpuidLeaf{0x00FEFF01, 0xF0, 0, 0}), 0u);
}

// "cpuspeed.dat" is only read: a copy that cannot be written (read-only, as
// files copied from a CD are, or open in a program that lets others read it
// only) replaces the table all the same.
TEST(ProcessorInfo, TheClockTableFileIsReadAlsoWhereItCannotBeWritten) {
  const std::wstring dir = testsupport::TempDir() + L"cpuspeed table\\";
  testsupport::RemoveTree(dir);
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
  const std::wstring file = dir + L"cpuspeed.dat";
  ASSERT_TRUE(testsupport::WriteFileBytes(file, std::string("\x2D\x00\x37\x00", 4)));  // 45, 55
  const struct Case {
    const char* name;
    bool readOnly, heldForReading;
  } cases[] = {{"read-only", true, false}, {"open in another program for reading", false, true}};
  for (const Case& c : cases) {
    ::SetFileAttributesW(file.c_str(), c.readOnly ? FILE_ATTRIBUTE_READONLY : FILE_ATTRIBUTE_NORMAL);
    HANDLE held = c.heldForReading ? ::CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                                   OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr)
                                   : INVALID_HANDLE_VALUE;
    StandardCpuSpeeds() = BuiltInCpuSpeeds();
    PrepareGatherers(nullptr, dir);
    ShutdownGatherers();
    if (held != INVALID_HANDLE_VALUE) ::CloseHandle(held);
    std::vector<uint16_t> expected = BuiltInCpuSpeeds();
    expected[0] = 45;
    expected[1] = 55;
    EXPECT_EQ(StandardCpuSpeeds(), expected) << c.name;
  }
  StandardCpuSpeeds() = BuiltInCpuSpeeds();
  ::SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
  testsupport::RemoveTree(dir);
}
