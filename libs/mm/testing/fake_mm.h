// Stand-ins for the multimedia devices behind the MCI, mixer and wave-in
// routines: an MCI with wave, sequencer and audio CD devices whose
// notifications queue up until the test hands them on, a mixer of lines and
// controls, and a wave input that "records" the samples a test gives it.
// Install() puts them into the routines' table, Uninstall() takes them out.
#pragma once
#include <windows.h>
#include <mmsystem.h>

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <vector>

namespace fakemm {

struct Notification {
  WPARAM code;
  LPARAM device;
};

// A CD-ROM drive as MCI sees it.
struct FakeDrive {
  DWORD mode = 525;                // stopped; 530 door open, 524 not ready
  std::vector<bool> audioTracks;   // per track: audio (true) or data
  std::vector<int> seconds = {};   // per track: its length (default 60 s)
  bool present = true;             // a disc is in the drive
};

struct FakeMci {
  struct Device {
    std::wstring type, element;
    wchar_t letter = 0;     // an audio CD device's drive
    bool pendingNotify = false;
    DWORD mode = 525;
    DWORD position = 0;     // TMSF of the last play
    DWORD lastStopFlags = 0;
  };
  std::map<MCIDEVICEID, Device> devices;
  MCIDEVICEID nextId = 1;
  std::deque<Notification> queue;
  std::map<wchar_t, FakeDrive> drives;  // by upper-case letter
  MCIERROR openError = 0;               // for every open
  MCIERROR playError = 0;               // for every play
  bool failElementOnly = false;         // an open by the element alone fails
  HWND videoWindow = nullptr;           // a video device's display window
  MCIERROR putError = 0;                // MCI_PUT on a video device
  bool silent = false;                  // plays are taken but nothing ever notifies (not even a stop)
  DWORD lengthMs = 125000;              // MCI_STATUS_LENGTH of a file device
  MCIERROR lengthError = 0;             // the length cannot be told
  int calls = 0;                        // mciSendCommand calls
  int opens = 0;
  UINT hangOn = 0;                      // a command that never returns (the first one sent)
  bool hung = false;                    // it was sent
  int callsAtHang = 0;

  // A playing device reaches its end: SUCCESSFUL is queued.
  void Finish(MCIDEVICEID id);
  // The disc of an open CD device stops by itself (no notification).
  void DiscStops(MCIDEVICEID id);
  MCIDEVICEID LastId() const { return nextId - 1; }
};

struct FakeControl {
  DWORD id = 0;
  DWORD type = 0;
  DWORD flags = 0;                    // MIXERCONTROL_CONTROLF_*
  std::vector<std::wstring> items;    // list texts of a multiple-item control
  std::vector<LONG> values;           // channels x items
  int writes = 0;
};

struct FakeLine {
  DWORD id = 0;
  DWORD dest = 0;
  DWORD source = 0xFFFFFFFF;  // a destination
  DWORD type = 0;
  std::wstring name;
  DWORD channels = 2;
  std::vector<FakeControl> controls;
  FakeControl* Control(DWORD type);
};

struct FakeMixer {
  std::vector<FakeLine> lines;
  bool failSources = false;   // mixerGetLineInfo of a source fails
  int opens = 0, closes = 0;
  // The recording device's own mixer (mixer 1), as where every sound device
  // is a mixer of its own; null: the wave-in devices belong to this one.
  FakeMixer* recordingDevice = nullptr;

  // Adds a destination or a source line; the line with volume and mute
  // controls (channels values each) unless `bare`.
  FakeLine& AddDestination(DWORD type, const std::wstring& name, DWORD channels = 2, bool bare = false);
  FakeLine& AddSource(DWORD dest, DWORD type, const std::wstring& name, DWORD channels = 2, bool bare = false);
  // A source-selection control on a destination over the names of its sources.
  void AddSelection(DWORD dest, DWORD controlType);
  FakeLine* Destination(DWORD index);
  FakeLine* ByName(const std::wstring& name, DWORD dest);
  std::vector<FakeLine*> Sources(DWORD dest);
  // A sound card: speakers with wave out, synthesizer, CD and line in; a
  // recording input with microphone, line in and CD behind a MUX.
  static FakeMixer Standard();
  // One sound device of a machine where every device is a mixer of its own:
  // the speakers with wave out, or the recording input with a microphone.
  static FakeMixer SpeakersOnly();
  static FakeMixer RecordingOnly();
};

struct FakeWaveIn {
  std::vector<int16_t> recording;  // what the input hears
  MMRESULT openResult = 0, prepareResult = 0, addResult = 0, startResult = 0;
  bool open = false;
  WAVEHDR* queued = nullptr;
  int opens = 0;
};

extern FakeMci* g_mci;
extern FakeMixer* g_mixer;
extern FakeWaveIn* g_wave;

// Puts the stand-ins into the routines' table (those given; null leaves the
// system's functions).
void Install(FakeMci* mci, FakeMixer* mixer, FakeWaveIn* wave);
void Uninstall();

// Samples of 8 kHz sound: silence, white noise, a sine tone.
std::vector<int16_t> Silence(size_t n);
std::vector<int16_t> Noise(size_t n, int amplitude, unsigned seed = 1);
std::vector<int16_t> Tone(size_t n, double hz, int amplitude, double rate = 8000.0);

}  // namespace fakemm
