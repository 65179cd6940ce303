// The SMBIOS reader on canned machines: DMI.TXT against golden files, the
// check file, the failure results, the stand-in view built from the
// firmware table, the Plug and Play version, and tables made at random.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <random>
#include <sstream>

#include "appkit/text.h"
#include "smbios.h"
#include "smbios_images.h"
#include "testsupport/process.h"
#include "testsupport/smalldisk.h"

using namespace quorrel;
using namespace smbiostest;

namespace {

std::string Dump(const std::vector<uint8_t>& view, bool check = false, int32_t* result = nullptr, bool trace = false) {
  auto mem = MakeBiosAreaMemory(view);
  std::string text;
  int32_t r = FormatSmbiosDump(*mem, check, trace, &text);
  if (result) *result = r;
  return text;
}

bool Exists(const std::wstring& path) { return ::GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

std::wstring GoldenDir() { return testsupport::TestBinDir() + L"dmi_golden\\"; }

// A 2.x entry point and a 3.x one in front of it, as a 3.x BIOS lays them out.
std::vector<uint8_t> Smbios3Area() {
  std::vector<uint8_t> view = BuildBiosArea(Smbios3Machine().bytes, 3, 2, 0x0A40, 0x0B00);
  uint8_t* e3 = view.data() + 0x0A20;
  std::memcpy(e3, "_SM3_", 5);
  e3[6] = 0x18;  // length
  e3[7] = 3;
  e3[8] = 2;
  e3[0x0A] = 1;  // entry point revision
  uint32_t max = (uint32_t)Smbios3Machine().bytes.size();
  std::memcpy(e3 + 0x0C, &max, 4);
  uint64_t address = kBiosAreaBase + 0x0B00;
  std::memcpy(e3 + 0x10, &address, 8);
  uint8_t sum = 0;
  for (int i = 0; i < 0x18; ++i) sum = (uint8_t)(sum + e3[i]);
  e3[5] = (uint8_t)(0x100 - sum);
  return view;
}

struct GoldenCase {
  const char* file;
  std::vector<uint8_t> (*area)();
  int32_t result;
};

const GoldenCase kGolden[] = {
    {"dmi21.txt", [] { return BuildBiosArea(Smbios21Machine().bytes, 2, 1); }, kDmiDone},
    // The entry point further up, the table below it.
    {"dmi23.txt", [] { return BuildBiosArea(Smbios23Machine().bytes, 2, 3, 0xA5C0, 0x2000); }, kDmiDone},
    {"dmi24.txt", [] { return BuildBiosArea(Smbios24Machine().bytes, 2, 4, 0xFFB0, 0x0010); }, kDmiDone},
    {"dmi3x.txt", &Smbios3Area, kDmiDone},
    {"dmilarge.txt", [] { return BuildBiosArea(LargeMachine().bytes, 2, 1); }, kDmiDone},
    // The table runs past the end of the BIOS area: 256 of its bytes exist.
    {"dmitruncated.txt", [] { return BuildBiosArea(Smbios21Machine().bytes, 2, 1, 0x0100, 0xFF00); }, kDmiDone},
    {"dmibadsum.txt",
     [] {
       std::vector<uint8_t> v = BuildBiosArea(Smbios21Machine().bytes, 2, 1);
       v[kStandInEntryOffset + 0x04] ^= 0x01;
       return v;
     },
     kDmiNoSmbios},
    {"dminone.txt", [] { return std::vector<uint8_t>(kBiosAreaSize, 0); }, kDmiNoSmbios},
};

}  // namespace

TEST(SmbiosDump, MatchesTheGoldenFiles) {
  const bool update = ::GetEnvironmentVariableW(L"HALVIX_UPDATE_GOLDEN", nullptr, 0) > 0;
  for (const GoldenCase& c : kGolden) {
    SCOPED_TRACE(c.file);
    int32_t result = 1;
    std::string text = Dump(c.area(), false, &result);
    EXPECT_EQ(c.result, result);
    std::wstring path = GoldenDir() + appkit::Widen(c.file);
    if (update) {
      std::ofstream(path.c_str(), std::ios::binary) << text;
      continue;
    }
    ASSERT_TRUE(Exists(path));
    EXPECT_EQ(testsupport::ReadFileBytes(path), text);
  }
}

TEST(SmbiosDump, LargeAndCutTablesSayWhatWasRead) {
  ASSERT_GT(LargeMachine().bytes.size(), 2048u);
  std::string large = Dump(BuildBiosArea(LargeMachine().bytes, 2, 1));
  EXPECT_NE(large.find("External Reference Designator: Last connector of a long table\n"), std::string::npos);
  EXPECT_EQ(large.find("cut"), std::string::npos);

  std::string cut = Dump(BuildBiosArea(Smbios21Machine().bytes, 2, 1, 0x0100, 0xFF00));
  std::string said = appkit::FormatA(";The structure table was cut: 256 of %u bytes could be read.\n",
                                     (unsigned)Smbios21Machine().bytes.size());
  EXPECT_NE(cut.find(said), std::string::npos);
  EXPECT_NE(cut.find(";The structure table ends inside structure"), std::string::npos);
}

// The trace flag: comment lines with the entry point's values and checksums
// and each structure's raw bytes and string lengths; without the comment
// lines the dump is the plain one, so its readers see the same.
TEST(SmbiosDump, TraceAddsCommentLinesOnly) {
  std::vector<uint8_t> view = BuildBiosArea(Smbios21Machine().bytes, 2, 1);
  std::string plain = Dump(view), traced = Dump(view, false, nullptr, true);
  auto withoutComments = [](const std::string& text) {
    std::string out;
    size_t start = 0;
    for (size_t at; (at = text.find('\n', start)) != std::string::npos; start = at + 1)
      if (text[start] != ';') out += text.substr(start, at + 1 - start);
    return out;
  };
  EXPECT_EQ(withoutComments(traced), withoutComments(plain));
  EXPECT_EQ(traced.rfind(";DMI Info (-DEBUG)\n;\n", 0), 0u) << traced.substr(0, 200);
  EXPECT_NE(traced.find("\n;Entry point: length 31, checksum "), std::string::npos);
  const std::vector<uint8_t>& t = Smbios21Machine().bytes;
  std::string first = appkit::FormatA(";Structure 1 at offset 0: type %u, length %u, handle %u\n;Raw:", t[0], t[1],
                                      t[2] | (t[3] << 8));
  for (unsigned i = 0; i < t[1]; ++i) first += appkit::FormatA(" %02X", t[i]);
  EXPECT_NE(traced.find(first + "\n;Strings: "), std::string::npos) << traced.substr(0, 600);
  EXPECT_GT(testsupport::CountOccurrences(traced, "\n;Structure "), 3);
  EXPECT_EQ(plain.find(";Raw:"), std::string::npos);
}

// Field rules that are easy to get wrong, as they appear in the dumps.
TEST(SmbiosDump, FieldRules) {
  std::string d21 = Dump(BuildBiosArea(Smbios21Machine().bytes, 2, 1));
  std::string d23 = Dump(BuildBiosArea(Smbios23Machine().bytes, 2, 3));
  std::string d24 = Dump(BuildBiosArea(Smbios24Machine().bytes, 2, 4));
  struct {
    const std::string* dump;
    const char* line;
    bool present;
  } cases[] = {
      {&d21, "Bank Connections: 0, 1\n", true},
      {&d21, "Bank Connections: 1\n", true},
      {&d21, "Bank Connections: No Connection\n", true},
      {&d21, "Maximum Cache Size: 1024KB\n", true},
      {&d21, "Installed Size: 512KB\n", true},
      {&d21, "Installed Size: 64MB(Double-Bank)\n", true},
      {&d21, "Installed Size: Not Installed\n", true},
      {&d21, "Internal Connector Type: COM A header\n", true},
      {&d21, "Slot Characteristics: Unknown. Provides 3.3 Volts. Slot's opening is shared with another slot. \n", true},
      {&d21, "    fr|CA|iso8859-1\n", true},
      {&d21, "   Cache\n", true},
      {&d21, "[Mem. Module]\nMemory Module Information\n;Handle: 9\nBank Connections: No Connection\n", true},
      {&d21, ";Index: 9\n", true},
      {&d23, "Processor Family:  (E)\n", true},
      {&d23, "BIOS Characteristics: Not supported\n \n", true},
      {&d23, "CPU Status: CPU Disabled by System BIOS(POST Error)\n", true},
      // Sections after structures of other types are all there.
      {&d23, "Slot Type: PCI - 66MHz Capable\n", true},
      {&d23, "Current Language: en|US|iso8859-1\n", true},
      {&d23, "Vendor private", false},
      // String number 0, and a number past the structure's strings.
      {&d24, "Vendor: Tessel Software Inc.\nStarting Address Segment: E000h\nROM Size: 1024KB\n", true},
      {&d24, "OEM Strings OEM-25\n", true},
      {&d24, "Processor Family: \n", true},
      {&d24, "Device Status: Enabled\nDevice Type: Ethernet\nDescription: Gigabit LAN\n", true},
      {&d24, "Device Status: Disabled\nDevice Status: Disabled\nDevice Type: Video\n", true},
      {&d24, "Group Name: Firmware group\n   Processor\n   Mem. Controller\n \n", true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.line);
    EXPECT_EQ(c.present, c.dump->find(c.line) != std::string::npos);
  }
}

TEST(SmbiosDump, FirstEntryPointWithRightChecksumsCounts) {
  std::vector<uint8_t> view = BuildBiosArea(Smbios24Machine().bytes, 2, 4, 0x4000, 0x5000);
  // A damaged copy further down: seen first, passed over.
  std::memcpy(view.data() + 0x0200, view.data() + 0x4000, 0x20);
  view[0x0200 + 0x17] ^= 0x40;
  // An anchor at an odd place is no entry point at all.
  std::memcpy(view.data() + 0x0108, "_SM_", 4);
  std::string text = Dump(view);
  EXPECT_EQ(text, Dump(BuildBiosArea(Smbios24Machine().bytes, 2, 4)));
  EXPECT_NE(text.find("Vendor: Tessel Software Inc."), std::string::npos);
}

TEST(SmbiosDump, CheckModeWritesTheVersionOnly) {
  int32_t result = 1;
  EXPECT_EQ("DMI BIOS Version\t2.3\n", Dump(BuildBiosArea(Smbios23Machine().bytes, 2, 3), true, &result));
  EXPECT_EQ(kDmiDone, result);
  EXPECT_EQ("DMI BIOS Version\t3.2\n", Dump(Smbios3Area(), true));
}

namespace {

class FakeMemory : public PhysicalMemory {
 public:
  std::vector<uint8_t> view;
  bool opens = true, maps = true;
  int openCalls = 0, closeCalls = 0;
  bool Open() override {
    ++openCalls;
    return opens;
  }
  bool Read(uint32_t address, uint32_t length, std::vector<uint8_t>* out) override {
    if (!maps || address != kBiosAreaBase || length != kBiosAreaSize) return false;
    *out = view;
    return true;
  }
  void Close() override { ++closeCalls; }
};

std::wstring ScratchDir() {
  std::wstring dir = testsupport::TempDir() + L"smbios_test\\";
  ::CreateDirectoryW(dir.c_str(), nullptr);
  ::DeleteFileW((dir + L"DMI.TXT").c_str());
  ::DeleteFileW((dir + L"PLUDOR.TXT").c_str());
  return dir;
}

}  // namespace

TEST(DumpSmbiosText, WritesTextFilesAndTheirFailureResults) {
  std::wstring dir = ScratchDir();
  FakeMemory mem;
  mem.view = BuildBiosArea(Smbios21Machine().bytes, 2, 1);

  EXPECT_EQ(kDmiDone, DumpSmbiosText(0, 0, dir, mem, false));
  std::string file = testsupport::ReadFileBytes(dir + L"DMI.TXT");
  EXPECT_EQ(0u, file.rfind(";DMI Info\r\n;\r\n[BIOS]\r\nBIOS Information\r\n;Handle: 0\r\n", 0));
  EXPECT_EQ(1, mem.closeCalls);

  EXPECT_EQ(kDmiDone, DumpSmbiosText(1, 0, dir, mem, false));
  EXPECT_EQ("DMI BIOS Version\t2.1\r\n", testsupport::ReadFileBytes(dir + L"PLUDOR.TXT"));

  // Windows 9x: nothing is touched.
  EXPECT_EQ(kDmiNoSmbios, DumpSmbiosText(1, 0, dir, mem, true));
  EXPECT_TRUE(Exists(dir + L"PLUDOR.TXT"));

  // No entry point: the check file goes, DMI.TXT says why.
  mem.view.assign(kBiosAreaSize, 0);
  EXPECT_EQ(kDmiNoSmbios, DumpSmbiosText(1, 0, dir, mem, false));
  EXPECT_FALSE(Exists(dir + L"PLUDOR.TXT"));
  EXPECT_EQ(kDmiNoSmbios, DumpSmbiosText(0, 0, dir, mem, false));
  EXPECT_EQ(";DMI Info\r\n;\r\nYour system does not support DMI BIOS 2.1 or above\r\n", testsupport::ReadFileBytes(dir + L"DMI.TXT"));

  // No access to physical memory, or no mapping: no file at all.
  mem.view = BuildBiosArea(Smbios21Machine().bytes, 2, 1);
  mem.opens = false;
  EXPECT_EQ(kDmiNoDriver, DumpSmbiosText(0, 0, dir, mem, false));
  EXPECT_FALSE(Exists(dir + L"DMI.TXT"));
  mem.opens = true;
  mem.maps = false;
  EXPECT_EQ(kDmiMapFailed, DumpSmbiosText(0, 0, dir, mem, false));
  EXPECT_FALSE(Exists(dir + L"DMI.TXT"));
  EXPECT_EQ(kDmiMapFailed, DumpSmbiosText(1, 0, dir, mem, false));
  EXPECT_FALSE(Exists(dir + L"PLUDOR.TXT"));

  // The file cannot be created.
  mem.maps = true;
  EXPECT_EQ(kDmiCannotCreate, DumpSmbiosText(0, 0, dir + L"missing\\", mem, false));
}

// A dump that cannot be written whole leaves no DMI.TXT for the DMI sheet to
// read as the machine's tables: a read-only old dump stays as it was, and
// on the small disk of with_small_disk.sh a dump without room goes.
TEST(DumpSmbiosText, AReadOnlyOldDumpStaysAsItWas) {
  std::wstring dir = ScratchDir();
  FakeMemory mem;
  mem.view = BuildBiosArea(Smbios21Machine().bytes, 2, 1);
  for (const wchar_t* name : {L"DMI.TXT", L"PLUDOR.TXT"}) {
    const std::wstring path = dir + name;
    ASSERT_TRUE(testsupport::WriteFileBytes(path, ";DMI Info\r\n;\r\nthe old dump\r\n"));
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_EQ(kDmiCannotCreate, DumpSmbiosText(name[0] == L'P', 0, dir, mem, false)) << appkit::Narrow(name);
    EXPECT_EQ(testsupport::ReadFileBytes(path), ";DMI Info\r\n;\r\nthe old dump\r\n");
    ::SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    ::DeleteFileW(path.c_str());
  }
}

TEST(DumpSmbiosTextSmallDisk, ADumpTheDiskHasNoRoomForLeavesNoFile) {
  testsupport::SmallDisk disk;
  if (!disk.ready()) GTEST_SKIP() << "run through with_small_disk.sh";
  const std::wstring dir = disk.root() + L"suite\\";
  ASSERT_TRUE(::CreateDirectoryW(dir.c_str(), nullptr));
  FakeMemory mem;
  mem.view = BuildBiosArea(Smbios21Machine().bytes, 2, 1);
  ASSERT_TRUE(disk.FillSpace());
  for (int check : {0, 1}) {
    SCOPED_TRACE(check ? "PLUDOR.TXT" : "DMI.TXT");
    const std::wstring path = dir + (check ? L"PLUDOR.TXT" : L"DMI.TXT");
    EXPECT_EQ(kDmiNoDriver, DumpSmbiosText(check, 0, dir, mem, false));
    EXPECT_FALSE(Exists(path)) << "a file of " << testsupport::ReadFileBytes(path).size() << " bytes stayed";
  }
  disk.Free();
  EXPECT_EQ(kDmiDone, DumpSmbiosText(0, 0, dir, mem, false));
  EXPECT_EQ(0u, testsupport::ReadFileBytes(dir + L"DMI.TXT").rfind(";DMI Info\r\n;\r\n[BIOS]\r\n", 0));
  testsupport::RemoveTree(dir);
}

TEST(SmbiosStandIn, FirmwareTableGivesTheSameDumpAsTheBiosArea) {
  Table t = Smbios23Machine();
  std::vector<uint8_t> rsmb = {0, 2, 3, 0};
  uint32_t n = (uint32_t)t.bytes.size();
  rsmb.insert(rsmb.end(), reinterpret_cast<uint8_t*>(&n), reinterpret_cast<uint8_t*>(&n) + 4);
  rsmb.insert(rsmb.end(), t.bytes.begin(), t.bytes.end());
  std::vector<uint8_t> view;
  ASSERT_TRUE(BuildBiosAreaFromFirmwareTable(rsmb.data(), rsmb.size(), &view));
  ASSERT_EQ(kBiosAreaSize, view.size());
  EXPECT_EQ(Dump(BuildBiosArea(t.bytes, 2, 3)), Dump(view));
  // The entry point counts the structures up to the end of the table.
  EXPECT_EQ(15, view[kStandInEntryOffset + 0x1C]);

  // A length beyond the data is held to the data; no table, no view.
  rsmb[4] = 0xFF;
  rsmb[5] = 0xFF;
  EXPECT_TRUE(BuildBiosAreaFromFirmwareTable(rsmb.data(), rsmb.size(), &view));
  EXPECT_FALSE(BuildBiosAreaFromFirmwareTable(rsmb.data(), 8, &view));
  EXPECT_FALSE(BuildBiosAreaFromFirmwareTable(rsmb.data(), 5, &view));
}

TEST(SmbiosStandIn, TableLongerThanTheViewIsReportedCut) {
  Table t;
  for (unsigned i = 0; i < 3000; ++i)
    t.Add(8, i, Fields().B(1).B(0x0B).B(0).B(0).B(0x1F), {"Connector with a long reference " + std::to_string(i)});
  ASSERT_GT(t.bytes.size(), 0x10000u);
  std::string text = Dump(BuildBiosArea(t.bytes, 2, 4));
  EXPECT_NE(text.find(appkit::FormatA(";The structure table was cut: %u of 65535 bytes could be read.",
                                      kBiosAreaSize - kStandInTableOffset)),
            std::string::npos);
}

// This machine, as the system hands out its table.
TEST(SmbiosStandIn, ThisMachineHasATable) {
  auto mem = MakeMachinePhysicalMemory();
  ASSERT_TRUE(mem->Open());
  std::string text;
  EXPECT_EQ(kDmiDone, FormatSmbiosDump(*mem, false, false, &text));
  mem->Close();
  EXPECT_NE(text.find("[BIOS]\nBIOS Information\n;Handle: "), std::string::npos);
  EXPECT_NE(text.find("[System]\nOverall System Information \n"), std::string::npos);
}

TEST(ReadPnpBiosVersion, FindsTheHeaderOrLeavesTheBuffer) {
  FakeMemory mem;
  mem.view.assign(kBiosAreaSize, 0);
  char buf[64] = "untouched";
  EXPECT_EQ(1, ReadPnpBiosVersion(buf, sizeof(buf), mem));
  EXPECT_STREQ("untouched", buf);
  // Not on a paragraph: not found.
  std::memcpy(mem.view.data() + 0x6004, "$PnP\x10", 5);
  EXPECT_EQ(1, ReadPnpBiosVersion(buf, sizeof(buf), mem));
  EXPECT_STREQ("untouched", buf);
  std::memcpy(mem.view.data() + 0x8A30, "$PnP\x1A", 5);
  EXPECT_EQ(1, ReadPnpBiosVersion(buf, sizeof(buf), mem));
  EXPECT_STREQ("PNP BIOS Version:\t1.A\n", buf);
  EXPECT_EQ(mem.openCalls, mem.closeCalls);

  std::strcpy(buf, "untouched");
  mem.maps = false;
  EXPECT_EQ(0, ReadPnpBiosVersion(buf, sizeof(buf), mem));
  mem.opens = false;
  EXPECT_EQ(0, ReadPnpBiosVersion(buf, sizeof(buf), mem));
  EXPECT_STREQ("untouched", buf);
}

namespace {

// Bytes at the very end of a committed page, with an inaccessible page
// behind them: a read past the end faults.
class GuardedBytes {
 public:
  GuardedBytes() {
    base_ = static_cast<uint8_t*>(::VirtualAlloc(nullptr, 2 * kRegion, MEM_RESERVE | MEM_COMMIT, PAGE_READWRITE));
    DWORD old = 0;
    if (base_) ::VirtualProtect(base_ + kRegion, kRegion, PAGE_NOACCESS, &old);
  }
  ~GuardedBytes() {
    if (base_) ::VirtualFree(base_, 0, MEM_RELEASE);
  }
  bool ok() const { return base_ != nullptr; }
  const uint8_t* Place(const std::vector<uint8_t>& bytes) {
    size_t n = std::min(bytes.size(), kRegion);
    uint8_t* p = base_ + kRegion - n;
    if (n) std::memcpy(p, bytes.data(), n);
    return p;
  }
  static constexpr size_t kRegion = 0x20000;

