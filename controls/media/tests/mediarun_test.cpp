// The media run's step machine against the stand-in MCI, mixer and wave
// input: the file sequence and the audio CD phase as scenario tables.
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <optional>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "fake_mm.h"
#include "mediarun.h"
#include "mm/mixer.h"
#include "mm/mmapi.h"

using namespace media;

namespace {

// The page as the machine sees it: a list of lines and a timer.
class FakeHost : public MediaHost {
 public:
  std::vector<std::wstring> lines;
  std::set<std::wstring> existing;
  UINT timer = 0;  // armed timer interval, 0 when none
  UINT deviceTimer = 0;  // the bound on the device's answer, 0 when none
  std::vector<fakemm::Notification> posted;
  int ended = 0;
  int closes = 0;
  DWORD waited = 0;

  std::wstring Text(UINT id) override { return appkit::LoadStr(id, ::GetModuleHandleW(nullptr)); }
  int AddLine(const std::wstring& t) override {
    lines.push_back(t);
    return (int)lines.size() - 1;
  }
  int LineCount() override { return (int)lines.size(); }
  void AppendToLine(int i, const std::wstring& t) override {
    if (i >= 0 && i < (int)lines.size()) lines[i] += t;
  }
  void SetProgress(int) override {}
  void SetCdTimer(UINT ms) override { timer = ms; }
  void KillCdTimer() override { timer = 0; }
  void SetDeviceTimer(UINT ms) override { deviceTimer = ms; }
  void KillDeviceTimer() override { deviceTimer = 0; }
  void PostNotify(WPARAM code, MCIDEVICEID id) override { posted.push_back({code, (LPARAM)id}); }
  // As the page's device thread: a call that never returns (the stand-in
  // MCI's hangOn) gives the devices up, and later calls do not run.
  bool CallDevice(std::function<void()> call) override {
    if (gaveUp) return false;
    call();
    if (fakemm::g_mci && fakemm::g_mci->hung) gaveUp = true;
    return !gaveUp;
  }
  bool gaveUp = false;
  void Wait(DWORD ms) override { waited += ms; }
  bool FileExists(const std::wstring& p) override { return existing.count(p) != 0; }
  HWND NotifyWindow() override { return (HWND)(UINT_PTR)0x1234; }
  void DeviceClosed() override { ++closes; }
  void RunEnded() override { ++ended; }
};

std::vector<std::wstring> L(std::initializer_list<const wchar_t*> list) {
  return std::vector<std::wstring>(list.begin(), list.end());
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
  std::wstring s;
  for (const std::wstring& l : lines) s += L"[" + l + L"]\n";
  return s;
}

class MediaRunTest : public ::testing::Test {
 protected:
  void SetUp() override {
    mixer = fakemm::FakeMixer::Standard();
    fakemm::Install(&mci, &mixer, &wave);
    mm::SetMessageSink(+[](const wchar_t* t) { messages().push_back(t); });
    messages().clear();
  }
  void TearDown() override {
    run.reset();
    cmixer.reset();
    mm::CloseWaveIn();
    mm::SetMessageSink(nullptr);
    fakemm::Uninstall();
  }
  // A case of a table starts as a test of its own: the run gone, the host,
  // the devices and the messages fresh.
  void StartCase() {
    TearDown();
    host = FakeHost{};
    mci = fakemm::FakeMci{};
    wave = fakemm::FakeWaveIn{};
    SetUp();
  }
  static std::vector<std::wstring>& messages() {
    static std::vector<std::wstring> m;
    return m;
  }

  std::vector<MediaFile> Files(std::initializer_list<const wchar_t*> names, bool exist = true) {
    std::vector<MediaFile> files;
    for (const wchar_t* n : names) {
      files.push_back({std::wstring(L"C:\\suite\\TESTDATA\\") + n, FileTypeOf(n, true)});
      if (exist) host.existing.insert(files.back().path);
    }
    return files;
  }

  void Make(const MediaSettings& s, std::vector<MediaFile> files, const std::wstring& drives = L"",
            bool withMixer = true) {
    cmixer.reset();
    if (withMixer) {
      cmixer = std::make_unique<mm::CMixer>();
      ASSERT_TRUE(cmixer->Open(nullptr));
      ASSERT_TRUE(cmixer->SaveLineSettings());
    }
    run = std::make_unique<MediaRun>(host, s, std::move(files), drives, cmixer.get(), withMixer);
  }

  // Plays every open wave file to its end until the run is over.
  void PlayFilesThrough() {
    for (int guard = 0; run->Running() && guard < 200; ++guard) {
      if (!mci.queue.empty()) {
        fakemm::Notification n = mci.queue.front();
        mci.queue.pop_front();
        run->OnNotify(n.code, n.device);
      } else if (MCIDEVICEID id = run->OpenDeviceId()) {
        mci.Finish(id);
      } else {
        break;
      }
    }
  }

