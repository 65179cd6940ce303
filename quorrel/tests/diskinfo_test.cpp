// The disk and floppy writers on canned device replies: golden identify,
// inquiry and partition-table blocks, hostile replies that must neither
// crash nor read past their size, and the categories of a made-up machine
// on the NT family and on Windows 9x with a stand-in system-access library.
#include <gtest/gtest.h>
#include <windows.h>
#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>
#include <functional>
#include <map>
#include <memory>

#include "cdrominfo.h"
#include "diskinfo.h"
#include "gather.h"

using namespace quorrel;

namespace {

// ---- Canned replies ------------------------------------------------------------

struct IdentifyRecord {
  std::vector<uint8_t> bytes = std::vector<uint8_t>(512, 0);
  void Set(int word, uint16_t v) {
    bytes[2 * word] = (uint8_t)(v & 0xFF);
    bytes[2 * word + 1] = (uint8_t)(v >> 8);
  }
  // Text fields hold the first character of each pair in the high byte.
  void Text(int word, int words, const std::string& text) {
    std::string t = text;
    t.resize(2 * words, ' ');
    for (int i = 0; i < words; ++i) Set(word + i, (uint16_t)(((uint8_t)t[2 * i] << 8) | (uint8_t)t[2 * i + 1]));
  }
};

IdentifyRecord SampleDrive() {
  IdentifyRecord r;
  r.Set(1, 16383);
  r.Set(3, 16);
  r.Set(6, 63);
  r.Text(10, 10, "WD-WCAV12345678");
  r.Set(20, 3);
  r.Set(21, 16384);  // 8 MB in 512-byte units
  r.Set(22, 4);
  r.Text(23, 4, "01.01A01");
  r.Text(27, 20, "QEMU HARDDISK");
  r.Set(47, 0x8010);
  r.Set(48, 1);
  r.Set(49, 0x0B00);  // LBA, DMA, PIO mode 3
  r.Set(63, 7);
  // LBA28: 41,943,040 sectors = 20,480 MB.
  r.Set(60, 0x0000);
  r.Set(61, 0x0280);
  return r;
}

struct InquiryEntry {
  uint8_t byte1;
  std::string model;  // 28 characters from byte 8
};

// An SCSI_ADAPTER_BUS_INFO reply: one bus, its entries chained.
std::vector<uint8_t> InquiryReply(const std::vector<InquiryEntry>& entries) {
  std::vector<uint8_t> reply(2048, 0);
  reply[0] = 1;
  size_t bus = offsetof(SCSI_ADAPTER_BUS_INFO, BusData);
  size_t at = 64;
  ULONG first = entries.empty() ? 0 : (ULONG)at;
  std::memcpy(&reply[bus + offsetof(SCSI_BUS_DATA, InquiryDataOffset)], &first, 4);
  for (size_t i = 0; i < entries.size(); ++i) {
    uint8_t* data = &reply[at + offsetof(SCSI_INQUIRY_DATA, InquiryData)];
    data[1] = entries[i].byte1;
    std::string m = entries[i].model;
    m.resize(28, ' ');
    std::memcpy(data + 8, m.data(), 28);
    ULONG next = i + 1 < entries.size() ? (ULONG)(at + 64) : 0;
    std::memcpy(&reply[at + offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset)], &next, 4);
    at += 64;
  }
  return reply;
}

struct Partition {
  uint8_t type;
  bool boot;
  long long startBytes, lengthBytes;
};

std::vector<uint8_t> LayoutReply(DWORD signature, const std::vector<Partition>& parts, DWORD count = ~0u) {
  size_t base = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry);
  std::vector<uint8_t> reply(base + parts.size() * sizeof(PARTITION_INFORMATION), 0);
  DWORD n = count == ~0u ? (DWORD)parts.size() : count;
  std::memcpy(&reply[offsetof(DRIVE_LAYOUT_INFORMATION, PartitionCount)], &n, 4);
  std::memcpy(&reply[offsetof(DRIVE_LAYOUT_INFORMATION, Signature)], &signature, 4);
  for (size_t i = 0; i < parts.size(); ++i) {
    PARTITION_INFORMATION p{};
    p.StartingOffset.QuadPart = parts[i].startBytes;
    p.PartitionLength.QuadPart = parts[i].lengthBytes;
    p.PartitionType = parts[i].type;
    p.BootIndicator = parts[i].boot;
    std::memcpy(&reply[base + i * sizeof(p)], &p, sizeof(p));
  }
  return reply;
}

}  // namespace

