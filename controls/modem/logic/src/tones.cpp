#include "modemlogic/tones.h"

#include <cctype>
#include <cstdlib>
#include <cstring>

namespace modemlogic {

int CountTones(const RecordingView& r, int threshold, int window, int percent, int period, unsigned beginNoiseMs) {
  if (r.deviceOpen || !r.data || r.bytes == 0 || !r.pcm16) return -1;
  if (window <= 0) return -1;
  size_t samples = r.bytes / 2;
  size_t first = (size_t)((unsigned long long)beginNoiseMs * 16000u / 1000u) / 2;
  long long limit = (long long)window * percent / 100;
  long long exceed = 0, loud = 0;
  int tones = 0;
  for (size_t i = first; i < samples; ++i) {
    if (i % (size_t)window == 0) {
      // A window boundary: the sample here is not tested.
      if (exceed > limit) {
        ++loud;
      } else {
        if (loud > period) ++tones;
        loud = 0;
      }
      exceed = 0;
    } else {
      int16_t s;
      std::memcpy(&s, r.data + i * 2, 2);
      if (std::abs((int)s) > threshold) ++exceed;
    }
  }
  if (loud > period) ++tones;
  return tones;
}

int DialledToneCount(const std::string& dialString) {
  int n = 0;
  for (char c : dialString) {
    unsigned char u = (unsigned char)std::toupper((unsigned char)c);
    if (std::isdigit(u) || u == '*' || u == '#' || (u >= 'A' && u <= 'D')) ++n;
  }
  return n;
}

ToneVerdict JudgeTones(const RecordingView& recording, const ToneSettings& s, const std::string& dialString) {
  ToneVerdict v;
  int dialled = DialledToneCount(dialString);
  long long factor = 1;
  auto within = [&](int count) { return std::llabs((long long)count - dialled) <= s.tolerance; };
  do {
    long long threshold = s.jump * factor;
    if (threshold > 0x7FFFFFFF) threshold = 0x7FFFFFFF;
    v.count = CountTones(recording, (int)threshold, s.sample, s.percent, s.period, s.beginNoise);
    factor *= 2;
    ++v.attempts;
  } while (v.attempts < s.repeat && !(v.count >= 0 && within(v.count)));
  v.passed = dialled > 0 && v.count > 0 && within(v.count);
  return v;
}

}  // namespace modemlogic
