// DMI.TXT as the DMI sheet reads it, and the BIOS, PCI and Plug and Play
// writers on made-up machines.
#include <gtest/gtest.h>

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

#include "bios.h"
#include "dmitext.h"
#include "gather.h"
#include "smbios.h"
#include "smbios_images.h"

using namespace quorrel;

namespace {

DmiModel Parse(const std::string& text, bool* ok = nullptr, std::string* status = nullptr) {
  DmiModel m;
  std::string s;
  bool r = ParseDmiLines(SplitDmiText(text), &m, &s);
  if (ok) *ok = r;
  if (status) *status = s;
  return m;
}

std::vector<std::string> Names(const DmiModel& m) {
  std::vector<std::string> n;
  for (size_t i = 0; i < m.sectionCount; ++i) n.push_back(m.pages[i].name);
  return n;
}

using Lines = std::vector<std::string>;

std::string Dump21() {
  auto mem = MakeBiosAreaMemory(BuildBiosArea(smbiostest::Smbios21Machine().bytes, 2, 1));
  std::string text;
  FormatSmbiosDump(*mem, false, false, &text);
  return text;
}

}  // namespace

TEST(DmiText, SectionsBecomePagesWithInstances) {
  bool ok = false;
  DmiModel m = Parse(
      "before any section\r\n;DMI Info\r\n;\r\n[BIOS]\r\nBIOS Information\r\n;Handle: 0\r\nVendor: V\r\n \r\n"
      "[Processor]\r\nProcessor Information\r\n;Handle: 4\r\n;raw 1234\r\nSocket Designation: A\r\n \r\n\r\n"
      "[processor]\r\nProcessor Information\r\n;Handle: 5\r\nSocket Designation: B\r\n \r\n",
      &ok);
  ASSERT_TRUE(ok);
  EXPECT_EQ((Lines{"BIOS", "processor"}), Names(m));
  ASSERT_EQ(2u, m.pages[1].instances.size());
  EXPECT_EQ((Lines{"Processor Information", ";Handle: 4", "Socket Designation: A", " "}), m.pages[1].instances[0]);

  DmiPageView v = ShowDmiInstance(m, 1, 1);
  EXPECT_TRUE(v.instanceChoice);
  EXPECT_EQ("Processor Information", v.title);
  EXPECT_EQ((Lines{"[Processor Information]", "Socket Designation: B", " "}), v.lines);
  EXPECT_FALSE(ShowDmiInstance(m, 0, 0).instanceChoice);
}

// The controller names its modules by handle; the modules get no tab and
// show under the controller.
TEST(DmiText, ControllerPageListsTheModulesItNames) {
  std::string text = Dump21();
  bool ok = false;
  DmiModel m = Parse(text, &ok);
  ASSERT_TRUE(ok);
  Lines names = Names(m);
  EXPECT_EQ(names.end(), std::find(names.begin(), names.end(), "Mem. Module"));
  ASSERT_EQ(1u, m.moduleCount);
  size_t controller = std::find(names.begin(), names.end(), "Mem. Controller") - names.begin();
  ASSERT_LT(controller, names.size());
  DmiPageView v = ShowDmiInstance(m, controller, 0);
  EXPECT_EQ("Memory Controller/Module Information", v.title);
  auto at = [&](const std::string& line) { return std::find(v.lines.begin(), v.lines.end(), line) - v.lines.begin(); };
  // The controller's lines, a blank, then modules 6..9 in the controller's order.
  ASSERT_LT(at("[Memory Controller Information]"), (long)v.lines.size());
  EXPECT_EQ(4, std::count(v.lines.begin(), v.lines.end(), "[Memory Module Information]"));
  EXPECT_LT(at("Memory Module Voltage: 3.3V"), at(" "));
  EXPECT_LT(at("Socket Designation: DIMM0"), at("Socket Designation: DIMM1"));
  EXPECT_LT(at("Socket Designation: DIMM2"), at("Bank Connections: No Connection"));
}

