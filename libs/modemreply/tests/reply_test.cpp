// The modem reply rules: when a reply is finished, which of its lines is the
// answer, and the failure trace of a step.
#include <gtest/gtest.h>

#include <string>

#include "modemreply/reply.h"

using namespace modemlogic;

namespace {

TEST(ModemReply, AReplyIsFinishedByACompleteResultLine) {
  const struct {
    const char* reply;
    bool finished;
    int ok;
  } cases[] = {
      {"ATZ\r\r\nOK\r\n", true, 1},  // echo on
      {"\r\nOK\r\n", true, 1},       // echo off
      {"\r\nOK\r", false, 0},        // the final LF is still on its way
      {"ATDT5551234\r\r\nCONNECT 14400", false, 0},  // the speed may not be whole yet
      {"ATDT5551234\r\r\nCONNECT 144", false, 0},
      {"ATDT5551234\r\r\nCONNECT 14400\r\n", true, 1},
      {"\r\nCONNECT\r\n", true, 1},
      {"ATDT;\r\r\nNO DIALTONE\r\n", true, 1},
      {"\r\nBUSY\r\n", true, 1},
      {"AT%C1\r\r\nERROR\r\n", true, 0},
      {"\r\nBOOK 3\r\n", false, 0},     // "OK" inside a word is no reply
      {"\r\nBOOK 3\r\n\r\nOK\r\n", true, 1},
  };
  for (const auto& c : cases) {
    int ok = 7;
    EXPECT_EQ(MatchResultKeyword(c.reply, &ok), c.finished) << c.reply;
    EXPECT_EQ(ok, c.ok) << c.reply;
  }
  EXPECT_EQ(GetReplyLine("ATZ\r\r\nOK\r\n", 2), "OK");
  EXPECT_EQ(GetReplyLine("ATDT5551234\r\r\nCONNECT 14400\r\n", 2), "CONNECT 14400");
  EXPECT_EQ(GetReplyLine("AT&T1\r\r\nCONNECT 9600\r\n\r\nOK\r\n", 2), "CONNECT 9600");
}

// Byte streams as a port delivers them, chunk by chunk, through the reply
// collector: what comes before the result line is read past, and "OK" counts
// only as a line of its own.
TEST(ModemReply, StreamsAreReadPastToTheirResultLine) {
  using namespace std::string_literals;
  const std::string longLine(1500, 'x');
  std::string banner;
  for (int i = 0; i < 400; ++i) banner += "\r\nbanner line " + std::to_string(i) + "\r\n";
  const struct {
    const char* what;
    std::vector<std::string> chunks;
    bool nulAsBlank;
    int finishedAfter;  // chunks it takes to finish; 0: never
    int ok;
    std::string line;   // the reply line taken from it
  } cases[] = {
      {"echo and OK", {"ATZ\r\r\nOK\r\n"}, false, 1, 1, "OK"},
      {"NULs before OK", {"ATZ\r"s, "\0\0\r\nOK\r\n"s}, false, 2, 1, "OK"},
      {"NULs right before OK on its line", {"ATZ\r\r\n\0\0OK\r\n"s}, false, 1, 1, "OK"},
      {"a NUL inside the answer", {"ATI3\r\r\nSim\0vale\r\n\r\nOK\r\n"s}, false, 1, 1, "Simvale"},
      {"NULs as blanks", {"AT&T1\r\r\nCONNECT 9600\0\r\n\r\nOK\r\n"s}, true, 1, 1, "CONNECT 9600 "},
      {"a line over 999 bytes", {"ATI4\r\r\n" + longLine + "\r\n\r\nOK\r\n"}, false, 1, 1, std::string(999, 'x')},
      {"a line over 999 bytes in pieces", {"ATI4\r\r\n", longLine.substr(0, 700), longLine.substr(700), "\r\n\r\nOK\r\n"},
       false, 4, 1, std::string(999, 'x')},
      {"a banner of many lines", {"ATI0\r" + banner + "\r\nOK\r\n"}, false, 1, 1, "banner line 0"},
      {"OK split across reads", {"ATZ\r\r\nO", "K", "\r", "\n"}, false, 4, 1, "OK"},
      {"CONNECT with its speed split", {"ATD5\r\r\nCONNECT 2", "8800", "\r\n"}, false, 3, 1, "CONNECT 28800"},
      {"OK inside a word", {"\r\nTOKEN\r\n"}, false, 0, 0, "TOKEN"},
      {"OK with more on its line", {"\r\nOK then\r\n"}, false, 0, 0, "OK then"},
      {"OK at the end of a cut line", {"ATI4\r\r\n" + longLine + "OK\r\n"}, false, 0, 0, std::string(999, 'x')},
      {"ERROR after noise", {"AT%C1\r\0\0\r\nERROR\r\n"s}, false, 1, 0, "ERROR"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    ReplyCollector reply(c.nulAsBlank);
    int finishedAfter = 0, ok = 0;
    for (size_t i = 0; i < c.chunks.size(); ++i) {
      reply.Add(c.chunks[i].data(), c.chunks[i].size());
      EXPECT_EQ(reply.Text().find('\0'), std::string::npos);
      EXPECT_LE(reply.Text().size(), kReplyHeadMax + kReplyTailMax);
      if (!finishedAfter && MatchResultKeyword(reply.Text().c_str(), &ok)) finishedAfter = (int)i + 1;
    }
    EXPECT_EQ(finishedAfter, c.finishedAfter);
    if (c.finishedAfter) {
      EXPECT_EQ(ok, c.ok);
    }
    std::string line = GetReplyLine(reply.Text(), 2);
    if (line.empty()) line = GetReplyLine(reply.Text(), 3);
    EXPECT_EQ(line, c.line);
  }
}

TEST(ModemReply, TraceListsTheCodesOfOneStep) {
  ReplyTrace t;
  t.Reset("return code");
  EXPECT_EQ(t.Text(), " ( return code: )");
  t.Add(2);
  t.Add(4);
  EXPECT_EQ(t.Text(), " ( return code: 2 4 )");
  t.Reset("return code");
  t.Add(5);
  EXPECT_EQ(t.Text(), " ( return code: 5 )");
}

}  // namespace
