// The sound card's side of the tone-dialling test, through the shared mixer
// and wave-in routines: at page start the user's mixer settings are saved
// and every line gets the test volume; for each test the recording input
// (line input or microphone) and the wave output are routed and 15 seconds
// of 8000 samples a second, 16-bit mono PCM are recorded; when the page
// closes every setting is put back.
//
// Every call into the sound devices runs on a thread of its own with a
// bound (a driver whose sound server stalled can wait for ever): a call
// that overruns it is named by a line of its own ("The mixer did not answer
// within 15 seconds."), and from then on the devices are given up: no
// further call is tried, not even to put the settings back.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <memory>

#include "mm/devicethread.h"
#include "mm/mixer.h"
#include "sequence.h"

namespace modemtest {

class ToneSoundCard {
 public:
  ToneSoundCard() = default;
  ~ToneSoundCard();
  ToneSoundCard(const ToneSoundCard&) = delete;
  ToneSoundCard& operator=(const ToneSoundCard&) = delete;

  // Page start: messages of the routines go to `results` with this
  // control's texts; the speaker volume's mixer is opened for `page` (which
  // also receives the recording's notifications), the line settings saved
  // and every line set to `volume`. Volumes are set only over settings that
  // were saved, so that they can be put back.
  void Open(HWND page, HWND results, HINSTANCE texts, DWORD volume);
  // Page close (no test running): the saved settings back, the mixer and
  // the recording freed. Also done by the destructor.
  void Close();

  bool HasMixer() const { return haveMixer_; }
  // Whether every call into the devices returned within its bound.
  bool Answering() const { return !devices_.Hung(); }
  mm::CMixer* Mixer() const { return mixer_; }
  // The recorder a run's tone-dialling test uses; valid until Close.
  ToneRecorder* Recorder() const { return recorder_.get(); }

 private:
  friend class MixerToneRecorder;
  enum class Device { WaveIn, Mixer };
  // Runs `f` on the device thread; false when the devices were given up
  // before, or when `f` overran its bound (`device` is then named in the
  // results and the devices are given up).
  template <class R, class F>
  bool Ask(F f, R* out, Device device);
  // The line naming the device that did not answer.
  void SayNoAnswer() const;

  bool open_ = false;
  bool haveMixer_ = false;
  HINSTANCE texts_ = nullptr;
  Device silent_ = Device::WaveIn;  // the device that did not answer
  mm::DeviceThread devices_;
  // Used and freed on the device thread only; kept for good when a call
  // that may still use it overran.
  mm::CMixer* mixer_ = nullptr;
  std::unique_ptr<ToneRecorder> recorder_;
};

}  // namespace modemtest
