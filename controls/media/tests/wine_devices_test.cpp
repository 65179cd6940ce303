// The MCI and wave-in routines on the machine's real devices: with the
// suite's audio server a generated tone plays through MCI and notifies, and
// the wave input (the sink's monitor) hears it; with nothing playing it
// hears silence. Without sound devices there is nothing to measure.
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

#include "mm/mci.h"
#include "mm/mixer.h"
#include "testsupport/process.h"

namespace {

// A window for MCI's notifications; remembers the last one.
struct NotifyWindow {
  NotifyWindow() {
    WNDCLASSW wc{};
    wc.lpfnWndProc = Proc;
    wc.hInstance = ::GetModuleHandleW(nullptr);
    wc.lpszClassName = L"MediaNotifyTest";
    ::RegisterClassW(&wc);
    hwnd = ::CreateWindowW(L"MediaNotifyTest", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, wc.hInstance, nullptr);
    ::SetWindowLongPtrW(hwnd, GWLP_USERDATA, (LONG_PTR)this);
  }
  ~NotifyWindow() { ::DestroyWindow(hwnd); }
  static LRESULT CALLBACK Proc(HWND h, UINT m, WPARAM wp, LPARAM lp) {
    if (m == MM_MCINOTIFY) {
      auto* self = reinterpret_cast<NotifyWindow*>(::GetWindowLongPtrW(h, GWLP_USERDATA));
      self->code = wp;
      self->device = lp;
      return 0;
    }
    return ::DefWindowProcW(h, m, wp, lp);
  }
  HWND hwnd = nullptr;
  WPARAM code = 0;
  LPARAM device = 0;
};

class WineDevices : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::waveOutGetNumDevs() == 0 || ::waveInGetNumDevs() == 0) GTEST_SKIP() << "no sound devices";
  }
  void TearDown() override { mm::CloseWaveIn(); }

  // Plays the tone through MCI and waits for its notification.
  void PlayTone() {
    mm::MciDevice tone(mm::kMciWaveAudio, testsupport::SuitePath(L"TESTDATA\\test.wav"), window.hwnd);
    ASSERT_TRUE(tone.IsOpen()) << tone.OpenError();
    window.code = 0;
    ASSERT_EQ(tone.Play(window.hwnd), 0u);
    EXPECT_TRUE(testsupport::PumpUntil([&] { return window.code != 0; }, 20000));
    EXPECT_EQ(window.code, (WPARAM)MCI_NOTIFY_SUCCESSFUL);
    EXPECT_EQ((MCIDEVICEID)window.device, tone.DeviceId()) << "the notification names its device";
  }
  NotifyWindow window;
};

}  // namespace

// MCI says a play finished once the driver has taken the last of it, not
// once it has passed through the server's sink and its monitor: the sound
// can still be on its way when the notification comes. A capture stopped at
// the notification then holds little or none of the tone (on an idle
// machine the output runs furthest ahead of the capture). So the capture
// runs until it holds four seconds while the tone plays over and over: the
// middle half that is measured (one to three seconds in) lies within the
// tone whatever the latency of the two streams. The tone's device is closed
// before the capture of silence opens: nothing of it can arrive there, so
// two seconds of silence serve.
TEST_F(WineDevices, AToneThatPlaysIsHeardAndSilenceIsNot) {
  constexpr DWORD kFourSeconds = 4 * 8000 * 2, kTwoSeconds = 2 * 8000 * 2;
  ASSERT_TRUE(mm::RecordLoopback(nullptr));
  ASSERT_TRUE(mm::StartWaveIn());
  {
    mm::MciDevice tone(mm::kMciWaveAudio, testsupport::SuitePath(L"TESTDATA\\test.wav"), window.hwnd);
    ASSERT_TRUE(tone.IsOpen()) << tone.OpenError();
    window.code = 0;
    ASSERT_EQ(tone.Play(window.hwnd), 0u);
    int plays = 1;
    bool enough = testsupport::PumpUntil(
        [&] {
          if (window.code == MCI_NOTIFY_SUCCESSFUL) {
            window.code = 0;
            if (tone.PlayFrom(window.hwnd, 0) == 0) ++plays;
          }
          return mm::RecordingBytes() >= kFourSeconds;
        },
        60000);
    ASSERT_TRUE(enough) << "the capture took in " << mm::RecordingBytes() << " bytes";
    tone.Stop();
    mm::StopWaveIn();
    std::printf("tone played %d times; ", plays);
  }
  int toneLevel = (int)mm::LastRecordingLevel();
  EXPECT_FALSE(mm::CheckRecordedLevel(128)) << "the tone came back through the wave input: level " << toneLevel;
  RecordProperty("tone_level", toneLevel);

  ASSERT_TRUE(mm::RecordLoopback(nullptr));
  ASSERT_TRUE(mm::StartWaveIn());
  ASSERT_TRUE(testsupport::PumpUntil([] { return mm::RecordingBytes() >= kTwoSeconds; }, 60000));
  mm::StopWaveIn();
  EXPECT_TRUE(mm::CheckRecordedLevel(32)) << "nothing played: silence, level " << mm::LastRecordingLevel();
  std::printf("recorded level: tone %d, silence %d\n", toneLevel, (int)mm::LastRecordingLevel());
}

TEST_F(WineDevices, AStoppedPlayIsAbortedForItsOwnDevice) {
  mm::MciDevice tone(mm::kMciWaveAudio, testsupport::SuitePath(L"TESTDATA\\test.wav"), window.hwnd);
  ASSERT_TRUE(tone.IsOpen());
  ASSERT_EQ(tone.Play(window.hwnd), 0u);
  testsupport::PumpUntil([] { return false; }, 200);
  EXPECT_EQ(tone.Stop(), 0u);
  EXPECT_TRUE(testsupport::PumpUntil([&] { return window.code != 0; }, 10000));
  EXPECT_EQ(window.code, (WPARAM)MCI_NOTIFY_ABORTED);
  EXPECT_EQ((MCIDEVICEID)window.device, tone.DeviceId());
}
