#include "recorder.h"

#include "appkit/text.h"
#include "ids.h"
#include "mm/mci.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"

namespace modemtest {

template <class R, class F>
bool ToneSoundCard::Ask(F f, R* out, Device device) {
  if (devices_.Hung()) return false;
  if (devices_.Ask(f, out)) return true;
  silent_ = device;
  SayNoAnswer();
  return false;
}

void ToneSoundCard::SayNoAnswer() const {
  UINT id = silent_ == Device::Mixer ? IDS_MODEM_NOANSWER_MIXER : IDS_MODEM_NOANSWER_WAVEIN;
  mm::ShowMixerMessage(appkit::Format(appkit::LoadStr(id, texts_).c_str(), (int)(mm::kDeviceAnswerMs / 1000)).c_str());
}

// The recorder's calls go through the card's device thread; what they use
// is captured by value.
class MixerToneRecorder : public ToneRecorder {
 public:
  MixerToneRecorder(ToneSoundCard& card, HWND notify) : card_(card), notify_(notify) {}

  // True as well when the devices stopped answering at page start: the
  // test then says so.
  bool HasMixer() const override { return card_.HasMixer() || !card_.Answering(); }

  // The routines add their own message lines to the results list.
  bool Prepare(bool lineInput, TestHost&) override {
    if (!card_.Answering()) {
      card_.SayNoAnswer();
      return false;
    }
    HWND notify = notify_;
    bool queued = false;
    if (!card_.Ask([notify] { return mm::RecordLoopback(notify) != FALSE; }, &queued, ToneSoundCard::Device::WaveIn) ||
        !queued)
      return false;
    mm::CMixer* mixer = card_.mixer_;
    if (!mixer) return false;
    DWORD input = lineInput ? MIXERLINE_COMPONENTTYPE_SRC_LINE : MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE;
    bool routed = false;
    return card_.Ask(
               [mixer, input] {
                 if (!mixer->MuteAllSources(TRUE) || !mixer->MuteAllSources(FALSE)) return false;
                 mixer->PrepareForPlayback();
                 return mixer->EnableSource(input, FALSE, TRUE) &&
                        mixer->EnableSource(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, TRUE, TRUE);
               },
               &routed, ToneSoundCard::Device::Mixer) &&
           routed;
  }
  bool Start() override {
    bool started = false;
    return card_.Ask([] { return mm::StartWaveIn() != FALSE; }, &started, ToneSoundCard::Device::WaveIn) && started;
  }
  void Stop() override { Do([] { mm::StopWaveIn(); }); }
  bool Answering() const override { return card_.Answering(); }
  // Read only once the device stopped (and answered): the driver no longer
  // writes the buffer.
  modemlogic::RecordingView Recording() const override {
    mm::RecordedSound r = mm::LastRecording();
    modemlogic::RecordingView v;
    v.deviceOpen = r.deviceOpen;
    v.pcm16 = r.pcm16;
    v.data = r.data;
    v.bytes = r.bytes;
    return v;
  }
  // Opened and closed at once, with the routines' own message when it
  // does not open.
  bool StillOpens() override {
    bool opened = false;
    return card_.Ask(
               [] {
                 if (!mm::RecordLoopback(nullptr)) return false;
                 mm::StopWaveIn();
                 return true;
               },
               &opened, ToneSoundCard::Device::WaveIn) &&
           opened;
  }
  // A recording left open by a failed test is closed at once, so that the
  // next modem's test can record again.
  void Close() override { Do([] { mm::CloseWaveIn(); }); }

 private:
  template <class F>
  void Do(F f) {
    bool done = false;
    card_.Ask(
        [f] {
          f();
          return true;
        },
        &done, ToneSoundCard::Device::WaveIn);
  }

  ToneSoundCard& card_;
  HWND notify_;
};

ToneSoundCard::~ToneSoundCard() { Close(); }

void ToneSoundCard::Open(HWND page, HWND results, HINSTANCE texts, DWORD volume) {
  if (open_) return;
  open_ = true;
  texts_ = texts;
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
  mm::CMixer* mixer = new mm::CMixer;
  mixer_ = mixer;
  Ask(
      [page, mixer, volume] {
        mm::OpenMixerVolume(page);
        if (mixer->Open(mm::MixerVolumeHandle()) && mixer->SaveLineSettings())
          mixer->SetAllVolumes(TRUE, TRUE, volume);
        return mm::MixerVolumeHandle() != nullptr;
      },
      &haveMixer_, Device::Mixer);
  recorder_ = std::make_unique<MixerToneRecorder>(*this, page);
}

void ToneSoundCard::Close() {
  if (!open_) return;
  open_ = false;
  recorder_.reset();
  // The mixer goes on the device thread, where it closes a mixer of its
  // own; while a call that overran may still use it, it stays.
  mm::CMixer* mixer = mixer_;
  mixer_ = nullptr;
  bool done = false;
  Ask(
      [mixer] {
        if (mixer) mixer->RestoreLineSettings();
        delete mixer;
        mm::CloseWaveIn();
        mm::CloseMixerVolume();
        return true;
      },
      &done, Device::Mixer);
  haveMixer_ = false;
  mm::SetMessageList(nullptr, nullptr);
}

}  // namespace modemtest
