#include "smbios.h"

#include <cstdio>
#include <cstring>

#include "appkit/system.h"
#include "appkit/text.h"
#include "appkit/wholefile.h"

namespace quorrel {

namespace {

using appkit::FormatA;

// Section names by structure type (types 0..15).
const char* const kSectionNames[16] = {
    "BIOS",         "System",         "Baseboard",         "Chassis",         "Processor",       "Mem. Controller",
    "Mem. Module",  "Cache",          "Port Connector",    "System Slots",    "On Board Dev.",   "OEM Strings",
    "Config. Options", "BIOS Language", "Group Assoc.",    "Event Log"};
const char* const kSectionTitles[15] = {
    "BIOS Information",
    "Overall System Information ",
    "Base Board (Motherboard) Information",
    "System Enclosure or Chassis Information",
    "Processor Information",
    "Memory Controller Information",
    "Memory Module Information",
    "Cache Information",
    "Port Connector Information",
    "System Slots Information",
    "On Board Devices Information",
    "OEM Information",
    "System Configuration Options",
    "BIOS Language Information",
    "Group Associations"};

const char* const kBiosCharacteristics[28] = {
    "ISA supported: ", "MCA supported: ", "EISA supported: ", "PCI supported: ", "PCMCIA supported: ",
    "Plug and Play supported: ", "APM supported: ", "BIOS Upgradeable: ", "BIOS shadowing allowed: ",
    "VL-VESA supported: ", "ESCD support available: ", "Boot from CD supported: ", "Selectable Boot supported: ",
    "BIOS ROM socketed: ", "Boot from PCMCIA supported: ", "EDD Specification supported: ",
    "Japanese Floppy for NEC 9800 1.2MB supported: ", "Japanese Floppy for Toshiba 1.2MB supported: ",
    "360KB Floppy Services supported: ", "1.2MB Floppy Services supported: ", "720KB Floppy Services supported: ",
    "2.88 MB Floppy Services supported: ", "Print Screen Service supported: ", "8042 Keyboard Services supported: ",
    "Serial Services supported: ", "Printer Services supported: ", "CGA Video Services supported: ", "PC-98: "};

const char* const kChassis[23] = {"Other", "Unknown", "Desktop", "Low Profile Destop", "Pizza Box", "Mini Tower",
                                  "Tower", "Portable", "LapTop", "Notebook", "Hand Held", "Docking Station",
                                  "All in One", "Sub Notebook", "Space-saving", "Lunch Box", "Main Server Chassis",
                                  "Expansion Chassis", "SubChassis", "Bus Expansion Chassis", "Peripheral Chassis",
                                  "RAID Chassis", "Rack Mount Chassis"};
const char* const kProcessorType[6] = {"Other", "Unknown", "Central Processor", "Math Processor", "DSP Processor",
                                       "Video Processor"};
const char* const kProcessorFamily[11] = {"Other", "Unknown", "8086", "80286", "80386", "80486",
                                          "8087", "80287", "80387", "80487", "Pentium Family"};
const char* const kCpuStatus[8] = {"Unknown",
                                   "CPU Enabled",
                                   "CPU Disabled by User(via BIOS setup)",
                                   "CPU Disabled by System BIOS(POST Error)",
                                   "CPU is Idle(waiting to be Enabled)",
                                   "Unknown",
                                   "Unknown",
                                   "Other"};
const char* const kProcessorUpgrade[7] = {"Other", "Unknown", "Daughter Board", "ZIF Socket", "Replaceable Piggy Back",
                                          "None", "LIF Socket"};
const char* const kErrorDetecting[7] = {"Other", "Unknown", "None", "8-bit Parity", "32-bit ECC", "64-bit ECC",
                                        "128-bit ECC"};
const char* const kErrorCorrecting[6] = {"Other", "Unknown", "None", "Single Bit Error Correcting",
                                         "Double Bit Error Correcting", "Eror Scrubbing"};
const char* const kInterleave[7] = {"Other", "Unknown", "One Way Interleave", "Two Way Interleave",
                                    "Four Way Interleave", "Eight Way Interleave", "Sixteen Way Interleave"};
const char* const kSpeeds[5] = {"Other", "Unknown", "70ns", "60ns", "50ns"};
const char* const kMemoryTypes[10] = {"Other", "Unknown", "Standard", "Fast Page Mode", "EDO",
                                      "Parity", "ECC", "SIMM", "DIMM", "SDRAM"};
const char* const kVoltages[3] = {"5V", "3.3V", "2.9V"};
const char* const kSramTypes[7] = {"Other", "Unknown", "Non-Burst", "Burst", "Pipeline Burst", "Synchronous",
                                   "Asynchronous"};
const char* const kConnectors[31] = {"None", "Centronics", "Mini Centronics", "Proprietary", "DB-25 pin male",
                                     "DB-25 pin female", "DB-15 pin male", "DB-15 pin female", "DB-9 pin male",
                                     "DB-9 pin female", "RJ-11", "RJ-45", "50 Pin MiniSCSI", "Mini-DIN", "Micro-DIN",
                                     "PS/2", "Infrared", "HP-HIL", "Access Bus", "SSA SCSI", "Circular DIN-8 male",
                                     "Circular DIN-8 female", "ON Board IDE", "ON Board Floppy",
                                     "9 Pin Dual Inline (pin 10 cut)", "25 Pin Dual Inline (pin 26 cut)",
                                     "50 Pin Dual Inline", "68 Pin Dual Inline", "On Board Sound Input from CD-ROM",
                                     "Mini-Centronics Type-14", "Mini-Centronics Type-26"};
const char* const kConnectorsPc98[5] = {"PC-98", "PC-98Hireso", "PC-H98", "PC-98Note", "PC-98Full"};
const char* const kPorts[28] = {"None", "Parallel Port XT/AT Compatible", "Parallel Port PS/2", "Parallel Port ECP",
                                "Parallel Port EPP", "Parallel Port ECP/EPP", "Serial Port XT/AT Compatible",
                                "Serial Port 16450 Compatible", "Serial Port 16550 Compatible",
                                "Serial Port 16550A Compatible", "SCSI Port", "MIDI Port", "Joy Stick Port",
                                "Keyboard Port", "Mouse Port", "SSA SCSI", "USB", "FireWire (IEEE P1394)",
                                "PCMCI Type I", "PCMCI Type II", "PCMCI Type III", "Cardbus", "Access Bus Port",
                                "SCSI II", "SCSI Wide", "PC-98", "PC-98-Hireso", "PC-H98"};
const char* const kSlotTypes[14] = {"Other", "Unknown", "ISA", "MCA", "EISA", "PCI", "PCMCIA", "VL-VESA",
                                    "Proprietary", "Processor Card Slot", "Proprietary Memory Card Slot",
                                    "I/O Riser Card Slot", "NuBus", "PCI - 66MHz Capable"};
const char* const kSlotTypesPc98[5] = {"PC-98/C20", "PC-98/C40", "PC-98/E", "PC-98/Local Bus", "PC-98/Card"};
const char* const kSlotWidths[7] = {"Other", "Unknown", "8 bit", "16 bit", "32 bit", "64 bit", "128 bit"};
const char* const kSlotUsage[4] = {"Other", "Unknown", "Available", "In Use"};
const char* const kSlotLength[4] = {"Other", "Unknown", "Half Length", "Full Length"};
const char* const kSlotCharacteristics[4] = {" Unknown.", " Provides 5.0 Volts.", " Provides 3.3 Volts.",
                                             " Slot's opening is shared with another slot."};
const char* const kDeviceTypes[7] = {"Other", "Unknown", "Video", "SCSI", "Ethernet", "Token Ring", "Sound"};

// Entry from a 1-based table, or nullptr outside 1..n.
template <size_t N>
const char* FromOne(const char* const (&table)[N], unsigned v) {
  return v >= 1 && v <= N ? table[v - 1] : nullptr;
}
template <size_t N>
const char* FromZero(const char* const (&table)[N], unsigned v) {
  return v < N ? table[v] : nullptr;
}

// The strings of a structure are shown at most this long (the scratch
// buffer the strings pass through).
constexpr size_t kMaxStringShown = 1023;

// 2 to the power n in decimal, for any n.
std::string PowerOfTwo(unsigned n) {
  std::string digits = "1";  // least significant first
  for (unsigned i = 0; i < n; ++i) {
    int carry = 0;
    for (char& d : digits) {
      int v = (d - '0') * 2 + carry;
      d = (char)('0' + v % 10);
      carry = v / 10;
    }
    if (carry) digits.push_back((char)('0' + carry));
  }
  return std::string(digits.rbegin(), digits.rend());
}

// One structure: its formatted area and its strings, every read bounded.
class Structure {
 public:
  Structure(const uint8_t* p, size_t formatted) : p_(p), len_(formatted) {}
  bool Has(size_t off, size_t n) const { return off + n <= len_; }
  bool Byte(size_t off, unsigned* v) const {
    if (!Has(off, 1)) return false;
    *v = p_[off];
    return true;
  }
  bool Word(size_t off, unsigned* v) const {
    if (!Has(off, 2)) return false;
    *v = p_[off] | (p_[off + 1] << 8);
    return true;
  }
  bool Dword(size_t off, uint32_t* v) const {
    if (!Has(off, 4)) return false;
    *v = (uint32_t)p_[off] | ((uint32_t)p_[off + 1] << 8) | ((uint32_t)p_[off + 2] << 16) | ((uint32_t)p_[off + 3] << 24);
    return true;
  }
  size_t Length() const { return len_; }
  std::vector<std::string> strings;