 private:
  uint8_t* base_ = nullptr;
};

}  // namespace

// Random tables and mutations of the canned ones, walked at the end of a
// guarded buffer; and whole BIOS areas with damaged entry points.
TEST(SmbiosFuzz, RandomAndMutatedTablesStayInsideTheirBytes) {
  GuardedBytes guard;
  ASSERT_TRUE(guard.ok());
  std::mt19937 rng(0x5EED);
  const std::vector<std::vector<uint8_t>> seeds = {Smbios21Machine().bytes, Smbios23Machine().bytes,
                                                   Smbios24Machine().bytes, Smbios3Machine().bytes,
                                                   LargeMachine().bytes};
  size_t sections = 0;
  for (int round = 0; round < 6000; ++round) {
    std::vector<uint8_t> t;
    int kind = round % 3;
    if (kind == 0) {
      t.resize(rng() % 600);
      for (auto& b : t) b = (uint8_t)rng();
      // Mostly types with sections, small lengths, few NULs.
      for (size_t pos = 0; pos + 2 < t.size(); pos += 4 + rng() % 40) {
        t[pos] = (uint8_t)(rng() % 18);
        t[pos + 1] = (uint8_t)(rng() % 48);
      }
    } else {
      t = seeds[rng() % seeds.size()];
      int edits = 1 + rng() % 12;
      for (int e = 0; e < edits && !t.empty(); ++e) {
        size_t at = rng() % t.size();
        switch (rng() % 4) {
          case 0: t[at] = (uint8_t)rng(); break;
          case 1: t[at] = 0; break;
          case 2: t[at] ^= (uint8_t)(1u << (rng() % 8)); break;
          case 3: t.resize(at); break;
        }
      }
    }
    std::string text;
    FormatSmbiosStructures(guard.Place(t), t.size(), 1 + rng() % 0xFFFF, &text);
    sections += std::count(text.begin(), text.end(), '[');
  }
  EXPECT_GT(sections, 10000u);  // the cases reach the formatters

  for (int round = 0; round < 400; ++round) {
    std::vector<uint8_t> view = BuildBiosArea(seeds[rng() % seeds.size()], 2, (uint8_t)(rng() % 10),
                                              (rng() % 0x1000) * 16, rng() % 0x10010);
    size_t e = 0;
    while (e < view.size() && std::memcmp(view.data() + e, "_SM_", 4) != 0) e += 16;
    if (e < view.size()) {
      // Length, address and count at random, with the checksums made right.
      view[e + 0x05] = (uint8_t)(0x1F + rng() % 2);
      view[e + 0x16 + rng() % 8] = (uint8_t)rng();
      FixEntryPointChecksums(view.data() + e);
    }
    std::string text;
    auto mem = MakeBiosAreaMemory(view);
    int32_t r = FormatSmbiosDump(*mem, round % 5 == 0, false, &text);
    EXPECT_TRUE(r == kDmiDone || r == kDmiNoSmbios || r == kDmiMapFailed);
  }
}
