// The SMBIOS (DMI) reader: finds the "_SM_" entry point in the BIOS area
// F0000h-FFFFFh, walks the structure table and writes it as the sectioned
// text DMI.TXT (or, in check mode, the one-line PLUDOR.TXT with the DMI BIOS
// version); and the Plug and Play BIOS version from the "$PnP" header.
//
// Physical memory is reached through PhysicalMemory: the MAPMEM driver when
// it opens, else a view of the BIOS area laid out from the firmware table
// that the system hands out (GetSystemFirmwareTable 'RSMB'), so that the
// search, the checksums and the formatting are the same either way.
#pragma once
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace quorrel {

constexpr uint32_t kBiosAreaBase = 0xF0000;
constexpr uint32_t kBiosAreaSize = 0x10000;

// Results of DumpSmbiosText.
enum : int32_t {
  kDmiDone = 0,
  kDmiNoSmbios = -1,     // Windows 9x, no entry point, or a damaged one
  kDmiCannotCreate = -2, // the output file cannot be created
  kDmiNoDriver = -3,     // no access to physical memory, or the close failed
  kDmiMapFailed = -4,    // the memory could not be mapped
};

// Physical memory as the reader sees it.
class PhysicalMemory {
 public:
  virtual ~PhysicalMemory() = default;
  // False when there is no access at all (the driver is missing).
  virtual bool Open() = 0;
  // Copies `length` bytes from physical `address`; false when the range
  // cannot be mapped.
  virtual bool Read(uint32_t address, uint32_t length, std::vector<uint8_t>* out) = 0;
  virtual void Close() = 0;
};

// The MAPMEM driver (\\.\MAPMEM), or, when it does not open, the view built
// from the system's firmware table.
std::unique_ptr<PhysicalMemory> MakeMachinePhysicalMemory();
// The BIOS area only, as `view` holds it (64 KB from F0000h).
std::unique_ptr<PhysicalMemory> MakeBiosAreaMemory(std::vector<uint8_t> view);

// The MAPMEM driver's map request, as it crosses to the driver.
#pragma pack(push, 1)
struct MapMemRequest {
  uint32_t interfaceType;  // 1 = ISA bus
  uint32_t busNumber;
  uint64_t busAddress;
  uint32_t addressSpace;   // 0 = memory
  uint32_t length;
};
#pragma pack(pop)
static_assert(sizeof(MapMemRequest) == 24, "the driver takes 24 bytes");
constexpr DWORD kMapMemMap = 0x80002000;
constexpr DWORD kMapMemUnmap = 0x80002004;

// Where the stand-in view puts the entry point and the table.
constexpr uint32_t kStandInEntryOffset = 0x0100;
constexpr uint32_t kStandInTableOffset = 0x0120;
// A 64 KB view of F0000h from the data of GetSystemFirmwareTable('RSMB')
// (its 8-byte header, then the table): an "_SM_" entry point with both
// checksums right at kStandInEntryOffset and the table behind it. A table
// longer than the view keeps its real length in the entry point, so that the
// dump states how much of it was read. False when the data is too short or
// holds no table.
bool BuildBiosAreaFromFirmwareTable(const uint8_t* rsmb, size_t size, std::vector<uint8_t>* view);
// The same for a bare structure table and a version (used by the stand-in
// and by tests that lay out a machine).
std::vector<uint8_t> BuildBiosArea(const std::vector<uint8_t>& table, uint8_t major, uint8_t minor,
                                   uint32_t entryOffset = kStandInEntryOffset,
                                   uint32_t tableOffset = kStandInTableOffset);
// Structures in a table up to its end-of-table structure (type 127) or its end.
unsigned CountStructures(const uint8_t* table, size_t size);
// Sets the entry point's two checksum bytes (05h..., 15h) so that both sums are 0.
void FixEntryPointChecksums(uint8_t* entry);

// The text of a dump of `mem` (already open): the header, then the sections
// or the reason there are none. Returns the dump's result (kDmiDone,
// kDmiNoSmbios or kDmiMapFailed).
int32_t FormatSmbiosDump(PhysicalMemory& mem, bool check, bool trace, std::string* text);

// The sections of at most `count` structures of a table of `size` bytes.
// Types 0..14 get their sections; other types are stepped over; the
// end-of-table structure (127) ends the walk, and so does a structure that
// does not fit in the table (which the text then says).
// With `trace`, each structure is preceded by comment lines (";") with its
// place, raw formatted bytes and string lengths.
void FormatSmbiosStructures(const uint8_t* table, size_t size, unsigned count, std::string* text,
                            bool trace = false);

// DumpSmbiosText as the system calls it: "DMI.TXT" (check 0) or "PLUDOR.TXT"
// (check 1) in `dir` (with a trailing backslash; "" = the current directory).
int32_t DumpSmbiosText(int check, int trace, const std::wstring& dir, PhysicalMemory& mem, bool windows9x);
int32_t DumpSmbiosText(int check, int trace, const std::wstring& dir = L"");

// "PNP BIOS Version:\t%X.%X\n" into `buffer` (of `size` bytes) when the
// "$PnP" header lies in the BIOS area; the buffer is left as it was when it
// does not. 1 when the area could be read, 0 otherwise.
int ReadPnpBiosVersion(char* buffer, size_t size, PhysicalMemory& mem);
int ReadPnpBiosVersion(char* buffer, size_t size);

}  // namespace quorrel