  fakemm::FakeMci mci;
  fakemm::FakeMixer mixer;
  fakemm::FakeWaveIn wave;
  FakeHost host;
  std::unique_ptr<mm::CMixer> cmixer;
  std::unique_ptr<MediaRun> run;
};

MediaSettings WaveOnly(int loop = 1) {
  MediaSettings s;
  s.loop = loop;
  s.midiEnable = 0;
  return s;
}

}  // namespace

// ---- The file sequence --------------------------------------------------------------

TEST_F(MediaRunTest, ThreePassesOverThreeWavesPlayNineFilesInListOrder) {
  Make(WaveOnly(3), Files({L"tone1.wav", L"tone2.wav", L"tone3.wav"}));
  ASSERT_TRUE(run->Start());
  PlayFilesThrough();
  std::vector<std::wstring> want;
  for (int pass = 0; pass < 3; ++pass)
    for (const wchar_t* n : {L"tone1.wav", L"tone2.wav", L"tone3.wav"})
      want.push_back(std::wstring(L"Playing Wave File(") + n + L")...\tOK");
  EXPECT_EQ(host.lines, want) << Joined(host.lines);
  EXPECT_EQ(run->Errors(), 0);
  EXPECT_FALSE(run->Aborted());
  EXPECT_EQ(host.ended, 1);
  EXPECT_EQ(mci.devices.size(), 0u) << "every device was closed";
}

