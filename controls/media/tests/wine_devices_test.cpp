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

// Off for now: on an idle machine the capture from the audio server hands
// back silence (or nothing) for the tone MCI plays, while the same capture
// hears the modem simulator's tones; to be found out before it runs again.
TEST_F(WineDevices, DISABLED_AToneThatPlaysIsHeardAndSilenceIsNot) {
  ASSERT_TRUE(mm::RecordLoopback(nullptr));
  ASSERT_TRUE(mm::StartWaveIn());
  testsupport::PumpUntil([] { return false; }, 300);
  PlayTone();
  mm::StopWaveIn();
  EXPECT_FALSE(mm::CheckRecordedLevel(128)) << "the tone came back through the wave input";
  RecordProperty("tone_level", (int)mm::LastRecordingLevel());
  std::printf("recorded level: tone %d", (int)mm::LastRecordingLevel());

  ASSERT_TRUE(mm::RecordLoopback(nullptr));
  ASSERT_TRUE(mm::StartWaveIn());
  testsupport::PumpUntil([] { return false; }, 3000);
  mm::StopWaveIn();
  EXPECT_TRUE(mm::CheckRecordedLevel(32)) << "nothing played: silence";
  std::printf(", silence %d\n", (int)mm::LastRecordingLevel());
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
