#include "mm/mixer.h"

#include <cwchar>

#include "mm/mmapi.h"

namespace mm {

namespace {

const DWORD kSelectionTypes[4] = {MIXERCONTROL_CONTROLTYPE_MIXER, MIXERCONTROL_CONTROLTYPE_MUX,
                                  MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT, MIXERCONTROL_CONTROLTYPE_SINGLESELECT};

bool StartsWithNoCase(const std::wstring& s, const wchar_t* prefix) {
  size_t n = wcslen(prefix);
  return s.size() >= n && _wcsnicmp(s.c_str(), prefix, n) == 0;
}

DWORD Channels(const MIXERCONTROLW& c, DWORD lineChannels) {
  if (c.fdwControl & MIXERCONTROL_CONTROLF_UNIFORM) return 1;
  return lineChannels ? lineChannels : 1;
}

DWORD Items(const MIXERCONTROLW& c) {
  return (c.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) && c.cMultipleItems ? c.cMultipleItems : 1;
}

}  // namespace

bool SourceMatches(DWORD requested, DWORD type, const std::wstring& name) {
  if (type == requested) {
    if (type == MIXERLINE_COMPONENTTYPE_SRC_LINE) return StartsWithNoCase(name, L"Line");
    if (type == MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY) return StartsWithNoCase(name, L"AUX");
    return true;
  }
  if (type == MIXERLINE_COMPONENTTYPE_SRC_LINE) {
    if (requested == MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC) return StartsWithNoCase(name, L"CD");
    if (requested == MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY) return StartsWithNoCase(name, L"AUX");
  }
  return false;
}

bool SourceMatchesSecondPass(DWORD requested, DWORD type, const std::wstring& name) {
  return requested == MIXERLINE_COMPONENTTYPE_SRC_LINE && type == MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY &&
         StartsWithNoCase(name, L"Line");
}

bool SingleBit(DWORD mask) { return mask != 0 && (mask & (mask - 1)) == 0; }

// ---- CMixer -----------------------------------------------------------------------

CMixer::~CMixer() {
  ClearSources();
  if (inOwned_ && in_) Mm().mixerClose(in_);
  if (owned_ && mixer_) Mm().mixerClose(mixer_);
}

void CMixer::ClearSources() {
  for (CMixerLine* l : speakerSources_) delete l;
  for (CMixerLine* l : waveInSources_) delete l;
  speakerSources_.clear();
  waveInSources_.clear();
}

BOOL CMixer::Open(HMIXER handle) {
  if (handle) {
    mixer_ = handle;
    owned_ = false;
  } else {
    HMIXER own = nullptr;
    if (Mm().mixerOpen(&own, 0, 0, 0, CALLBACK_NULL | MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR || !own) return FALSE;
    mixer_ = own;
    owned_ = true;
  }
  active_ = in_ = mixer_;
  if (!ReadDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &speaker_)) {
    ShowWaveInMessage(132);
    return FALSE;
  }
  if (!ReadDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, &waveIn_) && !OpenRecordingMixer()) {
    ShowWaveInMessage(133);
    return FALSE;
  }
  return TRUE;
}

// Since every sound device became a mixer of its own, mixer 0 holds the
// speakers only; the recording destination is on the mixer of the device
// that records (the wave-in mapper's, else wave-in device 0).
bool CMixer::OpenRecordingMixer() {
  MmApi& api = Mm();
  UINT id = 0;
  if (api.mixerGetID((HMIXEROBJ)(UINT_PTR)WAVE_MAPPER, &id, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR &&
      api.mixerGetID((HMIXEROBJ)(UINT_PTR)0, &id, MIXER_OBJECTF_WAVEIN) != MMSYSERR_NOERROR)
    return false;
  UINT own = 0;
  if (api.mixerGetID((HMIXEROBJ)mixer_, &own, MIXER_OBJECTF_HMIXER) == MMSYSERR_NOERROR && own == id) return false;
  HMIXER in = nullptr;
  if (api.mixerOpen(&in, id, 0, 0, CALLBACK_NULL | MIXER_OBJECTF_MIXER) != MMSYSERR_NOERROR || !in) return false;
  in_ = in;
  inOwned_ = true;
  Side side(*this, false);
  if (ReadDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, &waveIn_)) return true;
  api.mixerClose(in);
  in_ = mixer_;
  inOwned_ = false;
  return false;
}