TEST(DiskIdentify, GoldenBlock) {
  IdentifyRecord r = SampleDrive();
  StringSink out;
  WriteIdentifyLines(out, r.bytes.data());
  EXPECT_EQ(out.text,
            "Model Number:\tQEMU HARDDISK                           \n"
            "Serial Number:\tWD-WCAV12345678     \n"
            "Firmware Rev.:\t01.01A01\n"
            "Cache Buffer Size:\t8192 KB\n"
            "Cache Buffer Type:\tDual-port,multi-buffer with look-ahead cache\n"
            "Number of ECC Bytes:\t4\n"
            "Max Sectors per Int:\t32784\n"
            "DWORD I/O Transfer:\tYes\n"
            "Advanced PIO Mode:\tNo\n"
            "PIO Mode 3:\tYes\n"
            "LBA Mode:\tYes\n"
            "DMA Mode:\tYes\n"
            "Single-Word DMA:\tNo\n"
            "Multi-Word DMA:\tYes\n"
            "Flow Control I/O:\tNo\n"
            "\n");
  // Without a buffer there is no buffer type line.
  r.Set(21, 0);
  StringSink plain;
  WriteIdentifyLines(plain, r.bytes.data());
  EXPECT_EQ(plain.text.find("Cache Buffer Type"), std::string::npos);
  EXPECT_NE(plain.text.find("Cache Buffer Size:\t0 KB\n"), std::string::npos);
}

TEST(DiskIdentify, SizeComesFromTheLargestAddressingTheDriveOffers) {
  IdentifyRecord r = SampleDrive();
  EXPECT_EQ(IdentifyDiskSizeMB(r.bytes.data()), 20480);  // LBA28 count, not 16383 x 16 x 63
  // 48-bit addressing: 2 TB.
  r.Set(83, 0x4400);
  r.Set(100, 0);
  r.Set(101, 0);
  r.Set(102, 1);  // 2^32 sectors
  EXPECT_EQ(IdentifyDiskSizeMB(r.bytes.data()), 2097152);
  // Neither: cylinders x heads x sectors, in 64 bits.
  IdentifyRecord chs;
  chs.Set(1, 65535);
  chs.Set(3, 65535);
  chs.Set(6, 255);
  EXPECT_EQ(IdentifyDiskSizeMB(chs.bytes.data()), (int64_t)65535 * 65535 * 255 / 2048);
  // Text fields stop at a NUL and keep odd characters as they are.
  IdentifyRecord odd;
  odd.Text(27, 20, std::string("AB\0CD", 5));
  EXPECT_EQ(IdentifyText(odd.bytes.data(), 27, 20), "AB");
  odd.Text(27, 20, std::string(40, 'X'));
  EXPECT_EQ(IdentifyText(odd.bytes.data(), 27, 20), std::string(40, 'X'));
  // A field that would pass the record's end stops at word 255.
  odd.Text(250, 6, "ABCDEFGHIJKL");
  EXPECT_EQ(IdentifyText(odd.bytes.data(), 250, 20).size(), 12u);
}

TEST(DiskInquiry, ModelsOfTheWantedKindOnly) {
  std::vector<uint8_t> reply =
      InquiryReply({{0, "ATA     QEMU HARDDISK   2.5+"}, {0x80, "QEMU    QEMU CD-ROM     2.5+"}, {0, "VBOX DISK"}});
  StringSink disks, cdroms;
  WriteInquiryModels(disks, reply.data(), reply.size(), 0);
  WriteInquiryModels(cdroms, reply.data(), reply.size(), 0x80);
  EXPECT_EQ(disks.text,
            "Model Number:\tATA     QEMU HARDDISK   2.5+\n"
            "Model Number:\tVBOX DISK                   \n");
  EXPECT_EQ(cdroms.text, "Model Number:\tQEMU    QEMU CD-ROM     2.5+\n");
}

