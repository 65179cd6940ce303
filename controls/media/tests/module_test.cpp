// The media control end to end: media.mod run as the main program runs it,
// and the control hosted in this process with a sink for Done. With the
// suite's audio server Wine has wave devices and the generated tones play;
// without it the runs show what a machine without sound devices shows.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>
#include <ole2.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "appkit/axhost.h"
#include "appkit/registry.h"
#include "appkit/text.h"
#include "testsupport/shot.h"
#include "suite/controls.h"
#include "suite/diag.h"
#include "testsupport/controls.h"
#include "testsupport/process.h"
#include "testsupport/soundserver.h"
#include "testsupport/ui.h"

using namespace testsupport;

namespace {

const wchar_t kKey[] = L"Software\\Qev\\MEDIA\\Setting";

bool HaveAudio() { return ::waveOutGetNumDevs() > 0; }

class MediaModule : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    ::OleInitialize(nullptr);
    ASSERT_EQ(RegisterControl(SuitePath(L"MEDIA.OCX")), 0);
  }
  static void TearDownTestSuite() { ::OleUninitialize(); }

  void SetUp() override {
    for (auto [name, value] : {std::pair<const wchar_t*, DWORD>{L"Loop", 3},
                               {L"WaveEnable", 1},
                               {L"MidiEnable", 0},
                               {L"AudioCDEnable", 0},
                               {L"RecordMicrophone", 0},
                               {L"RecordLinein", 0},
                               {L"SetVolume", 1}})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
    SetFiles({L"tone1.wav", L"tone2.wav", L"tone3.wav"});
    RemoveLogs();
  }
  void TearDown() override {
    RemoveLogs();
    ::DeleteFileW(Sample(L"gone.wav").c_str());
    ::DeleteFileW(Sample(L"long.wav").c_str());
    // The shipped clip, should a test that took it away have stopped short.
    if (::GetFileAttributesW(Sample(L"test.avi.away").c_str()) != INVALID_FILE_ATTRIBUTES)
      ::MoveFileExW(Sample(L"test.avi.away").c_str(), Sample(L"test.avi").c_str(), MOVEFILE_REPLACE_EXISTING);
  }
  static std::wstring Sample(const std::wstring& name) { return SuitePath(L"TESTDATA\\" + name); }
  static void SetFiles(const std::vector<std::wstring>& names) {
    for (int i = 0; i < 10; ++i)
      appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio" + std::to_wstring(i),
                             i < (int)names.size() ? Sample(names[i]) : L"");
  }
  static void SetVideoFiles(const std::vector<std::wstring>& names) {
    for (int i = 0; i < 10; ++i)
      appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Video" + std::to_wstring(i),
                             i < (int)names.size() ? Sample(names[i]) : L"");
  }
  static void RemoveLogs() {
    for (const wchar_t* log : {L"KytADO.LOG", L"KytADO3.LOG", L"KytVDO.LOG"}) ::DeleteFileW(SuitePath(log).c_str());
  }

  // media.mod as the main program starts it; `beforeStart` runs once the
  // module is idle, before it is told to start. The reported result.
  WPARAM Run(const std::wstring& args, const std::function<void()>& beforeStart = {}) {
    Process p;
    EXPECT_TRUE(p.Start(SuitePath(L"media.mod"), args));
    EXPECT_TRUE(p.WaitIdle(20000));
    if (beforeStart) beforeStart();
    MessageCatcher host;
    UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
    MessageCatcher::Caught done{};
    EXPECT_TRUE(host.WaitFor(diag, 120000, &done)) << "the module reports";
    EXPECT_TRUE(p.WaitExit(20000));
    return done.wp;
  }
};

std::string PlayLine(const char* name) { return std::string("Playing Wave File(") + name + ")...\t"; }

}  // namespace

TEST_F(MediaModule, AutoRun3PlaysThreeTonesThreeTimesIntoItsOwnLog) {
  WPARAM result = Run(L"-AutoRun3");
  std::string log = ReadTextFile(SuitePath(L"KytADO3.LOG"));
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  EXPECT_NE(log.find("]\n\nAudio Test\n"), std::string::npos) << log;
  if (HaveAudio()) {
    EXPECT_EQ(result, 0u);
    EXPECT_EQ(CountOccurrences(log, "...\tOK\n"), 9) << log;
    std::string order;
    for (int pass = 0; pass < 3; ++pass)
      for (const char* n : {"tone1.wav", "tone2.wav", "tone3.wav"}) order += PlayLine(n) + "OK\n";
    EXPECT_NE(log.find(order), std::string::npos) << log;
    EXPECT_NE(log.find("\n\nNo Error Found.\n"), std::string::npos) << log;
    EXPECT_EQ(log.find("Failed"), std::string::npos) << log;
  } else {
    // No wave device: no mixer either, and every file fails to play.
    EXPECT_NE(log.find("Failed to get mixer handle.\n"), std::string::npos) << log;
    EXPECT_EQ(CountOccurrences(log, "Playing Wave File("), 9) << log;
    EXPECT_EQ(CountOccurrences(log, "...\tOK"), 0) << log;
    EXPECT_EQ(result, 10u) << log;
    EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
  }
}

