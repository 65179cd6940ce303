// CSoundPlayer: PCM WAVE files read into up to eight DirectSound secondary
// buffers, played, stopped and rewound. Every failure leaves its number in
// the sound failure code (the Test page's DirectSound result).
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

struct IDirectSound;
struct IDirectSoundBuffer;

namespace gfxtest {
struct Wave;
}

#include "gfxtest/rules.h"

// The number of the last failure of any player operation.
int& SoundFailureCode();
// The failure of a sound that its device took and never played.
constexpr int kSoundNeverPlayed = 29;

class CSoundPlayer {
 public:
  explicit CSoundPlayer(HWND window);
  ~CSoundPlayer();
  CSoundPlayer(const CSoundPlayer&) = delete;
  CSoundPlayer& operator=(const CSoundPlayer&) = delete;

  bool Ready() const { return ready_; }
  // The slot the file went into, or -1.
  int ReadWaveFile(const std::wstring& path);
  BOOL SetSlotPosition(int slot, DWORD position);
  BOOL PlaySlot(int slot, int mode);
  BOOL StopSound(int slot);
  // Whether the device plays the slot's sound: Done once its play cursor has
  // moved or it has played to its end, Busy while it stands at the start.
  gfxtest::Poll PlaybackState(int slot) const;
  // How long the slot's sound lasts, in milliseconds (0 without one).
  unsigned SlotLengthMs(int slot) const;

  static constexpr int kSlots = 8;

 private:
  int FindFreeSlot();
  BOOL MakeSoundBuffer(int slot, const gfxtest::Wave& format);
  BOOL FillSoundBuffer(int slot);
  void ReleaseSoundBuffer(int slot);
  void FreeData(int slot);
  IDirectSoundBuffer* Buffer(int slot) const;

  bool ready_ = false;
  IDirectSound* sound_ = nullptr;
  std::vector<uint8_t> data_[kSlots];
  IDirectSoundBuffer* buffers_[kSlots] = {};
  DWORD bytesPerSecond_[kSlots] = {};
};
