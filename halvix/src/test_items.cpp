#include "test_items.h"

namespace halvix {

namespace {

using G = ItemGroup;
using C = ItemCondition;

// Whether the row applies on this platform (it may still be switched off).
bool Applies(const TestItem& t, const ItemPlatform& p) {
  switch (t.condition) {
    case C::Always: return t.group != G::Reserved;
    case C::Corvith: return p.corvithFound;
    case C::Pernath: return p.pernathFound;
    case C::Only9x: return p.windows9x;
    case C::Usb: return p.windows9x || p.ntMajor >= 5;
    case C::OnlyNt: return !p.windows9x;
  }
  return false;
}

// Whether the row takes a sequence number (an icon) on this platform.
bool Counted(const TestItem& t, const ItemPlatform& p) {
  switch (t.condition) {
    case C::Always: return true;
    case C::Corvith: return p.corvithFound;
    case C::Pernath: return p.pernathFound;
    case C::Only9x: return p.windows9x;
    case C::Usb: return true;
    case C::OnlyNt: return !p.windows9x;
  }
  return false;
}

bool GroupShown(ItemGroup g, const ItemView& v) {
  switch (g) {
    case G::Test: return v.controlPanel;
    case G::Page: return v.group == 0 || v.controlPanel;
    case G::Tool: return v.group == 1;
    case G::Reserved: return false;
  }
  return false;
}

bool BitOn(unsigned options, int bit) { return bit >= 0 && bit < 32 && ((options >> bit) & 1u); }

}  // namespace

const std::vector<TestItem>& TestItemTable() {
  static const std::vector<TestItem> table = {
      {133, L"System Information",
       L"System Information (system summary, bus, CPU, disk, bios, DMI, PCI, PNP, network, etc.)",
       L"Information About Your System Configuration", 2, G::Test, C::Always},
      {1050, L"DMI Information", L"DMI Information (DMI data browser, DMI 2.0, SMBIOS 2.1)",
       L"Information retrieved via Desktop Management Interface", 0, G::Page, C::Always},
      {32783, L"INI Information", L"INI Information (config.sys, autoexec.bat, win.ini, system.ini, protocol.ini)",
       L"System Configuration Files", 1, G::Page, C::Always},
      {1032, L"Processor Test", L"CPU Test (cpu ID, speed, feature, integrity tests)", L"Processor Test", 20, G::Test,
       C::Always},
      {1033, L"Memory Test", L"Memory Test (memory size, heap allocation, integrity tests)", L"Memory Test", 18,
       G::Test, C::Always},
      {1054, L"I/O Port Test", L"I/O Port Test (serial/printer info., loopback tests)", L"I/O Port Test", 17, G::Test,
       C::Always},
      {140, L"Audio Test", L"Audio Test (driver info., audio device info., functional tests)", L"Audio Test", 12,
       G::Test, C::Always},
      {141, L"", L"", L"", 21, G::Reserved, C::Always},
      {142, L"Modem Test", L"Modem Test (modem info., AT command test, connection test)", L"Modem Test", 19, G::Test,
       C::Always},
      {147, L"Graphics Test", L"Graphics Test (vesa bios, mode table, directdraw, integrity, and functional tests)",
       L"Graphics Test", 16, G::Test, C::Always},
      {1018, L"Hard Disk Test", L"Hard Disk Test (disk size, usage, parameters and integrity tests)",
       L"Hard Disk Test", 14, G::Test, C::Always},
      {1019, L"Floppy Disk Test", L"Floppy Disk Test (diskette size, usage, parameters and integrity tests)",
       L"Floppy Disk Test", 15, G::Test, C::Always},
      {1020, L"CD-ROM Test", L"CD-ROM Test (IDE drive parameters, speed, integrity tests)", L"CD-ROM Test", 13,
       G::Test, C::Always},
      {135, L"Hardware Diagnostics (MS-DOS)", L"DOS Diagnostics (low level hardware tests under DOS environment)",
       L"Hardware Diagnostics (MS-DOS)", 8, G::Page, C::Always},
      {32780, L"Corvith", L"Corvith (system resource usage, voltage, temperature, etc.)", L"Shortcut to Qev Corvith",
       10, G::Tool, C::Corvith},
      {32782, L"Pernath", L"Pernath (monitor system information and system health status via local area network)",
       L"Shortcut to Pernath", 11, G::Tool, C::Pernath},
      {62164, L"Benchmarks", L"Benchmark Test (CD-ROM, CPU, memory, disk, graphics)", L"Shortcut to Benchmarks", 6,
       G::Page, C::Always},
      {1023, L"Stress Test", L"StressTest (sequential and concurrent tests)", L"Stress Test", 9, G::Page, C::Always},
      {32785, L"Cleanup", L"CleanUp Utility (remove invalid program links and unwanted files)",
       L"Clean up unused system entries", 7, G::Tool, C::Always},
      {1040, L"MS Mouse", L"MS Mouse Link (shortcut)", L"Shortcut to MS Mouse Properties", 4, G::Tool, C::Always},
      {1041, L"MS Joystick", L"MS Joystick Link (shortcut)", L"Shortcut to MS Joystick Properties", 3, G::Tool,
       C::Always},
      {1042, L"MS ScanDisk", L"MS ScanDisk Link (shortcut)", L"Shortcut to MS ScanDisk", 5, G::Tool, C::Always},
      {32816, L"MS System Information", L"MS System Information Link (shortcut)", L"MS System Information", 27,
       G::Tool, C::Always},
      {32791, L"MS IP Configuration", L"MS IP Cofiguration Link (shortcut)", L"MS IP Configuration", 22, G::Tool,
       C::Always},
      {32792, L"TCP Tools", L"TCP/IP Tools Link(shortcut)", L"TCP Tools", 23, G::Tool, C::Only9x},
      {32793, L"SCSI Tools", L"SCSI Tools Link(shortcut)", L"SCSI Tools", 24, G::Tool, C::Only9x},
      {32817, L"USB Information", L"USB Information", L"USB Information", 28, G::Tool, C::Usb},
      {62306, L"MS NT Diagnostics", L"MS NT Diagnostics Link (shortcut)", L"Shortcut to MS NT Diagnostics", 25,
       G::Tool, C::OnlyNt},
      {62310, L"MS NT Task Manager", L"MS NT Task Manager Link (shortcut)", L"Shortcut to MS NT Task Manager", 26,
       G::Tool, C::OnlyNt},
  };
  return table;
}

ListBuild BuildListItems(unsigned options, const ItemPlatform& platform, const ItemView& view) {
  ListBuild out;
  int counter = 2;
  for (const TestItem& t : TestItemTable()) {
    const bool applies = Applies(t, platform) || t.group == G::Reserved;
    if (applies) {
      const bool on = BitOn(options, t.bit);
      if (on && t.group != G::Reserved && GroupShown(t.group, view))
        out.entries.push_back(ListEntry{counter, counter, t.command, &t});
      out.menu.push_back(MenuState{t.command, on});
    }
    if (Counted(t, platform)) ++counter;
  }
  return out;
}

int SequenceOf(int command, const ItemPlatform& platform) {
  int counter = 2;
  for (const TestItem& t : TestItemTable()) {
    const bool counted = Counted(t, platform);
    if (t.command == command) return counted ? counter : -1;
    if (counted) ++counter;
  }
  return -1;
}

std::vector<NodeEntry> TreeNodes(unsigned options) {
  // The test rows all stand before any conditional row, so their sequence
  // numbers do not depend on the platform.
  std::vector<NodeEntry> nodes;
  int seq = 2;
  for (const TestItem& t : TestItemTable()) {
    if (t.condition != C::Always) break;
    if (t.group == G::Test && BitOn(options, t.bit)) nodes.push_back(NodeEntry{t.command, t.name, seq});
    ++seq;
  }
  return nodes;
}

std::vector<NodeEntry> ToolbarButtons(unsigned options) {
  std::vector<NodeEntry> buttons;
  buttons.push_back(NodeEntry{1146, L"Qev", 0});
  for (const NodeEntry& n : TreeNodes(options)) buttons.push_back(n);
  buttons.push_back(NodeEntry{1147, L"Shortcuts", 1});
  return buttons;
}

std::wstring StatusTextOf(int command, bool windows9x) {
  for (const TestItem& t : TestItemTable()) {
    if (t.command != command) continue;
    if (windows9x && t.condition == C::OnlyNt) return {};
    return t.status;
  }
  return {};
}

std::wstring ItemPosValueName(int slot, bool y) {
  return L"ITEMPOS" + std::to_wstring(slot) + (y ? L"Y" : L"X");
}

bool DragMoves(int pressX, int pressY, int lastX, int lastY, int dragMin) {
  const int dx = lastX > pressX ? lastX - pressX : pressX - lastX;
  const int dy = lastY > pressY ? lastY - pressY : pressY - lastY;
  return dx > dragMin || dy > dragMin;
}

int TitleIconTop(int clientHeight) { return clientHeight < 17 ? 0 : (clientHeight - 16) / 2; }

int CollectProgressStep(int position) { return position >= 100 ? 10 : position + 5; }

int CollectNextCategory(long done) { return (done > 14 || done < 0) ? -1 : static_cast<int>(done) + 1; }

}  // namespace halvix
