// The sound player over the system's DirectSound: slots, the eight-slot
// limit and the failure codes of files it cannot play.
#include <gtest/gtest.h>
#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include <cstdlib>
#include <string>
#include <vector>

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

// A DirectSound device of the test's own: it takes every buffer and every
// Play, and moves its play cursor only as the test says (a device that never
// completes keeps it at the start for ever).
namespace {

struct FakeDevice {
  DWORD status = 0;  // what GetStatus answers once playing
  DWORD cursor = 0;
  bool statusFails = false;
};
FakeDevice g_device;

class FakeBuffer final : public IDirectSoundBuffer {
 public:
  explicit FakeBuffer(DWORD bytes) : data_(bytes) {}
  STDMETHOD(QueryInterface)(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHOD(GetCaps)(LPDSBCAPS) override { return E_NOTIMPL; }
  STDMETHOD(GetCurrentPosition)(LPDWORD play, LPDWORD write) override {
    if (play) *play = playing_ ? g_device.cursor : 0;
    if (write) *write = 0;
    return S_OK;
  }
  STDMETHOD(GetFormat)(LPWAVEFORMATEX, DWORD, LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetVolume)(LPLONG) override { return E_NOTIMPL; }
  STDMETHOD(GetPan)(LPLONG) override { return E_NOTIMPL; }
  STDMETHOD(GetFrequency)(LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(GetStatus)(LPDWORD status) override {
    if (g_device.statusFails) return DSERR_GENERIC;
    *status = playing_ ? g_device.status : 0;
    return S_OK;
  }
  STDMETHOD(Initialize)(LPDIRECTSOUND, LPCDSBUFFERDESC) override { return DSERR_ALREADYINITIALIZED; }
  STDMETHOD(Lock)(DWORD, DWORD bytes, LPVOID* p1, LPDWORD n1, LPVOID* p2, LPDWORD n2, DWORD) override {
    *p1 = data_.data();
    *n1 = bytes < data_.size() ? bytes : (DWORD)data_.size();
    if (p2) *p2 = nullptr;
    if (n2) *n2 = 0;
    return S_OK;
  }
  STDMETHOD(Play)(DWORD, DWORD, DWORD) override {
    playing_ = true;
    return S_OK;
  }
  STDMETHOD(SetCurrentPosition)(DWORD) override { return S_OK; }
  STDMETHOD(SetFormat)(LPCWAVEFORMATEX) override { return E_NOTIMPL; }
  STDMETHOD(SetVolume)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetPan)(LONG) override { return E_NOTIMPL; }
  STDMETHOD(SetFrequency)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Stop)() override {
    playing_ = false;
    return S_OK;
  }
  STDMETHOD(Unlock)(LPVOID, DWORD, LPVOID, DWORD) override { return S_OK; }
  STDMETHOD(Restore)() override { return S_OK; }

 private:
  ULONG refs_ = 1;
  bool playing_ = false;
  std::vector<char> data_;
};

class FakeSound final : public IDirectSound {
 public:
  STDMETHOD(QueryInterface)(REFIID, void** out) override { *out = nullptr; return E_NOINTERFACE; }
  STDMETHOD_(ULONG, AddRef)() override { return ++refs_; }
  STDMETHOD_(ULONG, Release)() override {
    ULONG n = --refs_;
    if (n == 0) delete this;
    return n;
  }
  STDMETHOD(CreateSoundBuffer)(LPCDSBUFFERDESC desc, LPLPDIRECTSOUNDBUFFER out, IUnknown*) override {
    *out = new FakeBuffer(desc->dwBufferBytes);
    return S_OK;
  }
  STDMETHOD(GetCaps)(LPDSCAPS) override { return E_NOTIMPL; }
  STDMETHOD(DuplicateSoundBuffer)(LPDIRECTSOUNDBUFFER, LPLPDIRECTSOUNDBUFFER) override { return E_NOTIMPL; }
  STDMETHOD(SetCooperativeLevel)(HWND, DWORD) override { return S_OK; }
  STDMETHOD(Compact)() override { return S_OK; }
  STDMETHOD(GetSpeakerConfig)(LPDWORD) override { return E_NOTIMPL; }
  STDMETHOD(SetSpeakerConfig)(DWORD) override { return E_NOTIMPL; }
  STDMETHOD(Initialize)(LPCGUID) override { return DSERR_ALREADYINITIALIZED; }