TEST_F(MediaModule, AFileGoneBeforeItsTurnAddsItsLineAndOneError) {
  ASSERT_TRUE(::CopyFileW(Sample(L"tone2.wav").c_str(), Sample(L"gone.wav").c_str(), FALSE));
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
  SetFiles({L"tone1.wav", L"gone.wav", L"tone3.wav"});
  WPARAM result = Run(L"-AutoRun", [] { ::DeleteFileW(Sample(L"gone.wav").c_str()); });
  std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
  EXPECT_EQ(CountOccurrences(log, "Test Wave file doesn't exist.(gone.wav)\n"), 1) << log;
  EXPECT_EQ(CountOccurrences(log, "Playing Wave File("), 2) << log;
  if (HaveAudio()) {
    EXPECT_EQ(result, 1u) << log;
    EXPECT_NE(log.find(PlayLine("tone1.wav") + "OK\nTest Wave file doesn't exist.(gone.wav)\n" + PlayLine("tone3.wav") +
                       "OK\n"),
              std::string::npos)
        << log;
  } else {
    EXPECT_EQ(result, 4u) << log;
  }
}

TEST_F(MediaModule, TheCdPhaseWithoutACdDriveSaysSoWithOneError) {
  // This machine has no CD-ROM drive: the listening and loopback tests have
  // nothing to play.
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"WaveEnable", 0);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"AudioCDEnable", 1);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"RecordMicrophone", 1);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"CDPlayDelay", 0);
  WPARAM result = Run(L"-AutoRun");
  std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
  EXPECT_EQ(CountOccurrences(log, "No CD-ROM drive found.\n"), 1) << log;
  EXPECT_EQ(CountOccurrences(log, "Playing"), 0) << log;
  EXPECT_EQ(result, HaveAudio() ? 1u : 2u) << log;
}

// The list as shipped (no entries: the TESTDATA wave file and tune). Wine
// here has no MIDI device: the sequencer takes the play of the tune and
// never says it finished, so only the bound on its play ends the run.
TEST_F(MediaModule, TheShippedListEndsByItselfWithAFailure) {
  SetFiles({});
  for (auto [name, value] : {std::pair<const wchar_t*, DWORD>{L"Loop", 1}, {L"WaveEnable", 1}, {L"MidiEnable", 1}})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
  ULONGLONG start = ::GetTickCount64();
  WPARAM result = Run(L"-AutoRun");
  double seconds = (double)(::GetTickCount64() - start) / 1000.0;
  std::printf("media.mod -AutoRun with the shipped list (%s) ended after %.1f s\n",
              HaveAudio() ? "audio server" : "no audio server", seconds);
  RecordProperty("seconds_to_end", (int)(seconds + 0.5));
  std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
  EXPECT_GT(result, 0u) << log;
  EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
  EXPECT_EQ(CountOccurrences(log, "Playing Midi File(test.mid)...\t"), 1) << log;
  if (::midiOutGetNumDevs() == 0) {
    EXPECT_NE(log.find("Playing Midi File(test.mid)...\tFAILED\nThe MIDI sequencer did not finish within "),
              std::string::npos)
        << log;
  }
  // The defaults were played, not stored.
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio0", L"?"), L"");
}

// Where the sound driver has no server (a ctest entry of its own points it
// at a dead socket) the shipped wave file fails at once and the run ends by
// itself. The tune is left out here: its play does not depend on the audio
// server, and the run above already waits out its bound.
TEST_F(MediaModule, WithoutAnAudioServerTheShippedWaveFileFailsAtOnce) {
  if (HaveAudio()) GTEST_SKIP() << "the audio server is there: the wave file plays";
  SetFiles({});
  for (auto [name, value] : {std::pair<const wchar_t*, DWORD>{L"Loop", 1}, {L"WaveEnable", 1}, {L"MidiEnable", 0}})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
  ULONGLONG start = ::GetTickCount64();
  WPARAM result = Run(L"-AutoRun");
  std::printf("media.mod -AutoRun with the shipped wave file and no audio server ended after %.1f s\n",
              (double)(::GetTickCount64() - start) / 1000.0);
  std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
  EXPECT_NE(log.find("Failed to get mixer handle.\n"), std::string::npos) << log;
  EXPECT_NE(log.find("Playing Wave File(test.wav)...\tFAILED\n"), std::string::npos) << log;
  EXPECT_EQ(CountOccurrences(log, "Playing"), 1) << log;
  EXPECT_EQ(result, 2u) << log;
  EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
  // The defaults were played, not stored.
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio0", L"?"), L"");
}