 private:
  const uint8_t* p_;
  size_t len_;
};

// Collects the string set that follows the formatted area, never past `end`.
// Returns the set's size in bytes (the terminating NUL included).
// `complete` tells whether the set's terminating NUL was inside the table.
size_t ReadStrings(const uint8_t* start, const uint8_t* end, std::vector<std::string>* out,
                   bool* complete = nullptr) {
  if (complete) *complete = false;
  const uint8_t* q = start;
  while (q < end) {
    const uint8_t* z = static_cast<const uint8_t*>(std::memchr(q, 0, (size_t)(end - q)));
    if (!z) {
      // The table ends inside a string: what there is of it counts.
      out->emplace_back(reinterpret_cast<const char*>(q), std::min((size_t)(end - q), kMaxStringShown));
      q = end;
      break;
    }
    if (z == q) {
      if (complete) *complete = true;
      ++q;  // the empty string that ends the set
      // A set without strings is two NULs.
      if (out->empty() && q < end && *q == 0) ++q;
      return (size_t)(q - start);
    }
    out->emplace_back(reinterpret_cast<const char*>(q), std::min((size_t)(z - q), kMaxStringShown));
    q = z + 1;
  }
  return (size_t)(q - start);
}

class DumpWriter {
 public:
  explicit DumpWriter(std::string* out) : out_(*out) {}