TEST(DmiText, ModulesWithoutControllerAreTheMemoryPage) {
  DmiModel m = Parse(
      "[Mem. Module]\nMemory Module Information\n;Handle: 6\nSocket Designation: A\n \n"
      "[Mem. Module]\nMemory Module Information\n;Handle: 7\nSocket Designation: B\n \n"
      "[Cache]\nCache Information\n;Handle: 8\n \n");
  EXPECT_EQ((Lines{"Memory", "Cache"}), Names(m));
  DmiPageView v = ShowDmiInstance(m, 0, 1);
  EXPECT_FALSE(v.instanceChoice);
  EXPECT_EQ("Memory Controller/Module Information", v.title);
  EXPECT_EQ((Lines{"[Memory Controller Information]", "Unknown", "", "[Memory Module Information]",
                   "Socket Designation: A", " ", "[Memory Module Information]", "Socket Designation: B", " "}),
            v.lines);
}

TEST(DmiText, NoSectionsGiveTheFileAsStatus) {
  bool ok = true;
  std::string status;
  Parse(";DMI Info\r\n;\r\nYour system does not support DMI BIOS 2.1 or above\r\n", &ok, &status);
  EXPECT_FALSE(ok);
  EXPECT_EQ("Your system does not support DMI BIOS 2.1 or above\n", status);
  // A header needs a closing bracket after its first character.
  Parse("[\nx[y]\n", &ok, &status);
  EXPECT_FALSE(ok);
}

// ---- BIOS, PCI and Plug and Play writers -------------------------------

namespace {

class FakeBios : public BiosPlatform {
 public:
  bool nine = false;
  std::map<std::string, std::string> values;  // "key|value"
  std::map<std::string, std::string> subkeys;
  GetQuorrelFn access = nullptr;
  int pnpResult = 1;
  const char* pnpText = "PNP BIOS Version:\t1.0\n";
  bool Windows9x() override { return nine; }
  bool RegistryString(const std::string& key, const std::string& value, std::string* out) override {
    auto it = values.find(key + "|" + value);
    if (it == values.end()) return false;
    *out = it->second;
    return true;
  }
  bool FirstSubkey(const std::string& key, std::string* name) override {
    auto it = subkeys.find(key);
    if (it == subkeys.end()) return false;
    *name = it->second;
    return true;
  }
  GetQuorrelFn SystemAccess() override { return access; }
  int PnpBiosVersion(char* buffer, size_t size) override {
    if (pnpText) std::snprintf(buffer, size, "%s", pnpText);
    return pnpResult;
  }
};

std::vector<std::pair<int, int>> g_calls;  // class, byte 1 of the buffer
std::map<int, const char*> g_replies;
DWORD WINAPI FakeGetQuorrel(WORD infoClass, WORD size, void* buffer) {
  auto* b = static_cast<char*>(buffer);
  g_calls.push_back({infoClass, b[1]});
  EXPECT_EQ(10248, size);
  auto it = g_replies.find(infoClass);
  if (it == g_replies.end()) return 0;
  std::strcpy(b, it->second);
  return 1;
}

const char kNtKey[] = "HARDWARE\\DESCRIPTION\\System";

FakeBios NtMachine() {
  FakeBios p;
  p.values[std::string(kNtKey) + "|Identifier"] = "AT/AT COMPATIBLE";
  p.values[std::string(kNtKey) + "|SystemBiosDate"] = "07/15/98";
  p.values[std::string(kNtKey) + "|SystemBiosVersion"] = "TESSEL - 4.51 PG";
  return p;
}

std::string Bios(FakeBios& p, int mode, const std::string& dmi) {
  StringSink out;
  WriteBiosInfo(out, mode, dmi, p);
  return out.text;
}

}  // namespace

