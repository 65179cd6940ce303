#include "fake_mm.h"

#include <cmath>
#include <cstring>
#include <cwctype>

#include "mm/mmapi.h"

namespace fakemm {

FakeMci* g_mci = nullptr;
FakeMixer* g_mixer = nullptr;
FakeWaveIn* g_wave = nullptr;

namespace {

DWORD g_nextControlId = 100;
DWORD g_nextLineId = 0x10000;

std::wstring Upper(std::wstring s) {
  for (wchar_t& c : s) c = (wchar_t)towupper(c);
  return s;
}

// ---- MCI -----------------------------------------------------------------------

// A device that never answers sends nothing at all.
void Queue(FakeMci& m, Notification n) {
  if (!m.silent) m.queue.push_back(n);
}

MCIERROR WINAPI FakeSend(MCIDEVICEID id, UINT msg, DWORD_PTR flags, DWORD_PTR parms) {
  FakeMci& m = *g_mci;
  ++m.calls;
  if (m.hangOn && msg == m.hangOn && !m.hung) {
    // What a call that never returns leaves: nothing done, and its caller
    // (a bounded device call) gives the devices up.
    m.hung = true;
    m.callsAtHang = m.calls;
    return MCIERR_INTERNAL;
  }
  if (msg == MCI_OPEN) {
    ++m.opens;
    if (m.openError) return m.openError;
    auto* p = reinterpret_cast<MCI_OPEN_PARMSW*>(parms);
    FakeMci::Device d;
    d.type = (flags & MCI_OPEN_TYPE) && p->lpstrDeviceType ? Upper(p->lpstrDeviceType) : L"";
    d.element = (flags & MCI_OPEN_ELEMENT) && p->lpstrElementName ? p->lpstrElementName : L"";
    if (d.type == L"CDAUDIO") {
      // Without an element the first drive is opened.
      d.letter = d.element.empty() ? (m.drives.empty() ? 0 : m.drives.begin()->first) : (wchar_t)towupper(d.element[0]);
      if (!d.letter || !m.drives.count(d.letter)) return MCIERR_INVALID_DEVICE_NAME;
      d.mode = m.drives[d.letter].mode;
    } else if (d.element.empty()) {
      return MCIERR_MISSING_PARAMETER;
    } else if (d.type.empty() && m.failElementOnly) {
      return MCIERR_EXTENSION_NOT_FOUND;
    }
    p->wDeviceID = m.nextId++;
    m.devices[p->wDeviceID] = d;
    return 0;
  }
  auto it = m.devices.find(id);
  if (it == m.devices.end()) return MCIERR_INVALID_DEVICE_ID;
  FakeMci::Device& d = it->second;
  switch (msg) {
    case MCI_CLOSE:
      if (d.pendingNotify) Queue(m, {MCI_NOTIFY_ABORTED, (LPARAM)id});
      m.devices.erase(it);
      return 0;
    case MCI_SET:
      if (d.letter && (flags & MCI_SET_DOOR_OPEN)) d.mode = m.drives[d.letter].mode = 530;
      if (d.letter && (flags & MCI_SET_DOOR_CLOSED)) d.mode = m.drives[d.letter].mode = 525;
      return 0;
    case MCI_SEEK:
      return 0;
    case MCI_PUT:
      return m.putError;
    case MCI_PLAY:
      if (m.playError) return m.playError;
      if (d.pendingNotify) Queue(m, {MCI_NOTIFY_SUPERSEDED, (LPARAM)id});
      d.pendingNotify = (flags & MCI_NOTIFY) != 0;
      d.mode = 526;
      if (flags & MCI_FROM) d.position = (DWORD)reinterpret_cast<MCI_PLAY_PARMS*>(parms)->dwFrom;
      return 0;
    case MCI_STOP:
    case MCI_PAUSE:
      if (d.pendingNotify) Queue(m, {MCI_NOTIFY_ABORTED, (LPARAM)id});
      d.pendingNotify = false;
      d.mode = msg == MCI_STOP ? 525 : 529;
      if (msg == MCI_STOP) {
        d.lastStopFlags = (DWORD)flags;
        if (flags & MCI_NOTIFY) Queue(m, {MCI_NOTIFY_SUCCESSFUL, (LPARAM)id});
      }
      return 0;
    case MCI_STATUS: {
      auto* p = reinterpret_cast<MCI_STATUS_PARMS*>(parms);
      const FakeDrive* drive = nullptr;
      if (d.letter) drive = &m.drives[d.letter];
      switch (p->dwItem) {
        case MCI_STATUS_MODE: p->dwReturn = d.mode; return 0;
        case MCI_STATUS_MEDIA_PRESENT: p->dwReturn = drive ? drive->present : TRUE; return 0;
        case MCI_STATUS_POSITION: p->dwReturn = d.position; return 0;
        case MCI_STATUS_NUMBER_OF_TRACKS: p->dwReturn = drive ? drive->audioTracks.size() : 1; return 0;
        case MCI_CDA_STATUS_TYPE_TRACK:  // of a video device: its display window
          if (!drive) {
            p->dwReturn = (DWORD_PTR)m.videoWindow;
            return 0;
          }
          if (!drive || p->dwTrack < 1 || p->dwTrack > drive->audioTracks.size()) return MCIERR_OUTOFRANGE;
          p->dwReturn = drive->audioTracks[p->dwTrack - 1] ? 1088 : 1089;
          return 0;
        case MCI_STATUS_LENGTH:
          if (drive && (flags & MCI_TRACK)) {
            if (p->dwTrack < 1 || p->dwTrack > drive->audioTracks.size()) return MCIERR_OUTOFRANGE;
            int sec = p->dwTrack <= drive->seconds.size() ? drive->seconds[p->dwTrack - 1] : 60;
            p->dwReturn = (DWORD)(sec / 60) | ((DWORD)(sec % 60) << 8);
            return 0;
          }
          if (m.lengthError) return m.lengthError;
          p->dwReturn = m.lengthMs;
          return 0;
        default: return MCIERR_UNSUPPORTED_FUNCTION;
      }
    }
    default:
      return MCIERR_UNSUPPORTED_FUNCTION;
  }
}

// ---- Mixer -------------------------------------------------------------------------

const HMIXER kMixer0 = (HMIXER)(UINT_PTR)0x4242;
const HMIXER kMixer1 = (HMIXER)(UINT_PTR)0x4343;

// The mixer device a handle stands for: mixer 1 is the recording device's
// own mixer when the test gave one.
FakeMixer* MixerOf(HMIXEROBJ h) {
  if ((HMIXER)h == kMixer1 && g_mixer->recordingDevice) return g_mixer->recordingDevice;
  return g_mixer;
}

FakeLine* LineById(FakeMixer* m, DWORD id) {
  for (FakeLine& l : m->lines)
    if (l.id == id) return &l;
  return nullptr;
}

FakeControl* ControlById(FakeMixer* m, DWORD id, FakeLine** owner = nullptr) {
  for (FakeLine& l : m->lines)
    for (FakeControl& c : l.controls)
      if (c.id == id) {
        if (owner) *owner = &l;
        return &c;
      }
  return nullptr;
}

void Fill(FakeMixer* m, const FakeLine& l, MIXERLINEW* ml) {
  ml->dwDestination = l.dest;
  ml->dwSource = l.source;
  ml->dwLineID = l.id;
  ml->dwComponentType = l.type;
  ml->cChannels = l.channels;
  ml->cConnections = l.source == 0xFFFFFFFF ? (DWORD)m->Sources(l.dest).size() : 0;
  ml->cControls = (DWORD)l.controls.size();
  wcsncpy(ml->szName, l.name.c_str(), MIXER_LONG_NAME_CHARS - 1);
  wcsncpy(ml->szShortName, l.name.c_str(), MIXER_SHORT_NAME_CHARS - 1);
}

UINT WINAPI FakeNumDevs() { return g_mixer ? (g_mixer->recordingDevice ? 2 : 1) : 0; }

MMRESULT WINAPI FakeMixerOpen(LPHMIXER h, UINT id, DWORD_PTR, DWORD_PTR, DWORD) {
  if (id == 1 && g_mixer->recordingDevice) {
    ++g_mixer->recordingDevice->opens;
    *h = kMixer1;
    return 0;
  }
  if (id != 0) return MMSYSERR_BADDEVICEID;
  ++g_mixer->opens;
  *h = kMixer0;
  return 0;
}

MMRESULT WINAPI FakeMixerClose(HMIXER h) {
  ++MixerOf((HMIXEROBJ)h)->closes;
  return 0;
}

// The wave-in devices (the mapper too) belong to mixer 1 when there is one.
MMRESULT WINAPI FakeMixerGetId(HMIXEROBJ h, UINT* id, DWORD flags) {
  switch (flags & 0xF0000000) {
    case MIXER_OBJECTF_HMIXER:
      *id = (HMIXER)h == kMixer1 && g_mixer->recordingDevice ? 1 : 0;
      return 0;
    case MIXER_OBJECTF_WAVEIN:
      *id = g_mixer->recordingDevice ? 1 : 0;
      return 0;
    default:
      return MMSYSERR_INVALFLAG;
  }
}

MMRESULT WINAPI FakeLineInfo(HMIXEROBJ h, LPMIXERLINEW ml, DWORD flags) {
  FakeMixer* m = MixerOf(h);
  switch (flags & MIXER_GETLINEINFOF_QUERYMASK) {
    case MIXER_GETLINEINFOF_COMPONENTTYPE:
      for (FakeLine& l : m->lines)
        if (l.source == 0xFFFFFFFF && l.type == ml->dwComponentType) {
          Fill(m, l, ml);
          return 0;
        }
      return MIXERR_INVALLINE;
    case MIXER_GETLINEINFOF_DESTINATION:
      if (FakeLine* l = m->Destination(ml->dwDestination)) {
        Fill(m, *l, ml);
        return 0;
      }
      return MIXERR_INVALLINE;
    case MIXER_GETLINEINFOF_SOURCE: {
      if (m->failSources) return MMSYSERR_ERROR;
      std::vector<FakeLine*> s = m->Sources(ml->dwDestination);
      if (ml->dwSource >= s.size()) return MIXERR_INVALLINE;
      Fill(m, *s[ml->dwSource], ml);
      return 0;
    }
    default:
      return MMSYSERR_INVALFLAG;
  }
}

MMRESULT WINAPI FakeLineControls(HMIXEROBJ h, LPMIXERLINECONTROLSW mlc, DWORD flags) {
  if ((flags & MIXER_GETLINECONTROLSF_QUERYMASK) != MIXER_GETLINECONTROLSF_ONEBYTYPE) return MMSYSERR_INVALFLAG;
  FakeLine* l = LineById(MixerOf(h), mlc->dwLineID);
  if (!l) return MIXERR_INVALLINE;
  FakeControl* c = l->Control(mlc->dwControlType);
  if (!c) return MIXERR_INVALCONTROL;
  MIXERCONTROLW& out = mlc->pamxctrl[0];
  out.dwControlID = c->id;
  out.dwControlType = c->type;
  out.fdwControl = c->flags;
  out.cMultipleItems = (DWORD)c->items.size();
  out.Bounds.dwMinimum = 0;
  out.Bounds.dwMaximum = (c->type & MIXERCONTROL_CT_UNITS_MASK) == MIXERCONTROL_CT_UNITS_BOOLEAN ? 1 : 65535;
  return 0;
}

MMRESULT Details(HMIXEROBJ h, LPMIXERCONTROLDETAILS d, DWORD flags, bool write) {
  FakeLine* owner = nullptr;
  FakeControl* c = ControlById(MixerOf(h), d->dwControlID, &owner);
  if (!c) return MIXERR_INVALCONTROL;
  DWORD items = c->items.empty() ? 1 : (DWORD)c->items.size();
  if ((c->flags & MIXERCONTROL_CONTROLF_MULTIPLE) && d->cMultipleItems != items) return MMSYSERR_INVALPARAM;
  DWORD channels = (c->flags & MIXERCONTROL_CONTROLF_UNIFORM) ? 1 : owner->channels;
  if (d->cChannels != 1 && d->cChannels != channels) return MMSYSERR_INVALPARAM;
  size_t n = (size_t)d->cChannels * items;
  if (!write && (flags & MIXER_GETCONTROLDETAILSF_QUERYMASK) == MIXER_GETCONTROLDETAILSF_LISTTEXT) {
    auto* t = static_cast<MIXERCONTROLDETAILS_LISTTEXTW*>(d->paDetails);
    for (size_t i = 0; i < n; ++i) {
      t[i] = MIXERCONTROLDETAILS_LISTTEXTW{};
      wcsncpy(t[i].szName, c->items[i % items].c_str(), MIXER_LONG_NAME_CHARS - 1);
    }
    return 0;
  }
  auto* v = static_cast<LONG*>(d->paDetails);
  if (write) {
    ++c->writes;
    if (d->cChannels == 1 && channels > 1) {
      // A uniform write sets every channel.
      for (DWORD k = 0; k < channels; ++k)
        for (DWORD i = 0; i < items; ++i) c->values[k * items + i] = v[i];
    } else {
      for (size_t i = 0; i < n; ++i) c->values[i] = v[i];
    }
  } else {
    for (size_t i = 0; i < n; ++i) v[i] = c->values[i];
  }
  return 0;
}

MMRESULT WINAPI FakeGetDetails(HMIXEROBJ h, LPMIXERCONTROLDETAILS d, DWORD flags) { return Details(h, d, flags, false); }
MMRESULT WINAPI FakeSetDetails(HMIXEROBJ h, LPMIXERCONTROLDETAILS d, DWORD flags) { return Details(h, d, flags, true); }

// ---- Wave input ------------------------------------------------------------------

MMRESULT WINAPI FakeWaveOpen(LPHWAVEIN h, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD) {
  ++g_wave->opens;
  if (g_wave->openResult) return g_wave->openResult;
  g_wave->open = true;
  *h = (HWAVEIN)(UINT_PTR)0x5151;
  return 0;
}
MMRESULT WINAPI FakeWavePrepare(HWAVEIN, LPWAVEHDR, UINT) { return g_wave->prepareResult; }
MMRESULT WINAPI FakeWaveUnprepare(HWAVEIN, LPWAVEHDR, UINT) { return 0; }
MMRESULT WINAPI FakeWaveAdd(HWAVEIN, LPWAVEHDR h, UINT) {
  if (g_wave->addResult) return g_wave->addResult;
  g_wave->queued = h;
  return 0;
}
MMRESULT WINAPI FakeWaveStart(HWAVEIN) { return g_wave->startResult; }
MMRESULT WINAPI FakeWaveStop(HWAVEIN) { return 0; }
MMRESULT WINAPI FakeWaveReset(HWAVEIN) {
  // What was heard lands in the queued buffer.
  if (WAVEHDR* h = g_wave->queued) {
    size_t bytes = g_wave->recording.size() * 2;
    if (bytes > h->dwBufferLength) bytes = h->dwBufferLength;
    if (bytes) memcpy(h->lpData, g_wave->recording.data(), bytes);
    h->dwBytesRecorded = (DWORD)bytes;
    g_wave->queued = nullptr;
  }
  return 0;
}
MMRESULT WINAPI FakeWaveClose(HWAVEIN) {
  g_wave->open = false;
  return 0;
}

}  // namespace

void FakeMci::Finish(MCIDEVICEID id) {
  auto it = devices.find(id);
  if (it == devices.end()) return;
  if (it->second.pendingNotify) queue.push_back({MCI_NOTIFY_SUCCESSFUL, (LPARAM)id});
  it->second.pendingNotify = false;
  it->second.mode = 525;
}

void FakeMci::DiscStops(MCIDEVICEID id) {
  auto it = devices.find(id);
  if (it != devices.end()) it->second.mode = 525;
}

FakeControl* FakeLine::Control(DWORD t) {
  for (FakeControl& c : controls)
    if (c.type == t) return &c;
  return nullptr;
}

FakeLine& FakeMixer::AddDestination(DWORD type, const std::wstring& name, DWORD channels, bool bare) {
  DWORD index = 0;
  for (FakeLine& l : lines)
    if (l.source == 0xFFFFFFFF) ++index;
  FakeLine l;
  l.id = g_nextLineId++;
  l.dest = index;
  l.type = type;
  l.name = name;
  l.channels = channels;
  if (!bare) {
    l.controls.push_back({g_nextControlId++, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {}, std::vector<LONG>(channels, 30000)});
    l.controls.push_back({g_nextControlId++, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, {}, {0}});
  }
  lines.push_back(l);
  return lines.back();
}

FakeLine& FakeMixer::AddSource(DWORD dest, DWORD type, const std::wstring& name, DWORD channels, bool bare) {
  FakeLine l;
  l.id = g_nextLineId++;
  l.dest = dest;
  l.source = (DWORD)Sources(dest).size();
  l.type = type;
  l.name = name;
  l.channels = channels;
  if (!bare) {
    l.controls.push_back({g_nextControlId++, MIXERCONTROL_CONTROLTYPE_VOLUME, 0, {}, std::vector<LONG>(channels, 20000)});
    l.controls.push_back({g_nextControlId++, MIXERCONTROL_CONTROLTYPE_MUTE, MIXERCONTROL_CONTROLF_UNIFORM, {}, {0}});
  }
  lines.push_back(l);
  return lines.back();
}

void FakeMixer::AddSelection(DWORD dest, DWORD controlType) {
  std::vector<std::wstring> names;
  for (FakeLine* s : Sources(dest)) names.push_back(s->name);
  FakeControl c{g_nextControlId++, controlType, MIXERCONTROL_CONTROLF_UNIFORM | MIXERCONTROL_CONTROLF_MULTIPLE, names,
                std::vector<LONG>(names.size(), 0)};
  if (!c.values.empty()) c.values[0] = 1;
  Destination(dest)->controls.push_back(c);
}

FakeLine* FakeMixer::Destination(DWORD index) {
  for (FakeLine& l : lines)
    if (l.source == 0xFFFFFFFF && l.dest == index) return &l;
  return nullptr;
}

FakeLine* FakeMixer::ByName(const std::wstring& name, DWORD dest) {
  for (FakeLine& l : lines)
    if (l.name == name && l.dest == dest && l.source != 0xFFFFFFFF) return &l;
  return nullptr;
}

std::vector<FakeLine*> FakeMixer::Sources(DWORD dest) {
  std::vector<FakeLine*> s;
  for (FakeLine& l : lines)
    if (l.dest == dest && l.source != 0xFFFFFFFF) s.push_back(&l);
  return s;
}

FakeMixer FakeMixer::Standard() {
  FakeMixer m;
  m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, L"Speakers");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, L"Wave Out");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER, L"Synth");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, L"CD Audio");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Line In");
  m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, L"Recording");
  m.AddSource(1, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, L"Microphone", 1);
  m.AddSource(1, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Line In");
  m.AddSource(1, MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, L"CD Audio");
  m.AddSelection(1, MIXERCONTROL_CONTROLTYPE_MUX);
  return m;
}