namespace {

// A mono 16-bit WAVE file of a 440 Hz tone `seconds` long.
std::string ToneWave(double seconds, int rate = 22050) {
  std::string data;
  for (int i = 0; i < (int)(seconds * rate); ++i) {
    short s = (short)(8000 * std::sin(2 * 3.14159265358979 * 440 * i / rate));
    data.append((const char*)&s, 2);
  }
  auto u32 = [](DWORD v) { return std::string((const char*)&v, 4); };
  auto u16 = [](WORD v) { return std::string((const char*)&v, 2); };
  return "RIFF" + u32((DWORD)(36 + data.size())) + "WAVEfmt " + u32(16) + u16(1) + u16(1) + u32((DWORD)rate) +
         u32((DWORD)rate * 2) + u16(2) + u16(16) + "data" + u32((DWORD)data.size()) + data;
}

std::wstring Joined(const std::vector<std::wstring>& lines) {
  std::wstring all;
  for (const std::wstring& l : lines) all += l + L"\n";
  return all;
}

// The result list (1005) of a module's Test page, once its window shows:
// inside the control, which bears the same id in the module's dialog.
HWND ModuleResults(const Process& p, DWORD ms) {
  auto list = [](HWND dialog) {
    HWND control = FindChildById(dialog, 1005);
    return control ? FindChildById(control, 1005) : nullptr;
  };
  HWND dialog = WaitForWindowOf(p.Pid(), [&](HWND w) { return list(w) != nullptr; }, ms);
  return dialog ? list(dialog) : nullptr;
}

}  // namespace

// The sound server stops answering while a wave file plays, stalled (as a
// server starved of time on a busy machine) or dead: the test still ends
// within its bound, the play failed with a line naming the device, and the
// module reports. Each case has its own ctest entry, which runs it on a
// server of its own; a stalled server runs again afterwards.
class MediaServerStops : public MediaModule {
 protected:
  // request / undo: to with_own_audio_server.sh (undo may be null);
  // seconds: the wave's length; after: seconds of play before the stop.
  void PlayAndStopTheServer(const wchar_t* request, const wchar_t* undo, int seconds, DWORD after) {
    if (SoundServerControl().empty()) GTEST_SKIP() << "run through with_own_audio_server.sh";
    if (!HaveAudio()) GTEST_SKIP() << "no audio server: nothing plays to be cut off";
    ASSERT_TRUE(WriteFileBytes(Sample(L"long.wav"), ToneWave(seconds)));
    for (auto [name, value] : {std::pair<const wchar_t*, DWORD>{L"Loop", 1}, {L"WaveEnable", 1}, {L"MidiEnable", 0}})
      appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, value);
    SetFiles({L"long.wav"});
    RemoveLogs();
    Process p;
    ASSERT_TRUE(p.Start(SuitePath(L"media.mod"), L"-AutoRun"));
    ASSERT_TRUE(p.WaitIdle(20000));
    MessageCatcher host;
    UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
    HWND results = ModuleResults(p, 30000);
    ASSERT_NE(results, nullptr);
    const std::wstring playing = L"Playing Wave File(long.wav)...\t";
    ASSERT_TRUE(PumpUntil(
        [&] {
          std::vector<std::wstring> lines = ListBoxLines(results);
          return !lines.empty() && lines.back() == playing;
        },
        30000))
        << "the long file plays: " << appkit::Narrow(Joined(ListBoxLines(results)));
    PumpUntil([] { return false; }, after);
    ASSERT_TRUE(AskSoundServer(request)) << "the audio server did not take the request";
    ULONGLONG stopped = ::GetTickCount64();
    MessageCatcher::Caught reply{};
    bool replied = host.WaitFor(diag, 90000, &reply);
    std::printf("with the audio server stopped (%s) %lu ms into a %d s play the module %s after %.1f s\n",
                appkit::Narrow(request).c_str(), (unsigned long)after, seconds,
                replied ? "replied" : "had not replied", (double)(::GetTickCount64() - stopped) / 1000.0);
    EXPECT_TRUE(replied) << "the module reports within 90 s";
    if (replied) {
      EXPECT_GE(reply.wp, 1u);
      std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
      EXPECT_NE(log.find("Playing Wave File(long.wav)...\tFAILED\nThe waveform audio device did not "),
                std::string::npos)
          << log;
      EXPECT_NE(log.find("\n\nFound Error(s).\n"), std::string::npos) << log;
      EXPECT_TRUE(p.WaitExit(30000)) << "the module ends";
    }
    if (undo) {
      ASSERT_TRUE(AskSoundServer(undo));
    }
  }
};

