// One MCI device (audio CD, MIDI sequencer, waveform audio, video) in a
// small object, and the speaker volume of mixer 0 in three functions. The
// media Test page plays its files and discs through it; the modem control
// and the audio CD player use it too.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <string>

namespace mm {

// Device types (index into the type table).
enum MciType : WORD {
  kMciCdAudio = 0,
  kMciSequencer = 1,
  kMciWaveAudio = 2,
  kMciAvi = 3,
  kMciMpeg = 4,
  kMciVideo5 = 5,
};
inline bool IsVideoType(WORD type) { return type >= kMciAvi && type <= kMciVideo5; }
// The MCI type name of a device type ("" for types without one).
const wchar_t* MciTypeName(WORD type);
// The registered MCI type a video file is tried with when opening it by its
// element alone fails: "avivideo" (AVI), "mpegvideo" (MPEG), else "".
const wchar_t* RegisteredVideoType(WORD type);

// MCI modes and values the callers compare with.
constexpr DWORD kModeNotReady = 524;  // MCI_MODE_NOT_READY
constexpr DWORD kModeStop = 525;
constexpr DWORD kModePlay = 526;
constexpr DWORD kModePause = 529;
constexpr DWORD kModeOpen = 530;
constexpr DWORD kTrackAudio = 1088;  // MCI_CDA_TRACK_AUDIO

// Packed positions (TMSF): byte 0 track, 1 minutes, 2 seconds, 3 frames.
inline DWORD PackTmsf(int track, int minutes, int seconds, int frames) {
  return (DWORD)(track & 0xFF) | ((DWORD)(minutes & 0xFF) << 8) | ((DWORD)(seconds & 0xFF) << 16) |
         ((DWORD)(frames & 0xFF) << 24);
}
inline int TmsfTrack(DWORD p) { return (int)(p & 0xFF); }
inline int TmsfMinutes(DWORD p) { return (int)((p >> 8) & 0xFF); }
inline int TmsfSeconds(DWORD p) { return (int)((p >> 16) & 0xFF); }
// Milliseconds as a track length of a non-CD device: seconds (0..59) in the
// second byte, minutes in the low byte.
DWORD PackedLengthFromMs(DWORD ms);
// One channel stepped by `step` in `direction` (-1 down, not below 0; 1 up,
// not above 65535; anything else: unchanged).
DWORD StepChannel(DWORD value, DWORD step, int direction);
// Both channels of a packed volume (left low word, right high word).
DWORD StepStereoVolume(DWORD volume, DWORD step, int direction);

class MciDevice {
 public:
  // Opens the device: `element` names the file (the drive "D:" for an audio
  // CD); `display` receives the video device's display window (or none).
  MciDevice(WORD type, const std::wstring& element, HWND notify, HWND* display = nullptr);
  ~MciDevice();
  MciDevice(const MciDevice&) = delete;
  MciDevice& operator=(const MciDevice&) = delete;

  bool IsOpen() const { return open_; }
  bool IsPlaying() const { return playing_; }
  bool IsPaused() const { return paused_; }
  MCIDEVICEID DeviceId() const { return id_; }
  WORD Type() const { return type_; }
  HWND DisplayWindow() const { return display_; }
  // The error of a failed open (0 when open or never asked).
  MCIERROR OpenError() const { return openError_; }

  // The player's stop also notifies its window (MCI_NOTIFY with the wait).
  void SetNotifyOnStop(bool on) { notifyOnStop_ = on; }

  void Close();
  MCIERROR Play(HWND notify);
  MCIERROR PlayFrom(HWND notify, DWORD packedPosition);
  MCIERROR Stop();
  DWORD GetStatus(DWORD item);
  DWORD GetTrackStatus(DWORD item, DWORD track);
  DWORD GetTrackLength(DWORD track);
  // The length of what a non-CD device holds, in milliseconds; false when
  // the device cannot tell.
  bool LengthMs(DWORD* ms);
  MCIERROR ToggleDoor();
  DWORD StepVolume(DWORD step, int direction);
  BOOL TogglePause();

 private:
  bool OpenVideo(const std::wstring& element);
  bool OpenAudio(const std::wstring& element);
  DWORD Status(DWORD flags, DWORD item, DWORD track);

  WORD type_;
  MCIDEVICEID id_ = 0;
  bool open_ = false;
  bool playing_ = false;
  bool paused_ = false;
  HWND notify_;
  HWND display_ = nullptr;
  MCIERROR openError_ = 0;
  bool notifyOnStop_ = false;
};

// ---- Speaker volume of mixer 0 ---------------------------------------------
// Opens mixer 0 once (change notifications to `callback`) and finds the
// speaker line and its volume control.
void OpenMixerVolume(HWND callback);
void CloseMixerVolume();
// The handle OpenMixerVolume opened, or nullptr.
HMIXER MixerVolumeHandle();
// The speaker line as OpenMixerVolume found it (cbStruct 0 when not found).
const MIXERLINEW& SpeakerLine();
// Steps the speaker volume; the value read back, 0 without a handle. The
// stepped value stays within the control's range.
DWORD StepMixerVolume(DWORD step, int direction);

// Outcome of SetSpeakerChannelVolume.
enum class ChannelVolumeResult { Set, Mismatch, NoMixer, NoControl, NoDetails, NotSet };
// Sets one channel (0 left, 1 right) of the speaker line's volume and reads
// it back.
ChannelVolumeResult SetSpeakerChannelVolume(int channel, DWORD value);

}  // namespace mm