TEST(DiskInquiry, HostileRepliesEndAndStayInside) {
  struct Case {
    const char* why;
    std::function<void(std::vector<uint8_t>&)> spoil;
    std::string want;
  };
  const std::string one = "Model Number:\tATA     QEMU HARDDISK   2.5+\n";
  auto setU32 = [](std::vector<uint8_t>& r, size_t at, ULONG v) { std::memcpy(&r[at], &v, 4); };
  size_t bus0 = offsetof(SCSI_ADAPTER_BUS_INFO, BusData) + offsetof(SCSI_BUS_DATA, InquiryDataOffset);
  size_t next = offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset);
  Case cases[] = {
      {"an entry that points to itself", [&](std::vector<uint8_t>& r) { setU32(r, 64 + next, 64); }, ""},
      {"an entry offset past the reply", [&](std::vector<uint8_t>& r) { setU32(r, bus0, 0xFFFFFFF0); }, ""},
      {"an entry that ends past the reply", [&](std::vector<uint8_t>& r) { setU32(r, bus0, 2048 - 20); }, ""},
      {"255 buses in a small reply", [&](std::vector<uint8_t>& r) { r[0] = 255; }, one},
      {"a next offset past the reply", [&](std::vector<uint8_t>& r) { setU32(r, 64 + next, 1u << 31); }, one},
  };
  for (const Case& c : cases) {
    std::vector<uint8_t> reply = InquiryReply({{0, "ATA     QEMU HARDDISK   2.5+"}});
    c.spoil(reply);
    StringSink out;
    WriteInquiryModels(out, reply.data(), reply.size(), 0);
    if (std::string(c.why) == "an entry that points to itself") {
      // The loop ends: the same model a bounded number of times.
      EXPECT_LE(out.text.size(), one.size() * (2048 / 12 + 1)) << c.why;
      EXPECT_EQ(out.text.substr(0, one.size()), one) << c.why;
    } else {
      EXPECT_EQ(out.text, c.want) << c.why;
    }
  }
  StringSink none;
  WriteInquiryModels(none, nullptr, 0, 0);
  std::vector<uint8_t> tiny = {3};
  WriteInquiryModels(none, tiny.data(), tiny.size(), 0);
  EXPECT_EQ(none.text, "");
}

TEST(DiskPartitions, GoldenTableListsEveryUsedSlot) {
  const long long GB = 1024ll * 1024 * 1024;
  std::vector<uint8_t> layout = LayoutReply(0x0012ABCD, {
                                                            {0x07, true, 1048576, 100 * GB},
                                                            {0x0F, false, 100 * GB + 1048576, 50 * GB},
                                                            {0, false, 0, 0},
                                                            {0, false, 0, 0},
                                                            {0x83, false, 100 * GB + 2097152, 10 * GB},
                                                            {0, false, 0, 0},
                                                            {0, false, 0, 0},
                                                            {0, false, 0, 0},
                                                        });
  StringSink out;
  WritePartitionTable(out, layout.data(), layout.size(), 204800);
  EXPECT_EQ(out.text,
            "@3Partition Table\n"
            "Signature:\t  12ABCD\n"
            "Partition #:\t0 (bootable) IFS Partition\n"
            "Starting Sector:\t2048\n"
            "Size in Sectors:\t209715200\n"
            "Size in Mbytes:\t102400\n"
            "Usage:\t50%\n"
            "\n"
            "Partition #:\t1 Extended partition using extended int13\n"
            "Starting Sector:\t209717248\n"
            "Size in Sectors:\t104857600\n"
            "Size in Mbytes:\t51200\n"
            "Usage:\t25%\n"
            "\n"
            "Partition #:\t4 \n"
            "Starting Sector:\t209719296\n"
            "Size in Sectors:\t20971520\n"
            "Size in Mbytes:\t10240\n"
            "Usage:\t5%\n"
            "\n");
  // Without a disk size no usage; a count beyond the reply lists what is there.
  std::vector<uint8_t> lying = LayoutReply(1, {{0x0B, false, 512, 1048576}}, 0xFFFFFFFF);
  StringSink bounded;
  WritePartitionTable(bounded, lying.data(), lying.size(), 0);
  EXPECT_EQ(bounded.text,
            "@3Partition Table\nSignature:\t       1\nPartition #:\t0 FAT32\nStarting Sector:\t1\n"
            "Size in Sectors:\t2048\nSize in Mbytes:\t1\n\n");
  // Negative offsets from a broken reply show 0, a header cut short nothing.
  std::vector<uint8_t> negative = LayoutReply(2, {{0x06, false, -4096, -1}});
  StringSink neg;
  WritePartitionTable(neg, negative.data(), negative.size(), 100);
  EXPECT_NE(neg.text.find("Starting Sector:\t0\nSize in Sectors:\t0\n"), std::string::npos) << neg.text;
  StringSink cut;
  WritePartitionTable(cut, negative.data(), 4, 100);
  EXPECT_EQ(cut.text, "");
}