// The server killed 4 s into a 30 s wave file, as a crashed server ends.
TEST_F(MediaServerStops, ASoundServerThatDiesDuringAPlayFailsTheRunWithinItsBound) {
  PlayAndStopTheServer(L"kill", nullptr, 30, 4000);
}

// The server stalled 2 s into a 6 s wave file, and let run again afterwards.
TEST_F(MediaServerStops, ASoundServerThatStallsDuringAPlayFailsTheRunWithinItsBound) {
  PlayAndStopTheServer(L"freeze", L"thaw", 6, 2000);
}

// Every test of the mode switched off (as the stored settings may say): the
// run tested nothing, says so and does not pass.
TEST_F(MediaModule, ARunWithEveryTestDisabledSaysNothingWasTestedAndFails) {
  for (const wchar_t* name : {L"WaveEnable", L"MidiEnable", L"AudioCDEnable"})
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, name, 0);
  WPARAM result = Run(L"-AutoRun -Check");
  std::string log = ReadTextFile(SuitePath(L"KytADO.LOG"));
  EXPECT_EQ(CountOccurrences(log, "Playing"), 0) << log;
  EXPECT_NE(log.find("Nothing was tested.\n\nFound Error(s).\n"), std::string::npos) << log;
  EXPECT_EQ(result, HaveAudio() ? 1u : 2u) << log;
}

// The select-files dialog takes over the lines it holds, not what its list
// box gives back: a stored entry longer than any path stays as it was.
TEST_F(MediaModule, TheSelectDialogKeepsAStoredEntryOfAnyLength) {
  const std::wstring longEntry = L"Q:\\Archive\\" + std::wstring(1500, L'x') + L"\\tune.wav";
  struct Case {
    const char* name;
    bool deleteFirst;
    std::vector<std::wstring> stored;  // Audio0, Audio1 afterwards
  } cases[] = {{"OK without a change", false, {Sample(L"tone1.wav"), longEntry}},
               {"the other entry deleted", true, {longEntry, L""}}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    SetFiles({L"tone1.wav"});
    appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio1", longEntry);
    Process p;
    ASSERT_TRUE(p.Start(SuitePath(L"media.mod"), L""));
    ASSERT_TRUE(p.WaitIdle(20000));
    HWND module = WaitForWindowOf(p.Pid(), [](HWND w) { return FindChildById(w, 1014) != nullptr; }, 30000);
    ASSERT_NE(module, nullptr);
    ASSERT_TRUE(ClickButton(FindChildById(module, 1014)));
    HWND dialog = WaitForWindow(L"Select Audio Files", L"", p.Pid(), 30000);
    ASSERT_NE(dialog, nullptr);
    HWND list = FindChildById(dialog, 1018);
    EXPECT_EQ(ListBoxLines(list), (std::vector<std::wstring>{Sample(L"tone1.wav"), longEntry}));
    if (c.deleteFirst) {
      ::SendMessageW(list, LB_SETCURSEL, 0, 0);
      ASSERT_TRUE(ClickButton(dialog, 1016));
      ASSERT_TRUE(PumpUntil([&] { return ListBoxLines(list).size() == 1; }, 10000));
    }
    ASSERT_TRUE(ClickButton(dialog, IDOK));
    ASSERT_TRUE(WaitWindowGone(dialog, 20000));
    ::PostThreadMessageW(p.MainThreadId(), ::RegisterWindowMessageW(suite::kDiagMessage), suite::DiagClose, 0);
    ASSERT_TRUE(p.WaitExit(30000));
    EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio0", L"?"), c.stored[0]);
    EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio1", L"?"), c.stored[1]);
  }
}

