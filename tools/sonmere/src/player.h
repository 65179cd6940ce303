// Sonmere's player: the audio CD in the drive through the MCI "cdaudio"
// device, a one-second poll that keeps the display in step with the disc,
// and what the buttons and the position slider do. The dialog is reached
// through PlayerView, so that the player runs the same against a test's
// stand-in.
#pragma once
#include <windows.h>

#include <memory>
#include <string>
#include <vector>

#include "mm/mci.h"

namespace sonmere {

enum DisplayState { kEmpty = 0, kReady = 1, kPlaying = 2, kPaused = 3 };

// "m:ss".
std::wstring FormatTime(int seconds);
// "%2d/%2d" with a leading space of either number turned into '0'.
std::wstring FormatTrackCount(int track, int count);
// The "<<" / ">>" step of a track: a eighth of it, at least 1 and at most
// 60 seconds.
int SeekStep(int trackSeconds);
// `track` brought into 1..count, wrapping at either end (count 0: 0).
int WrapTrack(int track, int count);
// The display state the MCI mode gives.
DisplayState StateOfMode(DWORD mode, bool paused);
// How many one-second ticks a play of a disc of `discSeconds` may report
// "playing" before the drive counts as hung: the whole disc plus a minute;
// a disc of unknown length gets the longest a disc plays (80 minutes) plus
// the minute.
int PlayTickBound(int discSeconds);

// Control ids of the player's dialog.
enum PlayerIds {
  kIdPrevious = 117, kIdPlay, kIdNext, kIdBack, kIdPause, kIdForward, kIdStop, kIdEject, kIdVolDown, kIdVolUp,
  kIdPanel = 1055, kIdDisplay = 1059, kIdFrame = 1060, kIdIdleSlider = 1114, kIdPositionSlider = 1115,
  kIdTrack = 1117, kIdElapsed = 1118, kIdStatus = 1119, kIdLength = 1120,
};

class PlayerView {
 public:
  virtual ~PlayerView() = default;
  virtual std::wstring DisplayText(int id) = 0;
  virtual void SetDisplayText(int id, const std::wstring& text) = 0;
  // Shows the position slider (hiding the idle one) or the idle one.
  virtual void ShowPositionSlider(bool on) = 0;
  virtual bool PositionSliderShown() = 0;
  // The position slider's range (0..max, ticks at the quarters) and value.
  virtual void SetSliderRange(int max) = 0;
  virtual void SetSliderPos(int pos) = 0;
  virtual int SliderPos() = 0;
  virtual void Message(const std::wstring& text, bool exclamation) = 0;
  virtual std::wstring String(UINT id) = 0;
};

class CdPlayer {
 public:
  CdPlayer(PlayerView& view, HWND notify);
  ~CdPlayer();

  // Closes a device there is and opens the drive's audio CD device anew;
  // false when it cannot be opened (the player then has none).
  bool CreateDevice();
  bool HasDevice() const { return device_ != nullptr; }

  void OnTimer();
  void PlayTrack(int track);
  void OnCommand(int id);
  // WM_HSCROLL of the position slider; `pos` as the slider reports it.
  void OnSlider(int code, int pos);
  // MM_MCINOTIFY: true when the player took it.
  bool OnNotify(WPARAM code);
  // The Cancel path: the disc stops before the dialog ends.
  void StopForClose();
  void Refresh();

  DisplayState State() const { return state_; }
  int CurrentTrack() const { return current_; }
  int TrackCount() const { return (int)lengths_.size(); }
  int FirstAudioTrack() const { return firstAudio_; }
  int Elapsed() const { return elapsed_; }
  bool Paused() const { return paused_; }
  bool DiscRead() const { return discRead_; }
  int TrackLength(int track) const;
  int TotalLength() const { return total_; }
  mm::MciDevice* Device() { return device_.get(); }

 private:
  void ReadDisc();
  bool MediaPresent();
  bool IsPlaying();
  void SetUpSlider(int track, int pos);
  int FirstOrOne() const { return firstAudio_ ? firstAudio_ : 1; }
  bool NeedDevice();
  void Seek(int direction);
  void Step(int direction);
  // Sends a play from `position`; the bound on it starts again.
  void PlayFrom(DWORD position);

  PlayerView& view_;
  HWND notify_;
  std::unique_ptr<mm::MciDevice> device_;
  bool discRead_ = false;
  std::vector<int> lengths_;  // seconds of tracks 1..n
  int total_ = 0;
  int firstAudio_ = 0;
  int current_ = 1;
  int elapsed_ = 0;
  DisplayState state_ = kEmpty;
  bool paused_ = false;
  bool seeking_ = false;
  bool busy_ = false;
  int playTicks_ = 0;  // ticks that saw "playing" since the last play request
};

// String ids of the player's texts.
enum PlayerStrings : UINT {
  kStrEmpty = 101,  // the display states' texts, 101 + state
  kStrNotOpen = 110,
  kStrNotPlaying = 111,
  kStrNotPlayable = 112,
  kStrNoTimer = 113,
  kStrNoDevice = 114,
  kStrCaption = 115,
};

}  // namespace sonmere
