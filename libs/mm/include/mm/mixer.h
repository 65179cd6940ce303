// Routing on mixer 0 for the loopback tests (which sources reach the
// speakers and the recording input, at which volume) with the user's
// settings saved and put back; and 15 seconds of 8 kHz mono 16-bit wave
// input with a measure of how loud it was.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <string>
#include <vector>

namespace mm {

constexpr DWORD kNotRead = 0xFFFFFFFF;

// One mixer line as it was found and saved.
struct CMixerLine {
  DWORD componentType = 0;
  DWORD volume[2] = {0, 0};
  DWORD mute = 0;
  DWORD selection = kNotRead;
  DWORD sourceIndex = kNotRead;
  DWORD destinationIndex = kNotRead;
  DWORD connections = 0;
  DWORD lineId = kNotRead;
  DWORD channels = 0;
  DWORD controls = 0;
  std::wstring name;
  // Which values were read (only those are written back).
  bool haveVolume = false, haveMute = false, haveSelection = false;
};

// Whether a source line of a destination is taken for a requested
// component type (EnableSource's rule).
bool SourceMatches(DWORD requested, DWORD componentType, const std::wstring& name);
// The same for the second pass for SRC_LINE (auxiliary sources named "Line").
bool SourceMatchesSecondPass(DWORD requested, DWORD componentType, const std::wstring& name);
// Whether a selection mask can go into a single-choice control (exactly one
// bit set).
bool SingleBit(DWORD mask);

class CMixer {
 public:
  CMixer() = default;
  ~CMixer();
  CMixer(const CMixer&) = delete;
  CMixer& operator=(const CMixer&) = delete;

  BOOL Open(HMIXER handle);
  BOOL SaveLineSettings();
  BOOL RestoreLineSettings();
  BOOL SetAllVolumes(BOOL left, BOOL right, DWORD value);
  BOOL MuteAllSources(BOOL speakerSide);
  BOOL PrepareForPlayback();
  BOOL EnableSource(DWORD componentType, BOOL speakerSide, BOOL startFromEmpty);
  // Index of `name` among the items of the destination's selection control.
  int SelectSource(DWORD destinationLineId, const std::wstring& name, DWORD channels);

  bool Saved() const { return saved_; }
  HMIXER Handle() const { return mixer_; }
  // The mixer that holds the recording destination: the handle in use, or
  // on a machine where every sound device is a mixer of its own (mixer 0
  // then has the speakers only) the mixer of the recording device.
  HMIXER RecordingHandle() const { return in_; }
  const CMixerLine& Speaker() const { return speaker_; }
  const CMixerLine& WaveIn() const { return waveIn_; }
  const std::vector<CMixerLine*>& SpeakerSources() const { return speakerSources_; }
  const std::vector<CMixerLine*>& WaveInSources() const { return waveInSources_; }

  // Line controls of the speaker side's mixer (false when the line has no
  // control of the type).
  bool GetMute(DWORD lineId, DWORD* value);
  bool SetMute(DWORD lineId, DWORD value);
  bool GetVolume(DWORD lineId, DWORD* value);
  bool SetVolume(DWORD lineId, DWORD value);
  bool GetSourceSelection(DWORD lineId, DWORD channels, DWORD* mask);
  bool SetSourceSelection(DWORD lineId, DWORD channels, DWORD mask);
  int FindSourceIndex(DWORD lineId, DWORD controlType, const std::wstring& name, DWORD channels);

 private:
  // Which mixer the line operations below address: the speaker side's or
  // the recording side's.
  class Side {
   public:
    Side(CMixer& m, bool speaker) : m_(m), old_(m.active_) { m.active_ = speaker ? m.mixer_ : m.in_; }
    ~Side() { m_.active_ = old_; }

   private:
    CMixer& m_;
    HMIXER old_;
  };
  bool OpenRecordingMixer();
  bool ReadDestination(DWORD componentType, CMixerLine* line);
  void ReadLine(const MIXERLINEW& ml, CMixerLine* line);
  bool RestoreLine(const CMixerLine& saved, DWORD lineId);
  bool ReadSources(CMixerLine& destination, std::vector<CMixerLine*>* list);
  void ClearSources();
  bool FindControl(DWORD lineId, DWORD type, MIXERCONTROLW* control);
  bool Details(const MIXERCONTROLW& c, DWORD channels, DWORD items, void* values, DWORD size, bool write,
               DWORD flags = 0);

  HMIXER mixer_ = nullptr;
  bool owned_ = false;
  HMIXER in_ = nullptr;  // the recording destination's mixer
  bool inOwned_ = false;
  HMIXER active_ = nullptr;
  CMixerLine speaker_;
  CMixerLine waveIn_;
  std::vector<CMixerLine*> speakerSources_;
  std::vector<CMixerLine*> waveInSources_;
  bool saved_ = false;
  bool quiet_ = false;  // failures inside PrepareForPlayback are not said
};

// ---- Wave input -------------------------------------------------------------------
constexpr DWORD kRecordSampleRate = 8000;
constexpr DWORD kRecordSeconds = 15;
constexpr DWORD kRecordBufferBytes = kRecordSeconds * kRecordSampleRate * 16 / 8;  // 240,000

// The level of a recording: the mean absolute step between successive
// samples over the middle half (samples n/4 .. 3n/4), truncated; -1 when
// there are fewer than two samples to compare.
int64_t RecordedLevel(const int16_t* samples, size_t count);

BOOL RecordLoopback(HWND callback);
BOOL StartWaveIn();
void StopWaveIn();
void CloseWaveIn();
// The level of the last recording, -1 while it is open or when there is none.
int64_t LastRecordingLevel();
// TRUE when the recording is at or below the threshold (silent), or when it
// cannot be measured.
BOOL CheckRecordedLevel(int threshold);
// Whether a recording device is open.
bool WaveInOpen();
// The last recording as it lies in its buffer (bytes 0 while none).
struct RecordedSound {
  bool deviceOpen = false;
  bool pcm16 = false;
  const uint8_t* data = nullptr;
  DWORD bytes = 0;
};
RecordedSound LastRecording();
// How many bytes the open recording holds so far.
DWORD RecordingBytes();

}  // namespace mm
