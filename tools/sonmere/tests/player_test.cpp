// The player against the stand-in MCI: the display states, the disc, the
// buttons and the slider.
#include <gtest/gtest.h>

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <vector>

#include "appkit/text.h"
#include "fake_mm.h"
#include "player.h"

using namespace sonmere;

namespace {

class FakeView : public PlayerView {
 public:
  std::map<int, std::wstring> texts;
  std::map<int, int> textWrites;
  bool positionShown = false;
  int sliderMax = 0, slider = 0;
  std::vector<std::wstring> messages;

  std::wstring DisplayText(int id) override { return texts[id]; }
  void SetDisplayText(int id, const std::wstring& t) override {
    texts[id] = t;
    ++textWrites[id];
  }
  void ShowPositionSlider(bool on) override { positionShown = on; }
  bool PositionSliderShown() override { return positionShown; }
  void SetSliderRange(int max) override { sliderMax = max; }
  void SetSliderPos(int pos) override { slider = pos < 0 ? 0 : pos > sliderMax ? sliderMax : pos; }
  int SliderPos() override { return slider; }
  void Message(const std::wstring& text, bool exclamation) override {
    messages.push_back(text + (exclamation ? L" (!)" : L""));
  }
  std::wstring String(UINT id) override { return appkit::LoadStr(id, ::GetModuleHandleW(nullptr)); }
};

class PlayerTest : public ::testing::Test {
 protected:
  void SetUp() override { fakemm::Install(&mci, nullptr, nullptr); }
  void TearDown() override { fakemm::Uninstall(); }
  // A disc in drive D: with the given tracks (true: audio) and lengths.
  void Disc(std::vector<bool> tracks, std::vector<int> seconds) {
    mci.drives[L'D'] = fakemm::FakeDrive{525, std::move(tracks), std::move(seconds)};
  }
  DWORD& Mode() { return mci.devices.begin()->second.mode; }
  void Deliver() {
    while (!mci.queue.empty()) {
      player.OnNotify(mci.queue.front().code);
      mci.queue.pop_front();
    }
  }
  fakemm::FakeMci mci;
  FakeView view;
  CdPlayer player{view, (HWND)(UINT_PTR)0x1234};  // the stand-in posts nothing to it
};

}  // namespace

TEST(PlayerRules, TimesTracksStepsAndModes) {
  EXPECT_EQ(FormatTime(0), L"0:00");
  EXPECT_EQ(FormatTime(65), L"1:05");
  EXPECT_EQ(FormatTime(74 * 60 + 3), L"74:03");
  EXPECT_EQ(FormatTrackCount(3, 12), L"03/12");
  EXPECT_EQ(FormatTrackCount(10, 99), L"10/99");
  for (auto [length, step] : {std::pair<int, int>{40, 5}, {600, 60}, {5, 1}, {0, 1}, {488, 60}, {479, 59}})
    EXPECT_EQ(SeekStep(length), step) << length;
  for (auto [track, count, want] : {std::tuple<int, int, int>{0, 5, 5}, {6, 5, 1}, {3, 5, 3}, {1, 0, 0}})
    EXPECT_EQ(WrapTrack(track, count), want) << track << "/" << count;
  struct ModeCase {
    DWORD mode;
    bool paused;
    DisplayState state;
  } modes[] = {{524, false, kEmpty}, {530, true, kEmpty}, {525, false, kReady}, {525, true, kPaused},
               {526, false, kPlaying}, {529, true, kReady}, {527, false, kReady}};
  for (const ModeCase& m : modes) EXPECT_EQ(StateOfMode(m.mode, m.paused), m.state) << m.mode << m.paused;
}

TEST_F(PlayerTest, WithoutADeviceThePlayerStaysEmptyAndSaysSo) {
  EXPECT_FALSE(player.CreateDevice());
  player.OnTimer();
  EXPECT_EQ(player.State(), kEmpty);
  EXPECT_EQ(view.texts[kIdStatus], L"Empty");
  EXPECT_EQ(view.texts[kIdTrack], L"");
  player.OnCommand(kIdPlay);
  EXPECT_TRUE(view.messages.empty()) << "Play without a device only refreshes";
  for (int id : {kIdStop, kIdPause, kIdBack, kIdEject}) player.OnCommand(id);
  EXPECT_EQ(view.messages.size(), 4u);
  EXPECT_EQ(view.messages[0], L"The MCI device is not open yet.\nOr it has failed to open.");
  player.OnCommand(kIdNext);
  player.OnCommand(kIdVolUp);
  player.OnSlider(TB_THUMBPOSITION, 3);
  EXPECT_EQ(view.messages.size(), 4u);
}

