// The modem test's plain rules: the bounds of its waits, counting dialling
// tones in generated 8 kHz recordings, and the result texts built from
// replies.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

#include "modemlogic/rules.h"
#include "modemlogic/tones.h"

using namespace modemlogic;

namespace {

// However the settings are set, every wait on a modem has a bound.
TEST(ModemWaits, EveryWaitHasABound) {
  EXPECT_EQ(BoundedReplyTimeout(0xFFFFFFFFull), kLongestReplyWaitMs);
  EXPECT_EQ(BoundedReplyTimeout(3000), 3000u);
  const struct {
    unsigned long long delay;
    unsigned timeout, poll;
  } polls[] = {{100, 3000, 100}, {0xFFFFFFFFull, 3000, 3000}, {60000, 1200, 1200}, {0, 3000, 1}, {100, 0, 1}};
  for (const auto& p : polls) EXPECT_EQ(PollIntervalMs(p.delay, p.timeout), p.poll) << p.delay << " " << p.timeout;
  EXPECT_EQ(ReplyTrickleMs(300), 33333u);
  EXPECT_EQ(ReplyTrickleMs(0), 33333u);
  EXPECT_EQ(ReplyTrickleMs(19200), 520u);
  EXPECT_EQ(RecordingWaitMs(0xFFFFFFFFull), kRecordingMs);
  EXPECT_EQ(RecordingWaitMs(6000), 6000u);
}

// ---- Tones -------------------------------------------------------------------

constexpr int kRate = 8000;
constexpr double kPi = 3.14159265358979323846;

// A recording of `ms` milliseconds: low noise, with a dual tone (as a modem
// dials) of `amplitude` inside every [from, to) millisecond span.
std::vector<int16_t> Recording(int ms, const std::vector<std::pair<int, int>>& bursts, int amplitude = 8000,
                               int noise = 300) {
  std::vector<int16_t> s((size_t)ms * kRate / 1000);
  uint32_t seed = 12345;
  for (size_t i = 0; i < s.size(); ++i) {
    seed = seed * 1103515245u + 12345u;
    double v = (double)((int)((seed >> 16) % (2 * noise + 1)) - noise);
    double t = (double)i / kRate;
    int at = (int)(i * 1000 / kRate);
    for (const auto& b : bursts)
      if (at >= b.first && at < b.second)
        v += amplitude / 2.0 * (std::sin(2 * kPi * 697 * t) + std::sin(2 * kPi * 1209 * t));
    if (v > 32767) v = 32767;
    if (v < -32768) v = -32768;
    s[i] = (int16_t)v;
  }
  return s;
}

// `n` bursts of 90 ms, 90 ms apart, after the skipped start.
std::vector<std::pair<int, int>> Bursts(int n) {
  std::vector<std::pair<int, int>> b;
  for (int i = 0; i < n; ++i) b.push_back({700 + i * 180, 790 + i * 180});
  return b;
}

RecordingView View(const std::vector<int16_t>& s) {
  RecordingView v;
  v.data = reinterpret_cast<const uint8_t*>(s.data());
  v.bytes = s.size() * 2;
  return v;
}

// Exactly `windows` loud windows of 30 samples, starting on a window boundary.
std::vector<int16_t> LoudWindows(int windows) {
  std::vector<int16_t> s(kRate * 2, 0);
  const size_t start = 4200;
  for (size_t i = start; i < start + (size_t)windows * 30; ++i) s[i] = (i % 2) ? 5000 : -5000;
  return s;
}

int CountDefault(const std::vector<int16_t>& s) { return CountTones(View(s), 500, 30, 20, 20, 500); }

TEST(ModemTones, CountsBurstsInGeneratedRecordings) {
  const struct {
    const char* what;
    std::vector<int16_t> samples;
    int tones;
  } cases[] = {
      {"7 bursts with noise", Recording(3000, Bursts(7)), 7},
      {"5 bursts", Recording(3000, Bursts(5)), 5},
      {"6 bursts", Recording(3000, Bursts(6)), 6},
      {"8 bursts", Recording(3000, Bursts(8)), 8},
      {"one tone all the time", Recording(3000, {{0, 3000}}), 1},
      {"silence", Recording(3000, {}), 0},
      {"a burst inside the skipped start", Recording(3000, {{100, 400}}), 0},
      {"20 loud windows are no tone", LoudWindows(20), 0},
      {"21 loud windows are one", LoudWindows(21), 1},
  };
  for (const auto& c : cases) EXPECT_EQ(CountDefault(c.samples), c.tones) << c.what;

  // Samples on window boundaries are never tested: loud ones alone make no tone.
  std::vector<int16_t> spikes(kRate * 2, 0);
  for (size_t i = 0; i < spikes.size(); i += 30) spikes[i] = 30000;
  EXPECT_EQ(CountDefault(spikes), 0);

  // One quiet window splits a run in two only when both halves are long enough.
  std::vector<int16_t> split = LoudWindows(43);
  for (size_t i = 4200 + 21 * 30; i < 4200 + 22 * 30; ++i) split[i] = 0;
  EXPECT_EQ(CountDefault(split), 2);
  std::vector<int16_t> uneven = LoudWindows(43);
  for (size_t i = 4200 + 25 * 30; i < 4200 + 26 * 30; ++i) uneven[i] = 0;
  EXPECT_EQ(CountDefault(uneven), 1);
}

TEST(ModemTones, NothingToCountIsMinusOne) {
  std::vector<int16_t> s = Recording(1000, Bursts(1));
  RecordingView open = View(s);
  open.deviceOpen = true;
  RecordingView wrongFormat = View(s);
  wrongFormat.pcm16 = false;
  EXPECT_EQ(CountTones(open, 500, 30, 20, 20, 500), -1);
  EXPECT_EQ(CountTones(wrongFormat, 500, 30, 20, 20, 500), -1);
  EXPECT_EQ(CountTones(RecordingView{}, 500, 30, 20, 20, 500), -1);
  EXPECT_EQ(CountTones(View(s), 500, 0, 20, 20, 500), -1) << "a window of no samples";
}

TEST(ModemTones, JudgesAgainstTheDialledTones) {
  ToneSettings d;  // the defaults
  const struct {
    const char* digits;
    std::vector<int16_t> samples;
    bool passed;
  } cases[] = {
      {"5551234", Recording(3000, Bursts(7)), true},
      {"5551234", Recording(3000, Bursts(6)), true},
      {"5551234", Recording(3000, Bursts(8)), true},
      {"5551234", Recording(3000, Bursts(5)), false},
      {"555,12-34W", Recording(3000, Bursts(7)), true},   // modifiers make no tone
      {"555,,,,,,,", Recording(3000, Bursts(7)), false},  // 3 tones dialled, 7 heard
      {"1", Recording(3000, {}), false},                  // silence never passes
      {",W", Recording(3000, {}), false},                 // nothing dialled
      {"*#AD", Recording(3000, Bursts(4)), true},
  };
  for (const auto& c : cases) EXPECT_EQ(JudgeTones(View(c.samples), d, c.digits).passed, c.passed) << c.digits;

  ToneSettings zero = d;
  zero.sample = 0;
  EXPECT_FALSE(JudgeTones(View(cases[0].samples), zero, "5551234").passed);

  // A loud hum under the bursts: 500 and 1000 hear one long tone, 2000
  // hears the seven bursts.
  std::vector<int16_t> hum = Recording(3000, Bursts(7), 12000, 1900);
  ToneVerdict v = JudgeTones(View(hum), d, "5551234");
  EXPECT_TRUE(v.passed);
  EXPECT_EQ(v.count, 7);
  EXPECT_EQ(v.attempts, 3);
  ToneSettings two = d;
  two.repeat = 2;
  EXPECT_FALSE(JudgeTones(View(hum), two, "5551234").passed);
}

// ---- Rules ------------------------------------------------------------------

TEST(ModemRules, SettingsAndResultTexts) {
  for (auto [in, out] : {std::pair<long long, int>{9, 5}, {6, 5}, {5, 5}, {4, 4}, {2, 2}, {1, 2}, {-3, 2}})
    EXPECT_EQ(ClampToneRepeat(in), out) << in;
  EXPECT_EQ(UpperCased("linein"), "LINEIN");
  EXPECT_TRUE(RecordsLineInput("LINEIN"));
  EXPECT_FALSE(RecordsLineInput(UpperCased("mic")));
  EXPECT_FALSE(RecordsLineInput(""));

  EXPECT_EQ(StandardCommandLabel("ATQ0"), "ATQ:\t");
  EXPECT_EQ(RegisterLabel("ATS12?"), "S12:\t");
  EXPECT_EQ(RegisterLabel("ATS25?"), "S25:\t");

  EXPECT_EQ(ConnectSpeed("ATDT 1\r\r\nCONNECT 14400\r\n"), 14400);
  EXPECT_EQ(ConnectSpeed("\r\nCONNECT   28800/ARQ\r\n"), 28800);
  EXPECT_EQ(ConnectSpeed("\r\nCONNECT\r\n"), 0);
  EXPECT_EQ(ConnectSpeed("\r\nBUSY\r\n"), 0);

  const struct {
    bool check;
    int speed;
    bool failed;
    const char* text;
  } calls[] = {
      {true, 14400, true, "FAILED(14400)"},  {true, 28800, false, "PASSED(28800)"},
      {true, 19200, false, "PASSED(19200)"}, {true, 0, true, "FAILED"},
      {false, 0, false, "PASSED"},           {false, 9600, false, "PASSED(9600)"},
  };
  for (const auto& c : calls) {
    CallResult r = JudgeConnection(c.check, c.speed, 19200, "PASSED", "FAILED");
    EXPECT_EQ(r.failed, c.failed) << c.speed;
    EXPECT_EQ(r.text, c.text) << c.speed;
  }

  EXPECT_TRUE(LoopbackConnected("CONNECT 9600"));
  EXPECT_FALSE(LoopbackConnected("connect 9600"));
  EXPECT_EQ(LoopbackShown("CONNECT 9600\x01junk"), "(CONNECT 9600)");

  EXPECT_TRUE(FitsCommandBuffer(std::string(98, '1')));
  EXPECT_FALSE(FitsCommandBuffer(std::string(99, '1')));
}

}  // namespace
