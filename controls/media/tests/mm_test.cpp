// The MCI device object, the speaker volume, the mixer routing and the
// recorded-level measure against the stand-in devices.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "fake_mm.h"
#include "mm/devicethread.h"
#include "mm/mci.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"

using namespace mm;

namespace {

std::vector<std::wstring> g_messages;
void Collect(const wchar_t* t) { g_messages.push_back(t); }

class MmTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_messages.clear();
    SetMessageSink(Collect);
  }
  void TearDown() override {
    CloseMixerVolume();
    CloseWaveIn();
    SetMessageSink(nullptr);
    fakemm::Uninstall();
  }
  fakemm::FakeMci mci;
  fakemm::FakeMixer mixer = fakemm::FakeMixer::Standard();
  fakemm::FakeWaveIn wave;
};

// Output volume stand-in of StepVolume (the same for aux, MIDI and wave).
DWORD g_volume = 0;
MMRESULT WINAPI GetVol(HWAVEOUT, LPDWORD v) {
  *v = g_volume;
  return 0;
}
MMRESULT WINAPI SetVol(HWAVEOUT, DWORD v) {
  g_volume = v;
  return 0;
}

constexpr DWORD Vol(DWORD left, DWORD right) { return left | (right << 16); }

}  // namespace

TEST_F(MmTest, DevicesOpenByTypeAndElement) {
  fakemm::Install(&mci, nullptr, nullptr);
  // Nothing to play: MCI is not asked.
  for (WORD type : {kMciSequencer, kMciWaveAudio}) {
    MciDevice d(type, L"", nullptr);
    EXPECT_FALSE(d.IsOpen());
  }
  EXPECT_EQ(mci.calls, 0);
  MciDevice cd(kMciCdAudio, L"", nullptr);
  EXPECT_FALSE(cd.IsOpen()) << "no drive";
  EXPECT_EQ(mci.opens, 1) << "an audio CD opens by its type alone";
  mci.drives[L'D'] = fakemm::FakeDrive{};
  MciDevice cdD(kMciCdAudio, L"D:", nullptr);
  EXPECT_TRUE(cdD.IsOpen());
  EXPECT_EQ(mci.devices[cdD.DeviceId()].type, L"CDAUDIO");

  MciDevice w(kMciWaveAudio, L"C:\\t.wav", nullptr);
  ASSERT_TRUE(w.IsOpen());
  int before = mci.calls;
  EXPECT_EQ(w.GetStatus(MCI_STATUS_NUMBER_OF_TRACKS), 1u);
  EXPECT_EQ(mci.calls, before) << "a file has one track without asking";
  MciDevice midi(kMciSequencer, L"C:\\t.mid", nullptr);
  EXPECT_EQ(midi.GetTrackLength(1), 5u * 256 + 2) << "125,000 ms: 2 minutes 5 seconds";
  w.Close();
  EXPECT_EQ(w.GetStatus(MCI_STATUS_MODE), kModeNotReady);
  EXPECT_EQ(w.Play(nullptr), (MCIERROR)-1);
}