// ---- Writers on a made-up machine ------------------------------------------------------

namespace {

class FakeDisks : public DiskDevices {
 public:
  bool nine = false;
  GetQuorrelFn access = nullptr;
  std::map<int, IdentifyRecord> identify;  // by IDE position
  std::vector<int> opens;
  bool geometry = false;
  DISK_GEOMETRY geo{};
  std::vector<uint8_t> inquiry, layout;
  std::map<int, DISK_GEOMETRY> floppies;
  std::vector<std::pair<std::string, UINT>> roots;
  std::map<std::string, VolumeFacts> volumes;
  std::map<std::string, DWORD> volumeErrors;
  bool extended = true;

  bool Is9x() const override { return nine; }
  GetQuorrelFn SystemAccess() const override { return access; }
  bool Open(int n) override {
    opens.push_back(n);
    return true;
  }
  void Close() override {}
  bool Identify(int p, std::vector<uint8_t>* r) override {
    auto it = identify.find(p);
    if (it == identify.end()) return false;
    *r = it->second.bytes;
    return true;
  }
  bool Geometry(DISK_GEOMETRY* g) override {
    *g = geo;
    return geometry;
  }
  bool Inquiry(std::vector<uint8_t>* r) override {
    *r = inquiry;
    return !inquiry.empty();
  }
  bool Layout(std::vector<uint8_t>* r) override {
    *r = layout;
    return !layout.empty();
  }
  bool FloppyGeometry(int n, DISK_GEOMETRY* g) override {
    auto it = floppies.find(n);
    if (it == floppies.end()) return false;
    *g = it->second;
    return true;
  }
  std::vector<std::string> Roots() override {
    std::vector<std::string> r;
    for (auto& p : roots) r.push_back(p.first);
    return r;
  }
  UINT DriveType(const std::string& root) override {
    for (auto& p : roots)
      if (_stricmp(p.first.c_str(), root.c_str()) == 0) return p.second;
    return DRIVE_NO_ROOT_DIR;
  }
  bool Volume(const std::string& root, VolumeFacts* v, DWORD* error) override {
    if (volumeErrors.count(root)) {
      *error = volumeErrors[root];
      return false;
    }
    *v = volumes[root];
    return true;
  }
  int FreeSpace(const std::string& root, double* f, double* t, int* ext) override {
    *f = 512.0 * 1048576;
    *t = 2048.0 * 1048576;
    *ext = extended;
    return 1;
  }
  bool Clusters(const std::string&, DWORD* spc, DWORD* bps, DWORD* total) override {
    *spc = 8;
    *bps = 512;
    *total = 524288;
    return true;
  }
  // CD-ROM drives.
  bool ideDevice = false;
  std::map<int, IdentifyRecord> packetIdentify;  // by IDE position
  std::map<char, std::vector<uint8_t>> driveInquiry;
  bool audioBusy = false;
  bool OpenIdeDevice() override { return ideDevice; }
  bool PacketIdentify(int p, std::vector<uint8_t>* r) override {
    auto it = packetIdentify.find(p);
    if (it == packetIdentify.end()) return false;
    *r = it->second.bytes;
    return true;
  }
  bool DriveInquiry(char letter, std::vector<uint8_t>* r) override {
    auto it = driveInquiry.find(letter);
    if (it == driveInquiry.end()) return false;
    *r = it->second;
    return true;
  }
  bool CdAudioBusy() override { return audioBusy; }
};

// A stand-in for the system-access library's GetQuorrel: answers by class
// and input bytes like the 16-bit side would.
DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer) {
  char* b = static_cast<char*>(buffer);
  auto reply = [&](const char* text) {
    std::strncpy(b, text, size);
    return 1u;
  };
  switch (infoClass) {
    case 6: return reply(b[0] ? "Hard disks:\t2\n" : "Floppy drives:\t2\n");
    case 4: return (uint8_t)b[0] == 0x80 ? reply("Drive 80h\nCHS-Tracks:\t1024\t63\t255\n") : 0u;
    case 3:
      if (b[1]) return b[0] == 0 ? reply("A: 1.44 MB 3.5\"") : 0u;
      return reply(b[0] == 0 ? "Tracks:\t80\t18\t2\n" : "Tracks:\t40\t9\t2\npartial");
    case 19: return b[0] == 'C' ? reply("Boot sector:\tFAT32\n") : 2u;
    default: return 0;
  }
}

}  // namespace

