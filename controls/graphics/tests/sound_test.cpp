// The sound player over the system's DirectSound: slots, the eight-slot
// limit and the failure codes of files it cannot play.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "graphics.h"
#include "sound.h"
#include "testsupport/process.h"

namespace {

class SoundPlayer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { graphics::LoadDirectXLibraries(); }
  void SetUp() override {
    SoundFailureCode() = -1;
    window_ = ::CreateWindowExW(0, L"STATIC", L"sound", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    dir_ = testsupport::TempDir() + L"sound_test\\";
    ::CreateDirectoryW(dir_.c_str(), nullptr);
  }
  void TearDown() override {
    ::DestroyWindow(window_);
    testsupport::RemoveTree(dir_);
  }
  std::wstring File(const wchar_t* name, const std::string& bytes) {
    std::wstring path = dir_ + name;
    testsupport::WriteFileBytes(path, bytes);
    return path;
  }
  static std::string Wave(uint16_t tag, size_t samples) {
    std::string data(samples * 2, '\x10');
    auto u32 = [](uint32_t v) { return std::string(reinterpret_cast<const char*>(&v), 4); };
    auto u16 = [](uint16_t v) { return std::string(reinterpret_cast<const char*>(&v), 2); };
    std::string fmt = u16(tag) + u16(1) + u32(22050) + u32(44100) + u16(2) + u16(16);
    std::string body = "WAVEfmt " + u32((uint32_t)fmt.size()) + fmt + "data" + u32((uint32_t)data.size()) + data;
    return "RIFF" + u32((uint32_t)body.size()) + body;
  }
  // Where the test scripts give Wine sound devices, a player must work.
  static bool Usable(const CSoundPlayer& player) {
    if (std::getenv("HALVIX_AUDIO")) {
      EXPECT_TRUE(player.Ready()) << "failure code " << SoundFailureCode();
    }
    return player.Ready();
  }
  HWND window_ = nullptr;
  std::wstring dir_;
};

}  // namespace

TEST_F(SoundPlayer, FilesTakeTheLowestFreeSlotsUpToEight) {
  CSoundPlayer player(window_);
  if (!Usable(player)) GTEST_SKIP() << "no sound device: failure code " << SoundFailureCode();
  std::wstring path = File(L"tone.wav", Wave(1, 2205));
  EXPECT_EQ(player.ReadWaveFile(path), 0);
  EXPECT_EQ(player.ReadWaveFile(path), 1);  // the same file twice: two slots
  for (int slot = 2; slot < 8; ++slot) EXPECT_EQ(player.ReadWaveFile(path), slot);
  EXPECT_EQ(player.ReadWaveFile(path), -1);
  EXPECT_EQ(SoundFailureCode(), 8);
  EXPECT_TRUE(player.SetSlotPosition(0, 0));
  EXPECT_TRUE(player.PlaySlot(0, 0));
  EXPECT_TRUE(player.StopSound(0));
}

TEST_F(SoundPlayer, FilesItCannotPlayLeaveTheirFailureCode) {
  CSoundPlayer player(window_);
  if (!Usable(player)) GTEST_SKIP() << "no sound device: failure code " << SoundFailureCode();
  struct Case {
    const wchar_t* name;
    std::string bytes;
    int code;
  } cases[] = {
      {L"float.wav", Wave(3, 100), 17},
      {L"text.wav", "just some text, not a RIFF file", 14},
      {L"empty.wav", Wave(1, 0), 6},
  };
  for (const Case& c : cases) {
    SoundFailureCode() = -1;
    EXPECT_EQ(player.ReadWaveFile(File(c.name, c.bytes)), -1) << c.code;
    EXPECT_EQ(SoundFailureCode(), c.code);
  }
  SoundFailureCode() = -1;
  EXPECT_EQ(player.ReadWaveFile(dir_ + L"missing.wav"), -1);
  EXPECT_EQ(SoundFailureCode(), 13);
  // Slots without a buffer answer with their operation's code.
  EXPECT_FALSE(player.PlaySlot(3, 0));
  EXPECT_EQ(SoundFailureCode(), 11);
  EXPECT_FALSE(player.StopSound(9));
  EXPECT_EQ(SoundFailureCode(), 9);
  EXPECT_FALSE(player.SetSlotPosition(0, 0));
  EXPECT_EQ(SoundFailureCode(), 24);
}

TEST(SoundPlayerWithoutLibrary, EveryOperationFails) {
  graphics::DirectX saved = graphics::Dx();
  graphics::Dx().directSoundCreate = nullptr;
  SoundFailureCode() = -1;
  {
    CSoundPlayer player(nullptr);
    EXPECT_FALSE(player.Ready());
    EXPECT_EQ(SoundFailureCode(), 28);
    EXPECT_FALSE(player.PlaySlot(0, 0));
  }
  graphics::Dx() = saved;
}