TEST_F(MmTest, VideoFilesOpenByElementOrRegisteredTypeAndAFailedSetUpClosesTheDevice) {
  fakemm::Install(&mci, nullptr, nullptr);
  {
    MciDevice avi(kMciAvi, L"C:\\v.avi", nullptr);
    ASSERT_TRUE(avi.IsOpen());
    EXPECT_EQ(mci.devices[avi.DeviceId()].type, L"") << "by the element alone";
  }
  mci.failElementOnly = true;
  {
    MciDevice mpg(kMciMpeg, L"C:\\m.mpg", nullptr);
    ASSERT_TRUE(mpg.IsOpen());
    EXPECT_EQ(mci.devices[mpg.DeviceId()].type, L"MPEGVIDEO");
  }
  mci.failElementOnly = false;
  HWND window = ::CreateWindowW(L"STATIC", L"v", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
  mci.videoWindow = window;
  mci.putError = MCIERR_UNSUPPORTED_FUNCTION;
  HWND shown = (HWND)1;
  MciDevice avi(kMciAvi, L"C:\\v.avi", nullptr, &shown);
  EXPECT_FALSE(avi.IsOpen());
  EXPECT_TRUE(mci.devices.empty()) << "what the open opened is closed again";
  EXPECT_EQ(shown, nullptr);
  mci.putError = 0;
  MciDevice ok(kMciAvi, L"C:\\v.avi", nullptr, &shown);
  EXPECT_TRUE(ok.IsOpen());
  EXPECT_EQ(shown, window);
  ::DestroyWindow(window);
}

TEST_F(MmTest, StepVolumeStaysWithinItsLimits) {
  fakemm::Install(&mci, nullptr, nullptr);
  Mm().waveOutGetVolume = GetVol;
  Mm().waveOutSetVolume = SetVol;
  MciDevice w(kMciWaveAudio, L"C:\\t.wav", nullptr);
  struct Case {
    DWORD volume, step;
    int direction;
    DWORD after;
  } cases[] = {
      {Vol(1000, 5000), 4096, -1, Vol(0, 904)},
      {Vol(0, 0), 4096, -1, Vol(0, 0)},
      {Vol(65000, 60000), 4096, 1, Vol(65535, 64096)},
      {Vol(65535, 65535), 4096, 1, Vol(65535, 65535)},
      {Vol(100, 200), 4096, 0, Vol(100, 200)},
  };
  for (const Case& c : cases) {
    g_volume = c.volume;
    EXPECT_EQ(w.StepVolume(c.step, c.direction), LOWORD(c.after));
    EXPECT_EQ(g_volume, c.after) << std::hex << c.volume;
  }
}

TEST_F(MmTest, SpeakerVolumeStepsAndChannelsOnTheMixer) {
  fakemm::Install(nullptr, &mixer, nullptr);
  OpenMixerVolume(nullptr);
  ASSERT_NE(MixerVolumeHandle(), nullptr);
  OpenMixerVolume(nullptr);
  EXPECT_EQ(mixer.opens, 1) << "opened once";
  fakemm::FakeControl* volume = mixer.Destination(0)->Control(MIXERCONTROL_CONTROLTYPE_VOLUME);
  volume->values = {1000, 1000};
  EXPECT_EQ(StepMixerVolume(4096, -1), 0u) << "no wrap below the minimum";
  volume->values = {65000, 65000};
  EXPECT_EQ(StepMixerVolume(4096, 1), 65535u);
  EXPECT_EQ(SetSpeakerChannelVolume(1, 12345), ChannelVolumeResult::Set);
  EXPECT_EQ(volume->values, (std::vector<LONG>{65535, 12345})) << "only the right channel";
  CloseMixerVolume();
  EXPECT_EQ(mixer.closes, 1);
  EXPECT_EQ(SetSpeakerChannelVolume(0, 1), ChannelVolumeResult::NoMixer);
  EXPECT_EQ(StepMixerVolume(4096, 1), 0u);
}

TEST_F(MmTest, OpenNeedsBothDestinations) {
  fakemm::FakeMixer speakersOnly;
  speakersOnly.AddDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, L"Speakers");
  fakemm::Install(nullptr, &speakersOnly, nullptr);
  CMixer m;
  EXPECT_FALSE(m.Open(nullptr));
  EXPECT_EQ(g_messages, std::vector<std::wstring>{DefaultMessageText(133)});
  CMixer none;
  EXPECT_FALSE(none.SetAllVolumes(TRUE, TRUE, 1)) << "no handle";
}