  void Line(const std::string& s) {
    out_ += s;
    out_ += "\n";
  }
  // "label string" when the structure has string number `byteOff` names.
  void StringLine(const Structure& s, const char* label, size_t byteOff) {
    unsigned n = 0;
    if (s.Byte(byteOff, &n)) StringNumberLine(s, label, n);
  }
  void StringNumberLine(const Structure& s, const char* label, unsigned n) {
    if (n == 0 || n > s.strings.size()) return;
    Line(std::string(label) + " " + s.strings[n - 1]);
  }
  // "label text" when `text` is known, else the label alone.
  void LabelText(const std::string& label, const char* text) { Line(label + (text ? text : "")); }
  // A list of the texts whose bits are set in `value`.
  static std::string List(uint32_t value, const char* const* texts, size_t n) {
    std::string s;
    for (size_t i = 0; i < n; ++i)
      if (value & (1u << i)) s += std::string(texts[i]) + ", ";
    if (s.size() >= 2) s.resize(s.size() - 2);
    return s;
  }

  void Bios(const Structure& s) {
    StringLine(s, "Vendor:", 0x04);
    StringLine(s, "Version:", 0x05);
    unsigned v = 0;
    if (s.Word(0x06, &v)) Line(FormatA("Starting Address Segment: %Xh", v));
    StringLine(s, "Release Date:", 0x08);
    if (s.Byte(0x09, &v)) Line(FormatA("ROM Size: %dKB", ((int)v + 1) * 64));
    uint32_t c = 0;
    if (s.Dword(0x0A, &c)) {
      bool unsupported = (c & (1u << 3)) != 0;
      Line(std::string("BIOS Characteristics: ") + (unsupported ? "Not supported" : ""));
      if (!unsupported)
        for (unsigned bit = 4; bit < 32; ++bit)
          Line(std::string("     ") + kBiosCharacteristics[bit - 4] + ((c & (1u << bit)) ? "Yes" : "No"));
    }
  }

  void FourStrings(const Structure& s, const char* second) {
    StringLine(s, "Manufacturer:", 0x04);
    StringLine(s, second, 0x05);
    StringLine(s, "Version:", 0x06);
    StringLine(s, "Serial Number:", 0x07);
  }

  void Chassis(const Structure& s) {
    StringLine(s, "Manufacturer:", 0x04);
    unsigned v = 0;
    if (s.Byte(0x05, &v)) {
      Line((v & 0x80) ? "Chassis lock: Present" : "Chassis lock: Not present or unknown");
      if (const char* t = FromOne(kChassis, v & 0x7F)) Line(std::string("Chassis: ") + t);
    }
    StringLine(s, "Version:", 0x06);
    StringLine(s, "Serial Number:", 0x07);
    StringLine(s, "Asset Tag Number:", 0x08);
  }

  static std::string FamilyText(unsigned f) {
    if (const char* t = FromOne(kProcessorFamily, f)) return t;
    switch (f) {
      case 0x12: return "M1 Family";
      case 0x19: return "K5 Family";
      case 0x20: return "Power PC Family";
      case 0xA0: return "V30 Family";
      default: break;
    }
    if ((f >= 0x0C && f <= 0x11) || (f >= 0x13 && f <= 0x18) || (f >= 0x1A && f <= 0x1F))
      return FormatA(" (%X)", f);
    return "";
  }

