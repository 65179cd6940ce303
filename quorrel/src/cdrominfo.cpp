#include "cdrominfo.h"

#include <cctype>

#include "disk_resource.h"
#include "format.h"
#include "net_resource.h"
#include "resource.h"
#include "texts.h"

namespace quorrel {

int WriteCdromDriveInfo(InfoSink& out, unsigned index, DiskDevices& d) {
  if (index >= 26) return 0;
  char letter = (char)('A' + index);
  std::string root = std::string(1, letter) + ":\\";
  VolumeFacts v;
  DWORD error = 0;
  if (!d.Volume(root, &v, &error)) {
    out.Heading(FormatA(Str(IDS_CD_DRIVE_ROOT).c_str(), Str(IDS_CD_DRIVE).c_str(), root.c_str()));
    out.Line(Str(IDS_CD_NO_DISK));
    return 0;
  }
  out.Heading(FormatA(Str(IDS_CD_LABEL_VALUE).c_str(), Str(IDS_CD_LOGICAL_DRIVE).c_str(), root.c_str()));
  if (!d.Is9x()) {
    std::vector<uint8_t> inquiry;
    if (d.DriveInquiry(letter, &inquiry)) WriteInquiryModels(out, inquiry.data(), inquiry.size(), 0x80);
  }
  out.Item(Str(IDS_DISK_FILE_SYSTEM), v.fileSystem);
  out.Line(FormatA(Str(IDS_CD_SERIAL).c_str(), (unsigned long)v.serial));
  out.Line(FormatA(Str(IDS_CD_TITLE).c_str(), v.name.c_str()));
  out.Line(FormatA(Str(IDS_CD_MAX_NAME).c_str(), (unsigned long)v.maxComponent));
  double freeBytes = 0, totalBytes = 0;
  int extended = 0;
  if (!d.FreeSpace(root, &freeBytes, &totalBytes, &extended)) freeBytes = totalBytes = 0;
  double freeMB = freeBytes / 1048576.0, totalMB = totalBytes / 1048576.0;
  DWORD spc = 0, bps = 0, clusters = 0;
  if (!extended && d.Clusters(root, &spc, &bps, &clusters)) {
    out.Line(FormatA(Str(IDS_CD_TOTAL_CLUSTERS).c_str(), (unsigned long)clusters));
    out.Line(FormatA(Str(IDS_CD_SECTORS_PER_CLUSTER).c_str(), (unsigned long)spc));
    out.Line(FormatA(Str(IDS_CD_SECTOR_SIZE).c_str(), (unsigned long)bps));
  }
  out.Line(FormatA(Str(IDS_CD_USED_SPACE).c_str(), totalMB - freeMB));
  out.Line(FormatA(Str(IDS_DISK_FREE_SPACE).c_str(), freeMB));
  out.Line(FormatA(Str(IDS_DISK_TOTAL_SPACE).c_str(), totalMB));
  return 1;
}

void WriteCdromInfo(InfoSink& out, int mode, DiskDevices& d) {
  if (mode == 1) {
    std::string line = Str(IDS_CD_LABEL);
    bool found = false;
    for (const std::string& root : d.Roots()) {
      if (root.empty() || d.DriveType(root) != DRIVE_CDROM) continue;
      if (found) line += " ";
      line += (char)std::toupper((unsigned char)root[0]);
      line += ":";
      found = true;
    }
    if (!found) line += Str(IDS_MIXER_NA);
    out.Line(line);
    return;
  }
  out.EndLine();
  int count = 0;
  for (unsigned i = 0; i < 26; ++i) {
    std::string root = std::string(1, (char)('A' + i)) + ":\\";
    if (d.DriveType(root) != DRIVE_CDROM) continue;
    ++count;
    WriteCdromDriveInfo(out, i, d);
    out.EndLine();
  }
  if (count == 0) out.Text(Str(IDS_CD_NONE));
  if (d.CdAudioBusy()) {
    out.Line(Str(IDS_CD_IDE_BUSY));
    out.Line(Str(IDS_CD_IDE_BUSY_HINT));
  } else {
    WriteCdromIdentify(out, d);
  }
}

void WriteCdromInfo(InfoSink& out, int mode, const SystemBindings& sys) {
  WriteCdromInfo(out, mode, *NewMachineDisks(sys));
}

}  // namespace quorrel
