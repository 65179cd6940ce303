#include "diskinfo.h"

#include <winioctl.h>
#include <ntddscsi.h>

#include <cstddef>
#include <cstring>

#include "disk_resource.h"
#include "format.h"
#include "gather.h"
#include "mmdevices.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

namespace {

uint16_t Word(const uint8_t* record, int i) { return (uint16_t)(record[2 * i] | (record[2 * i + 1] << 8)); }

template <typename T>
T ReadAt(const uint8_t* p, size_t offset) {
  T v;
  std::memcpy(&v, p + offset, sizeof(T));
  return v;
}

void YesNoLine(InfoSink& out, UINT label, bool on) {
  out.Text(Str(label));
  out.Line(Str(on ? IDS_YES : IDS_NO));
}

UINT PositionLabel(bool nt, int p) {
  static const UINT kNt[] = {IDS_DISK_PHYSICAL0, IDS_DISK_PHYSICAL1, IDS_DISK_PHYSICAL2, IDS_DISK_PHYSICAL3};
  static const UINT k9x[] = {IDS_DISK_PRI_MASTER, IDS_DISK_PRI_SLAVE, IDS_DISK_SEC_MASTER, IDS_DISK_SEC_SLAVE};
  return (nt ? kNt : k9x)[p & 3];
}

std::string PartitionTypeName(uint8_t type) {
  switch (type) {
    case 0x02: case 0x03: return Str(IDS_DISK_PART_XENIX);
    case 0x04: return Str(IDS_DISK_PART_FAT16);
    case 0x05: return Str(IDS_DISK_PART_EXTENDED);
    case 0x06: return Str(IDS_DISK_PART_HUGE);
    case 0x07: return Str(IDS_DISK_PART_IFS);
    case 0x0B: return Str(IDS_DISK_PART_FAT32);
    case 0x0C: return Str(IDS_DISK_PART_FAT32X);
    case 0x0E: return Str(IDS_DISK_PART_WIN95X);
    case 0x0F: return Str(IDS_DISK_PART_EXTENDEDX);
    case 0x41: return Str(IDS_DISK_PART_PREP);
    case 0x63: return Str(IDS_DISK_PART_UNIX);
    case 0x80: case 0xC0: return Str(IDS_DISK_PART_NTFT);
    default: return {};
  }
}

// One call of the system-access library on the shared reply buffer, with
// the given input bytes; the reply is always terminated within the buffer.
DWORD AskSystemAccess(GetQuorrelFn fn, WORD infoClass, std::initializer_list<uint8_t> input) {
  char* buffer = InfoReplyBuffer();
  std::memset(buffer, 0, kInfoReplyBufferSize);
  size_t i = 0;
  for (uint8_t b : input) buffer[i++] = (char)b;
  DWORD r = fn(infoClass, (WORD)kInfoReplyBufferSize, buffer);
  buffer[kInfoReplyBufferSize - 1] = 0;
  return r;
}

// The number after the reply's first tab ("%ld"), 0 without.
long ReplyCount() {
  const char* text = InfoReplyBuffer();
  const char* tab = std::strchr(text, '\t');
  long n = 0;
  if (tab && std::sscanf(tab + 1, "%ld", &n) != 1) n = 0;
  return n;
}

std::vector<std::string> RootsOfType(DiskDevices& d, UINT type) {
  std::vector<std::string> roots;
  for (const std::string& r : d.Roots())
    if (d.DriveType(r) == type) roots.push_back(r);
  return roots;
}

std::string Upper(std::string s) {
  for (char& c : s) c = (char)toupper((unsigned char)c);
  return s;
}

}  // namespace

std::string IdentifyText(const uint8_t* record, int first, int count) {
  std::string text;
  for (int i = first; i < first + count && i < 256; ++i) {
    uint16_t w = Word(record, i);
    text += (char)(w >> 8);
    text += (char)(w & 0xFF);
  }
  // Written up to its first NUL, as a C string.
  size_t nul = text.find('\0');
  if (nul != std::string::npos) text.resize(nul);
  return text;
}