TEST_F(MediaRunTest, FileSequenceOutcomes) {
  struct Case {
    const char* name;
    std::vector<std::wstring> files;       // "!" in front: missing on disk
    MCIERROR playError;
    WPARAM notification;                   // what each play ends with
    bool mixerHandle;
    std::vector<std::wstring> lines;
    int errors;
  };
  const Case cases[] = {
      {"missing file adds its line", {L"a.wav", L"!gone.wav", L"c.wav"}, 0, MCI_NOTIFY_SUCCESSFUL, true,
       L({L"Playing Wave File(a.wav)...\tOK", L"Test Wave file doesn't exist.(gone.wav)",
          L"Playing Wave File(c.wav)...\tOK"}),
       1},
      {"the only wave file missing", {L"!gone.wav"}, 0, MCI_NOTIFY_SUCCESSFUL, true, L({L"No Wave file is selected."}),
       1},
      {"all outputs in use", {L"a.wav", L"b.wav"}, MCIERR_WAVE_OUTPUTSINUSE, 0, true,
       L({L"Playing Wave File(a.wav)...\tMCI device busy.", L"Playing Wave File(b.wav)...\tMCI device busy."}), 2},
      {"another play error", {L"a.wav"}, MCIERR_HARDWARE, 0, true, L({L"Playing Wave File(a.wav)...\tFAILED"}), 1},
      {"failure notification", {L"a.wav", L"b.wav"}, 0, MCI_NOTIFY_FAILURE, true,
       L({L"Playing Wave File(a.wav)...\tFAILED", L"Playing Wave File(b.wav)...\tFAILED"}), 2},
      {"no mixer handle: said once, the files still play", {L"a.wav"}, 0, MCI_NOTIFY_SUCCESSFUL, false,
       L({L"Failed to get mixer handle.", L"Playing Wave File(a.wav)...\tOK"}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartCase();
    std::vector<MediaFile> files;
    for (std::wstring f : c.files) {
      bool missing = f[0] == L'!';
      if (missing) f.erase(0, 1);
      files.push_back({L"C:\\m\\" + f, kTypeWave});
      if (!missing) host.existing.insert(files.back().path);
    }
    mci.playError = c.playError;
    Make(WaveOnly(), files, L"", c.mixerHandle);
    if (run->Start()) {
      for (int guard = 0; run->Running() && guard < 50; ++guard) {
        if (mci.queue.empty()) {
          MCIDEVICEID id = run->OpenDeviceId();
          ASSERT_NE(id, 0u);
          mci.queue.push_back({c.notification, (LPARAM)id});
          mci.devices[id].pendingNotify = false;
        }
        fakemm::Notification n = mci.queue.front();
        mci.queue.pop_front();
        run->OnNotify(n.code, n.device);
      }
    }
    EXPECT_EQ(host.lines, c.lines) << Joined(host.lines);
    EXPECT_EQ(run->Errors(), c.errors);
    EXPECT_EQ(host.ended, 1);
    EXPECT_FALSE(run->Running());
  }
}

TEST_F(MediaRunTest, StopDuringAFileEndsTheRunAsAborted) {
  Make(WaveOnly(), Files({L"a.wav", L"b.wav"}));
  ASSERT_TRUE(run->Start());
  run->Stop();
  ASSERT_EQ(mci.queue.size(), 1u) << "the stop's aborted notification";
  fakemm::Notification n = mci.queue.front();
  mci.queue.pop_front();
  run->OnNotify(n.code, n.device);
  EXPECT_EQ(host.lines, L({L"Playing Wave File(a.wav)...\t", L"", L"===>Test aborted."})) << Joined(host.lines);
  EXPECT_TRUE(run->Aborted()) << "an aborted run posts no Done";
  EXPECT_EQ(run->Errors(), 0);
  EXPECT_EQ(host.ended, 1);
  // A second notification of the same stop (the run posts one in case the
  // device sends none) finds nothing open.
  ASSERT_EQ(host.posted.size(), 1u);
  run->OnNotify(host.posted[0].code, host.posted[0].device);
  EXPECT_EQ(host.ended, 1);
}

// ---- Devices that never answer -----------------------------------------------------

TEST_F(MediaRunTest, APlayThatNeverEndsFailsOnceItsLengthAndMarginHavePassed) {
  struct Case {
    const char* name;
    DWORD lengthMs;
    MCIERROR lengthError;
    UINT bound;
    const wchar_t* midiLine;
    const wchar_t* waveLine;
  } cases[] = {
      {"a 4 s tune", 4000, 0, 34000, L"The MIDI sequencer did not finish within 34 seconds.",
       L"The waveform audio device did not finish within 34 seconds."},
      {"a 2 min tune", 120000, 0, 150000, L"The MIDI sequencer did not finish within 150 seconds.",
       L"The waveform audio device did not finish within 150 seconds."},
      {"length unknown", 0, MCIERR_UNSUPPORTED_FUNCTION, kUnknownLengthBoundMs,
       L"The MIDI sequencer did not finish within 120 seconds.",
       L"The waveform audio device did not finish within 120 seconds."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartCase();
    mci.silent = true;  // takes the play, never notifies (no MIDI device here)
    mci.lengthMs = c.lengthMs;
    mci.lengthError = c.lengthError;
    MediaSettings s;
    Make(s, Files({L"test.mid", L"test.wav"}));
    ASSERT_TRUE(run->Start());
    EXPECT_EQ(host.deviceTimer, c.bound);
    run->OnDeviceTimer();
    ASSERT_TRUE(run->Running()) << "the next file follows";
    EXPECT_EQ(host.deviceTimer, c.bound) << "armed again for the next file";
    run->OnDeviceTimer();
    EXPECT_EQ(host.lines, L({L"Playing Midi File(test.mid)...	FAILED", c.midiLine,
                            L"Playing Wave File(test.wav)...	FAILED", c.waveLine}))
        << Joined(host.lines);
    EXPECT_EQ(run->Errors(), 2);
    EXPECT_FALSE(run->Running());
    EXPECT_FALSE(run->Aborted()) << "a failed run reports its count";
    EXPECT_EQ(host.ended, 1);
    EXPECT_EQ(host.deviceTimer, 0u);
    EXPECT_TRUE(mci.devices.empty()) << "the hung devices were closed";
  }
}

TEST_F(MediaRunTest, StopDuringAPlayThatNeverEndsActsAtOnce) {
  mci.silent = true;
  Make(MediaSettings{}, Files({L"test.mid", L"test.wav"}));
  ASSERT_TRUE(run->Start());
  ASSERT_NE(host.deviceTimer, 0u);
  MCIDEVICEID id = run->OpenDeviceId();
  run->Stop();
  EXPECT_TRUE(mci.queue.empty()) << "the device says nothing of its stop";
  ASSERT_EQ(host.posted.size(), 1u) << "the run posts the end of the play itself";
  EXPECT_EQ(host.posted[0].code, (WPARAM)MCI_NOTIFY_ABORTED);
  EXPECT_EQ((MCIDEVICEID)host.posted[0].device, id);
  run->OnNotify(host.posted[0].code, host.posted[0].device);
  EXPECT_FALSE(run->Running());
  EXPECT_EQ(host.lines, L({L"Playing Midi File(test.mid)...	", L"", L"===>Test aborted."})) << Joined(host.lines);
  EXPECT_TRUE(run->Aborted());
  EXPECT_EQ(host.deviceTimer, 0u) << "no bound left armed";
  EXPECT_TRUE(mci.devices.empty());
  run->OnDeviceTimer();  // a late tick finds nothing to do
  EXPECT_EQ(host.ended, 1);
}

// A call into a device that never returns (a driver's stop waiting for a
// play thread whose sound server died) is given up: the run names the
// device, counts it, tries no further device call and still ends.
TEST_F(MediaRunTest, ADeviceCallThatNeverReturnsIsGivenUpAndTheRunEnds) {
  const wchar_t kNoAnswer[] = L"The waveform audio device did not answer within 15 seconds.";
  struct Case {
    const char* name;
    UINT hangOn;
    bool silent;    // the play never says it ended: the bound on the play passes
    bool userStop;  // Stop while the first file plays
    std::vector<std::wstring> lines;
    int errors;
    bool aborted;
  } cases[] = {
      {"the close after a play", MCI_CLOSE, false, false,
       L({L"Playing Wave File(a.wav)...\tOK", kNoAnswer, L"Failed to open MCI device."}), 2, false},
      {"the close after the bound on a play (its sound server died)", MCI_CLOSE, true, false,
       L({L"Playing Wave File(a.wav)...\tFAILED", L"The waveform audio device did not finish within 34 seconds.",
          kNoAnswer, L"Failed to open MCI device."}),
       3, false},
      {"the play itself", MCI_PLAY, false, false,
       L({L"Playing Wave File(a.wav)...\tFAILED", kNoAnswer, L"Failed to open MCI device."}), 3, false},
      {"the user's stop", MCI_STOP, true, true,
       L({L"Playing Wave File(a.wav)...\t", kNoAnswer, L"", L"===>Test aborted."}), 1, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartCase();
    mci.hangOn = c.hangOn;
    mci.silent = c.silent;
    mci.lengthMs = 4000;
    Make(WaveOnly(), Files({L"a.wav", L"b.wav"}));
    run->Start();
    if (c.userStop) run->Stop();
    for (int guard = 0; run->Running() && guard < 20; ++guard) {
      if (!host.posted.empty()) {
        fakemm::Notification n = host.posted.front();
        host.posted.erase(host.posted.begin());
        run->OnNotify(n.code, n.device);
      } else if (!mci.queue.empty()) {
        fakemm::Notification n = mci.queue.front();
        mci.queue.pop_front();
        run->OnNotify(n.code, n.device);
      } else if (c.silent) {
        run->OnDeviceTimer();
      } else if (MCIDEVICEID id = run->OpenDeviceId()) {
        mci.Finish(id);
      }
    }
    EXPECT_FALSE(run->Running());
    EXPECT_EQ(host.lines, c.lines) << Joined(host.lines);
    EXPECT_EQ(run->Errors(), c.errors);
    EXPECT_EQ(run->Aborted(), c.aborted);
    EXPECT_EQ(host.ended, 1);
    EXPECT_TRUE(run->DevicesGivenUp());
    ASSERT_TRUE(mci.hung);
    EXPECT_EQ(mci.calls, mci.callsAtHang) << "no device call after the one that never returned";
    run.reset();
    EXPECT_EQ(mci.calls, mci.callsAtHang) << "not even when the run goes";
  }
}

// A run that tried nothing (every test of its mode disabled) says so and
// does not pass; one with something tried, or stopped, has no such line.
TEST_F(MediaRunTest, ARunThatTestedNothingDoesNotPass) {
  struct Case {
    const char* name;
    bool audio;
    int wave, midi, cd, avi, mpg;
    std::vector<std::wstring> files;
    std::vector<std::wstring> lines;
    int errors;
  } cases[] = {
      {"audio with every test disabled", true, 0, 0, 0, 0, 0, L({L"a.wav", L"t.mid"}), L({L"Nothing was tested."}), 1},
      {"video with both tests disabled (their defaults)", false, 0, 0, 0, 0, 0, L({L"v.avi", L"m.mpg"}),
       L({L"Nothing was tested."}), 1},
      {"a wave file played", true, 1, 0, 0, 0, 0, L({L"a.wav"}),
       std::vector<std::wstring>(3, L"Playing Wave File(a.wav)...\tOK"), 0},
      {"the selection check failed: its own line says why", true, 1, 0, 0, 0, 0, L({L"t.mid"}),
       L({L"No Wave file is selected."}), 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    StartCase();
    MediaSettings s;
    s.audioMode = c.audio;
    s.waveEnable = c.wave;
    s.midiEnable = c.midi;
    s.audioCdEnable = c.cd;
    s.aviEnable = c.avi;
    s.mpgEnable = c.mpg;
    s.loop = 3;
    std::vector<MediaFile> files;
    for (const std::wstring& f : c.files) {
      files.push_back({L"C:\\m\\" + f, FileTypeOf(f, c.audio)});
      host.existing.insert(files.back().path);
    }
    Make(s, files);
    if (run->Start()) PlayFilesThrough();
    EXPECT_EQ(host.lines, c.lines) << Joined(host.lines);
    EXPECT_EQ(run->Errors(), c.errors);
    EXPECT_FALSE(run->Running());
    EXPECT_EQ(host.ended, 1);
  }
  EXPECT_TRUE(NothingTested(0, false));
  EXPECT_FALSE(NothingTested(0, true)) << "a stopped run says it was stopped";
  EXPECT_FALSE(NothingTested(1, false));
}

TEST_F(MediaRunTest, ADiscThatNeverAnswersItsStopFailsAndTheNextDriveFollows) {
  mci.drives[L'D'] = fakemm::FakeDrive{525, {true}};
  mci.drives[L'E'] = fakemm::FakeDrive{525, {true}};
  MediaSettings s;
  s.waveEnable = s.midiEnable = 0;
  s.audioCdEnable = 1;
  Make(s, {}, L"DE");
  ASSERT_TRUE(run->Start());
  mci.silent = true;  // drive D: never says its play ended
  for (int tick = 0; tick < 20; ++tick) run->OnCdTimer();
  EXPECT_EQ(host.timer, 0u);
  ASSERT_EQ(host.deviceTimer, kCdStopAnswerMs);
  mci.silent = false;
  run->OnDeviceTimer();
  ASSERT_TRUE(run->Running());
  for (int tick = 0; tick < 20; ++tick) run->OnCdTimer();
  ASSERT_EQ(mci.queue.size(), 1u);
  run->OnNotify(mci.queue.front().code, mci.queue.front().device);
  EXPECT_EQ(host.lines, L({L"CD Audio Test will stop in 10 seconds.", L"Please verify the sound from your speaker(s) now...",
                          L"Testing Drive D:\\", L"Playing CD...\tFAILED", L"The CD audio device of drive D: did not answer within 10 seconds.",
                          L"Testing Drive E:\\", L"Playing CD...\tOK"}))
      << Joined(host.lines);
  EXPECT_EQ(run->Errors(), 1);
  EXPECT_FALSE(run->Running());
  EXPECT_TRUE(mci.devices.empty());
}

TEST_F(MediaRunTest, NotificationOfAnotherDeviceIsIgnored) {
  Make(WaveOnly(), Files({L"a.wav"}));
  ASSERT_TRUE(run->Start());
  MCIDEVICEID id = run->OpenDeviceId();
  run->OnNotify(MCI_NOTIFY_ABORTED, id + 7);
  run->OnNotify(MCI_NOTIFY_SUCCESSFUL, 0);
  EXPECT_TRUE(run->Running());
  EXPECT_EQ(host.lines, L({L"Playing Wave File(a.wav)...\t"}));
  run->OnNotify(MCI_NOTIFY_SUCCESSFUL, id);
  EXPECT_EQ(host.lines, L({L"Playing Wave File(a.wav)...\tOK"}));
  EXPECT_FALSE(run->Running());
}

TEST_F(MediaRunTest, OpenFailureIsCountedAndTheNextFileFollows) {
  Make(WaveOnly(), Files({L"a.wav", L"b.wav"}));
  mci.openError = MCIERR_CANNOT_LOAD_DRIVER;
  EXPECT_FALSE(run->Start());
  EXPECT_EQ(host.lines, L({L"Failed to open MCI device.", L"Failed to open MCI device."}));
  EXPECT_EQ(run->Errors(), 2);
  EXPECT_EQ(host.ended, 1);
}

// ---- The audio CD phase ---------------------------------------------------------------

namespace {

struct CdCase {
  const char* name;
  std::wstring drives;                   // letters the run tests
  std::vector<fakemm::FakeDrive> discs;  // by letter
  int recordMicrophone, recordLinein;
  std::vector<int16_t> recording;        // what the wave input hears
  int discStopsAtTick;                   // of the first play; 0: never
  int userStopAtStep;                    // -1: never
  bool withMixer;
  std::vector<std::wstring> lines;
  int errors;
};

fakemm::FakeDrive Disc(std::vector<bool> tracks, DWORD mode = 525) { return fakemm::FakeDrive{mode, std::move(tracks)}; }

const wchar_t kWillStop[] = L"CD Audio Test will stop in 10 seconds.";
const wchar_t kListen[] = L"Please verify the sound from your speaker(s) now...";

}  // namespace

TEST_F(MediaRunTest, AudioCdPhaseScenarios) {
  std::vector<int16_t> tone = fakemm::Tone(120000, 1000, 8000);
  std::vector<int16_t> silence = fakemm::Silence(120000);
  const CdCase cases[] = {
      {"normal play", L"D", {Disc({true})}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK"}), 0},
      {"first track data: plays the first audio track", L"D", {Disc({false, true})}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK"}), 0},
      {"no drive", L"", {}, 0, 0, {}, 0, -1, true, L({L"No CD-ROM drive found."}), 1},
      {"door open", L"D", {Disc({true}, 530)}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"CD Audio Device not ready.", L"Playing CD...\tFAILED"}), 1},
      {"data only", L"D", {Disc({false, false})}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"No audio track found on the CD.", L"Playing CD...\tFAILED"}), 1},
      {"disc stops early", L"D", {Disc({true})}, 0, 0, {}, 3, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tFAILED"}), 1},
      {"stale notification of a stopped disc spares the next drive", L"DE", {Disc({true}), Disc({true})}, 0, 0, {}, 3,
       -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tFAILED", L"Testing Drive E:\\",
          L"Playing CD...\tOK"}),
       1},
      {"every drive is tried", L"DEF", {Disc({true}, 530), Disc({true}, 524), Disc({true})}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"CD Audio Device not ready.", L"Playing CD...\tFAILED",
          L"Testing Drive E:\\", L"CD Audio Device not ready.", L"Playing CD...\tFAILED", L"Testing Drive F:\\",
          L"Playing CD...\tOK"}),
       2},
      {"a later drive after a failed one", L"DE", {Disc({true}), Disc({false})}, 0, 0, {}, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK", L"Testing Drive E:\\",
          L"No audio track found on the CD.", L"Playing CD...\tFAILED"}),
       1},
      {"microphone loopback hears the disc", L"D", {Disc({true})}, 1, 0, tone, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK", L"Microphone Loopback Test...\tOK"}), 0},
      {"silent line-in", L"D", {Disc({true})}, 0, 1, silence, 0, -1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK", L"Line-in Loopback Test...\tFAILED"}), 1},
      {"both loopbacks, no mixer", L"D", {Disc({true})}, 1, 1, tone, 0, -1, false,
       L({L"Failed to get mixer handle.", kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK",
          L"Microphone Loopback Test...\tFAILED", L"Line-in Loopback Test...\tFAILED"}),
       3},
      {"user stop while listening", L"DE", {Disc({true}), Disc({true})}, 1, 1, tone, 0, 0, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\t", L"", L"===>Test aborted."}), 0},
      {"user stop during the microphone test", L"D", {Disc({true})}, 1, 1, tone, 0, 1, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK", L"Microphone Loopback Test...\t", L"",
          L"===>Test aborted."}),
       0},
      {"user stop during the line-in test", L"D", {Disc({true})}, 1, 1, tone, 0, 2, true,
       L({kWillStop, kListen, L"Testing Drive D:\\", L"Playing CD...\tOK", L"Microphone Loopback Test...\tOK",
          L"Line-in Loopback Test...\t", L"", L"===>Test aborted."}),
       0},
  };
  for (const CdCase& c : cases) {
    SCOPED_TRACE(c.name);
    StartCase();
    for (size_t i = 0; i < c.discs.size(); ++i) mci.drives[c.drives[i]] = c.discs[i];
    wave.recording = c.recording;
    MediaSettings s;
    s.waveEnable = s.midiEnable = 0;
    s.audioCdEnable = 1;
    s.recordMicrophone = c.recordMicrophone;
    s.recordLinein = c.recordLinein;
    Make(s, {}, c.drives, c.withMixer);

    run->Start();
    // Notifications are handed on in the order they were sent (a stop's
    // late one included); with none waiting, the CD timer ticks.
    int plays = 0, ticks = 0;
    bool stopped = false;
    MCIDEVICEID playing = 0;
    for (int guard = 0; run->Running() && guard < 500; ++guard) {
      if (!mci.queue.empty()) {
        fakemm::Notification n = mci.queue.front();
        mci.queue.pop_front();
        run->OnNotify(n.code, n.device);
        continue;
      }
      ASSERT_NE(host.timer, 0u) << "the run waits for nothing";
      if (run->OpenDeviceId() != playing) {
        playing = run->OpenDeviceId();
        ++plays;
        ticks = 0;
      }
      if (c.userStopAtStep == run->Step() && !stopped && ticks == 1) {
        stopped = true;
        run->Stop();
        continue;
      }
      ++ticks;
      if (plays == 1 && c.discStopsAtTick == ticks) mci.DiscStops(playing);
      run->OnCdTimer();
    }
    EXPECT_FALSE(run->Running());
    EXPECT_EQ(host.lines, c.lines) << Joined(host.lines);
    EXPECT_EQ(run->Errors(), c.errors);
    EXPECT_FALSE(run->Aborted()) << "a CD phase always reports";
    EXPECT_EQ(host.ended, 1);
    EXPECT_TRUE(mci.devices.empty()) << "no device left open";
    EXPECT_FALSE(mm::WaveInOpen()) << "no recording left open";
  }
}

