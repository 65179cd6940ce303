// The printer writer on canned spooler buffers: records and their strings
// laid out in the caller's buffer as the spooler lays them out, answers too
// small for the buffer, failing enumerations and odd attributes.
#include <gtest/gtest.h>
#include <windows.h>
#include <winspool.h>

#include <cstring>
#include <string>
#include <vector>

#include "printers.h"

using namespace quorrel;

namespace {

struct CannedPrinter {
  std::string name, port;
  DWORD attributes;
};
struct CannedDriver {
  std::string name, path;
};

// Lays records out from the start of the buffer and their strings from its
// end, as the spooler does; fails with ERROR_INSUFFICIENT_BUFFER and the size
// needed when they do not fit.
class Layout {
 public:
  Layout(BYTE* buffer, DWORD size, size_t recordSize, size_t records)
      : buffer_(buffer), size_(size), records_(recordSize * records), end_(size) {}
  // Reserves a string; returns where it will be (nullptr while measuring).
  char* Add(const std::string& s) {
    needed_ += s.size() + 1;
    if (!Fits()) return nullptr;
    end_ -= s.size() + 1;
    char* at = reinterpret_cast<char*>(buffer_ + end_);
    std::memcpy(at, s.c_str(), s.size() + 1);
    return at;
  }
  bool Fits() const { return records_ + needed_ <= size_; }
  DWORD Needed() const { return (DWORD)(records_ + needed_); }

 private:
  BYTE* buffer_;
  size_t size_, records_, end_, needed_ = 0;
};

class FakeSpooler : public PrinterSpooler {
 public:
  std::vector<CannedPrinter> kinds;   // level 5
  std::vector<std::string> names;     // level 1
  std::vector<CannedDriver> drivers;  // level 3
  bool kindsFail = false, namesFail = false, driversFail = false;
  std::vector<DWORD> asked;  // buffer sizes of every call, in order

  bool EnumLocalPrinters(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned,
                         DWORD* error) override {
    asked.push_back(size);
    *returned = 0;
    if ((level == 5 && kindsFail) || (level == 1 && namesFail)) return Fail(error, RPC_S_SERVER_UNAVAILABLE);
    if (level == 5) {
      Layout l(buffer, size, sizeof(PRINTER_INFO_5A), kinds.size());
      auto* rec = reinterpret_cast<PRINTER_INFO_5A*>(buffer);
      for (size_t i = 0; i < kinds.size(); ++i) {
        char* name = l.Add(kinds[i].name);
        char* port = l.Add(kinds[i].port);
        if (l.Fits()) rec[i] = PRINTER_INFO_5A{name, port, kinds[i].attributes, 15000, 45000};
      }
      return Finish(l, needed, returned, kinds.size(), error);
    }
    Layout l(buffer, size, sizeof(PRINTER_INFO_1A), names.size());
    auto* rec = reinterpret_cast<PRINTER_INFO_1A*>(buffer);
    for (size_t i = 0; i < names.size(); ++i) {
      char* description = l.Add(names[i] + ",Wine PostScript Driver,");
      char* name = l.Add(names[i]);
      char* comment = l.Add("");
      if (l.Fits()) rec[i] = PRINTER_INFO_1A{PRINTER_ENUM_ICON8, description, name, comment};
    }
    return Finish(l, needed, returned, names.size(), error);
  }

  bool EnumDrivers(DWORD level, BYTE* buffer, DWORD size, DWORD* needed, DWORD* returned, DWORD* error) override {
    asked.push_back(size);
    *returned = 0;
    if (level != 3 || driversFail) return Fail(error, RPC_S_SERVER_UNAVAILABLE);
    Layout l(buffer, size, sizeof(DRIVER_INFO_3A), drivers.size());
    auto* rec = reinterpret_cast<DRIVER_INFO_3A*>(buffer);
    for (size_t i = 0; i < drivers.size(); ++i) {
      DRIVER_INFO_3A d{};
      d.cVersion = 3;
      d.pName = l.Add(drivers[i].name);
      d.pEnvironment = l.Add("Windows x64");
      d.pDriverPath = l.Add(drivers[i].path);
      d.pDataFile = l.Add("C:\\windows\\system32\\spool\\drivers\\x64\\3\\" + drivers[i].name + ".ppd");
      if (l.Fits()) rec[i] = d;
    }
    return Finish(l, needed, returned, drivers.size(), error);
  }