TEST_F(PlayerTest, ADiscIsReadPlayedAndShown) {
  Disc({false, true, true}, {100, 40, 600});
  ASSERT_TRUE(player.CreateDevice());
  player.OnTimer();
  EXPECT_EQ(player.State(), kReady);
  EXPECT_EQ(player.TrackCount(), 3);
  EXPECT_EQ(player.FirstAudioTrack(), 2);
  EXPECT_EQ(player.CurrentTrack(), 2);
  EXPECT_EQ(view.texts[kIdStatus], L"Ready");
  EXPECT_EQ(view.texts[kIdTrack], L"02/03");
  EXPECT_EQ(view.texts[kIdLength], L"12:20") << "the whole disc while ready";
  int statusWrites = view.textWrites[kIdStatus];
  player.OnTimer();
  EXPECT_EQ(view.textWrites[kIdStatus], statusWrites) << "a text is set only when it changes";

  player.OnCommand(kIdPlay);
  EXPECT_EQ(mci.devices.begin()->second.position, 2u) << "from the start of track 2";
  player.OnTimer();
  EXPECT_EQ(player.State(), kPlaying);
  EXPECT_TRUE(view.positionShown);
  EXPECT_EQ(view.texts[kIdLength], L"0:40");
  EXPECT_EQ(view.texts[kIdElapsed], L"0:01");
  player.OnTimer();
  EXPECT_EQ(view.texts[kIdElapsed], L"0:02") << "one second a tick";

  // ">>" on a 40-second track steps 5 seconds.
  player.OnCommand(kIdForward);
  EXPECT_EQ(view.slider, 7);
  EXPECT_EQ(mci.devices.begin()->second.position, mm::PackTmsf(2, 0, 7, 30));
  EXPECT_EQ(view.texts[kIdElapsed], L"0:08");
  // "<<" that would reach 0 plays the previous track: track 1 is data.
  player.OnCommand(kIdBack);
  player.OnCommand(kIdBack);
  ASSERT_EQ(view.messages.size(), 1u);
  EXPECT_EQ(view.messages[0], L"This track is not playable: 1");
  // "> |" on the last track plays track 1 (data again), then from track 2.
  player.OnCommand(kIdNext);
  EXPECT_EQ(player.CurrentTrack(), 3);
  EXPECT_EQ(view.sliderMax, 600);
  player.OnCommand(kIdForward);
  EXPECT_EQ(view.slider, 60) << "a 10-minute track steps 60 seconds";
  player.OnCommand(kIdNext);
  EXPECT_EQ(view.messages.back(), L"This track is not playable: 1");
}

TEST_F(PlayerTest, TheSliderPlaysFromWhereItIsReleased) {
  Disc({true, true}, {120, 90});
  ASSERT_TRUE(player.CreateDevice());
  player.OnTimer();
  player.OnCommand(kIdPlay);
  player.OnTimer();
  player.OnSlider(TB_THUMBPOSITION, 30);
  EXPECT_EQ(mci.devices.begin()->second.position, mm::PackTmsf(1, 0, 0, 0)) << "not seeking: nothing";
  player.OnSlider(TB_THUMBTRACK, 75);
  player.OnSlider(TB_THUMBPOSITION, 75);
  EXPECT_EQ(mci.devices.begin()->second.position, mm::PackTmsf(1, 1, 15, 30));
  player.OnSlider(TB_THUMBTRACK, 0);
  player.OnSlider(TB_THUMBPOSITION, 0);
  EXPECT_EQ(mci.devices.begin()->second.position, mm::PackTmsf(1, 0, 0, 30)) << "0: the track's start";
  player.OnSlider(TB_PAGEDOWN, 0);
  player.OnSlider(TB_THUMBPOSITION, 120);
  EXPECT_EQ(player.CurrentTrack(), 2) << "the end plays the next track";
}

