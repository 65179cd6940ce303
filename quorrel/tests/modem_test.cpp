// The modem dialogue and its files on made-up modems: the reply rules, the
// category and summary text, the ports asked side by side, reads that end
// when the reply comes, the time a silent or chattering port costs, and the
// serial-port settings lines.
#include <gtest/gtest.h>

#include <atomic>

#include "modem.h"
#include "modem_fake.h"

using namespace quorrel;
using namespace modemtest;

namespace {

TEST(ModemReply, ResultKeywordsCountOnlyAsLinesOfTheirOwn) {
  const struct {
    const char* reply;
    bool finished;
    int ok;
  } cases[] = {
      {"\r\nOK\r\n", true, 1},
      {"OK\r\n", true, 1},
      {"ATZ\r\r\nOK\r\n", true, 1},
      {"\r\nERROR\r\n", true, 0},
      {"ATI9\r\r\nERROR\r\n", true, 0},
      {"\r\nCONNECT 9600\r\n", true, 1},
      {"\r\nNO CARRIER\r\n", true, 1},
      {"\r\nBUSY\r\n", true, 1},
      // "OK" inside a word neither finishes a reply nor hides the final "OK".
      {"\r\nTOKEN RING ADAPTER\r\n", false, 0},
      {"\r\nTOKEN RING ADAPTER\r\n\r\nOK\r\n", true, 1},
      {"\r\nBROKEN LINK\r\n\r\nERROR\r\n", true, 0},
      {"\r\nOKAY\r\n", false, 0},
      {"\r\nNOT BUSY YET\r\n", false, 0},
      // A reply still arriving: its last line has no end yet.
      {"\r\nO", false, 0},
      {"\r\nOK", false, 0},
      {"\r\nERR", false, 0},
      {"", false, 0},
  };
  for (const auto& c : cases) {
    int ok = 7;
    EXPECT_EQ(MatchResultKeyword(c.reply, &ok), c.finished) << c.reply;
    EXPECT_EQ(ok, c.ok) << c.reply;
  }
  EXPECT_EQ(FindKeywordInReply("\r\nX\r\nOK\r\n", "ERROR"), 5) << "an OK line ends any reply";
  EXPECT_EQ(FindKeywordInReply("\r\nX\r\nERROR\r\n", "ERROR"), 5);
  EXPECT_EQ(FindKeywordInReply("\r\nTERROR\r\n", "ERROR"), -1);
}

TEST(ModemReply, ExtractReplyLine) {
  const struct {
    const char* text;
    int n;
    const char* line;
  } cases[] = {
      {"ATI3\r\r\nSimvale 56K\r\n\r\nOK\r\n", 2, "Simvale 56K"},  // echo first
      {"\r\nSimvale 56K\r\n\r\nOK\r\n", 2, "Simvale 56K"},
      {"\r\n\r\nOK\r\n", 2, ""},  // an empty second line: the reader takes the third
      {"\r\n\r\nOK\r\n", 3, "OK"},
      {"\r\n  spaced out \t\r\n", 2, "  spaced out "},  // spaces are printable
      {"a\r\nb\r\n", 0, ""},
      {"a\r\nb\r\n", 5, ""},
      {"no line end at all", 1, ""},
      {"\r\nlast line without LF", 2, ""},
      {"\r\n\x01\x02\x03\r\n", 2, "\x01\x02\x03\r"},  // nothing printable: untouched
      {"\r\n\xE9t\xE9 \xFF\r\n", 2, "t\xE9 "},  // bytes above 127 are tested unsigned
  };
  for (const auto& c : cases) EXPECT_EQ(ExtractReplyLine(c.text, c.n), c.line) << c.text << " / " << c.n;
}

// Two modems, a silent port and a modem that rejects ATZ.
std::unique_ptr<FakeModems> MakeMachine() {
  auto machine = std::make_unique<FakeModems>();
  FakeModems& line = *machine;
  ModemProfile echoing;
  echoing.replies = {{"AT+FCLASS=?", {"0,1,2.0", "OK"}},
                     {"ATI0", {"56000", "OK"}},
                     {"ATI1", {"", "OK"}},  // checksum line empty: nothing but OK
                     {"ATI2", {"ERROR"}},
                     {"ATI3", {"Simvale 56K V.92 \xB7 TOKEN", "OK"}},
                     {"ATI4", {}},  // no answer at all
                     {"ATI5", {"ERROR"}},
                     {"ATI6", {"Chipset SV-9", "OK"}}};
  line.ports["COM2"] = echoing;
  ModemProfile silent;
  silent.silent = true;
  line.ports["COM3"] = silent;
  ModemProfile chunked;
  chunked.echo = false;
  chunked.chunk = 3;
  chunked.chunkGap = 150;  // longer than a poll: the reply comes in over many polls
  chunked.replies = {{"AT+FCLASS=?", {"ERROR"}}, {"ATI3", {"Brisk 28.8", "OK"}}};
  chunked.otherwise = {"ERROR"};
  chunked.replies["ATZ"] = {"OK"};
  chunked.replies["AT"] = {"OK"};
  line.ports["COM5"] = chunked;
  ModemProfile grumpy;
  grumpy.otherwise = {"ERROR"};
  line.ports["COM7"] = grumpy;
  return machine;
}

const char kModemGolden[] =
    "\n@3Modem Information\n"
    "Modem Port:\tCOM2\n"
    "Fax Support:\tYES\n"
    "Class Support:\t0,1,2.0\n"
    "\n"
    "ATI0:\t56000\n"
    "ATI1:\t\n"  // an empty line, then OK: no text

