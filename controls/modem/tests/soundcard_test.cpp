// The tone-dialling test's sound card through the shared mixer routines,
// against stand-in mixers: the test volume on every line at page start, the
// chosen recording input routed for the test, the control's own message
// texts, and every setting put back when the page closes (but for a device
// that stopped answering, which is asked nothing more); and the Test page
// doing all of that only when there are digits to dial.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>
#include <vector>

#include "fake_mm.h"
#include "mm/mci.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"
#include "recorder.h"
#include "runner.h"
#include "testsupport/process.h"
#include "testsupport/runner_fixture.h"

namespace {

std::vector<std::wstring> g_messages;
void Collect(const wchar_t* t) { g_messages.push_back(t); }

// Every control value of a mixer, line by line.
std::vector<std::vector<LONG>> Values(const fakemm::FakeMixer& m) {
  std::vector<std::vector<LONG>> all;
  for (const fakemm::FakeLine& l : m.lines) {
    for (const fakemm::FakeControl& c : l.controls) all.push_back(c.values);
  }
  return all;
}

// The volume of every line that has one.
void ExpectVolumes(fakemm::FakeMixer& m, LONG volume) {
  for (fakemm::FakeLine& l : m.lines) {
    if (fakemm::FakeControl* c = l.Control(MIXERCONTROL_CONTROLTYPE_VOLUME)) {
      for (LONG v : c->values) EXPECT_EQ(v, volume) << "line " << testing::PrintToString(l.name);
    }
  }
}

LONG Muted(fakemm::FakeMixer& m, DWORD dest, const wchar_t* name) {
  return m.ByName(name, dest)->Control(MIXERCONTROL_CONTROLTYPE_MUTE)->values[0];
}

UINT WINAPI NoMixers() { return 0; }
MMRESULT WINAPI NoMixerOpens(LPHMIXER, UINT, DWORD_PTR, DWORD_PTR, DWORD) { return MMSYSERR_BADDEVICEID; }

class NullHost : public modemtest::TestHost {
 public:
  void AddLine(const std::string&) override {}
  void AppendToLastLine(const std::string&) override {}
  bool Stopped() override { return false; }
  std::string Text(UINT) override { return ""; }
  void CountError() override {}
  void Progress(int) override {}
};

class ToneSoundCardTest : public ::testing::Test {
 protected:
  void SetUp() override {
    g_messages.clear();
    mm::SetMessageSink(Collect);
  }
  void TearDown() override {
    mm::SetMessageSink(nullptr);
    fakemm::Uninstall();
  }
  fakemm::FakeWaveIn wave;
  NullHost host;
};

}  // namespace