 private:
  ULONG refs_ = 1;
};

HRESULT WINAPI FakeDirectSoundCreate(LPCGUID, LPDIRECTSOUND* out, LPUNKNOWN) {
  *out = new FakeSound;
  return S_OK;
}

}  // namespace

// The sound of a DirectX batch passes only when its device plays it; one that
// takes the sound and never plays it is waited for no longer than the sound
// lasts plus the margin, and Stop ends that wait at its next poll.
TEST_F(SoundPlayer, ASoundIsJudgedByItsDeviceReallyPlayingItWithinItsLength) {
  graphics::DirectX saved = graphics::Dx();
  graphics::Dx().directSoundCreate = reinterpret_cast<FARPROC>(&FakeDirectSoundCreate);
  std::wstring path = File(L"second.wav", Wave(1, 22050));  // 1 s: 22050 samples of 2 bytes, 44100 bytes/s
  struct Case {
    const char* what;
    DWORD status, cursor;
    bool statusFails;
    int stopAtPump;
    gfxtest::Poll first;
    gfxtest::WaitEnd end;
  } cases[] = {
      {"plays", DSBSTATUS_PLAYING, 4410, false, -1, gfxtest::Poll::Done, gfxtest::WaitEnd::Done},
      {"played to its end", 0, 0, false, -1, gfxtest::Poll::Done, gfxtest::WaitEnd::Done},
      {"never moves", DSBSTATUS_PLAYING, 0, false, -1, gfxtest::Poll::Busy, gfxtest::WaitEnd::TimedOut},
      {"never moves, stopped", DSBSTATUS_PLAYING, 0, false, 2, gfxtest::Poll::Busy, gfxtest::WaitEnd::Stopped},
      {"lost", DSBSTATUS_PLAYING | DSBSTATUS_BUFFERLOST, 0, false, -1, gfxtest::Poll::Error, gfxtest::WaitEnd::Error},
      {"no status", 0, 0, true, -1, gfxtest::Poll::Error, gfxtest::WaitEnd::Error},
  };
  for (const Case& c : cases) {
    g_device = FakeDevice{c.status, c.cursor, c.statusFails};
    CSoundPlayer player(window_);
    ASSERT_TRUE(player.Ready()) << c.what;
    ASSERT_EQ(player.ReadWaveFile(path), 0) << c.what;
    EXPECT_EQ(player.SlotLengthMs(0), 1000u) << c.what;
    ASSERT_TRUE(player.PlaySlot(0, 0)) << c.what;
    EXPECT_EQ(player.PlaybackState(0), c.first) << c.what;
    unsigned clock = 0;
    int pumps = 0;
    gfxtest::DeviceWait w;
    w.attempt = [&] {
      clock += 50;
      return player.PlaybackState(0);
    };
    w.between = [&] { ++pumps; };
    w.stopRequested = [&] { return c.stopAtPump >= 0 && pumps >= c.stopAtPump; };
    w.nowMs = [&] { return clock; };
    w.boundMs = player.SlotLengthMs(0) + 3000;
    EXPECT_EQ(gfxtest::WaitForDevice(w), c.end) << c.what;
    if (c.end == gfxtest::WaitEnd::TimedOut) {
      EXPECT_EQ(clock, 4000u) << c.what;
    }
    if (c.end == gfxtest::WaitEnd::Stopped) {
      EXPECT_EQ(pumps, 2) << c.what;
    }
  }
  // A slot without a sound has no length and no playback.
  CSoundPlayer player(window_);
  EXPECT_EQ(player.SlotLengthMs(5), 0u);
  EXPECT_EQ(player.PlaybackState(5), gfxtest::Poll::Error);
  graphics::Dx() = saved;
}
