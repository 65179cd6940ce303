// The sound card's side of the tone-dialling test, through the shared mixer
// and wave-in routines: at page start the user's mixer settings are saved
// and every line gets the test volume; for each test the recording input
// (line input or microphone) and the wave output are routed and 15 seconds
// of 8000 samples a second, 16-bit mono PCM are recorded; when the page
// closes every setting is put back.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <memory>

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

  bool HasMixer() const;
  mm::CMixer* Mixer() const { return mixer_.get(); }
  // The recorder a run's tone-dialling test uses; valid until Close.
  ToneRecorder* Recorder() const { return recorder_.get(); }

 private:
  bool open_ = false;
  std::unique_ptr<mm::CMixer> mixer_;
  std::unique_ptr<ToneRecorder> recorder_;
};

}  // namespace modemtest