int64_t IdentifyDiskSizeMB(const uint8_t* r) {
  uint64_t sectors = 0;
  // 48-bit addressing supported (word 83 bit 10): words 100-103.
  if ((Word(r, 83) & 0xC000) == 0x4000 && (Word(r, 83) & 0x0400))
    sectors = (uint64_t)Word(r, 100) | ((uint64_t)Word(r, 101) << 16) | ((uint64_t)Word(r, 102) << 32) |
              ((uint64_t)Word(r, 103) << 48);
  if (sectors == 0 && (Word(r, 49) & 0x0200)) sectors = (uint64_t)Word(r, 60) | ((uint64_t)Word(r, 61) << 16);
  if (sectors == 0) sectors = (uint64_t)Word(r, 1) * Word(r, 3) * Word(r, 6);
  return (int64_t)(sectors / 2048);
}

void WriteIdentifyLines(InfoSink& out, const uint8_t* r) {
  out.Text(FormatA(Str(IDS_DISK_MODEL).c_str(), IdentifyText(r, 27, 20).c_str()));
  out.Text(FormatA(Str(IDS_DISK_SERIAL_NUMBER).c_str(), IdentifyText(r, 10, 10).c_str()));
  out.Text(FormatA(Str(IDS_DISK_FIRMWARE).c_str(), IdentifyText(r, 23, 4).c_str()));
  // Word 21 counts 512-byte units.
  uint16_t buffer = Word(r, 21);
  out.Text(FormatA(Str(IDS_DISK_CACHE_SIZE).c_str(), (int)(buffer / 2)));
  if (buffer != 0) {
    out.Text(Str(IDS_DISK_CACHE_TYPE));
    switch (Word(r, 20)) {
      case 1: out.Text(Str(IDS_DISK_CACHE_TYPE1)); break;
      case 2: out.Text(Str(IDS_DISK_CACHE_TYPE2)); break;
      case 3: out.Text(Str(IDS_DISK_CACHE_TYPE3)); break;
      default: out.Text(Str(IDS_DISK_CACHE_TYPE_OTHER)); break;
    }
  }
  out.Text(FormatA(Str(IDS_DISK_ECC_BYTES).c_str(), (int)Word(r, 22)));
  out.Text(FormatA(Str(IDS_DISK_MAX_SECTORS).c_str(), (int)Word(r, 47)));
  uint16_t caps = Word(r, 49);
  YesNoLine(out, IDS_DISK_DWORD_IO, Word(r, 48) != 0);
  YesNoLine(out, IDS_DISK_ADVANCED_PIO, caps & 0x1000);
  YesNoLine(out, IDS_DISK_PIO3, caps & 0x800);
  YesNoLine(out, IDS_DISK_LBA_MODE, caps & 0x200);
  YesNoLine(out, IDS_DISK_DMA_MODE, caps & 0x100);
  YesNoLine(out, IDS_DISK_SINGLE_DMA, Word(r, 62) != 0);
  YesNoLine(out, IDS_DISK_MULTI_DMA, Word(r, 63) != 0);
  YesNoLine(out, IDS_DISK_FLOW_CONTROL, Word(r, 64) != 0);
  out.EndLine();
}