  void Processor(const Structure& s) {
    StringLine(s, "Socket Designation:", 0x04);
    unsigned v = 0;
    if (s.Byte(0x05, &v)) LabelText("Processor Type: ", FromOne(kProcessorType, v));
    if (s.Byte(0x06, &v)) Line("Processor Family: " + FamilyText(v));
    StringLine(s, "Processor Manufacturer:", 0x07);
    uint32_t lo = 0, hi = 0;
    if (s.Dword(0x08, &lo) && s.Dword(0x0C, &hi)) Line(FormatA("Processor ID: %08X%08X", hi, lo));
    StringLine(s, "Processor Version:", 0x10);
    if (s.Byte(0x11, &v)) Line("Voltage Capability: " + List(v, kVoltages, 3));
    if (s.Word(0x12, &v))
      Line(v ? FormatA("External Clock Frequency: %u", v) : std::string("External Clock Frequency: Unknown"));
    if (s.Word(0x14, &v)) Line(v ? FormatA("Max Speed: %uMHz", v) : std::string("Max Speed: Unknown"));
    if (s.Word(0x16, &v)) Line(v ? FormatA("Current Speed: %uMHz", v) : std::string("Current Speed: Unknown"));
    if (s.Byte(0x18, &v)) {
      Line((v & 0x40) ? "CPU Socket Populated: Yes" : "CPU Socket Populated: No");
      Line(std::string("CPU Status: ") + kCpuStatus[v & 7]);
    }
    if (s.Byte(0x19, &v)) LabelText("Processor Upgrade: ", FromOne(kProcessorUpgrade, v));
  }

  void MemoryController(const Structure& s) {
    unsigned v = 0;
    if (s.Byte(0x04, &v)) LabelText("Error Detecting Method: ", FromOne(kErrorDetecting, v));
    if (s.Byte(0x05, &v)) Line("Error Correct Capability: " + List(v, kErrorCorrecting, 6));
    if (s.Byte(0x06, &v)) LabelText("Supported Interleave: ", FromOne(kInterleave, v));
    if (s.Byte(0x07, &v)) LabelText("Current Interleave: ", FromOne(kInterleave, v));
    if (s.Byte(0x08, &v)) Line("Maximum Memory Module Size: " + PowerOfTwo(v) + "MB");
    if (s.Word(0x09, &v)) Line("Supported Speeds: " + List(v, kSpeeds, 5));
    if (s.Word(0x0B, &v)) Line("Supported Memory Types: " + List(v, kMemoryTypes, 9));
    if (s.Byte(0x0D, &v)) Line("Memory Module Voltage: " + List(v, kVoltages, 3));
    unsigned slots = 0;
    if (s.Byte(0x0E, &slots)) {
      for (unsigned i = 0; i < slots; ++i) {
        unsigned handle = 0;
        if (!s.Word(0x0F + 2 * i, &handle)) break;
        Line(FormatA(";Index: %u", handle));
      }
    }
  }

  static std::string ModuleSize(unsigned v) {
    switch (v & 0x7F) {
      case 0x7D: return "Not Determinable";
      case 0x7E: return "No Memory Has Been Enabled";
      case 0x7F: return "Not Installed";
      default: break;
    }
    return PowerOfTwo(v & 0x7F) + "MB" + ((v & 0x80) ? "(Double-Bank)" : "(Single-Bank)");
  }

  void MemoryModule(const Structure& s) {
    StringLine(s, "Socket Designation:", 0x04);
    unsigned v = 0;
    if (s.Byte(0x05, &v)) {
      std::string banks;
      if (v == 0xFF) {
        banks = "No Connection";
      } else {
        if ((v >> 4) != 0xF) banks += FormatA("%u, ", v >> 4);
        if ((v & 0xF) != 0xF) banks += FormatA("%u, ", v & 0xF);
        if (banks.size() >= 2) banks.resize(banks.size() - 2);
      }
      Line("Bank Connections: " + banks);
    }
    if (s.Byte(0x06, &v)) Line(v ? FormatA("Current Speed: %uns", v) : std::string("Current Speed: Unknown"));
    if (s.Word(0x07, &v)) {
      const char* type = "Other";
      for (unsigned bit = 0; bit <= 10; ++bit) {
        if (bit == 9 || !(v & (1u << bit))) continue;
        type = kMemoryTypes[bit == 10 ? 9 : bit];
        break;
      }
      Line(std::string("Current Memory Type: ") + type);
    }
    if (s.Byte(0x09, &v)) Line("Installed Size: " + ModuleSize(v));
    if (s.Byte(0x0A, &v)) Line("Enabled Size: " + ModuleSize(v));
    if (s.Byte(0x0B, &v)) {
      std::string errors = List(v & 3, (const char* const[]){"Uncorrectable Errors", "Correctable Errors"}, 2);
      Line("Error Status: " + (errors.empty() ? std::string("None") : errors));
    }
  }

