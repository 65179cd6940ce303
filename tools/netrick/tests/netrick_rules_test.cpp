// The echo packet, the reading of received datagrams and the tune-up
// page's rules, in process.
#include <gtest/gtest.h>

#include <deque>
#include <vector>

#include "echo_run.h"
#include "icmp_packet.h"
#include "tuneup_rules.h"

using namespace netrick;

TEST(NetrickPacket, EchoRequestLayoutAndChecksum) {
  const auto p = BuildEchoRequest(0x0102, 0x0304, 0xA1B2C3D4u);
  EXPECT_EQ(p[0], 8);
  EXPECT_EQ(p[1], 0);
  EXPECT_EQ(p[4], 0x02);  // identifier, little-endian
  EXPECT_EQ(p[5], 0x01);
  EXPECT_EQ(p[6], 0x04);  // sequence
  EXPECT_EQ(p[7], 0x03);
  EXPECT_EQ(p[8], 0);
  EXPECT_EQ(p[9], 0xD4);  // tick count
  EXPECT_EQ(p[12], 0xA1);
  for (int i = 0; i < 32; ++i) EXPECT_EQ(p[13 + i], 32 + i);
  // A packet with its checksum in place sums to zero.
  EXPECT_EQ(InternetChecksum(p.data(), p.size()), 0);
}

TEST(NetrickPacket, ChecksumOfKnownData) {
  // RFC 1071's example words 0001 f203 f4f5 f6f7, read little-endian.
  const uint8_t even[] = {0x01, 0x00, 0x03, 0xF2, 0xF5, 0xF4, 0xF7, 0xF6};
  EXPECT_EQ(InternetChecksum(even, sizeof even), (uint16_t)~0xDDF2);
  const uint8_t odd[] = {0xFF, 0xFF, 0x01};  // 0xFFFF + 0x01 folds to 0x0001
  EXPECT_EQ(InternetChecksum(odd, sizeof odd), (uint16_t)~0x0001);
  EXPECT_EQ(InternetChecksum(nullptr, 0), 0xFFFF);
}

namespace {

// A datagram as a raw socket gives it: a 20-byte IP header, then `icmp`.
std::vector<uint8_t> IpDatagram(uint8_t ttl, std::vector<uint8_t> icmp) {
  std::vector<uint8_t> d = {0x45, 0, 0, 0, 0, 0, 0, 0, ttl, 1, 0, 0, 127, 0, 0, 1, 127, 0, 0, 1};
  for (uint8_t b : icmp) d.push_back(b);
  return d;
}
std::vector<uint8_t> Echo(uint8_t type, uint16_t id) {
  auto p = BuildEchoRequest(id, 7, 1000);
  p[0] = type;
  return std::vector<uint8_t>(p.begin(), p.end());
}

}  // namespace

TEST(NetrickPacket, OnlyAnswersToOurRequestCount) {
  const std::vector<uint8_t> quoted = IpDatagram(64, Echo(8, 42));  // our request as an error quotes it
  std::vector<uint8_t> exceeded = {11, 0, 0, 0, 0, 0, 0, 0};
  for (size_t i = 0; i < 28; ++i) exceeded.push_back(quoted[i]);
  const struct {
    const char* what;
    std::vector<uint8_t> bytes;
    bool answers;
  } cases[] = {
      {"our own request read back", IpDatagram(64, Echo(8, 42)), false},
      {"an echo reply to us", IpDatagram(64, Echo(0, 42)), true},
      {"another program's echo reply", IpDatagram(64, Echo(0, 43)), false},
      {"time exceeded quoting our request", IpDatagram(250, exceeded), true},
      {"too short for an ICMP header", std::vector<uint8_t>(24, 0x45), false},
      {"an IP header longer than the datagram", {0x4F, 0, 0, 0, 0, 0, 0, 0, 64, 1, 0, 0, 1, 2, 3, 4, 1, 2, 3, 4, 0, 0, 0, 0, 0, 0, 0, 0},
       false},
  };
  for (const auto& c : cases) {
    const netrick::Datagram d = ParseDatagram(c.bytes.data(), c.bytes.size());
    EXPECT_EQ(AnswersRequest(d, 42), c.answers) << c.what;
  }
  const netrick::Datagram reply = ParseDatagram(cases[1].bytes.data(), cases[1].bytes.size());
  EXPECT_EQ(reply.ttl, 64);
  EXPECT_TRUE(reply.hasTick);
  EXPECT_EQ(reply.echoedTick, 1000u);
  EXPECT_EQ(reply.source, 0x0100007Fu);  // 127.0.0.1 as stored
  const netrick::Datagram te = ParseDatagram(exceeded.data(), 0);
  EXPECT_FALSE(te.valid);
}

TEST(NetrickTuneup, ReadingTheBoxes) {
  const struct {
    const wchar_t* text;
    const std::vector<ComboItem>* items;
    int value;
  } cases[] = {
      {L"1500 (Windows 95 Default Value)", &kMtuItems, 1500},
      {L"1492", &kMtuItems, 1492},
      {L"", &kTtlItems, 0},
      {L"abc", &kTtlItems, -1},
      {L"-5", &kTtlItems, -1},
      {L"90 min", &kKeepAliveItems, 90},
      {L"90 min ", &kKeepAliveItems, -1},
      {L"99999999999", &kTtlItems, -1},
  };
  for (const auto& c : cases) EXPECT_EQ(ComboValue(c.text, *c.items), c.value);
  EXPECT_EQ(DigitsValue(L"5840"), 5840);
  EXPECT_EQ(DigitsValue(L"58 40"), -1);
  EXPECT_EQ(RegistryNumber(L"3600000", 0), 3600000);
  EXPECT_EQ(RegistryNumber(L"x", 64), 64);
}

