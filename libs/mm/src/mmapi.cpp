#include "mm/mmapi.h"

namespace mm {

namespace {

const MmApi kSystem = {
    ::mciSendCommandW,
    ::mixerGetNumDevs,
    ::mixerOpen,
    ::mixerClose,
    ::mixerGetID,
    ::mixerGetLineInfoW,
    ::mixerGetLineControlsW,
    ::mixerGetControlDetailsW,
    ::mixerSetControlDetails,
    ::waveInOpen,
    ::waveInPrepareHeader,
    ::waveInUnprepareHeader,
    ::waveInAddBuffer,
    ::waveInStart,
    ::waveInStop,
    ::waveInReset,
    ::waveInClose,
    ::auxGetVolume,
    ::auxSetVolume,
    ::midiOutGetVolume,
    ::midiOutSetVolume,
    ::waveOutGetVolume,
    ::waveOutSetVolume,
};

MmApi g_api = kSystem;
HWND g_list = nullptr;
HINSTANCE g_resources = nullptr;
MessageIds g_ids;
MessageSink g_sink = nullptr;

}  // namespace

MmApi& Mm() { return g_api; }
void ResetMmApi() { g_api = kSystem; }

bool FindLineControl(HMIXER mixer, DWORD lineId, DWORD type, MIXERCONTROLW* control) {
  if (!mixer) return false;
  *control = MIXERCONTROLW{};
  control->cbStruct = sizeof(MIXERCONTROLW);
  MIXERLINECONTROLSW mlc{};
  mlc.cbStruct = sizeof(mlc);
  mlc.dwLineID = lineId;
  mlc.dwControlType = type;
  mlc.cControls = 1;
  mlc.cbmxctrl = sizeof(MIXERCONTROLW);
  mlc.pamxctrl = control;
  return g_api.mixerGetLineControls((HMIXEROBJ)mixer, &mlc, MIXER_GETLINECONTROLSF_ONEBYTYPE | MIXER_OBJECTF_HMIXER) ==
         MMSYSERR_NOERROR;
}

bool ControlDetails(HMIXER mixer, const MIXERCONTROLW& c, DWORD channels, DWORD items, void* values, DWORD size,
                    bool write, DWORD flags) {
  MIXERCONTROLDETAILS d{};
  d.cbStruct = sizeof(d);
  d.dwControlID = c.dwControlID;
  d.cChannels = channels;
  d.cMultipleItems = (c.fdwControl & MIXERCONTROL_CONTROLF_MULTIPLE) ? items : 0;
  d.cbDetails = size;
  d.paDetails = values;
  flags |= MIXER_OBJECTF_HMIXER;
  MMRESULT r = write ? g_api.mixerSetControlDetails((HMIXEROBJ)mixer, &d, flags)
                     : g_api.mixerGetControlDetails((HMIXEROBJ)mixer, &d, flags);
  return r == MMSYSERR_NOERROR;
}

bool LineValue(HMIXER mixer, DWORD lineId, DWORD type, DWORD* value, bool write) {
  MIXERCONTROLW c;
  if (!FindLineControl(mixer, lineId, type, &c)) return false;
  // Booleans and unsigned values alike are one 32-bit value.
  MIXERCONTROLDETAILS_UNSIGNED v{write ? *value : 0};
  if (!ControlDetails(mixer, c, 1, 1, &v, sizeof(v), write)) return false;
  *value = v.dwValue;
  return true;
}

void SetMessageList(HWND list, HINSTANCE resources, const MessageIds& ids) {
  g_list = list;
  g_resources = resources;
  g_ids = ids;
}
HWND MessageList() { return g_list; }
void SetMessageSink(MessageSink sink) { g_sink = sink; }

const wchar_t* DefaultMessageText(UINT id) {
  switch (id) {
    case 121: return L"Failed to open waveform-audio input device.";
    case 122: return L"Failed to allocate memory blocks for waveform-audio input.";
    case 123: return L"Failed to prepare a buffer for waveform-audio input.";
    case 124: return L"Failed to sends an input buffer to the waveform-audio input device.";
    case 128: return L"Failed to get mixer handle.";
    case 129: return L"Failed to find the specific line of the mixer device.\n";
    case 132: return L"Failed to retrieve information about the speaker line of the mixer device.";
    case 133: return L"Failed to retrieve information about the waveform-audio input line of the mixer device.";
    default: return nullptr;
  }
}

void ShowMixerMessage(const wchar_t* text) {
  if (g_sink) {
    g_sink(text);
    return;
  }
  if (g_list && ::IsWindow(g_list)) ::SendMessageW(g_list, LB_ADDSTRING, 0, (LPARAM)text);
}

void ShowWaveInMessage(UINT id) {
  UINT own = id;
  switch (id) {
    case 121: own = g_ids.waveInOpen; break;
    case 122: own = g_ids.waveInMemory; break;
    case 123: own = g_ids.waveInPrepare; break;
    case 124: own = g_ids.waveInAdd; break;
    case 128: own = g_ids.mixerHandle; break;
    case 129: own = g_ids.mixerLine; break;
    case 132: own = g_ids.speakerLine; break;
    case 133: own = g_ids.waveInLine; break;
  }
  wchar_t buffer[512];
  int n = g_resources ? ::LoadStringW(g_resources, own, buffer, 512) : 0;
  if (n > 0) {
    ShowMixerMessage(buffer);
    return;
  }
  if (const wchar_t* text = DefaultMessageText(id)) ShowMixerMessage(text);
}

}  // namespace mm