bool CMixer::ReadDestination(DWORD componentType, CMixerLine* line) {
  MIXERLINEW ml{};
  ml.cbStruct = sizeof(ml);
  ml.dwComponentType = componentType;
  if (Mm().mixerGetLineInfo((HMIXEROBJ)active_, &ml, MIXER_GETLINEINFOF_COMPONENTTYPE | MIXER_OBJECTF_HMIXER) !=
      MMSYSERR_NOERROR)
    return false;
  *line = CMixerLine{};
  ReadLine(ml, line);
  line->sourceIndex = kNotRead;
  return true;
}

void CMixer::ReadLine(const MIXERLINEW& ml, CMixerLine* line) {
  line->componentType = ml.dwComponentType;
  line->sourceIndex = ml.dwSource;
  line->destinationIndex = ml.dwDestination;
  line->connections = ml.cConnections;
  line->lineId = ml.dwLineID;
  line->channels = ml.cChannels;
  line->controls = ml.cControls;
  line->name.assign(ml.szName, wcsnlen(ml.szName, MIXER_LONG_NAME_CHARS));
  line->haveMute = GetMute(line->lineId, &line->mute);
  // Both channels, so that the balance comes back as it was.
  MIXERCONTROLW c{};
  line->haveVolume = false;
  if (FindControl(line->lineId, MIXERCONTROL_CONTROLTYPE_VOLUME, &c)) {
    MIXERCONTROLDETAILS_UNSIGNED v[2] = {};
    DWORD ch = Channels(c, line->channels) > 1 ? 2 : 1;
    if (Details(c, ch, 1, v, sizeof(MIXERCONTROLDETAILS_UNSIGNED), false)) {
      line->volume[0] = v[0].dwValue;
      line->volume[1] = ch > 1 ? v[1].dwValue : v[0].dwValue;
      line->haveVolume = true;
    }
  }
  line->haveSelection = GetSourceSelection(line->lineId, line->channels, &line->selection);
  if (!line->haveSelection) line->selection = kNotRead;
}

bool CMixer::ReadSources(CMixerLine& destination, std::vector<CMixerLine*>* list) {
  for (DWORD s = 0; s < destination.connections; ++s) {
    MIXERLINEW ml{};
    ml.cbStruct = sizeof(ml);
    ml.dwDestination = destination.destinationIndex;
    ml.dwSource = s;
    if (Mm().mixerGetLineInfo((HMIXEROBJ)active_, &ml, MIXER_GETLINEINFOF_SOURCE | MIXER_OBJECTF_HMIXER) !=
        MMSYSERR_NOERROR)
      return false;
    auto* line = new CMixerLine;
    ReadLine(ml, line);
    list->push_back(line);
  }
  return true;
}

BOOL CMixer::SaveLineSettings() {
  if (!mixer_) return FALSE;
  saved_ = false;
  ClearSources();
  {
    Side speaker(*this, true);
    if (!ReadDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, &speaker_) || !ReadSources(speaker_, &speakerSources_))
      return FALSE;
  }
  {
    Side recording(*this, false);
    if (!ReadDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, &waveIn_) || !ReadSources(waveIn_, &waveInSources_))
      return FALSE;
  }
  saved_ = true;
  return TRUE;
}

bool CMixer::RestoreLine(const CMixerLine& saved, DWORD lineId) {
  if (saved.controls == 0) return true;
  bool ok = true;
  MIXERCONTROLW c{};
  if (saved.haveVolume && FindControl(lineId, MIXERCONTROL_CONTROLTYPE_VOLUME, &c)) {
    MIXERCONTROLDETAILS_UNSIGNED v[2] = {{saved.volume[0]}, {saved.volume[1]}};
    DWORD ch = Channels(c, saved.channels) > 1 ? 2 : 1;
    ok = Details(c, ch, 1, v, sizeof(MIXERCONTROLDETAILS_UNSIGNED), true) && ok;
  }
  if (saved.haveMute) ok = SetMute(lineId, saved.mute) && ok;
  if (saved.haveSelection) ok = SetSourceSelection(lineId, saved.channels, saved.selection) && ok;
  return ok;
}