void WriteInquiryModels(InfoSink& out, const uint8_t* reply, size_t size, uint8_t wanted) {
  constexpr size_t kBuses = offsetof(SCSI_ADAPTER_BUS_INFO, BusData);
  constexpr size_t kData = offsetof(SCSI_INQUIRY_DATA, InquiryData);
  constexpr size_t kModelEnd = 8 + 28;
  if (!reply || size < 1) return;
  unsigned buses = reply[0];
  // Every entry takes at least its header: a chain longer than the reply
  // can hold loops.
  const size_t maxEntries = size / kData + 1;
  for (unsigned i = 0; i < buses; ++i) {
    size_t bus = kBuses + i * sizeof(SCSI_BUS_DATA);
    if (bus + sizeof(SCSI_BUS_DATA) > size) break;
    size_t at = ReadAt<ULONG>(reply, bus + offsetof(SCSI_BUS_DATA, InquiryDataOffset));
    for (size_t seen = 0; at != 0 && seen < maxEntries; ++seen) {
      if (at > size || size - at < kData + kModelEnd) break;
      const uint8_t* inquiry = reply + at + kData;
      if (inquiry[1] == wanted) {
        char model[29] = {};
        std::memcpy(model, inquiry + 8, 28);
        out.Line(FormatA(Str(IDS_DISK_INQUIRY_MODEL).c_str(), model));
      }
      at = ReadAt<ULONG>(reply, at + offsetof(SCSI_INQUIRY_DATA, NextInquiryDataOffset));
    }
  }
}

void WritePartitionTable(InfoSink& out, const uint8_t* layout, size_t size, int64_t diskMB) {
  constexpr size_t kEntries = offsetof(DRIVE_LAYOUT_INFORMATION, PartitionEntry);
  if (!layout || size < kEntries) return;
  out.BeginHeading();
  out.Text(Str(IDS_DISK_PARTITION_TABLE));
  out.Text(
      FormatA(Str(IDS_DISK_SIGNATURE).c_str(), ReadAt<DWORD>(layout, offsetof(DRIVE_LAYOUT_INFORMATION, Signature))));
  size_t count = ReadAt<DWORD>(layout, offsetof(DRIVE_LAYOUT_INFORMATION, PartitionCount));
  size_t room = (size - kEntries) / sizeof(PARTITION_INFORMATION);
  if (count > room) count = room;
  for (size_t i = 0; i < count; ++i) {
    PARTITION_INFORMATION p = ReadAt<PARTITION_INFORMATION>(layout, kEntries + i * sizeof(PARTITION_INFORMATION));
    // Every used slot, in every table of the disk.
    if (p.PartitionType == 0) continue;
    std::string line = FormatA(Str(IDS_DISK_PARTITION).c_str(), (int)i);
    if (p.BootIndicator) line += Str(IDS_DISK_BOOTABLE);
    line += PartitionTypeName(p.PartitionType);
    out.Line(line);
    long long start = p.StartingOffset.QuadPart > 0 ? p.StartingOffset.QuadPart / 512 : 0;
    long long sectors = p.PartitionLength.QuadPart > 0 ? p.PartitionLength.QuadPart / 512 : 0;
    out.Text(FormatA(Str(IDS_DISK_STARTING_SECTOR).c_str(), start));
    out.Text(FormatA(Str(IDS_DISK_SIZE_SECTORS).c_str(), sectors));
    out.Text(FormatA(Str(IDS_DISK_SIZE_MBYTES).c_str(), sectors >> 11));
    if (diskMB > 0) out.Text(FormatA(Str(IDS_DISK_USAGE).c_str(), (int)((sectors / 2048) * 100 / diskMB)));
    out.EndLine();
  }
}

void WriteCdromIdentify(InfoSink& out, DiskDevices& d) {
  if (!d.OpenIdeDevice()) return;
  for (int p = 0; p <= 3; ++p) {
    std::vector<uint8_t> record;
    if (!d.PacketIdentify(p, &record) || record.size() < 512) continue;
    out.BeginHeading();
    out.Text(Str(IDS_DISK_CDROM_ID));
    out.Text(Str(PositionLabel(false, p)));
    WriteIdentifyLines(out, record.data());
  }
  d.Close();
}

