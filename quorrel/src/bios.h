// BIOS, PCI and Plug and Play information: KytBIOS.IFO and the summary's
// "BIOS:" line, KytPCI.IFO, KytPNP.IFO. The BIOS identity comes from the
// registry (Windows 9x: the PNP0C01 device; NT: HARDWARE\DESCRIPTION\System);
// the system-access library adds its texts on Windows 9x; on NT the Plug and
// Play BIOS version comes from the SMBIOS reader's mapping of the BIOS area.
//
// What the writers ask of the machine goes through BiosPlatform, so that the
// lines can be checked on made-up machines.
#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "infosink.h"
#include "system.h"

namespace quorrel {

// GetQuorrel classes of these writers.
constexpr WORD kInfoClassPciBios = 0x00;
constexpr WORD kInfoClassPciDevices = 0x01;
constexpr WORD kInfoClassBios = 0x07;
constexpr WORD kInfoClassPnp = 0x0D;
constexpr WORD kInfoClassBiosExtra = 0x15;

class BiosPlatform {
 public:
  virtual ~BiosPlatform() = default;
  virtual bool Windows9x() = 0;
  // A string value of HKLM `key` (REG_SZ, or the first string of a
  // REG_MULTI_SZ); false when it cannot be read.
  virtual bool RegistryString(const std::string& key, const std::string& value, std::string* out) = 0;
  // Name of the first subkey of HKLM `key`; false when there is none.
  virtual bool FirstSubkey(const std::string& key, std::string* name) = 0;
  // The system-access library's GetQuorrel (Windows 9x), nullptr when unbound.
  virtual GetQuorrelFn SystemAccess() = 0;
  // ReadPnpBiosVersion of the SMBIOS reader.
  virtual int PnpBiosVersion(char* buffer, size_t size) = 0;
};
std::unique_ptr<BiosPlatform> MakeMachineBiosPlatform(const SystemBindings& sys);

// Mode 0: the category; mode 1: the summary's lines.
void WriteBiosInfo(InfoSink& out, int mode, const std::string& dmiLine, BiosPlatform& p);
void WriteBiosInfo(InfoSink& out, int mode, const std::string& dmiLine, const SystemBindings& sys);
int WriteBiosFromEnumRoot(InfoSink& out, int mode, BiosPlatform& p);
int WriteBiosFromHardwareKey(InfoSink& out, int mode, BiosPlatform& p);
void WritePciInfo(InfoSink& out, BiosPlatform& p);
void WritePciInfo(InfoSink& out, const SystemBindings& sys);
void WritePnpInfo(InfoSink& out, BiosPlatform& p);
void WritePnpInfo(InfoSink& out, const SystemBindings& sys);

// A BIOS line of `format` (one %s, or two) kept within the writers' 1,024-byte
// line buffer: the values are shortened, the line end stays.
std::string BiosLine(const std::string& format, const std::string& a, const std::string& b = std::string());

}  // namespace quorrel