BOOL CMixer::RestoreLineSettings() {
  if (!mixer_) return FALSE;
  if (!saved_) return TRUE;  // nothing trustworthy to put back
  bool ok = true;
  auto restore = [&](const CMixerLine& dest, const std::vector<CMixerLine*>& sources, bool speakerSide) {
    Side side(*this, speakerSide);
    MIXERLINEW ml{};
    ml.cbStruct = sizeof(ml);
    ml.dwDestination = dest.destinationIndex;
    if (Mm().mixerGetLineInfo((HMIXEROBJ)active_, &ml, MIXER_GETLINEINFOF_DESTINATION | MIXER_OBJECTF_HMIXER) !=
        MMSYSERR_NOERROR) {
      ok = false;
      return;
    }
    ok = RestoreLine(dest, ml.dwLineID) && ok;
    for (const CMixerLine* s : sources) {
      MIXERLINEW sl{};
      sl.cbStruct = sizeof(sl);
      sl.dwDestination = dest.destinationIndex;
      sl.dwSource = s->sourceIndex;
      if (Mm().mixerGetLineInfo((HMIXEROBJ)active_, &sl, MIXER_GETLINEINFOF_SOURCE | MIXER_OBJECTF_HMIXER) !=
          MMSYSERR_NOERROR) {
        ok = false;
        continue;
      }
      ok = RestoreLine(*s, sl.dwLineID) && ok;
    }
  };
  restore(speaker_, speakerSources_, true);
  restore(waveIn_, waveInSources_, false);
  return ok ? TRUE : FALSE;
}

BOOL CMixer::SetAllVolumes(BOOL left, BOOL right, DWORD value) {
  if (!mixer_) {
    ShowWaveInMessage(128);
    return FALSE;
  }
  for (CMixerLine* s : speakerSources_)
    if (s->controls) SetVolume(s->lineId, value);
  if (speaker_.controls) {
    // Each speaker channel by its own box.
    MIXERCONTROLW c{};
    if (FindControl(speaker_.lineId, MIXERCONTROL_CONTROLTYPE_VOLUME, &c)) {
      MIXERCONTROLDETAILS_UNSIGNED v[2] = {{left ? value : 0}, {right ? value : 0}};
      DWORD ch = Channels(c, speaker_.channels) > 1 ? 2 : 1;
      if (ch == 1) v[0].dwValue = left || right ? value : 0;
      Details(c, ch, 1, v, sizeof(MIXERCONTROLDETAILS_UNSIGNED), true);
    }
  }
  Side recording(*this, false);
  for (CMixerLine* s : waveInSources_)
    if (s->controls) SetVolume(s->lineId, value);
  if (waveIn_.controls) SetVolume(waveIn_.lineId, value);
  return TRUE;
}

BOOL CMixer::MuteAllSources(BOOL speakerSide) {
  if (!mixer_) {
    ShowWaveInMessage(128);
    return FALSE;
  }
  Side side(*this, speakerSide);
  CMixerLine& dest = speakerSide ? speaker_ : waveIn_;
  for (CMixerLine* s : speakerSide ? speakerSources_ : waveInSources_)
    if (s->controls) SetMute(s->lineId, 1);
  if (dest.controls) SetSourceSelection(dest.lineId, dest.channels, 0);
  return TRUE;
}

BOOL CMixer::PrepareForPlayback() {
  if (!mixer_) {
    ShowWaveInMessage(128);
    return FALSE;
  }
  MuteAllSources(TRUE);
  // A card without one of these sources is no failure here: nothing is said.
  quiet_ = true;
  for (DWORD type : {MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, MIXERLINE_COMPONENTTYPE_SRC_SYNTHESIZER,
                     MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY})
    EnableSource(type, TRUE, FALSE);
  quiet_ = false;
  if (speaker_.controls) SetMute(speaker_.lineId, 0);
  Side recording(*this, false);
  if (waveIn_.controls) SetMute(waveIn_.lineId, 0);
  return TRUE;
}

BOOL CMixer::EnableSource(DWORD type, BOOL speakerSide, BOOL startFromEmpty) {
  if (!mixer_) {
    ShowWaveInMessage(128);
    return FALSE;
  }
  Side side(*this, speakerSide);
  CMixerLine& dest = speakerSide ? speaker_ : waveIn_;
  const std::vector<CMixerLine*>& sources = speakerSide ? speakerSources_ : waveInSources_;
  DWORD mask = 0;
  if (!startFromEmpty && !GetSourceSelection(dest.lineId, dest.channels, &mask)) mask = 0;
  bool taken = false;
  auto take = [&](CMixerLine* s) {
    taken = true;
    if (s->controls) SetMute(s->lineId, 0);
    int index = SelectSource(dest.lineId, s->name, dest.channels);
    if (index >= 0 && index < 32) mask |= 1u << index;
  };
  for (CMixerLine* s : sources)
    if (SourceMatches(type, s->componentType, s->name)) take(s);
  if (!taken)
    for (CMixerLine* s : sources)
      if (SourceMatchesSecondPass(type, s->componentType, s->name)) take(s);
  if (!taken) {
    if (!quiet_) ShowWaveInMessage(129);
    return FALSE;
  }
  if (dest.controls) SetSourceSelection(dest.lineId, dest.channels, mask);
  return TRUE;
}

