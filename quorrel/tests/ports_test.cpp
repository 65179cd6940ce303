// The port writer on made-up Plug and Play device texts: the label lines,
// the device blocks of the category, the summary's port lines, and the
// paths without the system-access library.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "access_fake.h"
#include "gather.h"
#include "pnp_text.h"
#include "ports.h"

using namespace quorrel;

namespace {

// The settings lines stand for the serial port's real ones.
const PortSettingsWriter kSettings = [](InfoSink& out, const std::string& name) {
  out.Text("   <settings of " + name + ">\n");
};

std::string Parse(const std::string& text, int summary, const PortLabels& labels = PortLabels()) {
  StringSink out;
  ParsePortText(out, text.c_str(), text.size() + 1, summary, labels, kSettings);
  return out.text;
}

// Two serial ports, a parallel port and a device that is neither; the
// second serial port with tabs, other letter case and an empty line.
const std::string kSecondSerial =
    "Communications Port\n"
    "\tIRQ: 3\n"
    "\n"
    "\ti/o range:\t02F8-02FF  (16 ports)\n"
    "\tPORTNAME:\tcom2\n"
    ".\n";
const std::string kDevices =
    pnptext::kSerialPort + kSecondSerial + pnptext::kParallelPort + pnptext::kOtherDevice;

}  // namespace

TEST(PortLines, LabelledLines) {
  struct Case {
    const char* line;
    bool io, com, lpt;
    const char* value;
  } cases[] = {
      {"  I/O Range: 03F8-03FF more", true, false, false, "03F8-03FF"},
      {"\ti/o range:\t02F8-02FF", true, false, false, "02F8-02FF"},
      {"I/O Range: 03F8-03FF", false, false, false, ""},  // not indented
      {"  Portname: COM1", false, true, false, "COM1"},
      {"  Portname: com12", false, true, false, "com12"},
      {"  Portname:   LPT2  ", false, false, true, "LPT2"},
      {"  Portname: COM0", false, false, false, ""},
      {"  Portname: COM", false, false, false, ""},
      {"  Portname: COMx", false, false, false, ""},
      {"  Portname: CO", false, false, false, ""},
      {"  Portname:", false, false, false, ""},
      {"  Port name: COM1", false, false, false, ""},
      {"\xA0Portname: COM1", false, false, false, ""},  // a high character is no blank
      {"", false, false, false, ""},
  };
  PortLabels labels;
  for (const Case& c : cases) {
    std::string io = "kept", com = "kept", lpt = "kept";
    EXPECT_EQ(ParseIoRangeLine(c.line, labels, &io), c.io) << c.line;
    EXPECT_EQ(ParseComPortLine(c.line, labels, &com), c.com) << c.line;
    EXPECT_EQ(ParseLptPortLine(c.line, labels, &lpt), c.lpt) << c.line;
    EXPECT_EQ(io, c.io ? c.value : "kept") << c.line;
    EXPECT_EQ(com, c.com ? c.value : "kept") << c.line;
    EXPECT_EQ(lpt, c.lpt ? c.value : "kept") << c.line;
  }
  // The library's own label texts take the place of the defaults.
  PortLabels german{"E/A-Bereich:", "Anschluss:"};
  std::string value;
  EXPECT_TRUE(ParseComPortLine("  Anschluss: COM3", german, &value));
  EXPECT_EQ(value, "COM3");
  EXPECT_FALSE(ParseComPortLine("  Portname: COM1", german, &value));
}

TEST(PortText, CategoryBlocks) {
  EXPECT_EQ(Parse(kDevices, 0),
            "Communications Port (COM1)\n  I/O Range: 03F8-03FF\n  Portname: COM1\n   <settings of COM1>\n\n"
            "Communications Port\n\tIRQ: 3\n\ti/o range:\t02F8-02FF  (16 ports)\n\tPORTNAME:\tcom2\n"
            "   <settings of com2>\n\n"
            "Printer Port (LPT1)\n  I/O Range: 0378-037A\n  Portname: LPT1\n\n");
}

TEST(PortText, SummaryLines) {
  EXPECT_EQ(Parse(kDevices, 1),
            "Serial Port:\t03F8-03FF(COM1) 02F8-02FF(com2) \nParallel Port:\t0378-037A(LPT1) \n");
  std::string twoSerial = pnptext::kSerialPort + kSecondSerial;
  EXPECT_EQ(Parse(twoSerial, 1), "Serial Port:\t03F8-03FF(COM1) 02F8-02FF(com2) \nParallel Port:\tN/A\n");
  EXPECT_EQ(Parse("", 1), "Serial Port:\tN/A\nParallel Port:\tN/A\n");
  // A device with both names counts as serial; a title is never parsed.
  EXPECT_EQ(Parse("  Portname: COM4\n  I/O Range: 1\n  Portname: COM5\n  Portname: LPT3\n.\n", 1),
            "Serial Port:\t1(COM5) \nParallel Port:\tN/A\n");
}

TEST(PortText, EndOfText) {
  const std::string port = "Communications Port\n  I/O Range: 03F8-03FF\n  Portname: COM1\n";
  const std::string block = port + "   <settings of COM1>\n\n";
  // The last line ends the device, also when it is empty; a last line
  // without its line end is not read, but the device before it is kept.
  EXPECT_EQ(Parse(port, 0), block);
  EXPECT_EQ(Parse(port + "\n", 0), block);
  EXPECT_EQ(Parse(port + "  Portname: COM9", 0), block);
  EXPECT_EQ(Parse("Communications Port\n  Portname: COM9", 0), "");
  // Only `size` bytes are read, with or without a NUL among them.
  std::string cut = port + ".\nPrinter Port\n  Portname: LPT1\n.\n";
  StringSink out;
  ParsePortText(out, cut.data(), port.size(), 0, PortLabels(), kSettings);
  EXPECT_EQ(out.text, block);
}

TEST(PortInformation, FromTheSystemAccessLibrary) {
  accessfake::Reset();
  StringSink nt, ntSummary;
  WritePortInformation(nt, 0, nullptr, PortLabels(), kSettings);
  WritePortInformation(ntSummary, 1, nullptr, PortLabels(), kSettings);
  EXPECT_EQ(nt.text, "\n");
  EXPECT_EQ(ntSummary.text, "") << "no port lines without the library";

  StringSink failing;
  WritePortInformation(failing, 1, &accessfake::GetQuorrel, PortLabels(), kSettings);
  EXPECT_EQ(failing.text, "");

  accessfake::Access().answers[13] = kDevices;
  StringSink category, summary;
  WritePortInformation(category, 0, &accessfake::GetQuorrel, PortLabels(), kSettings);
  WritePortInformation(summary, 1, &accessfake::GetQuorrel, PortLabels(), kSettings);
  EXPECT_EQ(category.text, "\n" + Parse(kDevices, 0));
  EXPECT_EQ(summary.text, Parse(kDevices, 1));
  ASSERT_EQ(accessfake::Access().calls.size(), 3u);
  EXPECT_EQ(accessfake::Access().calls[1].infoClass, 13);
  EXPECT_EQ(accessfake::Access().calls[1].size, kInfoReplyBufferSize);
}
