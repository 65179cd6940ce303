#include "smbios_images.h"

namespace smbiostest {

namespace {

// BIOS characteristics of a late-90s board: ISA, PCI, PnP, APM, upgradeable,
// shadowing, boot from CD, selectable boot, EDD, 1.2MB/720KB floppy
// services, print screen, 8042, serial, printer, CGA.
constexpr uint64_t kClassicBiosFlags = (1u << 4) | (1u << 7) | (1u << 9) | (1u << 10) | (1u << 11) | (1u << 12) |
                                       (1u << 15) | (1u << 16) | (1u << 19) | (1u << 23) | (1u << 24) |
                                       (1u << 25) | (1u << 26) | (1u << 27) | (1u << 28) | (1u << 29) | (1u << 30);

}  // namespace

Table Smbios21Machine() {
  Table t;
  t.Add(0, 0x0000,
        Fields().B(1).B(2).W(0xE800).B(3).B(3).Q(kClassicBiosFlags),
        {"Tessel Software Inc.", "4.51 PG", "07/15/98"});
  t.Add(1, 0x0001, Fields().B(1).B(2).B(3).B(4).Zero(16).B(6),
        {"Orlan Systems", "OS-440BX", "Rev 1.0", "SN-0042-7781"});
  t.Add(2, 0x0002, Fields().B(1).B(2).B(3).B(0), {"Orlan Systems", "BX-Pro", "1.01"});
  t.Add(3, 0x0003, Fields().B(1).B(0x87).B(2).B(3).B(0), {"Orlan Systems", "Mini Tower 2", "CH-991"});
  // Processor: Pentium family, 5V and 3.3V, 66 MHz bus, 450 MHz, populated
  // and enabled, ZIF socket; the L1/L2 cache handles of 2.1.
  t.Add(4, 0x0004,
        Fields().B(1).B(3).B(0x0B).B(2).D(0x0383FBFF).D(0x00000652).B(3).B(0x03).W(66).W(500).W(450).B(0x41).B(4)
            .W(0x000A).W(0x000B).W(0xFFFF),
        {"Slot 1", "Gentrix", "Pentium II"});
  // Memory controller: 64-bit ECC, single-bit correcting, one-way
  // interleave, 2^7 MB modules, 60ns and 70ns, EDO/DIMM, 3.3V, four slots.
  t.Add(5, 0x0005,
        Fields().B(6).B(0x08).B(3).B(3).B(7).W(0x000C).W(0x0190).B(0x02).B(4).W(0x0006).W(0x0007).W(0x0008)
            .W(0x0009).B(0x04));
  // Modules: banks 0/1, two populated, one empty, one with no connection.
  t.Add(6, 0x0006, Fields().B(1).B(0x01).B(60).W(0x0100).B(0x86).B(0x86).B(0x00), {"DIMM0"});
  t.Add(6, 0x0007, Fields().B(1).B(0x23).B(0).W(0x0100).B(0x07).B(0x07).B(0x02), {"DIMM1"});
  t.Add(6, 0x0008, Fields().B(1).B(0xF1).B(70).W(0x0010).B(0x7F).B(0x7F).B(0x00), {"DIMM2"});
  t.Add(6, 0x0009, Fields().B(0).B(0xFF).B(0).W(0x0000).B(0x7D).B(0x7E).B(0x03));
  // Caches: L1 internal write back; L2 external, sizes in 64K granules.
  t.Add(7, 0x000A, Fields().B(1).W(0x0180).W(0x0020).W(0x0020).W(0x0020).W(0x0020), {"L1 Cache"});
  t.Add(7, 0x000B, Fields().B(1).W(0x01A9).W(0x8010).W(0x0200).W(0x0018).W(0x0010), {"L2 Cache"});
  t.Add(8, 0x000C, Fields().B(1).B(0x0F).B(2).B(0x0F).B(0x0D), {"J1", "Keyboard"});
  t.Add(8, 0x000D, Fields().B(1).B(0xFF).B(0).B(0x08).B(0x09), {"COM A header"});
  t.Add(8, 0x000E, Fields().B(0).B(0xA2).B(1).B(0x05).B(0xA0), {"LPT"});
  t.Add(9, 0x000F, Fields().B(1).B(0x06).B(0x05).B(0x03).B(0x04).W(0x0001).B(0x06), {"PCI1"});
  t.Add(9, 0x0010, Fields().B(1).B(0x03).B(0x04).B(0x04).B(0x03).W(0x0000).B(0x0D), {"ISA1"});
  t.Add(10, 0x0011, Fields().B(0x83).B(1).B(0x07).B(2), {"On-board video", "On-board sound"});
  t.Add(11, 0x0012, Fields().B(2), {"Orlan OEM string one", "Orlan OEM string two"});
  t.Add(12, 0x0013, Fields().B(1), {"JP1: 1-2 normal, 2-3 clear CMOS"});
  t.Add(13, 0x0014, Fields().B(2).B(0).Zero(15).B(1), {"en|US|iso8859-1", "fr|CA|iso8859-1"});
  t.Add(14, 0x0015, Fields().B(1).B(4).W(0x0004).B(7).W(0x000A).B(7).W(0x000B), {"Cpu Module"});
  t.End(0x0016);
  return t;
}

Table Smbios23Machine() {
  Table t;
  // BIOS with the two extension bytes of 2.3; characteristics "not supported".
  t.Add(0, 0x0000, Fields().B(1).B(2).W(0xF000).B(3).B(7).Q(0x08).B(0x33).B(0x01),
        {"Tessel Software Inc.", "6.00 PG", "11/02/2001"});
  t.Add(1, 0x0001, Fields().B(1).B(2).B(0).B(3).Zero(16).B(6), {"Brannock", "Lodestar 815", "BR-12"});
  // Base board with the fields of 2.3 (asset tag, features, location, chassis).
  t.Add(2, 0x0002, Fields().B(1).B(2).B(3).B(4).B(0).B(0x09).B(0).W(0x0003).B(0x0A).B(0),
        {"Brannock", "815EPT", "1.0", "MB-7781"});
  t.Add(3, 0x0003, Fields().B(1).B(0x03).B(0).B(2).B(3).B(3).B(3).B(3).B(3).D(0).B(1).B(0).B(0),
        {"Brannock", "CH-3", "Asset 17"});
  // Processor of 2.3: serial/asset/part strings; family outside the names
  // (0Eh), status "disabled by BIOS".
  t.Add(4, 0x0004,
        Fields().B(1).B(3).B(0x0E).B(2).D(0x0387FBFF).D(0x0000068A).B(3).B(0x02).W(133).W(1000).W(0).B(0x43)
            .B(0x0D).W(0x0007).W(0x0008).W(0xFFFF).B(0).B(0).B(0),
        {"Socket 370", "Gentrix", "Pentium III"});
  // A Plug and Play structure type of a later version between sections.
  t.Add(16, 0x0005, Fields().B(3).B(3).B(3).D(0x00080000).W(0xFFFE).W(2));
  t.Add(17, 0x0006, Fields().W(0x0005).W(0xFFFE).W(64).W(64).W(256).B(9).B(0).B(1).B(2).B(0x12).W(0x0080),
        {"DIMM0", "BANK0"});
  t.Add(7, 0x0007, Fields().B(1).W(0x0180).W(0x0010).W(0x0010).W(0x0002).W(0x0002).B(0).B(4).B(3).B(5),
        {"L1"});
  t.Add(7, 0x0008, Fields().B(1).W(0x0281).W(0x0100).W(0x0100).W(0x0008).W(0x0008).B(0).B(5).B(5).B(7),
        {"L2"});
  t.Add(15, 0x0009, Fields().W(0x0400).W(0).W(0x0010).B(1).B(0x01).B(0).D(0).D(0).B(1).B(0));
  t.Add(128, 0x000A, Fields().D(0x12345678), {"Vendor private"});
  t.Add(9, 0x000B, Fields().B(1).B(0x0E).B(0x05).B(0x03).B(0x04).W(0x0002).B(0x04).B(0x01), {"AGP"});
  t.Add(13, 0x000C, Fields().B(1).B(0).Zero(15).B(1), {"en|US|iso8859-1"});
  t.Add(32, 0x000D, Fields().Zero(6).B(0));
  t.End(0x000E);
  return t;
}

Table Smbios24Machine() {
  Table t;
  // BIOS of 2.4 (release and firmware numbers); the version string is
  // missing (number 0) and the date names a string that is not there.
  t.Add(0, 0x0000, Fields().B(1).B(0).W(0xE000).B(5).B(0x0F).Q(0x000000007FCBDE90ull).B(0xFF).B(0x03).B(1).B(2)
                      .B(0xFF).B(0xFF),
        {"Tessel Software Inc."});
  t.Add(1, 0x0001, Fields().B(1).B(2).B(3).B(4).Zero(16).B(6).B(5).B(6),
        {"Ferrand", "FX 5000", "2.2", "FX-99-0001", "SKU-7", "FX"});
  t.Add(4, 0x0004,
        Fields().B(1).B(3).B(0xB1).B(2).D(0xBFEBFBFF).D(0x00000F29).B(3).B(0x02).W(200).W(3800).W(3000).B(0x41)
            .B(0x0F).W(0x0010).W(0x0011).W(0x0012).B(0).B(0).B(0).B(2).B(2).B(4),
        {"LGA775", "Gentrix", "Gentrix(R) CPU 3.00GHz"});
  // 2.4 memory controller with two slots and the enabled ECC byte.
  t.Add(5, 0x0005, Fields().B(3).B(0x04).B(3).B(3).B(0x0A).W(0x0002).W(0x0500).B(0x06).B(2).W(0x0006).W(0x0007).B(0x04));
  t.Add(6, 0x0006, Fields().B(1).B(0x10).B(0).W(0x0400).B(0x89).B(0x89).B(0x00), {"DIMM_A"});
  t.Add(6, 0x0007, Fields().B(1).B(0x32).B(0).W(0x0400).B(0x09).B(0x09).B(0x00), {"DIMM_B"});
  // On-board devices: an entry type outside the names and a disabled one.
  t.Add(10, 0x0008, Fields().B(0x85).B(1).B(0x08).B(0).B(0x03).B(2), {"Gigabit LAN", "Legacy video"});
  // 25 OEM strings: the count names the last one.
  std::vector<std::string> oem;
  for (int i = 1; i <= 25; ++i) oem.push_back("OEM-" + std::to_string(i));
  t.Add(11, 0x0009, Fields().B(25), oem);
  t.Add(12, 0x000A, Fields().B(0));
  t.Add(14, 0x000B, Fields().B(1).B(4).W(0x0004).B(20).W(0x0020).B(5).W(0x0005), {"Firmware group"});
  t.End(0x000C);
  return t;
}

Table Smbios3Machine() {
  Table t;
  t.Add(0, 0x0000,
        Fields().B(1).B(2).W(0xF000).B(3).B(0xFF).Q(0x000000017F8B9A80ull).B(0x03).B(0x0D).B(5).B(17).B(0xFF)
            .B(0xFF).W(0x0020),
        {"Tessel Software Inc.", "V1.17", "03/14/2023"});
  t.Add(1, 0x0001, Fields().B(1).B(2).B(3).B(4).Q(0x1122334455667788ull).Q(0x99AABBCCDDEEFF00ull).B(6).B(5).B(6),
        {"Halden Computing", "Halden Vantage 15", "1.0", "HV15-000123", "HV15-SKU", "Vantage"});
  t.Add(2, 0x0002, Fields().B(1).B(2).B(3).B(4).B(5).B(0x09).B(6).W(0x0003).B(0x0A).B(0),
        {"Halden Computing", "HV15-MB", "A01", "MB123", "Asset-5", "Board location"});
  t.Add(3, 0x0003, Fields().B(1).B(0x0A).B(2).B(3).B(4).B(3).B(3).B(3).B(3).D(0).B(1).B(0).B(0).B(0),
        {"Halden Computing", "Chassis Version", "CH-77", "No Asset Tag"});
  // Processor of 3.0: family 0xFE (look at family 2), core counts.
  t.Add(4, 0x0004,
        Fields().B(1).B(3).B(0xFE).B(2).D(0xBFEBFBFF).D(0x000906EA).B(3).B(0x80).W(100).W(4700).W(2600).B(0x41)
            .B(0x01).W(0x0010).W(0x0011).W(0x0012).B(4).B(5).B(6).B(6).B(6).B(12).W(0x00FC).W(0x00C6).W(6).W(6)
            .W(12),
        {"U3E1", "Gentrix(R) Corporation", "Gentrix(R) Core(TM) i7 CPU @ 2.60GHz", "To Be Filled", "Unknown",
         "Part"});
  t.Add(7, 0x0010, Fields().B(1).W(0x0180).W(0x8006).W(0x8006).W(0x0020).W(0x0020).B(0).B(4).B(4).B(7)
                       .D(0x00000180).D(0x00000180),
        {"L1 Cache"});
  t.Add(7, 0x0012, Fields().B(1).W(0x0182).W(0xFFFF).W(0xFFFF).W(0x0020).W(0x0020).B(0).B(5).B(5).B(8)
                       .D(0x80000100).D(0x80000100),
        {"L3 Cache"});
  t.Add(8, 0x0020, Fields().B(1).B(0).B(2).B(0x12).B(0x10), {"J1", "USB 1"});
  t.Add(9, 0x0021, Fields().B(1).B(0xA5).B(0x0D).B(0x04).B(0x04).W(0x0001).B(0x0C).B(0x03).W(0).B(0).B(0), {"M.2 slot"});
  t.Add(16, 0x0030, Fields().B(3).B(3).B(3).D(0x80000000).W(0xFFFE).W(2).Q(0x0000000400000000ull));
  t.Add(17, 0x0031, Fields().W(0x0030).W(0xFFFE).W(64).W(64).W(0x4000).B(0x0D).B(0).B(1).B(2).B(0x1A).W(0x0080),
        {"ChannelA-DIMM0", "BANK 0"});
  t.Add(19, 0x0032, Fields().D(0).D(0x00FFFFFF).W(0x0030).B(2));
  t.Add(11, 0x0033, Fields().B(1), {"Halden OEM"});
  t.Add(13, 0x0034, Fields().B(2).B(1).Zero(15).B(2), {"en|US|iso8859-1", "de|DE|iso8859-1"});
  t.Add(221, 0x0035, Fields().B(0).B(1), {"OEM data"});
  t.End(0x0036);
  return t;
}

Table LargeMachine() {
  Table t = Smbios21Machine();
  t.bytes.resize(t.bytes.size() - 6);  // without its end-of-table structure
  for (unsigned i = 0; i < 60; ++i)
    t.Add(9, 0x0100 + i, Fields().B(1).B(0x06).B(0x05).B(i % 4 + 1).B(0x04).W(i).B(0x06),
          {"PCI slot number " + std::to_string(i + 1)});
  t.Add(8, 0x0200, Fields().B(1).B(0x0B).B(2).B(0x0B).B(0x1F), {"J99", "Last connector of a long table"});
  t.End(0x0201);
  return t;
}

}  // namespace smbiostest