// One sound card with both destinations (line in and microphone behind a
// MUX), and one where the speakers and the recording input are mixers of
// their own, as on every machine since each sound device became a mixer:
// the chosen input is the recording's only source, the wave output reaches
// the speakers, and closing the page puts back every value it changed.
TEST_F(ToneSoundCardTest, TheChosenInputTheVolumeAndTheRestore) {
  const struct Case {
    const char* name;
    bool split;
    bool lineInput;
    bool routed;
    const wchar_t* chosen;  // the recording source that is on
    const wchar_t* other;   // one that stays muted
  } cases[] = {
      {"one mixer, line input", false, true, true, L"Line In", L"Microphone"},
      {"one mixer, microphone", false, false, true, L"Microphone", L"Line In"},
      {"a mixer per device, microphone", true, false, true, L"Master Volume", nullptr},
      {"a mixer per device, no line input", true, true, false, nullptr, nullptr},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    g_messages.clear();
    fakemm::FakeMixer speakers = c.split ? fakemm::FakeMixer::SpeakersOnly() : fakemm::FakeMixer::Standard();
    fakemm::FakeMixer recording = fakemm::FakeMixer::RecordingOnly();
    if (c.split) speakers.recordingDevice = &recording;
    fakemm::FakeMixer& in = c.split ? recording : speakers;
    DWORD inDest = c.split ? 0 : 1;
    fakemm::Install(nullptr, &speakers, &wave);
    // The user's settings: every recording source muted.
    for (fakemm::FakeLine& l : in.lines)
      if (fakemm::FakeControl* mute = l.Control(MIXERCONTROL_CONTROLTYPE_MUTE)) mute->values = {1};
    const std::vector<std::vector<LONG>> before = Values(speakers), beforeIn = Values(recording);
    {
      modemtest::ToneSoundCard card;
      card.Open(nullptr, nullptr, ::GetModuleHandleW(nullptr), 40000);
      EXPECT_TRUE(card.HasMixer());
      EXPECT_TRUE(g_messages.empty()) << testing::PrintToString(g_messages);
      ExpectVolumes(speakers, 40000);
      if (c.split) ExpectVolumes(recording, 40000);

      modemtest::ToneRecorder* recorder = card.Recorder();
      ASSERT_NE(recorder, nullptr);
      EXPECT_EQ(recorder->Prepare(c.lineInput, host), c.routed);
      if (c.routed) {
        EXPECT_EQ(Muted(in, inDest, c.chosen), 0);
        if (c.other) {
          EXPECT_EQ(Muted(in, inDest, c.other), 1);
        }
        if (!c.split) {
          fakemm::FakeControl* mux = in.Destination(1)->Control(MIXERCONTROL_CONTROLTYPE_MUX);
          std::vector<LONG> want(mux->items.size(), 0);
          for (size_t i = 0; i < mux->items.size(); ++i) want[i] = mux->items[i] == c.chosen;
          EXPECT_EQ(mux->values, want) << "the recording takes the chosen input alone";
        }
        EXPECT_EQ(Muted(speakers, 0, c.split ? L"Master Volume" : L"Wave Out"), 0) << "wave out reaches the speakers";
        EXPECT_TRUE(g_messages.empty()) << testing::PrintToString(g_messages);
      } else {
        // The control's own text for the missing line.
        EXPECT_EQ(g_messages, std::vector<std::wstring>{L"Failed to find the specific line of the mixer device.\n"});
      }
      recorder->Close();
      EXPECT_FALSE(wave.open) << "the recording device closed after the test";
    }
    EXPECT_EQ(Values(speakers), before) << "every speaker-side value back";
    EXPECT_EQ(Values(recording), beforeIn) << "every recording-side value back";
    EXPECT_EQ(speakers.opens, speakers.closes);
    EXPECT_EQ(recording.opens, recording.closes);
  }
}

// Without a mixer device the test has no mixer handle; the routines' own
// failures are told in this control's texts.
TEST_F(ToneSoundCardTest, NoMixerAndTheControlsOwnTexts) {
  fakemm::Install(nullptr, nullptr, &wave);
  mm::Mm().mixerGetNumDevs = NoMixers;
  mm::Mm().mixerOpen = NoMixerOpens;
  {
    modemtest::ToneSoundCard card;
    card.Open(nullptr, nullptr, ::GetModuleHandleW(nullptr), 40000);
    EXPECT_FALSE(card.HasMixer());
  }
  fakemm::FakeMixer speakersOnly = fakemm::FakeMixer::SpeakersOnly();
  fakemm::Install(nullptr, &speakersOnly, &wave);
  wave.openResult = MMSYSERR_ALLOCATED;
  g_messages.clear();
  modemtest::ToneSoundCard card;
  card.Open(nullptr, nullptr, ::GetModuleHandleW(nullptr), 40000);
  EXPECT_TRUE(card.HasMixer());
  EXPECT_FALSE(card.Recorder()->Prepare(false, host));
  EXPECT_EQ(g_messages,
            (std::vector<std::wstring>{
                L"Failed to retrieve information about the waveform-audio input line of the mixer device.",
                L"Failed to open waveform-audio input device."}));
  EXPECT_EQ(Values(speakersOnly), Values(fakemm::FakeMixer::SpeakersOnly())) << "nothing saved, nothing changed";
}

namespace {

// A recording device whose stop never returns, as where the sound server
// stalled, until the test lets it go.
HANDLE g_letGo = nullptr;
MMRESULT(WINAPI* g_fakeStop)(HWAVEIN) = nullptr;
MMRESULT WINAPI StopThatHangs(HWAVEIN device) {
  ::WaitForSingleObject(g_letGo, INFINITE);
  return g_fakeStop(device);
}

DWORD WINAPI LetGoAfterAMinute(void*) {
  if (::WaitForSingleObject(g_letGo, 60000) == WAIT_TIMEOUT) ::SetEvent(g_letGo);
  return 0;
}

int ControlWrites(fakemm::FakeMixer& m) {
  int writes = 0;
  for (fakemm::FakeLine& l : m.lines)
    for (fakemm::FakeControl& c : l.controls) writes += c.writes;
  return writes;
}

}  // namespace