// Where every sound device is a mixer of its own (mixer 0 has the speakers
// only), the recording destination is the one on the recording device's
// mixer: its lines are saved, routed, given the volume and put back there,
// and its handle is closed with the object.
TEST_F(MmTest, TheRecordingDestinationOnTheRecordingDevicesOwnMixer) {
  fakemm::FakeMixer speakers = fakemm::FakeMixer::SpeakersOnly();
  fakemm::FakeMixer recording = fakemm::FakeMixer::RecordingOnly();
  speakers.recordingDevice = &recording;
  fakemm::Install(nullptr, &speakers, nullptr);
  fakemm::FakeControl* micMute = recording.Sources(0)[0]->Control(MIXERCONTROL_CONTROLTYPE_MUTE);
  fakemm::FakeControl* inVolume = recording.Destination(0)->Control(MIXERCONTROL_CONTROLTYPE_VOLUME);
  fakemm::FakeControl* outVolume = speakers.Destination(0)->Control(MIXERCONTROL_CONTROLTYPE_VOLUME);
  micMute->values = {1};
  {
    CMixer m;
    ASSERT_TRUE(m.Open(nullptr)) << (g_messages.empty() ? L"" : g_messages[0]);
    EXPECT_TRUE(g_messages.empty());
    EXPECT_NE(m.RecordingHandle(), m.Handle());
    ASSERT_TRUE(m.SaveLineSettings());
    EXPECT_EQ(m.WaveInSources().size(), 1u);
    EXPECT_TRUE(m.SetAllVolumes(TRUE, TRUE, 40000));
    EXPECT_EQ(inVolume->values, (std::vector<LONG>{40000, 40000}));
    EXPECT_EQ(outVolume->values, (std::vector<LONG>{40000, 40000}));
    EXPECT_TRUE(m.MuteAllSources(FALSE));
    EXPECT_TRUE(m.EnableSource(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, FALSE, TRUE));
    EXPECT_EQ(micMute->values, std::vector<LONG>{0}) << "the microphone unmuted";
    EXPECT_FALSE(m.EnableSource(MIXERLINE_COMPONENTTYPE_SRC_LINE, FALSE, TRUE)) << "no line input on this card";
    EXPECT_EQ(g_messages, std::vector<std::wstring>{DefaultMessageText(129)});
    EXPECT_TRUE(m.EnableSource(MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, TRUE, TRUE));
    EXPECT_TRUE(m.RestoreLineSettings());
    EXPECT_EQ(inVolume->values, (std::vector<LONG>{30000, 30000}));
    EXPECT_EQ(outVolume->values, (std::vector<LONG>{30000, 30000}));
    EXPECT_EQ(micMute->values, std::vector<LONG>{1});
  }
  EXPECT_EQ(speakers.opens, speakers.closes);
  EXPECT_EQ(recording.opens, 1);
  EXPECT_EQ(recording.closes, 1);
}