TEST_F(PlayerTest, StopPauseAndTheEndOfTheDisc) {
  Disc({true, true, true}, {60, 60, 60});
  ASSERT_TRUE(player.CreateDevice());
  player.OnTimer();
  player.OnCommand(kIdPlay);
  player.OnCommand(kIdNext);
  player.OnTimer();
  EXPECT_EQ(player.CurrentTrack(), 2);
  player.OnCommand(kIdPause);
  EXPECT_TRUE(player.Paused());
  Mode() = 525;  // a paused audio CD stands still
  player.OnTimer();
  EXPECT_EQ(player.State(), kPaused);
  EXPECT_EQ(view.texts[kIdStatus], L"Paused");
  player.OnCommand(kIdPause);
  EXPECT_FALSE(player.Paused());
  player.OnCommand(kIdStop);
  EXPECT_EQ(mci.devices.begin()->second.lastStopFlags & MCI_NOTIFY, (DWORD)MCI_NOTIFY) << "the stop notifies";
  Deliver();
  EXPECT_EQ(player.CurrentTrack(), 1);
  EXPECT_FALSE(view.positionShown);
  player.OnTimer();
  EXPECT_EQ(player.State(), kReady);
  // Tracks move while stopped and stay where they were put.
  player.OnCommand(kIdPrevious);
  EXPECT_EQ(player.CurrentTrack(), 3);
  player.OnTimer();
  EXPECT_EQ(player.CurrentTrack(), 3);
  EXPECT_EQ(view.texts[kIdTrack], L"03/03");
  player.OnCommand(kIdForward);
  EXPECT_EQ(view.messages.back(), L"The MCI device is not in play mode. (!)");
  // Enter plays nothing twice: ">" while playing does nothing.
  player.OnCommand(kIdPlay);
  DWORD from = mci.devices.begin()->second.position;
  player.OnCommand(kIdPlay);
  EXPECT_EQ(mci.devices.begin()->second.position, from);
}

TEST_F(PlayerTest, RemovingTheDiscEmptiesTheDisplayWithinTwoTicks) {
  Disc({true}, {60});
  ASSERT_TRUE(player.CreateDevice());
  player.OnTimer();
  player.OnCommand(kIdPlay);
  player.OnTimer();
  EXPECT_EQ(player.State(), kPlaying);
  mci.drives[L'D'].present = false;
  Mode() = 530;
  player.OnTimer();
  EXPECT_FALSE(player.DiscRead());
  player.OnTimer();
  EXPECT_EQ(player.State(), kEmpty);
  EXPECT_EQ(view.texts[kIdStatus], L"Empty");
  EXPECT_EQ(view.texts[kIdElapsed], L"");
  EXPECT_FALSE(view.positionShown);
  // The disc comes back: it is read again.
  mci.drives[L'D'].present = true;
  Mode() = 525;
  player.OnTimer();
  EXPECT_EQ(player.State(), kReady);
  EXPECT_TRUE(player.DiscRead());
  player.OnCommand(kIdEject);
  EXPECT_EQ(Mode(), 530u);
  player.OnCommand(kIdEject);
  EXPECT_EQ(Mode(), 525u);
}

TEST(PlayerRules, APlayMayLastTheDiscAndAMinute) {
  for (auto [disc, ticks] : {std::pair<int, int>{120, 180}, {0, 4860}, {-5, 4860}, {3600, 3660}, {99999, 4860}})
    EXPECT_EQ(PlayTickBound(disc), ticks) << disc;
}

TEST_F(PlayerTest, ADriveThatNeverEndsItsPlayIsStoppedOnceTheDiscHasHadItsTime) {
  Disc({true, true}, {60, 60});
  ASSERT_TRUE(player.CreateDevice());
  player.PlayTrack(1);
  ASSERT_EQ(Mode(), 526u);
  const int bound = PlayTickBound(120);
  for (int tick = 1; tick <= bound; ++tick) {
    player.OnTimer();
    ASSERT_EQ(Mode(), 526u) << "a disc still within its time plays on: tick " << tick;
  }
  EXPECT_EQ(player.State(), kPlaying);
  player.OnTimer();  // the drive still says "playing": it never ends by itself
  EXPECT_EQ(Mode(), 525u) << "stopped";
  EXPECT_TRUE(mci.devices.begin()->second.lastStopFlags & MCI_NOTIFY);
  Deliver();
  EXPECT_EQ(player.State(), kReady);
  EXPECT_FALSE(view.positionShown);
  EXPECT_TRUE(view.messages.empty()) << "an unattended player shows no box";
  // A new play has the whole time again.
  player.OnCommand(kIdPlay);
  for (int tick = 1; tick <= bound; ++tick) player.OnTimer();
  EXPECT_EQ(Mode(), 526u);
}