TEST(DiskCategory, NtFamilyWithIdentifyAnsweredAndAFloppyWithoutDiskette) {
  FakeDisks d;
  d.identify[0] = SampleDrive();
  d.layout = LayoutReply(0xCAFE, {{0x07, true, 1048576, 1048576ll * 10240}});
  d.roots = {{"a:\\", DRIVE_REMOVABLE}, {"c:\\", DRIVE_FIXED}, {"d:\\", DRIVE_CDROM}};
  d.volumes["C:\\"] = VolumeFacts{"", "NTFS", 0x00A1B2C3, 0};
  d.volumeErrors["A:\\"] = ERROR_NOT_READY;
  StringSink out;
  WriteDiskCategory(out, 0, d);
  std::string text = out.text;
  // Drive 0 answers at position 0; drives 1 to 3 find nobody.
  EXPECT_EQ(text.rfind("\n@3IDE Hard Drive ID Info.(PhysicalDrive #0)\nDisk Size:\t20480 MB\n"
                       "No of Cylinders:\t16383\nNo of Heads:\t16\nNo of Sectors/Trk:\t63\nModel Number:\tQEMU",
                       0),
            0u)
      << text;
  EXPECT_NE(text.find("@3Partition Table\nSignature:\t    CAFE\nPartition #:\t0 (bootable) IFS Partition\n"
                      "Starting Sector:\t2048\nSize in Sectors:\t20971520\nSize in Mbytes:\t10240\nUsage:\t50%\n"),
            std::string::npos)
      << text;
  EXPECT_NE(text.find("@3Logical Drive C:\\\nFile System:\tNTFS\nLabel:\t<none>\nSerial #:\tA1B2C3\n"
                      "Used Space:\t1536.00 MB\nFree space:\t512.00 MB\nTotal space:\t2048.00 MB\n\n"),
            std::string::npos)
      << text;
  EXPECT_EQ(text.find("Logical Drive A:"), std::string::npos) << "only fixed drives";
  EXPECT_EQ(d.opens, (std::vector<int>{0, 1, 2, 3}));

  StringSink floppy;
  WriteFloppyCategory(floppy, 0, d);
  std::string notReady = GetErrorText(ERROR_NOT_READY);
  EXPECT_EQ(floppy.text, "\n@3Logical Drive A:\\\n" + notReady + "\n\n") << floppy.text;

  DISK_GEOMETRY g{};
  g.Cylinders.QuadPart = 80;
  g.TracksPerCylinder = 2;
  g.SectorsPerTrack = 18;
  d.floppies[0] = g;
  StringSink withDiskette;
  WriteFloppyCategory(withDiskette, 0, d);
  EXPECT_EQ(withDiskette.text.rfind("\n@3Drive A:1.44 MB\nNo of Cylinders:\t80\nNo of Heads:\t2\n"
                                    "No of Sectors/Trk:\t18\n\n@3Logical Drive A:\\\n",
                                    0),
            0u)
      << withDiskette.text;
}

TEST(DiskCategory, NtFamilyDriveThatRefusesIdentifyGetsGeometryAndModels) {
  FakeDisks d;
  d.geometry = true;
  d.geo.Cylinders.QuadPart = 10000;
  d.geo.TracksPerCylinder = 255;
  d.geo.SectorsPerTrack = 63;
  d.inquiry = InquiryReply({{0, "ATA     QEMU HARDDISK   2.5+"}});
  StringSink out;
  WriteHardDriveIdentify(out, 1, d);
  EXPECT_EQ(out.text,
            "@3Hard Drive ID Info.(PhysicalDrive #1)\nDisk Size:\t78442 MB\nNo of Cylinders:\t10000\n"
            "No of Heads:\t255\nNo of Sectors/Trk:\t63\nModel Number:\tATA     QEMU HARDDISK   2.5+\n\n");
}