void WriteHardDriveIdentify(InfoSink& out, int n, DiskDevices& d) {
  if (n < 0 || n > 3 || !d.Open(n)) return;
  bool nt = !d.Is9x();
  int64_t diskMB = 0;
  for (int p = n; p <= 3; ++p) {
    std::vector<uint8_t> record;
    if (!d.Identify(p, &record) || record.size() < 512) {
      if (!nt) continue;
      DISK_GEOMETRY g{};
      if (d.Geometry(&g)) {
        out.BeginHeading();
        out.Text(Str(IDS_DISK_HARD_ID));
        out.Text(Str(PositionLabel(true, n)));
        uint64_t cylinders = g.Cylinders.QuadPart > 0 ? (uint64_t)g.Cylinders.QuadPart : 0;
        diskMB = (int64_t)((cylinders * g.TracksPerCylinder * g.SectorsPerTrack) >> 11);
        out.Text(FormatA(Str(IDS_DISK_SIZE).c_str(), (long long)diskMB));
        out.Text(FormatA(Str(IDS_DISK_CYLINDERS).c_str(), (int)g.Cylinders.LowPart));
        out.Text(FormatA(Str(IDS_DISK_HEADS).c_str(), (int)g.TracksPerCylinder));
        out.Text(FormatA(Str(IDS_DISK_SECTORS_TRACK).c_str(), (int)g.SectorsPerTrack));
      }
      std::vector<uint8_t> inquiry;
      if (d.Inquiry(&inquiry)) WriteInquiryModels(out, inquiry.data(), inquiry.size(), 0);
      out.EndLine();
      break;
    }
    const uint8_t* r = record.data();
    if (Word(r, 1) == Word(r, 3) && Word(r, 3) == Word(r, 6)) continue;  // nobody there
    out.BeginHeading();
    out.Text(Str(IDS_DISK_IDE_ID));
    out.Text(Str(PositionLabel(nt, p)));
    diskMB = IdentifyDiskSizeMB(r);
    out.Text(FormatA(Str(IDS_DISK_SIZE).c_str(), (long long)diskMB));
    out.Text(FormatA(Str(IDS_DISK_CYLINDERS).c_str(), (int)Word(r, 1)));
    out.Text(FormatA(Str(IDS_DISK_HEADS).c_str(), (int)Word(r, 3)));
    out.Text(FormatA(Str(IDS_DISK_SECTORS_TRACK).c_str(), (int)Word(r, 6)));
    WriteIdentifyLines(out, r);
    break;
  }
  std::vector<uint8_t> layout;
  if (nt && d.Layout(&layout)) WritePartitionTable(out, layout.data(), layout.size(), diskMB);
  d.Close();
}

void WriteLogicalDriveInfo(InfoSink& out, const std::string& rootIn, DiskDevices& d) {
  std::string root = Upper(rootIn);
  out.BeginHeading();
  out.Text(Str(IDS_DISK_LOGICAL_DRIVE));
  out.Line(root);
  VolumeFacts v;
  DWORD error = 0;
  if (!d.Volume(root, &v, &error)) {
    out.Line(GetErrorText(error));
    out.EndLine();
    return;
  }
  out.Item(Str(IDS_DISK_FILE_SYSTEM), v.fileSystem);
  UINT labelId = (v.flags & FS_VOL_IS_COMPRESSED) ? IDS_DISK_LABEL_COMPRESSED : IDS_DISK_LABEL;
  out.Line(FormatA(Str(labelId).c_str(), v.name.empty() ? Str(IDS_DISK_NONE).c_str() : v.name.c_str()));
  out.Item(Str(IDS_DISK_SERIAL), FormatA("%X", (unsigned)v.serial));
  if (GetQuorrelFn fn = d.SystemAccess()) {
    if (AskSystemAccess(fn, 19, {(uint8_t)root[0]}) == 1) out.CompleteLines(InfoReplyBuffer());
  }
  double freeBytes = 0, totalBytes = 0;
  int extended = 0;
  if (!d.FreeSpace(root, &freeBytes, &totalBytes, &extended)) freeBytes = totalBytes = 0;
  freeBytes /= 1048576.0;
  totalBytes /= 1048576.0;
  DWORD spc = 0, bps = 0, clusters = 0;
  if (!extended && d.Clusters(root, &spc, &bps, &clusters)) {
    out.Line(FormatA(Str(IDS_DISK_TOTAL_CLUSTERS).c_str(), (long)clusters));
    out.Line(FormatA(Str(IDS_DISK_SECTORS_PER_CLUSTER).c_str(), (long)spc));
    out.Line(FormatA(Str(IDS_DISK_SECTOR_SIZE).c_str(), (long)bps));
  }
  out.Line(FormatA(Str(IDS_DISK_USED_SPACE).c_str(), totalBytes - freeBytes));
  out.Line(FormatA(Str(IDS_DISK_FREE_SPACE).c_str(), freeBytes));
  out.Line(FormatA(Str(IDS_DISK_TOTAL_SPACE).c_str(), totalBytes));
  out.EndLine();
}