TEST_F(MediaModule, NoFilesStillEndsAnAutomaticRunAndWritesNoLog) {
  SetVideoFiles({});
  // Without list entries the TESTDATA defaults serve: the shipped clip is
  // taken away for this run (the suite here is the test's own copy).
  ASSERT_TRUE(::MoveFileW(Sample(L"test.avi").c_str(), Sample(L"test.avi.away").c_str()));
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
  WPARAM result = Run(L"-AutoRun -VideoTest");
  ASSERT_TRUE(::MoveFileW(Sample(L"test.avi.away").c_str(), Sample(L"test.avi").c_str()));
  EXPECT_EQ(result, 1u) << "nothing could be tested";
  EXPECT_EQ(::GetFileAttributesW(SuitePath(L"KytVDO.LOG").c_str()), INVALID_FILE_ATTRIBUTES);
}

// The video mode as the stress list starts it ("-AutoRun -VideoTest"), with
// no list of the user's and the mode's settings as shipped: the suite's own
// clip plays to its end in its window, titled with the clip's path, and the
// run passes. Where the sound driver has no server (the entry of its own)
// the clip's picture still plays without its sound.
TEST_F(MediaModule, TheShippedVideoClipPlaysToItsEndInItsWindow) {
  SetVideoFiles({});
  HKEY key = nullptr;
  ASSERT_EQ(::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key), ERROR_SUCCESS);
  for (const wchar_t* name : {L"AviEnable", L"MpgEnable"}) ::RegDeleteValueW(key, name);
  ::RegCloseKey(key);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
  ::DeleteFileW(SuitePath(L"KytVDO.LOG").c_str());

  ULONGLONG start = ::GetTickCount64();
  Process p;
  ASSERT_TRUE(p.Start(SuitePath(L"media.mod"), L"-AutoRun -VideoTest"));
  ASSERT_TRUE(p.WaitIdle(20000));
  MessageCatcher host;
  UINT diag = ctltest::PostHostAndStart(p, host.hwnd());
  const std::wstring clip = Sample(L"test.avi");
  HWND video = WaitForWindowOf(
      p.Pid(), [&](HWND w) { return _wcsicmp(GetText(w).c_str(), clip.c_str()) == 0; }, 60000);
  EXPECT_NE(video, nullptr) << "a shown window titled " << appkit::Narrow(clip);
  if (video) mediatest::SaveWindowShot(video, L"media_video_window.bmp");
  MessageCatcher::Caught done{};
  ASSERT_TRUE(host.WaitFor(diag, 120000, &done)) << "the module reports";
  EXPECT_TRUE(p.WaitExit(20000));
  std::printf("media.mod -AutoRun -VideoTest with the shipped clip (%s) ended after %.1f s\n",
              HaveAudio() ? "audio server" : "no audio server", (double)(::GetTickCount64() - start) / 1000.0);

  std::string log = ReadTextFile(SuitePath(L"KytVDO.LOG"));
  EXPECT_EQ(done.wp, 0u) << log;
  EXPECT_EQ(log.rfind("[Last Updated: ", 0), 0u) << log;
  EXPECT_NE(log.find("]\n\nVideo Test\nPlaying AVI File(test.avi)...\tOK\n\nNo Error Found.\n"), std::string::npos)
      << log;
  EXPECT_EQ(CountOccurrences(log, "Playing"), 1) << log;
  // The defaults were played, not stored.
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Video0", L"?"), L"");
}

// ---- Hosted in this process ----------------------------------------------------------

namespace {

class MediaHost : public MediaModule {
 protected:
  void SetUp() override {
    MediaModule::SetUp();
    window = ctltest::CreateHostWindow(660, 500);
    ASSERT_EQ(host.Create(suite::Control(suite::kCtlMedia).clsid, window, RECT{10, 10, 650, 490}, 1001), S_OK);
    ASSERT_EQ(host.SinkEvents(IID_NULL,
                              [this](DISPID id, const std::vector<std::wstring>& args) {
                                if (id == suite::kEventDone) done.push_back(args.empty() ? L"?" : args[0]);
                              }),
              S_OK);
  }
  void TearDown() override {
    host.Destroy();
    ::DestroyWindow(window);
    MediaModule::TearDown();
  }
  HWND Sheet() const { return ::GetWindow(host.hwnd(), GW_CHILD); }
  HWND Results() const { return FindChildById(Sheet(), 1005); }
  bool Call(DISPID id, const std::vector<appkit::AxArg>& args = {}) { return ctltest::Call(host, id, args); }
  std::vector<std::wstring> Lines() const { return ListBoxLines(Results()); }
  std::wstring AllLines() const {
    std::wstring all;
    for (const std::wstring& l : Lines()) all += l + L"\n";
    return all;
  }
  // One pass of the automatic run, pumped until its list shows `ready`.
  template <class Ready>
  void StartOnePassUntil(Ready ready, const char* what) {
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
    ASSERT_TRUE(Call(suite::kDispInit, {std::string("-AutoRun")}));
    ASSERT_TRUE(Call(suite::kDispDoTest, {std::string("")}));
    ASSERT_TRUE(PumpUntil([&] { return ready(Lines()); }, 30000)) << what;
  }