TEST(DiskCategory, Windows9xThroughTheSystemAccessLibrary) {
  FakeDisks d;
  d.nine = true;
  d.access = &FakeGetQuorrel;
  // The IDE device answers position 1 only: a call for drive 0 reports it.
  d.identify[0] = IdentifyRecord();  // words 1, 3 and 6 all 0: nobody
  d.identify[1] = SampleDrive();
  d.extended = false;
  d.roots = {{"C:\\", DRIVE_FIXED}};
  d.volumes["C:\\"] = VolumeFacts{"SYSTEM", "FAT32", 0x1234, FS_VOL_IS_COMPRESSED};
  StringSink out;
  WriteDiskCategory(out, 0, d);
  std::string t = out.text;
  EXPECT_EQ(t.rfind("\nDrive 80h\nCHS-Tracks:\t1024\t63\t255\n@3IDE Hard Drive ID Info.(Pri/Slave)\n", 0), 0u) << t;
  EXPECT_EQ(t.find("@3Partition Table"), std::string::npos) << "no layout on Windows 9x";
  EXPECT_NE(t.find("@3Logical Drive C:\\\nFile System:\tFAT32\nLabel:\tSYSTEM\t(Compressed)\nSerial #:\t1234\n"
                   "Boot sector:\tFAT32\nTotal Cluster:\t524288\nSector Number:\t8 (per cluster)\n"
                   "Sector Size:\t512 Bytes\nUsed Space:\t1536.00 MB\n"),
            std::string::npos)
      << t;

  StringSink floppies;
  WriteFloppyCategory(floppies, 0, d);
  // The second drive's text ends without a line feed after "partial": not taken.
  EXPECT_EQ(floppies.text, "\nTracks:\t80\t18\t2\n\nTracks:\t40\t9\t2\n\n");

  StringSink summary;
  WriteFloppyCategory(summary, 1, d);
  // Drive 1 does not answer the short form: its text is left out, its separator stays.
  EXPECT_EQ(summary.text, "Floppy:\tA: 1.44 MB 3.5\", \n");
  FakeDisks unbound;
  unbound.nine = true;
  StringSink na;
  WriteFloppySummaryLine(na, unbound);
  EXPECT_EQ(na.text, "Floppy:\tN/A\n");
}

TEST(DiskCategory, SummaryLinesNameEveryDriveWithItsSize) {
  FakeDisks d;
  d.roots = {{"c:\\", DRIVE_FIXED}, {"d:\\", DRIVE_FIXED}, {"e:\\", DRIVE_REMOVABLE}};
  d.volumeErrors["D:\\"] = ERROR_ACCESS_DENIED;
  StringSink disks, floppies;
  WriteDiskCategory(disks, 1, d);
  WriteDriveSummaryLine(floppies, 1, d);
  EXPECT_EQ(disks.text, "Hard Disk:\tC:2048.00 MB D: \n");
  EXPECT_EQ(floppies.text, "Floppy:\tE:2048.00 MB \n");
}

// The machine's own drives (Wine here): the first physical drive answers
// its geometry, drive C: its volume; there is no floppy drive.
TEST(DiskCategory, ThisMachine) {
  std::unique_ptr<DiskDevices> machine = NewMachineDisks(SystemBindings());
  StringSink disks;
  WriteDiskCategory(disks, 0, *machine);
  EXPECT_EQ(disks.text.rfind("\n", 0), 0u);
  EXPECT_NE(disks.text.find("(PhysicalDrive #0)\nDisk Size:\t"), std::string::npos) << disks.text;
  EXPECT_NE(disks.text.find("@3Logical Drive C:\\\nFile System:\t"), std::string::npos) << disks.text;
  EXPECT_NE(disks.text.find("\nTotal space:\t"), std::string::npos) << disks.text;
  StringSink summary;
  WriteDiskCategory(summary, 1, *machine);
  EXPECT_EQ(summary.text.rfind("Hard Disk:\tC:", 0), 0u) << summary.text;
  StringSink floppy;
  WriteFloppyCategory(floppy, 0, *machine);
  EXPECT_EQ(floppy.text.find("@3Drive A:"), std::string::npos) << floppy.text;
}

// ---- CD-ROM drives ------------------------------------------------------------------

namespace {

// Two CD-ROM drives: D: holds a disc (its serial below 0x10000000, no
// title), E: none; a hard disk C: between them in the system's list.
FakeDisks TwoCdromDrives() {
  FakeDisks d;
  d.roots = {{"c:\\", DRIVE_FIXED}, {"d:\\", DRIVE_CDROM}, {"e:\\", DRIVE_CDROM}};
  VolumeFacts disc;
  disc.fileSystem = "CDFS";
  disc.serial = 0x0ABC1230;
  disc.maxComponent = 110;
  d.volumes["D:\\"] = disc;
  d.volumeErrors["E:\\"] = ERROR_NOT_READY;
  return d;
}

const char kDriveD[] =
    "@3Logical CD-ROM Drive\tD:\\\n"
    "File System:\tCDFS\n"
    "Serial No.:\tABC1230\n"
    "CD-ROM Title:\t\n"
    "Max Filename Legnth:\t110\n";
const char kSizes[] =
    "Used Space:\t1536.00 MB\n"
    "Free space:\t512.00 MB\n"
    "Total space:\t2048.00 MB\n";
const char kDriveE[] =
    "@3CD-ROM Drive E:\\\n"
    "No Disk\n";

}  // namespace