void WriteDiskInfo(InfoSink& out, int floppy, DiskDevices& d) {
  out.EndLine();
  GetQuorrelFn fn = d.SystemAccess();
  if (!floppy) {
    if (fn) {
      if (!AskSystemAccess(fn, 6, {0x80})) return;
      long count = ReplyCount();
      for (int n = 0; n < 4 && n < count; ++n) {
        if (AskSystemAccess(fn, 4, {(uint8_t)(0x80 + n)})) out.CompleteLines(InfoReplyBuffer());
        WriteHardDriveIdentify(out, n, d);
      }
    } else if (!d.Is9x()) {
      for (int n = 0; n < 4; ++n) WriteHardDriveIdentify(out, n, d);
    }
    for (const std::string& r : RootsOfType(d, DRIVE_FIXED)) WriteLogicalDriveInfo(out, r, d);
    return;
  }
  if (fn) {
    if (!AskSystemAccess(fn, 6, {0})) return;
    long count = ReplyCount();
    for (int n = 0; n < 2 && n < count; ++n) {
      if (AskSystemAccess(fn, 3, {(uint8_t)n})) out.CompleteLines(InfoReplyBuffer());
      out.EndLine();
    }
  } else if (!d.Is9x()) {
    for (int n = 0; n < 2; ++n) {
      DISK_GEOMETRY g{};
      if (!d.FloppyGeometry(n, &g)) continue;
      uint64_t cylinders = g.Cylinders.QuadPart > 0 ? (uint64_t)g.Cylinders.QuadPart : 0;
      double mb = (double)(cylinders * g.TracksPerCylinder * g.SectorsPerTrack * 512) / 1024000.0;
      out.BeginHeading();
      out.Text(Str(IDS_DISK_DRIVE));
      out.Text(n == 0 ? "A:" : "B:");
      out.Text(FormatA(Str(IDS_DISK_DRIVE_MB).c_str(), mb));
      out.Text(FormatA(Str(IDS_DISK_CYLINDERS).c_str(), (int)g.Cylinders.LowPart));
      out.Text(FormatA(Str(IDS_DISK_HEADS).c_str(), (int)g.TracksPerCylinder));
      out.Line(FormatA(Str(IDS_DISK_SECTORS_TRACK).c_str(), (int)g.SectorsPerTrack));
    }
  }
  for (const std::string& r : RootsOfType(d, DRIVE_REMOVABLE)) WriteLogicalDriveInfo(out, r, d);
}

void WriteDriveSummaryLine(InfoSink& out, int floppy, DiskDevices& d) {
  out.Text(Str(floppy ? IDS_DISK_FLOPPY : IDS_DISK_HARD_DISK));
  for (const std::string& r : RootsOfType(d, floppy ? DRIVE_REMOVABLE : DRIVE_FIXED)) {
    std::string root = Upper(r);
    out.Text(root.size() >= 3 && root[2] == '\\' ? root.substr(0, 2) : root);
    VolumeFacts v;
    DWORD error = 0;
    if (d.Volume(root, &v, &error)) {
      double freeBytes = 0, totalBytes = 0;
      int extended = 0;
      if (!d.FreeSpace(root, &freeBytes, &totalBytes, &extended)) totalBytes = 0;
      out.Text(FormatA(Str(IDS_DISK_MB).c_str(), totalBytes / 1048576.0));
    }
    out.Text(" ");
  }
  out.EndLine();
}

