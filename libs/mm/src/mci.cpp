#include "mm/mci.h"

#include <digitalv.h>

#include <vector>

#include "mm/mmapi.h"

namespace mm {

namespace {

MCIERROR Send(MCIDEVICEID id, UINT msg, DWORD_PTR flags, void* parms) {
  return Mm().mciSendCommand(id, msg, flags, (DWORD_PTR)parms);
}

// The speaker line of mixer 0 and its volume control.
struct SpeakerVolume {
  HMIXER mixer = nullptr;
  MIXERLINEW line{};
  MIXERCONTROLW volume{};
  bool haveVolume = false;
};
SpeakerVolume g_speaker;

bool VolumeDetails(HMIXER mixer, const MIXERCONTROLW& c, DWORD channels, MIXERCONTROLDETAILS_UNSIGNED* values,
                   bool write) {
  return ControlDetails(mixer, c, channels, 1, values, sizeof(MIXERCONTROLDETAILS_UNSIGNED), write);
}

}  // namespace

const wchar_t* MciTypeName(WORD type) {
  switch (type) {
    case kMciCdAudio: return L"cdaudio";
    case kMciSequencer: return L"sequencer";
    case kMciWaveAudio: return L"waveaudio";
    case kMciAvi: return L"CDIVideo";
    default: return L"";
  }
}

const wchar_t* RegisteredVideoType(WORD type) {
  switch (type) {
    case kMciAvi: return L"avivideo";
    case kMciMpeg: return L"mpegvideo";
    default: return L"";
  }
}

DWORD PackedLengthFromMs(DWORD ms) {
  DWORD seconds = ms / 1000;
  return (seconds / 60) | ((seconds % 60) << 8);
}

DWORD StepChannel(DWORD value, DWORD step, int direction) {
  if (direction == -1) return value > step ? value - step : 0;
  if (direction == 1) return value + step < 65535 && value + step >= value ? value + step : 65535;
  return value;
}

DWORD StepStereoVolume(DWORD volume, DWORD step, int direction) {
  DWORD left = StepChannel(LOWORD(volume), step, direction);
  DWORD right = StepChannel(HIWORD(volume), step, direction);
  return MAKELONG(left, right);
}

// ---- MciDevice ----------------------------------------------------------------

MciDevice::MciDevice(WORD type, const std::wstring& element, HWND notify, HWND* display)
    : type_(type), notify_(notify) {
  if (display) *display = nullptr;
  bool ok = IsVideoType(type) ? OpenVideo(element) : OpenAudio(element);
  if (!ok) return;
  open_ = true;
  playing_ = paused_ = false;
  if (display) *display = display_;
}

MciDevice::~MciDevice() { Close(); }

bool MciDevice::OpenAudio(const std::wstring& element) {
  if (element.empty() && type_ != kMciCdAudio) return false;  // nothing to play: MCI is not asked
  MCI_OPEN_PARMSW open{};
  open.lpstrDeviceType = MciTypeName(type_);
  open.lpstrElementName = element.c_str();
  DWORD flags = MCI_OPEN_TYPE | MCI_WAIT | (element.empty() ? 0 : MCI_OPEN_ELEMENT);
  openError_ = Send(0, MCI_OPEN, flags, &open);
  if (openError_) return false;
  id_ = open.wDeviceID;
  MCI_SET_PARMS set{};
  set.dwTimeFormat = type_ == kMciCdAudio ? MCI_FORMAT_TMSF : MCI_FORMAT_MILLISECONDS;
  Send(id_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
  return true;
}

bool MciDevice::OpenVideo(const std::wstring& element) {
  if (element.empty()) return false;
  // By the element alone MCI picks the device its extension is registered
  // for; failing that, the type registered for the kind of file.
  std::wstring name = element;
  std::wstring registered = RegisteredVideoType(type_);
  MCI_DGV_OPEN_PARMSW open{};
  open.lpstrElementName = &name[0];
  openError_ = Send(0, MCI_OPEN, MCI_OPEN_ELEMENT | MCI_WAIT, &open);
  if (openError_ && *RegisteredVideoType(type_)) {
    open = MCI_DGV_OPEN_PARMSW{};
    open.lpstrDeviceType = &registered[0];
    open.lpstrElementName = &name[0];
    openError_ = Send(0, MCI_OPEN, MCI_OPEN_TYPE | MCI_OPEN_ELEMENT | MCI_WAIT, &open);
  }
  if (openError_) return false;
  id_ = open.wDeviceID;

  MCI_DGV_STATUS_PARMSW status{};
  status.dwItem = MCI_DGV_STATUS_HWND;
  HWND window = nullptr;
  if (Send(id_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) == 0) window = (HWND)status.dwReturn;
  if (window && !::IsWindow(window)) window = nullptr;

  if (type_ == kMciAvi && window) {
    MCI_DGV_PUT_PARMS put{};
    RECT client{};
    ::GetClientRect(window, &client);
    put.rc = client;
    if (Send(id_, MCI_PUT, MCI_DGV_PUT_DESTINATION | MCI_WAIT, &put) != 0) {
      // Nothing of a half-opened device stays behind.
      Send(id_, MCI_CLOSE, MCI_WAIT, nullptr);
      id_ = 0;
      openError_ = MCIERR_UNSUPPORTED_FUNCTION;
      return false;
    }
  }
  if (window) {
    if (notify_) {
      HICON icon = (HICON)::SendMessageW(notify_, WM_GETICON, ICON_BIG, 0);
      if (icon) ::SetClassLongPtrW(window, GCLP_HICON, (LONG_PTR)icon);
    }
    if (HMENU menu = ::GetSystemMenu(window, FALSE)) ::DeleteMenu(menu, SC_MINIMIZE, MF_BYCOMMAND);
    display_ = window;
  }
  MCI_SET_PARMS set{};
  set.dwTimeFormat = MCI_FORMAT_MILLISECONDS;
  Send(id_, MCI_SET, MCI_SET_TIME_FORMAT | MCI_WAIT, &set);
  return true;
}

void MciDevice::Close() {
  if (!open_) return;
  Send(id_, MCI_CLOSE, MCI_WAIT, nullptr);
  open_ = playing_ = paused_ = false;
}

MCIERROR MciDevice::Play(HWND notify) {
  if (!open_) return (MCIERROR)-1;
  MCI_PLAY_PARMS play{};
  play.dwCallback = (DWORD_PTR)notify;
  MCIERROR r = Send(id_, MCI_PLAY, MCI_NOTIFY, &play);
  playing_ = r == 0;
  return r;
}

MCIERROR MciDevice::PlayFrom(HWND notify, DWORD position) {
  if (!open_) return (MCIERROR)-1;
  DWORD ms = ((DWORD)TmsfMinutes(position) * 60 + (DWORD)TmsfSeconds(position)) * 1000;
  if (IsVideoType(type_)) {
    MCI_SEEK_PARMS seek{};
    seek.dwTo = ms;
    Send(id_, MCI_SEEK, MCI_TO | MCI_WAIT, &seek);
    if (notify) ::SetTimer(notify, 1003, 500, nullptr);
    return 0;
  }
  MCI_PLAY_PARMS play{};
  play.dwCallback = (DWORD_PTR)notify;
  play.dwFrom = type_ == kMciCdAudio ? position : ms;
  MCIERROR r = Send(id_, MCI_PLAY, MCI_FROM | MCI_NOTIFY, &play);
  playing_ = r == 0;
  return r;
}

MCIERROR MciDevice::Stop() {
  if (!open_) return (MCIERROR)-1;
  MCI_GENERIC_PARMS stop{};
  stop.dwCallback = (DWORD_PTR)notify_;
  MCIERROR r = Send(id_, MCI_STOP, MCI_WAIT | (notifyOnStop_ && notify_ ? MCI_NOTIFY : 0), &stop);
  playing_ = false;
  return r;
}

DWORD MciDevice::Status(DWORD flags, DWORD item, DWORD track) {
  if (!open_) return kModeNotReady;
  MCI_STATUS_PARMS status{};
  status.dwItem = item;
  status.dwTrack = track;
  status.dwReturn = kModeNotReady;
  if (Send(id_, MCI_STATUS, flags | MCI_STATUS_ITEM | MCI_WAIT, &status) != 0) return kModeNotReady;
  return (DWORD)status.dwReturn;
}

DWORD MciDevice::GetStatus(DWORD item) {
  if (item == MCI_STATUS_NUMBER_OF_TRACKS && type_ != kMciCdAudio && open_) return 1;
  return Status(0, item, 0);
}

DWORD MciDevice::GetTrackStatus(DWORD item, DWORD track) { return Status(MCI_TRACK, item, track); }

DWORD MciDevice::GetTrackLength(DWORD track) {
  if (!open_) return 0;
  if (type_ == kMciCdAudio) return Status(MCI_TRACK, MCI_STATUS_LENGTH, track);
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_LENGTH;
  if (Send(id_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) != 0) return 0;
  return PackedLengthFromMs((DWORD)status.dwReturn);
}

bool MciDevice::LengthMs(DWORD* ms) {
  if (!open_ || type_ == kMciCdAudio) return false;
  MCI_STATUS_PARMS status{};
  status.dwItem = MCI_STATUS_LENGTH;
  if (Send(id_, MCI_STATUS, MCI_STATUS_ITEM | MCI_WAIT, &status) != 0) return false;
  *ms = (DWORD)status.dwReturn;
  return true;
}

MCIERROR MciDevice::ToggleDoor() {
  if (!open_ || (type_ != kMciCdAudio && type_ != kMciVideo5)) return (MCIERROR)-1;
  DWORD mode = GetStatus(MCI_STATUS_MODE);
  DWORD door = mode != kModeNotReady && mode != kModeOpen ? MCI_SET_DOOR_OPEN : MCI_SET_DOOR_CLOSED;
  MCI_SET_PARMS set{};
  return Send(id_, MCI_SET, door | MCI_WAIT, &set);
}

DWORD MciDevice::StepVolume(DWORD step, int direction) {
  if (MixerVolumeHandle()) return StepMixerVolume(step, direction);
  if (!open_) return 0;
  DWORD volume = 0;
  MmApi& api = Mm();
  MMRESULT r;
  if (type_ == kMciCdAudio)
    r = api.auxGetVolume(0, &volume);
  else if (type_ == kMciSequencer)
    r = api.midiOutGetVolume((HMIDIOUT)0, &volume);
  else
    r = api.waveOutGetVolume((HWAVEOUT)0, &volume);
  if (r != MMSYSERR_NOERROR) volume = 0;
  volume = StepStereoVolume(volume, step, direction);
  if (type_ == kMciCdAudio)
    api.auxSetVolume(0, volume);
  else if (type_ == kMciSequencer)
    api.midiOutSetVolume((HMIDIOUT)0, volume);
  else
    api.waveOutSetVolume((HWAVEOUT)0, volume);
  return LOWORD(volume);
}

BOOL MciDevice::TogglePause() {
  if (!open_) return FALSE;
  if (paused_) {
    MCI_PLAY_PARMS play{};
    play.dwCallback = (DWORD_PTR)notify_;
    Send(id_, MCI_PLAY, MCI_NOTIFY, &play);
    paused_ = false;
  } else if (GetStatus(MCI_STATUS_MODE) == kModePlay) {
    paused_ = true;
    MCI_GENERIC_PARMS pause{};
    Send(id_, MCI_PAUSE, MCI_WAIT, &pause);
  }
  return paused_;
}

// ---- Speaker volume --------------------------------------------------------------

void OpenMixerVolume(HWND callback) {
  if (g_speaker.mixer) return;
  MmApi& api = Mm();
  if (api.mixerGetNumDevs() == 0) return;
  HMIXER mixer = nullptr;
  DWORD flags = callback ? CALLBACK_WINDOW : CALLBACK_NULL;
  if (api.mixerOpen(&mixer, 0, (DWORD_PTR)callback, 0, flags) != MMSYSERR_NOERROR || !mixer) return;
  g_speaker = SpeakerVolume{};
  g_speaker.mixer = mixer;
  MIXERLINEW line{};
  line.cbStruct = sizeof(line);
  line.dwComponentType = MIXERLINE_COMPONENTTYPE_DST_SPEAKERS;
  if (api.mixerGetLineInfo((HMIXEROBJ)mixer, &line, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER) ==
      MMSYSERR_NOERROR) {
    g_speaker.line = line;
    g_speaker.haveVolume = FindLineControl(mixer, line.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, &g_speaker.volume);
  }
}

void CloseMixerVolume() {
  if (g_speaker.mixer) Mm().mixerClose(g_speaker.mixer);
  g_speaker = SpeakerVolume{};
}

HMIXER MixerVolumeHandle() { return g_speaker.mixer; }

const MIXERLINEW& SpeakerLine() { return g_speaker.line; }

DWORD StepMixerVolume(DWORD step, int direction) {
  if (!g_speaker.mixer || !g_speaker.haveVolume) return 0;
  MIXERCONTROLDETAILS_UNSIGNED value{};
  if (!VolumeDetails(g_speaker.mixer, g_speaker.volume, 1, &value, false)) return 0;
  DWORD lo = g_speaker.volume.Bounds.dwMinimum, hi = g_speaker.volume.Bounds.dwMaximum;
  DWORD v = value.dwValue;
  // Within the control's range, never wrapping round.
  if (direction >= 1)
    v = v + step < v || v + step > hi ? hi : v + step;
  else
    v = v < lo + step || v < step ? lo : v - step;
  value.dwValue = v;
  VolumeDetails(g_speaker.mixer, g_speaker.volume, 1, &value, true);
  MIXERCONTROLDETAILS_UNSIGNED back{};
  if (!VolumeDetails(g_speaker.mixer, g_speaker.volume, 1, &back, false)) return 0;
  return back.dwValue;
}

ChannelVolumeResult SetSpeakerChannelVolume(int channel, DWORD value) {
  if (!g_speaker.mixer) return ChannelVolumeResult::NoMixer;
  MIXERCONTROLW control{};
  if (!FindLineControl(g_speaker.mixer, g_speaker.line.dwLineID, MIXERCONTROL_CONTROLTYPE_VOLUME, &control))
    return ChannelVolumeResult::NoControl;
  DWORD channels = (control.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : g_speaker.line.cChannels;
  if (channels < 1) channels = 1;
  std::vector<MIXERCONTROLDETAILS_UNSIGNED> values(channels);
  if (!VolumeDetails(g_speaker.mixer, control, channels, values.data(), false)) return ChannelVolumeResult::NoDetails;
  size_t index = (size_t)channel < channels ? (size_t)channel : channels - 1;
  values[index].dwValue = value;
  if (!VolumeDetails(g_speaker.mixer, control, channels, values.data(), true)) return ChannelVolumeResult::NotSet;
  std::vector<MIXERCONTROLDETAILS_UNSIGNED> back(channels);
  if (!VolumeDetails(g_speaker.mixer, control, channels, back.data(), false)) return ChannelVolumeResult::NoDetails;
  return back[index].dwValue == value ? ChannelVolumeResult::Set : ChannelVolumeResult::Mismatch;
}

}  // namespace mm