// On the NT family: a section per drive in letter order, the removable
// devices behind the letter, then the identify blocks of the IDE drives
// that answer the packet command.
TEST(CdromCategory, TwoDrivesGoldenFile) {
  FakeDisks d = TwoCdromDrives();
  d.driveInquiry['D'] = InquiryReply({{0x00, "ATA     QEMU HARDDISK   2.5+"}, {0x80, "QEMU    QEMU DVD-ROM    2.5+"}});
  d.ideDevice = true;
  IdentifyRecord atapi;
  atapi.Text(27, 20, "QEMU DVD-ROM");
  d.packetIdentify[2] = atapi;
  StringSink identify;
  WriteIdentifyLines(identify, atapi.bytes.data());

  StringSink out;
  WriteCdromInfo(out, 0, d);
  std::string driveD = kDriveD;
  driveD.insert(driveD.find("File System"), "Model Number:\tQEMU    QEMU DVD-ROM    2.5+\n");
  EXPECT_EQ(out.text, "\n" + driveD + kSizes + "\n" + kDriveE + "\n" +
                          "@3Physical IDE CD-ROM/ZIP Drive ID Info.(Sec/Master)\n" + identify.text);

  StringSink summary;
  WriteCdromInfo(summary, 1, d);
  EXPECT_EQ(summary.text, "CD-ROM:\tD: E:\n");
}

TEST(CdromCategory, Variants) {
  struct Case {
    const char* name;
    bool nine, extended, ide, busy, drives;
    std::string text;
  };
  const std::string clusters = "Total Cluster:\t524288\nSector Number:\t8 (per cluster)\nSector Size:\t512 Bytes\n";
  const std::string drives = std::string("\n") + kDriveD + kSizes + "\n" + kDriveE + "\n";
  const Case cases[] = {
      {"no CD-ROM drive, no IDE device", false, true, false, false, false,
       "\nNo Logical CD-ROM Drive Available!\n"},
      // Without the extended size call the cluster lines come before the sizes.
      {"cluster lines", false, false, false, false, true,
       std::string("\n") + kDriveD + clusters + kSizes + "\n" + kDriveE + "\n"},
      // Windows 9x asks for no inquiry data.
      {"Windows 9x", true, true, false, false, true, drives},
      {"CD audio held elsewhere", false, true, true, true, true,
       drives + "Can not get IDE CDROM Drive ID Information.\n(Make sure no other CD Audio program is running.)\n"},
      {"IDE device without CD-ROM drives", false, true, true, false, true, drives},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDisks d = TwoCdromDrives();
    if (!c.drives) d.roots = {{"c:\\", DRIVE_FIXED}};
    d.nine = c.nine;
    d.extended = c.extended;
    d.ideDevice = c.ide;
    d.audioBusy = c.busy;
    d.driveInquiry['D'] = InquiryReply({{0x80, "QEMU    QEMU DVD-ROM    2.5+"}});
    if (!c.nine) d.driveInquiry.erase('D');
    StringSink out;
    WriteCdromInfo(out, 0, d);
    EXPECT_EQ(out.text, c.text);
  }
  FakeDisks none;
  none.roots = {{"c:\\", DRIVE_FIXED}, {"", DRIVE_CDROM}};
  StringSink summary;
  WriteCdromInfo(summary, 1, none);
  EXPECT_EQ(summary.text, "CD-ROM:\tN/A\n");

  FakeDisks d = TwoCdromDrives();
  StringSink outside;
  EXPECT_EQ(WriteCdromDriveInfo(outside, 26, d), 0);
  EXPECT_EQ(WriteCdromDriveInfo(outside, 4, d), 0);
  EXPECT_EQ(WriteCdromDriveInfo(outside, 3, d), 1);
  EXPECT_EQ(outside.text.rfind(kDriveE, 0), 0u);
}
