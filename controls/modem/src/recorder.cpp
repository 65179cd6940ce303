#include "recorder.h"

#include <vector>

#include "ids.h"
#include "modemlogic/tones.h"

namespace modemtest {

namespace {

constexpr DWORD kRate = 8000;
constexpr DWORD kBufferBytes = modemlogic::kRecordingMs / 1000 * kRate * 16 / 8;  // 240,000

class WaveToneRecorder : public ToneRecorder {
 public:
  WaveToneRecorder() {
    if (::mixerOpen(&mixer_, 0, 0, 0, MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR) mixer_ = nullptr;
  }
  ~WaveToneRecorder() override {
    Close();
    if (mixer_) ::mixerClose(mixer_);
  }
  bool HasMixer() const override { return mixer_ != nullptr; }

  bool Prepare(bool lineInput, TestHost& host) override {
    (void)lineInput;  // the input the device records is the system's choice
    if (device_) return false;
    header_ = WAVEHDR{};
    WAVEFORMATEX format{};
    format.wFormatTag = WAVE_FORMAT_PCM;
    format.nChannels = 1;
    format.nSamplesPerSec = kRate;
    format.wBitsPerSample = 16;
    format.nBlockAlign = 2;
    format.nAvgBytesPerSec = kRate * 2;
    if (::waveInOpen(&device_, WAVE_MAPPER, &format, 0, 0, CALLBACK_NULL) != MMSYSERR_NOERROR) {
      device_ = nullptr;
      host.AddLine(host.Text(IDS_MODEM_WAVEIN_OPEN));
      return false;
    }
    if (buffer_.empty()) buffer_.assign(kBufferBytes, 0);
    header_.lpData = reinterpret_cast<LPSTR>(buffer_.data());
    header_.dwBufferLength = kBufferBytes;
    if (::waveInPrepareHeader(device_, &header_, sizeof(header_)) != MMSYSERR_NOERROR) {
      ::waveInReset(device_);
      ::waveInClose(device_);
      device_ = nullptr;
      host.AddLine(host.Text(IDS_MODEM_WAVEIN_PREPARE));
      return false;
    }
    if (::waveInAddBuffer(device_, &header_, sizeof(header_)) != MMSYSERR_NOERROR) {
      ::waveInUnprepareHeader(device_, &header_, sizeof(header_));
      ::waveInReset(device_);
      ::waveInClose(device_);
      device_ = nullptr;
      host.AddLine(host.Text(IDS_MODEM_WAVEIN_ADD));
      return false;
    }
    return true;
  }

  bool Start() override {
    if (!device_) return false;
    if (::waveInStart(device_) == MMSYSERR_NOERROR) return true;
    Stop();
    return false;
  }

  void Stop() override {
    if (!device_) return;
    ::waveInStop(device_);
    ::waveInReset(device_);
    ::waveInUnprepareHeader(device_, &header_, sizeof(header_));
    ::waveInClose(device_);
    device_ = nullptr;
  }

  modemlogic::RecordingView Recording() const override {
    modemlogic::RecordingView v;
    v.deviceOpen = device_ != nullptr;
    v.pcm16 = true;
    v.data = buffer_.empty() ? nullptr : buffer_.data();
    v.bytes = buffer_.empty() ? 0 : (header_.dwBytesRecorded <= kBufferBytes ? header_.dwBytesRecorded : 0);
    return v;
  }

  void Close() override {
    Stop();
    buffer_.clear();
    buffer_.shrink_to_fit();
    header_ = WAVEHDR{};
  }

 private:
  HMIXER mixer_ = nullptr;
  HWAVEIN device_ = nullptr;
  WAVEHDR header_{};
  std::vector<uint8_t> buffer_;
};

}  // namespace

std::unique_ptr<ToneRecorder> MakeWaveToneRecorder(HINSTANCE) { return std::make_unique<WaveToneRecorder>(); }

}  // namespace modemtest