  static unsigned long CacheSize(unsigned w) {
    unsigned long size = w & 0x7FFF;
    return (w & 0x8000) ? size * 64 : size;
  }

  void Cache(const Structure& s) {
    StringLine(s, "Socket Designation:", 0x04);
    unsigned v = 0;
    if (s.Word(0x05, &v)) {
      Line("Cache Configuration:");
      Line(FormatA("     Cache Level: %u", (v & 7) + 1));
      Line((v & 0x08) ? "     Cache Socketed: Yes" : "     Cache Socketed: No");
      static const char* const kLocation[4] = {"Internal", "External", "Unknown", "Unknown"};
      Line(std::string("     Location: ") + kLocation[(v >> 5) & 3]);
      Line((v & 0x80) ? "     Enable/Disable(At Boot Time): Enabled" : "     Enable/Disable(At Boot Time): Disabled");
      static const char* const kMode[4] = {"Write Through", "Write Back", "Varies with Memory Address", "Unknown"};
      Line(std::string("     Operation Mode: ") + kMode[(v >> 8) & 3]);
    }
    if (s.Word(0x07, &v)) Line(FormatA("Maximum Cache Size: %luKB", CacheSize(v)));
    if (s.Word(0x09, &v)) Line(FormatA("Installed Size: %luKB", CacheSize(v)));
    if (s.Word(0x0B, &v)) Line("Supported SRAM Type: " + List(v, kSramTypes, 7));
    if (s.Word(0x0D, &v)) Line("Current SRAM Type: " + List(v, kSramTypes, 7));
  }

  void ConnectorType(const Structure& s, const char* label, size_t typeOff, size_t stringOff) {
    unsigned v = 0;
    if (!s.Byte(typeOff, &v)) return;
    if (v == 0xFF) {
      StringLine(s, label, stringOff);
      return;
    }
    const char* text = FromZero(kConnectors, v);
    if (!text && v >= 0xA0 && v <= 0xA4) text = kConnectorsPc98[v - 0xA0];
    LabelText(std::string(label) + " ", text);
  }

  void PortConnector(const Structure& s) {
    StringLine(s, "Internal Reference Designator:", 0x04);
    ConnectorType(s, "Internal Connector Type:", 0x05, 0x04);
    StringLine(s, "External Reference Designator:", 0x06);
    ConnectorType(s, "External Connector Type:", 0x07, 0x06);
    unsigned v = 0;
    if (s.Byte(0x08, &v)) {
      const char* text = FromZero(kPorts, v);
      if (v == 0xA0) text = "8251 Compatible";
      if (v == 0xA1) text = "8251 FIFO Compatible";
      if (v == 0xFF) text = "Other";
      LabelText("Port Type: ", text);
    }
  }

  void SystemSlots(const Structure& s) {
    StringLine(s, "Slot Designation:", 0x04);
    unsigned v = 0;
    if (s.Byte(0x05, &v)) {
      const char* t = FromOne(kSlotTypes, v);
      if (!t && v >= 0xA0 && v <= 0xA4) t = kSlotTypesPc98[v - 0xA0];
      if (t) Line(FormatA("Slot Type: %s", t));
    }
    if (s.Byte(0x06, &v))
      if (const char* t = FromOne(kSlotWidths, v)) Line(FormatA("Slot Data Bus Width: %s", t));
    if (s.Byte(0x07, &v))
      if (const char* t = FromOne(kSlotUsage, v)) Line(FormatA("Slot Usage: %s", t));
    if (s.Byte(0x08, &v))
      if (const char* t = FromOne(kSlotLength, v)) Line(FormatA("Slot Length: %s", t));
    if (s.Word(0x09, &v)) Line(FormatA("Slot ID: %Xh", v));
    if (s.Byte(0x0B, &v)) {
      std::string line = "Slot Characteristics:";
      for (unsigned bit = 0; bit < 4; ++bit)
        if (v & (1u << bit)) line += kSlotCharacteristics[bit];
      Line(line + " ");
    }
  }

  void OnBoardDevices(const Structure& s) {
    for (size_t off = 0x04; s.Has(off, 2); off += 2) {
      unsigned type = 0, text = 0;
      s.Byte(off, &type);
      s.Byte(off + 1, &text);
      Line((type & 0x80) ? "Device Status: Enabled" : "Device Status: Disabled");
      if (const char* t = FromOne(kDeviceTypes, type & 0x7F)) Line(FormatA("Device Type: %s", t));
      StringNumberLine(s, "Description:", text);
    }
  }

