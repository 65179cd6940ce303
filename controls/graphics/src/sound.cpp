#include "sound.h"

#include <windows.h>
#include <mmsystem.h>
#include <dsound.h>

#include "gfxtest/files.h"
#include "graphics.h"

namespace {
typedef HRESULT(WINAPI* DirectSoundCreateFn)(LPCGUID, LPDIRECTSOUND*, LPUNKNOWN);
int Fail(int code) {
  SoundFailureCode() = code;
  return code;
}
}  // namespace

int& SoundFailureCode() { return graphics::Run().directSoundResult; }

CSoundPlayer::CSoundPlayer(HWND window) {
  auto create = reinterpret_cast<DirectSoundCreateFn>(graphics::Dx().directSoundCreate);
  if (!create) {
    Fail(28);
    return;
  }
  if (FAILED(create(nullptr, &sound_, nullptr)) || !sound_) {
    sound_ = nullptr;
    Fail(22);
    return;
  }
  if (FAILED(sound_->SetCooperativeLevel(window, DSSCL_NORMAL))) {
    Fail(23);
    return;
  }
  ready_ = true;
}

CSoundPlayer::~CSoundPlayer() {
  for (int i = 0; i < kSlots; ++i) {
    if (buffers_[i]) {
      buffers_[i]->Release();
      buffers_[i] = nullptr;
    }
    FreeData(i);
  }
  if (sound_) sound_->Release();
}

IDirectSoundBuffer* CSoundPlayer::Buffer(int slot) const {
  return slot >= 0 && slot < kSlots ? buffers_[slot] : nullptr;
}

void CSoundPlayer::FreeData(int slot) { std::vector<uint8_t>().swap(data_[slot]); }

int CSoundPlayer::FindFreeSlot() {
  for (int i = 0; i < kSlots; ++i)
    if (!buffers_[i]) return i;
  Fail(8);
  return -1;
}

int CSoundPlayer::ReadWaveFile(const std::wstring& path) {
  std::vector<uint8_t> file;
  if (!gfxtest::ReadWholeFile(path, gfxtest::kMaxWaveData + (1u << 20), &file)) {
    Fail(13);
    return -1;
  }
  gfxtest::Wave wave = gfxtest::ParseWave(file);
  if (wave.error) {
    Fail(wave.error);
    return -1;
  }
  int slot = FindFreeSlot();
  if (slot < 0) return -1;
  data_[slot].assign(file.begin() + wave.dataOffset, file.begin() + wave.dataOffset + wave.dataSize);
  if (!MakeSoundBuffer(slot, wave)) {
    FreeData(slot);
    return -1;
  }
  if (!FillSoundBuffer(slot)) {
    ReleaseSoundBuffer(slot);
    FreeData(slot);
    return -1;
  }
  return slot;
}

BOOL CSoundPlayer::MakeSoundBuffer(int slot, const gfxtest::Wave& w) {
  if (data_[slot].empty() || buffers_[slot]) return Fail(6), FALSE;
  if (!sound_) return Fail(7), FALSE;
  WAVEFORMATEX format = {};
  format.wFormatTag = w.tag;
  format.nChannels = w.channels;
  format.nSamplesPerSec = w.samplesPerSec;
  format.nAvgBytesPerSec = w.avgBytesPerSec;
  format.nBlockAlign = w.blockAlign;
  format.wBitsPerSample = w.bitsPerSample;
  DSBUFFERDESC desc = {};
  desc.dwSize = sizeof(desc);
  desc.dwFlags = DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN | DSBCAPS_CTRLVOLUME;
  desc.dwBufferBytes = (DWORD)data_[slot].size();
  desc.lpwfxFormat = &format;
  if (FAILED(sound_->CreateSoundBuffer(&desc, &buffers_[slot], nullptr)) || !buffers_[slot]) {
    buffers_[slot] = nullptr;
    return Fail(7), FALSE;
  }
  bytesPerSecond_[slot] = w.avgBytesPerSec;
  return TRUE;
}

BOOL CSoundPlayer::FillSoundBuffer(int slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return Fail(1), FALSE;
  void *p1 = nullptr, *p2 = nullptr;
  DWORD n1 = 0, n2 = 0;
  DWORD size = (DWORD)data_[slot].size();
  HRESULT hr = b->Lock(0, size, &p1, &n1, &p2, &n2, 0);
  if (hr == DSERR_BUFFERLOST) {
    b->Restore();
    hr = b->Lock(0, size, &p1, &n1, &p2, &n2, 0);
  }
  if (FAILED(hr)) return Fail(2), FALSE;
  DWORD first = n1 < size ? n1 : size;
  memcpy(p1, data_[slot].data(), first);
  if (p2 && size > first) memcpy(p2, data_[slot].data() + first, n2 < size - first ? n2 : size - first);
  if (FAILED(b->Unlock(p1, n1, p2, n2))) return Fail(3), FALSE;
  return TRUE;
}

void CSoundPlayer::ReleaseSoundBuffer(int slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) {
    Fail(4);
    return;
  }
  if (b->Release() != 0) {
    Fail(5);  // still referenced elsewhere: the slot keeps it
    return;
  }
  buffers_[slot] = nullptr;
}

BOOL CSoundPlayer::SetSlotPosition(int slot, DWORD position) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return Fail(24), FALSE;
  if (FAILED(b->SetCurrentPosition(position))) return Fail(25), FALSE;
  return TRUE;
}

BOOL CSoundPlayer::PlaySlot(int slot, int mode) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return Fail(11), FALSE;
  if (FAILED(b->Play(0, 0, mode == 1 ? DSBPLAY_LOOPING : 0))) return Fail(12), FALSE;
  return TRUE;
}

BOOL CSoundPlayer::StopSound(int slot) {
  IDirectSoundBuffer* b = Buffer(slot);
  if (!b) return Fail(9), FALSE;
  if (FAILED(b->Stop())) return Fail(10), FALSE;
  return TRUE;
}

gfxtest::Poll CSoundPlayer::PlaybackState(int slot) const {
  IDirectSoundBuffer* b = Buffer(slot);
  DWORD status = 0;
  if (!b || FAILED(b->GetStatus(&status))) return gfxtest::Poll::Error;
  if (status & DSBSTATUS_BUFFERLOST) return gfxtest::Poll::Error;
  // Not playing any more after Play: it played to its end.
  if (!(status & DSBSTATUS_PLAYING)) return gfxtest::Poll::Done;
  DWORD play = 0, write = 0;
  if (FAILED(b->GetCurrentPosition(&play, &write))) return gfxtest::Poll::Error;
  return play > 0 ? gfxtest::Poll::Done : gfxtest::Poll::Busy;
}

unsigned CSoundPlayer::SlotLengthMs(int slot) const {
  if (!Buffer(slot) || bytesPerSecond_[slot] == 0) return 0;
  unsigned long long ms = (unsigned long long)data_[slot].size() * 1000 / bytesPerSecond_[slot];
  // A file that claims a rate of a few bytes a second is waited for no
  // longer than ten minutes.
  return ms > 600000ull ? 600000u : (unsigned)ms;
}