FakeMixer FakeMixer::SpeakersOnly() {
  FakeMixer m;
  m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, L"Master Volume");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, L"Master Volume", 1);
  return m;
}

FakeMixer FakeMixer::RecordingOnly() {
  FakeMixer m;
  m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, L"Master Volume");
  m.AddSource(0, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, L"Master Volume", 1);
  return m;
}

void Install(FakeMci* mci, FakeMixer* mixer, FakeWaveIn* wave) {
  mm::ResetMmApi();
  g_mci = mci;
  g_mixer = mixer;
  g_wave = wave;
  mm::MmApi& api = mm::Mm();
  if (mci) api.mciSendCommand = FakeSend;
  if (mixer) {
    api.mixerGetNumDevs = FakeNumDevs;
    api.mixerOpen = FakeMixerOpen;
    api.mixerClose = FakeMixerClose;
    api.mixerGetID = FakeMixerGetId;
    api.mixerGetLineInfo = FakeLineInfo;
    api.mixerGetLineControls = FakeLineControls;
    api.mixerGetControlDetails = FakeGetDetails;
    api.mixerSetControlDetails = FakeSetDetails;
  }
  if (wave) {
    api.waveInOpen = FakeWaveOpen;
    api.waveInPrepareHeader = FakeWavePrepare;
    api.waveInUnprepareHeader = FakeWaveUnprepare;
    api.waveInAddBuffer = FakeWaveAdd;
    api.waveInStart = FakeWaveStart;
    api.waveInStop = FakeWaveStop;
    api.waveInReset = FakeWaveReset;
    api.waveInClose = FakeWaveClose;
  }
}

void Uninstall() {
  mm::ResetMmApi();
  g_mci = nullptr;
  g_mixer = nullptr;
  g_wave = nullptr;
}

std::vector<int16_t> Silence(size_t n) { return std::vector<int16_t>(n, 0); }

std::vector<int16_t> Noise(size_t n, int amplitude, unsigned seed) {
  std::vector<int16_t> s(n);
  uint32_t x = seed * 2654435761u + 1;
  for (size_t i = 0; i < n; ++i) {
    x = x * 1664525u + 1013904223u;
    s[i] = (int16_t)((int)(x >> 16) % (2 * amplitude + 1) - amplitude);
  }
  return s;
}

std::vector<int16_t> Tone(size_t n, double hz, int amplitude, double rate) {
  std::vector<int16_t> s(n);
  for (size_t i = 0; i < n; ++i) s[i] = (int16_t)std::lround(amplitude * std::sin(2 * 3.14159265358979 * hz * (double)i / rate));
  return s;
}

}  // namespace fakemm