TEST_F(MediaRunTest, ADiscWhoseStatusNeverReturnsIsGivenUp) {
  mci.drives[L'D'] = Disc({true});
  mci.drives[L'E'] = Disc({true});
  mci.hangOn = MCI_STATUS;
  MediaSettings s;
  s.waveEnable = s.midiEnable = 0;
  s.audioCdEnable = 1;
  Make(s, {}, L"DE");
  EXPECT_FALSE(run->Start());
  EXPECT_EQ(host.lines, L({kWillStop, kListen, L"Testing Drive D:\\",
                          L"The CD audio device of drive D: did not answer within 15 seconds.",
                          L"CD Audio Device not ready.", L"Playing CD...\tFAILED", L"Testing Drive E:\\",
                          L"Failed to open CD Audio Device.", L"Playing CD...\tFAILED"}))
      << Joined(host.lines);
  EXPECT_EQ(run->Errors(), 3);
  EXPECT_EQ(host.ended, 1);
  EXPECT_EQ(mci.calls, mci.callsAtHang);
}

TEST_F(MediaRunTest, ThePlayTimeIsFiveSecondsThenNineteenHalfSecondChecks) {
  mci.drives[L'D'] = Disc({true});
  MediaSettings s;
  s.waveEnable = s.midiEnable = 0;
  s.audioCdEnable = 1;
  Make(s, {}, L"D");
  ASSERT_TRUE(run->Start());
  EXPECT_EQ(host.timer, 5000u);
  EXPECT_EQ(host.waited, 1000u) << "CDPlayDelay 1";
  for (int tick = 1; tick < 20; ++tick) {
    run->OnCdTimer();
    ASSERT_EQ(host.timer, 500u) << tick;
  }
  EXPECT_TRUE(mci.queue.empty());
  run->OnCdTimer();
  EXPECT_EQ(host.timer, 0u);
  ASSERT_EQ(mci.queue.size(), 1u);
  EXPECT_EQ(mci.queue.front().code, (WPARAM)MCI_NOTIFY_ABORTED);
}