  void BiosLanguage(const Structure& s) {
    unsigned v = 0;
    if (s.Byte(0x04, &v)) Line(FormatA("Number of Languages Available: %d", (int)v));
    StringLine(s, "Current Language:", 0x15);
    Line("Available Languages:");
    for (size_t i = 0; i < s.strings.size(); ++i) StringNumberLine(s, "   ", (unsigned)i + 1);
  }

  void GroupAssociations(const Structure& s) {
    StringLine(s, "Group Name:", 0x04);
    for (size_t off = 0x05; s.Has(off, 3); off += 3) {
      unsigned type = 0;
      s.Byte(off, &type);
      if (type < 16) Line(std::string("   ") + kSectionNames[type]);
    }
  }

  void Section(unsigned type, unsigned handle, const Structure& s) {
    Line(std::string("[") + kSectionNames[type] + "]");
    Line(kSectionTitles[type]);
    Line(FormatA(";Handle: %u", handle));
    unsigned v = 0;
    switch (type) {
      case 0: Bios(s); break;
      case 1: FourStrings(s, "Product Name:"); break;
      case 2: FourStrings(s, "Product:"); break;
      case 3: Chassis(s); break;
      case 4: Processor(s); break;
      case 5: MemoryController(s); break;
      case 6: MemoryModule(s); break;
      case 7: Cache(s); break;
      case 8: PortConnector(s); break;
      case 9: SystemSlots(s); break;
      case 10: OnBoardDevices(s); break;
      case 11:
        if (s.Byte(0x04, &v)) StringNumberLine(s, "OEM Strings", v);
        break;
      case 12:
        if (s.Byte(0x04, &v)) StringNumberLine(s, "System Configuration Options:", v);
        break;
      case 13: BiosLanguage(s); break;
      case 14: GroupAssociations(s); break;
      default: break;
    }
    Line(" ");
  }