 private:
  static bool Fail(DWORD* error, DWORD code) {
    *error = code;
    return false;
  }
  static bool Finish(const Layout& l, DWORD* needed, DWORD* returned, size_t count, DWORD* error) {
    *needed = l.Needed();
    if (!l.Fits()) return Fail(error, ERROR_INSUFFICIENT_BUFFER);
    *returned = (DWORD)count;
    *error = ERROR_SUCCESS;
    return true;
  }
};

std::string Write(FakeSpooler& s, int summary = 0) {
  StringSink out;
  WritePrinterInfo(out, summary, s);
  return out.text;
}

const DWORD kLocal = PRINTER_ATTRIBUTE_LOCAL, kNetwork = PRINTER_ATTRIBUTE_NETWORK,
            kDefault = PRINTER_ATTRIBUTE_DEFAULT, kShared = PRINTER_ATTRIBUTE_SHARED;

}  // namespace

TEST(PrinterInfo, GoldenCategoryOfAMachineWithTwoPrintersAndTheirDrivers) {
  FakeSpooler s;
  s.kinds = {{"Office Laser", "\\\\print01\\laser", kNetwork | kShared}, {"PDF", "CUPS:PDF", kLocal | kDefault}};
  s.names = {"PDF", "Office Laser"};
  s.drivers = {{"Wine PostScript Driver", "C:\\windows\\system32\\spool\\drivers\\x64\\3\\wineps.drv"}};
  EXPECT_EQ(Write(s),
            "\n"
            "@3Printer(s)\n"
            "\tPDF (LOCAL, DEFAULT) \n"
            "\tPORT: CUPS:PDF\n"
            "\n"
            "\tOffice Laser (NETWORK, SHARED) \n"
            "\tPORT: \\\\print01\\laser\n"
            "\n"
            "\n"
            "@3Printer Drivers\n"
            "\tWine PostScript Driver\n"
            "\tC:\\windows\\system32\\spool\\drivers\\x64\\3\\wineps.drv\n"
            "\n");
  // The first attempt of each enumeration uses the writer's own buffer sizes.
  ASSERT_EQ(s.asked.size(), 3u);
  EXPECT_EQ(s.asked[0], kPrinterKindsBuffer);
  EXPECT_EQ(s.asked[1], kPrinterNamesBuffer);
  EXPECT_EQ(s.asked[2], kPrinterDriversBuffer);
}

TEST(PrinterInfo, TheSummaryWritesNothingAndAsksNothing) {
  FakeSpooler s;
  s.names = {"PDF"};
  EXPECT_EQ(Write(s, 1), "");
  EXPECT_TRUE(s.asked.empty());
}

TEST(PrinterInfo, KindMarksForEachAttributeCombination) {
  const struct {
    DWORD attributes;
    const char* line;
  } cases[] = {
      {0, "P () "},
      {kLocal, "P (LOCAL) "},
      {kNetwork | kLocal, "P (NETWORK) "},  // network wins over local
      {kDefault, "P (, DEFAULT) "},           // neither kind: the comma follows the bracket
      {kShared, "P (, SHARED) "},
      {kLocal | kDefault | kShared, "P (LOCAL, DEFAULT, SHARED) "},
      {kNetwork | kDefault, "P (NETWORK, DEFAULT) "},
  };
  for (const auto& c : cases) {
    FakeSpooler s;
    s.kinds = {{"P", "LPT1:", c.attributes}};
    s.names = {"P"};
    std::string text = Write(s);
    EXPECT_NE(text.find(std::string("\t") + c.line + "\n\tPORT: LPT1:\n\n"), std::string::npos)
        << c.attributes << ":\n" << text;
  }
}