// ---- Pure rules --------------------------------------------------------------------

TEST(MediaRules, PlayBoundsComeFromTheLength) {
  struct Case {
    bool known;
    DWORD length, bound;
  } cases[] = {{true, 0, 30000},         {true, 4000, 34000},     {true, 60000, 90000},
               {true, 120000, 150000},   {true, 600000, 750000},  {false, 0, kUnknownLengthBoundMs},
               {false, 5000, kUnknownLengthBoundMs},
               {true, 0xFFFFFFFF, kMaxPlayLengthMs + kMaxPlayLengthMs / 4}};
  for (const Case& c : cases) EXPECT_EQ(PlayBoundMs(c.known, c.length), c.bound) << c.known << " " << c.length;
  EXPECT_EQ(DeviceTimeoutText(L"drive %c: in %d s", L'R', 10), L"drive R: in 10 s");
  EXPECT_EQ(DeviceTimeoutText(L"in %d s", 0, 34), L"in 34 s");
}

TEST(MediaRules, TheStoredListIsKeptAndOnlyWhatExistsPlays) {
  static std::set<std::wstring> present;
  present = {L"C:\\t\\a.wav", L"C:\\t\\b.mid", L"C:\\suite\\TESTDATA\\test.wav", L"C:\\suite\\TESTDATA\\test.mid",
             L"C:\\t\\c.txt"};
  auto exists = +[](const std::wstring& p) { return present.count(p) != 0; };
  const std::vector<MediaFile> defaults = {{L"C:\\suite\\TESTDATA\\test.wav", kTypeWave},
                                           {L"C:\\suite\\TESTDATA\\test.mid", kTypeMidi}};
  auto paths = [](const std::vector<MediaFile>& files) {
    std::vector<std::wstring> p;
    for (const MediaFile& f : files) p.push_back(f.path);
    return p;
  };
  struct Case {
    const char* name;
    std::vector<std::wstring> listed;
    std::vector<std::wstring> plays;
    std::vector<std::wstring> dialog;
  } cases[] = {
      {"missing and unknown entries stay listed, only files play",
       L({L"E:\\offline\\x.wav", L"C:\\t\\a.wav", L"", L"C:\\t\\c.txt", L"C:\\t\\b.mid"}),
       L({L"C:\\t\\a.wav", L"C:\\t\\b.mid"}),
       L({L"E:\\offline\\x.wav", L"C:\\t\\a.wav", L"C:\\t\\c.txt", L"C:\\t\\b.mid"})},
      {"nothing present: the defaults play, the dialog shows the user's list",
       L({L"E:\\offline\\x.wav", L"E:\\offline\\y.mid"}),
       L({L"C:\\suite\\TESTDATA\\test.wav", L"C:\\suite\\TESTDATA\\test.mid"}),
       L({L"E:\\offline\\x.wav", L"E:\\offline\\y.mid"})},
      {"an empty list: the defaults, in the dialog too", std::vector<std::wstring>(10),
       L({L"C:\\suite\\TESTDATA\\test.wav", L"C:\\suite\\TESTDATA\\test.mid"}),
       L({L"C:\\suite\\TESTDATA\\test.wav", L"C:\\suite\\TESTDATA\\test.mid"})},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    std::vector<MediaFile> plays = PlayListFrom(c.listed, true, defaults, exists);
    EXPECT_EQ(paths(plays), c.plays);
    EXPECT_EQ(DialogLinesFrom(c.listed, plays), c.dialog);
  }
  std::vector<std::wstring> eleven(11, L"x.wav");
  eleven[3] = L"";
  EXPECT_EQ(ListedFromLines(eleven).size(), 10u);
}

