// The disk and floppy categories (KytDISK.IFO, KytFLPY.IFO) and the two
// drive lines of the summary: logical drives, the identify records of IDE
// drives, SCSI inquiry models, the partition table, the floppy summary line
// of Windows 9x, and the two dispatchers. The machine's drives and devices
// come through DiskDevices, so that the writers run on canned replies in
// tests; every reply is read within its size.
#pragma once
#include <windows.h>
#include <winioctl.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "infosink.h"
#include "system.h"

namespace quorrel {

struct VolumeFacts {
  std::string name, fileSystem;
  DWORD serial = 0, flags = 0;
  DWORD maxComponent = 0;  // longest file name the volume takes
};

class DiskDevices {
 public:
  virtual ~DiskDevices() = default;
  virtual bool Is9x() const = 0;
  // The system-access library's GetQuorrel (Windows 9x), nullptr when unbound.
  virtual GetQuorrelFn SystemAccess() const = 0;
  // Physical drive n (NT family) or the IDE device (Windows 9x), held open
  // for the queries below until Close.
  virtual bool Open(int n) = 0;
  virtual void Close() = 0;
  // The 512-byte identify record of IDE position p (ATA command 0xEC).
  virtual bool Identify(int p, std::vector<uint8_t>* record) = 0;
  virtual bool Geometry(DISK_GEOMETRY* g) = 0;
  virtual bool Inquiry(std::vector<uint8_t>* reply) = 0;
  virtual bool Layout(std::vector<uint8_t>* reply) = 0;
  // Floppy n (0: A:, 1: B:) through its drive device.
  virtual bool FloppyGeometry(int n, DISK_GEOMETRY* g) = 0;
  // Logical drives: roots in the system's order, their types and volumes.
  virtual std::vector<std::string> Roots() = 0;
  virtual UINT DriveType(const std::string& root) = 0;
  virtual bool Volume(const std::string& root, VolumeFacts* v, DWORD* error) = 0;
  virtual int FreeSpace(const std::string& root, double* freeBytes, double* totalBytes, int* extended) = 0;
  virtual bool Clusters(const std::string& root, DWORD* sectorsPerCluster, DWORD* bytesPerSector,
                        DWORD* totalClusters) = 0;
  // CD-ROM drives: the IDE device "\\.\CIDE.VXD" (on every system), held
  // open until Close, and the 512-byte packet identify record of IDE
  // position p (ATAPI command 0xA1) through it.
  virtual bool OpenIdeDevice() = 0;
  virtual bool PacketIdentify(int p, std::vector<uint8_t>* record) = 0;
  // The SCSI inquiry reply of a drive letter's device ("\\.\X:").
  virtual bool DriveInquiry(char letter, std::vector<uint8_t>* reply) = 0;
  // Another program holds the CD audio device.
  virtual bool CdAudioBusy() = 0;
};
// The machine's own drives and devices (one for each writer).
std::unique_ptr<DiskDevices> NewMachineDisks(const SystemBindings& sys);

// ---- Formatting of device replies (bounded) ---------------------------------
// A text field of an identify record: two characters a word, the first in
// the word's high byte; `first` and `count` in words.
std::string IdentifyText(const uint8_t* record, int first, int count);
// Disk size in MB of an identify record: from the 48-bit sector count when
// the drive offers it, else the LBA count, else cylinders x heads x sectors.
int64_t IdentifyDiskSizeMB(const uint8_t* record);
// The identify lines from "Model Number:" to the closing empty line.
void WriteIdentifyLines(InfoSink& out, const uint8_t* record);
// "Model Number:" lines of the inquiry entries whose byte 1 is `wanted`.
void WriteInquiryModels(InfoSink& out, const uint8_t* reply, size_t size, uint8_t wanted);
// The partition table of a drive layout reply; "Usage:" lines only with a
// disk size.
void WritePartitionTable(InfoSink& out, const uint8_t* layout, size_t size, int64_t diskMB);
// The identify blocks of every IDE position that answers the packet
// command, for the CD-ROM category.
void WriteCdromIdentify(InfoSink& out, DiskDevices& d);

// ---- Writers ------------------------------------------------------------------
void WriteDiskInfo(InfoSink& out, int floppy, DiskDevices& d);
void WriteHardDriveIdentify(InfoSink& out, int n, DiskDevices& d);
void WriteLogicalDriveInfo(InfoSink& out, const std::string& root, DiskDevices& d);
void WriteDriveSummaryLine(InfoSink& out, int floppy, DiskDevices& d);
void WriteFloppySummaryLine(InfoSink& out, DiskDevices& d);
// The dispatchers: the category (summary 0) or the summary line.
void WriteDiskCategory(InfoSink& out, int summary, DiskDevices& d);
void WriteFloppyCategory(InfoSink& out, int summary, DiskDevices& d);

}  // namespace quorrel
