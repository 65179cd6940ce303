#include "recorder.h"

#include "ids.h"
#include "mm/mci.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"

namespace modemtest {

namespace {

class MixerToneRecorder : public ToneRecorder {
 public:
  MixerToneRecorder(mm::CMixer* mixer, HWND notify) : mixer_(mixer), notify_(notify) {}

  bool HasMixer() const override { return mm::MixerVolumeHandle() != nullptr; }

  // The routines add their own message lines to the results list.
  bool Prepare(bool lineInput, TestHost&) override {
    if (!mm::RecordLoopback(notify_) || !mixer_) return false;
    if (!mixer_->MuteAllSources(TRUE) || !mixer_->MuteAllSources(FALSE)) return false;
    mixer_->PrepareForPlayback();
    DWORD input = lineInput ? MIXERLINE_COMPONENTTYPE_SRC_LINE : MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    return mixer_->EnableSource(input, FALSE, TRUE) &&
           mixer_->EnableSource(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, TRUE, TRUE);
  }
  bool Start() override { return mm::StartWaveIn() != FALSE; }
  void Stop() override { mm::StopWaveIn(); }
  modemlogic::RecordingView Recording() const override {
    mm::RecordedSound r = mm::LastRecording();
    modemlogic::RecordingView v;
    v.deviceOpen = r.deviceOpen;
    v.pcm16 = r.pcm16;
    v.data = r.data;
    v.bytes = r.bytes;
    return v;
  }
  // A recording left open by a failed test is closed at once, so that the
  // next modem's test can record again.
  void Close() override { mm::CloseWaveIn(); }

 private:
  mm::CMixer* mixer_;
  HWND notify_;
};

}  // namespace

ToneSoundCard::~ToneSoundCard() { Close(); }

void ToneSoundCard::Open(HWND page, HWND results, HINSTANCE texts, DWORD volume) {
  if (open_) return;
  open_ = true;
  mm::MessageIds ids;
  ids.waveInOpen = IDS_MODEM_WAVEIN_OPEN;
  ids.waveInMemory = IDS_MODEM_WAVEIN_MEMORY;
  ids.waveInPrepare = IDS_MODEM_WAVEIN_PREPARE;
  ids.waveInAdd = IDS_MODEM_WAVEIN_ADD;
  ids.mixerHandle = IDS_MODEM_MIXER_HANDLE;
  ids.mixerLine = IDS_MODEM_MIXER_LINE;
  ids.speakerLine = IDS_MODEM_MIXER_SPEAKER;
  ids.waveInLine = IDS_MODEM_MIXER_WAVEIN;
  mm::SetMessageList(results, texts, ids);
  mm::OpenMixerVolume(page);
  mixer_ = std::make_unique<mm::CMixer>();
  if (mixer_->Open(mm::MixerVolumeHandle()) && mixer_->SaveLineSettings()) mixer_->SetAllVolumes(TRUE, TRUE, volume);
  recorder_ = std::make_unique<MixerToneRecorder>(mixer_.get(), page);
}

void ToneSoundCard::Close() {
  if (!open_) return;
  open_ = false;
  recorder_.reset();
  if (mixer_) mixer_->RestoreLineSettings();
  mixer_.reset();
  mm::CloseWaveIn();
  mm::CloseMixerVolume();
  mm::SetMessageList(nullptr, nullptr);
}

bool ToneSoundCard::HasMixer() const { return mm::MixerVolumeHandle() != nullptr; }

}  // namespace modemtest