TEST(MediaRules, FileTypesDrivesAndSources) {
  struct TypeCase {
    const wchar_t* path;
    bool audio;
    WORD type;
  } types[] = {{L"a.wav", true, kTypeWave}, {L"song.WAV", true, kTypeWave}, {L"t.RMI", true, kTypeMidi},
               {L"t.mid", true, kTypeMidi}, {L"a.avi", true, kTypeNone},    {L"a.avi", false, kTypeAvi},
               {L"m.MPG", false, kTypeMpeg}, {L"a.wav", false, kTypeNone},  {L"wav", true, kTypeNone}};
  for (const TypeCase& c : types) EXPECT_EQ(FileTypeOf(c.path, c.audio), c.type) << c.path;

  struct DriveCase {
    const wchar_t* letters;
    int driveNo;
    const wchar_t* chosen;
  } drives[] = {{L"DE", 0, L"DE"}, {L"DE", 2, L"E"}, {L"DE", 1, L"D"}, {L"DE", 5, L"D"}, {L"", 2, L""}, {L"D", -1, L"D"}};
  for (const DriveCase& c : drives) EXPECT_EQ(ChooseCdDrives(c.letters, c.driveNo), c.chosen) << c.letters << c.driveNo;

  const DWORD cd = MIXERLINE_COMPONENTTYPE_SRC_COMPACTDISC, aux = MIXERLINE_COMPONENTTYPE_SRC_AUXILIARY;
  struct SourceCase {
    int drive;
    const wchar_t *cd1, *cd2;
    DWORD type;
  } sources[] = {{0, L"CD", L"AUX", cd}, {1, L"CD", L"AUX", aux}, {2, L"CD", L"AUX", cd}, {1, L"CD", L"cd", cd},
                 {0, L"aux", L"AUX", aux}, {0, L"Other", L"x", cd}, {1, L"x", L"Other", aux}, {3, L"x", L"y", cd}};
  for (const SourceCase& c : sources) EXPECT_EQ(CdSourceType(c.drive, c.cd1, c.cd2), c.type) << c.drive << c.cd1 << c.cd2;

  for (auto [value, want] : {std::pair<long long, int>{0, 0}, {5, 5}, {9, 1}, {-1, 1}, {3, 3}})
    EXPECT_EQ(ClampCdPlayDelay(value), want) << value;
}