  HWND window = nullptr;
  appkit::AxHost host;
  std::vector<std::wstring> done;
};

}  // namespace

TEST_F(MediaHost, DoneCarriesTheCountAndTheListShowsEveryPlay) {
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
  ASSERT_TRUE(Call(suite::kDispInit, {std::string("-AutoRun")}));
  ASSERT_TRUE(Call(suite::kDispSetProp, {std::string("Size"), std::string("640 480")}));
  EXPECT_EQ(ctltest::GetProp(host, "Title"), "Audio Test");
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), std::vector<std::wstring>{L"Test"}) << "an automatic run: the Test page only";
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string("")}));
  EXPECT_TRUE(PumpUntil([&] { return !done.empty(); }, 60000));
  ASSERT_EQ(done.size(), 1u);
  std::vector<std::wstring> lines = Lines();
  ASSERT_GE(lines.size(), 3u);
  if (HaveAudio()) {
    EXPECT_EQ(done[0], L"0");
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"Playing Wave File(tone1.wav)...\tOK",
                                                L"Playing Wave File(tone2.wav)...\tOK",
                                                L"Playing Wave File(tone3.wav)...\tOK", L"", L"No Error Found."}));
  } else {
    // Said once: no mixer; each file fails; then the verdict and the tips.
    EXPECT_EQ(done[0], L"4");
    EXPECT_EQ(std::vector<std::wstring>(lines.begin(), lines.begin() + 6),
              (std::vector<std::wstring>{L"Failed to get mixer handle.", L"Playing Wave File(tone1.wav)...\tFAILED",
                                         L"Playing Wave File(tone2.wav)...\tFAILED",
                                         L"Playing Wave File(tone3.wav)...\tFAILED", L"", L"Found Error(s)."}));
  }
  EXPECT_EQ(ctltest::GetProp(host, "count"), std::to_string(lines.size()));
  mediatest::SaveWindowShot(window, L"media_test_page.bmp");
}

TEST_F(MediaHost, StopDuringARunEndsItWithoutDone) {
  if (!HaveAudio()) GTEST_SKIP() << "no wave device: every file fails at once, nothing runs to stop";
  // One pass: the run advances only while this thread pumps its messages,
  // so the stop comes while the second file plays however slow the machine.
  ASSERT_NO_FATAL_FAILURE(
      StartOnePassUntil([](const std::vector<std::wstring>& l) { return l.size() >= 2; }, "a second file plays"));
  EXPECT_TRUE(Call(suite::kDispIsRunning));
  EXPECT_TRUE(Call(suite::kDispAbort));
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 30000));
  EXPECT_TRUE(done.empty()) << "an aborted run reports nothing";
  std::wstring all = AllLines();
  EXPECT_NE(all.find(L"\n\n===>Test aborted.\n\nNo Error Found.\n"), std::wstring::npos) << all.c_str();
  // The next run starts afresh and reports, once: a late Done of the
  // aborted run would be caught here as well.
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string("")}));
  EXPECT_TRUE(PumpUntil([&] { return !done.empty() && !Call(suite::kDispIsRunning); }, 90000));
  EXPECT_EQ(done, std::vector<std::wstring>{L"0"});
}

// A stop can come after a file has played to its end but before the run has
// taken its notice (or during the wait before the device closes): the run
// ends there, and no further file plays.
TEST_F(MediaHost, AStopAfterAFileEndedBeforeItsNoticeEndsTheRun) {
  if (!HaveAudio()) GTEST_SKIP() << "no wave device: every file fails at once, nothing runs to stop";
  ASSERT_NO_FATAL_FAILURE(StartOnePassUntil(
      [](const std::vector<std::wstring>& l) { return l.size() == 1 && l[0] == L"Playing Wave File(tone1.wav)...\t"; },
      "the first file plays"));
  // Not pumping: the tone ends and its notice waits in this thread's queue.
  ::Sleep(1500);
  EXPECT_TRUE(Call(suite::kDispAbort));
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 30000));
  std::wstring all = AllLines();
  EXPECT_EQ(all.find(L"tone2.wav"), std::wstring::npos) << all.c_str();
  EXPECT_EQ(all.find(L"Playing", all.find(L"Playing") + 1), std::wstring::npos) << "one play only\n" << all.c_str();
  EXPECT_NE(all.find(L"\n\n===>Test aborted.\n"), std::wstring::npos) << all.c_str();
  EXPECT_TRUE(done.empty()) << "an aborted run reports nothing";
}