TEST(PrinterInfo, NamesMatchTheFirstKindIgnoringCase) {
  FakeSpooler s;
  s.kinds = {{"laser", "FILE:", kLocal}, {"LASER", "LPT2:", kNetwork}};
  s.names = {"Laser", "LASER", "Unlisted"};
  EXPECT_EQ(Write(s),
            "\n@3Printer(s)\n"
            "\tLaser (LOCAL) \n\tPORT: FILE:\n\n"
            "\tLASER (LOCAL) \n\tPORT: FILE:\n\n"
            "\tUnlisted\n\n"  // no kind known: no marks and no port line
            "\n@3Printer Drivers\n");
}

TEST(PrinterInfo, NoPrintersAndNoDriversGiveTheHeadingsAlone) {
  FakeSpooler s;  // both enumerations succeed with zero entries
  EXPECT_EQ(Write(s), "\n@3Printer(s)\n\tN/A\n\n@3Printer Drivers\n");
}

TEST(PrinterInfo, FailingEnumerationsLeaveTheirSectionsOut) {
  FakeSpooler s;
  s.kinds = {{"PDF", "CUPS:PDF", kLocal | kDefault}};
  s.names = {"PDF"};
  s.drivers = {{"D", "d.drv"}};

  s.namesFail = true;
  EXPECT_EQ(Write(s), "\n\n@3Printer Drivers\n\tD\n\td.drv\n\n");

  s.namesFail = false;
  s.kindsFail = true;
  s.driversFail = true;
  EXPECT_EQ(Write(s), "\n@3Printer(s)\n\tPDF\n\n\n");
}

// The spooler's records and strings share one buffer, so a few printers with
// long names overflow the first buffer: they are fetched again in a buffer of
// the size the spooler asks for instead of being left out.
TEST(PrinterInfo, PrintersBeyondTheFirstBufferAreAllListed) {
  FakeSpooler s;
  for (int i = 0; i < 12; ++i) {
    std::string name = "Department printer number " + std::to_string(i) + " on the third floor";
    s.kinds.push_back({name, "\\\\spool\\queue" + std::to_string(i), kNetwork});
    s.names.push_back(name);
    s.drivers.push_back({"Driver " + std::to_string(i), "C:\\drivers\\driver" + std::to_string(i) + ".dll"});
  }
  std::string text = Write(s);
  for (int i = 0; i < 12; ++i) {
    std::string n = std::to_string(i);
    EXPECT_NE(text.find("\tDepartment printer number " + n + " on the third floor (NETWORK) \n\tPORT: \\\\spool\\queue" +
                        n + "\n"),
              std::string::npos)
        << n;
    EXPECT_NE(text.find("\tDriver " + n + "\n\tC:\\drivers\\driver" + n + ".dll\n"), std::string::npos) << n;
  }
  EXPECT_GT(s.asked.size(), 3u);
}

TEST(PrinterInfo, LongNamesAreCutToTheLineBound) {
  FakeSpooler s;
  std::string longName(5000, 'N');
  s.kinds = {{longName, std::string(5000, 'P'), kLocal}};
  s.names = {longName};
  s.drivers = {{std::string(3000, 'D'), std::string(3000, 'X')}};
  std::string text = Write(s);
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    ASSERT_NE(end, std::string::npos);
    EXPECT_LE(end - start, kPrinterLineMax + 1) << "line at " << start;  // the tab and the bounded text
    start = end + 1;
  }
  EXPECT_NE(text.find("\t" + std::string(kPrinterLineMax, 'N') + "\n"), std::string::npos);
  EXPECT_NE(text.find("\tPORT: PPP"), std::string::npos);
}

TEST(PrinterInfo, NtAttributesGainTheLocalAndDefaultMarks) {
  const struct {
    DWORD attributes;
    bool isDefault;
    DWORD expected;
  } cases[] = {
      {0, false, kLocal},
      {0, true, kLocal | kDefault},
      {kNetwork, true, kNetwork | kDefault},
      {kNetwork | kShared, false, kNetwork | kShared},
      {kLocal | kShared | PRINTER_ATTRIBUTE_QUEUED, false, kLocal | kShared | PRINTER_ATTRIBUTE_QUEUED},
  };
  for (const auto& c : cases)
    EXPECT_EQ(CompleteNtPrinterAttributes(c.attributes, c.isDefault), c.expected) << c.attributes << " " << c.isDefault;
}