    "ATI3:\tSimvale 56K V.92 \xB7 TOKEN\n"
    "ATI6:\tChipset SV-9\n"
    "\n\n"
    "Modem Port:\tCOM5\n"
    "Fax Support:\tNO\n"
    "\n"
    "ATI3:\tBrisk 28.8\n"
    "\n\n"
    "Modem Port:\tCOM7\n"
    "Fax Support:\tNO\n"
    "\n"
    "\n\n"
    "\n";

TEST(ModemInfo, ProbesOnceThenAsksOnlyThePortsThatAnswered) {
  auto machine = MakeMachine();
  FakeModems& line = *machine;
  ModemProbe probe(line.Lines());
  StringSink first;
  probe.WriteModemInfo(first);
  EXPECT_EQ(first.text, kModemGolden);
  EXPECT_FALSE(probe.ProbePending());
  EXPECT_TRUE(probe.PortFound(2) && probe.PortFound(5) && probe.PortFound(7));
  EXPECT_FALSE(probe.PortFound(3));
  EXPECT_EQ(line.commands["COM3"].size(), 0u);
  EXPECT_EQ(line.commands["COM2"].front(), "ATZ");
  DWORD slowest = 0;
  for (const auto& port : line.lineTime) slowest = port.second > slowest ? port.second : slowest;
  std::printf("[ measured ] first modem category (3 modems, 1 silent port): slowest port %lu ms of line time\n",
              (unsigned long)slowest);

  // The second request: the same text, without ATZ and without the silent port.
  line.Clear();
  StringSink second;
  probe.WriteModemInfo(second);
  EXPECT_EQ(second.text, kModemGolden);
  EXPECT_EQ(line.opens.count("COM3"), 0u);
  for (const auto& port : line.commands)
    for (const std::string& c : port.second) EXPECT_NE(c, "ATZ") << port.first;
}

TEST(ModemInfo, NoModemAnywhere) {
  FakeModems line;
  ModemProfile silent;
  silent.silent = true;
  line.ports["COM1"] = silent;
  ModemProbe probe(line.Lines());
  StringSink out;
  probe.WriteModemInfo(out);
  EXPECT_EQ(out.text, "\n@3Modem Information\nModem:\tNot Found\n");
  StringSink summary;
  probe.WriteModemSummary(summary);
  EXPECT_EQ(summary.text, "Modem:\tNot Found\n");
}

TEST(ModemSummary, ListsEveryModemAndAlwaysProbes) {
  auto machine = MakeMachine();
  FakeModems& line = *machine;
  ModemProbe probe(line.Lines());
  for (int round = 0; round < 2; ++round) {
    line.Clear();
    StringSink out;
    probe.WriteModemSummary(out);
    EXPECT_EQ(out.text,
              "Modem:\tInstalled (COM2)\nFax Class Support:\t0,1,2.0\n"
              "Modem:\tInstalled (COM5)\nFax Support:\tNO\n"
              "Modem:\tInstalled (COM7)\nFax Support:\tNO\n");
    EXPECT_EQ(line.commands["COM2"].front(), "ATZ") << "round " << round;
  }
  EXPECT_TRUE(probe.ProbePending()) << "the summary leaves the category's first probe to come";
}

// Eight silent ports and a modem on COM9: all nine are open at the same
// time (each open waits for the others, which ports asked one after another
// never see), the modem on the last port is found, and each silent port
// costs its own two time-outs only.
TEST(ModemProbe, AsksAllNinePortsAtTheSameTime) {
  FakeModems machine;
  ModemProfile silent;
  silent.silent = true;
  for (int n = 1; n <= 8; ++n) machine.ports["COM" + std::to_string(n)] = silent;
  ModemProfile modem;
  modem.replies = {{"AT+FCLASS=?", {"0,1", "OK"}}, {"ATI3", {"Last Port 33.6", "OK"}}};
  modem.otherwise = {"ERROR"};
  modem.replies["ATZ"] = modem.replies["AT"] = {"OK"};
  machine.ports["COM9"] = modem;
  for (bool summary : {false, true}) {
    machine.Clear();
    machine.meetAt = 9;
    ModemProbe probe(machine.Lines());
    StringSink out;
    if (summary)
      probe.WriteModemSummary(out);
    else
      probe.WriteModemInfo(out);
    EXPECT_EQ(machine.mostOpen, 9) << (summary ? "summary" : "category");
    EXPECT_EQ(out.text, summary ? "Modem:\tInstalled (COM9)\nFax Class Support:\t0,1\n"
                                : "\n@3Modem Information\nModem Port:\tCOM9\nFax Support:\tYES\nClass Support:\t0,1\n"
                                  "\nATI3:\tLast Port 33.6\n\n\n\n");
    EXPECT_TRUE(probe.PortFound(9));
    for (int n = 1; n <= 8; ++n) {
      EXPECT_FALSE(probe.PortFound(n)) << n;
      EXPECT_LE(machine.lineTime["COM" + std::to_string(n)], 2 * (kModemReplyTimeOut + kModemPollMs)) << n;
    }
  }
}

// A reply is read when it arrives, not at the next of a row of fixed
// polls: the command's line time is the reply's delay. After the time-out
// one more wait catches a reply that has just come in.
TEST(ModemReplyRead, EndsWhenTheReplyArrives) {
  const struct {
    DWORD delay;
    size_t chunk;
    DWORD chunkGap;
    bool ok;
    DWORD spent;  // line time of the command
  } cases[] = {
      {0, 0, 0, true, 0},
      {30, 0, 0, true, 30},
      {130, 0, 0, true, 130},
      {30, 4, 15, true, 30 + 15 * 3},  // "\r\nBrisk\r\n\r\nOK\r\n" in 4 pieces
      {1999, 0, 0, true, 1999},
      {2050, 0, 0, true, 2050},  // after the time-out, within the last wait
      {2300, 0, 0, false, kModemReplyTimeOut + kModemPollMs},
  };
  for (const auto& c : cases) {
    FakeModems machine;
    ModemProfile p;
    p.echo = false;
    p.delay = c.delay;
    p.chunk = c.chunk;
    p.chunkGap = c.chunkGap;
    p.replies = {{"ATI3", {"Brisk", "OK"}}};
    machine.ports["COM1"] = p;
    FakeModemLine line(machine);
    ModemPortDialogue dialogue(line);
    ASSERT_TRUE(line.Open("COM1"));
    DWORD before = line.now;
    EXPECT_EQ(dialogue.SendModemCommand("ATI3"), c.ok) << c.delay;
    EXPECT_EQ(line.now - before, c.spent) << c.delay << "/" << c.chunk;
    EXPECT_STREQ(dialogue.ReplyText(), c.ok ? "Brisk" : "") << c.delay;
  }
}

TEST(ModemProbeTime, ASilentOrChatteringPortCostsAtMostTwoTimeOuts) {
  // Two tries, each the time-out plus one poll; 100 ms of slack.
  const DWORD bound = 2 * (kModemReplyTimeOut + kModemPollMs) + 100;
  for (bool chatter : {false, true}) {
    FakeModems machine;
    ModemProfile p;
    p.silent = !chatter;
    p.chatter = chatter;
    machine.ports["COM4"] = p;
    FakeModemLine line(machine);
    ModemPortDialogue dialogue(line);
    DWORD before = line.now;
    EXPECT_FALSE(dialogue.OpenModemPort("COM4", true));
    DWORD spent = line.now - before;
    EXPECT_LE(spent, bound) << (chatter ? "chatter" : "silent");
    EXPECT_GE(spent, 2 * kModemReplyTimeOut) << "both tries wait for their time-out";
    EXPECT_LT(strlen(dialogue.ReplyText()), kModemReplySize);
    std::printf("[ measured ] %s port: %lu ms of line time\n", chatter ? "chattering" : "silent",
                (unsigned long)spent);
  }
}

TEST(ModemProbeTime, CancellingEndsTheProbeAtTheNextPoll) {
  auto machine = MakeMachine();
  ModemProbe probe(machine->Lines());
  std::atomic<int> polls{0};
  probe.cancelled = [&] { return ++polls > 3; };
  StringSink out;
  probe.WriteModemInfo(out);
  EXPECT_EQ(out.text, "\n@3Modem Information\nModem:\tNot Found\n");
  for (const auto& port : machine->lineTime) EXPECT_LE(port.second, 1000u) << port.first;
}

TEST(ModemCommand, NeedsAnOpenPortAndAnOkResult) {
  auto machine = MakeMachine();
  FakeModemLine line(*machine);
  ModemPortDialogue probe(line);
  EXPECT_FALSE(probe.SendModemCommand("ATI3"));
  EXPECT_STREQ(probe.ReplyText(), "");
  ASSERT_TRUE(probe.OpenModemPort("COM2", true));
  EXPECT_EQ(probe.ReplyTimeOut(), kModemReplyTimeOut) << "the longer time-out holds for one command only";
  EXPECT_TRUE(probe.SendModemCommand("ATI6"));
  EXPECT_STREQ(probe.ReplyText(), "Chipset SV-9");
  EXPECT_FALSE(probe.SendModemCommand("ATI2"));
  EXPECT_STREQ(probe.ReplyText(), "ERROR");
  // A command longer than the command buffer is cut, never written past it.
  EXPECT_TRUE(probe.SendModemCommand("AT" + std::string(300, 'S')));
  EXPECT_EQ(machine->commands["COM2"].back().size(), kModemCommandSize - 2);
}

TEST(PortSettings, FiveLinesFromTheDefaultConfiguration) {
  auto dcb = [](DWORD baud, BYTE bits, BYTE parity, BYTE stop, int rts, int cts, int outx, int inx) {
    DCB d{};
    d.BaudRate = baud;
    d.ByteSize = bits;
    d.Parity = parity;
    d.StopBits = stop;
    d.fRtsControl = rts;
    d.fOutxCtsFlow = cts;
    d.fOutX = outx;
    d.fInX = inx;
    return d;
  };
  const struct {
    DCB dcb;
    const char* parity;
    const char* stop;
    const char* flow;
  } cases[] = {
      {dcb(9600, 8, 0, 0, RTS_CONTROL_HANDSHAKE, 1, 0, 0), "No parity", "1 stop bit", "Hardware"},
      {dcb(19200, 7, 1, 1, RTS_CONTROL_ENABLE, 0, 1, 0), "Odd", "1.5 stop bits", "Xon / Xoff"},
      {dcb(115200, 8, 2, 2, 0, 1, 0, 1), "Even", "2 stop bits", "Xon / Xoff"},
      {dcb(300, 5, 3, 0, 0, 0, 0, 0), "Mark", "1 stop bit", "None"},
      {dcb(110, 6, 4, 9, 0, 0, 0, 0), "Space", "", "None"},
      {dcb(57600, 8, 7, 0, 0, 0, 0, 0), "", "1 stop bit", "None"},
  };
  for (const auto& c : cases) {
    FakeModems machine;
    FakeModemLine line(machine);
    machine.defaultDcb = c.dcb;
    StringSink out;
    WritePortSettings(out, "Serial Port COM3", line);
    EXPECT_EQ(machine.defaultAskedFor, "COM3");
    char expected[512];
    snprintf(expected, sizeof(expected),
             "   Max Baud Rate:\t%lu\n   Data Bits:\t%u\n   Parity:\t%s\n   Stop Bit:\t%s\n   Flow Control:\t%s\n",
             (unsigned long)c.dcb.BaudRate, (unsigned)c.dcb.ByteSize, c.parity, c.stop, c.flow);
    EXPECT_EQ(out.text, expected);
  }
  // No configuration: the zero record; a name shorter than four characters is used whole.
  FakeModems machine;
  FakeModemLine line(machine);
  machine.haveDefault = false;
  machine.defaultDcb = dcb(9600, 8, 2, 2, 0, 0, 0, 0);
  StringSink out;
  WritePortSettings(out, "CO", line);
  EXPECT_EQ(machine.defaultAskedFor, "CO");
  EXPECT_EQ(out.text,
            "   Max Baud Rate:\t0\n   Data Bits:\t0\n   Parity:\tNo parity\n   Stop Bit:\t1 stop bit\n"
            "   Flow Control:\tNone\n");
}

}  // namespace