TEST(NetrickTuneup, Multiplier) {
  EXPECT_EQ(MultiplierIndex(1460, 5840), 1);  // "4 (Recommended)"
  EXPECT_EQ(MultiplierIndex(536, 4288), 3);
  EXPECT_EQ(MultiplierIndex(1460, 5841), -1);
  EXPECT_EQ(MultiplierIndex(1460, 1460 * 3), -1);
  EXPECT_EQ(MultiplierIndex(0, 0), -1);
}

TEST(NetrickTuneup, OkWritesOnlyChangedValues) {
  TcpSettings loaded;
  loaded.receiveWindow = 5840;
  EXPECT_TRUE(ChangedTcpValues(loaded, loaded).empty());
  TcpSettings now = loaded;
  now.keepAliveMinutes = 90;
  now.blackHoleDetect = 1;
  now.ttl = -1;  // refused: not written
  using V = std::vector<std::pair<std::wstring, std::wstring>>;
  EXPECT_EQ(ChangedTcpValues(loaded, now), (V{{L"SessionKeepAlive", L"5400000"}, {L"PMTUBlackHoleDetect", L"1"}}));
  now = loaded;
  now.receiveWindow = 0;  // refused
  now.ttl = 128;
  now.pmtuDiscovery = 0;
  EXPECT_EQ(ChangedTcpValues(loaded, now), (V{{L"DefaultTTL", L"128"}, {L"PMTUDiscovery", L"0"}}));
}

namespace {

// The socket side of a run, scripted: each hop's send succeeds or fails,
// and each wait gives the next scripted outcome.
struct ScriptedTransport : EchoTransport {
  std::deque<bool> sends;  // missing: the send succeeds
  std::deque<std::pair<Wait, Datagram>> waits;
  int sent = 0, waited = 0;
  std::vector<int> ttls;
  bool SetTimeToLive(int ttl) override {
    ttls.push_back(ttl);
    return true;
  }
  bool Send(const std::array<uint8_t, kEchoRequestSize>&) override {
    ++sent;
    if (sends.empty()) return true;
    bool ok = sends.front();
    sends.pop_front();
    return ok;
  }
  Wait WaitForAnswer(uint16_t, Datagram* answer) override {
    ++waited;
    if (waits.empty()) return Wait::TimedOut;
    auto w = waits.front();
    waits.pop_front();
    *answer = w.second;
    return w.first;
  }
  bool StopAsked() const override { return false; }
  uint32_t Now() const override { return 1000; }
};

Datagram Answer(uint8_t type) {
  Datagram d;
  d.valid = true;
  d.type = type;
  d.ttl = 64;
  d.source = 0x0100007F;
  return d;
}

}  // namespace

// A hop whose send failed has no answer to wait for: it fails at once and
// the run goes on with the next hop (the wait is never entered for it).
TEST(NetrickEchoes, AFailedSendFailsItsHopWithoutWaiting) {
  const struct {
    const char* name;
    bool trace;
    std::vector<bool> sends;
    std::vector<Wait> waits;  // answers of the hops that were sent
    std::vector<uint8_t> types;
    int sent, waited;
    std::vector<HopLine> lines;
  } kCases[] = {
      {"ping, every send fails", false, {false, false, false, false}, {}, {}, 4, 0, {}},
      {"ping, the second send fails", false, {true, false, true, true},
       {Wait::Answer, Wait::Answer, Wait::TimedOut}, {kIcmpEchoReply, kIcmpEchoReply, 0}, 4, 3,
       {HopLine::ReplyTime, HopLine::ReplyTime, HopLine::Unreachable}},
      {"trace, the first two sends fail", true, {false, false, true, true}, {Wait::Answer, Wait::Answer},
       {kIcmpTimeExceeded, kIcmpEchoReply}, 4, 2, {HopLine::TimeExceeded, HopLine::Reply}},
      {"trace, every send fails", true, std::vector<bool>(20, false), {}, {}, 20, 0, {}},
      {"ping, nothing answers", false, {}, {}, {}, 4, 4,
       {HopLine::Unreachable, HopLine::Unreachable, HopLine::Unreachable, HopLine::Unreachable}},
      {"trace, another ICMP type ends it", true, {}, {Wait::Answer}, {kIcmpUnreachable}, 1, 1, {HopLine::Other}},
      {"ping, a failed wait ends it", false, {false, true}, {Wait::Failed}, {0}, 2, 1, {}},
  };
  for (const auto& c : kCases) {
    SCOPED_TRACE(c.name);
    ScriptedTransport t;
    t.sends.assign(c.sends.begin(), c.sends.end());
    for (size_t i = 0; i < c.waits.size(); ++i) t.waits.push_back({c.waits[i], Answer(c.types[i])});
    std::vector<HopLine> lines;
    RunEchoes(c.trace, t, [&](const HopEvent& e) { lines.push_back(e.line); });
    EXPECT_EQ(t.sent, c.sent);
    EXPECT_EQ(t.waited, c.waited);
    EXPECT_EQ(lines, c.lines);
    if (c.trace) {
      std::vector<int> rising;
      for (int i = 1; i <= c.sent; ++i) rising.push_back(i);
      EXPECT_EQ(t.ttls, rising);
    }
  }
}