 private:
  std::string& out_;
};

uint8_t ByteSum(const uint8_t* p, size_t n) {
  uint8_t sum = 0;
  for (size_t i = 0; i < n; ++i) sum = (uint8_t)(sum + p[i]);
  return sum;
}

unsigned Le16(const uint8_t* p) { return p[0] | (p[1] << 8); }
uint32_t Le32(const uint8_t* p) {
  return (uint32_t)p[0] | ((uint32_t)p[1] << 8) | ((uint32_t)p[2] << 16) | ((uint32_t)p[3] << 24);
}

bool EntryPointValid(const uint8_t* e) {
  unsigned len = e[5];
  if (len < 0x1F) return false;  // too short to hold the table's address and count
  if (len > 32) len = 32;
  return ByteSum(e, len) == 0 && ByteSum(e + 0x10, 15) == 0;
}

}  // namespace

void FixEntryPointChecksums(uint8_t* e) {
  e[0x15] = 0;
  e[0x15] = (uint8_t)(0x100 - ByteSum(e + 0x10, 15));
  e[0x04] = 0;
  unsigned len = e[5] > 32 ? 32 : e[5];
  e[0x04] = (uint8_t)(0x100 - ByteSum(e, len));
}

unsigned CountStructures(const uint8_t* table, size_t size) {
  unsigned count = 0;
  size_t pos = 0;
  while (pos + 4 <= size) {
    unsigned type = table[pos], len = table[pos + 1];
    if (len < 4 || pos + len > size) break;
    ++count;
    std::vector<std::string> strings;
    pos += len + ReadStrings(table + pos + len, table + size, &strings);
    if (type == 127) break;
  }
  return count;
}

std::vector<uint8_t> BuildBiosArea(const std::vector<uint8_t>& table, uint8_t major, uint8_t minor,
                                   uint32_t entryOffset, uint32_t tableOffset) {
  std::vector<uint8_t> view(kBiosAreaSize, 0);
  if (entryOffset + 0x20 > kBiosAreaSize) return view;
  uint8_t* e = view.data() + entryOffset;
  std::memcpy(e, "_SM_", 4);
  e[0x05] = 0x1F;
  e[0x06] = major;
  e[0x07] = minor;
  // The largest structure (formatted area and strings).
  unsigned maxSize = 0;
  for (size_t pos = 0; pos + 4 <= table.size();) {
    unsigned len = table[pos + 1];
    if (len < 4 || pos + len > table.size()) break;
    std::vector<std::string> strings;
    size_t size = len + ReadStrings(table.data() + pos + len, table.data() + table.size(), &strings);
    if (size > maxSize) maxSize = (unsigned)size;
    pos += size;
  }
  e[0x08] = (uint8_t)(maxSize & 0xFF);
  e[0x09] = (uint8_t)(maxSize >> 8);
  std::memcpy(e + 0x10, "_DMI_", 5);
  size_t tableLength = table.size() > 0xFFFF ? 0xFFFF : table.size();
  e[0x16] = (uint8_t)(tableLength & 0xFF);
  e[0x17] = (uint8_t)(tableLength >> 8);
  uint32_t address = kBiosAreaBase + tableOffset;
  for (int i = 0; i < 4; ++i) e[0x18 + i] = (uint8_t)(address >> (8 * i));
  unsigned count = CountStructures(table.data(), table.size());
  e[0x1C] = (uint8_t)(count & 0xFF);
  e[0x1D] = (uint8_t)(count >> 8);
  e[0x1E] = (uint8_t)(((major & 0xF) << 4) | (minor & 0xF));
  FixEntryPointChecksums(e);
  if (tableOffset < kBiosAreaSize) {
    size_t room = kBiosAreaSize - tableOffset;
    std::memcpy(view.data() + tableOffset, table.data(), table.size() < room ? table.size() : room);
  }
  return view;
}

bool BuildBiosAreaFromFirmwareTable(const uint8_t* rsmb, size_t size, std::vector<uint8_t>* view) {
  // RawSMBIOSData: calling method, major, minor, DMI revision, 32-bit length, table.
  if (!rsmb || size < 8) return false;
  uint32_t length = Le32(rsmb + 4);
  if (length > size - 8) length = (uint32_t)(size - 8);
  if (length == 0) return false;
  std::vector<uint8_t> table(rsmb + 8, rsmb + 8 + length);
  *view = BuildBiosArea(table, rsmb[1], rsmb[2]);
  return true;
}

namespace {
// The trace's comment lines of one structure: where it is, its raw
// formatted bytes, and its strings' lengths.
void TraceStructure(DumpWriter& w, unsigned number, size_t offset, const uint8_t* p, unsigned len,
                    const std::vector<std::string>& strings) {
  w.Line(FormatA(";Structure %u at offset %u: type %u, length %u, handle %u", number, (unsigned)offset, p[0], len,
                 Le16(p + 2)));
  std::string raw = ";Raw:";
  for (unsigned i = 0; i < len; ++i) raw += FormatA(" %02X", p[i]);
  w.Line(raw);
  std::string lengths = FormatA(";Strings: %u", (unsigned)strings.size());
  for (size_t i = 0; i < strings.size(); ++i) lengths += FormatA(i ? ", %u" : " (lengths %u", (unsigned)strings[i].size());
  if (!strings.empty()) lengths += ")";
  w.Line(lengths);
}
}  // namespace

void FormatSmbiosStructures(const uint8_t* base, size_t size, unsigned count, std::string* text, bool trace) {
  DumpWriter w(text);
  size_t pos = 0;
  for (unsigned i = 0; i < count && pos < size; ++i) {
    if (size - pos < 4 || base[pos + 1] < 4 || base[pos + 1] > size - pos) {
      w.Line(FormatA(";The structure table ends inside structure %u (offset %u).", i + 1, (unsigned)pos));
      break;
    }
    unsigned type = base[pos], len = base[pos + 1];
    Structure s(base + pos, len);
    bool whole = false;
    size_t setSize = ReadStrings(base + pos + len, base + size, &s.strings, &whole);
    if (trace) TraceStructure(w, i + 1, pos, base + pos, len, s.strings);
    if (type <= 14) w.Section(type, Le16(base + pos + 2), s);
    if (!whole) {
      w.Line(FormatA(";The structure table ends inside structure %u (offset %u).", i + 1, (unsigned)pos));
      break;
    }
    if (type == 127) break;  // end of table
    pos += len + setSize;
  }
}

int32_t FormatSmbiosDump(PhysicalMemory& mem, bool check, bool trace, std::string* text) {
  std::string& out = *text;
  DumpWriter w(text);
  if (trace) w.Line(";DMI Info (-DEBUG)");
  else if (!check) w.Line(";DMI Info");
  if (!check) w.Line(";");

  std::vector<uint8_t> view;
  if (!mem.Read(kBiosAreaBase, kBiosAreaSize, &view)) {
    out.clear();  // nothing to write at all
    return kDmiMapFailed;
  }
  if (view.size() > kBiosAreaSize) view.resize(kBiosAreaSize);

  int32_t result = kDmiNoSmbios;
  bool anchorSeen = false;
  const uint8_t* entry = nullptr;
  for (size_t off = 0; off + 0x20 <= view.size() && off <= 0xFFB0; off += 16) {
    if (std::memcmp(view.data() + off, "_SM_", 4) != 0) continue;
    anchorSeen = true;
    if (EntryPointValid(view.data() + off)) {
      entry = view.data() + off;
      break;
    }
  }
  if (!entry) {
    // A damaged entry point is no more the machine's data than a missing one.
    w.Line(anchorSeen ? "Your system's DMI BIOS entry point is damaged (checksum error)."
                      : "Your system does not support DMI BIOS 2.1 or above");
    return result;
  }
  result = kDmiDone;

  unsigned tableLength = Le16(entry + 0x16);
  uint32_t tableAddress = Le32(entry + 0x18);
  unsigned count = Le16(entry + 0x1C);
  std::string versionLine = FormatA("DMI BIOS Version\t%d.%d\n", entry[6], entry[7]);
  if (trace) {
    w.Line(FormatA(";Entry point: version %d.%d, table at %08Xh, %u bytes, %u structures", entry[6], entry[7],
                   tableAddress, tableLength, count));
    w.Line(FormatA(";Entry point: length %u, checksum %02Xh, intermediate checksum %02Xh, largest structure %u",
                   entry[5], entry[4], entry[0x15], Le16(entry + 8)));
  }
  if (check) {
    out += versionLine;
    return result;
  }

  // The table: inside the BIOS area from the view, elsewhere mapped on its own.
  std::vector<uint8_t> table;
  if (tableAddress >= kBiosAreaBase && tableAddress < kBiosAreaBase + view.size()) {
    size_t off = tableAddress - kBiosAreaBase;
    size_t n = std::min<size_t>(tableLength, view.size() - off);
    table.assign(view.begin() + off, view.begin() + off + n);
  } else if (tableLength > 0) {
    if (!mem.Read(tableAddress, tableLength, &table)) {
      w.Line(FormatA("The DMI structure table at %08Xh could not be read.", tableAddress));
      return kDmiMapFailed;
    }
    if (table.size() > tableLength) table.resize(tableLength);
  }
  if (table.size() < tableLength)
    w.Line(FormatA(";The structure table was cut: %u of %u bytes could be read.", (unsigned)table.size(),
                   tableLength));

  FormatSmbiosStructures(table.data(), table.size(), count, text, trace);
  return result;
}

namespace {

bool DeleteIfPresent(const std::wstring& path) {
  if (::GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
  return ::DeleteFileW(path.c_str()) != FALSE;
}

}  // namespace

int32_t DumpSmbiosText(int check, int trace, const std::wstring& dir, PhysicalMemory& mem, bool windows9x) {
  if (windows9x) return kDmiNoSmbios;
  std::wstring path = dir + (check ? L"PLUDOR.TXT" : L"DMI.TXT");
  DeleteIfPresent(path);
  HANDLE f = appkit::CreateFileForWriting(path, FILE_SHARE_READ | FILE_SHARE_WRITE, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (f == INVALID_HANDLE_VALUE) return kDmiCannotCreate;
  if (!mem.Open()) {
    ::CloseHandle(f);
    ::DeleteFileW(path.c_str());
    return kDmiNoDriver;
  }
  std::string text;
  int32_t result = FormatSmbiosDump(mem, check != 0, trace != 0, &text);
  mem.Close();
  if (result == kDmiMapFailed && text.empty()) {
    // The BIOS area itself could not be mapped.
    ::CloseHandle(f);
    ::DeleteFileW(path.c_str());
    return kDmiMapFailed;
  }
  // Text mode: every line end is CR LF. A dump the disk has no room for
  // goes as a whole, so that no cut file is read as the machine's tables.
  bool written = appkit::AppendWhole(f, appkit::WithCrLf(text));
  if (!::CloseHandle(f) || !written) {
    result = kDmiNoDriver;
    ::DeleteFileW(path.c_str());
  }
  if (check && result != kDmiDone) ::DeleteFileW(path.c_str());
  return result;
}

int32_t DumpSmbiosText(int check, int trace, const std::wstring& dir) {
  if (appkit::IsWindows9x()) return kDmiNoSmbios;
  auto mem = MakeMachinePhysicalMemory();
  return DumpSmbiosText(check, trace, dir, *mem, false);
}

int ReadPnpBiosVersion(char* buffer, size_t size, PhysicalMemory& mem) {
  if (!mem.Open()) return 0;
  std::vector<uint8_t> view;
  bool mapped = mem.Read(kBiosAreaBase, kBiosAreaSize, &view);
  if (mapped) {
    for (size_t off = 0; off + 5 <= view.size() && off <= 0xFFB0; off += 16) {
      if (std::memcmp(view.data() + off, "$PnP", 4) != 0) continue;
      unsigned version = view[off + 4];
      if (buffer && size) std::snprintf(buffer, size, "PNP BIOS Version:\t%X.%X\n", version >> 4, version & 0xF);
      break;
    }
  }
  mem.Close();
  return mapped ? 1 : 0;
}

int ReadPnpBiosVersion(char* buffer, size_t size) {
  auto mem = MakeMachinePhysicalMemory();
  return ReadPnpBiosVersion(buffer, size, *mem);
}

}  // namespace quorrel
