// Counting dialling tones in a recording of the modem's line output: 8000
// samples a second, 16-bit PCM, scanned in windows of loud samples.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>

namespace modemlogic {

// A finished recording as the wave-in device left it.
struct RecordingView {
  bool deviceOpen = false;  // still recording: nothing to count yet
  bool pcm16 = true;        // PCM, 16 bits a sample
  const uint8_t* data = nullptr;
  size_t bytes = 0;         // bytes recorded
};

// The recording holds 15 s (its buffer): a longer "TestATS6Sleep" would
// only wait on a device that records no more.
constexpr unsigned kRecordingMs = 15000;
inline unsigned RecordingWaitMs(unsigned long long sleepMs) {
  return sleepMs > kRecordingMs ? kRecordingMs : (unsigned)sleepMs;
}

// Tones in the recording: a window of `window` samples is loud when more
// than window * percent / 100 of its samples exceed `threshold` (absolute
// value); a tone is a run of more than `period` loud windows. The first
// `beginNoiseMs` of the recording are skipped. -1 when there is no finished
// 16-bit recording or the window length is not positive.
int CountTones(const RecordingView& recording, int threshold, int window, int percent, int period,
               unsigned beginNoiseMs);

// The tones a dial string makes: its digits, '*', '#' and A to D; dial
// modifiers (',', 'W', '@', '!', ';', 'P', 'T', blanks...) make none.
int DialledToneCount(const std::string& dialString);

struct ToneSettings {
  int jump = 500;        // base threshold
  int sample = 30;       // window length
  int percent = 20;
  int period = 20;
  int repeat = 4;        // counting attempts, 2..5
  unsigned beginNoise = 500;
  int tolerance = 1;
};

struct ToneVerdict {
  int count = -1;     // tones counted by the last attempt
  int attempts = 0;
  bool passed = false;
};

// Counts with the threshold doubling from `jump` until the count is within
// the tolerance of the dialled tones or the attempts are used up. A pass
// needs a dial string with tones and at least one tone heard, so that
// silence never passes a short string.
ToneVerdict JudgeTones(const RecordingView& recording, const ToneSettings& settings, const std::string& dialString);

}  // namespace modemlogic