// A call into the devices that does not return within its bound: the line
// names the device, and nothing more is asked of the devices, not by the
// next test's recording, not to put the settings back when the page closes
// (the call that hangs may still use the mixer): the page's close is not
// held.
TEST_F(ToneSoundCardTest, ADeviceThatDoesNotAnswerIsNamedAndAskedNothingMore) {
  fakemm::FakeMixer mixer = fakemm::FakeMixer::Standard();
  fakemm::Install(nullptr, &mixer, &wave);
  g_letGo = ::CreateEventW(nullptr, TRUE, FALSE, nullptr);
  ASSERT_NE(g_letGo, nullptr);
  // Should the call hang its caller, it returns after a minute, and the
  // test fails instead of hanging.
  HANDLE watchdog = ::CreateThread(nullptr, 0, LetGoAfterAMinute, nullptr, 0, nullptr);
  g_fakeStop = mm::Mm().waveInStop;
  mm::Mm().waveInStop = StopThatHangs;
  const std::wstring noAnswer = L"The waveform-audio input device did not answer within 15 seconds.";
  {
    modemtest::ToneSoundCard card;
    card.Open(nullptr, nullptr, ::GetModuleHandleW(nullptr), 40000);
    modemtest::ToneRecorder* recorder = card.Recorder();
    ASSERT_TRUE(recorder->Prepare(false, host));
    ASSERT_TRUE(recorder->Start());
    EXPECT_TRUE(recorder->Answering());
    recorder->Stop();
    EXPECT_FALSE(recorder->Answering());
    EXPECT_EQ(g_messages, std::vector<std::wstring>{noAnswer});
    const int opens = wave.opens, writes = ControlWrites(mixer), mixerCloses = mixer.closes;
    EXPECT_FALSE(recorder->Prepare(false, host));
    EXPECT_FALSE(recorder->StillOpens());
    recorder->Close();
    EXPECT_EQ(g_messages, (std::vector<std::wstring>{noAnswer, noAnswer})) << "the next test names it again";
    card.Close();
    EXPECT_FALSE(card.Answering());
    EXPECT_EQ(wave.opens, opens);
    EXPECT_EQ(ControlWrites(mixer), writes) << "no setting written back";
    EXPECT_EQ(mixer.closes, mixerCloses);
    ExpectVolumes(mixer, 40000);
  }
  // The stop returns at last; its thread closes the device. What the
  // given-up card left to the process goes, for the tests that follow.
  ::SetEvent(g_letGo);
  EXPECT_TRUE(testsupport::PumpUntil([] { return !mm::WaveInOpen(); }, 30000));
  mm::CloseWaveIn();
  mm::CloseMixerVolume();
  ::WaitForSingleObject(watchdog, INFINITE);
  ::CloseHandle(watchdog);
  ::CloseHandle(g_letGo);
  g_letGo = nullptr;
}

namespace {

const wchar_t kKey[] = L"Software\\Kyt\\ModemSoundCardTest\\Setting";
class SoundCardRunner : public CModemRunner {
 public:
  std::wstring SettingsKey() const override { return kKey; }
};
class ModemPageSoundCard : public testsupport::RunnerFixture<SoundCardRunner> {
 protected:
  void TearDown() override {
    testsupport::RunnerFixture<SoundCardRunner>::TearDown();
    fakemm::Uninstall();
  }
  fakemm::FakeWaveIn wave;
};

}  // namespace

// The Test page sets the card up when it opens with digits to dial, at
// "DefaultVolume", and puts it back when the sheet closes; without digits
// it leaves the mixer alone.
TEST_F(ModemPageSoundCard, SetUpWhileThePageIsOpenAndPutBackAfter) {
  for (bool digits : {true, false}) {
    SCOPED_TRACE(digits ? "with digits" : "without digits");
    fakemm::FakeMixer mixer = fakemm::FakeMixer::Standard();
    fakemm::Install(nullptr, &mixer, &wave);
    const std::vector<std::vector<LONG>> before = Values(mixer);
    SetText(L"TestATS6", digits ? L"5551234" : L"");
    Set(L"DefaultVolume", 45000);
    ASSERT_TRUE(runner.Init(window, "-AutoRun"));
    if (digits) {
      ExpectVolumes(mixer, 45000);
    } else {
      EXPECT_EQ(mixer.opens, 0);
      EXPECT_EQ(Values(mixer), before);
    }
    runner.Cleanup();
    EXPECT_EQ(Values(mixer), before);
    EXPECT_EQ(mixer.opens, mixer.closes);
    fakemm::Uninstall();
  }
}
