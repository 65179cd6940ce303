// CD-ROM drive information: KytCDROM.IFO and the "CD-ROM:" line of the
// summary. One section per CD-ROM drive letter (volume, sizes and, on the NT
// family, the removable devices behind the letter), then the identify data
// of IDE CD-ROM drives. The drives come through DiskDevices, as for the disk
// writers.
#pragma once
#include "diskinfo.h"
#include "infosink.h"

namespace quorrel {

// The category (mode 0) or the summary line (mode 1).
void WriteCdromInfo(InfoSink& out, int mode, DiskDevices& d);
void WriteCdromInfo(InfoSink& out, int mode, const SystemBindings& sys);
// The section of drive `index` (0 = A:); 1 when its volume could be read.
int WriteCdromDriveInfo(InfoSink& out, unsigned index, DiskDevices& d);

}  // namespace quorrel