int CMixer::SelectSource(DWORD destinationLineId, const std::wstring& name, DWORD channels) {
  for (DWORD type : kSelectionTypes) {
    int index = FindSourceIndex(destinationLineId, type, name, channels);
    if (index >= 0) return index;
  }
  return -1;
}

bool CMixer::FindControl(DWORD lineId, DWORD type, MIXERCONTROLW* control) {
  return FindLineControl(active_, lineId, type, control);
}

bool CMixer::Details(const MIXERCONTROLW& c, DWORD channels, DWORD items, void* values, DWORD size, bool write,
                     DWORD flags) {
  return ControlDetails(active_, c, channels, items, values, size, write, flags);
}

bool CMixer::GetMute(DWORD lineId, DWORD* value) {
  return LineValue(active_, lineId, MIXERCONTROL_CONTROLTYPE_MUTE, value, false);
}

bool CMixer::SetMute(DWORD lineId, DWORD value) {
  return LineValue(active_, lineId, MIXERCONTROL_CONTROLTYPE_MUTE, &value, true);
}

bool CMixer::GetVolume(DWORD lineId, DWORD* value) {
  return LineValue(active_, lineId, MIXERCONTROL_CONTROLTYPE_VOLUME, value, false);
}

bool CMixer::SetVolume(DWORD lineId, DWORD value) {
  return LineValue(active_, lineId, MIXERCONTROL_CONTROLTYPE_VOLUME, &value, true);
}

bool CMixer::GetSourceSelection(DWORD lineId, DWORD channels, DWORD* mask) {
  for (DWORD type : kSelectionTypes) {
    MIXERCONTROLW c;
    if (!FindControl(lineId, type, &c)) continue;
    DWORD ch = Channels(c, channels), items = Items(c);
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values((size_t)ch * items);
    if (!Details(c, ch, items, values.data(), sizeof(MIXERCONTROLDETAILS_BOOLEAN), false)) return false;
    DWORD m = 0;
    for (DWORD i = 0; i < items && i < 32; ++i)
      if (values[i].fValue) m |= 1u << i;
    *mask = m;
    return true;
  }
  return false;
}

bool CMixer::SetSourceSelection(DWORD lineId, DWORD channels, DWORD mask) {
  auto write = [&](DWORD type) {
    MIXERCONTROLW c;
    if (!FindControl(lineId, type, &c)) return false;
    DWORD ch = Channels(c, channels), items = Items(c);
    std::vector<MIXERCONTROLDETAILS_BOOLEAN> values((size_t)ch * items);
    for (DWORD k = 0; k < ch; ++k)
      for (DWORD i = 0; i < items && i < 32; ++i) values[(size_t)k * items + i].fValue = (mask >> i) & 1;
    return Details(c, ch, items, values.data(), sizeof(MIXERCONTROLDETAILS_BOOLEAN), true);
  };
  bool ok = write(MIXERCONTROL_CONTROLTYPE_MIXER) || write(MIXERCONTROL_CONTROLTYPE_MULTIPLESELECT);
  // A single-choice control holds exactly one source.
  if (SingleBit(mask)) ok = (write(MIXERCONTROL_CONTROLTYPE_MUX) || write(MIXERCONTROL_CONTROLTYPE_SINGLESELECT)) || ok;
  return ok;
}

int CMixer::FindSourceIndex(DWORD lineId, DWORD controlType, const std::wstring& name, DWORD channels) {
  MIXERCONTROLW c;
  if (!FindControl(lineId, controlType, &c)) return -1;
  DWORD ch = Channels(c, channels), items = Items(c);
  std::vector<MIXERCONTROLDETAILS_LISTTEXTW> texts((size_t)ch * items);
  if (!Details(c, ch, items, texts.data(), sizeof(MIXERCONTROLDETAILS_LISTTEXTW), false,
               MIXER_GETCONTROLDETAILSF_LISTTEXT))
    return -1;
  for (DWORD i = 0; i < items; ++i) {
    std::wstring item(texts[i].szName, wcsnlen(texts[i].szName, MIXER_LONG_NAME_CHARS));
    if (_wcsicmp(item.c_str(), name.c_str()) == 0) return (int)i;
  }
  return -1;
}

// ---- Wave input ---------------------------------------------------------------------

namespace {

struct WaveInState {
  HWAVEIN device = nullptr;
  bool open = false;
  WAVEHDR header{};
  char* buffer = nullptr;
  WAVEFORMATEX format{WAVE_FORMAT_PCM, 1, kRecordSampleRate, kRecordSampleRate * 2, 2, 16, 0};
};
WaveInState g_in;

}  // namespace