TEST_F(MmTest, EnableSourceFindsLinesByTypeAndName) {
  struct Case {
    const char* name;
    DWORD requested;
    DWORD sourceType;
    const wchar_t* sourceName;
    bool found;
  } cases[] = {
      {"line in by type and name", MIXERLINE_COMPONENTTYPE_SRC_LINE, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Line In", true},
      {"a line source of another name", MIXERLINE_COMPONENTTYPE_SRC_LINE, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Mix", false},
      {"line in as an auxiliary source (second pass)", MIXERLINE_COMPONENTTYPE_SRC_LINE,
       MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, L"Line In", true},
      {"CD wired as a line source", MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, MIXERLINE_COMPONENTTYPE_SRC_LINE,
       L"CD Audio", true},
      {"AUX wired as a line source", MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Aux",
       true},
      {"microphone by type alone", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE,
       L"Mic", true},
      {"nothing of the kind", MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, MIXERLINE_COMPONENTTYPE_SRC_LINE, L"Line In",
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_messages.clear();
    fakemm::FakeMixer m;
    m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_SPEAKERS, L"Speakers");
    m.AddDestination(MIXERLINE_COMPONENTTYPE_DST_WAVEIN, L"Recording");
    m.AddSource(1, MIXERLINE_COMPONENTTYPE_SRC_WAVEOUT, L"Wave");
    fakemm::FakeLine& line = m.AddSource(1, c.sourceType, c.sourceName);
    line.Control(MIXERCONTROL_CONTROLTYPE_MUTE)->values = {1};
    m.AddSelection(1, MIXERCONTROL_CONTROLTYPE_MUX);
    fakemm::Install(nullptr, &m, nullptr);
    CMixer cm;
    ASSERT_TRUE(cm.Open(nullptr));
    ASSERT_TRUE(cm.SaveLineSettings());
    EXPECT_EQ(cm.EnableSource(c.requested, FALSE, TRUE) != FALSE, c.found);
    fakemm::FakeLine* chosen = m.ByName(c.sourceName, 1);
    fakemm::FakeControl* mux = m.Destination(1)->Control(MIXERCONTROL_CONTROLTYPE_MUX);
    if (c.found) {
      EXPECT_EQ(chosen->Control(MIXERCONTROL_CONTROLTYPE_MUTE)->values[0], 0) << "unmuted";
      EXPECT_EQ(mux->values, (std::vector<LONG>{0, 1})) << "selected";
      EXPECT_TRUE(g_messages.empty());
    } else {
      EXPECT_EQ(chosen->Control(MIXERCONTROL_CONTROLTYPE_MUTE)->values[0], 1);
      EXPECT_EQ(g_messages, std::vector<std::wstring>{DefaultMessageText(129)});
    }
  }
}

TEST_F(MmTest, TwoSourcesNeverGoIntoASingleChoiceControl) {
  fakemm::Install(nullptr, &mixer, nullptr);
  mixer.AddSelection(1, MIXERCONTROL_CONTROLTYPE_MIXER);
  CMixer cm;
  ASSERT_TRUE(cm.Open(nullptr));
  DWORD waveIn = mixer.Destination(1)->id;
  fakemm::FakeControl* mux = mixer.Destination(1)->Control(MIXERCONTROL_CONTROLTYPE_MUX);
  fakemm::FakeControl* mix = mixer.Destination(1)->Control(MIXERCONTROL_CONTROLTYPE_MIXER);
  EXPECT_TRUE(cm.SetSourceSelection(waveIn, 2, 0x5));
  EXPECT_EQ(mux->writes, 0);
  EXPECT_EQ(mix->values, (std::vector<LONG>{1, 0, 1}));
  EXPECT_TRUE(cm.SetSourceSelection(waveIn, 2, 0x2));
  EXPECT_EQ(mux->values, (std::vector<LONG>{0, 1, 0}));
  DWORD mask = 0;
  EXPECT_TRUE(cm.GetSourceSelection(waveIn, 2, &mask));
  EXPECT_EQ(mask, 0x2u);
}

TEST_F(MmTest, SettingsComeBackWithTheirBalanceOnlyFromASuccessfulSave) {
  fakemm::Install(nullptr, &mixer, nullptr);
  fakemm::FakeControl* speaker = mixer.Destination(0)->Control(MIXERCONTROL_CONTROLTYPE_VOLUME);
  fakemm::FakeControl* cdMute = mixer.ByName(L"CD Audio", 0)->Control(MIXERCONTROL_CONTROLTYPE_MUTE);
  fakemm::FakeControl* mux = mixer.Destination(1)->Control(MIXERCONTROL_CONTROLTYPE_MUX);
  speaker->values = {1000, 5000};
  mux->values = {0, 0, 1};
  {
    CMixer cm;
    ASSERT_TRUE(cm.Open(nullptr));
    ASSERT_TRUE(cm.SaveLineSettings());
    ASSERT_TRUE(cm.SetAllVolumes(TRUE, FALSE, 50000));
    EXPECT_EQ(speaker->values, (std::vector<LONG>{50000, 0})) << "each channel by its own box";
    ASSERT_TRUE(cm.PrepareForPlayback());
    EXPECT_TRUE(g_messages.empty()) << "the card has no auxiliary source: nothing is said";
    ASSERT_TRUE(cm.MuteAllSources(TRUE));
    EXPECT_EQ(cdMute->values[0], 1);
    ASSERT_TRUE(cm.EnableSource(MIXERLINE_COMPONENTTYPE_SRC_MICROPHONE, FALSE, TRUE));
    EXPECT_EQ(mux->values, (std::vector<LONG>{1, 0, 0}));
    EXPECT_TRUE(cm.RestoreLineSettings());
  }
  EXPECT_EQ(speaker->values, (std::vector<LONG>{1000, 5000}));
  EXPECT_EQ(cdMute->values[0], 0);
  EXPECT_EQ(mux->values, (std::vector<LONG>{0, 0, 1}));
  EXPECT_EQ(mixer.opens, 1);
  EXPECT_EQ(mixer.closes, 1) << "its own handle is closed";

  // A save that failed puts nothing back.
  mixer.failSources = true;
  CMixer cm;
  ASSERT_TRUE(cm.Open(nullptr));
  EXPECT_FALSE(cm.SaveLineSettings());
  mixer.failSources = false;
  speaker->values = {7, 7};
  int writes = speaker->writes;
  EXPECT_TRUE(cm.RestoreLineSettings());
  EXPECT_EQ(speaker->writes, writes);
  EXPECT_EQ(speaker->values, (std::vector<LONG>{7, 7}));
}

// ---- Recording ----------------------------------------------------------------------

TEST(RecordedLevel, MeasuresTheMiddleHalfIn64Bits) {
  // n = 120,000: samples 30,000 .. 89,999, 59,999 differences.
  std::vector<int16_t> s(120000, 0);
  for (size_t i = 30000; i < 90000; ++i) s[i] = (i % 2) ? 1 : 0;
  s[0] = 32000;  // outside the middle half: not counted
  EXPECT_EQ(RecordedLevel(s.data(), s.size()), 1);
  // Full-scale steps sum to more than 32 bits hold.
  for (size_t i = 0; i < s.size(); ++i) s[i] = (i % 2) ? 32767 : -32768;
  EXPECT_EQ(RecordedLevel(s.data(), s.size()), 65535);
  for (size_t n : {0, 1, 2}) EXPECT_EQ(RecordedLevel(s.data(), n), -1) << n << ": nothing to divide by";
  EXPECT_EQ(RecordedLevel(s.data(), 3), 65535) << "samples 0 and 1: one difference";
  EXPECT_EQ(RecordedLevel(nullptr, 100), -1);
}

TEST_F(MmTest, CheckRecordedLevelJudgesSilenceNoiseAndTone) {
  fakemm::Install(nullptr, nullptr, &wave);
  struct Case {
    const char* name;
    std::vector<int16_t> recording;
    int threshold;
    BOOL silent;
  } cases[] = {
      {"silence", fakemm::Silence(120000), 32, TRUE},
      {"faint hiss", fakemm::Noise(120000, 20), 128, TRUE},
      {"noise", fakemm::Noise(120000, 3000), 128, FALSE},
      {"1 kHz tone", fakemm::Tone(120000, 1000, 8000), 128, FALSE},
      {"a low hum under the line-in threshold", fakemm::Tone(120000, 50, 60), 32, TRUE},
      {"nothing recorded", {}, 32, TRUE},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    wave.recording = c.recording;
    ASSERT_TRUE(RecordLoopback(nullptr));
    EXPECT_TRUE(WaveInOpen());
    EXPECT_FALSE(RecordLoopback(nullptr)) << "one recording at a time";
    EXPECT_TRUE(CheckRecordedLevel(0)) << "a recording still open is not measured";
    ASSERT_TRUE(StartWaveIn());
    StopWaveIn();
    EXPECT_FALSE(wave.open);
    EXPECT_EQ(CheckRecordedLevel(c.threshold), c.silent);
  }
  CloseWaveIn();
  EXPECT_TRUE(CheckRecordedLevel(0)) << "no buffer";
}

TEST_F(MmTest, RecordingSetUpFailuresAreSaidAndCloseTheDevice) {
  fakemm::Install(nullptr, nullptr, &wave);
  struct Case {
    MMRESULT fakemm::FakeWaveIn::*field;
    UINT message;
  } cases[] = {{&fakemm::FakeWaveIn::openResult, 121},
               {&fakemm::FakeWaveIn::prepareResult, 123},
               {&fakemm::FakeWaveIn::addResult, 124}};
  for (const Case& c : cases) {
    g_messages.clear();
    wave = fakemm::FakeWaveIn{};
    wave.*c.field = MMSYSERR_ERROR;
    EXPECT_FALSE(RecordLoopback(nullptr));
    EXPECT_EQ(g_messages, std::vector<std::wstring>{DefaultMessageText(c.message)});
    EXPECT_FALSE(wave.open);
    EXPECT_FALSE(WaveInOpen());
  }
  wave = fakemm::FakeWaveIn{};
  wave.startResult = MMSYSERR_ERROR;
  ASSERT_TRUE(RecordLoopback(nullptr));
  EXPECT_FALSE(StartWaveIn());
  EXPECT_FALSE(wave.open) << "a failed start closes the device";
  EXPECT_TRUE(RecordLoopback(nullptr)) << "and the next recording can begin";
}

// ---- Calls into the devices on a thread of their own ------------------------------

namespace {

LRESULT CALLBACK AnswerProc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
  if (m == WM_APP) return (LRESULT)::GetCurrentThreadId();
  return ::DefWindowProcW(h, m, wp, lp);
}

}  // namespace

TEST(DeviceThread, CallsRunInOrderOnTheirThreadAndAnswerWhatTheyAreSent) {
  WNDCLASSW wc{};
  wc.lpfnWndProc = AnswerProc;
  wc.hInstance = ::GetModuleHandleW(nullptr);
  wc.lpszClassName = L"DeviceThreadTest";
  ::RegisterClassW(&wc);
  HWND window = ::CreateWindowW(L"DeviceThreadTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
  ASSERT_TRUE(window);
  DeviceThread devices;
  auto order = std::make_shared<std::vector<int>>();
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(devices.Call([order, i] { order->push_back(i); }));
  EXPECT_EQ(*order, (std::vector<int>{0, 1, 2}));
  DWORD where = 0;
  ASSERT_TRUE(devices.Ask([] { return ::GetCurrentThreadId(); }, &where));
  EXPECT_NE(where, ::GetCurrentThreadId());
  // A call that sends to the caller's window (a driver asking the page for
  // its icon) is answered while the caller waits: no deadlock.
  LRESULT answered = 0;
  ASSERT_TRUE(devices.Ask([window] { return ::SendMessageW(window, WM_APP, 0, 0); }, &answered));
  EXPECT_EQ((DWORD)answered, ::GetCurrentThreadId());
  EXPECT_FALSE(devices.Hung());
  ::DestroyWindow(window);
}

TEST(DeviceThread, ACallThatNeverReturnsGivesTheDevicesUpWithoutHoldingItsCaller) {
  HANDLE release = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  auto later = std::make_shared<LONG>(0);
  {
    DeviceThread devices;
    // As a driver's stop that waits for a play thread that waits for ever.
    EXPECT_FALSE(devices.Call([release] { ::WaitForSingleObject(release, INFINITE); }, 300));
    EXPECT_TRUE(devices.Hung());
    // Every later call fails at once and never runs, not even once the
    // hung one has returned.
    EXPECT_FALSE(devices.Call([later] { ++*later; }));
    int value = 7;
    EXPECT_FALSE(devices.Ask([] { return 1; }, &value));
    EXPECT_EQ(value, 7) << "no result without an answer";
  }  // the hung thread is left as it is: this returns at once
  ::SetEvent(release);
  ::Sleep(200);
  EXPECT_EQ(*later, 0);
  ::CloseHandle(release);
}
