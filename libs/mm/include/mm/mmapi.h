// The Windows multimedia calls the MCI, mixer and wave-in routines make,
// gathered in one table so that a test can stand in for the devices. The
// table starts out with the system's functions.
#pragma once
#include <windows.h>
#include <mmsystem.h>

namespace mm {

struct MmApi {
  // MCI
  MCIERROR(WINAPI* mciSendCommand)(MCIDEVICEID, UINT, DWORD_PTR, DWORD_PTR);
  // Mixer
  UINT(WINAPI* mixerGetNumDevs)();
  MMRESULT(WINAPI* mixerOpen)(LPHMIXER, UINT, DWORD_PTR, DWORD_PTR, DWORD);
  MMRESULT(WINAPI* mixerClose)(HMIXER);
  MMRESULT(WINAPI* mixerGetID)(HMIXEROBJ, UINT*, DWORD);
  MMRESULT(WINAPI* mixerGetLineInfo)(HMIXEROBJ, LPMIXERLINEW, DWORD);
  MMRESULT(WINAPI* mixerGetLineControls)(HMIXEROBJ, LPMIXERLINECONTROLSW, DWORD);
  MMRESULT(WINAPI* mixerGetControlDetails)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);
  MMRESULT(WINAPI* mixerSetControlDetails)(HMIXEROBJ, LPMIXERCONTROLDETAILS, DWORD);
  // Wave input
  MMRESULT(WINAPI* waveInOpen)(LPHWAVEIN, UINT, LPCWAVEFORMATEX, DWORD_PTR, DWORD_PTR, DWORD);
  MMRESULT(WINAPI* waveInPrepareHeader)(HWAVEIN, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* waveInUnprepareHeader)(HWAVEIN, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* waveInAddBuffer)(HWAVEIN, LPWAVEHDR, UINT);
  MMRESULT(WINAPI* waveInStart)(HWAVEIN);
  MMRESULT(WINAPI* waveInStop)(HWAVEIN);
  MMRESULT(WINAPI* waveInReset)(HWAVEIN);
  MMRESULT(WINAPI* waveInClose)(HWAVEIN);
  // Output volumes of the auxiliary, MIDI and wave outputs
  MMRESULT(WINAPI* auxGetVolume)(UINT, LPDWORD);
  MMRESULT(WINAPI* auxSetVolume)(UINT, DWORD);
  MMRESULT(WINAPI* midiOutGetVolume)(HMIDIOUT, LPDWORD);
  MMRESULT(WINAPI* midiOutSetVolume)(HMIDIOUT, DWORD);
  MMRESULT(WINAPI* waveOutGetVolume)(HWAVEOUT, LPDWORD);
  MMRESULT(WINAPI* waveOutSetVolume)(HWAVEOUT, DWORD);
};

// The table in use; a test changes entries and puts them back with
// ResetMmApi.
MmApi& Mm();
void ResetMmApi();

// The control of `type` on mixer line `lineId`; false when the line has none.
bool FindLineControl(HMIXER mixer, DWORD lineId, DWORD type, MIXERCONTROLW* control);
// Reads or writes the 4-byte details of a control for `channels` x `items`
// entries (items counts only for a multiple-item control); `flags` adds a
// query kind such as MIXER_GETCONTROLDETAILSF_LISTTEXT.
bool ControlDetails(HMIXER mixer, const MIXERCONTROLW& control, DWORD channels, DWORD items, void* values,
                    DWORD size, bool write, DWORD flags = 0);
// One value of a control addressed as a single channel (uniform).
bool LineValue(HMIXER mixer, DWORD lineId, DWORD type, DWORD* value, bool write);

// The messages of the routines go to one result list: a list box
// (LB_ADDSTRING) while it exists, or the sink a test sets. The routines name
// a message by its number in the media control's string table (121..124
// wave input, 128, 129, 132, 133 mixer); a control whose string table
// numbers them otherwise gives its own numbers. Texts come from `resources`
// when it has them, else the routines' own English texts.
struct MessageIds {
  UINT waveInOpen = 121, waveInMemory = 122, waveInPrepare = 123, waveInAdd = 124;
  UINT mixerHandle = 128, mixerLine = 129, speakerLine = 132, waveInLine = 133;
};
void SetMessageList(HWND list, HINSTANCE resources, const MessageIds& ids = MessageIds());
HWND MessageList();
using MessageSink = void (*)(const wchar_t* text);
void SetMessageSink(MessageSink sink);
void ShowMixerMessage(const wchar_t* text);
void ShowWaveInMessage(UINT stringId);
// The routines' own text of a message id (nullptr for another id).
const wchar_t* DefaultMessageText(UINT stringId);

}  // namespace mm