int64_t RecordedLevel(const int16_t* samples, size_t count) {
  size_t from = count / 4, to = count * 3 / 4;
  if (!samples || to <= from + 1) return -1;
  int64_t sum = 0;
  for (size_t i = from + 1; i < to; ++i) {
    int64_t d = (int64_t)samples[i] - samples[i - 1];
    sum += d < 0 ? -d : d;
  }
  return sum / (int64_t)(to - from - 1);
}

bool WaveInOpen() { return g_in.open; }

RecordedSound LastRecording() {
  RecordedSound r;
  r.deviceOpen = g_in.open;
  r.pcm16 = g_in.format.wFormatTag == WAVE_FORMAT_PCM && g_in.format.wBitsPerSample == 16;
  r.data = reinterpret_cast<const uint8_t*>(g_in.buffer);
  if (g_in.buffer && !g_in.open) r.bytes = g_in.header.dwBytesRecorded <= kRecordBufferBytes ? g_in.header.dwBytesRecorded : 0;
  return r;
}

DWORD RecordingBytes() {
  // The driver fills the header from its own thread.
  return g_in.open ? *static_cast<volatile DWORD*>(&g_in.header.dwBytesRecorded) : 0;
}

BOOL RecordLoopback(HWND callback) {
  if (g_in.open) return FALSE;
  MmApi& api = Mm();
  char* buffer = g_in.buffer;
  g_in.header = WAVEHDR{};
  g_in.header.lpData = buffer;
  g_in.header.dwBufferLength = kRecordBufferBytes;
  HWAVEIN device = nullptr;
  if (api.waveInOpen(&device, WAVE_MAPPER, &g_in.format, (DWORD_PTR)callback, 0,
                     callback ? CALLBACK_WINDOW : CALLBACK_NULL) != MMSYSERR_NOERROR) {
    ShowWaveInMessage(121);
    return FALSE;
  }
  if (!g_in.buffer) g_in.buffer = static_cast<char*>(::GlobalAlloc(GPTR, kRecordBufferBytes));
  if (!g_in.buffer) {
    api.waveInClose(device);
    ShowWaveInMessage(122);
    return FALSE;
  }
  g_in.header.lpData = g_in.buffer;
  if (api.waveInPrepareHeader(device, &g_in.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    api.waveInReset(device);
    api.waveInClose(device);
    ShowWaveInMessage(123);
    return FALSE;
  }
  if (api.waveInAddBuffer(device, &g_in.header, sizeof(WAVEHDR)) != MMSYSERR_NOERROR) {
    api.waveInReset(device);
    api.waveInUnprepareHeader(device, &g_in.header, sizeof(WAVEHDR));
    api.waveInClose(device);
    ShowWaveInMessage(124);
    return FALSE;
  }
  g_in.device = device;
  g_in.open = true;
  return TRUE;
}

BOOL StartWaveIn() {
  if (!g_in.open) return FALSE;
  if (Mm().waveInStart(g_in.device) == MMSYSERR_NOERROR) return TRUE;
  StopWaveIn();
  g_in.header.dwBytesRecorded = 0;  // nothing was recorded
  return FALSE;
}

void StopWaveIn() {
  if (!g_in.open) return;
  MmApi& api = Mm();
  api.waveInStop(g_in.device);
  api.waveInReset(g_in.device);
  api.waveInUnprepareHeader(g_in.device, &g_in.header, sizeof(WAVEHDR));
  api.waveInClose(g_in.device);
  g_in.device = nullptr;
  g_in.open = false;
}

void CloseWaveIn() {
  StopWaveIn();
  if (g_in.buffer) ::GlobalFree(g_in.buffer);
  g_in.buffer = nullptr;
  g_in.header = WAVEHDR{};
}

int64_t LastRecordingLevel() {
  if (g_in.open || !g_in.buffer || g_in.header.dwBytesRecorded == 0) return -1;
  if (g_in.format.wFormatTag != WAVE_FORMAT_PCM || g_in.format.wBitsPerSample != 16) return -1;
  DWORD bytes = g_in.header.dwBytesRecorded;
  if (bytes > kRecordBufferBytes) bytes = kRecordBufferBytes;
  return RecordedLevel(reinterpret_cast<const int16_t*>(g_in.buffer), bytes / 2);
}

BOOL CheckRecordedLevel(int threshold) {
  int64_t level = LastRecordingLevel();
  if (level < 0) return TRUE;  // nothing to measure
  return level <= threshold ? TRUE : FALSE;
}

}  // namespace mm