TEST_F(MediaHost, StopDuringATuneThatNeverEndsActsAtOnce) {
  if (::midiOutGetNumDevs() != 0) GTEST_SKIP() << "a MIDI device plays the tune to its end";
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"MidiEnable", 1);
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"WaveEnable", 0);
  SetFiles({L"test.mid"});
  ASSERT_TRUE(Call(suite::kDispInit, {std::string("-AutoRun")}));
  ASSERT_TRUE(Call(suite::kDispDoTest, {std::string("")}));
  ASSERT_TRUE(PumpUntil(
      [&] {
        std::vector<std::wstring> l = Lines();
        return !l.empty() && l.back() == L"Playing Midi File(test.mid)...\t";
      },
      30000))
      << "the tune plays";
  EXPECT_TRUE(Call(suite::kDispAbort));
  EXPECT_TRUE(PumpUntil([&] { return !Call(suite::kDispIsRunning); }, 60000));
  std::wstring all = AllLines();
  // The stop ended it, not the bound on the play.
  EXPECT_NE(all.find(L"Playing Midi File(test.mid)...\t\n\n===>Test aborted.\n"), std::wstring::npos) << all.c_str();
  EXPECT_EQ(all.find(L"did not finish"), std::wstring::npos) << all.c_str();
  EXPECT_TRUE(done.empty()) << "an aborted run reports nothing";
}

namespace {

// A value exactly as it is stored: its type and bytes (empty when absent).
std::string RawValue(const std::wstring& name) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return "";
  DWORD type = 0, size = 0;
  std::string raw;
  if (::RegQueryValueExW(key, name.c_str(), nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    raw.resize(size);
    ::RegQueryValueExW(key, name.c_str(), nullptr, &type, (BYTE*)&raw[0], &size);
    raw = std::to_string(type) + ":" + raw.substr(0, size);
  }
  ::RegCloseKey(key);
  return raw;
}

void SetRawValue(const std::wstring& name, DWORD type, const std::wstring& text) {
  HKEY key = nullptr;
  ASSERT_EQ(::RegCreateKeyExW(HKEY_CURRENT_USER, kKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr),
            ERROR_SUCCESS);
  ::RegSetValueExW(key, name.c_str(), 0, type, (const BYTE*)text.c_str(), (DWORD)((text.size() + 1) * sizeof(wchar_t)));
  ::RegCloseKey(key);
}

}  // namespace

TEST_F(MediaHost, TheUsersListSurvivesARunAndACloseByteForByte) {
  struct Case {
    const char* name;
    bool withPresentFile;
  } cases[] = {{"a file present beside missing and unknown entries", true},
               {"nothing present: the defaults play, the list stays", false}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"Loop", 1);
    SetFiles({});
    // An offline drive, a file of another type, one stored as an expandable
    // string, and a gap in the numbering.
    SetRawValue(L"Audio0", REG_SZ, L"Q:\\Offline\\song.wav");
    SetRawValue(L"Audio1", REG_SZ, L"Q:\\Offline\\notes.txt");
    SetRawValue(L"Audio2", REG_EXPAND_SZ, L"%SystemDrive%\\Missing\\tune.mid");
    if (c.withPresentFile) SetRawValue(L"Audio4", REG_SZ, Sample(L"tone1.wav"));
    std::vector<std::string> before;
    for (int i = 0; i < 10; ++i) before.push_back(RawValue(L"Audio" + std::to_wstring(i)));

    ASSERT_TRUE(Call(suite::kDispInit, {std::string("-AutoRun")}));
    ASSERT_TRUE(Call(suite::kDispDoTest, {std::string("")}));
    ASSERT_TRUE(PumpUntil([&] { return !done.empty(); }, 90000)) << "the run ends";
    std::vector<std::wstring> lines = Lines();
    host.Destroy();
    for (int i = 0; i < 10; ++i) {
      std::wstring name = L"Audio" + std::to_wstring(i);
      if (before[i].empty())
        EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, name, L"?"), L"") << i;
      else
        EXPECT_EQ(RawValue(name), before[i]) << i;
    }
    std::wstring all;
    for (const std::wstring& l : lines) all += l + L"\n";
    EXPECT_NE(all.find(c.withPresentFile ? L"Playing Wave File(tone1.wav)" : L"Playing Wave File(test.wav)"),
              std::wstring::npos)
        << all.c_str();
    done.clear();
    TearDown();
    SetUp();
  }
}

