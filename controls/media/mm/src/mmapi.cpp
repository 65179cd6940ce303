#include "mm/mmapi.h"

namespace mm {

namespace {

const MmApi kSystem = {
    ::mciSendCommandW,
    ::mixerGetNumDevs,
    ::mixerOpen,
    ::mixerClose,
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
MessageSink g_sink = nullptr;

}  // namespace

MmApi& Mm() { return g_api; }
void ResetMmApi() { g_api = kSystem; }

void SetMessageList(HWND list, HINSTANCE resources) {
  g_list = list;
  g_resources = resources;
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
  wchar_t buffer[512];
  int n = g_resources ? ::LoadStringW(g_resources, id, buffer, 512) : 0;
  if (n > 0) {
    ShowMixerMessage(buffer);
    return;
  }
  if (const wchar_t* text = DefaultMessageText(id)) ShowMixerMessage(text);
}

}  // namespace mm