TEST(BiosWriter, NtCategoryAndSummary) {
  FakeBios p = NtMachine();
  EXPECT_EQ("\n@3BIOS Information\nBIOS Date:\t07/15/98\nBIOS Manufacturer:\tAT/AT COMPATIBLE\n"
            "BIOS Version:\tTESSEL - 4.51 PG\nPNP BIOS Version:\t1.0\nDMI BIOS Version\t2.1\n\n",
            Bios(p, 0, "DMI BIOS Version\t2.1"));
  // The summary: the registry line alone.
  EXPECT_EQ("BIOS:\tAT/AT COMPATIBLE, 07/15/98\n", Bios(p, 1, "DMI BIOS Version\t2.1"));

  // No version value, no $PnP header, no check line.
  p.values.erase(std::string(kNtKey) + "|SystemBiosVersion");
  p.pnpText = nullptr;
  EXPECT_EQ("\n@3BIOS Information\nBIOS Date:\t07/15/98\nBIOS Manufacturer:\tAT/AT COMPATIBLE\nBIOS Version:\t\n\n",
            Bios(p, 0, ""));
  // No identity at all: heading, the optional lines, the check line.
  p.values.clear();
  p.pnpText = "PNP BIOS Version:\t1.0\n";
  p.pnpResult = 0;  // no access to the BIOS area: the buffer is not written
  EXPECT_EQ("\n@3BIOS Information\nDMI BIOS Version\t2.4\n\n", Bios(p, 0, "DMI BIOS Version\t2.4"));
  EXPECT_EQ("DMI BIOS Version\t2.4\n", Bios(p, 1, "DMI BIOS Version\t2.4"));
}

TEST(BiosWriter, Windows9xWithTheSystemAccessLibrary) {
  FakeBios p;
  p.nine = true;
  p.access = &FakeGetQuorrel;
  g_replies = {{7, "BIOS short\n"}, {0x15, "Extra:\tyes\ncut"}};
  g_calls.clear();
  // Without registry values: class 7, short form in the summary.
  EXPECT_EQ("BIOS short\nDMI BIOS Version\t2.0\n", Bios(p, 1, "DMI BIOS Version\t2.0"));
  EXPECT_EQ((std::vector<std::pair<int, int>>{{7, 1}}), g_calls);

  p.subkeys["Enum\\Root\\*PNP0C01"] = "0000";
  p.values["Enum\\Root\\*PNP0C01\\0000|BIOSName"] = "Tessel";
  p.values["Enum\\Root\\*PNP0C01\\0000|BIOSDate"] = "01/02/99";
  g_calls.clear();
  EXPECT_EQ("\n@3BIOS Information\nBIOS Date:\t01/02/99\nBIOS Manufacturer:\tTessel\nBIOS Version:\t\n"
            "Extra:\tyes\n\n",
            Bios(p, 0, ""));
  EXPECT_EQ((std::vector<std::pair<int, int>>{{0x15, 0}}), g_calls);
  EXPECT_EQ("BIOS:\tTessel, 01/02/99\n", Bios(p, 1, "DMI BIOS Version\t2.0"));
}

TEST(BiosWriter, PciAndPnpFiles) {
  FakeBios nt;
  StringSink pci, pnp;
  WritePciInfo(pci, nt);
  WritePnpInfo(pnp, nt);
  EXPECT_EQ("\n@3PCI BIOS Information\nNot Available!", pci.text);
  EXPECT_EQ("\n", pnp.text);

  FakeBios nine;
  nine.nine = true;
  nine.access = &FakeGetQuorrel;
  g_replies = {{0, "PCI BIOS:\t2.10\n"}, {1, "Bus 0 Device 7:\tBridge\n"}, {0x0D, "Device\n  I/O Range:\t3F8\n.\n"}};
  StringSink a, b;
  WritePciInfo(a, nine);
  WritePnpInfo(b, nine);
  EXPECT_EQ("\n@3PCI BIOS Information\nPCI BIOS:\t2.10\n\n@3PCI Devices Information\nBus 0 Device 7:\tBridge\n\n",
            a.text);
  EXPECT_EQ("Device\n  I/O Range:\t3F8\n.\n\n", b.text);
  g_replies.erase(0);
  StringSink c;
  WritePciInfo(c, nine);
  EXPECT_EQ("\n@3PCI BIOS Information\n", c.text);
}

TEST(BiosWriter, LongRegistryValuesStayInTheLineBuffer) {
  std::string big(5000, 'x');
  std::string line = BiosLine("BIOS:\t%s, %s\n", big, big);
  EXPECT_LE(line.size(), 1023u);
  EXPECT_EQ('\n', line.back());
  EXPECT_EQ("BIOS Date:\tshort\n", BiosLine("BIOS Date:\t%s\n", "short"));
}