TEST_F(MediaHost, TheRunnerReadsItsListAndSettingsAndWritesThemBack) {
  std::wstring tune = Sample(L"tune.rmi");
  ASSERT_TRUE(::CopyFileW(Sample(L"test.mid").c_str(), tune.c_str(), FALSE));
  appkit::RegWriteDword(HKEY_CURRENT_USER, kKey, L"CDPlayDelay", 9);
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio0", Sample(L"tone1.wav"));
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio1", Sample(L"missing.wav"));
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio2", tune);
  appkit::RegWriteString(HKEY_CURRENT_USER, kKey, L"Audio3", SuitePath(L"MEDIA.OCX"));  // not a sound file
  ASSERT_TRUE(Call(suite::kDispInit, {std::string("-X5")}));
  EXPECT_EQ(ctltest::SheetTabs(Sheet()), (std::vector<std::wstring>{L"Information", L"Test"}));
  EXPECT_EQ(ctltest::GetProp(host, "Title"), "Audio Test");
  EXPECT_TRUE(Call(suite::kDispSetProp, {std::string("size"), std::string("640 480")}));
  EXPECT_FALSE(Call(suite::kDispSetProp, {std::string("Size"), std::string("64 48")}));
  host.Destroy();
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"CDPlayDelay", 0), 1u);
  // Every entry stays listed, a missing file and another type included.
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio0", L"?"), Sample(L"tone1.wav"));
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio1", L"?"), Sample(L"missing.wav"));
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio2", L"?"), tune);
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Audio3", L"?"), SuitePath(L"MEDIA.OCX"));
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"CDTestTitle", L"?"), L"Audio CD Test");
  ::DeleteFileW(tune.c_str());
}

TEST_F(MediaHost, VideoModeKeepsItsOwnValues) {
  HKEY key = nullptr;
  if (::RegOpenKeyExW(HKEY_CURRENT_USER, kKey, 0, KEY_SET_VALUE, &key) == ERROR_SUCCESS) {
    for (const wchar_t* name : {L"LeftChannel", L"Video0", L"AviEnable"}) ::RegDeleteValueW(key, name);
    ::RegCloseKey(key);
  }
  ASSERT_TRUE(Call(suite::kDispInit, {std::string("-VideoTest")}));
  EXPECT_EQ(ctltest::GetProp(host, "Title"), "Video Test");
  HWND test = FindChildById(Sheet(), 1007);
  ASSERT_TRUE(test);
  EXPECT_FALSE(::IsWindowVisible(FindChildById(Sheet(), 1022))) << "no CD player button for video";
  host.Destroy();
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"AviEnable", 7), 1u) << "the shipped clip plays";
  EXPECT_EQ(appkit::RegReadDword(HKEY_CURRENT_USER, kKey, L"LeftChannel", 7), 7u) << "audio values stay unwritten";
  EXPECT_EQ(appkit::RegReadString(HKEY_CURRENT_USER, kKey, L"Video0", L"?"), L"");
}

// The CD player the page started is closed with the control, also while it
// shows a box under its own caption (here: no audio CD device), which a
// lookup by title finds first.
TEST_F(MediaHost, TheCdPlayerItStartedEndsWithTheControlAlsoUnderItsBox) {
  ASSERT_TRUE(Call(suite::kDispInit, {std::string("")}));
  HWND button = FindChildById(Sheet(), 1022);
  ASSERT_TRUE(button);
  ::PostMessageW(::GetParent(button), WM_COMMAND, MAKEWPARAM(1022, BN_CLICKED), (LPARAM)button);
  // The player's box, found by its text among the windows under its caption.
  HWND box = nullptr;
  ASSERT_TRUE(PumpUntil(
      [&] {
        box = nullptr;
        while ((box = ::FindWindowExW(nullptr, box, nullptr, L"Audio CD Player")) != nullptr)
          if (::IsWindowVisible(box) && FindChild(box, L"Static", L"Failed to initialize the mci device.")) break;
        return box != nullptr;
      },
      30000))
      << "the player's box";
  DWORD pid = 0;
  ::GetWindowThreadProcessId(box, &pid);
  HANDLE player = ::OpenProcess(SYNCHRONIZE, FALSE, pid);
  ASSERT_TRUE(player);
  host.Destroy();
  bool ended = PumpUntil([&] { return ::WaitForSingleObject(player, 0) == WAIT_OBJECT_0; }, 30000);
  if (!ended) ::TerminateProcess(player, 1);
  ::CloseHandle(player);
  EXPECT_TRUE(ended) << "the player stayed after the control closed";
}