TEST(MediaRules, SelectDialogLinesAndFilters) {
  std::vector<MediaFile> files =
      FilesFromLines({L"C:\\a.wav", L"", L"C:\\b.txt", L"C:\\c.RMI", L"D:\\v.avi", L"D:\\m.mpg"});
  ASSERT_EQ(files.size(), 4u);
  EXPECT_EQ(files[0].type, kTypeWave);
  EXPECT_EQ(files[1].path, L"C:\\c.RMI");
  EXPECT_EQ(files[1].type, kTypeMidi);
  EXPECT_EQ(files[2].type, kTypeAvi);
  EXPECT_EQ(files[3].type, kTypeMpeg);
  std::vector<std::wstring> eleven(11, L"x.wav");
  EXPECT_EQ(FilesFromLines(eleven).size(), 10u);
  EXPECT_EQ(FileDialogFilter(L"Wave Files (*.wav)|*.wav||"), std::wstring(L"Wave Files (*.wav)\0*.wav\0\0\0", 27));
  EXPECT_EQ(DisplayName(L"C:\\x\\y.wav"), L"y.wav");
  EXPECT_EQ(DisplayName(L"y.wav"), L"y.wav");
}

// The stored list is written as a whole: a value that cannot be written
// leaves every value as it was before, the ones written already and the
// ones that did not exist included.
TEST(MediaRules, AStoredListWriteThatFailsLeavesTheListAsItWas) {
  using Values = std::vector<std::optional<std::wstring>>;
  struct FakeStore : ListStore {
    std::map<int, std::wstring> values;
    int failAt = -1;  // the value whose write fails
    bool Write(int i, const std::wstring& t) override {
      if (i == failAt) return false;
      values[i] = t;
      return true;
    }
    bool Remove(int i) override { return values.erase(i) == 1; }
  };
  auto stored = [](const FakeStore& s) {
    Values v(10);
    for (const auto& [i, t] : s.values) v[i] = t;
    return v;
  };
  const Values before = {L"a.wav", L"b.mid", L"c.wav", std::nullopt, std::nullopt,
                         std::nullopt, std::nullopt, std::nullopt, std::nullopt, std::nullopt};
  const Values after = {L"x.wav", L"", L"", L"y.wav", L"", L"", L"", L"", L"", L""};
  struct Case {
    const char* name;
    int failAt;
    bool ok;
    Values want;
  } cases[] = {{"every write succeeds", -1, true, after},
               {"the fourth value fails: the three before it come back", 3, false, before},
               {"the first value fails: nothing changed", 0, false, before},
               {"the last value fails: the values that did not exist are gone again", 9, false, before}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeStore store;
    for (int i = 0; i < 10; ++i)
      if (before[i]) store.values[i] = *before[i];
    store.failAt = c.failAt;
    EXPECT_EQ(WriteStoredList(before, after, store), c.ok);
    EXPECT_EQ(stored(store), c.want);
  }
  // A value the list keeps (none in `after`) is not touched.
  FakeStore store;
  store.values = {{0, L"keep.wav"}};
  store.failAt = 0;
  EXPECT_TRUE(WriteStoredList({L"keep.wav"}, {std::nullopt}, store));
  EXPECT_EQ(store.values.at(0), L"keep.wav");
}