void WriteFloppySummaryLine(InfoSink& out, DiskDevices& d) {
  long count = 0;
  GetQuorrelFn fn = d.SystemAccess();
  if (fn) {
    if (!AskSystemAccess(fn, 6, {0})) return;
    count = ReplyCount();
  }
  std::string line = Str(IDS_DISK_FLOPPY);
  if (fn) {
    if (count > 0 && AskSystemAccess(fn, 3, {0, 1})) line += InfoReplyBuffer();
    if (count > 1) {
      line += ", ";
      if (AskSystemAccess(fn, 3, {1, 1})) line += std::string(", ") + InfoReplyBuffer();
    }
  }
  if (count < 1) line += Str(IDS_MIXER_NA);
  out.Line(line);
}

void WriteDiskCategory(InfoSink& out, int summary, DiskDevices& d) {
  if (summary)
    WriteDriveSummaryLine(out, 0, d);
  else
    WriteDiskInfo(out, 0, d);
}

void WriteFloppyCategory(InfoSink& out, int summary, DiskDevices& d) {
  if (summary)
    WriteFloppySummaryLine(out, d);
  else
    WriteDiskInfo(out, 1, d);
}

// ---- The machine's drives ---------------------------------------------------------

namespace {

class Machine : public DiskDevices {
 public:
  explicit Machine(const SystemBindings& sys) : sys_(sys) {}
  bool Is9x() const override { return (::GetVersion() & 0x80000000u) != 0; }
  GetQuorrelFn SystemAccess() const override { return sys_.getQuorrel; }
  bool Open(int n) override {
    if (Is9x()) return OpenIdeDevice();
    Close();
    char device[32];
    std::snprintf(device, sizeof device, "\\\\.\\PhysicalDrive%d", n);
    handle_ = ::CreateFileA(device, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
  }
  void Close() override {
    if (handle_ != INVALID_HANDLE_VALUE) ::CloseHandle(handle_);
    handle_ = INVALID_HANDLE_VALUE;
  }
  bool Identify(int p, std::vector<uint8_t>* record) override {
    DWORD n = 0;
    if (Is9x()) return IdeRequest(p, 0xEC, record);
    SENDCMDINPARAMS in{};
    in.irDriveRegs.bCommandReg = 0xEC;
    in.bDriveNumber = (BYTE)p;
    std::vector<uint8_t> out(sizeof(SENDCMDOUTPARAMS) + 512);
    if (!::DeviceIoControl(handle_, SMART_RCV_DRIVE_DATA, &in, sizeof in, out.data(), (DWORD)out.size(), &n,
                           nullptr) ||
        n < offsetof(SENDCMDOUTPARAMS, bBuffer) + 512)
      return false;
    record->assign(out.begin() + offsetof(SENDCMDOUTPARAMS, bBuffer),
                   out.begin() + offsetof(SENDCMDOUTPARAMS, bBuffer) + 512);
    return true;
  }
  bool Geometry(DISK_GEOMETRY* g) override {
    DWORD n = 0;
    return ::DeviceIoControl(handle_, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, g, sizeof *g, &n, nullptr) &&
           n >= sizeof *g;
  }
  bool Reply(DWORD code, std::vector<uint8_t>* reply) {
    reply->assign(2048, 0);
    DWORD n = 0;
    if (!::DeviceIoControl(handle_, code, nullptr, 0, reply->data(), (DWORD)reply->size(), &n, nullptr)) return false;
    reply->resize(n);
    return true;
  }
  bool Inquiry(std::vector<uint8_t>* reply) override { return Reply(IOCTL_SCSI_GET_INQUIRY_DATA, reply); }
  bool Layout(std::vector<uint8_t>* reply) override { return Reply(IOCTL_DISK_GET_DRIVE_LAYOUT, reply); }
  bool FloppyGeometry(int n, DISK_GEOMETRY* g) override {
    HANDLE h = ::CreateFileA(n == 0 ? "\\\\.\\A:" : "\\\\.\\B:", GENERIC_READ, FILE_SHARE_READ, nullptr,
                             OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD got = 0;
    bool ok = ::DeviceIoControl(h, IOCTL_DISK_GET_DRIVE_GEOMETRY, nullptr, 0, g, sizeof *g, &got, nullptr) &&
              got >= sizeof *g;
    ::CloseHandle(h);
    return ok;
  }
  std::vector<std::string> Roots() override {
    char buffer[256] = {};
    DWORD n = ::GetLogicalDriveStringsA(255, buffer);
    std::vector<std::string> roots;
    if (n == 0 || n > 255) return roots;
    for (const char* r = buffer; r < buffer + n && *r; r += std::strlen(r) + 1) roots.push_back(r);
    return roots;
  }
  UINT DriveType(const std::string& root) override { return ::GetDriveTypeA(root.c_str()); }
  bool Volume(const std::string& root, VolumeFacts* v, DWORD* error) override {
    char name[256] = {}, fs[256] = {};
    DWORD maxLen = 0;
    if (!::GetVolumeInformationA(root.c_str(), name, 255, &v->serial, &maxLen, &v->flags, fs, 255)) {
      *error = ::GetLastError();
      return false;
    }
    v->name = name;
    v->fileSystem = fs;
    v->maxComponent = maxLen;
    return true;
  }
  int FreeSpace(const std::string& root, double* f, double* t, int* extended) override {
    return GetFreeDiskSpace(root.c_str(), f, t, extended);
  }
  bool Clusters(const std::string& root, DWORD* spc, DWORD* bps, DWORD* total) override {
    DWORD freeClusters = 0;
    return ::GetDiskFreeSpaceA(root.c_str(), spc, bps, &freeClusters, total) != FALSE;
  }
  bool OpenIdeDevice() override {
    Close();
    handle_ = ::CreateFileA("\\\\.\\CIDE.VXD", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                            nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    return handle_ != INVALID_HANDLE_VALUE;
  }
  bool PacketIdentify(int p, std::vector<uint8_t>* record) override { return IdeRequest(p, 0xA1, record); }
  bool DriveInquiry(char letter, std::vector<uint8_t>* reply) override {
    char device[8] = {'\\', '\\', '.', '\\', letter, ':', 0};
    HANDLE h = ::CreateFileA(device, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    reply->assign(2048, 0);
    DWORD n = 0;
    bool ok = ::DeviceIoControl(h, IOCTL_SCSI_GET_INQUIRY_DATA, nullptr, 0, reply->data(), (DWORD)reply->size(), &n,
                                nullptr) != FALSE;
    ::CloseHandle(h);
    if (ok) reply->resize(n < reply->size() ? n : reply->size());
    return ok;
  }
  bool CdAudioBusy() override { return IsAudioDiscDeviceBusy() != 0; }
  ~Machine() override { Close(); }

 private:
  // One request of the IDE device: {position, command, 0} in, the
  // identify record at the start of the 1024-byte reply.
  bool IdeRequest(int p, DWORD command, std::vector<uint8_t>* record) {
    DWORD request[3] = {(DWORD)p, command, 0};
    std::vector<uint8_t> out(1024);
    DWORD n = 0;
    if (!::DeviceIoControl(handle_, 1, request, sizeof request, out.data(), (DWORD)out.size(), &n, nullptr))
      return false;
    out.resize(512);
    *record = out;
    return true;
  }
  HANDLE handle_ = INVALID_HANDLE_VALUE;
  SystemBindings sys_;
};

}  // namespace

std::unique_ptr<DiskDevices> NewMachineDisks(const SystemBindings& sys) { return std::make_unique<Machine>(sys); }

}  // namespace quorrel
